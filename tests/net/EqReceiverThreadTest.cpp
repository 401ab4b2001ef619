// Integration tests of the receiver thread against a real loopback server run
// by the test's main thread.

#include "NetTestSupport.h"
#include "net/EqTcpClient.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <atomic>

namespace {

const QString Eq01A = QStringLiteral("013500300405150004300405150000DM20300405150000101N357E13970306011111");
const QString Eq01B = QStringLiteral("013500300405150005300405150000DM20300405150000102N357E13970306122222350");
const QString Eq01C = QStringLiteral("013500300405150006300405150000DM20300405150000103N357E13970306233333350341");
const QString Eq10A = QStringLiteral("10DM20300405150000103350東京都23区");

// Loopback server driven from the test thread; keeps every line each client wrote.
class TLineServer
{
public:
    TLineServer()
    {
        EXPECT_TRUE(FServer.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&FServer, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = FServer.nextPendingConnection()) {
                const int index = static_cast<int>(Clients.size());
                Clients.push_back(socket);
                Received.emplace_back();
                AcceptedAt.push_back(TSteadyClock::now());
                QObject::connect(socket, &QTcpSocket::readyRead, [this, socket, index] {
                    while (socket->canReadLine()) {
                        Received[static_cast<size_t>(index)].push_back({socket->readLine(), TSteadyClock::now()});
                    }
                });
            }
        });
    }
    quint16 Port() const { return FServer.serverPort(); }
    bool WaitClients(size_t ACount, int ATimeoutMs = 3000)
    {
        return UlxTest::WaitUntil([&] { return Clients.size() >= ACount; }, ATimeoutMs);
    }
    bool WaitLines(size_t AClient, size_t ACount, int ATimeoutMs = 3000)
    {
        return UlxTest::WaitUntil([&] { return Received.size() > AClient && Received[AClient].size() >= ACount; },
                                  ATimeoutMs);
    }
    void Send(size_t AClient, const QByteArray& AData)
    {
        Clients[AClient]->write(AData);
        Clients[AClient]->flush();
    }
    // Every byte its own segment, about a millisecond apart.
    void SendBytewise(size_t AClient, const QByteArray& AData)
    {
        for (char c : AData) {
            Send(AClient, QByteArray(1, c));
            UlxTest::RunFor(1);
        }
    }
    bool IsClosedByPeer(size_t AClient) const { return Clients[AClient]->state() == QAbstractSocket::UnconnectedState; }

    struct TLine
    {
        QByteArray Data;
        TSteadyClock::time_point At;
    };
    std::vector<QTcpSocket*> Clients;
    std::vector<std::vector<TLine>> Received;
    std::vector<TSteadyClock::time_point> AcceptedAt;

private:
    QTcpServer FServer;
};

quint16 UnusedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

TNetAvailableFunc AlwaysOnline()
{
    return [](QString&) { return ncrAvailable; };
}

class ReceiverTest : public ::testing::Test
{
protected:
    std::unique_ptr<TEqReceiverThread> MakeThread(quint16 APort, quint32 AKeepAlive = 3600000,
                                                  quint32 AReconnectWait = 60000, quint32 AMargin = 60000,
                                                  TNetAvailableFunc ANet = AlwaysOnline())
    {
        auto thread = std::make_unique<TEqReceiverThread>(
            QStringLiteral("127.0.0.1"), APort, QStringLiteral("AbC+-/*_0123"), QStringLiteral("350"), &Owner, &Queues,
            AKeepAlive, Log.Logger(), AReconnectWait, AMargin, std::move(ANet));
        Owner.Attach(*thread);
        return thread;
    }

    TEqTelegramQueues Queues;
    TTestOwner Owner{&Queues};
    UlxTest::TCapturedLog Log;
};

