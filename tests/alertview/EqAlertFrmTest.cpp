// The alert window driven by the alert controller, offscreen.

#include "alertview/EqAlertFrm.h"
#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "alert/AlertTiming.h"
#include "alert/EqAlertController.h"
#include "alertview/AlertMap.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QImage>

using namespace UlxTest;

namespace {

const TLocationInfo Tokyo{35.68944, 139.69167, 1.35, QStringLiteral("350")};

struct TWindowFixture
{
    TFakeClock Clock;
    TFakeHistoryStore Store;
    TFakeSoundChannel Sound;
    TEqAlertController Controller{nullptr, &Store, &Clock};
    TEqAlertFrm Window{Controller, nullptr};

    TWindowFixture()
    {
        Clock.Now = *TAlertTiming::ParseOccurrenceTime(QStringLiteral("160414212634")) + 2000;
        Controller.SetSoundChannel(&Sound);
    }
    // As the dispatcher drives the window for a qualifying telegram.
    void Alert(const TEq01Fields& F, bool Warning, double EstSIS = 5.2, double EstSec = 12.5)
    {
        Controller.SetIsAlerting(true);
        Controller.SetIsAlertingWarning(Warning);
        ASSERT_TRUE(Controller.StartAlerting(Tokyo, Eq01(F), EstSIS, EstSec, false));
        Controller.Show();
    }
    void Close()
    {
        QCloseEvent event;
        QCoreApplication::sendEvent(&Window, &event);
    }
};

} // namespace

TEST(EqAlertFrm, FieldsShowTheAlertInTheirFormats)
{
    TWindowFixture f;
    f.Alert(TEq01Fields{}, false);
    const struct
    {
        const char* Field;
        const char* Text;
    } want[] = {
        {"LocLatEdt", "35.689"},
        {"LocLngEdt", "139.692"},
        {"LocGAmpEdt", "1.350"},
        {"LocAreaCodeEdt", "350"},
        {"EpiLatEdt", "32.7"},
        {"EpiLngEdt", "130.8"},
        {"EpiDepthEdt", "10"},
        {"EpiMgEdt", "6.5"},
        {"EqIdEdt", "ND20160414212634(5)"},
        {"PresEdt", "2016/04/14 21:26:40"},
        {"OccurEdt", "2016/04/14 21:26:34"},
        {"EstSISEdt", "5.2"},
        {"EstSecEdt", "12"}, // 12.5 rounds to the even 12
    };
    for (const auto& w : want) {
        EXPECT_EQ(f.Window.FieldText(QString::fromUtf8(w.Field)), QString::fromUtf8(w.Text)) << w.Field;
    }
    EXPECT_TRUE(f.Window.isVisible());
    EXPECT_EQ(f.Window.size(), QSize(653, 571));
    EXPECT_TRUE(f.Window.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(TEqAlertFrm::TelegramTimeText(QStringLiteral("1604142")), QStringLiteral("2016/04/14 2::"));
}

TEST(EqAlertFrm, HeaderFollowsForecastWarningAndAnotherEarthquake)
{
    TWindowFixture f;
    EXPECT_TRUE(f.Window.HeaderText().isEmpty());
    f.Alert(TEq01Fields{}, false);
    EXPECT_EQ(f.Window.HeaderText(), "緊急地震速報（予報）");
    TEq01Fields warning;
    warning.TelegNo = 6;
    warning.Areas = "350";
    EXPECT_EQ(f.Window.HeaderBandColor(), TEqAlertFrm::ForecastBandColor);
    f.Alert(warning, true);
    EXPECT_EQ(f.Window.HeaderText(), "緊急地震速報（警報）");
    EXPECT_EQ(f.Window.HeaderBandColor(), TEqAlertFrm::WarningBandColor);
    TEq01Fields other;
    other.EqId = "ND20160416012505";
    f.Alert(other, false);
    EXPECT_EQ(f.Window.HeaderText(), "緊急地震速報（予報）");
    EXPECT_EQ(f.Window.HeaderBandColor(), TEqAlertFrm::ForecastBandColor);
}

// JMA's own forecast for the user's area stands beside the calculated fields, and
// follows later reports; an alert without one shows nothing there.
TEST(EqAlertFrm, JmaForecastForTheAreaIsShownBesideTheEstimate)
{
    TWindowFixture f;
    f.Controller.SetAreaForecast(TEqAreaForecast{QStringLiteral("350"), QStringLiteral("//"), QStringLiteral("04"),
                                                 QStringLiteral("212650"), QStringLiteral("10")});
    f.Alert(TEq01Fields{}, false);
    EXPECT_EQ(f.Window.JmaForecastText(), QStringLiteral("気象庁発表 震度4程度以上（到達予想 21:26:50）"));
    EXPECT_EQ(f.Window.FieldText("EstSISEdt"), QStringLiteral("5.2"));
    f.Controller.SetAreaForecast(TEqAreaForecast{QStringLiteral("350"), QStringLiteral("5+"), QStringLiteral("5-"),
                                                 QStringLiteral("//////"), QStringLiteral("10")});
    EXPECT_EQ(f.Window.JmaForecastText(), QStringLiteral("気象庁発表 震度5弱～5強"));
    f.Controller.SetAreaForecast(std::nullopt);
    TEq01Fields other;
    other.EqId = "ND20160416012505";
    f.Alert(other, false);
    EXPECT_TRUE(f.Window.JmaForecastText().isEmpty());
}

TEST(EqAlertFrm, EscapeClosesLikeTheCloseBox)
{
    TWindowFixture f;
    f.Alert(TEq01Fields{}, false);
    ASSERT_TRUE(f.Window.isVisible());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&f.Window, &escape);
    EXPECT_FALSE(f.Window.isVisible());
    EXPECT_FALSE(f.Controller.IsAlerting());
    EXPECT_EQ(f.Store.Records.size(), 1);
}

