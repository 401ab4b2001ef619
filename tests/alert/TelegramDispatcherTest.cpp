#include "AlertTestSupport.h"
#include "alert/EqAlertController.h"
#include "alert/EqTelegramDispatcher.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>

#include <memory>
#include <stdexcept>

using namespace AlertTest;

namespace {

// Every call of the collaborators, in one list, so that tests can check order.
using TCalls = QStringList;

struct TFakeSettings : TEqDispatchSettings
{
    TLocationInfo Location{35.689, 139.692, 1.2, QStringLiteral("350")};
    TAlertConditions Conditions;
    bool AlwaysSound = true;
    qint32 Telegrams = 0;
    qint32 Alerts = 0;

    TFakeSettings()
    {
        Conditions.SIScaleIndex = 5;
        Conditions.SIScaleThreshold = 50;
        Conditions.SIScaleLabel = QStringLiteral("震度５弱");
    }
    TLocationInfo GetLocationInfo() const override { return Location; }
    TAlertConditions GetAlertConditions() const override { return Conditions; }
    bool IsAlwaysAlertSoundOn() const override { return AlwaysSound; }
    qint32 GetNumOfTotalEqTelegrams() const override { return Telegrams; }
    void SetNumOfTotalEqTelegrams(qint32 Value) override { Telegrams = Value; }
    qint32 GetNumOfTotalAlerts() const override { return Alerts; }
    void SetNumOfTotalAlerts(qint32 Value) override { Alerts = Value; }
};

struct TFakeWindow : TEqAlertWindowIntf
{
    TCalls& Calls;
    bool Alerting = false;
    bool Warning = false;
    TEqTelegram01 Teleg;
    TEqTelegram10 Teleg10;
    double Sis = 0.0;
    bool StartResult = true;
    QString ThrowOnStartOf; // StartAlerting throws for this earthquake

