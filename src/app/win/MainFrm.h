#pragma once

#include "auxiliary/VeskAuxResources.h"
#include "defines/VeskDefines.h"

#include <QDateTime>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <array>

class QButtonGroup;
class QStackedWidget;
class QToolButton;
class THomeScreen;
class TSettingBinder;
class TVeskAppSettings;
class TVeskLogger;

// The main window, a shell: header, a side menu that opens on hover and a page
// per screen (home, settings, network settings, history, training, about), the
// screens being classes of their own bound to the settings (a change takes
// effect at once, the file is written at exit). Closing or minimising hides it
// to the notification area, or minimises it to the taskbar where the desktop
// has no notification area.
class TMainFrm : public QWidget
{
    Q_OBJECT

public:
    static constexpr int ClientWidth = 594;
    static constexpr int ClientHeight = 451;
    static constexpr int HeaderHeight = 48;
    static constexpr int MenuCompactWidth = 72;
    static constexpr int MenuOpenWidth = 160;

    TMainFrm(TVeskAppSettings& ASettings, TVeskLogger* ALogger, const QDateTime& ATimeOfStart,
             const QString& AProgramVersion, QWidget* AParent = nullptr);

    // The history and training pages are made by their own components.
    void SetScreenPage(TVeskScreen AScreen, QWidget* APage);
    QWidget* ScreenPage(TVeskScreen AScreen) const;

    // Restores the window, selects the screen's menu button, runs its action,
    // shows the window and brings it to the front.
    void ShowScreen(TVeskScreen AScreen);
    // The six screen actions: that page becomes the only enabled one.
    void PutHomeSreen(); // the name the menu's action has always had
    void PutConfigScreen();
    void PutNetConfigScreen();
    void PutHistoryScreen();
    void PutTrainingScreen();
    void PutAboutScreen();
    TVeskScreen ActiveScreen() const;

    void PutNumOfEqTelegrams(int ACount);
    void PutNumOfAlerts(int ACount);
    // The link status line of the home screen: the tray hint.
    void PutCommStatusText(const QString& AHint);
    // The sound status line: AProblem is the sound channel's OutputProblem (empty: heard).
    void PutSoundOutput(const QString& AProblem);
    void PutOperatingTime();

    // Whether hiding leaves the program reachable (a notification area exists).
    void SetTrayAvailable(bool AAvailable);
    bool IsTrayAvailable() const { return FTrayAvailable; }
    // Set by the exit command: the next close ends the program.
    void SetAppExit(bool AValue) { FAppExit = AValue; }
    bool IsAppExit() const { return FAppExit; }
    // Hides to the notification area, or minimises where there is none.
    void HideToTray();
    // Restores from the notification area or the taskbar.
    void RestoreFromTray();
    bool IsMenuOpen() const { return FMenuOpen; }
    void SetMenuOpen(bool AOpen);

    // For tests: a control by its object name, and what a label shows.
    template <typename T>
    T* Control(const QString& AName) const
    {
        return findChild<T*>(AName);
    }
    QString LabelText(const QString& AName) const
    {
        const QLabel* label = Control<QLabel>(AName);
        return label ? label->text() : QString();
    }

signals:
    // The home screen's latest-version button (AButton: disabled while the check runs).
    void latestCheckRequested(QPushButton* AButton);
    // The close that ends the program was accepted.
    void exitAccepted();
    // The home screen's exit button (shown only without a notification area).
    void exitRequested();

protected:
    void closeEvent(QCloseEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    QWidget* MakeHeader();
    void MakeSideMenu();
    void ActivateScreen(TVeskScreen AScreen);
    void DisableAllScreens();

    TVeskAppSettings& FSettings;
    TVeskLogger* FLogger;
    QDateTime FTimeOfStart;
    QString FProgramVersion;
    QTimer FMainTmr;
    QStackedWidget* FPages = nullptr;
    std::array<QWidget*, vscCount> FScreenPages{};
    QWidget* FMenu = nullptr;
    std::array<QToolButton*, vscCount> FMenuBtns{};
    QButtonGroup* FMenuGroup = nullptr;
    bool FMenuOpen = false;
    bool FAppExit = false;
    bool FTrayAvailable = false;
    TSettingBinder* FBinder;
    THomeScreen* FHome = nullptr;
};
