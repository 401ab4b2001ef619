#pragma once

class TAlertTiming;
struct TAlertTick;

// The two alarms of an alert.
enum TAlertSound
{
    asWarning, // the chime: warnings and forecasts of class 5 lower or stronger
    asForecast // the signal tone: other forecasts
};

// The process's one sound channel as the alert controller drives it: a play
// request loops the sound until stopped and replaces whatever was playing.
// Playback failures are silent. Main thread only.
class TAlertSoundChannel
{
public:
    virtual ~TAlertSoundChannel() = default;
    virtual void PlayAlertSound(TAlertSound Sound) = 0;
    virtual void StopAlertSound() = 0;
};

// Draws one frame of the alert map from the alert's state (location, telegrams,
// estimate, warning class) and the values of one tick, and presents it. Main thread only.
class TAlertFramePainter
{
public:
    virtual ~TAlertFramePainter() = default;
    virtual void PaintFrame(const TAlertTiming& Timing, const TAlertTick& Tick) = 0;
};

// Where no sound or picture is wanted (the console program, queued telegrams at shutdown).
class TNullAlertSoundChannel final : public TAlertSoundChannel
{
public:
    void PlayAlertSound(TAlertSound) override {}
    void StopAlertSound() override {}
};

class TNullAlertFramePainter final : public TAlertFramePainter
{
public:
    void PaintFrame(const TAlertTiming&, const TAlertTick&) override {}
};
