#include "alertview/AlertSoundPlayer.h"

#include "alertview/AlertResources.h"
#include "logging/VeskLogging.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace {

const char* const SoundNames[2] = {"WAV_ALERT_1", "WAV_ALERT_2"}; // indexed by TAlertSound

} // namespace

TAlertSoundPlayer::TAlertSoundPlayer(QObject* AParent) : QObject(AParent)
{
    LoadSoundData();
    for (int i = 0; i < 2; ++i) {
        FEffects[i] = new QSoundEffect(this);
        FEffects[i]->setLoopCount(QSoundEffect::Infinite);
        // Loaded now, so that the first alert starts its sound without a delay.
        FEffects[i]->setSource(QUrl(QStringLiteral("qrc") +
                                    AlertResources::Path(QString::fromLatin1(SoundNames[i]), QStringLiteral("wav"))));
    }
}

TAlertSoundPlayer::~TAlertSoundPlayer() = default;

int TAlertSoundPlayer::LoadSoundData()
{
    int result = 0;
    for (int i = 0; i < 2; ++i) {
        FRcAlertChimes[i] = AlertResources::LoadBytes(QString::fromLatin1(SoundNames[i]), QStringLiteral("wav"));
        if (FRcAlertChimes[i].isEmpty()) {
            result |= i == asWarning ? lsrWarning : lsrForecast;
        }
    }
    return result;
}

void TAlertSoundPlayer::PlayAlertSound(TAlertSound Sound)
{
    StopAlertSound();
    // A sound that could not be loaded plays as silence, like a failed copy.
    if (FRcAlertChimes[Sound].isEmpty()) {
        FLogger->Send(vmtWarning, QStringLiteral("PlayAlertSound()"),
                      QStringLiteral("%1 is not loaded").arg(QString::fromLatin1(SoundNames[Sound])));
        return;
    }
    FEffects[Sound]->play();
    FCurrent = Sound;
}

QString TAlertSoundPlayer::OutputProblem() const
{
    // Without an audio server the effects still report playing: ask the devices.
    const bool hasOutput = FHasOutput ? FHasOutput() : !QMediaDevices::audioOutputs().isEmpty();
    if (!hasOutput) {
        return QStringLiteral("no audio output device");
    }
    for (int i = 0; i < 2; ++i) {
        if (FRcAlertChimes[i].isEmpty() || FEffects[i]->status() == QSoundEffect::Error) {
            return QStringLiteral("%1 cannot be played").arg(QString::fromLatin1(SoundNames[i]));
        }
    }
    return {};
}

void TAlertSoundPlayer::StopAlertSound()
{
    for (QSoundEffect* effect : FEffects) {
        effect->stop();
    }
    FCurrent.reset();
}
