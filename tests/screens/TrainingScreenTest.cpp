// The training screen offscreen, with a substitute forecast and a recording sound channel.

#include "app/screens/TrainingScreen.h"
#include "TestSupport.h"
#include "alert/AlertTiming.h"
#include "alert/EqAlertController.h"
#include "config/VeskAppSettings.h"
#include "eqfunction/eqFunction.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>

using namespace UlxTest;

namespace {

struct TForecastCall
{
    double EpiLat, EpiLng;
    int32_t Depth;
    double Mag, LocLat, LocLng, GAmp;
};

struct TTrainingFixture
{
    TCapturedLog Log;
    TFakeClock Clock;
    TFakeSoundChannel Sound;
    TEqAlertController Controller{nullptr, nullptr, &Clock};
    // The live settings, as the settings screen edits them; never saved here.
    TVeskAppSettings Settings;
    int32_t ForecastResult = 0;
    double EstSIS = 4.8;
    double SWaveSec = 12.4;
    QList<TForecastCall> Calls;
    TForecastFunc Forecast = [this](double EpiLat, double EpiLng, int32_t Depth, double Mag, double LocLat,
                                    double LocLng, double GAmp, double* Sis, double* P, double* S) {
        Calls << TForecastCall{EpiLat, EpiLng, Depth, Mag, LocLat, LocLng, GAmp};
        *Sis = EstSIS;
        *P = 5.0;
        *S = SWaveSec;
        return ForecastResult;
    };
    TTrainingScreen Screen{[this] {
                               return TTrainingLocation{Settings.GetLocationName(), Settings.GetLatitudeText(),
                                                        Settings.GetLongitudeText(),
                                                        Settings.GetGroundAmplificationText()};
                           },
                           [this](auto... Args) { return Forecast(Args...); }, Sound, &Controller, Log.Logger()};

