#pragma once

#include "defines/VeskDefines.h"

#include <QIcon>
#include <QString>

// Makes the compiled-in pictures and texts of the auxiliary windows and of the
// main window reachable (":/aux/...", ":/app/..."); safe to call repeatedly.
void VeskInitAuxResources();

// The main window's screens, in page order of its side menu.
enum TVeskScreen
{
    vscHome,
    vscConfig,
    vscNetConfig,
    vscHistory,
    vscTraining,
    vscAbout,
    vscCount
};

// Pictures of the main window, as resource paths.
namespace VeskAppArt {

constexpr int MenuIconSize = 48;
constexpr int TrayIconSize = 32;
constexpr int TrayFrameCount = 2;

QString MenuIconPath(TVeskScreen AScreen);
// One frame of the tray animation for a link status; frames alternate.
QString TrayIconPath(TServerCommStatus AStatus, int AFrame);
QString HeaderLogoPath();
QString HeaderBandPath();
QString MascotPath();
QString AppIconSvgPath();
QString AppIconPngPath(int ASize);
// The sizes the application icon is rendered at.
const QList<int>& AppIconSizes();
// The application icon with every rendered size.
QIcon AppIcon();

} // namespace VeskAppArt