    explicit TFakeWindow(TCalls& ACalls) : Calls(ACalls) {}
    bool IsAlerting() const override { return Alerting; }
    void SetIsAlerting(bool Value) override
    {
        Alerting = Value;
        Calls << QStringLiteral("SetIsAlerting(%1)").arg(Value);
    }
    bool IsAlertingWarning() const override { return Warning; }
    void SetIsAlertingWarning(bool Value) override
    {
        Warning = Value;
        Calls << QStringLiteral("SetIsAlertingWarning(%1)").arg(Value);
    }
    QString GetAlertingEqId() const override { return Teleg.GetEqId(); }
    bool RegisterAlertingEqInfo() override
    {
        Calls << "Register " + Teleg.GetEqId();
        return true;
    }
    bool StartAlerting(const TLocationInfo& Location, const TEqTelegram01& Eq01Teleg, double EstSIS, double EstSec,
                       bool AlwaysAlertSoundOn) override
    {
        Calls << QStringLiteral("StartAlerting %1-%2 %3 %4 %5 %6")
                     .arg(Eq01Teleg.GetEqId())
                     .arg(Eq01Teleg.GetTelegNo())
                     .arg(EstSIS)
                     .arg(EstSec)
                     .arg(Location.AreaCode)
                     .arg(AlwaysAlertSoundOn);
        if (Eq01Teleg.GetEqId() == ThrowOnStartOf) {
            throw std::runtime_error("window failed");
        }
        if (!StartResult) {
            return false;
        }
        Teleg = Eq01Teleg;
        Sis = EstSIS;
        return true;
    }
    void SetAlertEq10Telegram(const TEqTelegram10& Eq10Teleg) override
    {
        Teleg10 = Eq10Teleg;
        Calls << "SetAlertEq10Telegram " + Eq10Teleg.GetEpicName();
    }
    void Show() override { Calls << "Show"; }
    void StopAlerting() override { Alerting = false; }
};

// The tray and the home screen: counters and link status as they reach them.
struct TRecordingView
{
    QStringList Events;
    qint32 Telegrams = 0;
    qint32 Alerts = 0;
    void Attach(TEqTelegramDispatcher& D)
    {
        QObject::connect(&D, &TEqTelegramDispatcher::countersChanged, [this](qint32 T, qint32 A) {
            if (T != Telegrams) {
                Events << QStringLiteral("telegrams %1").arg(T);
            }
            if (A != Alerts) {
                Events << QStringLiteral("alerts %1").arg(A);
            }
            Telegrams = T;
            Alerts = A;
        });
        QObject::connect(&D, &TEqTelegramDispatcher::serverCommStatusChanged,
                         [this](TServerCommStatus Status, const QString& Hint) {
                             Events << QStringLiteral("status %1 %2").arg(int(Status)).arg(Hint);
                         });
    }
};

// A second listener: each telegram's outcome.
struct TRecordingObserver
{
    QStringList Outcomes;
    void Attach(TEqTelegramDispatcher& D)
    {
        QObject::connect(&D, &TEqTelegramDispatcher::alertStarted,
                         [this](TAlertKind Kind, const TEqTelegram01& T, double Sis, double Sec, bool Warning) {
                             Outcomes << QStringLiteral("%1 %2-%3 %4 %5 %6")
                                             .arg(AlertKindName(Kind), T.GetEqId())
                                             .arg(T.GetTelegNo())
                                             .arg(Sis)
                                             .arg(Sec)
                                             .arg(Warning);
                         });
        QObject::connect(&D, &TEqTelegramDispatcher::alertSkipped, [this](const TEqTelegram01& T) {
            Outcomes << QStringLiteral("skip %1-%2").arg(T.GetEqId()).arg(T.GetTelegNo());
        });
        QObject::connect(&D, &TEqTelegramDispatcher::telegramRejected,
                         [this](const TEqTelegram01& T, TAlertRejectReason Reason) {
                             Outcomes << QStringLiteral("rejected %1-%2 %3")
                                             .arg(T.GetEqId())
                                             .arg(T.GetTelegNo())
                                             .arg(AlertRejectReasonName(Reason));
                         });
        QObject::connect(&D, &TEqTelegramDispatcher::epicentreNamed,
                         [this](const TEqTelegram10& T) { Outcomes << "name " + T.GetEqId() + " " + T.GetEpicName(); });
        QObject::connect(&D, &TEqTelegramDispatcher::serverCommStatusChanged,
                         [this](TServerCommStatus Status, const QString&) {
                             Outcomes << QStringLiteral("status %1").arg(int(Status));
                         });
    }
};

struct TFakeScreenSaver : TScreenSaverControl
{
    bool Running = false;
    int Stops = 0;
    bool IsScreenSaverRunning() override { return Running; }
    void StopScreenSaver() override
    {
        ++Stops;
        Running = false;
    }
};

const QString QuakeA = QStringLiteral("ND20160414212634");
const QString QuakeB = QStringLiteral("ND20160416012505");

TEq01Fields Quake(const QString& EqId, int No, const QString& Areas = QString(), const QString& Mag = "65")
{
    TEq01Fields f;
    f.EqId = EqId;
    f.TelegNo = No;
    f.Areas = Areas;
    f.Mag = Mag;
    return f;
}

// The dispatcher with recording collaborators. The substitute forecast gives the
// magnitude minus one as the intensity and 20 s, and code 2 for magnitude 0.
struct TDispatchFixture
{
    TCapturedLog Log;
    TCalls Calls;
    TEqTelegramQueues Queues;
    TFakeSettings Settings;
    TFakeWindow Window{Calls};
    TRecordingView View;
    TRecordingObserver Observer;
    TFakeScreenSaver ScreenSaver;
    TEqAlertDecision Decision{Log.Logger(), [this](double, double, int32_t, double Mag, double, double, double,
                                                   double* Sis, double* PSec, double* SSec) {
                                  Calls << QStringLiteral("forecast %1").arg(Mag);
                                  *Sis = Mag - 1.0;
                                  *PSec = 10.0;
                                  *SSec = 20.0;
                                  return Mag > 0.0 ? 0 : 2;
                              }};
    TEqTelegramDispatcher Dispatcher{Log.Logger(), Queues, Decision, Window, Settings};

    TDispatchFixture()
    {
        View.Attach(Dispatcher);
        Observer.Attach(Dispatcher);
        Dispatcher.SetScreenSaver(&ScreenSaver);
        Dispatcher.SetPlugInEntries([this](const QString& Text) { Calls << "plugin01 " + Text.mid(30, 19); },
                                    [this](const QString& Text) { Calls << "plugin10 " + Text.mid(2, 16); });
    }

