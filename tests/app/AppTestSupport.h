#pragma once

// Helpers of the end-to-end tests: the simulator and the headless receiver as
// real child processes, each test with its own data and temporary folder.

#include "TestSupport.h"
#include "defines/EqTelegramLines.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <vector>

#include <csignal>

inline const QString EqSimPath = QStringLiteral(ULX_BIN_DIR "/eqsim");
inline const QString HeadlessPath = QStringLiteral(ULX_BIN_DIR "/ulmarox-headless");
inline const QString SamplePlugInPath = QStringLiteral(ULX_BIN_DIR "/libUlxSamplePlugin.so");

// Waits for lines generously: the machine may be busy with other builds.
constexpr int LineTimeoutMs = 20000;

// Waits for what a child prints; see UlxTest::WaitUntil.
inline bool WaitUntil(const std::function<bool()>& APredicate, int ATimeoutMs = LineTimeoutMs)
{
    return UlxTest::WaitUntil(APredicate, ATimeoutMs);
}

// A folder per test: "APPDATA", "TMPDIR" and the single-instance lock folder of the
// children live in it, so tests running side by side neither share settings nor the
// lock (which is machine-wide unless ULMAROX_INSTANCE_LOCK_DIR names a folder).
class TTestFolders
{
public:
    TTestFolders()
    {
        QDir root(FDir.path());
        root.mkpath(QStringLiteral("appdata"));
        root.mkpath(QStringLiteral("tmp"));
    }
    QString Root() const { return FDir.path(); }
    QString AppData() const { return FDir.filePath(QStringLiteral("appdata")); }
    QString Tmp() const { return FDir.filePath(QStringLiteral("tmp")); }
    QString DataFolder() const { return AppData() + QStringLiteral("/BrenvikCorporation/UlmaroX"); }
    QString File(const QString& AName) const { return FDir.filePath(AName); }

    QProcessEnvironment Environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("APPDATA"), AppData());
        env.insert(QStringLiteral("TMPDIR"), Tmp());
        env.insert(QStringLiteral("ULMAROX_INSTANCE_LOCK_DIR"), Tmp());
        env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        return env;
    }

    bool WriteFile(const QString& APath, const QByteArray& AContent) const
    {
        QFile file(APath);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(AContent) == AContent.size();
    }

private:
    QTemporaryDir FDir;
};

// A child process whose standard output is collected as lines and standard error as text.
class TChild
{
public:
    TChild()
    {
        QObject::connect(&FProcess, &QProcess::readyReadStandardOutput, [this] { ReadOut(); });
        QObject::connect(&FProcess, &QProcess::readyReadStandardError,
                         [this] { FErr += QString::fromUtf8(FProcess.readAllStandardError()); });
    }
    ~TChild()
    {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.kill();
            FProcess.waitForFinished(5000);
        }
    }
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;

    void Start(const QString& AProgram, const QStringList& AArgs, const QProcessEnvironment& AEnv)
    {
        FProcess.setProcessEnvironment(AEnv);
        FProcess.setProcessChannelMode(QProcess::SeparateChannels);
        FProcess.start(AProgram, AArgs);
        FProcess.waitForStarted(10000);
    }

    bool WaitForLine(const std::function<bool(const QString&)>& AMatch, int ATimeoutMs = LineTimeoutMs)
    {
        return WaitUntil([&] { return FindLine(AMatch) >= 0; }, ATimeoutMs);
    }
    int FindLine(const std::function<bool(const QString&)>& AMatch) const
    {
        for (int i = 0; i < FLines.size(); ++i) {
            if (AMatch(FLines[i])) {
                return i;
            }
        }
        return -1;
    }

    // Sends a signal and waits for the end; false when the process did not end in time.
    bool SignalAndWait(int ASignal, int ATimeoutMs = LineTimeoutMs)
    {
        if (FProcess.state() == QProcess::NotRunning) {
            return true;
        }
        ::kill(static_cast<pid_t>(FProcess.processId()), ASignal);
        return WaitForEnd(ATimeoutMs);
    }
    bool WaitForEnd(int ATimeoutMs = LineTimeoutMs)
    {
        return WaitUntil([this] { return FProcess.state() == QProcess::NotRunning; }, ATimeoutMs);
    }

    bool IsRunning() const { return FProcess.state() != QProcess::NotRunning; }
    qint64 Pid() const { return FProcess.processId(); }
    int ExitCode() const { return FProcess.exitCode(); }
    QProcess::ExitStatus ExitStatus() const { return FProcess.exitStatus(); }
    const QStringList& Lines() const { return FLines; }
    // Wall-clock time (ms since the epoch) at which each line was read.
    qint64 LineTime(int AIndex) const { return FLineTimes.value(AIndex); }
    QString Out() const { return FLines.join(QLatin1Char('\n')); }
    QString Err() const { return FErr; }
    QProcess& Process() { return FProcess; }

