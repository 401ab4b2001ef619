#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <map>

class QCheckBox;
class QLabel;
class QLineEdit;
class QWidget;
class TVeskAppSettings;

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

    TVeskAppSettings& Settings() const { return FSettings; }
    void Bind(const char* AKey, std::function<void()> AShow);
    QCheckBox* BindCheck(QCheckBox* ABox, const char* AKey, std::function<bool()> AGet, std::function<void(bool)> ASet);
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
    void Show(const QString& AKey);

    TVeskAppSettings& FSettings;
    std::multimap<QString, std::function<void()>> FShowers; // by setting key
    bool FShowing = false;
};
