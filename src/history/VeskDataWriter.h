#pragma once

// Private to VeskData.cpp: the history's writer thread.
#include "defines/VeskSerialWorker.h"
#include "history/VeskData.h"

#include <QMetaObject>

#include <deque>
#include <mutex>
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

    explicit TWriter(TVeskDataMdl& AOwner) : FOwner(AOwner) {}
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
        std::deque<TJob> jobs;
        {
            std::lock_guard lock(FLock);
            jobs.swap(FHeld);
        }
        for (const TJob& job : jobs) {
            FWorker.Post([this, job] { Write(job); });
        }
    }

    // Until every row released is written and its outcome is among the results.
    void WaitIdle() { FWorker.WaitIdle(); }

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

    // On the writer's thread: one row with its commit and sync.
    void Write(const TJob& AJob)
    {
        TResult result;
        result.Inserted = FOwner.WriteRow(AJob.EqHistory, result.Row);
        result.Done = AJob.Done;
        result.EqHistory = AJob.EqHistory;
        {
            std::lock_guard lock(FLock);
            FResults.push_back(std::move(result));
        }
        // Discarded with the owner, which stops this thread before it goes.
        QMetaObject::invokeMethod(
            &FOwner, [owner = &FOwner] { owner->ApplyWrittenRows(); }, Qt::QueuedConnection);
    }

    TVeskDataMdl& FOwner;
    std::mutex FLock;
    std::deque<TJob> FHeld;
    std::deque<TResult> FResults;
    TVeskSerialWorker FWorker; // last: its thread has written every row released before the rest goes
};
