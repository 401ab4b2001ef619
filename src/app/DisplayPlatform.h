#pragma once

#include <QProcessEnvironment>
#include <QString>

// Which of Qt's window-system plug-ins the windowed program runs on. The alert
// window must come to the front above everything: X11 (also XWayland) lets a
// program do that, a Wayland compositor does not. So in a Wayland session that
// has XWayland the program runs through it, unless the user named a platform.
struct TDisplayPlatformChoice
{
    QString Platform; // the QT_QPA_PLATFORM to set before the application object; empty: leave it
    QString LogNote;  // for the log once it is open; empty: nothing to say
};

TDisplayPlatformChoice ChooseDisplayPlatform(const QProcessEnvironment& AEnv);