TEST_F(ReceiverTest, FirstLineOnConnectIsTheConnectionRequestAndNothingElse)
{
    TLineServer server;
    auto thread = MakeThread(server.Port());
    thread->start();
    ASSERT_TRUE(server.WaitLines(0, 1));
    EXPECT_EQ(server.Received[0][0].Data, QByteArray("93:AbC+-/*_0123:350\n"));
    UlxTest::RunFor(200);
    EXPECT_EQ(server.Received[0].size(), 1u) << "nothing but the request before a keep-alive is due";
    ASSERT_TRUE(UlxTest::WaitUntil([&] { return !Owner.Statuses.empty(); }, 1000));
    EXPECT_EQ(Owner.Statuses.front().Status, scsConnected);
    EXPECT_EQ(Owner.SetCalls, static_cast<int>(Owner.Statuses.size()));

    server.Send(0, (Eq01A + QLatin1Char('\n')).toUtf8());
    ASSERT_TRUE(UlxTest::WaitUntil([&] { return Owner.Eq01.size() == 1; }, 1000));
    thread->StopAndJoin();

    const QStringList expected = {
        QStringLiteral("<28> Initialized TcpClient."),
        QStringLiteral("<8> TEqReceiverThread.Execute()(Value=Start.)"),
        QStringLiteral("<28> Initialized TcpClient."),
        QStringLiteral("==> TEqReceiverThread.ConnectEqServer()"),
        QStringLiteral("<28> TEqReceiverThread.ConnectEqServer() result(Expression=-1)"),
        QStringLiteral("<== TEqReceiverThread.ConnectEqServer()"),
        QStringLiteral("<28> UpdateCommStatus()(Value=from Thread.)"),
        QStringLiteral("==> TEqReceiverThread.LoginEqServerApp()"),
        QStringLiteral("<28> Connection request(Value=93:AbC+-/*_0123:350)"),
        QStringLiteral("<28> TEqReceiverThread.LoginEqServerApp() result(Expression=-1)"),
        QStringLiteral("<== TEqReceiverThread.LoginEqServerApp()"),
        QStringLiteral("<28> Entering communication loop."),
        QStringLiteral("<28> Receive data(Value=") + Eq01A + QLatin1Char(')'),
        QStringLiteral("<23> Eew01 Queued(Value=") + Eq01A + QLatin1Char(')'),
        QStringLiteral("<8> TEqReceiverThread.Execute()(Value=End.)"),
        QStringLiteral("<28> UpdateCommStatus()(Value=from Thread.)"),
    };
    EXPECT_EQ(Log.Lines(), expected);
    EXPECT_EQ(Owner.StatusValues(), (std::vector<TServerCommStatus>{scsConnected, scsDisconnected}));
}

// What the server writes, how, and what must reach the main thread.
struct TFramingCase
{
    const char* Name;
    QByteArray Wire;
    bool Bytewise;
    QStringList Eq01;
    QStringList Eq10;
    QStringList InvalidLogged;
};

TEST_F(ReceiverTest, LinesAreFramedDecodedAndClassifiedOnceEachInOrder)
{
    const QByteArray a = Eq01A.toUtf8(), b = Eq01B.toUtf8(), c = Eq01C.toUtf8(), ten = Eq10A.toUtf8();
    const QByteArray maxLine = "01" + QByteArray(TEqTcpClient::MaxLineLength - 2, 'X');
    const std::vector<TFramingCase> cases = {
        {"three telegrams in one segment", a + "\n" + b + "\n" + c + "\n", false, {Eq01A, Eq01B, Eq01C}, {}, {}},
        {"CR LF terminators", a + "\r\n" + ten + "\r\n", false, {Eq01A}, {Eq10A}, {}},
        {"one byte per segment", a + "\n" + ten + "\n" + b + "\n", true, {Eq01A, Eq01B}, {Eq10A}, {}},
        {"invalid UTF-8 becomes replacement characters",
         QByteArray("10DM20300405150000103350\xE6\x9D\xB1\xFF\xE4\xBAX\n"),
         false,
         {},
         {QStringLiteral("10DM20300405150000103350東\uFFFD\uFFFD\uFFFDX")},
         {}},
        {"line of exactly the limit", maxLine + "\n", false, {QString::fromLatin1(maxLine)}, {}, {}},
        {"empty lines, keep-alives and invalid lines",
         "\n99\n991\n1\n\r\nabc\n99 \n100\n" + a + "\n",
         false,
         {Eq01A},
         {QStringLiteral("100")},
         {QStringLiteral("991"), QStringLiteral("1"), QStringLiteral("abc"), QStringLiteral("99 ")}},
    };
    for (const TFramingCase& tc : cases) {
        SCOPED_TRACE(tc.Name);
        TEqTelegramQueues queues;
        TTestOwner owner(&queues);
        UlxTest::TCapturedLog log;
        TLineServer server;
        TEqReceiverThread thread(QStringLiteral("127.0.0.1"), server.Port(), QStringLiteral("ID0123456789"),
                                 QStringLiteral("350"), &owner, &queues, 3600000, log.Logger(), 60000, 60000,
                                 AlwaysOnline());
        owner.Attach(thread);
        thread.start();
        ASSERT_TRUE(server.WaitLines(0, 1));
        if (tc.Bytewise) {
            server.SendBytewise(0, tc.Wire);
        } else {
            server.Send(0, tc.Wire);
        }
        const auto want01 = static_cast<qsizetype>(tc.Eq01.size());
        const auto want10 = static_cast<qsizetype>(tc.Eq10.size());
        EXPECT_TRUE(
            UlxTest::WaitUntil([&] { return owner.Eq01.size() >= want01 && owner.Eq10.size() >= want10; }, 3000));
        UlxTest::RunFor(50); // nothing more may come
        thread.StopAndJoin();
        EXPECT_EQ(owner.Eq01, tc.Eq01);
        EXPECT_EQ(owner.Eq10, tc.Eq10);
        EXPECT_EQ(owner.Eq01Events, tc.Eq01.size()) << "one event per record";
        EXPECT_EQ(owner.Eq10Events, tc.Eq10.size());
        QStringList invalid;
        for (const QString& line : log.Lines()) {
            if (line.startsWith(QLatin1String("<1> Invalid Eq telegram(Value="))) {
                invalid << line.mid(30).chopped(1);
            }
        }
        EXPECT_EQ(invalid, tc.InvalidLogged);
        EXPECT_EQ(server.Clients.size(), 1u) << "the link stays up";
        EXPECT_EQ(owner.StatusValues().front(), scsConnected);
    }
}

