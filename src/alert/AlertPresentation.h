#pragma once

#include <QString>
#include <QVector>

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
// A request that cannot be heard does not fail: OutputProblem() says why it
// is not heard. Main thread only.
class TAlertSoundChannel
{
public:
    virtual ~TAlertSoundChannel() = default;
    virtual void PlayAlertSound(TAlertSound Sound) = 0;
    virtual void StopAlertSound() = 0;
    // Empty while sound can be heard; otherwise why not (no audio output, say).
    virtual QString OutputProblem() const { return {}; }
};

// One more active earthquake than the one a frame is drawn for (the primary), as
// the map shows it: its epicentre and wave fronts thinner, under the primary's.
struct TAlertMapQuake
{
    QString EqId;
    double EpicLat = 0.0;  // degrees north
    double EpicLong = 0.0; // degrees east
    int DepthKm = 0;
    double ElapsedSec = 0.0; // since its occurrence, at the frame's time
    double EstSIS = 0.0;     // estimated intensity at home
    bool IsWarning = false;
    QString Name;        // epicentre name, empty when not yet named
    int SecondsLeft = 0; // until its S-wave reaches home
    bool Arrived = false;
};

// Draws one frame of the alert map from the alert's state (location, telegrams,
// estimate, warning class) and the values of one tick, and presents it. Main thread only.
class TAlertFramePainter
{
public:
    virtual ~TAlertFramePainter() = default;
    virtual void PaintFrame(const TAlertTiming& Timing, const TAlertTick& Tick) = 0;
    // The other active earthquakes of the next frames (empty: only the primary).
    virtual void SetOtherQuakes(const QVector<TAlertMapQuake>& Quakes) { static_cast<void>(Quakes); }
    // The earthquake of the last frame was withdrawn: its frame says so, its countdown is void.
    virtual void ShowCancelled() {}
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
