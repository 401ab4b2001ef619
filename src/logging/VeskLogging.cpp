#include "logging/VeskLogging.h"

#include "defines/VeskPlatform.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>

#include <spdlog/sinks/base_sink.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>

namespace {
std::atomic<TVeskLogger*> GVeskLogger{nullptr};

// A size-rotated log file ("UlmaroX.csl", "UlmaroX.1.csl", ...) whose every open
// refuses a symbolic link, and whose rotation only renames, which never follows
// one. Lines go straight to the kernel: nothing waits in a buffer.
class TVeskLogFileSink final : public spdlog::sinks::base_sink<std::mutex>
{
public:
    TVeskLogFileSink(std::string AFileName, std::size_t AMaxSize, std::size_t AMaxFiles)
        : FFileName(std::move(AFileName)), FMaxSize(AMaxSize), FMaxFiles(AMaxFiles)
    {
        if (!Open(false)) {
            throw spdlog::spdlog_ex("cannot open log file " + FFileName, errno);
        }
    }

protected:
    void sink_it_(const spdlog::details::log_msg& AMsg) override
    {
        spdlog::memory_buf_t formatted;
        formatter_->format(AMsg, formatted);
        if (FSize + formatted.size() > FMaxSize) {
            Rotate();
        }
        // After a rotation whose file could not be opened again, lines are dropped.
        FSize += std::size_t(FFile.Write(formatted.data(), qint64(formatted.size())));
    }
    void flush_() override {}

private:
    static QString Path(const std::string& AName) { return QFile::decodeName(QByteArray::fromStdString(AName)); }

    bool Open(bool ATruncate)
    {
        if (!FFile.Open(Path(FFileName), ATruncate)) {
            return false;
        }
        FSize = std::size_t(FFile.SizeAtOpen());
        return true;
    }

    void Rotate()
    {
        FFile.Close();
        for (std::size_t i = FMaxFiles; i > 0; --i) {
            // A number not yet used fails to rename, which is all it needs.
            VeskRenameReplacing(Path(spdlog::sinks::rotating_file_sink_mt::calc_filename(FFileName, i - 1)),
                                Path(spdlog::sinks::rotating_file_sink_mt::calc_filename(FFileName, i)));
        }
        Open(true);
    }

    std::string FFileName;
    std::size_t FMaxSize;
    std::size_t FMaxFiles;
    TVeskNoFollowFile FFile;
    std::size_t FSize = 0;
};

} // namespace

QString VeskEscapeControlChars(const QString& AText)
{
    auto isControl = [](char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); };
    if (std::none_of(AText.cbegin(), AText.cend(), [&](QChar c) { return isControl(c.unicode()); })) {
        return AText;
    }
    QString out;
    out.reserve(AText.size() + 16);
    for (const QChar c : AText) {
        if (isControl(c.unicode())) {
            out += QString::asprintf("\\x%02X", unsigned(c.unicode()));
        } else {
            out += c;
        }
    }
    return out;
}

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
    const QString file = QDir(LogFilePath).filePath(LogFileName);
    try {
        if (!QDir().mkpath(LogFilePath)) {
            FFileError = QStringLiteral("Cannot create the folder %1").arg(LogFilePath);
            return;
        }
        // LogFileCount counts the current file too; the sink counts only the rolled-over ones.
        auto sink = std::make_shared<TVeskLogFileSink>(QFile::encodeName(file).toStdString(),
                                                       static_cast<std::size_t>(LogFileSizeLimit), LogFileCount - 1);
        // Not registered with spdlog, so the name need not be unique.
        FLogCSDest = std::make_shared<spdlog::logger>("UlmaroX", std::move(sink));
        FLogCSDest->set_pattern("%v");
        FLogCSDest->set_level(spdlog::level::trace);
        // Every line reaches the disk at once: the log must explain an alert even after a crash.
        FLogCSDest->flush_on(spdlog::level::trace);
    } catch (const std::exception& e) {
        FLogCSDest.reset();
        FFileError = QFileInfo(file).isSymLink()
                         ? QStringLiteral("The log file is a symbolic link, not opened: %1").arg(file)
                         : QString::fromLocal8Bit(e.what());
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

void TVeskLogger::Write(const QString& ALine)
{
    // Values carry text from the server and from files: escaped wherever they appear.
    const QString Line = VeskEscapeControlChars(ALine);
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
