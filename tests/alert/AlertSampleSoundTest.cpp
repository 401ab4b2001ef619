// A training sample and the alarm share one sound channel: the sample silences
// the alarm without becoming the user's choice for the alerts that follow.

#include "AlertTestSupport.h"
#include "alert/EqAlertController.h"

#include <gtest/gtest.h>

using namespace AlertTest;

TEST(EqAlertControllerSample, ASampleStopsTheAlarmButTheNextAlertStillRings)
{
    const TLocationInfo home{35.32, 139.16, 1.0, "350"};
    TFakeClock clock;
    TFakeSoundChannel sound;
    TEqAlertController alert(nullptr, nullptr, &clock);
    alert.SetSoundChannel(&sound);
    int soundOff = 0;
    QObject::connect(&alert, &TEqAlertController::soundChanged, [&soundOff](bool On) { soundOff += On ? 0 : 1; });

    ASSERT_TRUE(alert.StartAlerting(home, Eq01(), 3.0, 30.0, false));
    ASSERT_TRUE(alert.IsPlayingSound());
    alert.StopAlarmForSample();
    EXPECT_FALSE(alert.IsPlayingSound());
    EXPECT_EQ(soundOff, 1) << "the alert window's switch shows the alarm off";
    EXPECT_TRUE(alert.NeedAlertSound()) << "the sample is not the user's choice";
    alert.StopAlarmForSample(); // nothing plays: nothing to stop, nothing announced
    EXPECT_EQ(soundOff, 1);
    alert.StopAlerting();

    // The next earthquake, with "always ring" off, rings.
    TEq01Fields other;
    other.EqId = "ND20160416012505";
    sound.Calls.clear();
    ASSERT_TRUE(alert.StartAlerting(home, Eq01(other), 3.0, 30.0, false));
    EXPECT_EQ(sound.Calls, QStringList{"forecast"});
    EXPECT_TRUE(alert.IsPlayingSound());

    // The user's own switch still carries over, as before.
    alert.ToggleAlertSound();
    alert.StopAlerting();
    sound.Calls.clear();
    other.EqId = "ND20160416012506";
    ASSERT_TRUE(alert.StartAlerting(home, Eq01(other), 3.0, 30.0, false));
    EXPECT_TRUE(sound.Calls.isEmpty()) << qPrintable(sound.Calls.join(' '));
}

// Without an audio output the alarm is still asked for (the switch shows it), the
// log says once per alert that it is not heard, and every request is announced
// so that the home screen can say so.
TEST(EqAlertControllerSample, AnAlarmThatCannotBeHeardIsLoggedOncePerAlert)
{
    const TLocationInfo home{35.32, 139.16, 1.0, "350"};
    TFakeClock clock;
    TFakeSoundChannel sound;
    sound.Problem = QStringLiteral("no audio output device");
    TCapturedLog log;
    TEqAlertController alert(log.Logger(), nullptr, &clock);
    alert.SetSoundChannel(&sound);
    QStringList announced;
    QObject::connect(&alert, &TEqAlertController::soundUnavailable,
                     [&announced](const QString& Reason) { announced << Reason; });
    auto notHeard = [&log] {
        int n = 0;
        for (const QString& line : log.Lines()) {
            n += line.contains(QLatin1String("Alarm not heard.")) && line.contains(QLatin1String("no audio output"));
        }
        return n;
    };

    ASSERT_TRUE(alert.StartAlerting(home, Eq01(), 3.0, 30.0, false));
    EXPECT_TRUE(alert.IsPlayingSound());
    alert.ToggleAlertSound(); // off
    alert.ToggleAlertSound(); // on again: the same alert, not logged again
    EXPECT_EQ(notHeard(), 1) << qPrintable(log.Lines().join('\n'));
    EXPECT_EQ(announced.size(), 2);
    alert.StopAlerting();

    TEq01Fields other;
    other.EqId = "ND20160416012505";
    ASSERT_TRUE(alert.StartAlerting(home, Eq01(other), 3.0, 30.0, false));
    EXPECT_EQ(notHeard(), 2) << "a new alert logs it again";

    // Sound comes back: nothing more is logged or announced.
    alert.StopAlerting();
    sound.Problem.clear();
    other.EqId = "ND20160416012506";
    ASSERT_TRUE(alert.StartAlerting(home, Eq01(other), 3.0, 30.0, false));
    EXPECT_EQ(notHeard(), 2);
    EXPECT_EQ(announced.size(), 3);
}
