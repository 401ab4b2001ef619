#pragma once

#include <QDeadlineTimer>
#include <QTimer>

#include <functional>

// Calls ADone once, AMilliseconds after construction. One Qt timer waits at most an
// int of milliseconds (about 24.8 days), so the wait is made of steps of at most
// AMaxStepMs, each re-armed with what remains of the deadline.
class TEqSimQuitTimer
{
public:
    static constexpr int DefaultMaxStepMs = 3600 * 1000;

    TEqSimQuitTimer(qint64 AMilliseconds, std::function<void()> ADone, int AMaxStepMs = DefaultMaxStepMs);
    TEqSimQuitTimer(const TEqSimQuitTimer&) = delete;
    TEqSimQuitTimer& operator=(const TEqSimQuitTimer&) = delete;

    bool IsActive() const { return FTimer.isActive(); }
    qint64 RemainingMs() const { return FDeadline.remainingTime(); }
    // The length of the step now running.
    int StepMs() const { return FTimer.interval(); }

private:
    void Arm();

    QDeadlineTimer FDeadline;
    QTimer FTimer;
    std::function<void()> FDone;
    int FMaxStepMs;
};
