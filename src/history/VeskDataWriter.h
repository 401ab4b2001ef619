#pragma once

// Private to VeskData.cpp: the history's writer thread.
#include "history/VeskData.h"

#include <QMetaObject>

#include <condition_variable>
#include <deque>
#include <iterator>
#include <mutex>
#include <thread>
#include <utility>

// The thread behind QueueEqHistoryRecord: takes rows in order, writes each with
// its commit and sync, and hands the outcomes back to the owner's thread.
class TVeskDataMdl::TWriter
{
public:
    struct TResult
    {
        TRow Row;
        bool Inserted = false;
        TInsertDone Done;
        TEqHistory EqHistory;
    };

    explicit TWriter(TVeskDataMdl& AOwner) : FOwner(AOwner), FThread([this] { Run(); }) {}
    ~TWriter()
    {
        {
            std::lock_guard lock(FLock);
            FStop = true;
        }
        FWake.notify_one();
        FThread.join();
    }
    TWriter(const TWriter&) = delete;
    TWriter& operator=(const TWriter&) = delete;

    // Takes a row without starting on it yet.
    void Hold(const TEqHistory& AEqHistory, TInsertDone ADone)
    {
        std::lock_guard lock(FLock);
        FHeld.push_back(TJob{AEqHistory, std::move(ADone)});
    }

    // Starts on the rows held, in order.
    void Release()
    {
        {
            std::lock_guard lock(FLock);
            if (FHeld.empty()) {
                return;
            }
            std::move(FHeld.begin(), FHeld.end(), std::back_inserter(FJobs));
            FHeld.clear();
        }
        FWake.notify_one();
    }

    void WaitIdle()
    {
        std::unique_lock lock(FLock);
        FIdle.wait(lock, [this] { return FJobs.empty() && !FBusy; });
    }

    std::deque<TResult> TakeResults()
    {
        std::lock_guard lock(FLock);
        return std::exchange(FResults, {});
    }

private:
    struct TJob
    {
        TEqHistory EqHistory;
        TInsertDone Done;
    };

    void Run()
    {
        std::unique_lock lock(FLock);
        for (;;) {
            FWake.wait(lock, [this] { return !FJobs.empty() || FStop; });
            if (FJobs.empty()) {
                return;
            }
            TJob job = std::move(FJobs.front());
            FJobs.pop_front();
            FBusy = true;
            lock.unlock();
            TResult result;
            result.Inserted = FOwner.WriteRow(job.EqHistory, result.Row);
            result.Done = std::move(job.Done);
            result.EqHistory = std::move(job.EqHistory);
            lock.lock();
            FResults.push_back(std::move(result));
            FBusy = false;
            FIdle.notify_all();
            // Discarded with the owner, which joins this thread before it goes.
            QMetaObject::invokeMethod(
                &FOwner, [owner = &FOwner] { owner->ApplyWrittenRows(); }, Qt::QueuedConnection);
        }
    }

    TVeskDataMdl& FOwner;
    std::mutex FLock;
    std::condition_variable FWake;
    std::condition_variable FIdle;
    std::deque<TJob> FHeld;
    std::deque<TJob> FJobs;
    std::deque<TResult> FResults;
    bool FBusy = false;
    bool FStop = false;
    std::thread FThread; // last: starts when everything above is ready
};
