#pragma once

#include <QMutex>
#include <QString>

#include <memory>

class QObject;

namespace spdlog {
class logger;
}

// The text control a text-sink logger writes into. The GUI adapts its own
// control to this; tests capture lines with it.
class TVeskLogMemo
{
public:
    virtual ~TVeskLogMemo() = default;
    virtual void AppendLine(const QString& Line) = 0;
};

// Message types: the numbers are fixed, the log's readers filter on them.
enum TVeskMsgType : int
{
    vmtPlain = 0,       // untyped messages; plug-in loading
    vmtRejected = 1,    // rejected input: invalid telegram, replaced location
    vmtWarning = 2,     // errors the program lives with: time-outs, bad options, missing files
    vmtNotable = 8,     // alert decisions, receiver start and end, detected options
    vmtQueued = 23,     // telegram queued; alert for a new earthquake
    vmtLogger = 25,     // the logger's own start and end lines
    vmtAlertMap = 27,   // alert timing and history registration
    vmtLinkDetail = 28, // server link: connection, data, keep-alive, status
    vmtCaught = 37      // a caught error or a missing object
};

enum TVeskLoggerType
{
    vltCodeSite, // rotating log file
    vltVclMemo   // text control
};

// Text with every control character (C0, DEL, C1) written as "\xNN", so that text
// from the server cannot move a terminal's cursor, set its title or split a line.
QString VeskEscapeControlChars(const QString& AText);

// The one diagnostic logger. Both sinks receive lines of the same format,
// "YYYY/MM/DD hh:nn:ss | <type> message(Value=...)"; only the start and end lines
// differ, the file names its writer there. Control characters in a line are
// escaped (VeskEscapeControlChars). Safe to call from several threads with the
// file sink; the text sink belongs to the thread of its control.
//
// The file and its rolled-over copies are never opened through a symbolic link:
// a link at the log's name leaves the logger without a file (FileError says why).
class TVeskLogger
{
public:
    static constexpr qint64 LogFileSizeLimit = 5120 * 1024;
    static constexpr int LogFileCount = 10;

    TVeskLogger(const QString& LogFilePath, const QString& LogFileName, TVeskLogMemo* ALogMemo = nullptr);
    ~TVeskLogger();
    TVeskLogger(const TVeskLogger&) = delete;
    TVeskLogger& operator=(const TVeskLogger&) = delete;

    // A logger that writes nowhere, for components nobody asked to log: callers
    // never need to test for a missing logger.
    static TVeskLogger& Null();
    static TVeskLogger* OrNull(TVeskLogger* ALogger) { return ALogger ? ALogger : &Null(); }

    void SetLogMemo(TVeskLogMemo* ALogMemo);
    TVeskLogMemo* LogMemo() const { return FLogMemo; }
    TVeskLoggerType LogType() const { return FLogType; }
    QString LogCategory() const { return FLogCategory; }
    void SetLogCategory(const QString& Category) { FLogCategory = Category; }
    QString LogFilePath() const { return FLogFilePath; }
    QString LogFileName() const { return FLogFileName; }
    // Why a file logger has no file (a link, a folder that cannot be made, ...);
    // empty when it writes, and for the text sink.
    QString FileError() const { return FFileError; }

    void StartLogging();
    void AddSeparator();

    void Send(const QString& AMsg);
    void Send(const QString& AMsg, const QString& Value);
    void Send(const QString& AMsg, const char* Value) { Send(AMsg, QString::fromUtf8(Value)); }
    void Send(const QString& AMsg, int Value) { Send(AMsg, QString::number(Value)); }
    void Send(const QString& AMsg, qint64 Value) { Send(AMsg, QString::number(Value)); }
    void Send(const QString& AMsg, bool Expression);
    void Send(const QString& AMsg, const QObject* Obj);

    void Send(int AMsgType, const QString& AMsg);
    void Send(int AMsgType, const QString& AMsg, const QString& Value);
    void Send(int AMsgType, const QString& AMsg, const char* Value) { Send(AMsgType, AMsg, QString::fromUtf8(Value)); }
    void Send(int AMsgType, const QString& AMsg, int Value) { Send(AMsgType, AMsg, QString::number(Value)); }
    void Send(int AMsgType, const QString& AMsg, qint64 Value) { Send(AMsgType, AMsg, QString::number(Value)); }
    void Send(int AMsgType, const QString& AMsg, bool Expression);
    void Send(int AMsgType, const QString& AMsg, const QObject* Obj);

    void EnterMethod(const QString& AMsg);
    void ExitMethod(const QString& AMsg);
    void EndLogging();

    // The time stamp prefix "YYYY/MM/DD hh:nn:ss | " for the current local time.
    static QString TimeStamp();
    static QString SeparatorLine() { return QStringLiteral("=-=-=-=-=-=-=-=-=-=-"); }

private:
    struct TNullTag
    {};
    explicit TVeskLogger(TNullTag);
    static QString TypePrefix(int AMsgType) { return QStringLiteral("<%1> ").arg(AMsgType); }
    static QString ObjectText(const QObject* Obj);
    void Write(const QString& Line);

    TVeskLoggerType FLogType;
    TVeskLogMemo* FLogMemo = nullptr;
    // Serialises the text sink: the receiver thread logs too.
    QMutex FMemoLock;
    std::shared_ptr<spdlog::logger> FLogCSDest;
    QString FLogFilePath;
    QString FLogFileName;
    QString FLogCategory;
    QString FFileError;
};

// Logs "==> Name" now and "<== Name" when the scope ends, also by an exception.
class TVeskLogScope
{
public:
    TVeskLogScope(TVeskLogger* ALogger, QString AName) : FLogger(TVeskLogger::OrNull(ALogger)), FName(std::move(AName))
    {
        FLogger->EnterMethod(FName);
    }
    ~TVeskLogScope() { FLogger->ExitMethod(FName); }
    TVeskLogScope(const TVeskLogScope&) = delete;
    TVeskLogScope& operator=(const TVeskLogScope&) = delete;

private:
    TVeskLogger* FLogger;
    QString FName;
};

// Process-wide logger, reachable by every unit; null until the program sets it.
TVeskLogger* VeskLogger();
void SetVeskLogger(TVeskLogger* Logger);
