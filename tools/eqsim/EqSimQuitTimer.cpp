#include "EqSimQuitTimer.h"

#include <algorithm>

TEqSimQuitTimer::TEqSimQuitTimer(qint64 AMilliseconds, std::function<void()> ADone, int AMaxStepMs)
    : FDeadline(AMilliseconds, Qt::PreciseTimer), FDone(std::move(ADone)), FMaxStepMs(std::max(AMaxStepMs, 1))
{
    FTimer.setSingleShot(true);
    FTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&FTimer, &QTimer::timeout, &FTimer, [this] { Arm(); });
    Arm();
}

void TEqSimQuitTimer::Arm()
{
    const qint64 remaining = FDeadline.remainingTime();
    if (remaining <= 0) {
        FDone();
        return;
    }
    FTimer.start(int(std::min<qint64>(remaining, FMaxStepMs)));
}
