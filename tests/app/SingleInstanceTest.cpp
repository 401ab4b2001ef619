// The single-instance lock: the lock object on its own, and two real receivers that
// differ in TMPDIR and APPDATA on one machine.

#include "AppTestSupport.h"
#include "app/VeskSingleInstance.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

constexpr QFileDevice::Permissions EveryoneReadWrite = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                       QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                       QFileDevice::ReadOther | QFileDevice::WriteOther;
constexpr QFileDevice::Permissions EveryoneAll =
    EveryoneReadWrite | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;

TEST(SingleInstance, OneHolderPerFolderAndAnyUserCanTakeOverTheFolder)
{
    QTemporaryDir dir;
    const QString lockDir = dir.filePath(QStringLiteral("locks"));
    TVeskSingleInstance second(lockDir);
    {
        TVeskSingleInstance first(lockDir);
        ASSERT_TRUE(first.TryAcquire()) << qPrintable(first.ErrorString());
        // A stale lock can only be removed by a user who may write the folder and open the file.
        EXPECT_EQ(QFileInfo(lockDir).permissions() & EveryoneAll, EveryoneAll);
        EXPECT_EQ(QFileInfo(first.LockFilePath()).permissions() & EveryoneReadWrite, EveryoneReadWrite);

        EXPECT_FALSE(second.TryAcquire());
        EXPECT_TRUE(second.IsHeldElsewhere());
        EXPECT_TRUE(second.ErrorString().isEmpty()) << qPrintable(second.ErrorString());
    }
    EXPECT_FALSE(QFile::exists(QDir(lockDir).filePath(TVeskSingleInstance::DefaultLockName())));
    EXPECT_TRUE(second.TryAcquire());
    EXPECT_FALSE(second.IsHeldElsewhere());
}

// A folder the lock cannot live in is an error, never "another instance runs".
TEST(SingleInstance, AnUnusableFolderIsAnErrorNotAnotherInstance)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("file"));
    ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly));
    const QString target = dir.filePath(QStringLiteral("target"));
    ASSERT_TRUE(QDir().mkdir(target));
    const QString link = dir.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(target, link));
    const QString missingParent = dir.filePath(QStringLiteral("missing/locks"));
    const struct
    {
        const char* Name;
        QString Folder;
    } cases[] = {
        {"a regular file", file},
        {"below a regular file", file + QStringLiteral("/locks")},
        {"a symbolic link", link},
        {"below a missing folder", missingParent},
    };
    for (const auto& c : cases) {
        TVeskSingleInstance instance(c.Folder);
        EXPECT_FALSE(instance.TryAcquire()) << c.Name;
        EXPECT_FALSE(instance.IsHeldElsewhere()) << c.Name;
        EXPECT_FALSE(instance.ErrorString().isEmpty()) << c.Name;
    }
    EXPECT_TRUE(QDir(target).isEmpty()) << "nothing written through the link";
}

bool IsConnected(const QString& ALine)
{
    const QJsonObject event = QJsonDocument::fromJson(ALine.toUtf8()).object();
    return event.value(QStringLiteral("event")).toString() == QLatin1String("status") &&
           event.value(QStringLiteral("status")).toString() == QLatin1String("connected");
}

// The environment of a real start: no lock folder of its own, so the machine-wide one.
QProcessEnvironment MachineEnvironment(const TTestFolders& AFolders)
{
    QProcessEnvironment env = AFolders.Environment();
    env.remove(QString::fromLatin1(TVeskSingleInstance::LockDirVariable));
    return env;
}

