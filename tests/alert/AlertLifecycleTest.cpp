#include "AlertTestSupport.h"
#include "alert/EqAlertController.h"
#include "alert/EqTelegramDispatcher.h"

#include <gtest/gtest.h>

#include <QMutexLocker>

#include <vector>

using namespace AlertTest;

namespace {

// The forecast stand-in: intensity = magnitude - 1.5, S-wave seconds = depth in km,
// so a telegram's fields choose the estimate.
int32_t FakeForecast(double, double, int32_t Depth, double Mag, double, double, double, double* Sis, double* PSec,
                     double* SSec)
{
    *Sis = Mag - 1.5;
    *PSec = Depth / 2.0;
    *SSec = Depth;
    return 0;
}

struct TSettings : TEqDispatchSettings
{
    qint32 Telegrams = 0;
    qint32 Alerts = 0;
    TLocationInfo GetLocationInfo() const override { return TLocationInfo{35.689, 139.692, 1.2, "350"}; }
    TAlertConditions GetAlertConditions() const override { return TAlertConditions(); }
    bool IsAlwaysAlertSoundOn() const override { return false; }
    qint32 GetNumOfTotalEqTelegrams() const override { return Telegrams; }
    void SetNumOfTotalEqTelegrams(qint32 Value) override { Telegrams = Value; }
    qint32 GetNumOfTotalAlerts() const override { return Alerts; }
    void SetNumOfTotalAlerts(qint32 Value) override { Alerts = Value; }
};

// Dispatcher and controller as the program wires them, on a fake clock.
struct TRig
{
    TCapturedLog Log;
    TFakeClock Clock;
    TFakeHistoryStore Store;
    TFakeSoundChannel Sound;
    TEqTelegramQueues Queues;
    TEqAlertDecision Decision{nullptr, FakeForecast};
    TSettings Settings;
    TEqAlertController Alert{nullptr, &Store, &Clock};
    TEqTelegramDispatcher Dispatcher{Log.Logger(), Queues, Decision, Alert, Settings};
    QStringList Events;
    qint64 Base = DefaultOccurrence();

    TRig()
    {
        Alert.SetSoundChannel(&Sound);
        QObject::connect(&Dispatcher, &TEqTelegramDispatcher::alertStarted,
                         [this](TAlertKind Kind, const TEqTelegram01& T, double, double, bool) {
                             Events << AlertKindName(Kind) + QLatin1Char(' ') + Short(T.GetEqId());
                         });
        QObject::connect(&Dispatcher, &TEqTelegramDispatcher::alertSkipped,
                         [this](const TEqTelegram01& T) { Events << "skip " + Short(T.GetEqId()); });
        QObject::connect(&Dispatcher, &TEqTelegramDispatcher::telegramRejected,
                         [this](const TEqTelegram01& T, TAlertRejectReason R) {
                             Events << "rejected " + Short(T.GetEqId()) + QLatin1Char(' ') + AlertRejectReasonName(R);
                         });
        QObject::connect(&Alert, &TEqAlertController::arrived,
                         [this](const TEqTelegram01& T) { Events << "arrival " + Short(T.GetEqId()); });
        QObject::connect(&Alert, &TEqAlertController::eqCancelled,
                         [this](const TEqTelegram01& T) { Events << "cancel " + Short(T.GetEqId()); });
        QObject::connect(&Alert, &TEqAlertController::eqEnded, [this](const TEqTelegram01& T, TEqEndReason R) {
            Events << "end " + Short(T.GetEqId()) + QLatin1Char(' ') + EqEndReasonName(R);
        });
        QObject::connect(&Alert, &TEqAlertController::closeRequested, [this] {
            Events << QStringLiteral("close");
            Alert.StopAlerting();
        });
    }

    // The last letter of the test's EQ ids names the earthquake.
    static QString Short(const QString& EqId) { return EqId.right(1); }

    // Seconds after the default occurrence.
    void At(double Sec)
    {
        Clock.Now = Base + static_cast<qint64>(Sec * 1000.0);
        if (Alert.IsTicking()) {
            Alert.DoAlert();
        }
        Alert.CheckQuakes();
    }

    void Send(const TEq01Fields& F)
    {
        {
            QMutexLocker lock(&Queues.Lock);
            Queues.Eq01.push_back(Eq01(F));
        }
        Dispatcher.WMEq01Queued();
        // The first frame of a start or update comes at once.
        if (Alert.IsTicking()) {
            Alert.DoAlert();
        }
    }

    void Name(const QString& EqId, const QString& AName)
    {
        {
            QMutexLocker lock(&Queues.Lock);
            Queues.Eq10.push_back(Eq10(EqId, AName));
        }
        Dispatcher.WMEq10Queued();
    }

    // "primary" [quake:state ...] caption sound
    QString State() const
    {
        QStringList parts;
        parts << "primary " + Short(Alert.GetAlertingEqId());
        for (const TEqActiveQuake& q : Alert.Quakes()) {
            QString state = q.IsActive() ? (q.HasArrived() ? QStringLiteral("arrived") : QStringLiteral("coming"))
                                         : EqEndReasonName(q.End);
            parts << Short(q.EqId()) + QLatin1Char(':') + state;
        }
        parts << Alert.HeaderCaption();
        // What the channel was last told to play, while it plays.
        const QString playing = Sound.Calls.isEmpty() ? QString() : Sound.Calls.last();
        parts << (!Alert.IsPlayingSound()
                      ? QStringLiteral("silent")
                      : (playing == QLatin1String("warning") ? QStringLiteral("chime") : QStringLiteral("tone")));
        return parts.join(QLatin1Char(' '));
    }

    // The rows as the history keeps them: one per earthquake, a later write replacing it.
    QString Rows() const
    {
        QStringList ids;
        QStringList rows;
        for (const TEqHistory& h : Store.Records) {
            const QString row = Short(h.EqID) + QString::number(h.TelegNo) + (h.Cancelled ? "x" : "");
            const qsizetype at = ids.indexOf(h.EqID);
            if (at >= 0) {
                rows[at] = row;
            } else {
                ids << h.EqID;
                rows << row;
            }
        }
        return rows.join(QLatin1Char(' '));
    }

    QStringList TakeEvents()
    {
        QStringList taken = Events;
        Events.clear();
        return taken;
    }
};

// A report of earthquake Id: magnitude (tenths) and depth = S seconds.
TEq01Fields Report(const char* Id, int TelegNo, const char* Mag, const char* Depth, const char* Lat = "327",
                   double IssuedAfterSec = 6)
{
    TEq01Fields f;
    f.EqId = QStringLiteral("ND2016041421263") + QLatin1Char(Id[0]);
    f.TelegNo = TelegNo;
    f.Mag = QString::fromLatin1(Mag);
    f.Depth = QString::fromLatin1(Depth);
    f.Lat = QString::fromLatin1(Lat);
    const qint64 issued = DefaultOccurrence() + static_cast<qint64>(IssuedAfterSec * 1000);
    f.PresentTime = QDateTime::fromMSecsSinceEpoch(issued, Qt::UTC).toString(QStringLiteral("yyMMddHHmmss"));
    return f;
}

struct TStep
{
    double AtSec;       // clock, seconds after the occurrence
    const char* Action; // "" (time only), or "A 1 65 020" (id, serial, magnitude, depth),
                        // "A cancel", "A final 1 65 020", "A name 東京湾", "A warn 1 65 020"
    const char* Events; // the signals the step gave, joined by ", "
    const char* State;  // TRig::State()
    const char* Rows;   // history rows so far: id + serial, "x" when cancelled
};

void RunSteps(TRig& Rig, const std::vector<TStep>& Steps)
{
    for (std::size_t i = 0; i < Steps.size(); ++i) {
        const TStep& s = Steps[i];
        const QStringList a = QString::fromUtf8(s.Action).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        Rig.Clock.Now = Rig.Base + static_cast<qint64>(s.AtSec * 1000.0);
        if (a.isEmpty()) {
            Rig.At(s.AtSec);
        } else if (a[1] == QLatin1String("name")) {
            Rig.Name(QStringLiteral("ND2016041421263") + a[0], a[2]);
        } else if (a[1] == QLatin1String("cancel")) {
            const TEqActiveQuake* q = Rig.Alert.FindQuake(QStringLiteral("ND2016041421263") + a[0]);
            TEq01Fields f = Report(qPrintable(a[0]), 20, "70", "020");
            if (q) {
                f.Mag = q->Eq01Teleg.GetMagnitudeStr();
                f.Depth = q->Eq01Teleg.GetEpicDepthStr();
            }
            f.Type = QStringLiteral("39");
            Rig.Send(f);
        } else {
            const bool final = a[1] == QLatin1String("final");
            const bool warn = a[1] == QLatin1String("warn");
            const int k = (final || warn) ? 2 : 1;
            TEq01Fields f = Report(qPrintable(a[0]), a[k].toInt(), qPrintable(a[k + 1]), qPrintable(a[k + 2]));
            f.Final = final;
            if (warn) {
                f.Areas = QStringLiteral("350");
            }
            f.PresentTime = QDateTime::fromMSecsSinceEpoch(Rig.Clock.Now, Qt::UTC).toString("yyMMddHHmmss");
            Rig.Send(f);
        }
        SCOPED_TRACE(QStringLiteral("step %1 at %2 s: %3").arg(i).arg(s.AtSec).arg(s.Action).toStdString());
        EXPECT_EQ(Rig.TakeEvents().join(QStringLiteral(", ")), QString::fromUtf8(s.Events));
        EXPECT_EQ(Rig.State(), QString::fromUtf8(s.State));
        EXPECT_EQ(Rig.Rows(), QString::fromUtf8(s.Rows));
    }
}

} // namespace

// Quake A (M7.0 → 5.5, S-wave in 20 s), then B far away and weaker: B is shown
// beside A, never in front; A's countdown and chime go on. A arrives, B takes the
// countdown with its own tone, arrives, and both end a minute later.
TEST(AlertLifecycle, AWeakerSecondEarthquakeStaysBehindTheComingOne)
{
    TRig rig;
    RunSteps(rig, {
                      {1, "A 1 70 020", "new A", "primary A A:coming 緊急地震速報（予報） chime", ""},
                      {2, "B 1 50 040", "concurrent B", "primary A A:coming B:coming 緊急地震速報（予報） chime", ""},
                      {3, "B name 新島・神津島近海", "", "primary A A:coming B:coming 緊急地震速報（予報） chime", ""},
                      {20, "", "arrival A", "primary B A:arrived B:coming 緊急地震速報（予報） tone", "A1"},
                      {40, "", "arrival B", "primary B A:arrived B:arrived 緊急地震速報（予報） silent", "A1 B1"},
                      {80, "", "end A arrival", "primary B A:arrival B:arrived 緊急地震速報（予報） silent", "A1 B1"},
                      {100, "", "end B arrival", "primary B A:arrival B:arrival 緊急地震速報（予報） silent", "A1 B1"},
                  });
    EXPECT_EQ(rig.Settings.Alerts, 2);
    EXPECT_TRUE(rig.Log.Has("<8> Concurrent earthquake.(Value=ND2016041421263B-001)"))
        << rig.Log.Lines().join('\n').toStdString();
    ASSERT_EQ(rig.Store.Records.size(), 2);
    EXPECT_EQ(rig.Store.Records[1].EpicName, QStringLiteral("新島・神津島近海"));
}

// A stronger earthquake comes in front (replace), the earlier one stays active;
// reports raise and lower the estimate (update, no new alert), a report that
// changes nothing is a skip, an upgrade rings the chime and keeps one row.
TEST(AlertLifecycle, UpdatesUpgradeAndAStrongerEarthquakeInFront)
{
    TRig rig;
    RunSteps(rig, {
                      {1, "A 1 50 030", "new A", "primary A A:coming 緊急地震速報（予報） tone", ""},
                      {2, "A 2 50 030", "skip A", "primary A A:coming 緊急地震速報（予報） tone", ""},
                      {3, "A 3 60 030", "update A", "primary A A:coming 緊急地震速報（予報） tone", ""},
                      {4, "B 1 75 025", "replace B", "primary B A:coming B:coming 緊急地震速報（予報） chime", ""},
                      {5, "A 4 45 030", "update A", "primary B A:coming B:coming 緊急地震速報（予報） chime", ""},
                      {6, "B warn 2 75 025", "upgrade B", "primary B A:coming B:coming 緊急地震速報（警報） chime", ""},
                      {25, "", "arrival B", "primary A A:coming B:arrived 緊急地震速報（予報） tone", "B2"},
                      {26, "B 3 80 025", "update B", "primary A A:coming B:arrived 緊急地震速報（予報） tone", "B3"},
                      {30, "", "arrival A", "primary A A:arrived B:arrived 緊急地震速報（予報） silent", "B3 A4"},
                  });
    // Two alerts (A and B), neither the update nor the upgrade counted one more.
    EXPECT_EQ(rig.Settings.Alerts, 3);
}

// Tokyo Bay style false alarm: the cancel of the primary stops its alarm, shows
// the cancel for 10 s, and the window closes itself when nothing is left.
TEST(AlertLifecycle, CancelOfTheOnlyEarthquakeClosesTheAlert)
{
    TRig rig;
    RunSteps(rig, {
                      {1, "A warn 1 91 030", "new A", "primary A A:coming 緊急地震速報（警報） chime", ""},
                      {5, "A cancel", "cancel A, end A cancelled", "primary A A:cancelled 緊急地震速報（取消） silent",
                       "A1x"},
                      {10, "", "", "primary A A:cancelled 緊急地震速報（取消） silent", "A1x"},
                      {15, "", "close", "primary A 緊急地震速報（取消） silent", "A1x"},
                      {16, "A cancel", "rejected A unknown_cancel", "primary A 緊急地震速報（取消） silent", "A1x"},
                  });
    EXPECT_FALSE(rig.Alert.IsAlerting());
}

