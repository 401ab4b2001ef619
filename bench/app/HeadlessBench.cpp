// Process-level figures of ulmarox-headless, measured against a small EQ server
// inside this program (so the moment a telegram is written is known exactly):
//   - start of the process to its connection request reaching the server;
//   - CPU time while connected and quiet for 10 s;
//   - alert latency: telegram written to the socket -> "alert" line read from
//     the program's standard output, over 200 earthquakes (each replaces the last);
//   - peak resident memory (VmHWM).
// Usage: bench_app_headless [--data-root DIR] [--count N] [--idle-seconds S]
// DIR holds the per-run data folders (default: $TMPDIR or /tmp).

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using TClock = std::chrono::steady_clock;

double MsBetween(TClock::time_point A, TClock::time_point B)
{
    return std::chrono::duration<double, std::milli>(B - A).count();
}

[[noreturn]] void Die(const std::string& AWhat)
{
    std::fprintf(stderr, "bench_app_headless: %s (%s)\n", AWhat.c_str(), std::strerror(errno));
    std::exit(1);
}

// A listening socket on a free loopback port.
class TServer
{
public:
    TServer()
    {
        FFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        if (FFd < 0 || ::bind(FFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(FFd, 4) != 0) {
            Die("cannot listen");
        }
        socklen_t len = sizeof addr;
        ::getsockname(FFd, reinterpret_cast<sockaddr*>(&addr), &len);
        FPort = ntohs(addr.sin_port);
    }
    ~TServer() { ::close(FFd); }
    int Port() const { return FPort; }

    // Accepts one client; -1 after ATimeoutMs.
    int Accept(int ATimeoutMs) const
    {
        pollfd p{FFd, POLLIN, 0};
        if (::poll(&p, 1, ATimeoutMs) != 1) {
            return -1;
        }
        const int fd = ::accept4(FFd, nullptr, nullptr, SOCK_CLOEXEC);
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        return fd;
    }

private:
    int FFd = -1;
    int FPort = 0;
};

// Reads one line from AFd (buffered in ABuffer); nullopt after ATimeoutMs.
std::optional<std::string> ReadLine(int AFd, std::string& ABuffer, int ATimeoutMs)
{
    const TClock::time_point deadline = TClock::now() + std::chrono::milliseconds(ATimeoutMs);
    for (;;) {
        const std::size_t end = ABuffer.find('\n');
        if (end != std::string::npos) {
            std::string line = ABuffer.substr(0, end);
            ABuffer.erase(0, end + 1);
            return line;
        }
        const int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count());
        pollfd p{AFd, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, left) != 1) {
            return std::nullopt;
        }
        char chunk[4096];
        const ssize_t n = ::read(AFd, chunk, sizeof chunk);
        if (n <= 0) {
            return std::nullopt;
        }
        ABuffer.append(chunk, std::size_t(n));
    }
}

// The program with its own data and temporary folder; standard output on a pipe.
class THeadless
{
public:
    THeadless(const std::string& AFolder, int APort)
    {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) {
            Die("pipe");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string item(*e);
            if (item.rfind("APPDATA=", 0) != 0 && item.rfind("TMPDIR=", 0) != 0) {
                env.push_back(item);
            }
        }
        env.push_back("APPDATA=" + AFolder + "/appdata");
        env.push_back("TMPDIR=" + AFolder + "/tmp");
        // Its own instance lock, so a receiver running on the machine does not stop the benchmark.
        env.push_back("ULMAROX_INSTANCE_LOCK_DIR=" + AFolder + "/tmp");
        std::vector<char*> envp;
        for (std::string& item : env) {
            envp.push_back(item.data());
        }
        envp.push_back(nullptr);
        std::string program = ULX_BIN_DIR "/ulmarox-headless";
        std::string a1 = "-DebugOnLocal", a2 = "-EqServerPort", a3 = std::to_string(APort);
        char* argv[] = {program.data(), a1.data(), a2.data(), a3.data(), nullptr};

