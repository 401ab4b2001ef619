// Composing one alert frame: the tick's whole draw sequence into the 500 x 500 buffer.
#include "alert/AlertTiming.h"
#include "alert/EqAlertController.h"
#include "alertview/AlertMap.h"
#include "alertview/EqAlertFrm.h"
#include "defines/EqTelegramLines.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>

#include <benchmark/benchmark.h>

#include <functional>

namespace {

// A report of the Kumamoto earthquake of 2016-04-14 (or of another one, by its
// id), composed as the server writes it.
TEqTelegram01 Report(const QString& AEqId = QStringLiteral("ND20160414212634"), int ASerial = 5,
                     const QString& ALat = QStringLiteral("N327"), const QString& ALng = QStringLiteral("E1308"),
                     const QString& ADepth = QStringLiteral("010"), const QString& AMag = QStringLiteral("65"))
{
    TEqTelegram01Fields f;
    f.PresentTime = QStringLiteral("160414212640");
    f.OccurrenceTime = QStringLiteral("160414212634");
    f.EqId = AEqId;
    f.ReportKind = QStringLiteral(" ");
    f.Serial = ASerial;
    f.Latitude = ALat;
    f.Longitude = ALng;
    f.Depth = ADepth;
    f.Magnitude = AMag;
    f.Accuracy = QStringLiteral("33333");
    return TEqTelegram01(ComposeEqTelegram01(f).value_or(QString()));
}

class TFixedClock : public TAlertClock
{
public:
    qint64 Now = 0;
    qint64 NowLocalMSecs() const override { return Now; }
};

// A warning with every part of the frame: name plate, three-digit countdown, circle;
// the argument is the map's zoom (0 auto, which takes 2 here, or a fixed scale).
void BM_ComposeFrame(benchmark::State& State)
{
    const QString occurred = QStringLiteral("160414212634");
    const TEqTelegram01 eq01 = Report();
    const TEqTelegram10 eq10(QStringLiteral("10ND20") + occurred + QStringLiteral(" 05791熊本県熊本地方"));
    TFixedClock clock;
    clock.Now = *TAlertTiming::ParseOccurrenceTime(occurred) + 20000;
    TAlertTiming timing(nullptr, &clock);
    timing.SetIsIssuedWarning(true);
    timing.SetEqInfo(35.69f, 139.69f, eq01, eq10, 5.2f, 130.0f);
    timing.StartAlert();
    const TAlertTick tick = timing.DoAlert();
    TAlertMap map;
    map.SetZoom(int(State.range(0)));
    map.PaintFrame(timing, tick); // glyph caches warm, as from the second tick of an alert on
    for (auto _ : State) {
        map.PaintFrame(timing, tick);
        benchmark::DoNotOptimize(map.Frame().constBits());
    }
    State.counters["scale"] = map.Scale();
}
BENCHMARK(BM_ComposeFrame)->Arg(TAlertMap::AutoZoom)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);

// The first frame of a fresh map: fonts, glyphs and the zoomed base's tiles are
// loaded on the way (the argument is the zoom, as above; auto takes 4 here).
void BM_FirstFrameOfAFreshMap(benchmark::State& State)
{
    const QString occurred = QStringLiteral("160414212634");
    const TEqTelegram01 eq01 = Report(QStringLiteral("ND20160414212634"), 5, QStringLiteral("N381"),
                                      QStringLiteral("E1428"), QStringLiteral("024"), QStringLiteral("79"));
    TFixedClock clock;
    clock.Now = *TAlertTiming::ParseOccurrenceTime(occurred) + 20000;
    TAlertTiming timing(nullptr, &clock);
    timing.SetEqInfo(35.32f, 139.16f, eq01, 4.7f, 60.0f);
    timing.StartAlert();
    const TAlertTick tick = timing.DoAlert();
    int scale = 0;
    for (auto _ : State) {
        TAlertMap map;
        map.SetZoom(int(State.range(0)));
        map.PaintFrame(timing, tick);
        benchmark::DoNotOptimize(map.Frame().constBits());
        scale = map.Scale();
    }
    State.counters["scale"] = scale;
}
BENCHMARK(BM_FirstFrameOfAFreshMap)
    ->Arg(TAlertMap::AutoZoom)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Arg(8)
    ->Unit(benchmark::kMillisecond);

