#pragma once

#include <QWidget>

class TSettingBinder;

// The settings screen: the location (picked from the prefectural offices) and
// the alert conditions, each control bound to its setting.
class TConfigScreen : public QWidget
{
    Q_OBJECT

public:
    explicit TConfigScreen(TSettingBinder& ABinder, QWidget* AParent = nullptr);

private:
    void PickOffice();

    TSettingBinder& FBinder;
};

// The network settings screen: the proxy values the file carries (shown, not
// used) and the choice of the public feeds.
class TNetConfigScreen : public QWidget
{
    Q_OBJECT

public:
    explicit TNetConfigScreen(TSettingBinder& ABinder, QWidget* AParent = nullptr);

private:
    TSettingBinder& FBinder;
};
