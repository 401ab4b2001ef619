#include "app/VeskSingleInstance.h"

#include <QDir>

TVeskSingleInstance::TVeskSingleInstance(const QString& LockName)
    : FPath(QDir(QDir::tempPath()).filePath(LockName)), FLock(std::make_unique<QLockFile>(FPath))
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

bool TVeskSingleInstance::TryAcquire()
{
    if (!FAcquired) {
        FAcquired = FLock->tryLock(0);
    }
    return FAcquired;
}
