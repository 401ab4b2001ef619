// The sound channel heard for real: a private sound server with a null sink,
// its monitor recorded while the channel plays, switches and stops.
#include "alertview/AlertSoundPlayer.h"

#include "TestSupport.h"
#include "alert/EqAlertController.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMediaDevices>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr int Rate = 44100;

// Runs the event loop for Ms milliseconds (sound loading and playback need it).
void Pump(int Ms)
{
    QEventLoop loop;
    QTimer::singleShot(Ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int RunQuiet(const QString& Program, const QStringList& Args)
{
    QProcess p;
    p.start(Program, Args);
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// Power of one frequency in a stretch of samples (Goertzel), normalised by its length.
double Power(const std::vector<qint16>& S, std::size_t From, std::size_t To, double Freq)
{
    const double k = 2.0 * std::cos(2.0 * M_PI * Freq / Rate);
    double s1 = 0.0;
    double s2 = 0.0;
    for (std::size_t i = From; i < To && i < S.size(); ++i) {
        const double s0 = S[i] / 32768.0 + k * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double n = double(To - From);
    return (s1 * s1 + s2 * s2 - k * s1 * s2) / (n * n);
}

double Rms(const std::vector<qint16>& S, std::size_t From, std::size_t To)
{
    double sum = 0.0;
    std::size_t n = 0;
    for (std::size_t i = From; i < To && i < S.size(); ++i, ++n) {
        sum += double(S[i]) * S[i];
    }
    return n == 0 ? 0.0 : std::sqrt(sum / double(n)) / 32768.0;
}

class AlertSoundTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        const QString pulseaudio = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        FPactl = QStandardPaths::findExecutable(QStringLiteral("pactl"));
        FParec = QStandardPaths::findExecutable(QStringLiteral("parec"));
        if (pulseaudio.isEmpty() || FPactl.isEmpty() || FParec.isEmpty()) {
            FSkipReason = "pulseaudio, pactl or parec is not installed (scripts/bootstrap installs them)";
            return;
        }
        FRuntime = std::make_unique<QTemporaryDir>();
        // Clients and server meet in this folder only: no other sound server is touched.
        qputenv("XDG_RUNTIME_DIR", FRuntime->path().toLocal8Bit());
        qunsetenv("PULSE_SERVER");
        FServer = std::make_unique<QProcess>();
        FServer->setProcessChannelMode(QProcess::MergedChannels);
        FServer->start(pulseaudio, {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "--realtime=no",
                                    "--high-priority=no", "--log-target=stderr",
                                    "--load=module-native-protocol-unix auth-anonymous=1",
                                    "--load=module-null-sink sink_name=ulxtest rate=44100 channels=1",
                                    "--load=module-always-sink"});
        for (int i = 0; i < 50; ++i) {
            if (FServer->state() == QProcess::NotRunning) {
                break;
            }
            if (RunQuiet(FPactl, {"info"}) == 0) {
                RunQuiet(FPactl, {"set-default-sink", "ulxtest"});
                // Made only now, so that Qt's audio back end finds this server.
                FPlayer = std::make_unique<TAlertSoundPlayer>();
                Pump(1000); // both sounds loaded
                if (QMediaDevices::audioOutputs().isEmpty()) {
                    FSkipReason = "Qt sees no audio output on the private server";
                }
                return;
            }
            FServer->waitForFinished(100);
        }
        FSkipReason = "pulseaudio did not start: " + FServer->readAll().toStdString();
    }

    static void TearDownTestSuite()
    {
        if (FServer) {
            // The channel goes first, while its sound server still answers.
            FPlayer.reset();
            FServer->terminate();
            if (!FServer->waitForFinished(3000)) {
                FServer->kill();
                FServer->waitForFinished(3000);
            }
            FServer.reset();
        }
        FRuntime.reset();
    }

    void SetUp() override
    {
        if (!FSkipReason.empty()) {
            GTEST_SKIP() << FSkipReason;
        }
    }

    // Records the null sink's monitor while Script runs; the samples, mono 16-bit.
    std::vector<qint16> Record(const std::function<void()>& Script)
    {
        const QString file = FRuntime->filePath(QStringLiteral("rec.raw"));
        QFile::remove(file);
        QProcess parec;
        parec.setStandardOutputFile(file);
        parec.start(FParec,
                    {"-d", "ulxtest.monitor", "--format=s16le", "--rate=44100", "--channels=1", "--latency-msec=20"});
        EXPECT_TRUE(parec.waitForStarted(3000));
        Pump(800);
        Script();
        parec.terminate();
        parec.waitForFinished(3000);
        QFile raw(file);
        std::vector<qint16> samples;
        if (raw.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = raw.readAll();
            samples.resize(std::size_t(bytes.size() / 2));
            std::memcpy(samples.data(), bytes.constData(), samples.size() * 2);
        }
        return samples;
    }

    static inline std::string FSkipReason;
    static inline QString FPactl;
    static inline QString FParec;
    static inline std::unique_ptr<QTemporaryDir> FRuntime;
    static inline std::unique_ptr<QProcess> FServer;
    static inline std::unique_ptr<TAlertSoundPlayer> FPlayer;
};

TEST_F(AlertSoundTest, PlaysLoopsReplacesAndStops)
{
    TAlertSoundPlayer& player = *FPlayer;
    ASSERT_EQ(player.LoadSoundData(), 0);
    // The forecast tone (1.3 s) for 2.6 s, replaced by the warning chime for 2 s, then stopped.
    // The times are taken as they happen: a loaded machine may stretch the waits.
    QElapsedTimer clock;
    qint64 switchedMs = 0;
    qint64 stoppedMs = 0;
    const std::vector<qint16> rec = Record([&] {
        clock.start();
        player.PlayAlertSound(asForecast);
        Pump(2600);
        switchedMs = clock.elapsed();
        player.PlayAlertSound(asWarning);
        Pump(2000);
        stoppedMs = clock.elapsed();
        player.StopAlertSound();
        Pump(1500);
    });
    // The null sink's monitor delivers only from the first sound on.
    ASSERT_GT(rec.size(), std::size_t(Rate * 5)) << "recording too short";

    // 20 ms windows: where the sound starts and where it ends.
    const std::size_t win = Rate / 50;
    std::optional<std::size_t> loudFrom;
    std::size_t last = 0;
    for (std::size_t at = 0; at + win <= rec.size(); at += win) {
        if (Rms(rec, at, at + win) > 0.02) {
            loudFrom = loudFrom.value_or(at);
            last = at + win;
        }
    }
    ASSERT_TRUE(loudFrom.has_value()) << "no sound recorded";
    const std::size_t first = *loudFrom;
    const double f0 = 1318.51; // the forecast tone's first pip
    const double w0 = 698.46;  // the chime's first stroke
    // The forecast tone, and its second loop after 1.3 s: it repeats.
    const std::size_t a = first;
    EXPECT_GT(Power(rec, a, a + Rate, f0), 20 * Power(rec, a, a + Rate, w0));
    EXPECT_GT(Rms(rec, a + Rate * 13 / 10, a + Rate * 2), 0.05) << "the forecast tone did not loop";
    // After the switch only the chime is heard.
    const std::size_t b = first + std::size_t(switchedMs + 200) * Rate / 1000;
    EXPECT_GT(Power(rec, b, b + Rate * 3 / 2, 880.0), 20 * Power(rec, b, b + Rate * 3 / 2, f0))
        << "the forecast tone still plays after the warning replaced it";
    // Heard until the stop, then silence to the end of the recording.
    EXPECT_NEAR(double(last - first) / Rate, stoppedMs / 1000.0, 0.3);
    EXPECT_LT(Rms(rec, last + Rate / 10, rec.size()), 0.001) << "sound after the stop";
    EXPECT_GT(rec.size() - last, std::size_t(Rate)) << "too little recorded after the stop";
}

// A training sample during an alarm, then the next alert with "always ring" off:
// its alarm is heard. And the channel tells when nothing can be heard.
TEST_F(AlertSoundTest, AfterASampleDuringAnAlarmTheNextAlertIsHeard)
{
    TAlertSoundPlayer& player = *FPlayer;
    EXPECT_EQ(player.OutputProblem(), QString()) << "the private server has an output";
    player.SetOutputProbe([] { return false; });
    EXPECT_EQ(player.OutputProblem(), QStringLiteral("no audio output device"));
    player.SetOutputProbe({});

    const TLocationInfo home{35.32, 139.16, 1.0, "350"};
    UlxTest::TFakeClock clock;
    TEqAlertController alert(nullptr, nullptr, &clock);
    alert.SetSoundChannel(&player);
    QElapsedTimer clock2;
    qint64 silentFromMs = 0;
    qint64 secondFromMs = 0;
    const std::vector<qint16> rec = Record([&] {
        clock2.start();
        ASSERT_TRUE(alert.StartAlerting(home, UlxTest::Eq01(), 3.0, 30.0, false));
        Pump(700);
        // The training screen's sample: the alarm stops, the sample plays and ends.
        alert.StopAlarmForSample();
        player.PlayAlertSound(asWarning);
        Pump(700);
        player.StopAlertSound();
        alert.StopAlerting();
        silentFromMs = clock2.elapsed();
        Pump(800);
        UlxTest::TEq01Fields other;
        other.EqId = QStringLiteral("ND20160416012505");
        secondFromMs = clock2.elapsed();
        ASSERT_TRUE(alert.StartAlerting(home, UlxTest::Eq01(other), 3.0, 30.0, false));
        Pump(1500);
        alert.StopAlerting();
        Pump(300);
    });
    // The recording starts with the first alarm.
    const std::size_t win = Rate / 50;
    std::optional<std::size_t> first;
    for (std::size_t at = 0; at + win <= rec.size() && !first; at += win) {
        if (Rms(rec, at, at + win) > 0.02) {
            first = at;
        }
    }
    ASSERT_TRUE(first.has_value()) << "no sound recorded";
    auto at = [&](qint64 Ms) { return *first + std::size_t(Ms) * Rate / 1000; };
    ASSERT_GT(rec.size(), at(secondFromMs + 1200)) << "recording too short";
    EXPECT_LT(Rms(rec, at(silentFromMs + 200), at(secondFromMs - 100)), 0.001) << "silence between the two";
    EXPECT_GT(Rms(rec, at(secondFromMs + 200), at(secondFromMs + 1200)), 0.05)
        << "the second alert's alarm is not heard";
}

} // namespace
