#include "defines/VeskPlatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString ErrnoText(int AErr)
{
    return QString::fromLocal8Bit(std::strerror(AErr));
}

bool Fail(QString* AError)
{
    if (AError) {
        *AError = ErrnoText(errno);
    }
    return false;
}

bool SyncPath(const QString& APath, int AFlags, QString* AError)
{
    const int fd = ::open(QFile::encodeName(APath).constData(), O_RDONLY | O_CLOEXEC | AFlags);
    if (fd < 0) {
        return Fail(AError);
    }
    const bool synced = ::fsync(fd) == 0;
    const int err = errno;
    ::close(fd);
    errno = err;
    return synced || Fail(AError);
}

// Self-pipe of the termination hook: the handler writes into [0], the notifier reads [1].
int GSignalFds[2] = {-1, -1};
constexpr int TerminationSignals[] = {SIGINT, SIGTERM, SIGHUP};

void OnTerminationSignal(int ASignal)
{
    // Only async-signal-safe work here: one byte through the socket pair.
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(ASignal);
    [[maybe_unused]] const ssize_t written = ::write(GSignalFds[0], &byte, 1);
    errno = savedErrno;
}

void SetTerminationHandler(void (*AHandler)(int), int AFlags)
{
    struct sigaction action = {};
    action.sa_handler = AHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = AFlags;
    for (int sig : TerminationSignals) {
        ::sigaction(sig, &action, nullptr);
    }
}

} // namespace

TVeskWakeEvent::TVeskWakeEvent() : FHandle(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TVeskWakeEvent::~TVeskWakeEvent()
{
    if (FHandle >= 0) {
        ::close(static_cast<int>(FHandle));
    }
}

void TVeskWakeEvent::Signal()
{
    if (FHandle >= 0) {
        // Nobody reads the counter, so it stays non-zero and every later wait ends at once.
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t n = ::write(static_cast<int>(FHandle), &one, sizeof(one));
    }
}

TVeskWaitResult TVeskWakeEvent::Wait(int ATimeoutMs, qintptr ASocket, TVeskSocketWait AFor) const
{
    using TClock = std::chrono::steady_clock;
    pollfd fds[2];
    nfds_t count = 0;
    int socketIndex = -1;
    int wakeIndex = -1;
    if (ASocket >= 0) {
        socketIndex = static_cast<int>(count);
        fds[count++] = {static_cast<int>(ASocket), static_cast<short>(AFor == swWrite ? POLLOUT : POLLIN), 0};
    }
    if (FHandle >= 0) {
        wakeIndex = static_cast<int>(count);
        fds[count++] = {static_cast<int>(FHandle), POLLIN, 0};
    }
    const TClock::time_point deadline = TClock::now() + std::chrono::milliseconds(ATimeoutMs);
    int timeout = ATimeoutMs;
    for (;;) {
        // Without any descriptor this only sleeps for the time-out.
        const int rc = ::poll(count ? fds : nullptr, count, timeout);
        if (rc < 0) {
            if (errno != EINTR) {
                return wrFailed;
            }
            if (ATimeoutMs >= 0) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now());
                timeout = static_cast<int>(std::max<qint64>(left.count(), 0));
            }
            continue;
        }
        if (wakeIndex >= 0 && fds[wakeIndex].revents != 0) {
            return wrWoken;
        }
        if (rc == 0 || socketIndex < 0) {
            return wrTimeout;
        }
        return wrReady;
    }
}

bool VeskSyncFile(const QString& APath, QString* AError)
{
    return SyncPath(APath, 0, AError);
}

bool VeskSyncFolder(const QString& APath, QString* AError)
{
    return SyncPath(APath, O_DIRECTORY, AError);
}

bool VeskRenameNoReplace(const QString& AFrom, const QString& ATo, QString* AError)
{
    const QByteArray from = QFile::encodeName(AFrom);
    const QByteArray to = QFile::encodeName(ATo);
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        return Fail(AError);
    }
#endif
    // Without the atomic flag (older kernels, some file systems): a hard link
    // fails on an existing name just as atomically.
    if (::link(from.constData(), to.constData()) == 0) {
        // The new name is in place; an old name that cannot be removed stays harmless.
        ::unlink(from.constData());
        return true;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != ENOSYS && errno != EMLINK) {
        return Fail(AError);
    }
    // A file system without hard links: checked first, so only a race in between could replace.
    struct stat info;
    if (::lstat(to.constData(), &info) == 0) {
        errno = EEXIST;
        return Fail(AError);
    }
    if (::rename(from.constData(), to.constData()) != 0) {
        return Fail(AError);
    }
    return true;
}

TVeskReadResult VeskReadBoundedFile(const QString& APath, qint64 ALimit, QByteArray* ABytes)
{
    const int fd = ::open(QFile::encodeName(APath).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return (errno == ENOENT || errno == ENOTDIR) ? rrMissing : rrUnreadable;
    }
    struct stat st;
    TVeskReadResult result = rrRead;
    if (::fstat(fd, &st) != 0) {
        result = rrUnreadable;
    } else if (!S_ISREG(st.st_mode)) {
        result = rrNotRegular;
    } else if (st.st_size > ALimit) {
        result = rrTooLarge;
    }
    QByteArray bytes;
    while (result == rrRead) {
        const qsizetype have = bytes.size();
        bytes.resize(std::min<qsizetype>(have + 65536, ALimit + 1));
        const ssize_t n = ::read(fd, bytes.data() + have, std::size_t(bytes.size() - have));
        if (n < 0 && errno == EINTR) {
            bytes.resize(have);
            continue;
        }
        if (n < 0) {
            result = rrUnreadable;
            break;
        }
        bytes.resize(have + n);
        if (bytes.size() > ALimit) {
            result = rrTooLarge;
        } else if (n == 0) {
            break;
        }
    }
    ::close(fd);
    if (result == rrRead) {
        *ABytes = bytes;
    }
    return result;
}

