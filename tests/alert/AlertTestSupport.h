#pragma once

#include "defines/VeskDefines.h"
#include "logging/VeskLogTestMemo.h"
#include "logging/VeskLogging.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <ostream>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& Value, std::ostream* Os)
{
    *Os << '"' << Value.toStdString() << '"';
}
inline void PrintTo(const QStringList& Value, std::ostream* Os)
{
    *Os << "{";
    for (const QString& s : Value) {
        *Os << "\n  \"" << s.toStdString() << "\"";
    }
    *Os << " }";
}

namespace AlertTest {

// Fields of a type-01 line; the defaults make a regular, well-located quake.
struct TEq01Fields
{
    QString EqId = QStringLiteral("ND20160414212634");
    int TelegNo = 5;
    QString TrainType = QStringLiteral("00");
    QString PresentTime = QStringLiteral("160414212640");
    QString OccurrenceTime = QStringLiteral("160414212634");
    QString Lat = QStringLiteral("327");   // tenths of a degree
    QString Lng = QStringLiteral("1308");  // tenths of a degree
    QString Depth = QStringLiteral("010"); // km
    QString Mag = QStringLiteral("65");    // tenths
    QString Accuracy = QStringLiteral("33333");
    QString Areas; // back-to-back three-character codes
};

inline QString Eq01Line(const TEq01Fields& F)
{
    return QStringLiteral("0100") + F.TrainType + F.PresentTime + F.OccurrenceTime + F.EqId + QLatin1Char(' ') +
           QString::asprintf("%02d", F.TelegNo) + QLatin1Char('N') + F.Lat + QLatin1Char('E') + F.Lng + F.Depth +
           F.Mag + F.Accuracy + F.Areas;
}

inline TEqTelegram01 Eq01(const TEq01Fields& F = {})
{
    return TEqTelegram01(Eq01Line(F));
}

inline TEqTelegram10 Eq10(const QString& EqId, const QString& Name, int TelegNo = 5)
{
    return TEqTelegram10(QStringLiteral("10") + EqId + QLatin1Char(' ') + QString::asprintf("%02d", TelegNo) +
                         QStringLiteral("791") + Name);
}

// A logger whose lines a test can read back without their time stamps.
class TCapturedLog
{
public:
    TCapturedLog() : FLogger(std::make_unique<TVeskLogger>(QString(), QString(), &FMemo)) {}
    TVeskLogger* Logger() { return FLogger.get(); }
    QStringList Lines() const { return FMemo.LinesWithoutTimeStamp(); }
    void Clear() { FMemo.Clear(); }

private:
    TVeskCaptureMemo FMemo;
    std::unique_ptr<TVeskLogger> FLogger;
};

} // namespace AlertTest

#include "alert/AlertTiming.h"

#include <QCoreApplication>

namespace AlertTest {

// One application object for the tests that post events or run timers.
inline QCoreApplication* App()
{
    if (QCoreApplication::instance()) {
        return QCoreApplication::instance();
    }
    static int argc = 1;
    static char name[] = "test_alert";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return &app;
}

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
