#include "logging/VeskLogging.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QObject>

#include <spdlog/sinks/base_sink.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::atomic<TVeskLogger*> GVeskLogger{nullptr};

// A size-rotated log file ("UlmaroX.csl", "UlmaroX.1.csl", ...) whose every open
// refuses a symbolic link (O_NOFOLLOW), and whose rotation only renames, which never
// follows one. Lines go straight to the kernel: nothing waits in a buffer.
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
    ~TVeskLogFileSink() override
    {
        if (FFd >= 0) {
            ::close(FFd);
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
        if (FFd < 0) {
            return; // the file could not be opened again after a rotation: lines are dropped
        }
        std::size_t done = 0;
        while (done < formatted.size()) {
            const ssize_t n = ::write(FFd, formatted.data() + done, formatted.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            done += std::size_t(n);
        }
        FSize += done;
    }
    void flush_() override {}

private:
    bool Open(bool ATruncate)
    {
        const int flags = O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (ATruncate ? O_TRUNC : 0);
        FFd = ::open(FFileName.c_str(), flags, 0666);
        if (FFd < 0) {
            return false;
        }
        struct stat st;
        if (::fstat(FFd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(FFd);
            FFd = -1;
            errno = EINVAL;
            return false;
        }
        FSize = std::size_t(st.st_size);
        return true;
    }

    void Rotate()
    {
        ::close(FFd);
        FFd = -1;
        for (std::size_t i = FMaxFiles; i > 0; --i) {
            const std::string from = spdlog::sinks::rotating_file_sink_mt::calc_filename(FFileName, i - 1);
            const std::string to = spdlog::sinks::rotating_file_sink_mt::calc_filename(FFileName, i);
            struct stat st;
            if (::lstat(from.c_str(), &st) == 0) {
                ::rename(from.c_str(), to.c_str());
            }
        }
        Open(true);
    }

    std::string FFileName;
    std::size_t FMaxSize;
    std::size_t FMaxFiles;
    int FFd = -1;
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
        struct stat st;
        FFileError = (::lstat(QFile::encodeName(file).constData(), &st) == 0 && S_ISLNK(st.st_mode))
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
