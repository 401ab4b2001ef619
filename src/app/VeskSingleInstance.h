#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// One running receiver per machine, whoever runs it and whatever TMPDIR or APPDATA
// hold: a lock file in one machine-wide folder (on Linux a fixed folder under /tmp,
// writable by every user so that any of them can take over a lock left behind by a
// killed process; on Windows the system's own temporary folder). The environment
// variable ULMAROX_INSTANCE_LOCK_DIR names another folder; tests use it to run
// receivers side by side.
class TVeskSingleInstance
{
public:
    static constexpr const char* LockDirVariable = "ULMAROX_INSTANCE_LOCK_DIR";

    static QString DefaultLockName() { return QStringLiteral("UlmaroX.lock"); }
    // The fixed folder, ignoring ULMAROX_INSTANCE_LOCK_DIR.
    static QString MachineLockDir();
    // The folder a default instance uses: the variable's folder if set, else MachineLockDir().
    static QString LockDir();

    explicit TVeskSingleInstance(const QString& ALockDir = LockDir(), const QString& ALockName = DefaultLockName());
    ~TVeskSingleInstance();
    TVeskSingleInstance(const TVeskSingleInstance&) = delete;
    TVeskSingleInstance& operator=(const TVeskSingleInstance&) = delete;

    // True when this process now holds the lock. Otherwise IsHeldElsewhere() tells a
    // running instance from a lock that could not be made (ErrorString() says why).
    bool TryAcquire();
    // A program's start: TryAcquire, telling the user on standard error when it
    // fails. -1 when this run goes on; otherwise the program's exit status: 0 when
    // another instance runs, 1 when the lock cannot be made (ErrorString() says why).
    int ClaimForStart();
    bool IsAcquired() const { return FAcquired; }
    bool IsHeldElsewhere() const { return FHeldElsewhere; }
    QString ErrorString() const { return FError; }
    QString LockFilePath() const { return FPath; }

private:
    bool PrepareFolder();

    QString FDir;
    QString FPath;
    std::unique_ptr<QLockFile> FLock;
    bool FAcquired = false;
    bool FHeldElsewhere = false;
    QString FError;
};