private:
    void ReadOut()
    {
        FPartial += FProcess.readAllStandardOutput();
        qsizetype end;
        while ((end = FPartial.indexOf('\n')) >= 0) {
            FLines << QString::fromUtf8(FPartial.left(end));
            FLineTimes << QDateTime::currentMSecsSinceEpoch();
            FPartial.remove(0, end + 1);
        }
    }

    QProcess FProcess;
    QByteArray FPartial;
    QStringList FLines;
    QList<qint64> FLineTimes;
    QString FErr;
};

// The simulator on a free port, replaying ASCenario (optional) to each client.
class TEqSim : public TChild
{
public:
    explicit TEqSim(const QStringList& AArgs, const QProcessEnvironment& AEnv)
    {
        Start(EqSimPath, QStringList{QStringLiteral("--port"), QStringLiteral("0")} + AArgs, AEnv);
        static const QRegularExpression listening(QStringLiteral("listening on [^:]+:(\\d+)"));
        WaitForLine([this](const QString& ALine) {
            const QRegularExpressionMatch m = listening.match(ALine);
            if (m.hasMatch()) {
                Port = m.captured(1).toInt();
            }
            return m.hasMatch();
        });
    }

    // Every line sent to the clients, in order.
    QStringList SentLines() const
    {
        static const QRegularExpression sent(QStringLiteral("^\\[[^]]*\\] client \\d+ <- (.*)$"));
        return Captured(sent);
    }
    QStringList ConnectionRequests() const
    {
        static const QRegularExpression request(QStringLiteral("^\\[[^]]*\\] client \\d+ connection request: (.*)$"));
        return Captured(request);
    }
    bool IsScenarioFinished() const
    {
        return FindLine([](const QString& ALine) { return ALine.endsWith(QLatin1String(": scenario finished")); }) >= 0;
    }

    int Port = 0;

private:
    QStringList Captured(const QRegularExpression& APattern) const
    {
        QStringList out;
        for (const QString& line : Lines()) {
            const QRegularExpressionMatch m = APattern.match(line);
            if (m.hasMatch()) {
                out << m.captured(1);
            }
        }
        return out;
    }
};

// The receiver without windows; its standard output read as JSON events.
class THeadless : public TChild
{
public:
    THeadless(const TTestFolders& AFolders, const QStringList& AArgs, const QProcessEnvironment* AEnv = nullptr)
    {
        Start(HeadlessPath, AArgs, AEnv ? *AEnv : AFolders.Environment());
    }
    static QStringList ServerArgs(int APort)
    {
        return {QStringLiteral("-DebugOnLocal"), QStringLiteral("-EqServerPort"), QString::number(APort)};
    }

