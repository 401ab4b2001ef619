#include "defines/VeskSerialWorker.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

struct TVeskSerialWorker::TState
{
    struct TTask
    {
        std::function<void()> Run;
        std::function<void()> After;
    };

    std::mutex Lock;
    std::condition_variable Wake;
    std::condition_variable Idle;
    std::deque<TTask> Tasks;
    std::size_t MaxPending = 0;
    bool Busy = false;
    bool Stopping = false;
    bool GivenUp = false;
    std::thread Thread;

    bool IsIdle() const { return !Busy && Tasks.empty(); }
    // Under ALock: until idle; false when ATimeoutMs (negative: no limit) passed first.
    bool WaitIdle(std::unique_lock<std::mutex>& ALock, int ATimeoutMs)
    {
        const auto idle = [this] { return IsIdle(); };
        if (ATimeoutMs < 0) {
            Idle.wait(ALock, idle);
            return true;
        }
        return Idle.wait_for(ALock, std::chrono::milliseconds(ATimeoutMs), idle);
    }

    // The thread's loop; ASelf keeps the state alive as long as the thread runs.
    static void Run(const std::shared_ptr<TState>& ASelf)
    {
        TState& s = *ASelf;
        std::unique_lock lock(s.Lock);
        for (;;) {
            s.Wake.wait(lock, [&s] { return !s.Tasks.empty() || s.Stopping; });
            if (s.Tasks.empty()) {
                break;
            }
            TTask task = std::move(s.Tasks.front());
            s.Tasks.pop_front();
            s.Busy = true;
            lock.unlock();
            task.Run();
            lock.lock();
            s.Busy = false;
            if (s.GivenUp) {
                return;
            }
            if (task.After) {
                task.After();
            }
            if (s.IsIdle()) {
                s.Idle.notify_all();
            }
        }
        s.Idle.notify_all();
    }
};

TVeskSerialWorker::TVeskSerialWorker(std::size_t AMaxPending) : FState(std::make_shared<TState>())
{
    FState->MaxPending = AMaxPending;
    FState->Thread = std::thread([state = FState] { TState::Run(state); });
}

TVeskSerialWorker::~TVeskSerialWorker()
{
    Stop();
}

bool TVeskSerialWorker::Post(std::function<void()> ATask, std::function<void()> AAfter)
{
    {
        std::lock_guard lock(FState->Lock);
        if (FState->Stopping || FState->Tasks.size() >= FState->MaxPending) {
            return false;
        }
        FState->Tasks.push_back(TState::TTask{std::move(ATask), std::move(AAfter)});
    }
    FState->Wake.notify_one();
    return true;
}

bool TVeskSerialWorker::WaitIdle(int ATimeoutMs)
{
    std::unique_lock lock(FState->Lock);
    return FState->WaitIdle(lock, ATimeoutMs);
}

bool TVeskSerialWorker::Stop(int ATimeoutMs)
{
    std::unique_lock lock(FState->Lock);
    if (!FState->Thread.joinable()) {
        return !FState->GivenUp;
    }
    FState->Stopping = true;
    FState->Wake.notify_one();
    if (FState->WaitIdle(lock, ATimeoutMs)) {
        lock.unlock();
        FState->Thread.join();
        return true;
    }
    FState->GivenUp = true;
    FState->Tasks.clear();
    lock.unlock();
    FState->Thread.detach();
    return false;
}