// A cancel of a secondary earthquake leaves the primary alone; a cancel of the
// primary shows the cancel for 10 s, then the next one takes over; a final report
// ends its earthquake 60 s later (its S-wave having arrived), a silent one expires
// after 3 minutes.
TEST(AlertLifecycle, CancelsOfSecondaryAndPrimaryThenFinalAndExpiry)
{
    TRig rig;
    RunSteps(rig, {
                      {1, "A 1 70 100", "new A", "primary A A:coming 緊急地震速報（予報） chime", ""},
                      {2, "B 1 55 090", "concurrent B", "primary A A:coming B:coming 緊急地震速報（予報） chime", ""},
                      {3, "C 1 55 050", "concurrent C",
                       "primary A A:coming B:coming C:coming 緊急地震速報（予報） chime", ""},
                      {4, "B cancel", "cancel B, end B cancelled",
                       "primary A A:coming B:cancelled C:coming 緊急地震速報（予報） chime", "B1x"},
                      {5, "A cancel", "cancel A, end A cancelled",
                       "primary A A:cancelled B:cancelled C:coming 緊急地震速報（取消） silent", "B1x A1x"},
                      {15, "", "", "primary C A:cancelled B:cancelled C:coming 緊急地震速報（予報） tone", "B1x A1x"},
                      {16, "C final 2 55 050", "skip C",
                       "primary C A:cancelled B:cancelled C:coming 緊急地震速報（予報） tone", "B1x A1x"},
                      {50, "", "arrival C", "primary C A:cancelled B:cancelled C:arrived 緊急地震速報（予報） silent",
                       "B1x A1x C2"},
                      {76, "", "end C final", "primary C A:cancelled B:cancelled C:final 緊急地震速報（予報） silent",
                       "B1x A1x C2"},
                  });
    TRig quiet;
    RunSteps(quiet, {
                        {1, "D 1 70 140", "new D", "primary D D:coming 緊急地震速報（予報） chime", ""},
                        {181, "", "arrival D, end D expired", "primary D D:expired 緊急地震速報（予報） silent", "D1"},
                    });
}

// Names are kept per earthquake, also when the type-10 line comes before its
// earthquake's report qualifies; a report far off the clock counts down from its receipt.
TEST(AlertLifecycle, NamesPerEarthquakeAndReportsOffTheClock)
{
    TRig rig;
    rig.Name(QStringLiteral("ND2016041421263B"), QStringLiteral("宮城県沖"));
    RunSteps(rig, {
                      {1, "A 1 70 020", "new A", "primary A A:coming 緊急地震速報（予報） chime", ""},
                      {1, "A name 東京湾", "", "primary A A:coming 緊急地震速報（予報） chime", ""},
                      {2, "B 1 50 040", "concurrent B", "primary A A:coming B:coming 緊急地震速報（予報） chime", ""},
                  });
    EXPECT_EQ(rig.Alert.FindQuake("ND2016041421263A")->Eq10Teleg.GetEpicName(), QStringLiteral("東京湾"));
    EXPECT_EQ(rig.Alert.FindQuake("ND2016041421263B")->Eq10Teleg.GetEpicName(), QStringLiteral("宮城県沖"));
    rig.Alert.StopAlerting();
    EXPECT_EQ(rig.Rows(), QStringLiteral("A1 B1"));
    EXPECT_EQ(rig.Store.Records[0].EpicName, QStringLiteral("東京湾"));
    EXPECT_EQ(rig.Store.Records[1].EpicName, QStringLiteral("宮城県沖"));

    // This machine's clock is 9 hours behind (a server on UTC): the report issued
    // 6 s after its occurrence is counted down as received now, 20 - 6 = 14 s left.
    TRig utc;
    utc.Clock.Now = utc.Base + 6000 - 9 * 3600 * 1000LL;
    TEq01Fields f = Report("E", 1, "70", "020");
    utc.Send(f);
    ASSERT_TRUE(utc.Alert.IsTicking());
    const TEqActiveQuake* q = utc.Alert.FindQuake("ND2016041421263E");
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->ArrivalMSecs - utc.Clock.Now, 14000);
}

// A report that first qualifies after its S-wave already reached home is an arrived
// alert at once: no countdown of the seconds since the arrival.
TEST(AlertLifecycle, AReportAfterItsArrivalIsArrivedAtOnce)
{
    TRig rig;
    QList<TAlertTick> ticks;
    QObject::connect(&rig.Alert, &TEqAlertController::ticked,
                     [&ticks](const TEqTelegram01&, const TAlertTick& T) { ticks << T; });
    RunSteps(rig, {{23, "A 1 70 020", "new A, arrival A", "primary A A:arrived 緊急地震速報（予報） silent", "A1"}});
    ASSERT_EQ(ticks.size(), 1);
    EXPECT_TRUE(ticks[0].Arrived);
}
