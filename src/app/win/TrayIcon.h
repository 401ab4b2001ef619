#pragma once

#include "auxiliary/VeskAuxResources.h"
#include "defines/VeskDefines.h"

#include <QIcon>
#include <QObject>
#include <QTimer>

#include <array>

class QAction;
class QMenu;
class QSystemTrayIcon;
class TVeskLogger;

// The program's face in the desktop's notification area: the link status as an
// animated icon (two frames per status) with its hint, the menu of screens and
// exit, double-click to restore. Where the desktop has no notification area the
// icon cannot be seen; IsAvailable() says so, and availabilityChanged reports a
// notification area that appears or goes later, so the main window can stay
// reachable through the taskbar meanwhile.
class TVeskTrayIcon : public QObject
{
    Q_OBJECT

public:
    // How often the animation changes frame, and how often a missing notification area is looked for.
    static constexpr int FrameIntervalMs = 500;
    static constexpr int AvailabilityPollMs = 3000;

    explicit TVeskTrayIcon(TVeskLogger* ALogger, QObject* AParent = nullptr);
    ~TVeskTrayIcon() override;

    // Shows the icon (where it can be seen) and starts its animation.
    void Show();
    void SetServerCommStatus(TServerCommStatus AStatus, const QString& AHint);
    bool IsAvailable() const { return FAvailable; }
    QString Hint() const;
    TServerCommStatus Status() const { return FStatus; }
    int Frame() const { return FFrame; }
    QMenu* Menu() const { return FMenu; }
    // The eight menu entries in order (the separator included).
    QList<QAction*> MenuActions() const;

signals:
    void screenRequested(TVeskScreen AScreen);
    void restoreRequested();
    void exitRequested();
    void availabilityChanged(bool AAvailable);

private:
    void NextFrame();
    void CheckAvailability();
    void UpdateIcon();

    TVeskLogger* FLogger;
    QSystemTrayIcon* FIcon;
    QMenu* FMenu;
    QTimer FAnimation;
    QTimer FAvailabilityPoll;
    std::array<std::array<QIcon, VeskAppArt::TrayFrameCount>, 3> FFrames;
    TServerCommStatus FStatus = scsDisconnected;
    int FFrame = 0;
    bool FAvailable = false;
    bool FShown = false;
};