// Counts the paint events of the window's map area.
class TPaintCounter : public QObject
{
public:
    int Paints = 0;
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Event->type() == QEvent::Paint) {
            ++Paints;
        }
        return QObject::eventFilter(Watched, Event);
    }
};

// An alert window over its controller on a fixed clock, counting the map's paints.
struct TWindowRig
{
    TFixedClock Clock;
    TEqAlertController Controller{nullptr, nullptr, &Clock};
    TEqAlertFrm Window{Controller, nullptr};
    TPaintCounter Counter;
    const TLocationInfo Home{35.69, 139.69, 1.35, QStringLiteral("350")};

    TWindowRig()
    {
        Clock.Now = *TAlertTiming::ParseOccurrenceTime(QStringLiteral("160414212634")) + 20000;
        Window.findChild<QWidget*>(QStringLiteral("MapPBx"))->installEventFilter(&Counter);
    }

    // Seconds from AAct until a frame composed after it is painted and ADone holds.
    double Measure(
        const std::function<void()>& AAct, const std::function<bool()>& ADone = [] { return true; })
    {
        bool composed = false;
        int paintsWhenComposed = -1;
        const QMetaObject::Connection c = QObject::connect(&Window.AlertMap(), &TAlertMap::frameReady, [&] {
            composed = true;
            paintsWhenComposed = Counter.Paints;
        });
        QElapsedTimer timer;
        timer.start();
        AAct();
        while (!composed || Counter.Paints == paintsWhenComposed || !ADone()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        QObject::disconnect(c);
        return double(timer.nsecsElapsed()) / 1e9;
    }
};

// From the dispatcher's hand-over (StartAlerting and Show) to the new alert's
// first frame painted in the window's map area.
void BM_AlertStartToFirstFrameInWindow(benchmark::State& State)
{
    TWindowRig rig;
    int serial = 0;
    for (auto _ : State) {
        const QString id = QStringLiteral("ND2016041421%1").arg(++serial % 10000, 4, 10, QLatin1Char('0'));
        const TEqTelegram01 eq01 = Report(id);
        // Until the frame of this alert was composed and then painted on the window.
        State.SetIterationTime(rig.Measure([&] {
            rig.Controller.SetIsAlerting(true);
            rig.Controller.SetIsAlertingWarning(false);
            rig.Controller.StartAlerting(rig.Home, eq01, 5.2, 130.0, false);
            rig.Controller.Show();
        }));
    }
}
BENCHMARK(BM_AlertStartToFirstFrameInWindow)->UseManualTime()->Unit(benchmark::kMillisecond);

// A later report of the earthquake being alerted (its magnitude changed), from the
// dispatcher's hand-over (UpdateEq) to the window's fields showing it and the
// updated frame painted in the map area.
void BM_UpdateToWindowFieldsAndFrame(benchmark::State& State)
{
    TWindowRig rig;
    rig.Controller.SetIsAlerting(true);
    rig.Controller.StartAlerting(rig.Home, Report(), 5.2, 130.0, false);
    rig.Controller.Show();
    int serial = 5;
    for (auto _ : State) {
        ++serial;
        const bool odd = serial % 2 != 0;
        const TEqTelegram01 eq01 =
            Report(QStringLiteral("ND20160414212634"), serial % 100, QStringLiteral("N327"), QStringLiteral("E1308"),
                   QStringLiteral("010"), odd ? QStringLiteral("68") : QStringLiteral("66"));
        const QString want = odd ? QStringLiteral("6.8") : QStringLiteral("6.6");
        State.SetIterationTime(
            rig.Measure([&] { rig.Controller.UpdateEq(rig.Home, eq01, odd ? 5.4 : 5.2, 130.0, std::nullopt); },
                        [&] { return rig.Window.FieldText(QStringLiteral("EpiMgEdt")) == want; }));
    }
}
BENCHMARK(BM_UpdateToWindowFieldsAndFrame)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
