#include "app/console/ScreenSaverControl.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace {

QDBusMessage ScreenSaverCall(const QString& Method)
{
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
                                          QStringLiteral("/org/freedesktop/ScreenSaver"),
                                          QStringLiteral("org.freedesktop.ScreenSaver"), Method);
}

} // namespace

bool TFreedesktopScreenSaver::IsScreenSaverRunning()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    const QDBusMessage reply = bus.call(ScreenSaverCall(QStringLiteral("GetActive")), QDBus::Block, FTimeoutMSecs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return false;
    }
    return reply.arguments().constFirst().toBool();
}

void TFreedesktopScreenSaver::StopScreenSaver()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage call = ScreenSaverCall(QStringLiteral("SetActive"));
    call << false;
    bus.call(call, QDBus::Block, FTimeoutMSecs);
}
