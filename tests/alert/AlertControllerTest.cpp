#include "AlertTestSupport.h"
#include "alert/EqAlertController.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QEventLoop>
#include <QTimer>

using namespace AlertTest;

namespace {

// One listener of the controller's signals, writing what it heard as text.
struct TRecordingListener
{
    explicit TRecordingListener(TEqAlertController& C)
    {
        QObject::connect(&C, &TEqAlertController::ticked, [this](const TEqTelegram01&, const TAlertTick& Tick) {
            Events << QStringLiteral("tick %1").arg(Tick.AdvanceSec);
        });
        QObject::connect(&C, &TEqAlertController::arrived,
                         [this](const TEqTelegram01& T) { Events << "arrival " + T.GetEqId(); });
        QObject::connect(&C, &TEqAlertController::historyWritten, [this](const TEqHistory& H, bool Inserted) {
            Events << QStringLiteral("history %1 %2").arg(H.EqID).arg(Inserted);
        });
    }
    QStringList Events;
};

} // namespace

TEST(EqAlertController, TicksUntilArrivalThenReportsArrivalBeforeHistory)
{
    TCapturedLog log;
    TFakeClock clock;
    TFakeHistoryStore store;
    TEqAlertController view(log.Logger(), &store, &clock);
    TRecordingListener obs(view);
    view.SetIsAlerting(true);
    ASSERT_TRUE(view.StartAlerting(TLocationInfo{35.32, 139.16, 1.0, "350"}, Eq01(), 5.2, 3.0, false));
    EXPECT_TRUE(view.IsTicking());
    EXPECT_EQ(view.GetAlertingEqId(), "ND20160414212634");
    clock.Now = DefaultOccurrence() + 1000;
    view.DoAlert();
    clock.Now = DefaultOccurrence() + 3000;
    view.DoAlert();
    EXPECT_FALSE(view.IsTicking());
    EXPECT_TRUE(view.IsAlerting()); // stays the alerting one after the arrival
    EXPECT_EQ(obs.Events, QStringList({"tick 2", "tick 0", "arrival ND20160414212634", "history ND20160414212634 1"}));
    // Closing later registers nothing more.
    view.StopAlerting();
    EXPECT_FALSE(view.IsAlerting());
    EXPECT_EQ(store.Records.size(), 1);
}

TEST(EqAlertController, MalformedTelegramKeepsTheRunningAlert)
{
    TCapturedLog log;
    TFakeClock clock;
    TEqAlertController view(log.Logger(), nullptr, &clock);
    ASSERT_TRUE(view.StartAlerting(TLocationInfo{35.32, 139.16, 1.0, "350"}, Eq01(), 5.2, 30.0, false));
    TEq01Fields bad;
    bad.EqId = "ND20990101000000";
    bad.OccurrenceTime = "99";
    EXPECT_FALSE(view.StartAlerting(TLocationInfo{35.32, 139.16, 1.0, "350"}, Eq01(bad), 6.0, 5.0, false));
    EXPECT_EQ(view.GetAlertingEqId(), "ND20160414212634");
    EXPECT_FLOAT_EQ(view.Timing().GetEstimatedSec(), 30.0f);
    EXPECT_TRUE(view.IsTicking());
}

TEST(EqAlertController, ShutdownWritesTheRunningAlertOnceAndNothingWithoutOne)
{
    TFakeClock clock;
    TFakeHistoryStore store;
    {
        TEqAlertController idle(nullptr, &store, &clock);
        idle.StopAlerting();
        EXPECT_TRUE(store.Records.isEmpty());
    }
    TEqAlertController view(nullptr, &store, &clock);
    TRecordingListener obs(view);
    ASSERT_TRUE(view.StartAlerting(TLocationInfo{35.32, 139.16, 1.0, "350"}, Eq01(), 5.2, 30.0, false));
    view.SetAlertEq10Telegram(Eq10("ND20160414212634", QStringLiteral("熊本県熊本地方")));
    view.StopAlerting();
    view.StopAlerting();
    ASSERT_EQ(store.Records.size(), 1);
    EXPECT_EQ(store.Records[0].EpicName, QStringLiteral("熊本県熊本地方"));
    EXPECT_EQ(obs.Events, QStringList({"history ND20160414212634 1"}));
    EXPECT_FALSE(view.IsTicking());
}

