// The alert as a desktop notification: a notification service of the test's own
// on a private session bus (dbus-daemon started and stopped by the test).

#include "app/console/DesktopNotifier.h"
#include "TestSupport.h"
#include "alert/EqAlertController.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace UlxTest;

namespace {

// A private bus for the test only.
class TPrivateBus
{
public:
    bool Start()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty()) {
            return false;
        }
        FDaemon.start(daemon,
                      {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        if (!FDaemon.waitForStarted(5000) || !WaitUntil([this] { return FDaemon.canReadLine(); }, 5000)) {
            return false;
        }
        Address = QString::fromUtf8(FDaemon.readLine()).trimmed();
        return !Address.isEmpty();
    }
    ~TPrivateBus()
    {
        FDaemon.terminate();
        if (!FDaemon.waitForFinished(3000)) {
            FDaemon.kill();
            FDaemon.waitForFinished(3000);
        }
    }
    QString Address;

private:
    QProcess FDaemon;
};

// The notification service: answers Notify with an id and records every call.
class TNotificationServer : public QDBusVirtualObject
{
public:
    struct TCall
    {
        QString Method;
        uint ReplacesId = 0;
        QString Summary;
        QString Body;
        int Urgency = -1;
        uint Id = 0;
    };
    QList<TCall> Calls;

    bool handleMessage(const QDBusMessage& AMessage, const QDBusConnection& AConnection) override
    {
        const QList<QVariant> args = AMessage.arguments();
        TCall call;
        call.Method = AMessage.member();
        if (call.Method == QLatin1String("Notify") && args.size() == 8) {
            call.ReplacesId = args[1].toUInt();
            call.Summary = args[3].toString();
            call.Body = args[4].toString();
            const QVariantMap hints = qdbus_cast<QVariantMap>(args[6]);
            call.Urgency = hints.contains(QStringLiteral("urgency"))
                               ? int(hints.value(QStringLiteral("urgency")).value<uchar>())
                               : -1;
            call.Id = call.ReplacesId ? call.ReplacesId : ++FLastId;
            Calls << call;
            AConnection.send(AMessage.createReply(QVariant::fromValue(call.Id)));
            return true;
        }
        if (call.Method == QLatin1String("CloseNotification") && args.size() == 1) {
            call.Id = args[0].toUInt();
            Calls << call;
            AConnection.send(AMessage.createReply());
            return true;
        }
        return false;
    }
    QString introspect(const QString&) const override { return QString(); }

private:
    uint FLastId = 40;
};

} // namespace

// Notify with critical urgency within a second of the alert, the same notification
// replaced on the upgrade and the cancel, closed when the alert is closed.
TEST(DesktopNotifier, ShowsReplacesAndClosesTheAlertsNotification)
{
    TPrivateBus bus;
    if (!bus.Start()) {
        GTEST_SKIP() << "dbus-daemon is not installed (scripts/bootstrap installs it)";
    }
    QDBusConnection server = QDBusConnection::connectToBus(bus.Address, QStringLiteral("ulx-test-server"));
    QDBusConnection client = QDBusConnection::connectToBus(bus.Address, QStringLiteral("ulx-test-client"));
    ASSERT_TRUE(server.isConnected() && client.isConnected());
    TNotificationServer service;
    ASSERT_TRUE(server.registerVirtualObject(QString::fromLatin1(TVeskDesktopNotifier::Path), &service));
    ASSERT_TRUE(server.registerService(QString::fromLatin1(TVeskDesktopNotifier::Service)));

    TFakeClock clock;
    TEqAlertController alert(nullptr, nullptr, &clock);
    TVeskDesktopNotifier notifier(alert, nullptr, client);
    const TLocationInfo home{35.69, 139.69, 1.35, QStringLiteral("350")};
    QElapsedTimer sinceAlert;
    sinceAlert.start();
    alert.SetIsAlerting(true);
    ASSERT_TRUE(alert.StartAlerting(home, Eq01(), 5.2, 20.0, false));
    ASSERT_TRUE(WaitUntil([&] { return !service.Calls.isEmpty(); }, 1000)) << "no Notify within 1 s";
    EXPECT_LT(sinceAlert.elapsed(), 1000);
    alert.SetAlertEq10Telegram(Eq10(QStringLiteral("ND20160414212634"), QStringLiteral("熊本県熊本地方")));
    ASSERT_TRUE(WaitUntil([&] { return service.Calls.size() == 2; }, 1000));

    TEq01Fields warning;
    warning.TelegNo = 6;
    warning.Areas = QStringLiteral("350");
    alert.SetIsAlerting(true);
    alert.SetIsAlertingWarning(true);
    ASSERT_TRUE(alert.StartAlerting(home, Eq01(warning), 5.8, 20.0, false));
    ASSERT_TRUE(WaitUntil([&] { return service.Calls.size() == 3; }, 1000));
    TEq01Fields cancel;
    cancel.Type = QStringLiteral("39");
    ASSERT_TRUE(alert.CancelEq(Eq01(cancel)));
    ASSERT_TRUE(WaitUntil([&] { return service.Calls.size() == 4; }, 1000));
    alert.StopAlerting();
    ASSERT_TRUE(WaitUntil(
        [&] { return !service.Calls.isEmpty() && service.Calls.last().Method == QLatin1String("CloseNotification"); },
        3000));

    const TNotificationServer::TCall& first = service.Calls.first();
    EXPECT_EQ(first.Method, QStringLiteral("Notify"));
    EXPECT_EQ(first.ReplacesId, 0u);
    EXPECT_EQ(first.Urgency, 2);
    EXPECT_EQ(first.Summary, QStringLiteral("緊急地震速報（予報）"));
    EXPECT_TRUE(first.Body.contains(QStringLiteral("震度５強"))) << qPrintable(first.Body);
    EXPECT_TRUE(first.Body.contains(QStringLiteral("到達予想 21:26:54"))) << qPrintable(first.Body);
    // Every later one replaces the first: one notification on the desktop.
    QStringList summaries;
    for (const TNotificationServer::TCall& c : service.Calls.mid(1)) {
        EXPECT_EQ(c.Id, first.Id) << qPrintable(c.Method);
        summaries << c.Summary;
    }
    EXPECT_TRUE(summaries.contains(QStringLiteral("緊急地震速報（警報）"))) << qPrintable(summaries.join(','));
    EXPECT_TRUE(summaries.contains(QStringLiteral("緊急地震速報（取消）"))) << qPrintable(summaries.join(','));
    EXPECT_TRUE(service.Calls[service.Calls.size() - 2].Body.contains(QStringLiteral("熊本県熊本地方")));
}

// Without the service nothing is shown and nothing waits.
TEST(DesktopNotifier, WithoutAServiceTheAlertGoesOn)
{
    TPrivateBus bus;
    if (!bus.Start()) {
        GTEST_SKIP() << "dbus-daemon is not installed";
    }
    QDBusConnection client = QDBusConnection::connectToBus(bus.Address, QStringLiteral("ulx-test-lonely"));
    TFakeClock clock;
    TEqAlertController alert(nullptr, nullptr, &clock);
    TVeskDesktopNotifier notifier(alert, nullptr, client);
    QElapsedTimer timer;
    timer.start();
    alert.SetIsAlerting(true);
    ASSERT_TRUE(alert.StartAlerting(TLocationInfo{35.69, 139.69, 1.35, "350"}, Eq01(), 5.2, 20.0, false));
    alert.StopAlerting();
    EXPECT_LT(timer.elapsed(), 200);
    RunFor(300);
}