// The switch caption names what a press does; it is refreshed on show and press only.
TEST(EqAlertFrm, SoundSwitchCaptionsAndTheChannel)
{
    TWindowFixture f;
    f.Alert(TEq01Fields{}, false, 3.0);
    EXPECT_EQ(f.Window.SoundSwitchCaption(), "Sound OFF.");
    EXPECT_EQ(f.Sound.Calls, QStringList{"forecast"});
    f.Window.SoundSwitchBtnClick();
    EXPECT_EQ(f.Window.SoundSwitchCaption(), "Sound ON.");
    EXPECT_EQ(f.Sound.Calls.last(), "stop");
    f.Window.SoundSwitchBtnClick();
    EXPECT_EQ(f.Window.SoundSwitchCaption(), "Sound OFF.");
    EXPECT_EQ(f.Sound.Calls.last(), "forecast");
    // A training sample stops the alarm: the switch offers to turn it on again,
    // instead of a "Sound OFF." whose press would start it.
    f.Controller.StopAlarmForSample();
    EXPECT_EQ(f.Window.SoundSwitchCaption(), "Sound ON.");
}

TEST(EqAlertFrm, ClosingBeforeAndAfterTheArrivalWritesTheHistoryOnce)
{
    {
        TWindowFixture f;
        f.Alert(TEq01Fields{}, false);
        f.Close();
        EXPECT_FALSE(f.Window.isVisible());
        EXPECT_FALSE(f.Controller.IsAlerting());
        EXPECT_FALSE(f.Controller.IsTicking());
        EXPECT_EQ(f.Sound.Calls.last(), "stop");
        EXPECT_EQ(f.Store.Records.size(), 1);
    }
    {
        TWindowFixture f;
        f.Alert(TEq01Fields{}, false);
        f.Clock.Now += 30000;
        f.Controller.DoAlert(); // the arrival writes the row
        EXPECT_EQ(f.Store.Records.size(), 1);
        EXPECT_TRUE(f.Window.isVisible()) << "the window stays until the user closes it";
        f.Close();
        EXPECT_EQ(f.Store.Records.size(), 1);
    }
}

// The map shows the new alert at once, not the previous earthquake's last frame.
TEST(EqAlertFrm, FirstFrameIsPaintedWhenTheAlertStarts)
{
    TWindowFixture f;
    const QImage before = f.Window.AlertMap().Frame().copy();
    f.Alert(TEq01Fields{}, false);
    ASSERT_TRUE(WaitUntil([&] { return f.Window.AlertMap().Frame() != before; }, 200));
}

// Set ULX_SCREENSHOT_DIR to keep a picture of the window for a look by eye.
TEST(EqAlertFrm, WindowPictureForALookByEye)
{
    const QString dir = qEnvironmentVariable("ULX_SCREENSHOT_DIR");
    if (dir.isEmpty()) {
        GTEST_SKIP() << "ULX_SCREENSHOT_DIR not set";
    }
    TWindowFixture f;
    TEq01Fields warning;
    warning.Areas = "350";
    f.Controller.SetAreaForecast(TEqAreaForecast{QStringLiteral("350"), QStringLiteral("6-"), QStringLiteral("5+"),
                                                 QStringLiteral("212714"), QStringLiteral("10")});
    f.Alert(warning, true, 5.6, 40.0);
    f.Controller.SetAlertEq10Telegram(Eq10(warning.EqId, QStringLiteral("熊本県熊本地方")));
    ASSERT_TRUE(
        WaitUntil([&] { return f.Controller.Timing().IsAlerting() && !f.Window.AlertMap().Frame().isNull(); }, 200));
    RunFor(100);
    EXPECT_TRUE(f.Window.grab().save(dir + "/alert-window.png"));

    // The same earthquake as a forecast, to tell the two apart.
    TWindowFixture g;
    g.Alert(warning, false, 5.6, 40.0);
    g.Controller.SetAlertEq10Telegram(Eq10(warning.EqId, QStringLiteral("熊本県熊本地方")));
    ASSERT_TRUE(
        WaitUntil([&] { return g.Controller.Timing().IsAlerting() && !g.Window.AlertMap().Frame().isNull(); }, 200));
    RunFor(100);
    EXPECT_TRUE(g.Window.grab().save(dir + "/alert-window-forecast.png"));
}

