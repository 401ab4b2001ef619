#include "logging/VeskLogging.h"

#include <QDateTime>
#include <QDir>
#include <QObject>

#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include <atomic>

namespace {
std::atomic<TVeskLogger*> GVeskLogger{nullptr};
} // namespace

TVeskLogger* VeskLogger()
{
    return GVeskLogger.load(std::memory_order_acquire);
}

void SetVeskLogger(TVeskLogger* Logger)
{
    GVeskLogger.store(Logger, std::memory_order_release);
}

TVeskLogger::TVeskLogger(const QString& LogFilePath, const QString& LogFileName, TVeskLogMemo* ALogMemo)
    : FLogType(ALogMemo ? vltVclMemo : vltCodeSite), FLogMemo(ALogMemo), FLogFilePath(LogFilePath),
      FLogFileName(LogFileName)
{
    if (FLogType != vltCodeSite) {
        return;
    }
    // A logger that cannot open its file still works for its callers: lines are dropped.
    try {
        QDir().mkpath(LogFilePath);
        const QString file = QDir(LogFilePath).filePath(LogFileName);
        // LogFileCount counts the current file too; the sink counts only the rolled-over ones.
        auto sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(
            file.toStdString(), static_cast<std::size_t>(LogFileSizeLimit), LogFileCount - 1);
        // Not registered with spdlog, so the name need not be unique.
        FLogCSDest = std::make_shared<spdlog::logger>("UlmaroX", std::move(sink));
        FLogCSDest->set_pattern("%v");
        FLogCSDest->set_level(spdlog::level::trace);
        // Every line reaches the disk at once: the log must explain an alert even after a crash.
        FLogCSDest->flush_on(spdlog::level::trace);
    } catch (const std::exception&) {
        FLogCSDest.reset();
    }
}

TVeskLogger::TVeskLogger(TNullTag) : FLogType(vltVclMemo) {}

TVeskLogger& TVeskLogger::Null()
{
    static TVeskLogger Logger{TNullTag{}};
    return Logger;
}

// Every line is flushed as it is written (flush_on), so nothing is pending here.
TVeskLogger::~TVeskLogger() = default;

void TVeskLogger::SetLogMemo(TVeskLogMemo* ALogMemo)
{
    QMutexLocker lock(&FMemoLock);
    FLogMemo = ALogMemo;
}

QString TVeskLogger::TimeStamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) + QStringLiteral(" | ");
}

QString TVeskLogger::ObjectText(const QObject* Obj)
{
    if (!Obj) {
        return QStringLiteral("nil");
    }
    // A class may give its own text form through the dynamic property "logText".
    const QVariant text = Obj->property("logText");
    if (text.isValid()) {
        return text.toString();
    }
    return QString::fromLatin1(Obj->metaObject()->className());
}

void TVeskLogger::Write(const QString& Line)
{
    if (FLogType == vltVclMemo) {
        QMutexLocker lock(&FMemoLock);
        if (FLogMemo) {
            FLogMemo->AppendLine(Line);
        }
        return;
    }
    if (FLogCSDest) {
        try {
            const QByteArray utf8 = Line.toUtf8();
            FLogCSDest->info(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
        } catch (const std::exception&) {
            // The logger never fails its caller.
        }
    }
}

void TVeskLogger::StartLogging()
{
    Write(SeparatorLine());
    if (FLogType == vltCodeSite) {
        Write(TimeStamp() + TypePrefix(vmtLogger) + QStringLiteral("Launch CodeSite Dispatcher."));
        Write(TimeStamp() + QStringLiteral("Start Logging(CodeSite:5.3.2)."));
        return;
    }
    Write(TimeStamp() + QStringLiteral("Start Logging."));
}

void TVeskLogger::AddSeparator()
{
    Write(SeparatorLine());
}

void TVeskLogger::Send(const QString& AMsg)
{
    Write(TimeStamp() + AMsg);
}

void TVeskLogger::Send(const QString& AMsg, const QString& Value)
{
    Write(TimeStamp() + AMsg + QStringLiteral("(Value=") + Value + QLatin1Char(')'));
}

void TVeskLogger::Send(const QString& AMsg, bool Expression)
{
    Write(TimeStamp() + AMsg + QStringLiteral("(Expression=") +
          (Expression ? QStringLiteral("-1") : QStringLiteral("0")) + QLatin1Char(')'));
}

void TVeskLogger::Send(const QString& AMsg, const QObject* Obj)
{
    Write(TimeStamp() + AMsg + QStringLiteral("(Object=") + ObjectText(Obj) + QStringLiteral(")."));
}

// A typed message is the untyped one with "<type> " in front of its text.
void TVeskLogger::Send(int AMsgType, const QString& AMsg)
{
    Send(TypePrefix(AMsgType) + AMsg);
}

void TVeskLogger::Send(int AMsgType, const QString& AMsg, const QString& Value)
{
    Send(TypePrefix(AMsgType) + AMsg, Value);
}

void TVeskLogger::Send(int AMsgType, const QString& AMsg, bool Expression)
{
    Send(TypePrefix(AMsgType) + AMsg, Expression);
}

void TVeskLogger::Send(int AMsgType, const QString& AMsg, const QObject* Obj)
{
    Send(TypePrefix(AMsgType) + AMsg, Obj);
}

void TVeskLogger::EnterMethod(const QString& AMsg)
{
    Write(QStringLiteral("==> ") + AMsg);
}

void TVeskLogger::ExitMethod(const QString& AMsg)
{
    Write(QStringLiteral("<== ") + AMsg);
}

void TVeskLogger::EndLogging()
{
    if (FLogType == vltCodeSite) {
        Write(TimeStamp() + TypePrefix(vmtLogger) + QStringLiteral("End logging(CodeSite:5.3.2)."));
    } else {
        Write(TimeStamp() + QStringLiteral("End logging."));
    }
}
