#pragma once

// What every test program shares: the application object (made by the shared
// main), an event-loop wait, a captured logger, a telegram builder and a fake
// sound channel.

#include "alert/AlertPresentation.h"
#include "alert/AlertTiming.h"
#include "defines/VeskDefines.h"
#include "logging/VeskLogTestMemo.h"
#include "logging/VeskLogging.h"

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <ostream>
#include <vector>

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

namespace UlxTest {

// Runs the event loop until APredicate holds or ATimeoutMs passes; the result of
// APredicate. A short timer wakes the loop, so nothing spins while all is quiet.
bool WaitUntil(const std::function<bool()>& APredicate, int ATimeoutMs);
// Runs the event loop for AMs.
void RunFor(int AMs);

// A program run to its end.
struct TProgramRun
{
    int ExitCode = -1; // -1: not started, not finished in time, or crashed
    QByteArray Out;
    QByteArray Err;
    QString Error; // why it did not run to a normal end
};
TProgramRun RunProgram(const QString& AProgram, const QStringList& AArgs,
                       const QProcessEnvironment& AEnv = QProcessEnvironment::systemEnvironment(),
                       int ATimeoutMs = 60000);
// Non-empty lines of a program's output.
QList<QByteArray> OutputLines(const QByteArray& AOutput);

// A whole file's bytes; empty when it cannot be read.
QByteArray ReadBytes(const QString& APath);
// Replaces a file's content; false when it could not be written completely.
bool WriteBytes(const QString& APath, const QByteArray& ABytes);

// A local wall clock that stands still until a test moves it.
class TFakeClock : public TAlertClock
{
public:
    // 2016/04/14 21:26:34 (Japan), the occurrence of the default telegram: telegrams
    // far off the clock are timed from their receipt, so tests start near their times.
    qint64 Now = 1460669194000;
    qint64 NowLocalMSecs() const override { return Now; }
};

// Keeps the rows an alert registers; answers as told.
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

// A logger whose lines a test reads back without their time stamps.
class TCapturedLog
{
public:
    TCapturedLog() : FLogger(std::make_unique<TVeskLogger>(QString(), QString(), &FMemo)) {}
    TVeskLogger* Logger() { return FLogger.get(); }
    QStringList Lines() const { return FMemo.LinesWithoutTimeStamp(); }
    int Count(const QString& ALine) const { return static_cast<int>(Lines().count(ALine)); }
    bool Has(const QString& APrefix) const;
    void Clear() { FMemo.Clear(); }

private:
    TVeskCaptureMemo FMemo;
    std::unique_ptr<TVeskLogger> FLogger;
};

// Fields of a type-01 line; the defaults make a regular, well-located quake.
struct TEq01Fields
{
    QString EqId = QStringLiteral("ND20160414212634");
    int TelegNo = 5;
    QString TrainType = QStringLiteral("00");
    QString Type = QStringLiteral("00"); // "39": a cancel
    bool Final = false;                  // the report kind "9"
    QString PresentTime = QStringLiteral("160414212640");
    QString OccurrenceTime = QStringLiteral("160414212634");
    QString Lat = QStringLiteral("327");   // tenths of a degree
    QString Lng = QStringLiteral("1308");  // tenths of a degree
    QString Depth = QStringLiteral("010"); // km
    QString Mag = QStringLiteral("65");    // tenths
    QString Accuracy = QStringLiteral("33333");
    QString Areas; // back-to-back three-character codes
};

QString Eq01Line(const TEq01Fields& F);
inline TEqTelegram01 Eq01(const TEq01Fields& F = {})
{
    return TEqTelegram01(Eq01Line(F));
}
QString Eq10Line(const QString& EqId, const QString& Name, int TelegNo = 5);
inline TEqTelegram10 Eq10(const QString& EqId, const QString& Name, int TelegNo = 5)
{
    return TEqTelegram10(Eq10Line(EqId, Name, TelegNo));
}

// Records what the alert asked of the sound channel: "warning", "forecast", "stop".
class TFakeSoundChannel : public TAlertSoundChannel
{
public:
    void PlayAlertSound(TAlertSound Sound) override
    {
        Calls << (Sound == asWarning ? QStringLiteral("warning") : QStringLiteral("forecast"));
    }
    void StopAlertSound() override { Calls << QStringLiteral("stop"); }
    QString OutputProblem() const override { return Problem; }
    QStringList Calls;
    QString Problem; // what OutputProblem answers
};

} // namespace UlxTest
