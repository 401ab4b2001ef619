#pragma once

#include "TestSupport.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <ostream>

#include "alert/AlertTiming.h"

#include <QCoreApplication>

namespace AlertTest {

using namespace UlxTest;

class TFakeClock : public TAlertClock
{
public:
    qint64 Now = 0;
    qint64 NowLocalMSecs() const override { return Now; }
};

class TFakeHistoryStore : public TEqHistoryStore
{
public:
    QList<TEqHistory> Records;
    bool Answer = true;
    bool InsertEqHistoryRecord(const TEqHistory& EqHistory) override
    {
        Records << EqHistory;
        return Answer;
    }
};

// 2016/04/14 21:26:34, the occurrence time of the default telegram.
inline qint64 DefaultOccurrence()
{
    return *TAlertTiming::ParseOccurrenceTime(QStringLiteral("160414212634"));
}

} // namespace AlertTest
