#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// One running receiver per machine. The lock lives in the temporary
// folder; a lock left behind by a crashed process is taken over.
class TVeskSingleInstance
{
public:
    static QString DefaultLockName() { return QStringLiteral("UlmaroX-{5C2E9B07-71D4-4A3E-B816-2F0D94C6A1E8}.lock"); }

    explicit TVeskSingleInstance(const QString& LockName = DefaultLockName());
    ~TVeskSingleInstance();

    // True when this process now holds the lock.
    bool TryAcquire();
    bool IsAcquired() const { return FAcquired; }
    QString LockFilePath() const { return FPath; }

private:
    QString FPath;
    std::unique_ptr<QLockFile> FLock;
    bool FAcquired = false;
};