    // As the receiver thread does: append under the lock, then post.
    void Receive(const TEq01Fields& F)
    {
        {
            QMutexLocker lock(&Queues.Lock);
            Queues.Eq01.push_back(Eq01(F));
        }
        QCoreApplication::postEvent(&Dispatcher, new QEvent(WM_EQ01_QUEUED));
    }
    void Receive10(const TEqTelegram10& T)
    {
        {
            QMutexLocker lock(&Queues.Lock);
            Queues.Eq10.push_back(T);
        }
        QCoreApplication::postEvent(&Dispatcher, new QEvent(WM_EQ10_QUEUED));
    }
    void Run() { QCoreApplication::sendPostedEvents(&Dispatcher); }
};

} // namespace

TEST(TelegramDispatcher, ThreeQueuedTelegramsAreDrainedByTheFirstEvent)
{
    TDispatchFixture f;
    TEq01Fields deep = Quake(QuakeB, 1);
    deep.Depth = "400";
    f.Receive(Quake(QuakeA, 1));
    f.Receive(deep);
    f.Receive(Quake(QuakeA, 2));
    f.Run();
    EXPECT_EQ(f.Settings.Telegrams, 3);
    EXPECT_EQ(f.Settings.Alerts, 1);
    EXPECT_EQ(f.Observer.Outcomes, QStringList({"new " + QuakeA + "-1 5.5 20 0", "rejected " + QuakeB + "-1 deep",
                                                "skip " + QuakeA + "-2"}));
    const QStringList queued = f.Log.Lines().filter("01 Queued.");
    EXPECT_EQ(queued, QStringList({"01 Queued.(Value=3)", "01 Queued.(Value=0)", "01 Queued.(Value=0)"}));
    EXPECT_TRUE(f.Queues.Eq01.empty());
    EXPECT_EQ(f.View.Events, QStringList({"telegrams 1", "alerts 1", "telegrams 2", "telegrams 3"}));
}

TEST(TelegramDispatcher, DecisionsOverOneAlertingQuake)
{
    TDispatchFixture f;
    struct TStep
    {
        const char* Name;
        TEq01Fields Fields;
        QString Outcome;
        QStringList WindowCalls; // calls after the forecast
        QStringList LogLines;    // type 8 and 23 decision lines
        int Alerts;
    };
    const TStep steps[] = {
        {"nothing alerting: new",
         Quake(QuakeA, 1),
         "new " + QuakeA + "-1 5.5 20 0",
         {"SetIsAlerting(1)", "SetIsAlertingWarning(0)", "StartAlerting " + QuakeA + "-1 5.5 20 350 1", "Show"},
         {"<8> Do ALERT.(Value=" + QuakeA + "-001)"},
         1},
        {"same quake without the user's area: skip",
         Quake(QuakeA, 2, "301"),
         "skip " + QuakeA + "-2",
         {},
         {"<8> " + QuakeA + "() - " + QuakeA + "(2) (Alert EQID - New EQID)",
          "<8> SKIP alerting.(Value=" + QuakeA + "-002)"},
         1},
        {"same quake naming the user's area: upgrade",
         Quake(QuakeA, 3, "301350", "70"),
         "upgrade " + QuakeA + "-3 6 20 1",
         {"SetIsAlerting(1)", "SetIsAlertingWarning(1)", "StartAlerting " + QuakeA + "-3 6 20 350 1", "Show"},
         {"<8> Do ALERT.(Forecase -> Warning)(Value=" + QuakeA + "-003)"},
         2},
        {"already a warning: skip",
         Quake(QuakeA, 4, "350"),
         "skip " + QuakeA + "-4",
         {},
         {"<8> " + QuakeA + "() - " + QuakeA + "(4) (Alert EQID - New EQID)",
          "<8> SKIP alerting.(Value=" + QuakeA + "-004)"},
         2},
        {"another quake: replace",
         Quake(QuakeB, 1),
         "replace " + QuakeB + "-1 5.5 20 0",
         {"SetIsAlerting(1)", "SetIsAlertingWarning(0)", "StartAlerting " + QuakeB + "-1 5.5 20 350 1", "Show"},
         {"<8> " + QuakeA + "() - " + QuakeB + "(1) (Alert EQID - New EQID)",
          "<23> Do ALERT.(New earthquake)(Value=" + QuakeB + "-001)"},
         3},
    };
    int telegrams = 0;
    for (const TStep& s : steps) {
        SCOPED_TRACE(s.Name);
        f.Calls.clear();
        f.Log.Clear();
        f.Observer.Outcomes.clear();
        f.Receive(s.Fields);
        f.Run();
        ++telegrams;
        EXPECT_EQ(f.Observer.Outcomes, QStringList{s.Outcome});
        const qsizetype forecast = f.Calls.indexOf(QRegularExpression("forecast .*"));
        ASSERT_GE(forecast, 0);
        // The plug-in hears of the telegram last, after the window.
        const QStringList plugIn = {
            QStringLiteral("plugin01 %1 %2").arg(s.Fields.EqId).arg(s.Fields.TelegNo, 2, 10, QLatin1Char('0'))};
        EXPECT_EQ(f.Calls.mid(forecast + 1), s.WindowCalls + plugIn);
        QStringList decisionLines;
        for (const QString& line : f.Log.Lines()) {
            if (line.startsWith("<8> ") || line.startsWith("<23> ")) {
                decisionLines << line;
            }
        }
        EXPECT_EQ(decisionLines, s.LogLines);
        EXPECT_EQ(f.Settings.Alerts, s.Alerts);
        EXPECT_EQ(f.Settings.Telegrams, telegrams);
    }
    // A skipped telegram left the running alert's estimate alone.
    EXPECT_EQ(f.Window.Sis, 5.5);
}

