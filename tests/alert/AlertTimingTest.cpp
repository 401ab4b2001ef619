#include "alert/AlertTiming.h"
#include "AlertTestSupport.h"
#include "alert/AlertMapGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace AlertTest;
using namespace AlertMapGeometry;

TEST(AlertMapGeometry, ProjectsOntoTheSmallMap)
{
    struct TCase
    {
        float Lat, Lng;
        int X, Y;
    };
    const TCase cases[] = {
        {32.73f, 130.82f, 153, 310}, {38.10f, 142.85f, 368, 198}, {35.32f, 139.16f, 302, 257},
        {46.471f, 122.283f, 0, 5},   {22.6f, 150.2f, 500, 505},   {22.5f, 139.0f, 0, 0},
        {35.0f, 150.3f, 0, 0},       {46.5f, 139.0f, 0, 0},       {NAN, 139.0f, 0, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Lat << " " << c.Lng);
        int x = -1;
        int y = -1;
        LatLngToXY(c.Lat, c.Lng, x, y);
        EXPECT_EQ(x, c.X);
        EXPECT_EQ(y, c.Y);
    }
}

TEST(AlertMapGeometry, DistancesAndRounding)
{
    EXPECT_NEAR(GetDistance(35.32f, 139.16f, 38.10f, 142.85f), std::sqrt(66.0 * 66.0 + 59.0 * 59.0), 1e-4);
    EXPECT_EQ(GetDistance(302, 257, 368, 198), 89);
    EXPECT_EQ(GetDistance(0, 0, 3, 4), 5);
    EXPECT_EQ(RoundHalfEven(10.5), 10);
    EXPECT_EQ(RoundHalfEven(11.5), 12);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(4.8), 5);
    EXPECT_EQ(RoundHalfEven(1e300), std::numeric_limits<int>::max());
    EXPECT_EQ(RoundHalfEven(NAN), 0);
    EXPECT_EQ(GetMapWidth(), 500);
    EXPECT_EQ(GetMapHeight(amsLarge), 3000);
}