namespace {

// Quake A (a warning at home, S-wave in 40 s) with B, weaker, off Miyagi beside it.
void TwoQuakes(TWindowFixture& F)
{
    TEq01Fields a;
    a.Areas = "350";
    F.Alert(a, true, 5.6, 40.0);
    F.Controller.SetAlertEq10Telegram(Eq10(a.EqId, QStringLiteral("熊本県熊本地方")));
    TEq01Fields b;
    b.EqId = QStringLiteral("ND20160414212640");
    b.Lat = QStringLiteral("383");
    b.Lng = QStringLiteral("1420");
    b.Mag = QStringLiteral("70");
    ASSERT_TRUE(F.Controller.AddConcurrentEq(Tokyo, Eq01(b), 3.4, 60.0, false, std::nullopt));
    F.Controller.SetAlertEq10Telegram(Eq10(b.EqId, QStringLiteral("宮城県沖")));
}

} // namespace

// The other earthquake reaches the map (its list under the header) without
// touching the primary's fields; a cancel of the primary shows "取消" in grey,
// silences it, and after 10 s the next earthquake takes the window.
TEST(EqAlertFrm, TwoEarthquakesAndACancelOfThePrimary)
{
    TWindowFixture f;
    TwoQuakes(f);
    f.Controller.DoAlert();
    ASSERT_EQ(f.Window.AlertMap().OtherQuakes().size(), 1);
    EXPECT_EQ(f.Window.AlertMap().OtherQuakes()[0].Name, QStringLiteral("宮城県沖"));
    EXPECT_EQ(f.Window.FieldText("EqIdEdt"), QStringLiteral("ND20160414212634(5)"));
    EXPECT_EQ(f.Window.HeaderBandColor(), TEqAlertFrm::WarningBandColor);

    TEq01Fields cancel;
    cancel.Type = QStringLiteral("39");
    ASSERT_TRUE(f.Controller.CancelEq(Eq01(cancel)));
    EXPECT_EQ(f.Window.HeaderText(), QStringLiteral("緊急地震速報（取消）"));
    EXPECT_EQ(f.Window.HeaderBandColor(), TEqAlertFrm::CancelBandColor);
    EXPECT_FALSE(f.Controller.IsPlayingSound());

    f.Clock.Now += 10000;
    f.Controller.CheckQuakes();
    EXPECT_EQ(f.Window.FieldText("EqIdEdt"), QStringLiteral("ND20160414212640(5)"));
    EXPECT_EQ(f.Window.HeaderText(), QStringLiteral("緊急地震速報（予報）"));
    EXPECT_TRUE(f.Window.AlertMap().OtherQuakes().isEmpty());
    EXPECT_TRUE(f.Window.isVisible());
}

// A cancel that leaves nothing active closes the window the program opened, and
// the alert's row is written, marked.
TEST(EqAlertFrm, TheWindowClosesItselfAfterTheLastCancel)
{
    TWindowFixture f;
    f.Alert(TEq01Fields{}, false);
    ASSERT_TRUE(f.Window.isVisible());
    TEq01Fields cancel;
    cancel.Type = QStringLiteral("39");
    ASSERT_TRUE(f.Controller.CancelEq(Eq01(cancel)));
    f.Clock.Now += 9000;
    f.Controller.CheckQuakes();
    EXPECT_TRUE(f.Window.isVisible()) << "the cancel is shown for 10 s";
    f.Clock.Now += 1000;
    f.Controller.CheckQuakes();
    EXPECT_FALSE(f.Window.isVisible());
    EXPECT_FALSE(f.Controller.IsAlerting());
    ASSERT_EQ(f.Store.Records.size(), 1);
    EXPECT_TRUE(f.Store.Records[0].Cancelled);
}

TEST(EqAlertFrm, TwoEarthquakesAndCancelPicturesForALookByEye)
{
    const QString dir = qEnvironmentVariable("ULX_SCREENSHOT_DIR");
    if (dir.isEmpty()) {
        GTEST_SKIP() << "ULX_SCREENSHOT_DIR not set";
    }
    TWindowFixture f;
    TwoQuakes(f);
    f.Clock.Now += 3000;
    f.Controller.DoAlert();
    RunFor(100);
    EXPECT_TRUE(f.Window.grab().save(dir + "/alert-window-two-quakes.png"));
    TEq01Fields cancel;
    cancel.Type = QStringLiteral("39");
    ASSERT_TRUE(f.Controller.CancelEq(Eq01(cancel)));
    RunFor(100);
    EXPECT_TRUE(f.Window.grab().save(dir + "/alert-window-cancel.png"));
}
