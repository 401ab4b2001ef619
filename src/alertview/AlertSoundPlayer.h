#pragma once

#include "alert/AlertPresentation.h"
#include "logging/VeskLogging.h"

#include <QByteArray>
#include <QObject>

#include <array>
#include <functional>
#include <optional>

class QSoundEffect;
class TVeskLogger;

// The process's one sound channel: plays the warning chime or the forecast tone
// in a loop until stopped; a new request replaces whatever plays. The alert
// window and the training screen share it, so a stop from either silences both.
// Playback failures do not fail (no audio device: nothing is heard); OutputProblem
// tells them.
//
// The sounds are played from their resource URLs (qrc:), the same bytes the
// buffers hold: QSoundEffect reads only from a URL, and a resource needs no
// temporary file that could be left behind or be changed on disk.
class TAlertSoundPlayer : public QObject, public TAlertSoundChannel
{
    Q_OBJECT

public:
    // Bits of LoadSoundData's result.
    enum TLoadSoundResult : int
    {
        lsrWarning = 0x01,
        lsrForecast = 0x02
    };

    // One per process, made by the program's application object after the
    // QCoreApplication and gone before it, while the audio back end still answers.
    explicit TAlertSoundPlayer(QObject* AParent = nullptr);
    ~TAlertSoundPlayer() override;
    TAlertSoundPlayer(const TAlertSoundPlayer&) = delete;
    TAlertSoundPlayer& operator=(const TAlertSoundPlayer&) = delete;

    void PlayAlertSound(TAlertSound Sound) override;
    void StopAlertSound() override;
    // No audio output device, or a sound that did not load; empty when sound is heard.
    QString OutputProblem() const override;
    // Replaces the question whether the system has an audio output (tests).
    void SetOutputProbe(std::function<bool()> AHasOutput) { FHasOutput = std::move(AHasOutput); }

    // Reads both WAV files into memory: 0, or the TLoadSoundResult bits of those that failed.
    int LoadSoundData();
    // The whole WAV files (for the training screen's samples); empty when loading failed.
    const QByteArray& GetWarningSoundData() const { return FRcAlertChimes[asWarning]; }
    const QByteArray& GetForecastSoundData() const { return FRcAlertChimes[asForecast]; }

    // The sound the last play request started, until a stop.
    std::optional<TAlertSound> CurrentSound() const { return FCurrent; }
    void SetLogger(TVeskLogger* ALogger) { FLogger = TVeskLogger::OrNull(ALogger); }

private:
    TVeskLogger* FLogger = &TVeskLogger::Null();
    std::array<QByteArray, 2> FRcAlertChimes;
    std::array<QSoundEffect*, 2> FEffects{};
    std::optional<TAlertSound> FCurrent;
    std::function<bool()> FHasOutput;
};
