#include "auxiliary/VeskAuxResources.h"

#include <algorithm>
#include <array>

void VeskInitAuxResources()
{
    static const bool initialised = [] {
        Q_INIT_RESOURCE(auxiliary);
        Q_INIT_RESOURCE(app);
        return true;
    }();
    (void)initialised;
}

namespace VeskAppArt {

namespace {

QString AppPath(const QString& AName)
{
    VeskInitAuxResources();
    return QStringLiteral(":/app/%1.png").arg(AName);
}

} // namespace

QString MenuIconPath(TVeskScreen AScreen)
{
    static const std::array<const char*, vscCount> Names = {"HOME",    "CONFIG",   "NETCONFIG",
                                                            "HISTORY", "TRAINING", "ABOUT"};
    const auto i = size_t(std::clamp(int(AScreen), 0, int(vscCount) - 1));
    return AppPath(QStringLiteral("PNG_MENU_") + QLatin1String(Names[i]));
}

QString TrayIconPath(TServerCommStatus AStatus, int AFrame)
{
    static const std::array<const char*, 3> Names = {"DISCONNECTED", "CONNECTED", "WAITING"};
    const auto i = size_t(std::clamp(int(AStatus), 0, 2));
    const int frame = std::clamp(AFrame, 0, TrayFrameCount - 1) + 1;
    return AppPath(QStringLiteral("PNG_TRAY_%1_%2").arg(QLatin1String(Names[i])).arg(frame));
}

QString HeaderLogoPath()
{
    return AppPath(QStringLiteral("PNG_HEADER_LOGO"));
}

QString HeaderBandPath()
{
    return AppPath(QStringLiteral("PNG_HEADER_BAND"));
}

QString MascotPath()
{
    return AppPath(QStringLiteral("PNG_MASCOT"));
}

QString AppIconSvgPath()
{
    VeskInitAuxResources();
    return QStringLiteral(":/app/ICON_APP.svg");
}

QString AppIconPngPath(int ASize)
{
    return AppPath(QStringLiteral("ICON_APP_%1").arg(ASize));
}

const QList<int>& AppIconSizes()
{
    static const QList<int> Sizes = {16, 32, 48, 64, 128, 256};
    return Sizes;
}

QIcon AppIcon()
{
    QIcon icon;
    for (int size : AppIconSizes())
        icon.addFile(AppIconPngPath(size), QSize(size, size));
    return icon;
}

} // namespace VeskAppArt
