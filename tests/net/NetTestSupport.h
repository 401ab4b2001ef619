#pragma once

// Helpers shared by the receiver tests: an owner object that records what the
// receiver thread hands to the main thread.

#include "TestSupport.h"
#include "net/EqReceiverThrd.h"
#include "net/EqTelegramQueues.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QMutexLocker>
#include <QObject>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

using TSteadyClock = std::chrono::steady_clock;

struct TStatusRecord
{
    TServerCommStatus Status;
    TSteadyClock::time_point At;
};

// The main-window side: drains the queues on each event and records each status hand-over.
class TTestOwner : public QObject
{
public:
    explicit TTestOwner(TEqTelegramQueues* AQueues) : FQueues(AQueues) {}

    // Takes the thread's status hand-overs from now on.
    void Attach(TEqReceiverThread& AThread) { AThread.ConnectCommStatus(this, &TTestOwner::OnServerCommStatus); }
    void OnServerCommStatus(TServerCommStatus ANewStatus)
    {
        FPending = ANewStatus;
        ++SetCalls;
        Statuses.push_back({FPending, TSteadyClock::now()});
    }

    bool event(QEvent* AEvent) override
    {
        if (AEvent->type() == WM_EQ01_QUEUED) {
            ++Eq01Events;
            QMutexLocker lock(&FQueues->Lock);
            for (const TEqTelegram01& t : FQueues->Eq01) {
                Eq01.push_back(t.GetTelegram());
            }
            FQueues->Eq01.clear();
            return true;
        }
        if (AEvent->type() == WM_EQ10_QUEUED) {
            ++Eq10Events;
            QMutexLocker lock(&FQueues->Lock);
            for (const TEqTelegram10& t : FQueues->Eq10) {
                Eq10.push_back(t.GetTelegram());
            }
            FQueues->Eq10.clear();
            return true;
        }
        return QObject::event(AEvent);
    }

    std::vector<TServerCommStatus> StatusValues() const
    {
        std::vector<TServerCommStatus> out;
        for (const TStatusRecord& r : Statuses) {
            out.push_back(r.Status);
        }
        return out;
    }

    TEqTelegramQueues* FQueues;
    TServerCommStatus FPending = scsDisconnected;
    int SetCalls = 0;
    std::vector<TStatusRecord> Statuses;
    QStringList Eq01;
    QStringList Eq10;
    int Eq01Events = 0;
    int Eq10Events = 0;
};

inline double MsBetween(TSteadyClock::time_point AFrom, TSteadyClock::time_point ATo)
{
    return std::chrono::duration<double, std::milli>(ATo - AFrom).count();
}
