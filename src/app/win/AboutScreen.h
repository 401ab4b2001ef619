#pragma once

#include <QWidget>

// The about screen: the version, the licence and the terms of the warning
// service (each opens its document), and the credits.
class TAboutScreen : public QWidget
{
    Q_OBJECT

public:
    explicit TAboutScreen(const QString& AProgramVersion, QWidget* AParent = nullptr);
};