// One test, so that nothing else in this program uses the machine-wide lock meanwhile.
TEST(SingleInstanceEndToEnd, OneReceiverPerMachineWhateverTmpdirAndAppdataSay)
{
    const QString machineLock =
        QDir(TVeskSingleInstance::MachineLockDir()).filePath(TVeskSingleInstance::DefaultLockName());
    {
        TVeskSingleInstance probe(TVeskSingleInstance::MachineLockDir());
        if (!probe.TryAcquire()) {
            GTEST_SKIP() << "the machine-wide lock is not free (a receiver runs here?): "
                         << qPrintable(probe.ErrorString());
        }
    }
    TTestFolders a;
    TTestFolders b;
    TEqSim sim({}, a.Environment());
    ASSERT_GT(sim.Port, 0);
    const QStringList args = THeadless::ServerArgs(sim.Port);

    TChild first;
    first.Start(HeadlessPath, args, MachineEnvironment(a));
    ASSERT_TRUE(first.WaitForLine(IsConnected)) << qPrintable(first.Err());
    EXPECT_TRUE(QFile::exists(machineLock));

    QProcessEnvironment sameDataOtherTmp = MachineEnvironment(a);
    sameDataOtherTmp.insert(QStringLiteral("TMPDIR"), b.Tmp());
    QProcessEnvironment noTmpdir = MachineEnvironment(b);
    noTmpdir.remove(QStringLiteral("TMPDIR"));
    const struct
    {
        const char* Name;
        QProcessEnvironment Env;
    } seconds[] = {
        {"same data folder, another TMPDIR", sameDataOtherTmp},
        {"another data folder and TMPDIR", MachineEnvironment(b)},
        {"another data folder, no TMPDIR", noTmpdir},
    };
    for (const auto& c : seconds) {
        TChild second;
        second.Start(HeadlessPath, args, c.Env);
        ASSERT_TRUE(second.WaitForEnd()) << c.Name;
        WaitUntil([] { return false; }, 50);
        EXPECT_EQ(second.ExitCode(), 0) << c.Name;
        EXPECT_TRUE(second.Err().contains(QLatin1String("already running")))
            << c.Name << ": " << qPrintable(second.Err());
        EXPECT_TRUE(second.Lines().isEmpty()) << c.Name;
    }
    EXPECT_EQ(sim.ConnectionRequests().size(), 1) << "only the first one connected";
    EXPECT_TRUE(first.IsRunning());
    ASSERT_TRUE(first.SignalAndWait(SIGTERM));
    EXPECT_EQ(first.ExitCode(), 0);
    EXPECT_FALSE(QFile::exists(machineLock));

    // With nothing running, a temporary folder that is missing or unusable changes
    // nothing: the receiver runs, and no lock lands in the working folder.
    const QString readOnlyTmp = b.File(QStringLiteral("readonly"));
    ASSERT_TRUE(QDir().mkdir(readOnlyTmp));
    ASSERT_TRUE(QFile::setPermissions(readOnlyTmp, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const QString fileTmp = b.File(QStringLiteral("not-a-folder"));
    ASSERT_TRUE(b.WriteFile(fileTmp, "x"));
    QProcessEnvironment readOnly = MachineEnvironment(b);
    readOnly.insert(QStringLiteral("TMPDIR"), readOnlyTmp);
    QProcessEnvironment notAFolder = MachineEnvironment(b);
    notAFolder.insert(QStringLiteral("TMPDIR"), fileTmp);
    QProcessEnvironment emptyTmpdir = MachineEnvironment(b);
    emptyTmpdir.insert(QStringLiteral("TMPDIR"), QString());
    const struct
    {
        const char* Name;
        QProcessEnvironment Env;
    } alone[] = {
        {"no TMPDIR", noTmpdir},
        {"empty TMPDIR", emptyTmpdir},
        {"read-only TMPDIR", readOnly},
        {"TMPDIR is a file", notAFolder},
    };
    for (const auto& c : alone) {
        QTemporaryDir work;
        TChild app;
        app.Process().setWorkingDirectory(work.path());
        app.Start(HeadlessPath, args, c.Env);
        EXPECT_TRUE(app.WaitForLine(IsConnected)) << c.Name << ": " << qPrintable(app.Err());
        EXPECT_TRUE(QFile::exists(machineLock)) << c.Name;
        EXPECT_FALSE(app.Err().contains(QLatin1String("already running"))) << c.Name;
        EXPECT_TRUE(QDir(work.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) << c.Name;
        ASSERT_TRUE(app.SignalAndWait(SIGTERM)) << c.Name;
        EXPECT_EQ(app.ExitCode(), 0) << c.Name;
    }
    QFile::setPermissions(readOnlyTmp, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace
