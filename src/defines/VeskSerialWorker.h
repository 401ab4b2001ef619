#pragma once

#include <cstddef>
#include <functional>
#include <limits>
#include <memory>

// One thread of its own that runs posted tasks one after another, in the order
// they were posted. The thread holds the worker's state itself, so a worker
// given up while a task is blocked never touches freed memory when (if ever)
// that task returns: the thread then ends without running anything more.
class TVeskSerialWorker
{
public:
    explicit TVeskSerialWorker(std::size_t AMaxPending = std::numeric_limits<std::size_t>::max());
    // Stop() without a time limit: the posted tasks run first.
    ~TVeskSerialWorker();
    TVeskSerialWorker(const TVeskSerialWorker&) = delete;
    TVeskSerialWorker& operator=(const TVeskSerialWorker&) = delete;

    // False when AMaxPending tasks already wait or the worker is stopping. AAfter,
    // when given, runs on the worker's thread right after ATask, under the
    // worker's lock, unless the worker was given up meanwhile: a task's outcome
    // may be reported there to objects the worker's owner keeps alive.
    bool Post(std::function<void()> ATask, std::function<void()> AAfter = {});
    // Until no task waits or runs; false when ATimeoutMs (negative: no limit) passed first.
    bool WaitIdle(int ATimeoutMs = -1);
    // Lets the posted tasks run and ends the thread: true when it ended within
    // ATimeoutMs (negative: no limit); otherwise the tasks still waiting are
    // dropped and the thread is given up where it is.
    bool Stop(int ATimeoutMs = -1);

private:
    struct TState;
    std::shared_ptr<TState> FState;
};