TEST(EqAlertController, RealTimerTicksEverySecond)
{
    TFakeClock clock;
    TFakeHistoryStore store;
    TEqAlertController view(nullptr, &store, &clock);
    TRecordingListener obs(view);
    clock.Now = DefaultOccurrence() + 5000;
    ASSERT_TRUE(view.StartAlerting(TLocationInfo{35.32, 139.16, 1.0, "350"}, Eq01(), 5.2, 3.0, false));
    QEventLoop loop;
    QTimer::singleShot(1300, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(obs.Events, QStringList({"tick 2", "arrival ND20160414212634", "history ND20160414212634 1"}));
}

// An upgrade restarts the alert for the same earthquake: the epicentre name already
// received stays with it (and reaches its history row); another earthquake starts unnamed.
TEST(EqAlertController, EpicentreNameStaysWithTheSameEarthquakeOnly)
{
    TFakeClock clock;
    TFakeHistoryStore store;
    TEqAlertController view(nullptr, &store, &clock);
    const TLocationInfo home{35.32, 139.16, 1.0, "350"};
    ASSERT_TRUE(view.StartAlerting(home, Eq01(), 5.2, 30.0, false));
    view.SetAlertEq10Telegram(Eq10(QStringLiteral("ND20160414212634"), QStringLiteral("熊本県熊本地方")));

    TEq01Fields upgraded;
    upgraded.TelegNo = 6;
    view.RegisterAlertingEqInfo();
    ASSERT_TRUE(view.StartAlerting(home, Eq01(upgraded), 6.1, 25.0, false));
    EXPECT_EQ(view.GetAlertEq10Telegram().GetEpicName(), QStringLiteral("熊本県熊本地方"));
    view.RegisterAlertingEqInfo();

    TEq01Fields other;
    other.EqId = "ND20160416012505";
    ASSERT_TRUE(view.StartAlerting(home, Eq01(other), 6.1, 25.0, false));
    EXPECT_TRUE(view.GetAlertEq10Telegram().GetEpicName().isEmpty());

    ASSERT_EQ(store.Records.size(), 2);
    EXPECT_EQ(store.Records[0].EpicName, QStringLiteral("熊本県熊本地方"));
    EXPECT_EQ(store.Records[1].EpicName, QStringLiteral("熊本県熊本地方"));
}

namespace {

const TLocationInfo Home{35.32, 139.16, 1.0, "350"};

struct TPainterSpy : TAlertFramePainter
{
    QList<qint64> Countdowns;
    void PaintFrame(const TAlertTiming&, const TAlertTick& Tick) override { Countdowns << Tick.AdvanceSec; }
};

} // namespace

// The alarm chosen, the user's switch and what ends the sound, as one alert's life.
TEST(EqAlertController, SoundFollowsTheChoiceRuleTheSwitchAndTheArrival)
{
    struct TCase
    {
        const char* Name;
        double EstSIS;
        bool Warning;
        const char* Want;
    };
    const TCase cases[] = {
        {"class 4 forecast", 4.4, false, "forecast"},
        {"class 5 lower forecast", 4.6, false, "warning"},
        {"class 3 warning", 3.0, true, "warning"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeClock clock;
        TFakeSoundChannel sound;
        TEqAlertController alert(nullptr, nullptr, &clock);
        alert.SetSoundChannel(&sound);
        alert.SetIsAlerting(true);
        alert.SetIsAlertingWarning(c.Warning);
        ASSERT_TRUE(alert.StartAlerting(Home, Eq01(), c.EstSIS, 3.0, false));
        EXPECT_EQ(sound.Calls, QStringList{c.Want});
        EXPECT_TRUE(alert.IsPlayingSound());
    }

    TFakeClock clock;
    TFakeSoundChannel sound;
    TEqAlertController alert(nullptr, nullptr, &clock);
    alert.SetSoundChannel(&sound);
    ASSERT_TRUE(alert.StartAlerting(Home, Eq01(), 3.0, 3.0, false));
    alert.ToggleAlertSound(); // silenced by the user
    EXPECT_FALSE(alert.IsPlayingSound());
    EXPECT_FALSE(alert.NeedAlertSound());
    TEq01Fields other;
    other.EqId = "ND20160416012505";
    ASSERT_TRUE(alert.StartAlerting(Home, Eq01(other), 3.0, 3.0, false));
    EXPECT_EQ(sound.Calls, QStringList({"forecast", "stop"})) << "a silenced window stays silent";
    ASSERT_TRUE(alert.StartAlerting(Home, Eq01(other), 3.0, 3.0, true));
    EXPECT_EQ(sound.Calls.last(), "forecast") << "the always-on setting rings every alert";
    clock.Now = DefaultOccurrence() + 3000;
    alert.DoAlert(); // arrival
    EXPECT_EQ(sound.Calls.last(), "stop");
    EXPECT_FALSE(alert.IsPlayingSound());
    alert.ToggleAlertSound(); // after the arrival the switch rings again, looping
    EXPECT_EQ(sound.Calls.last(), "forecast");
    alert.StopAlerting(); // closing silences it
    EXPECT_EQ(sound.Calls.last(), "stop");
    EXPECT_FALSE(alert.IsPlayingSound());
}

TEST(EqAlertController, HeaderCaptionFollowsTheDispatchersWrites)
{
    TEqAlertController alert(nullptr);
    QStringList captions;
    QObject::connect(&alert, &TEqAlertController::headerCaptionChanged,
                     [&captions](const QString& C) { captions << C; });
    EXPECT_TRUE(alert.HeaderCaption().isEmpty());
    alert.SetIsAlerting(true);
    alert.SetIsAlertingWarning(false);
    alert.SetIsAlerting(true);
    alert.SetIsAlertingWarning(true);
    alert.SetIsAlerting(true); // another earthquake's forecast
    alert.SetIsAlertingWarning(false);
    EXPECT_EQ(captions, QStringList({"緊急地震速報（予報）", "緊急地震速報（予報）", "緊急地震速報（警報）",
                                     "緊急地震速報（予報）"}));
    EXPECT_EQ(alert.HeaderCaption(), "緊急地震速報（予報）");
}

// The first frame is drawn as soon as control returns to the event loop, not a
// second later; after it the tick lands just after each whole second.
TEST(EqAlertController, FirstFrameAtOnceThenTicksAlignedToWholeSeconds)
{
    TFakeClock clock;
    TPainterSpy painter;
    TEqAlertController alert(nullptr, nullptr, &clock);
    alert.SetFramePainter(&painter);
    clock.Now = DefaultOccurrence() + 400;
    ASSERT_TRUE(alert.StartAlerting(Home, Eq01(), 5.0, 20.0, false));
    EXPECT_TRUE(painter.Countdowns.isEmpty());
    ASSERT_TRUE(WaitUntil([&] { return !painter.Countdowns.isEmpty(); }, 100));
    EXPECT_EQ(painter.Countdowns, QList<qint64>{19});

    const struct
    {
        qint64 IntoSecond, Delay;
    } delays[] = {{0, 1050}, {49, 1001}, {50, 1000}, {400, 650}, {999, 51}};
    for (const auto& d : delays) {
        clock.Now = DefaultOccurrence() + 7000 + d.IntoSecond;
        EXPECT_EQ(alert.NextTickDelay(), d.Delay) << d.IntoSecond;
    }
}

// With the real clock every countdown value is shown once, in order, down to the arrival.
TEST(EqAlertController, CountdownNeverRepeatsASecond)
{
    const QDateTime now = VeskJapanNow();
    TEq01Fields f;
    f.OccurrenceTime = now.toString(QStringLiteral("yyMMddHHmmss"));
    f.PresentTime = f.OccurrenceTime;
    TEqAlertController alert(nullptr);
    QList<qint64> shown;
    bool arrived = false;
    QObject::connect(&alert, &TEqAlertController::ticked,
                     [&shown](const TEqTelegram01&, const TAlertTick& Tick) { shown << Tick.AdvanceSec; });
    QObject::connect(&alert, &TEqAlertController::arrived, [&arrived](const TEqTelegram01&) { arrived = true; });
    ASSERT_TRUE(alert.StartAlerting(Home, Eq01(f), 5.0, 3.0, false));
    ASSERT_TRUE(WaitUntil([&] { return arrived; }, 6000));
    ASSERT_GE(shown.size(), 3);
    for (int i = 1; i < shown.size() - 1; ++i) {
        EXPECT_EQ(shown[i], shown[i - 1] - 1) << "values shown: " << shown.size();
    }
    EXPECT_EQ(shown.last(), 0) << "the arrival is seen within the arrival second";
}

TEST(EqAlertController, QuietAlertsOpenNothingRingNothingButAreRecorded)
{
    TFakeClock clock;
    TFakeHistoryStore store;
    TFakeSoundChannel sound;
    TPainterSpy painter;
    TEqAlertController alert(nullptr, &store, &clock);
    alert.SetSoundChannel(&sound);
    alert.SetFramePainter(&painter);
    alert.SetQuiet(true);
    int shows = 0;
    QObject::connect(&alert, &TEqAlertController::showRequested, [&shows] { ++shows; });
    ASSERT_TRUE(alert.StartAlerting(Home, Eq01(), 5.0, 20.0, true));
    alert.Show();
    alert.DoAlert();
    alert.StopAlerting();
    EXPECT_EQ(shows, 0);
    EXPECT_TRUE(painter.Countdowns.isEmpty());
    EXPECT_FALSE(sound.Calls.contains("warning") || sound.Calls.contains("forecast"));
    EXPECT_EQ(store.Records.size(), 1);
}