TEST(TelegramDispatcher, EveryRejectionEndsInOneOutcome)
{
    TDispatchFixture f;
    TEq01Fields drill = Quake(QuakeA, 1);
    drill.TrainType = "01";
    TEq01Fields inaccurate = Quake(QuakeA, 2);
    inaccurate.Accuracy = "11111";
    TEq01Fields noMagnitude = Quake(QuakeA, 3, QString(), "//");
    TEq01Fields weak = Quake(QuakeA, 4, QString(), "40");
    TEq01Fields badTime = Quake(QuakeA, 5);
    badTime.OccurrenceTime = "1604142126xx";
    f.Window.StartResult = false;
    for (const TEq01Fields& t : {drill, inaccurate, noMagnitude, weak, badTime}) {
        f.Receive(t);
    }
    f.Run();
    EXPECT_EQ(f.Observer.Outcomes,
              QStringList({"rejected " + QuakeA + "-1 drill", "rejected " + QuakeA + "-2 accuracy",
                           "rejected " + QuakeA + "-3 forecast", "rejected " + QuakeA + "-4 conditions",
                           "rejected " + QuakeA + "-5 occurrence_time"}));
    EXPECT_EQ(f.Settings.Telegrams, 5);
    EXPECT_EQ(f.Settings.Alerts, 0);
    // The failed start put the window's flags back.
    EXPECT_FALSE(f.Window.Alerting);
    EXPECT_FALSE(f.Window.Warning);
    EXPECT_FALSE(f.Calls.contains("Show"));
}

TEST(TelegramDispatcher, PlugInSeesEveryTelegramAfterItsOutcomeInQueueOrder)
{
    TDispatchFixture f;
    QObject::connect(&f.Dispatcher, &TEqTelegramDispatcher::alertStarted, [&f] { f.Calls << "outcome alert"; });
    QObject::connect(&f.Dispatcher, &TEqTelegramDispatcher::telegramRejected, [&f] { f.Calls << "outcome rejected"; });
    f.Receive(Quake(QuakeA, 1));
    f.Receive10(Eq10(QuakeA, QStringLiteral("熊本県熊本地方")));
    f.Receive(Quake(QuakeB, 1, QString(), "//"));
    f.Run();
    const QStringList order = f.Calls.filter(QRegularExpression("^(plugin|forecast|Show|outcome)"));
    EXPECT_EQ(order, QStringList({"forecast 6.5", "Show", "outcome alert", "plugin01 " + QuakeA + " 01", "forecast 0",
                                  "outcome rejected", "plugin01 " + QuakeB + " 01", "plugin10 " + QuakeA}));
}