TEST_F(ReceiverTest, OverlongLineDropsTheLinkAndReconnectsWithTheSameId)
{
    TLineServer server;
    auto thread = MakeThread(server.Port(), 3600000, 100);
    thread->start();
    ASSERT_TRUE(server.WaitLines(0, 1));
    server.Send(0, "01" + QByteArray(TEqTcpClient::MaxLineLength - 1, 'X') + "\n");
    ASSERT_TRUE(server.WaitLines(1, 1, 3000)) << "reconnected after the wait";
    EXPECT_EQ(server.Received[1][0].Data, server.Received[0][0].Data);
    EXPECT_GE(MsBetween(server.AcceptedAt[0], server.AcceptedAt[1]), 100.0);
    // The rest of the long line never becomes a record, even when its end arrives.
    server.Send(0, "tail\n");
    UlxTest::RunFor(50);
    thread->StopAndJoin();
    EXPECT_TRUE(Owner.Eq01.isEmpty());
    EXPECT_TRUE(Log.Has(QStringLiteral("<37> TEqReceiverThread.Execute()(Value=Received line exceeds 16384 bytes.)")));
    const auto statuses = Owner.StatusValues();
    ASSERT_GE(statuses.size(), 4u);
    EXPECT_EQ(std::vector<TServerCommStatus>(statuses.begin(), statuses.begin() + 4),
              (std::vector<TServerCommStatus>{scsConnected, scsDisconnected, scsWaiting, scsConnected}));
}

TEST_F(ReceiverTest, PeerCloseAfterLinesHandlesTheLinesThenReconnects)
{
    TLineServer server;
    auto thread = MakeThread(server.Port(), 3600000, 100);
    thread->start();
    ASSERT_TRUE(server.WaitLines(0, 1));
    server.Send(0, (Eq01A + QLatin1Char('\n') + Eq01B + QLatin1Char('\n')).toUtf8());
    server.Clients[0]->disconnectFromHost();
    ASSERT_TRUE(server.WaitLines(1, 1, 3000));
    thread->StopAndJoin();
    EXPECT_EQ(Owner.Eq01, (QStringList{Eq01A, Eq01B}));
    EXPECT_TRUE(Log.Has(QStringLiteral("<37> TEqReceiverThread.Execute()(Value=Connection closed gracefully.)")));
}

TEST_F(ReceiverTest, RefusingServerGivesDisconnectedAttemptsOneWaitApartAndNeverWaiting)
{
    auto thread = MakeThread(UnusedPort(), 3600000, 150);
    thread->start();
    ASSERT_TRUE(UlxTest::WaitUntil([&] { return Owner.Statuses.size() >= 4; }, 3000));
    thread->StopAndJoin();
    for (const TStatusRecord& r : Owner.Statuses) {
        EXPECT_EQ(r.Status, scsDisconnected);
    }
    for (size_t i = 1; i + 1 < Owner.Statuses.size(); ++i) {
        const double gap = MsBetween(Owner.Statuses[i - 1].At, Owner.Statuses[i].At);
        EXPECT_GE(gap, 150.0);
        EXPECT_LT(gap, 400.0);
    }
    EXPECT_TRUE(Log.Has(QStringLiteral("<37> TEqReceiverThread.ConnectEqServer()(Value=Connection refused)")));
    EXPECT_TRUE(Log.Has(QStringLiteral("<28> TEqReceiverThread.ConnectEqServer() result(Expression=0)")));
    EXPECT_TRUE(Log.Has(QStringLiteral("<28> Interval(msec)(Value=150)")));
}

