#include "app/VeskSingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

constexpr QFileDevice::Permissions EveryoneReadWrite = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                       QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                       QFileDevice::ReadOther | QFileDevice::WriteOther;
constexpr QFileDevice::Permissions EveryoneAll =
    EveryoneReadWrite | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;

} // namespace

QString TVeskSingleInstance::MachineLockDir()
{
#ifdef Q_OS_WIN
    // The system's temporary folder, the same for every user (TEMP is per user).
    const QString systemRoot = qEnvironmentVariable("SystemRoot", QStringLiteral("C:/Windows"));
    return QDir::fromNativeSeparators(systemRoot) +
           QStringLiteral("/Temp/UlmaroX-{5C2E9B07-71D4-4A3E-B816-2F0D94C6A1E8}");
#else
    // Not QDir::tempPath(): it follows TMPDIR, and two receivers with different TMPDIR
    // would both run on the same data.
    return QStringLiteral("/tmp/UlmaroX-{5C2E9B07-71D4-4A3E-B816-2F0D94C6A1E8}");
#endif
}

QString TVeskSingleInstance::LockDir()
{
    const QString dir = qEnvironmentVariable(LockDirVariable);
    return dir.isEmpty() ? MachineLockDir() : dir;
}

TVeskSingleInstance::TVeskSingleInstance(const QString& ALockDir, const QString& ALockName)
    : FDir(ALockDir), FPath(QDir(ALockDir).filePath(ALockName)), FLock(std::make_unique<QLockFile>(FPath))
{
    // Only a dead owner makes the lock stale, never its age: a receiver runs for months.
    FLock->setStaleLockTime(0);
}

TVeskSingleInstance::~TVeskSingleInstance()
{
    if (FAcquired) {
        FLock->unlock();
    }
}

// The folder exists as a real folder; one this process makes is opened to every user,
// since a stale lock can only be removed by someone who may write the folder.
bool TVeskSingleInstance::PrepareFolder()
{
    if (QDir().mkdir(FDir) && !QFile::setPermissions(FDir, EveryoneAll)) {
        FError = QStringLiteral("cannot open the lock folder to every user: %1").arg(FDir);
        return false;
    }
    const QFileInfo info(FDir);
    if (info.isSymLink() || !info.isDir()) {
        FError = QStringLiteral("not a folder: %1").arg(FDir);
        return false;
    }
    return true;
}

bool TVeskSingleInstance::TryAcquire()
{
    if (FAcquired) {
        return true;
    }
    FHeldElsewhere = false;
    FError.clear();
    if (!PrepareFolder()) {
        return false;
    }
    FAcquired = FLock->tryLock(0);
    if (FAcquired) {
        // Any user may later remove it once this process is gone.
        QFile::setPermissions(FPath, EveryoneReadWrite);
        return true;
    }
    switch (FLock->error()) {
    case QLockFile::LockFailedError:
        FHeldElsewhere = true;
        break;
    case QLockFile::PermissionError:
        FError = QStringLiteral("no permission to create %1").arg(FPath);
        break;
    default:
        FError = QStringLiteral("cannot create %1").arg(FPath);
        break;
    }
    return false;
}

int TVeskSingleInstance::ClaimForStart()
{
    if (TryAcquire()) {
        return -1;
    }
    if (IsHeldElsewhere()) {
        std::fputs("Ulmaro X は既に起動しています / Ulmaro X is already running.\n", stderr);
        return 0;
    }
    std::fprintf(stderr, "多重起動を確認できません / cannot check for another running instance: %s\n",
                 qUtf8Printable(ErrorString()));
    return 1;
}
