#pragma once

#include "config/VeskAppSettings.h"

#include <QObject>
#include <QString>

#include <functional>
#include <map>

class QCheckBox;
class QLabel;
class QLineEdit;
class QWidget;

// What the main window's screens share: the look of their captions and notes,
// and the binding of their controls to the settings.
namespace ScreenParts {

QLabel* Caption(const QString& AText, QWidget* AParent);
QLabel* Note(const QString& AText, QWidget* AParent);
QLineEdit* ReadOnlyField(const QString& AName, QWidget* AParent);
QCheckBox* NewCheck(const char* AText, const char* AName, QWidget* AParent);
// A number shown with ADecimals decimals; other text as it is.
QString Fixed(const QString& AText, int ADecimals);

} // namespace ScreenParts

// Binds controls to the settings: each control in one line, with what shows the
// setting's value in it (run at start and whenever that setting changes) and,
// for a control the user changes, what writes the change. A value being shown
// is never written back.
class TSettingBinder : public QObject
{
    Q_OBJECT

public:
    explicit TSettingBinder(TVeskAppSettings& ASettings, QObject* AParent = nullptr);

    // Whether the user's change of a check box is written (ShowOnly: a box in a
    // disabled group that shows what the file holds).
    enum TCheckUse
    {
        UserSets,
        ShowOnly
    };

    TVeskAppSettings& Settings() const { return FSettings; }
    void Bind(TVeskSettingId AId, std::function<void()> AShow);
    // A check box showing, and unless ShowOnly writing, the yes/no setting AId.
    QCheckBox* BindCheck(QCheckBox* ABox, TVeskSettingId AId, TCheckUse AUse = UserSets);
    // Runs AWrite for a user's change, not while a value is being shown.
    void Write(const std::function<void()>& AWrite) const
    {
        if (!FShowing) {
            AWrite();
        }
    }
    // Every bound control shows its setting (once all are bound).
    void ShowAll();

private:
    void Show(TVeskSettingId AId);

    TVeskAppSettings& FSettings;
    std::multimap<TVeskSettingId, std::function<void()>> FShowers;
    bool FShowing = false;
};
