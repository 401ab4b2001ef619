#include "defines/VeskPlatform.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>
#include <thread>

namespace {

using TClock = std::chrono::steady_clock;

qint64 MsSince(TClock::time_point ASince)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - ASince).count();
}

// A connected loopback pair: Client's descriptor is what the waits watch, Peer writes to it.
struct TLoopback
{
    QTcpServer Server;
    QTcpSocket Client;
    QTcpSocket* Peer = nullptr;

    bool Open()
    {
        if (!Server.listen(QHostAddress::LocalHost, 0)) {
            return false;
        }
        Client.connectToHost(QHostAddress::LocalHost, Server.serverPort());
        if (!Client.waitForConnected(5000) || !Server.waitForNewConnection(5000)) {
            return false;
        }
        Peer = Server.nextPendingConnection();
        return Peer != nullptr;
    }
    bool PeerWrites() { return Peer->write("x", 1) == 1 && Peer->waitForBytesWritten(5000); }
    qintptr Socket() const { return Client.socketDescriptor(); }
};

const char* ResultName(TVeskWaitResult AResult)
{
    switch (AResult) {
    case wrReady:
        return "ready";
    case wrTimeout:
        return "timeout";
    case wrWoken:
        return "woken";
    case wrFailed:
        return "failed";
    }
    return "?";
}

TEST(VeskPlatformTest, WaitOutcomes)
{
    struct TCase
    {
        const char* Name;
        bool UseSocket;
        bool DataArrives;
        TVeskSocketWait For;
        bool Signalled;
        TVeskWaitResult Expected;
    };
    const TCase cases[] = {
        {"no socket, quiet", false, false, swRead, false, wrTimeout},
        {"no socket, signalled", false, false, swRead, true, wrWoken},
        {"quiet socket", true, false, swRead, false, wrTimeout},
        {"data arrives", true, true, swRead, false, wrReady},
        {"writable socket", true, false, swWrite, false, wrReady},
        {"data arrives, but signalled", true, true, swRead, true, wrWoken},
        {"writable, but signalled", true, false, swWrite, true, wrWoken},
    };
    constexpr int TimeoutMs = 100;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TVeskWakeEvent wake;
        ASSERT_TRUE(wake.IsValid());
        TLoopback link;
        if (c.UseSocket) {
            ASSERT_TRUE(link.Open());
        }
        if (c.DataArrives) {
            ASSERT_TRUE(link.PeerWrites());
        }
        if (c.Signalled) {
            wake.Signal();
        }
        const TClock::time_point start = TClock::now();
        const TVeskWaitResult result = wake.Wait(TimeoutMs, c.UseSocket ? link.Socket() : -1, c.For);
        const qint64 took = MsSince(start);
        EXPECT_STREQ(ResultName(result), ResultName(c.Expected));
        if (c.Expected == wrTimeout) {
            EXPECT_GE(took, TimeoutMs - 5);
            EXPECT_LT(took, 2000);
        } else {
            EXPECT_LT(took, TimeoutMs);
        }
    }
}

// Another thread's signal ends a long wait at once, and the event stays
// signalled: the next wait does not block at all.
TEST(VeskPlatformTest, SignalFromAnotherThreadEndsTheWaitAtOnce)
{
    for (const bool withSocket : {false, true}) {
        SCOPED_TRACE(withSocket ? "with a quiet socket" : "event only");
        TVeskWakeEvent wake;
        TLoopback link;
        if (withSocket) {
            ASSERT_TRUE(link.Open());
        }
        const qintptr socket = withSocket ? link.Socket() : -1;
        std::atomic<qint64> signalledAt{0};
        const TClock::time_point start = TClock::now();
        std::thread signaller([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            signalledAt = MsSince(start);
            wake.Signal();
        });
        const TVeskWaitResult result = wake.Wait(10000, socket, swRead);
        const qint64 endedAt = MsSince(start);
        signaller.join();
        EXPECT_STREQ(ResultName(result), ResultName(wrWoken));
        EXPECT_GE(endedAt, signalledAt.load());
        EXPECT_LT(endedAt - signalledAt.load(), 100);

        const TClock::time_point again = TClock::now();
        EXPECT_STREQ(ResultName(wake.Wait(10000, socket, swRead)), ResultName(wrWoken));
        EXPECT_LT(MsSince(again), 100);
    }
}

class VeskPlatformFileTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }
    QString Path(const QString& AName) const { return FDir.filePath(AName); }
    bool Write(const QString& AName, const QByteArray& AData) const
    {
        QFile f(Path(AName));
        return f.open(QIODevice::WriteOnly) && f.write(AData) == AData.size();
    }
    // The file's content, or "(none)" when it does not exist.
    QByteArray Read(const QString& AName) const
    {
        QFile f(Path(AName));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
    }

    QTemporaryDir FDir;
};

TEST_F(VeskPlatformFileTest, Renames)
{
    struct TCase
    {
        const char* Name;
        bool Replacing;
        bool SourceExists;
        bool TargetExists;
        bool Expected;
        QByteArray SourceAfter;
        QByteArray TargetAfter;
    };
    const TCase cases[] = {
        {"no replace, free target", false, true, false, true, "(none)", "new"},
        {"no replace refuses an existing target", false, true, true, false, "new", "old"},
        {"no replace, missing source", false, false, false, false, "(none)", "(none)"},
        {"replacing, free target", true, true, false, true, "(none)", "new"},
        {"replacing an existing target", true, true, true, true, "(none)", "new"},
        {"replacing, missing source", true, false, true, false, "(none)", "old"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        QFile::remove(Path("from"));
        QFile::remove(Path("to"));
        if (c.SourceExists) {
            ASSERT_TRUE(Write("from", "new"));
        }
        if (c.TargetExists) {
            ASSERT_TRUE(Write("to", "old"));
        }
        QString error;
        const bool renamed = c.Replacing ? VeskRenameReplacing(Path("from"), Path("to"), &error)
                                         : VeskRenameNoReplace(Path("from"), Path("to"), &error);
        EXPECT_EQ(renamed, c.Expected);
        EXPECT_EQ(error.isEmpty(), c.Expected) << error.toStdString();
        EXPECT_EQ(Read("from"), c.SourceAfter);
        EXPECT_EQ(Read("to"), c.TargetAfter);
    }
}

TEST_F(VeskPlatformFileTest, Syncs)
{
    ASSERT_TRUE(Write("file", "data"));
    ASSERT_TRUE(QDir(FDir.path()).mkdir("folder"));
    struct TCase
    {
        const char* Name;
        bool Folder;
        QString Path;
        bool Expected;
    };
    const TCase cases[] = {
        {"file", false, Path("file"), true},
        {"folder", true, Path("folder"), true},
        {"missing file", false, Path("missing"), false},
        {"missing folder", true, Path("missing"), false},
        {"a file is no folder", true, Path("file"), false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        QString error;
        const bool synced = c.Folder ? VeskSyncFolder(c.Path, &error) : VeskSyncFile(c.Path, &error);
        EXPECT_EQ(synced, c.Expected);
        EXPECT_EQ(error.isEmpty(), c.Expected) << error.toStdString();
    }
}

// Requests arrive through the hook's pipe in order; an empty pipe answers 0 at once.
TEST(VeskPlatformTest, TerminationHookQueuesRequests)
{
    ASSERT_GE(VeskInstallTerminationHook(), 0);
    EXPECT_EQ(VeskTakeTerminationRequest(), 0);
    std::raise(SIGINT);
    std::raise(SIGTERM);
    EXPECT_EQ(VeskTakeTerminationRequest(), SIGINT);
    EXPECT_EQ(VeskTakeTerminationRequest(), SIGTERM);
    EXPECT_EQ(VeskTakeTerminationRequest(), 0);
    VeskRemoveTerminationHook();
}

} // namespace