TEST_F(ReceiverTest, SilentServerGetsOneKeepAliveAndIsDroppedAfterIntervalPlusMargin)
{
    constexpr int Interval = 200, Margin = 300;
    TLineServer server;
    auto thread = MakeThread(server.Port(), Interval, 60000, Margin);
    thread->start();
    ASSERT_TRUE(server.WaitLines(0, 1));
    const auto loggedIn = server.Received[0][0].At;
    ASSERT_TRUE(server.WaitLines(0, 2, 2000));
    EXPECT_EQ(server.Received[0][1].Data, QByteArray("99\n"));
    const double keepAliveAfter = MsBetween(loggedIn, server.Received[0][1].At);
    EXPECT_GE(keepAliveAfter, Interval - 5.0);
    EXPECT_LT(keepAliveAfter, Interval + 150.0);

    ASSERT_TRUE(UlxTest::WaitUntil([&] { return Owner.Statuses.size() >= 3; }, 3000));
    const double droppedAfter = MsBetween(server.Received[0][1].At, Owner.Statuses[1].At);
    EXPECT_GE(droppedAfter, Interval + Margin - 5.0);
    EXPECT_LT(droppedAfter, Interval + Margin + 150.0);
    EXPECT_EQ(server.Received[0].size(), 2u) << "one keep-alive only";
    EXPECT_TRUE(UlxTest::WaitUntil([&] { return server.IsClosedByPeer(0); }, 1000)) << "the dropped link is closed";
    thread->StopAndJoin();
    EXPECT_EQ(Owner.StatusValues(),
              (std::vector<TServerCommStatus>{scsConnected, scsDisconnected, scsWaiting, scsDisconnected}));
    EXPECT_TRUE(Log.Has(QStringLiteral("<28> Send keep alive(Value=99)")));
    bool timeOutLogged = false;
    for (const QString& line : Log.Lines()) {
        if (line.startsWith(QLatin1String("<2> Time out error.(Value="))) {
            timeOutLogged = true;
            const int ms = line.section(QLatin1Char('='), 1).section(QLatin1Char(' '), 0, 0).toInt();
            EXPECT_GT(ms, Interval + Margin);
            EXPECT_TRUE(line.endsWith(QLatin1String(" msec past)")));
        }
    }
    EXPECT_TRUE(timeOutLogged);
}

TEST_F(ReceiverTest, AnsweredKeepAlivesKeepTheLinkAndTelegramsDoNotClearTheOutstandingOne)
{
    constexpr int Interval = 150, Margin = 400;
    TLineServer server;
    auto thread = MakeThread(server.Port(), Interval, 60000, Margin);
    thread->start();
    ASSERT_TRUE(server.WaitLines(0, 2, 2000)); // request, first keep-alive
    // A telegram while the keep-alive is outstanding: no second keep-alive until "99" arrives.
    server.Send(0, (Eq01A + QLatin1Char('\n')).toUtf8());
    UlxTest::RunFor(Interval + 100);
    EXPECT_EQ(server.Received[0].size(), 2u);
    server.Send(0, "99\n");
    ASSERT_TRUE(server.WaitLines(0, 3, 2000));
    EXPECT_EQ(server.Received[0][2].Data, QByteArray("99\n"));
    EXPECT_GE(MsBetween(server.Received[0][1].At, server.Received[0][2].At), 2.0 * Interval);
    server.Send(0, "99\n");
    thread->StopAndJoin();
    EXPECT_EQ(Owner.StatusValues(), (std::vector<TServerCommStatus>{scsConnected, scsDisconnected}));
    EXPECT_EQ(Owner.Eq01, QStringList{Eq01A});
}

