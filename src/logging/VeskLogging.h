#pragma once

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

enum TVeskLoggerType
{
    vltCodeSite, // rotating log file
    vltVclMemo   // text control
};

// The one diagnostic logger. Both sinks receive lines of the same format,
// "YYYY/MM/DD hh:nn:ss | <type> message(Value=...)"; only the start and end lines
// differ, the file names its writer there. Safe to call from several
// threads with the file sink; the text sink belongs to the thread of its control.
class TVeskLogger
{
public:
    static constexpr qint64 LogFileSizeLimit = 5120 * 1024;
    static constexpr int LogFileCount = 10;

    TVeskLogger(const QString& LogFilePath, const QString& LogFileName, TVeskLogMemo* ALogMemo = nullptr);
    ~TVeskLogger();
    TVeskLogger(const TVeskLogger&) = delete;
    TVeskLogger& operator=(const TVeskLogger&) = delete;

    void SetLogMemo(TVeskLogMemo* ALogMemo);
    TVeskLogMemo* LogMemo() const { return FLogMemo; }
    TVeskLoggerType LogType() const { return FLogType; }
    QString LogCategory() const { return FLogCategory; }
    void SetLogCategory(const QString& Category) { FLogCategory = Category; }
    QString LogFilePath() const { return FLogFilePath; }
    QString LogFileName() const { return FLogFileName; }

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
    static QString TypePrefix(int AMsgType) { return QStringLiteral("<%1> ").arg(AMsgType); }
    static QString ObjectText(const QObject* Obj);
    void Write(const QString& Line);

    TVeskLoggerType FLogType;
    TVeskLogMemo* FLogMemo = nullptr;
    std::shared_ptr<spdlog::logger> FLogCSDest;
    QString FLogFilePath;
    QString FLogFileName;
    QString FLogCategory;
};

// Process-wide logger, reachable by every unit; null until the program sets it.
TVeskLogger* VeskLogger();
void SetVeskLogger(TVeskLogger* Logger);