        Started = TClock::now();
        if (::posix_spawn(&FPid, program.c_str(), &actions, nullptr, argv, envp.data()) != 0) {
            Die("cannot start " + program);
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        FOut = out[0];
    }
    ~THeadless()
    {
        Stop();
        ::close(FOut);
    }

    // SIGTERM and wait; the exit status.
    int Stop()
    {
        if (FPid <= 0) {
            return FStatus;
        }
        ::kill(FPid, SIGTERM);
        int status = 0;
        ::waitpid(FPid, &status, 0);
        FPid = -1;
        FStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return FStatus;
    }

    std::optional<std::string> ReadLine(int ATimeoutMs) { return ::ReadLine(FOut, FBuffer, ATimeoutMs); }
    // Reads lines until one contains ANeedle.
    bool WaitFor(const std::string& ANeedle, int ATimeoutMs)
    {
        for (;;) {
            const std::optional<std::string> line = ReadLine(ATimeoutMs);
            if (!line) {
                return false;
            }
            if (line->find(ANeedle) != std::string::npos) {
                return true;
            }
        }
    }

    // utime + stime in clock ticks.
    long CpuTicks() const
    {
        std::ifstream stat("/proc/" + std::to_string(FPid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        // Fields after the command name in parentheses; utime and stime are fields 14 and 15.
        std::istringstream rest(text.substr(text.rfind(')') + 2));
        std::string field;
        long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && rest >> field; ++i) {
            if (i == 14) {
                utime = std::stol(field);
            } else if (i == 15) {
                stime = std::stol(field);
            }
        }
        return utime + stime;
    }
    long StatusKb(const std::string& AKey) const
    {
        std::ifstream status("/proc/" + std::to_string(FPid) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind(AKey + ":", 0) == 0) {
                return std::stol(line.substr(AKey.size() + 1));
            }
        }
        return -1;
    }

    TClock::time_point Started;

private:
    pid_t FPid = -1;
    int FOut = -1;
    int FStatus = -1;
    std::string FBuffer;
};

std::string MakeFolder(const std::string& ARoot)
{
    std::string pattern = ARoot + "/ulx-bench-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        Die("cannot create a folder in " + ARoot);
    }
    ::mkdir((pattern + "/appdata").c_str(), 0700);
    ::mkdir((pattern + "/tmp").c_str(), 0700);
    return pattern;
}

// An alertable type-01 telegram a few kilometres from the Tokyo office, issued and occurring now.
std::string Telegram(int AIndex)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[16];
    std::strftime(stamp, sizeof stamp, "%y%m%d%H%M%S", &local);
    char eqId[20];
    std::snprintf(eqId, sizeof eqId, "ND2030%010d", AIndex);
    return std::string("013500") + stamp + stamp + eqId + "101N356E13960106022222\n";
}

double Percentile(std::vector<double> AValues, double AP)
{
    std::sort(AValues.begin(), AValues.end());
    const std::size_t index =
        std::min(AValues.size() - 1, std::size_t(std::max(0.0, std::ceil(AP / 100.0 * double(AValues.size())) - 1)));
    return AValues[index];
}

void Report(const char* AName, double AValue, const char* AUnit, double AGoal)
{
    std::printf("%-44s %10.3f %-4s (goal < %g %s: %s)\n", AName, AValue, AUnit, AGoal, AUnit,
                AValue < AGoal ? "met" : "MISSED");
}

} // namespace