TEST(TelegramDispatcher, Type10ReachesOnlyTheAlertingQuake)
{
    TDispatchFixture f;
    // Before any alert nothing is named, also not by a telegram without an id.
    f.Receive10(TEqTelegram10(QStringLiteral("10")));
    f.Run();
    EXPECT_FALSE(f.Calls.join(',').contains("SetAlertEq10Telegram"));

    f.Receive(Quake(QuakeA, 1));
    f.Run();
    f.Calls.clear();
    f.Observer.Outcomes.clear();
    f.Log.Clear();
    f.Receive10(Eq10(QuakeB, QStringLiteral("石川県能登地方")));
    f.Receive10(Eq10(QuakeA, QStringLiteral("熊本県熊本地方")));
    f.Run();
    EXPECT_EQ(f.Calls,
              QStringList({"plugin10 " + QuakeB, "SetAlertEq10Telegram 熊本県熊本地方", "plugin10 " + QuakeA}));
    EXPECT_EQ(f.Observer.Outcomes, QStringList({"name " + QuakeA + " 熊本県熊本地方"}));
    EXPECT_EQ(f.Log.Lines(),
              QStringList({"10 Queued.(Value=2)", QuakeA + "(Value=熊本県熊本地方)", "10 Queued.(Value=0)"}));
    EXPECT_EQ(f.Settings.Telegrams, 1);
}

TEST(TelegramDispatcher, NewAlertStopsARunningScreenSaver)
{
    TDispatchFixture f;
    f.ScreenSaver.Running = true;
    f.Receive(Quake(QuakeA, 1));
    f.Run();
    EXPECT_EQ(f.ScreenSaver.Stops, 1);
    EXPECT_TRUE(f.Log.Lines().contains("Stop screen-saver."));
    EXPECT_EQ(f.Settings.Alerts, 1);
    // Not while an alert is already showing.
    f.ScreenSaver.Running = true;
    f.Receive(Quake(QuakeB, 1));
    f.Run();
    EXPECT_EQ(f.ScreenSaver.Stops, 1);
}

TEST(TelegramDispatcher, ServerCommStatusHints)
{
    TDispatchFixture f;
    const QString disc = QStringLiteral("未接続 - サーバーと接続されていません。");
    const QString conn = QStringLiteral("接続中 - 緊急地震速報の受信待機中です。");
    const QString wait = QStringLiteral("再接続待機中 - 一定時間後、再接続を行います。");
    struct TCase
    {
        int Status;
        QString Hint;
    };
    // 3 is the one value outside the known ones that the enumeration can hold.
    const TCase cases[] = {{1, conn}, {2, wait}, {0, disc}, {1, conn}, {3, conn}};
    int previous = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Status);
        f.Log.Clear();
        f.View.Events.clear();
        f.Dispatcher.SetServerCommStatus(static_cast<TServerCommStatus>(c.Status));
        f.Dispatcher.PutServerCommStatus();
        EXPECT_EQ(f.View.Events, QStringList{QStringLiteral("status %1 %2").arg(c.Status).arg(c.Hint)});
        EXPECT_EQ(f.Dispatcher.GetServerCommHint(), c.Hint);
        EXPECT_EQ(
            f.Log.Lines(),
            QStringList({"==> SetServerCommStatus()", QStringLiteral("Cur. %1 -> New. %2").arg(previous).arg(c.Status),
                         "<== SetServerCommStatus()", "==> PutServerCommStatus",
                         QStringLiteral("ServerCommStatus(Value=%1)").arg(c.Status), "<== PutServerCommStatus"}));
        previous = c.Status;
    }
}

