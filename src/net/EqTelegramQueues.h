#pragma once

// The two telegram queues shared by the receiver thread (producer) and the
// main thread (consumer), and the contracts between the two threads.

#include "defines/EqTelegramLines.h"
#include "defines/VeskDefines.h"

#include <QEvent>
#include <QMutex>

#include <deque>

// Posted (no payload) to the owner object after a record has been appended and
// the lock released. The handler drains the whole queue, so one event may find
// several records or none.
constexpr QEvent::Type WM_EQ01_QUEUED = QEvent::Type(0x8001);
constexpr QEvent::Type WM_EQ10_QUEUED = QEvent::Type(0x8002);
constexpr QEvent::Type WM_EQ11_QUEUED = QEvent::Type(0x8003);

// The queues and the one lock that guards them. The receiver thread holds
// Lock for a single append; the main thread holds it for a whole drain.
struct TEqTelegramQueues
{
    QMutex Lock;
    std::deque<TEqTelegram01> Eq01;
    std::deque<TEqTelegram10> Eq10;
    // JMA's area forecasts, each queued right before the type-01 line of its report.
    std::deque<TEqTelegram11> Eq11;
};