int main(int argc, char* argv[])
{
    std::string root = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    int count = 200;
    int idleSeconds = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--data-root") {
            root = argv[i + 1];
        } else if (key == "--count") {
            count = std::max(1, std::atoi(argv[i + 1]));
        } else if (key == "--idle-seconds") {
            idleSeconds = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    ::signal(SIGPIPE, SIG_IGN);
    const std::string folder = MakeFolder(root);
    std::printf("data folder: %s\n", folder.c_str());

    // Start-up: the first start (settings and history created) and later starts.
    std::vector<double> startups;
    for (int run = 0; run < 6; ++run) {
        TServer server;
        THeadless app(folder, server.Port());
        const int client = server.Accept(10000);
        if (client < 0) {
            Die("no connection");
        }
        std::string buffer;
        const std::optional<std::string> request = ReadLine(client, buffer, 10000);
        const TClock::time_point arrived = TClock::now();
        if (!request || request->rfind("93:", 0) != 0) {
            Die("no connection request");
        }
        startups.push_back(MsBetween(app.Started, arrived));
        if (app.Stop() != 0) {
            Die("exit status not 0");
        }
        ::close(client);
    }
    std::vector<double> later(startups.begin() + 1, startups.end());
    Report("start -> connection request, first start", startups.front(), "ms", 300);
    Report("start -> connection request, median later", Percentile(later, 50), "ms", 300);
    Report("start -> connection request, max later", Percentile(later, 100), "ms", 300);

    TServer server;
    THeadless app(folder, server.Port());
    const int client = server.Accept(10000);
    std::string buffer;
    if (client < 0 || !ReadLine(client, buffer, 10000) || !app.WaitFor("\"connected\"", 10000)) {
        Die("no connection");
    }

    // Idle: connected, nothing received.
    const long ticksBefore = app.CpuTicks();
    const TClock::time_point idleStart = TClock::now();
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const long ticksAfter = app.CpuTicks();
    const double idleMs = MsBetween(idleStart, TClock::now());
    const double cpuPercent =
        100.0 * double(ticksAfter - ticksBefore) / double(::sysconf(_SC_CLK_TCK)) / (idleMs / 1000.0);
    std::printf("idle CPU over %.1f s: %ld ticks of %ld/s\n", idleMs / 1000.0, ticksAfter - ticksBefore,
                ::sysconf(_SC_CLK_TCK));
    Report("idle CPU, connected and quiet", cpuPercent, "%", 0.5);

    // Latency: one earthquake after the other; every one after the first replaces the last.
    std::vector<double> latencies;
    for (int i = 0; i < count; ++i) {
        const std::string line = Telegram(i + 1);
        char eqId[20];
        std::snprintf(eqId, sizeof eqId, "ND2030%010d", i + 1);
        const std::string needle = std::string("\"event\":\"alert\",\"kind\":\"") + (i == 0 ? "new" : "replace") +
                                   "\",\"eq_id\":\"" + eqId + "\"";
        const TClock::time_point written = TClock::now();
        if (::write(client, line.data(), line.size()) != ssize_t(line.size())) {
            Die("write");
        }
        if (!app.WaitFor(needle, 10000)) {
            Die("no alert line for " + std::string(eqId));
        }
        latencies.push_back(MsBetween(written, TClock::now()));
        // Let the program settle, as between real telegrams.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::printf("alert latency over %d telegrams: min %.3f ms, max %.3f ms, first (cold, \"new\") %.3f ms\n", count,
                Percentile(latencies, 0), Percentile(latencies, 100), latencies.front());
    if (latencies.size() > 1) {
        const std::vector<double> replaces(latencies.begin() + 1, latencies.end());
        std::printf("alert latency of the replacing alerts: median %.3f ms, 99th percentile %.3f ms, max %.3f ms\n",
                    Percentile(replaces, 50), Percentile(replaces, 99), Percentile(replaces, 100));
    }
    Report("alert latency, median", Percentile(latencies, 50), "ms", 5);
    Report("alert latency, 99th percentile", Percentile(latencies, 99), "ms", 5);

    const long hwm = app.StatusKb("VmHWM");
    Report("peak resident memory (VmHWM)", double(hwm) / 1024.0, "MB", 40);
    const int status = app.Stop();
    ::close(client);
    std::printf("exit status after SIGTERM: %d\n", status);
    const std::string cleanup = "rm -rf '" + folder + "'";
    return std::system(cleanup.c_str()) == 0 && status == 0 ? 0 : 1;
}