    // Parsed lines; a line that is no JSON object becomes an object without "event".
    std::vector<QJsonObject> Events() const
    {
        std::vector<QJsonObject> out;
        for (const QString& line : Lines()) {
            out.push_back(QJsonDocument::fromJson(line.toUtf8()).object());
        }
        return out;
    }
    std::vector<QJsonObject> Events(const QString& AKind) const
    {
        std::vector<QJsonObject> out;
        for (const QJsonObject& e : Events()) {
            if (e.value(QStringLiteral("event")).toString() == AKind) {
                out.push_back(e);
            }
        }
        return out;
    }
    // Index of the first event matching AMatch at or after AFrom, -1 when none.
    int FindEvent(const std::function<bool(const QJsonObject&)>& AMatch, int AFrom = 0) const
    {
        const std::vector<QJsonObject> events = Events();
        for (int i = AFrom; i < int(events.size()); ++i) {
            if (AMatch(events[std::size_t(i)])) {
                return i;
            }
        }
        return -1;
    }
    bool WaitForEvent(const std::function<bool(const QJsonObject&)>& AMatch, int ATimeoutMs = LineTimeoutMs)
    {
        return WaitForLine(
            [&](const QString& ALine) { return AMatch(QJsonDocument::fromJson(ALine.toUtf8()).object()); }, ATimeoutMs);
    }
    bool WaitForConnected(int ATimeoutMs = LineTimeoutMs)
    {
        return WaitForEvent(
            [](const QJsonObject& E) {
                return E.value(QStringLiteral("event")).toString() == QLatin1String("status") &&
                       E.value(QStringLiteral("status")).toString() == QLatin1String("connected");
            },
            ATimeoutMs);
    }
};

// A text field of an event.
inline QString Str(const QJsonObject& AEvent, const char* AKey)
{
    return AEvent.value(QLatin1String(AKey)).toString();
}

// Event predicates.
inline std::function<bool(const QJsonObject&)> IsEvent(const QString& AKind, const QString& AEqId = QString())
{
    return [AKind, AEqId](const QJsonObject& E) {
        return E.value(QStringLiteral("event")).toString() == AKind &&
               (AEqId.isEmpty() || E.value(QStringLiteral("eq_id")).toString() == AEqId);
    };
}

// Runs the receiver to its end (for -Help and -ListHistory).
struct TRunResult
{
    int ExitCode = -1;
    bool Finished = false;
    QStringList Lines;
    QString Err;
};

inline TRunResult RunHeadless(const TTestFolders& AFolders, const QStringList& AArgs, int ATimeoutMs = LineTimeoutMs)
{
    TChild child;
    child.Start(HeadlessPath, AArgs, AFolders.Environment());
    TRunResult result;
    result.Finished = child.WaitForEnd(ATimeoutMs);
    // Output still in the pipe when the process ended.
    WaitUntil([] { return false; }, 50);
    result.ExitCode = child.ExitCode();
    result.Lines = child.Lines();
    result.Err = child.Err();
    return result;
}

// "key=value" lines of a settings file (sections ignored; the keys are unique).
inline QMap<QString, QString> ReadConfFile(const QString& APath)
{
    QMap<QString, QString> values;
    QFile file(APath);
    if (!file.open(QIODevice::ReadOnly)) {
        return values;
    }
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && !line.startsWith(QLatin1Char('['))) {
            values.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
        }
    }
    return values;
}

// A type-01 line; eqsim replaces both times with live ones when it sends it.
inline QString Teleg01(const QString& ATrain, const QString& AEqId, int ANo, const char* ALat, const char* ALng,
                       const char* ADepth, const char* AMag, const char* ARk, const QString& AAreas = QString())
{
    TEqTelegram01Fields f;
    f.Type = QStringLiteral("35");
    f.TrainType = ATrain;
    f.PresentTime = f.OccurrenceTime = QStringLiteral("300601120000");
    f.EqId = AEqId;
    f.ReportKind = QStringLiteral("1");
    f.Serial = ANo;
    f.Latitude = QLatin1Char('N') + QLatin1String(ALat);
    f.Longitude = QLatin1Char('E') + QLatin1String(ALng);
    f.Depth = QLatin1String(ADepth);
    f.Magnitude = QLatin1String(AMag);
    f.Accuracy = QLatin1String(ARk);
    f.AreaCodes = QStringList{AAreas};
    return LayOutEqTelegram01(f);
}

inline QString Teleg10(const QString& AEqId, int ANo, const QString& ACode, const QString& AName)
{
    return QStringLiteral("10") + AEqId + QLatin1Char('1') + QStringLiteral("%1").arg(ANo, 2, 10, QLatin1Char('0')) +
           ACode + AName;
}
