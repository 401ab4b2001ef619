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

// 2016/04/14 21:26:34, the occurrence time of the default telegram.
inline qint64 DefaultOccurrence()
{
    return *TAlertTiming::ParseOccurrenceTime(QStringLiteral("160414212634"));
}

} // namespace AlertTest
