#pragma once

#include "alert/AlertPresentation.h"
#include "alert/EqAlertDecision.h"

#include <QColor>
#include <QIcon>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>

class QAbstractButton;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;
class TEqAlertController;
class TScaleTextPanel;
class TVeskLogger;

// The location as the settings screen shows it at this moment, saved or not.
struct TTrainingLocation
{
    QString Name;
    QString Latitude;
    QString Longitude;
    QString GAmplification;
};
using TTrainingLocationFunc = std::function<TTrainingLocation()>;

// The training screen: pick a historical earthquake or enter one, and see the
// estimated intensity class and the seconds until the S-wave arrives at the
// user's location; and play samples of the two alarm sounds. It calls the
// forecast directly and never touches the alert window, the history, a counter
// or a setting.
//
// Samples and the alarm share the process's one sound channel, which plays one
// sound at a time. They stay consistent with the alert controller this way:
// - starting a sample while the alarm rings silences the alarm through the
//   controller's sound switch (as a press of the alert window's switch would:
//   the controller's playing flag drops and later alerts follow that choice
//   unless every alert is set to ring), then the sample plays;
// - when the controller starts the alarm (a new alert, the switch), the alarm
//   has replaced the sample: both buttons go up;
// - when the controller ends an alert (the arrival, closing the window), it
//   stops the channel, which ends a sample too: both buttons go up.
// Releasing a sample button stops the channel only when a sample is playing, so
// it never cuts an alarm the controller believes is ringing.
class TTrainingScreen : public QWidget
{
    Q_OBJECT

public:
    // ASound must be the channel the controller plays through. AController may be null.
    TTrainingScreen(TTrainingLocationFunc ALocation, TForecastFunc AForecast, TAlertSoundChannel& ASound,
                    TEqAlertController* AController, TVeskLogger* ALogger, QWidget* AParent = nullptr);
    ~TTrainingScreen() override;

    // The list's choice: row 0 (or none) frees the four fields and the slider,
    // keeping their values; a historical row fills them and locks them.
    void SelectTrainingEq(int ARow);
    // "地震発生".
    void GenerateEqBtnClick();
    // Copies the settings screen's location texts into the four panels.
    void RefreshLocation();
    // Both sample buttons' action, after a button's state changed.
    void TrPlayAlertingSound();

    QString SIScaleText() const;
    QColor SIScaleColor() const;
    QString SSecText() const;
    bool IsSamplePlaying() const { return FSamplePlaying; }
    QAbstractButton* ChimeButton() const;
    QAbstractButton* SignButton() const;
    // The picture a sample button shows: 0 chime playing, 1 chime idle, 2 sign playing, 3 sign idle.
    int ButtonPicture(const QAbstractButton* AButton) const;

protected:
    void showEvent(QShowEvent* Event) override;

private:
    void OnSampleToggled(QPushButton* AButton, bool AChecked);
    // The controller took the channel (an alarm started) or stopped it.
    void ReleaseSamples();
    void SetPicture(QPushButton* AButton, int APicture);

    TTrainingLocationFunc FLocation;
    TForecastFunc FForecast;
    TAlertSoundChannel& FSound;
    TEqAlertController* FController;
    TVeskLogger* FLogger;
    bool FSamplePlaying = false;
    std::array<QIcon, 4> FSpeakerImgs;

    QComboBox* FTrEqListCmb;
    QDoubleSpinBox* FTrEpicLatNEdt;
    QDoubleSpinBox* FTrEpicLongNEdt;
    QSpinBox* FTrEpicDepthNEdt;
    QDoubleSpinBox* FTrEqMagnitudeNEdt;
    QSlider* FTrEqMagnitudeTrk;
    QLabel* FTrLocNamePnl;
    QLabel* FTrLocLatPnl;
    QLabel* FTrLocLongPnl;
    QLabel* FTrLocGAmpPnl;
    TScaleTextPanel* FTrSIScalePnl;
    QLabel* FTrSSecPnl;
    QPushButton* FNHKChimeBtn;
    QPushButton* FREICSignBtn;
};
