// Receiver thread on loopback: time from the server writing a telegram line to
// the queue event reaching the main thread's handler, and the CPU the thread
// uses while connected and idle.

#include "logging/VeskLogging.h"
#include "net/EqReceiverThrd.h"
#include "net/EqTelegramQueues.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMutexLocker>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

// A minimal blocking server on 127.0.0.1 for one client.
class TBenchServer
{
public:
    TBenchServer()
    {
        FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(FListen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        ::listen(FListen, 1);
        socklen_t len = sizeof(addr);
        ::getsockname(FListen, reinterpret_cast<sockaddr*>(&addr), &len);
        Port = ntohs(addr.sin_port);
    }
    ~TBenchServer()
    {
        if (FClient >= 0) {
            ::close(FClient);
        }
        ::close(FListen);
    }
    // Accepts the client and reads its connection request.
    bool Accept()
    {
        FClient = ::accept(FListen, nullptr, nullptr);
        if (FClient < 0) {
            return false;
        }
        const int one = 1;
        ::setsockopt(FClient, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
        char c = 0;
        while (::recv(FClient, &c, 1, 0) == 1 && c != '\n') {
        }
        return true;
    }
    bool Write(const QByteArray& AData)
    {
        return ::send(FClient, AData.constData(), static_cast<size_t>(AData.size()), MSG_NOSIGNAL) == AData.size();
    }
    quint16 Port = 0;

private:
    int FListen = -1;
    int FClient = -1;
};

// The main window's side: notes when each record's event is handled.
class TBenchOwner : public QObject
{
public:
    TBenchOwner(TEqTelegramQueues* AQueues, std::vector<TClock::time_point>* ASent) : FQueues(AQueues), FSent(ASent) {}
    bool event(QEvent* AEvent) override
    {
        if (AEvent->type() != WM_EQ01_QUEUED) {
            return QObject::event(AEvent);
        }
        const TClock::time_point now = TClock::now();
        QMutexLocker lock(&FQueues->Lock);
        for (const TEqTelegram01& t : FQueues->Eq01) {
            // The index travels in the area-code columns.
            const int index = t.GetAreaCodeList().toInt();
            LatencyUs.push_back(std::chrono::duration<double, std::micro>(now - (*FSent)[index]).count());
        }
        Handled.fetch_add(static_cast<int>(FQueues->Eq01.size()));
        Handled.notify_all();
        FQueues->Eq01.clear();
        if (Loop && Handled.load() >= QuitAt) {
            Loop->quit();
        }
        return true;
    }
    std::vector<double> LatencyUs;
    std::atomic<int> Handled{0};
    QEventLoop* Loop = nullptr;
    int QuitAt = 0;

private:
    TEqTelegramQueues* FQueues;
    std::vector<TClock::time_point>* FSent;
};

double Percentile(std::vector<double> AValues, double AFraction)
{
    std::sort(AValues.begin(), AValues.end());
    const size_t index = std::min(AValues.size() - 1, static_cast<size_t>(AFraction * AValues.size()));
    return AValues[index];
}

std::unique_ptr<TVeskLogger> MakeLogger(bool AWithLog, QTemporaryDir& ADir)
{
    if (!AWithLog) {
        return nullptr;
    }
    return std::make_unique<TVeskLogger>(ADir.path(), QStringLiteral("UlmaroX.csl"));
}

void WaitConnected(TBenchServer& AServer, std::atomic<bool>& AAccepted)
{
    while (!AAccepted.load()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    (void)AServer;
}

// Arg: 1 with the product's file logger (two flushed lines per telegram), 0 without.
void BM_TelegramToMainThreadLatency(benchmark::State& AState)
{
    constexpr int Count = 2000;
    QTemporaryDir dir;
    auto logger = MakeLogger(AState.range(0) != 0, dir);
    for (auto _ : AState) {
        TBenchServer server;
        TEqTelegramQueues queues;
        std::vector<TClock::time_point> sent(Count);
        TBenchOwner owner(&queues, &sent);
        TEqReceiverThread thread(QStringLiteral("127.0.0.1"), server.Port, QStringLiteral("BENCH0000001"),
                                 QStringLiteral("350"), &owner, &queues, 3600000, logger.get());
        std::atomic<bool> accepted{false};
        std::thread writer([&] {
            accepted = server.Accept();
            std::mt19937 rng(7);
            std::uniform_int_distribution<int> pauseUs(200, 1000);
            for (int i = 0; i < Count; ++i) {
                const QByteArray line = "013500300405150004300405150000DM20300405150000101N357E13970306011111" +
                                        QByteArray::number(i).rightJustified(6, '0') + "\n";
                sent[static_cast<size_t>(i)] = TClock::now();
                server.Write(line);
                // One telegram at a time: wait for its handler, then a short random pause.
                for (int seen = owner.Handled.load(); seen <= i; seen = owner.Handled.load()) {
                    owner.Handled.wait(seen);
                }
                std::this_thread::sleep_for(std::chrono::microseconds(pauseUs(rng)));
            }
        });
        thread.start();
        WaitConnected(server, accepted);
        // The main thread sits in its event loop, as the program's main window does.
        QEventLoop loop;
        owner.Loop = &loop;
        owner.QuitAt = Count;
        if (owner.Handled.load() < Count) {
            loop.exec();
        }
        writer.join();
        thread.StopAndJoin();
        AState.counters["p50_us"] = Percentile(owner.LatencyUs, 0.50);
        AState.counters["p99_us"] = Percentile(owner.LatencyUs, 0.99);
        AState.counters["max_us"] = Percentile(owner.LatencyUs, 1.0);
        AState.counters["telegrams"] = static_cast<double>(owner.LatencyUs.size());
    }
}
BENCHMARK(BM_TelegramToMainThreadLatency)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// CPU time on the receiver thread's clock, in ns, from the scheduler's statistics.
qint64 ReceiverThreadCpuNs()
{
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
        if (!comm.open(QIODevice::ReadOnly) || !comm.readAll().startsWith("TEqReceiverThre")) {
            continue;
        }
        QFile stat(tasks.filePath(tid + QStringLiteral("/schedstat")));
        if (stat.open(QIODevice::ReadOnly)) {
            return stat.readAll().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

void BM_ReceiverIdleCpu(benchmark::State& AState)
{
    constexpr int IdleMs = 10000;
    for (auto _ : AState) {
        TBenchServer server;
        TEqTelegramQueues queues;
        std::vector<TClock::time_point> sent;
        TBenchOwner owner(&queues, &sent);
        TEqReceiverThread thread(QStringLiteral("127.0.0.1"), server.Port, QStringLiteral("BENCH0000002"),
                                 QStringLiteral("350"), &owner, &queues, 3600000, nullptr);
        std::atomic<bool> accepted{false};
        std::thread acceptor([&] { accepted = server.Accept(); });
        thread.start();
        WaitConnected(server, accepted);
        acceptor.join();
        QEventLoop settle;
        QTimer::singleShot(200, &settle, &QEventLoop::quit);
        settle.exec();

        const qint64 before = ReceiverThreadCpuNs();
        const TClock::time_point start = TClock::now();
        QEventLoop idle;
        QTimer::singleShot(IdleMs, &idle, &QEventLoop::quit);
        idle.exec();
        const qint64 after = ReceiverThreadCpuNs();
        const double wallNs = std::chrono::duration<double, std::nano>(TClock::now() - start).count();
        thread.StopAndJoin();
        AState.counters["cpu_ms"] = (after - before) / 1e6;
        AState.counters["cpu_percent_of_core"] = 100.0 * (after - before) / wallNs;
    }
}
BENCHMARK(BM_ReceiverIdleCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