    TTrainingFixture()
    {
        Settings.SetLocation(GetDefaultPrefOffice());
        Controller.SetSoundChannel(&Sound);
        Clock.Now = *TAlertTiming::ParseOccurrenceTime(QStringLiteral("160414212634")) + 2000;
    }
    template <typename T>
    T* Find(const char* AName)
    {
        return Screen.findChild<T*>(QString::fromLatin1(AName));
    }
    QDoubleSpinBox* Lat() { return Find<QDoubleSpinBox>("TrEpicLatNEdt"); }
    QDoubleSpinBox* Lng() { return Find<QDoubleSpinBox>("TrEpicLongNEdt"); }
    QSpinBox* Depth() { return Find<QSpinBox>("TrEpicDepthNEdt"); }
    QDoubleSpinBox* Mag() { return Find<QDoubleSpinBox>("TrEqMagnitudeNEdt"); }
    QSlider* Slider() { return Find<QSlider>("TrEqMagnitudeTrk"); }
    QComboBox* List() { return Find<QComboBox>("TrEqListCmb"); }
    QString Panel(const char* AName) { return Find<QLabel>(AName)->text(); }
    // As the dispatcher starts an alert that rings.
    void StartAlarm()
    {
        Controller.SetIsAlerting(true);
        ASSERT_TRUE(Controller.StartAlerting({35.68949, 139.69171, 2.578, "350"}, Eq01(), 5.2, 12.5, true));
        ASSERT_TRUE(Controller.IsPlayingSound());
    }
};

TEST(TrainingScreenTest, ListOffersFreeInputThenTheTrainingTableInOrder)
{
    TTrainingFixture f;
    ASSERT_EQ(f.List()->count(), GetTrainingEqCount());
    EXPECT_EQ(f.List()->itemText(0), "任意の条件を指定");
    EXPECT_EQ(f.List()->itemText(13), "神奈川県西部(関東大震災)");
    EXPECT_EQ(f.Slider()->value(), 4);
    EXPECT_EQ(f.Slider()->maximum(), 19);
    EXPECT_DOUBLE_EQ(f.Mag()->value(), 2.0);
    EXPECT_DOUBLE_EQ(f.Lat()->maximum(), 99.99999);
    EXPECT_DOUBLE_EQ(f.Lng()->maximum(), 180.0);
    EXPECT_EQ(f.Depth()->maximum(), 999);
    EXPECT_DOUBLE_EQ(f.Mag()->maximum(), 9.9);
    EXPECT_EQ(f.Lat()->text(), "35.00000") << "five decimals with a full stop, whatever the locale";
}

TEST(TrainingScreenTest, HistoricalRowsFillTheFieldsAndMoveTheSliderToTheNearestHalfStep)
{
    struct Case
    {
        QList<int> Rows; // chosen in this order; the last is checked
        double Lat, Lng;
        int Depth;
        int Slider;
        QString Mag;
    };
    const Case cases[] = {
        {{1}, 32.73, 130.82, 11, 13, "6.5"},    {{2}, 38.10, 142.85, 24, 18, "9.0"},
        {{4}, 39.02, 140.87, 8, 14, "7.0"},     // depth " 8"; 7.2 / 0.5 = 14.4
        {{5}, 37.55, 138.45, 17, 14, "7.0"},    // 6.8: the slider moved, the field follows it
        {{5, 6}, 37.22, 136.69, 11, 14, "6.9"}, // 6.9: the slider was already at 14, the table value stays
        {{9}, 42.78, 144.62, 53, 9, "4.5"},
    };
    for (const Case& c : cases) {
        TTrainingFixture f;
        SCOPED_TRACE(testing::Message() << "rows ending with " << c.Rows.last());
        for (int row : c.Rows) {
            f.List()->setCurrentIndex(row);
        }
        EXPECT_DOUBLE_EQ(f.Lat()->value(), c.Lat);
        EXPECT_DOUBLE_EQ(f.Lng()->value(), c.Lng);
        EXPECT_EQ(f.Depth()->value(), c.Depth);
        EXPECT_EQ(f.Slider()->value(), c.Slider);
        EXPECT_EQ(f.Mag()->text(), c.Mag);
        for (QWidget* w : std::initializer_list<QWidget*>{f.Lat(), f.Lng(), f.Depth(), f.Mag(), f.Slider()}) {
            EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
        }
    }
}

TEST(TrainingScreenTest, FreeInputAfterAHistoricalRowKeepsItsValuesEditable)
{
    TTrainingFixture f;
    f.List()->setCurrentIndex(1);
    f.List()->setCurrentIndex(0);
    for (QWidget* w : std::initializer_list<QWidget*>{f.Lat(), f.Lng(), f.Depth(), f.Mag(), f.Slider()}) {
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    }
    EXPECT_DOUBLE_EQ(f.Lat()->value(), 32.73);
    EXPECT_EQ(f.Depth()->value(), 11);
    EXPECT_EQ(f.Mag()->text(), "6.5");

    // Free input: the slider writes its half steps into the field.
    f.Slider()->setValue(19);
    EXPECT_EQ(f.Mag()->text(), "9.5");
    f.Slider()->setValue(0);
    EXPECT_EQ(f.Mag()->text(), "0.0");
}

TEST(TrainingScreenTest, GenerateUsesTheFieldsAndTheUnsavedLocationAndShowsTheClass)
{
    TTrainingFixture f;
    f.List()->setCurrentIndex(1);
    // Changed on the settings screen, not saved.
    const TULPrefOfficeInfo& osaka = GetPrefOffice(26);
    ASSERT_EQ(osaka.PrefOfficeName, "大阪府庁");
    f.Settings.SetLocation(osaka);
    f.Screen.show();
    EXPECT_EQ(f.Panel("TrLocNamePnl"), "大阪府庁") << "showing the page copies the location";
    EXPECT_EQ(f.Panel("TrLocLatPnl"), f.Settings.GetLatitudeText());
    EXPECT_EQ(f.Panel("TrLocGAmpPnl"), f.Settings.GetGroundAmplificationText());

    f.Log.Clear();
    f.Screen.GenerateEqBtnClick();
    ASSERT_EQ(f.Calls.size(), 1);
    const TForecastCall& call = f.Calls[0];
    EXPECT_DOUBLE_EQ(call.EpiLat, 32.73);
    EXPECT_DOUBLE_EQ(call.EpiLng, 130.82);
    EXPECT_EQ(call.Depth, 11);
    EXPECT_DOUBLE_EQ(call.Mag, 6.5);
    EXPECT_DOUBLE_EQ(call.LocLat, f.Settings.GetLatitudeText().toDouble());
    EXPECT_FLOAT_EQ(float(call.LocLng), osaka.Longitude);
    EXPECT_FLOAT_EQ(float(call.GAmp), osaka.GAmplification);
    EXPECT_EQ(f.Screen.SIScaleText(), "震度５弱");
    EXPECT_EQ(f.Screen.SIScaleColor(), QColor::fromRgb(TSeismicIntensityScale::GetScaleColor(4.8)));
    EXPECT_EQ(f.Screen.SSecText(), "12");
    EXPECT_EQ(f.Log.Lines(), QStringList({"==> GenerateEqBtnClick", "<== GenerateEqBtnClick"}))
        << "entry and exit only, no values";

    f.SWaveSec = 13.6;
    f.EstSIS = 6.7;
    f.Screen.GenerateEqBtnClick();
    EXPECT_EQ(f.Screen.SIScaleText(), "震度７");
    EXPECT_EQ(f.Screen.SSecText(), "14");
}

TEST(TrainingScreenTest, FailedForecastShowsDashesAndKeepsThePreviousColour)
{
    TTrainingFixture f;
    f.Screen.GenerateEqBtnClick();
    const QColor before = f.Screen.SIScaleColor();
    ASSERT_EQ(before, QColor::fromRgb(TSeismicIntensityScale::GetScaleColor(4.8)));

    // The real forecast library: a location the settings never repaired ("--.--" reads as 0) is out of its domain.
    TTrainingFixture real;
    real.Forecast = calcForecast;
    real.Screen.GenerateEqBtnClick();
    const QString workingText = real.Screen.SIScaleText();
    const QColor workingColor = real.Screen.SIScaleColor();
    EXPECT_TRUE(workingText.startsWith("震度")) << workingText.toStdString();
    EXPECT_NE(real.Screen.SSecText(), "----");
    real.Settings.SetLatitudeText("--.--");
    real.Settings.SetLongitudeText("---.--");
    real.Screen.GenerateEqBtnClick();
    EXPECT_EQ(real.Screen.SIScaleText(), "--------");
    EXPECT_EQ(real.Screen.SSecText(), "----");
    EXPECT_EQ(real.Screen.SIScaleColor(), workingColor);

    f.ForecastResult = 2;
    f.Screen.GenerateEqBtnClick();
    EXPECT_EQ(f.Screen.SIScaleText(), "--------");
    EXPECT_EQ(f.Screen.SIScaleColor(), before);
}

TEST(TrainingScreenTest, SampleButtonsLoopOneSoundAtATime)
{
    TTrainingFixture f;
    QAbstractButton* chime = f.Screen.ChimeButton();
    QAbstractButton* sign = f.Screen.SignButton();
    EXPECT_EQ(f.Screen.ButtonPicture(chime), 1);
    EXPECT_EQ(f.Screen.ButtonPicture(sign), 3);

    chime->click();
    EXPECT_TRUE(chime->isChecked());
    EXPECT_EQ(f.Screen.ButtonPicture(chime), 0);
    EXPECT_EQ(f.Sound.Calls, QStringList({"warning"}));
    chime->click();
    EXPECT_FALSE(chime->isChecked());
    EXPECT_EQ(f.Screen.ButtonPicture(chime), 1);
    EXPECT_EQ(f.Sound.Calls, QStringList({"warning", "stop"}));

    // The other button takes over: one is down at most, the new sound replaces the old.
    chime->click();
    sign->click();
    EXPECT_FALSE(chime->isChecked());
    EXPECT_TRUE(sign->isChecked());
    EXPECT_EQ(f.Screen.ButtonPicture(chime), 1);
    EXPECT_EQ(f.Screen.ButtonPicture(sign), 2);
    EXPECT_EQ(f.Sound.Calls, QStringList({"warning", "stop", "warning", "forecast"}));
    sign->click();
    EXPECT_EQ(f.Sound.Calls.last(), "stop");
    EXPECT_FALSE(f.Screen.IsSamplePlaying());
}

TEST(TrainingScreenTest, SampleAndAlarmStopEachOtherAndTheControllerKnows)
{
    TTrainingFixture f;
    QAbstractButton* chime = f.Screen.ChimeButton();
    QAbstractButton* sign = f.Screen.SignButton();

    // A sample during the alarm: the alarm is switched off through the controller, then the sample plays.
    f.StartAlarm();
    f.Sound.Calls.clear();
    chime->click();
    EXPECT_FALSE(f.Controller.IsPlayingSound());
    EXPECT_EQ(f.Sound.Calls, QStringList({"stop", "warning"}));
    EXPECT_TRUE(f.Screen.IsSamplePlaying());

    // The alert window's switch starts the alarm again: it replaced the sample, the button goes up.
    f.Controller.ToggleAlertSound();
    EXPECT_TRUE(f.Controller.IsPlayingSound());
    EXPECT_FALSE(chime->isChecked());
    EXPECT_EQ(f.Screen.ButtonPicture(chime), 1);
    EXPECT_FALSE(f.Screen.IsSamplePlaying());

    // A sample while the alert runs silently, then the window is closed: the stop ends the sample.
    sign->click();
    ASSERT_TRUE(sign->isChecked());
    f.Sound.Calls.clear();
    f.Controller.StopAlerting();
    EXPECT_EQ(f.Sound.Calls, QStringList({"stop"}));
    EXPECT_FALSE(sign->isChecked());
    EXPECT_EQ(f.Screen.ButtonPicture(sign), 3);

    // A new ringing alert replaces a sample; the screen sends nothing of its own.
    chime->click();
    f.Sound.Calls.clear();
    f.StartAlarm();
    EXPECT_FALSE(chime->isChecked());
    EXPECT_EQ(f.Sound.Calls.size(), 1);
    // With both buttons up the sample action sends nothing: the alarm the controller rings goes on.
    f.Screen.TrPlayAlertingSound();
    EXPECT_EQ(f.Sound.Calls.size(), 1);
    EXPECT_TRUE(f.Controller.IsPlayingSound());
}

TEST(TrainingScreenTest, TheArrivalEndsASample)
{
    TTrainingFixture f;
    f.StartAlarm();
    f.Screen.SignButton()->click();
    ASSERT_TRUE(f.Screen.IsSamplePlaying());
    // Run the alert's ticks up to the S-wave arrival (12.5 s after the occurrence).
    while (f.Controller.IsTicking()) {
        f.Clock.Now += 1000;
        f.Controller.DoAlert();
    }
    EXPECT_EQ(f.Sound.Calls.last(), "stop");
    EXPECT_FALSE(f.Screen.SignButton()->isChecked());
    EXPECT_FALSE(f.Screen.IsSamplePlaying());
}

} // namespace
