#pragma once

// Helpers shared by the receiver tests: an owner object that records what the
// receiver thread hands to the main thread, and event-pumping waits.

#include "logging/VeskLogTestMemo.h"
#include "logging/VeskLogging.h"
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

// One application object for the whole test program (event dispatching, sockets).
inline QCoreApplication* EnsureApp()
{
    static int argc = 1;
    static char name[] = "ulx-net-test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) {
        new QCoreApplication(argc, argv);
    }
    return QCoreApplication::instance();
}

// Processes events until APredicate holds or ATimeoutMs passes; the result of APredicate.
inline bool PumpUntil(const std::function<bool()>& APredicate, int ATimeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!APredicate()) {
        if (timer.elapsed() > ATimeoutMs) {
            return APredicate();
        }
        // Not processEvents(flags, ms): that spins on a busy machine.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return true;
}

inline void PumpFor(int AMs)
{
    PumpUntil([] { return false; }, AMs);
}

struct TStatusRecord
{
    TServerCommStatus Status;
    TSteadyClock::time_point At;
};

// The main-window side: drains the queues on each event and records each status hand-over.
class TTestOwner : public QObject, public TEqCommStatusSink
{
public:
    explicit TTestOwner(TEqTelegramQueues* AQueues) : FQueues(AQueues) {}

    void SetServerCommStatus(TServerCommStatus ANewStatus) override
    {
        FPending = ANewStatus;
        ++SetCalls;
    }
    void PutServerCommStatus() override { Statuses.push_back({FPending, TSteadyClock::now()}); }

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

// Logger writing into a capture memo.
struct TTestLog
{
    TVeskCaptureMemo Memo;
    TVeskLogger Logger{QString(), QString(), &Memo};

    QStringList Lines() const { return Memo.LinesWithoutTimeStamp(); }
    int Count(const QString& ALine) const { return static_cast<int>(Lines().count(ALine)); }
    bool Has(const QString& APrefix) const
    {
        for (const QString& line : Lines()) {
            if (line.startsWith(APrefix)) {
                return true;
            }
        }
        return false;
    }
};

inline double MsBetween(TSteadyClock::time_point AFrom, TSteadyClock::time_point ATo)
{
    return std::chrono::duration<double, std::milli>(ATo - AFrom).count();
}