// The whole chain with the alert controller: the replaced alert is written first.
// With the real controller: the upgrade keeps one row for its earthquake, and a
// second earthquake no more threatening than the warning stays behind it.
TEST(TelegramDispatcher, WithTheAlertControllerEachQuakeGetsOneRow)
{
    TDispatchFixture f;
    TFakeClock clock;
    TFakeHistoryStore store;
    TEqAlertController view(f.Log.Logger(), &store, &clock);
    TEqTelegramDispatcher dispatcher(f.Log.Logger(), f.Queues, f.Decision, view, f.Settings);
    f.Observer.Attach(dispatcher);
    auto receive = [&](const TEq01Fields& F) {
        {
            QMutexLocker lock(&f.Queues.Lock);
            f.Queues.Eq01.push_back(Eq01(F));
        }
        dispatcher.WMEq01Queued();
    };
    clock.Now = DefaultOccurrence() + 2000;
    receive(Quake(QuakeA, 1));
    EXPECT_TRUE(view.IsAlerting());
    receive(Quake(QuakeA, 2, "350"));
    receive(Quake(QuakeB, 1));
    {
        QMutexLocker lock(&f.Queues.Lock);
        f.Queues.Eq10.push_back(Eq10(QuakeB, QStringLiteral("石川県能登地方")));
    }
    dispatcher.WMEq10Queued();
    EXPECT_EQ(f.Observer.Outcomes,
              QStringList({"new " + QuakeA + "-1 5.5 20 0", "upgrade " + QuakeA + "-2 5.5 20 1",
                           "concurrent " + QuakeB + "-1 5.5 20 0", "name " + QuakeB + " 石川県能登地方"}));
    EXPECT_TRUE(store.Records.isEmpty()); // rows come with the arrival
    EXPECT_EQ(view.GetAlertingEqId(), QuakeA);
    EXPECT_TRUE(view.IsAlertingWarning());
    clock.Now = DefaultOccurrence() + 20000;
    view.DoAlert();
    view.CheckQuakes();
    ASSERT_EQ(store.Records.size(), 2);
    EXPECT_EQ(store.Records[0].EqID, QuakeA);
    EXPECT_EQ(store.Records[0].TelegNo, 2); // the warning's report, one row
    EXPECT_EQ(store.Records[1].EqID, QuakeB);
    EXPECT_EQ(store.Records[1].EpicName, QStringLiteral("石川県能登地方"));
}

// A failure inside one telegram's handling neither loses the next one nor leaves it without an outcome.
TEST(TelegramDispatcher, AFailingTelegramEndsAsErrorAndTheDrainGoesOn)
{
    TDispatchFixture f;
    f.Window.ThrowOnStartOf = QuakeA;
    f.Receive(Quake(QuakeA, 1));
    f.Receive(Quake(QuakeB, 1));
    f.Run();
    EXPECT_EQ(f.Observer.Outcomes, QStringList({"rejected " + QuakeA + "-1 error", "new " + QuakeB + "-1 5.5 20 0"}));
    EXPECT_TRUE(f.Log.Lines().contains("<37> WMEq01Queued()(Value=window failed)"));
    EXPECT_EQ(f.Settings.Telegrams, 2);
    // The lock was released: the queue can be appended to again.
    EXPECT_TRUE(f.Queues.Lock.tryLock());
    f.Queues.Lock.unlock();
}

// The plug-in's outcome is ignored: a throwing entry is logged and every telegram
// is decided as without a plug-in. (It used to turn each alert into an "error" rejection.)
TEST(TelegramDispatcher, AThrowingPlugInEntryChangesNoDecision)
{
    TDispatchFixture f;
    f.Dispatcher.SetPlugInEntries([](const QString&) { throw std::runtime_error("plug-in failed"); },
                                  [](const QString&) { throw 42; });
    f.Receive(Quake(QuakeA, 1));
    f.Receive(Quake(QuakeB, 1, QString(), "//"));
    f.Receive(Quake(QuakeB, 2));
    f.Receive10(Eq10(QuakeB, QStringLiteral("石川県能登地方")));
    f.Run();
    EXPECT_EQ(f.Observer.Outcomes,
              QStringList({"new " + QuakeA + "-1 5.5 20 0", "rejected " + QuakeB + "-1 forecast",
                           "replace " + QuakeB + "-2 5.5 20 0", "name " + QuakeB + " 石川県能登地方"}));
    EXPECT_EQ(f.Log.Lines().count("<37> VpiEq01Queued()(Value=plug-in failed)"), 3);
    EXPECT_EQ(f.Log.Lines().count("<37> VpiEq10Queued()(Value=unknown error)"), 1);
    EXPECT_EQ(f.Settings.Alerts, 2);
}