bool VeskIsWritable(const QString& APath)
{
    const QFileInfo info(APath);
    return ::access(QFile::encodeName(APath).constData(), info.isDir() ? W_OK | X_OK : W_OK) == 0;
}

bool TVeskNoFollowFile::Open(const QString& APath, bool ATruncate)
{
    Close();
    const int flags = O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (ATruncate ? O_TRUNC : 0);
    const int fd = ::open(QFile::encodeName(APath).constData(), flags, 0666);
    if (fd < 0) {
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return false;
    }
    FHandle = fd;
    FSizeAtOpen = qint64(st.st_size);
    return true;
}

qint64 TVeskNoFollowFile::Write(const char* AData, qint64 ASize)
{
    qint64 done = 0;
    while (FHandle >= 0 && done < ASize) {
        const ssize_t n = ::write(int(FHandle), AData + done, std::size_t(ASize - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += n;
    }
    return done;
}

void TVeskNoFollowFile::Close()
{
    if (FHandle >= 0) {
        ::close(int(FHandle));
        FHandle = -1;
    }
}

bool VeskRenameReplacing(const QString& AFrom, const QString& ATo, QString* AError)
{
    if (::rename(QFile::encodeName(AFrom).constData(), QFile::encodeName(ATo).constData()) != 0) {
        return Fail(AError);
    }
    return true;
}

qintptr VeskInstallTerminationHook()
{
    if (GSignalFds[0] < 0) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, GSignalFds) != 0) {
            GSignalFds[0] = GSignalFds[1] = -1;
            return -1;
        }
        // A full pipe drops a signal rather than blocking inside the handler;
        // reading an empty pipe answers "none" rather than blocking the caller.
        ::fcntl(GSignalFds[0], F_SETFL, O_NONBLOCK);
        ::fcntl(GSignalFds[1], F_SETFL, O_NONBLOCK);
    }
    SetTerminationHandler(OnTerminationSignal, SA_RESTART);
    return GSignalFds[1];
}

int VeskTakeTerminationRequest()
{
    unsigned char byte = 0;
    if (GSignalFds[1] < 0 || ::read(GSignalFds[1], &byte, 1) != 1) {
        return 0;
    }
    return byte;
}

void VeskRemoveTerminationHook()
{
    SetTerminationHandler(SIG_DFL, 0);
}

std::FILE* VeskTakeStandardOutput()
{
    std::fflush(stdout);
    const int own = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (own < 0) {
        return stdout;
    }
    if (::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        ::close(own);
        return stdout;
    }
    std::FILE* stream = ::fdopen(own, "w");
    if (!stream) {
        ::dup2(own, STDOUT_FILENO);
        ::close(own);
        return stdout;
    }
    return stream;
}

bool VeskReplaceFile(const QString& AFilePath, const QByteArray& ABytes, QString* AErrorMessage)
{
    static std::atomic<unsigned> Counter{0};
    const QByteArray target = QFile::encodeName(AFilePath);
    const QString native = QDir::toNativeSeparators(AFilePath);
    struct stat old;
    const bool hadOld = ::lstat(target.constData(), &old) == 0 && S_ISREG(old.st_mode);

    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = target + ".tmp" + QByteArray::number(qint64(::getpid())) + '-' + QByteArray::number(Counter++);
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        if (AErrorMessage) {
            *AErrorMessage = QStringLiteral("Cannot create a file beside %1: %2").arg(native, ErrnoText(errno));
        }
        return false;
    }
    // Any failure up to the rename drops the new file; the old one was never touched.
    auto abandon = [&](const char* AWhat) {
        const int error = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        ::unlink(temp.constData());
        if (AErrorMessage) {
            *AErrorMessage = QStringLiteral("%1 %2: %3").arg(QLatin1String(AWhat), native, ErrnoText(error));
        }
        return false;
    };
    if (hadOld && ::fchmod(fd, old.st_mode & 07777) != 0) {
        return abandon("Cannot keep the permissions of");
    }
    for (qsizetype done = 0; done < ABytes.size();) {
        const ssize_t n = ::write(fd, ABytes.constData() + done, std::size_t(ABytes.size() - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return abandon("Cannot write");
        }
        done += n;
    }
    // A full disk may surface only here (delayed allocation) or at close (network folders).
    if (::fsync(fd) != 0) {
        return abandon("Cannot sync");
    }
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) {
        return abandon("Cannot close");
    }
    if (::rename(temp.constData(), target.constData()) != 0) {
        return abandon("Cannot replace");
    }
    // The rename reaches the disk with its folder; the new contents already have.
    VeskSyncFolder(QFileInfo(AFilePath).absolutePath());
    return true;
}