TEST(AlertTiming, OccurrenceTimeParsing)
{
    ASSERT_TRUE(TAlertTiming::ParseOccurrenceTime("160414212634"));
    EXPECT_EQ(TAlertTiming::FormatDateTime(*TAlertTiming::ParseOccurrenceTime("160414212634")), "2016/04/14 21:26:34");
    EXPECT_EQ(TAlertTiming::FormatDateTime(*TAlertTiming::ParseOccurrenceTime("000101000000")), "2000/01/01 00:00:00");
    for (const char* bad : {"", "16041421263", "1604142126xx", "161314212634", "160230212634", "160414252634",
                            "16041421266 ", "//////////////"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(TAlertTiming::ParseOccurrenceTime(QString::fromLatin1(bad)));
    }
    EXPECT_EQ(TAlertTiming::WholeSecondsBetween(1000, 2999), 1);
    EXPECT_EQ(TAlertTiming::WholeSecondsBetween(2999, 1000), 1);
}

namespace {

// An alert of the default telegram (32.7 N 130.8 E) at home 35.32 N 139.16 E.
struct TTimingFixture
{
    TCapturedLog Log;
    TFakeClock Clock;
    TFakeHistoryStore Store;
    TAlertTiming Timing{Log.Logger(), &Clock, &Store};
    int Stops = 0;

    explicit TTimingFixture(float Seconds, float Scale = 5.2f)
    {
        Timing.SetOnStop([this] { ++Stops; });
        Timing.SetEqInfo(35.32f, 139.16f, Eq01(), Scale, Seconds);
        EXPECT_TRUE(Timing.StartAlert());
        Log.Clear();
    }
    float Dis() const { return GetDistance(35.32f, 139.16f, 32.7f, 130.8f); }
};

} // namespace

TEST(AlertTiming, TickBeforeArrival)
{
    TTimingFixture f(20.0f);
    f.Clock.Now = DefaultOccurrence() + 1400;
    const TAlertTick t = f.Timing.DoAlert();
    EXPECT_FALSE(t.Arrived);
    EXPECT_EQ(t.ElapsedSec, 1);
    EXPECT_EQ(t.ArrivalSec, 20);
    EXPECT_EQ(t.ArrivalMSecs, DefaultOccurrence() + 20000);
    EXPECT_EQ(t.AdvanceSec, 18);
    EXPECT_FLOAT_EQ(t.Radius, f.Dis() / 20.0f);
    EXPECT_EQ(t.Color, 0x05FF9900u); // Round(96 / 20) = 5, class 5+ colour
    EXPECT_TRUE(f.Timing.IsAlerting());
    EXPECT_EQ(f.Stops, 0);
    EXPECT_TRUE(f.Store.Records.isEmpty());

    const QString dis = QString::number(double(f.Dis()), 'g', 15);
    EXPECT_EQ(f.Log.Lines(), QStringList({
                                 "==> DoAlert()",
                                 "<27> 対象EQ ID(Value=ND20160414212634-005)",
                                 "<27> 所在地と震央の距離(Value=" + dis + "(Dis))",
                                 "<27> 震度階級色(Value=0xffff9900)",
                                 "<27> 地震発生時刻(a)　　(Value=2016/04/14 21:26:34)",
                                 "<27> 到達予測秒数(b)　　(Value=20 sec.)",
                                 "<27> 地震到達予測時刻(c)(Value=2016/04/14 21:26:54(a)+(b))",
                                 "<27> 現在時刻(d)　　　　(Value=2016/04/14 21:26:35)",
                                 "<27> 経過秒数(e)　　　　:(Value=1 sec.(d)-(a))",
                                 "<27> 猶予秒数(f)　　　　(Value=18 sec.)",
                                 "<27> 地震波（Ｓ波）未到達",
                                 QString::asprintf("<27> 半径 = (Dis)[%.2f] / (b)[20.00] * (e)[1]", double(f.Dis())),
                                 "<27> 半径(Value=" + QString::number(double(f.Dis() / 20.0f), 'g', 15) + ")",
                                 "<== DoAlert()",
                             }));
}

TEST(AlertTiming, ArrivalEdges)
{
    struct TCase
    {
        const char* Name;
        float Seconds;
        qint64 ClockOffset; // ms after the occurrence
        bool Arrived;
        qint64 Elapsed;
        qint64 Advance;
        float RadiusFactor; // of Dis
        quint32 Alpha;
    };
    const TCase cases[] = {
        {"halves to even: (c) is 10 s, radius divides by 10.5", 10.5f, 9999, false, 9, 0, 9.0f / 10.5f, (9 * 9) % 256},
        {"exactly at (c) counts as arrived", 10.5f, 10000, true, 10, 0, 1.0f, 0x80},
        {"already elapsed at the first tick", 5.0f, 60000, true, 60, 55, 1.0f, 0x80},
        {"clock behind the occurrence shrinks the circle", 20.0f, -3000, false, 3, 23, 3.0f / 20.0f, 15},
        {"zero seconds with the clock behind is the arrival", 0.0f, -3000, true, 3, 3, 1.0f, 0x80},
        {"negative seconds are the arrival", -4.0f, -10000, true, 10, 6, 1.0f, 0x80},
        {"alpha wraps modulo 256", 0.25f, -3000, false, 3, 3, 12.0f, (384 * 3) % 256},
        {"tiny estimate does not overflow the alpha", 1e-30f, -2000, false, 2, 2, 0.0f, 0xFFFFFFFF},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTimingFixture f(c.Seconds);
        f.Clock.Now = DefaultOccurrence() + c.ClockOffset;
        const TAlertTick t = f.Timing.DoAlert();
        EXPECT_EQ(t.Arrived, c.Arrived);
        EXPECT_EQ(t.ElapsedSec, c.Elapsed);
        EXPECT_EQ(t.AdvanceSec, c.Advance);
        if (c.Alpha != 0xFFFFFFFF) {
            EXPECT_FLOAT_EQ(t.Radius, f.Dis() * c.RadiusFactor);
            EXPECT_EQ(t.Color >> 24, c.Alpha);
        }
        EXPECT_EQ(t.Color & 0x00FFFFFFu, 0xFF9900u);
        EXPECT_EQ(f.Timing.IsAlerting(), !c.Arrived);
        EXPECT_EQ(f.Stops, c.Arrived ? 1 : 0);
        EXPECT_EQ(f.Store.Records.size(), c.Arrived ? 1 : 0);
        EXPECT_EQ(f.Log.Lines().contains(c.Arrived ? "<27> 地震波（Ｓ波）到達" : "<27> 地震波（Ｓ波）未到達"), true);
    }
}

TEST(AlertTiming, RegistrationOncePerAlert)
{
    TTimingFixture f(20.0f, 4.7f);
    f.Timing.SetEq10Telegram(Eq10("ND20160414212634", QStringLiteral("熊本県熊本地方")));
    int notified = 0;
    f.Timing.SetOnRegistered([&](const TEqHistory& H, bool Inserted) {
        ++notified;
        EXPECT_TRUE(Inserted);
        EXPECT_EQ(H.EqID, "ND20160414212634");
    });
    EXPECT_TRUE(f.Timing.RegisterEqInfoInDb());
    EXPECT_FALSE(f.Timing.RegisterEqInfoInDb());
    ASSERT_EQ(f.Store.Records.size(), 1);
    const TEqHistory& h = f.Store.Records[0];
    EXPECT_EQ(h.EpicName, QStringLiteral("熊本県熊本地方"));
    EXPECT_EQ(h.EstSIS, QStringLiteral("５弱"));
    EXPECT_EQ(h.EstSec, "20");
    EXPECT_EQ(h.OccurrenceTime, "2016/04/14 21:26:34");
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(f.Log.Lines(), QStringList({
                                 "==> RegisterEqInfoInDb()",
                                 "<27> Registered EQ info.(Value=ND20160414212634(5))",
                                 "<== RegisterEqInfoInDb()",
                                 "==> RegisterEqInfoInDb()",
                                 "<27> Already registered EQ info.(Value=ND20160414212634(5))",
                                 "<== RegisterEqInfoInDb()",
                             }));
    // The arrival after a registration writes nothing more; a new alert writes again.
    f.Clock.Now = DefaultOccurrence() + 30000;
    EXPECT_TRUE(f.Timing.DoAlert().Arrived);
    EXPECT_EQ(f.Store.Records.size(), 1);
    ASSERT_TRUE(f.Timing.StartAlert());
    EXPECT_TRUE(f.Timing.RegisterEqInfoInDb());
    EXPECT_EQ(f.Store.Records.size(), 2);
}

TEST(AlertTiming, RegistrationWithoutStoreOrAlert)
{
    TCapturedLog log;
    TFakeClock clock;
    TAlertTiming timing(log.Logger(), &clock, nullptr);
    // Nothing alerted yet: no empty row, no flag.
    EXPECT_FALSE(timing.RegisterEqInfoInDb());
    EXPECT_FALSE(timing.IsRegisteredEqInfo());
    timing.SetEqInfo(35.0f, 139.0f, Eq01(), 5.0f, 10.0f);
    ASSERT_TRUE(timing.StartAlert());
    log.Clear();
    EXPECT_FALSE(timing.RegisterEqInfoInDb());
    EXPECT_TRUE(timing.IsRegisteredEqInfo());
    EXPECT_TRUE(log.Lines().contains("<27> Registered EQ info.(Value=ND20160414212634(5))"));
}

TEST(AlertTiming, MalformedOccurrenceTimeStartsNothing)
{
    TCapturedLog log;
    TFakeClock clock;
    TAlertTiming timing(log.Logger(), &clock, nullptr);
    TEq01Fields f;
    f.OccurrenceTime = "16041421xx34";
    timing.SetEqInfo(35.0f, 139.0f, Eq01(f), 5.0f, 10.0f);
    EXPECT_FALSE(timing.StartAlert());
    EXPECT_FALSE(timing.IsAlerting());
    EXPECT_FALSE(timing.HasStarted());
    ASSERT_EQ(log.Lines().size(), 1);
    EXPECT_TRUE(log.Lines()[0].startsWith("<37> StartAlert()(Value='16041421xx34'"));
}
