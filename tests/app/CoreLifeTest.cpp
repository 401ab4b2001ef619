// The core in one process: a local server, a fake clock and a fake forecast,
// and two listeners on the core's signals, through one earthquake's life.

#include "TestSupport.h"
#include "alert/AlertTiming.h"
#include "alert/EqAlertController.h"
#include "alert/EqTelegramDispatcher.h"
#include "app/VeskAppCore.h"
#include "config/VeskAppSettings.h"
#include "history/VeskData.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

using namespace UlxTest;

namespace {

const QString QuakeA = QStringLiteral("ND20160414212634");
const QString QuakeB = QStringLiteral("ND20160416012505");

QByteArray Line(const QString& EqId, int No, const QString& Areas = QString())
{
    TEq01Fields f;
    f.EqId = EqId;
    f.TelegNo = No;
    f.Areas = Areas;
    return (Eq01Line(f) + QLatin1Char('\n')).toUtf8();
}

} // namespace

TEST(CoreLife, OneEarthquakeThroughTheSignalsWithTwoListeners)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Everything goes to the data folder of the environment, whatever APPDATA says later.
    qputenv("APPDATA", dir.filePath("elsewhere").toUtf8());
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));

    TFakeClock clock;
    clock.Now = *TAlertTiming::ParseOccurrenceTime(QStringLiteral("160414212634")) + 2000;
    TFakeSoundChannel sound;
    TVeskEnvironment env;
    env.DataFolder = dir.filePath("data");
    env.Clock = &clock;
    env.Sound = &sound;
    env.Forecast = [](double, double, int32_t, double Mag, double, double, double, double* Sis, double* PSec,
                      double* SSec) {
        *Sis = Mag - 1.0;
        *PSec = 10.0;
        *SSec = 20.0;
        return 0;
    };
    TVeskAppCore core(env);
    core.OpenStores({QStringLiteral("-EqServer"), QStringLiteral("127.0.0.1"), QStringLiteral("-EqServerPort"),
                     QString::number(server.serverPort())});
    core.CreateAlertController();

    // Listener one: what the console would print.
    QStringList printed;
    TEqTelegramDispatcher* dispatcher = core.Dispatcher();
    QObject::connect(
        dispatcher, &TEqTelegramDispatcher::alertStarted,
        [&printed](TAlertKind Kind, const TEqTelegram01& T, double, double, bool Warning) {
            printed
                << QStringLiteral("%1 %2-%3 %4").arg(AlertKindName(Kind), T.GetEqId()).arg(T.GetTelegNo()).arg(Warning);
        });
    QObject::connect(dispatcher, &TEqTelegramDispatcher::alertSkipped, [&printed](const TEqTelegram01& T) {
        printed << QStringLiteral("skip %1-%2").arg(T.GetEqId()).arg(T.GetTelegNo());
    });
    TEqAlertController* alert = core.AlertController();
    QObject::connect(alert, &TEqAlertController::arrived,
                     [&printed](const TEqTelegram01& T) { printed << "arrival " + T.GetEqId(); });
    QObject::connect(alert, &TEqAlertController::historyWritten, [&printed](const TEqHistory& H, bool Inserted) {
        printed << QStringLiteral("history %1-%2 %3").arg(H.EqID).arg(H.TelegNo).arg(Inserted);
    });
    // Listener two: what the tray and the home screen would show.
    QStringList shown;
    QObject::connect(
        dispatcher, &TEqTelegramDispatcher::serverCommStatusChanged,
        [&shown](TServerCommStatus Status, const QString&) { shown << QStringLiteral("status %1").arg(int(Status)); });
    qint32 telegrams = 0, alerts = 0;
    QObject::connect(dispatcher, &TEqTelegramDispatcher::countersChanged, [&](qint32 T, qint32 A) {
        telegrams = T;
        alerts = A;
    });
    int shows = 0;
    QObject::connect(alert, &TEqAlertController::showRequested, [&shows] { ++shows; });

    core.StartReceiver();
    core.LoadPlugIn(nullptr);
    ASSERT_TRUE(WaitUntil([&] { return server.hasPendingConnections() || server.waitForNewConnection(10); }, 5000));
    QTcpSocket* link = server.nextPendingConnection();
    ASSERT_NE(link, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return shown.contains("status 1"); }, 5000));

    link->write(Line(QuakeA, 1));        // new forecast
    link->write(Line(QuakeA, 2));        // same quake, nothing new: skip
    link->write(Line(QuakeA, 3, "350")); // a warning for this area: upgrade
    link->write(Line(QuakeB, 1));        // another quake, no more threatening than the warning: concurrent
    link->write((Eq10Line(QuakeB, QStringLiteral("石川県能登地方")) + QLatin1Char('\n')).toUtf8());
    link->flush();
    ASSERT_TRUE(WaitUntil([&] { return printed.size() >= 4; }, 5000)) << qPrintable(printed.join('\n'));
    ASSERT_TRUE(WaitUntil(
        [&] {
            const TEqActiveQuake* b = alert->FindQuake(QuakeB);
            return b && b->Eq10Teleg.GetEqId() == QuakeB;
        },
        5000));
    EXPECT_EQ(printed.filter(QRegularExpression("^(new|skip|upgrade|replace|concurrent) ")),
              QStringList({"new " + QuakeA + "-1 0", "skip " + QuakeA + "-2", "upgrade " + QuakeA + "-3 1",
                           "concurrent " + QuakeB + "-1 0"}));
    EXPECT_EQ(alert->GetAlertingEqId(), QuakeA) << "the warning stays in front";
    EXPECT_TRUE(printed.filter("history ").isEmpty()) << "rows come with the arrival";
    EXPECT_EQ(telegrams, 4);
    EXPECT_EQ(alerts, 3);
    EXPECT_EQ(shows, 2);
    EXPECT_EQ(sound.Calls.first(), "warning") << "estimated class 5 upper rings the chime";

    clock.Now += 20000; // past the S-wave time: the next tick is the arrival
    ASSERT_TRUE(WaitUntil([&] { return printed.contains("arrival " + QuakeA); }, 3000));
    // One row per earthquake, each written at its S-wave's arrival: A with its warning's report.
    ASSERT_TRUE(WaitUntil([&] { return printed.filter("history ").size() == 2; }, 3000))
        << qPrintable(printed.join('\n'));
    EXPECT_TRUE(printed.contains("history " + QuakeA + "-3 1")) << qPrintable(printed.join('\n'));
    EXPECT_TRUE(printed.contains("history " + QuakeB + "-1 1")) << qPrintable(printed.join('\n'));
    EXPECT_EQ(sound.Calls.last(), "stop");

    // A telegram still queued at shutdown is decided and recorded without a window.
    link->write(Line(QStringLiteral("ND20160416012600"), 1));
    link->flush();
    ASSERT_TRUE(WaitUntil([&] { return telegrams == 4 && link->bytesToWrite() == 0; }, 1000));
    core.Shutdown();
    EXPECT_EQ(shown.last(), "status 0") << "the receiver's last hand-over was served while joining";

    EXPECT_TRUE(QFile::exists(QDir(env.DataFolder).filePath("UlmaroX.cnf")));
    EXPECT_TRUE(QFile::exists(QDir(env.DataFolder).filePath("UlmaroX.csl")));
    EXPECT_FALSE(QFile::exists(dir.filePath("elsewhere"))) << "nothing written where APPDATA points";

    QList<QStringList> rows;
    ASSERT_TRUE(TVeskDataMdl::ReadEqHistoryFile(QDir(env.DataFolder).filePath("EqHistDB.cds"), rows));
    QStringList ids;
    for (const QStringList& row : rows) {
        ids << row[0];
    }
    EXPECT_TRUE(ids.contains(QuakeB));
    EXPECT_EQ(ids.count(QuakeA), 1) << "one row for quake A, forecast and warning";
    EXPECT_LE(shows, 4);
}
