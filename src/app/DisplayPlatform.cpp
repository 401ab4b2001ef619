#include "app/DisplayPlatform.h"

TDisplayPlatformChoice ChooseDisplayPlatform(const QProcessEnvironment& AEnv)
{
    const QString chosen = AEnv.value(QStringLiteral("QT_QPA_PLATFORM"));
    const bool wayland =
        !AEnv.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty() ||
        AEnv.value(QStringLiteral("XDG_SESSION_TYPE")).compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0;
    const bool x11 = !AEnv.value(QStringLiteral("DISPLAY")).isEmpty();
    if (!chosen.isEmpty()) {
        if (chosen.startsWith(QLatin1String("wayland"))) {
            return {QString(), QStringLiteral("Platform wayland chosen by QT_QPA_PLATFORM: the alert window may not "
                                              "come to the front.")};
        }
        return {};
    }
    if (!wayland) {
        return {};
    }
    if (x11) {
        return {QStringLiteral("xcb"), QStringLiteral("Wayland session: running through XWayland, so that the "
                                                      "alert window can stay on top.")};
    }
    return {QString(), QStringLiteral("Wayland session without XWayland: the alert window may not come to the front.")};
}