namespace {

// JMA's forecast of one report for the areas given as "code:upper:lower:flags".
TEqTelegram11 AreaForecast(const QString& EqId, int No, const QStringList& Entries)
{
    QVector<TEqAreaForecast> entries;
    for (const QString& e : Entries) {
        const QStringList p = e.split(QLatin1Char(':'));
        entries.push_back({p[0], p[1], p[2], QStringLiteral("221822"), p[3]});
    }
    return TEqTelegram11(ComposeEqTelegram11(EqId, false, No, entries).value());
}

void Receive11(TDispatchFixture& F, const TEqTelegram11& T)
{
    {
        QMutexLocker lock(&F.Queues.Lock);
        F.Queues.Eq11.push_back(T);
    }
    QCoreApplication::postEvent(&F.Dispatcher, new QEvent(WM_EQ11_QUEUED));
}

} // namespace

// The decision takes the higher of our estimate and JMA's forecast for the user's
// area (350), from the type-11 line of the same report only; a PLUM forecast there
// sets the accuracy rule aside.
TEST(TelegramDispatcher, JmaAreaForecastOfTheSameReportRaisesTheDecision)
{
    struct TCase
    {
        const char* Name;
        QStringList Entries; // of report 2 unless Serial says otherwise
        int Serial;
        QString Accuracy;
        QString Outcome; // of the report: our estimate is 3.5 (class 4), the condition 5弱
        QString JmaLog;
    };
    const std::vector<TCase> cases = {
        {"none", {}, 2, "33333", "rejected conditions", ""},
        {"lower bound 5-", {"351:5+:5-:10", "350:5+:5-:10"}, 2, "33333", "new", "震度5弱～5強 22:18:22 (350)"},
        {"lower unknown, upper 5+", {"350:5+://:00"}, 2, "33333", "new", "震度5強程度 22:18:22 (350)"},
        {"lower 4 or more", {"350://:04:00"}, 2, "33333", "rejected conditions", "震度4程度以上 22:18:22 (350)"},
        {"another area only", {"351:07:6+:10"}, 2, "33333", "rejected conditions", ""},
        {"another report's forecast", {"350:07:6+:10"}, 1, "33333", "rejected conditions", ""},
        {"one station, not PLUM", {"350:6-:5+:10"}, 2, "11111", "rejected accuracy", "震度5強～6弱 22:18:22 (350)"},
        {"one station, PLUM at home", {"350:6-:5+:19"}, 2, "11111", "new", "震度5強～6弱 22:18:22 PLUM (350)"},
    };
    for (const TCase& c : cases) {
        TDispatchFixture f;
        f.Settings.Conditions.DataAccuracy = 1;
        if (!c.Entries.isEmpty()) {
            Receive11(f, AreaForecast(QuakeA, c.Serial, c.Entries));
        }
        TEq01Fields q = Quake(QuakeA, 2, QString(), "45");
        q.Accuracy = c.Accuracy;
        f.Receive(q);
        f.Run();
        ASSERT_EQ(f.Observer.Outcomes.size(), 1) << c.Name;
        const QString want = c.Outcome == QLatin1String("new")
                                 ? QStringLiteral("new %1-2 3.5 20 0").arg(QuakeA)
                                 : QStringLiteral("rejected %1-2 %2").arg(QuakeA, c.Outcome.section(' ', 1));
        EXPECT_EQ(f.Observer.Outcomes[0], want) << c.Name;
        const QStringList jma = f.Log.Lines().filter(QStringLiteral("気象庁予測震度"));
        if (QString(c.JmaLog).isEmpty()) {
            EXPECT_TRUE(jma.isEmpty()) << c.Name;
            EXPECT_FALSE(f.Dispatcher.LastAreaForecast()) << c.Name;
        } else {
            ASSERT_EQ(jma.size(), 1) << c.Name;
            EXPECT_EQ(jma[0], QStringLiteral("気象庁予測震度(Value=%1)").arg(c.JmaLog)) << c.Name;
            EXPECT_FALSE(f.Log.Lines().filter(QStringLiteral("予測震度(計算)(Value=3.50")).isEmpty()) << c.Name;
        }
        // Our own estimate goes to the alert unchanged: JMA's value is shown beside it.
        if (c.Outcome == QLatin1String("new")) {
            EXPECT_EQ(f.Window.Sis, 3.5) << c.Name;
        }
        const bool plumLogged =
            !f.Log.Lines().filter(QStringLiteral("精度条件の適用外-所在地はPLUM法による予測の為")).isEmpty();
        EXPECT_EQ(plumLogged, QString(c.Name).contains(QLatin1String("PLUM at home"))) << c.Name;
    }
}