TEST_F(ReceiverTest, StopIsNoticedWithin20MsDuringAWaitAndWhileConnected)
{
    {
        auto thread = MakeThread(UnusedPort());
        thread->start();
        ASSERT_TRUE(
            UlxTest::WaitUntil([&] { return Log.Has(QStringLiteral("<28> Interval(msec)(Value=60000)")); }, 3000));
        const auto t0 = TSteadyClock::now();
        thread->StopAndJoin();
        EXPECT_LT(MsBetween(t0, TSteadyClock::now()), 20.0);
        EXPECT_EQ(Owner.Statuses.back().Status, scsDisconnected);
        EXPECT_EQ(Owner.Statuses.size(), 2u);
        EXPECT_EQ(Log.Lines().last(), QStringLiteral("<28> UpdateCommStatus()(Value=from Thread.)"));
    }
    Owner.Statuses.clear();
    {
        TLineServer server;
        auto thread = MakeThread(server.Port());
        thread->start();
        ASSERT_TRUE(server.WaitLines(0, 1));
        UlxTest::RunFor(30);
        const auto t0 = TSteadyClock::now();
        thread->StopAndJoin();
        EXPECT_LT(MsBetween(t0, TSteadyClock::now()), 20.0);
        EXPECT_EQ(Owner.StatusValues(), (std::vector<TServerCommStatus>{scsConnected, scsDisconnected}));
    }
}

TEST_F(ReceiverTest, NoNetworkGoesFromConnectedToWaitingAndAFailedQueryIsALinkError)
{
    std::atomic<int> answer{ncrAvailable};
    std::atomic<int> calls{0};
    TNetAvailableFunc net = [&](QString& AError) {
        ++calls;
        if (answer.load() == ncrQueryFailed) {
            AError = QStringLiteral("query failed for the test");
        }
        return static_cast<TNetCheckResult>(answer.load());
    };
    TLineServer server;
    auto thread = MakeThread(server.Port(), 3600000, 100, 60000, net);
    thread->start();
    ASSERT_TRUE(server.WaitLines(0, 1));
    // Asked at least once a second while the link is idle.
    calls = 0;
    UlxTest::RunFor(2100);
    EXPECT_GE(calls.load(), 2);

    answer = ncrUnavailable;
    ASSERT_TRUE(UlxTest::WaitUntil([&] { return Owner.Statuses.size() >= 2; }, 3000));
    EXPECT_EQ(Owner.StatusValues(), (std::vector<TServerCommStatus>{scsConnected, scsWaiting}));
    EXPECT_TRUE(Log.Has(QStringLiteral("<28> Detect disconnected internet connection")));

    answer = ncrQueryFailed;
    ASSERT_TRUE(server.WaitClients(2));
    ASSERT_TRUE(UlxTest::WaitUntil([&] { return Owner.Statuses.size() >= 5; }, 3000));
    EXPECT_EQ(Owner.StatusValues(),
              (std::vector<TServerCommStatus>{scsConnected, scsWaiting, scsConnected, scsDisconnected, scsWaiting}));
    EXPECT_TRUE(Log.Has(QStringLiteral("<37> TEqReceiverThread.Execute()(Value=query failed for the test)")));

    answer = ncrAvailable;
    ASSERT_TRUE(server.WaitClients(3)) << "the thread goes on after a failed query";
    thread->StopAndJoin();
}

TEST_F(ReceiverTest, EventsGoToTheOwnerSetLast)
{
    TEqTelegramQueues queues;
    TTestOwner first(&queues);
    TTestOwner second(&queues);
    TLineServer server;
    TEqReceiverThread thread(QStringLiteral("127.0.0.1"), server.Port(), QStringLiteral("ID0123456789"),
                             QStringLiteral("350"), &first, &queues, 3600000, nullptr, 60000, 60000, AlwaysOnline());
    first.Attach(thread);
    thread.start();
    ASSERT_TRUE(server.WaitLines(0, 1));
    server.Send(0, (Eq01A + QLatin1Char('\n')).toUtf8());
    ASSERT_TRUE(UlxTest::WaitUntil([&] { return first.Eq01.size() == 1; }, 2000));
    thread.SetOwnerFormHandle(&second);
    second.Attach(thread);
    server.Send(0, (Eq10A + QLatin1Char('\n') + Eq01B + QLatin1Char('\n')).toUtf8());
    ASSERT_TRUE(UlxTest::WaitUntil([&] { return second.Eq01.size() == 1 && second.Eq10.size() == 1; }, 2000));
    thread.StopAndJoin();
    EXPECT_EQ(first.Eq01, QStringList{Eq01A});
    EXPECT_EQ(second.Eq01, QStringList{Eq01B});
    EXPECT_EQ(first.Eq10Events, 0);
    EXPECT_EQ(second.StatusValues().back(), scsDisconnected) << "hand-overs reach every listener attached";
}

} // namespace
