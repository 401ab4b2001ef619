#include "alert/AlertTiming.h"

#include "alert/EqAlertDecision.h"
#include "logging/VeskLogging.h"

#include <QDateTime>

#include <cmath>

qint64 TSystemAlertClock::NowLocalMSecs() const
{
    const QDateTime now = VeskJapanNow();
    return TAlertTiming::ToLocalMSecs(now.date(), now.time());
}

const TSystemAlertClock& TSystemAlertClock::Instance()
{
    // Never destroyed: an exit outside main() still decides and times alerts after
    // the static objects have gone.
    static const TSystemAlertClock* const clock = new TSystemAlertClock;
    return *clock;
}

TAlertTiming::TAlertTiming(TVeskLogger* ALogger, const TAlertClock* AClock, TEqHistoryStore* AStore)
    : FLogger(TVeskLogger::OrNull(ALogger)), FClock(AClock ? AClock : &TSystemAlertClock::Instance()), FStore(AStore)
{}

void TAlertTiming::SetClock(const TAlertClock* AClock)
{
    FClock = AClock ? AClock : &TSystemAlertClock::Instance();
}

qint64 TAlertTiming::ToLocalMSecs(const QDate& Date, const QTime& Time)
{
    // Calendar fields taken as UTC: plain arithmetic, no daylight-saving gaps.
    return QDateTime(Date, Time, Qt::UTC).toMSecsSinceEpoch();
}

std::optional<qint64> TAlertTiming::ParseOccurrenceTime(const QString& Text)
{
    int pieces[6] = {};
    for (int i = 0; i < 6; ++i) {
        const QStringView piece = QStringView(Text).mid(2 * i, 2);
        const std::optional<qint32> value = piece.size() == 2 ? VeskStrToInt(piece) : std::nullopt;
        if (!value) {
            return std::nullopt;
        }
        pieces[i] = *value;
    }
    const QDate date(2000 + pieces[0], pieces[1], pieces[2]);
    const QTime time(pieces[3], pieces[4], pieces[5], 0);
    if (!date.isValid() || !time.isValid()) {
        return std::nullopt;
    }
    return ToLocalMSecs(date, time);
}

qint64 TAlertTiming::WholeSecondsBetween(qint64 AMSecs, qint64 BMSecs)
{
    const qint64 diff = AMSecs - BMSecs;
    return (diff < 0 ? -diff : diff) / 1000;
}

QString TAlertTiming::FormatDateTime(qint64 LocalMSecs)
{
    return QDateTime::fromMSecsSinceEpoch(LocalMSecs, Qt::UTC).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

void TAlertTiming::SetEqInfo(float LLat, float LLng, const TEqTelegram01& Eq01Teleg, float SiScale, float EstimatedSec)
{
    SetEqInfo(LLat, LLng, Eq01Teleg, TEqTelegram10(), SiScale, EstimatedSec);
}

void TAlertTiming::SetEqInfo(float LLat, float LLng, const TEqTelegram01& Eq01Teleg, const TEqTelegram10& Eq10Teleg,
                             float SiScale, float EstimatedSec)
{
    FLLat = LLat;
    FLLng = LLng;
    FEq01Teleg = Eq01Teleg;
    FEq10Teleg = Eq10Teleg;
    FEstimatedScale = SiScale;
    FEstimatedSec = EstimatedSec;
    FAdvanceSec = 0.0f;
}

bool TAlertTiming::StartAlert()
{
    const std::optional<qint64> occurred = ParseOccurrenceTime(FEq01Teleg.GetOccurrenceTime());
    if (!occurred) {
        FLogger->Send(vmtCaught, QStringLiteral("StartAlert()"),
                      QStringLiteral("'%1' is not a valid occurrence time").arg(FEq01Teleg.GetOccurrenceTime()));
        return false;
    }
    StartAlertAt(*occurred);
    return true;
}

void TAlertTiming::StartAlertAt(qint64 OccurMSecs)
{
    FEqOccurDateTime = OccurMSecs;
    FIsAlerting = true;
    FIsRegisteredEqInfo = false;
    FHasStarted = true;
}

void TAlertTiming::StopAlert()
{
    if (FOnStop) {
        FOnStop();
    }
    FIsAlerting = false;
    RegisterEqInfoInDb();
}

TAlertTick TAlertTiming::DoAlert()
{
    const QString name = QStringLiteral("DoAlert()");
    auto log = [this](const QString& Msg, const QString& Value) { FLogger->Send(vmtAlertMap, Msg, Value); };
    auto logTitle = [this](const QString& Msg) { FLogger->Send(vmtAlertMap, Msg); };

    FLogger->EnterMethod(name);
    TAlertTick tick;
    log(QStringLiteral("対象EQ ID"), TEqAlertDecision::EqIdWithTelegNo(FEq01Teleg.GetEqId(), FEq01Teleg.GetTelegNo()));

    tick.Distance = AlertMapGeometry::GetDistance(FLLat, FLLng, static_cast<float>(FEq01Teleg.GetEpicLat()),
                                                  static_cast<float>(FEq01Teleg.GetEpicLong()));
    log(QStringLiteral("所在地と震央の距離"),
        QString::number(static_cast<double>(tick.Distance), 'g', 15) + QStringLiteral("(Dis)"));

    quint32 color = TSeismicIntensityScale::GetScaleColor(FEstimatedScale);
    log(QStringLiteral("震度階級色"), QString::asprintf("0x%x", color));

    tick.OccurMSecs = FEqOccurDateTime;
    log(QStringLiteral("地震発生時刻(a)　　"), FormatDateTime(tick.OccurMSecs));
    tick.ArrivalSec = AlertMapGeometry::RoundHalfEven(FEstimatedSec);
    log(QStringLiteral("到達予測秒数(b)　　"), QString::asprintf("%d sec.", tick.ArrivalSec));
    tick.ArrivalMSecs = tick.OccurMSecs + static_cast<qint64>(tick.ArrivalSec) * 1000;
    log(QStringLiteral("地震到達予測時刻(c)"), FormatDateTime(tick.ArrivalMSecs) + QStringLiteral("(a)+(b)"));
    tick.NowMSecs = FClock->NowLocalMSecs();
    log(QStringLiteral("現在時刻(d)　　　　"), FormatDateTime(tick.NowMSecs));
    tick.ElapsedSec = WholeSecondsBetween(tick.NowMSecs, tick.OccurMSecs);
    log(QStringLiteral("経過秒数(e)　　　　:"),
        QString::asprintf("%lld sec.", static_cast<long long>(tick.ElapsedSec)) + QStringLiteral("(d)-(a)"));
    tick.AdvanceSec = WholeSecondsBetween(tick.NowMSecs, tick.ArrivalMSecs);
    FAdvanceSec = static_cast<float>(tick.AdvanceSec);
    log(QStringLiteral("猶予秒数(f)　　　　"), QString::asprintf("%lld sec.", static_cast<long long>(tick.AdvanceSec)));

    // Estimated seconds of 0 (or less, or not a number) give no growth rate for the
    // circle: such a tick counts as the arrival.
    if (tick.NowMSecs < tick.ArrivalMSecs && FEstimatedSec > 0.0f) {
        logTitle(QStringLiteral("地震波（Ｓ波）未到達"));
        logTitle(QString::asprintf("半径 = (Dis)[%.2f] / (b)[%.2f] * (e)[%lld]", static_cast<double>(tick.Distance),
                                   static_cast<double>(FEstimatedSec), static_cast<long long>(tick.ElapsedSec)));
        tick.Radius = static_cast<float>(static_cast<double>(tick.Distance) / static_cast<double>(FEstimatedSec) *
                                         static_cast<double>(tick.ElapsedSec));
        log(QStringLiteral("半径"), QString::number(static_cast<double>(tick.Radius), 'g', 15));
        // The step is taken modulo 256 first so that a tiny estimate cannot overflow.
        const double step =
            std::fmod(static_cast<double>(AlertMapGeometry::RoundHalfEven(96.0 / FEstimatedSec)), 256.0);
        const qint64 alpha = (static_cast<qint64>(step) * (tick.ElapsedSec % 256)) % 256;
        color = (color & 0x00FFFFFFu) | (static_cast<quint32>(alpha) << 24);
    } else {
        tick.Arrived = true;
        logTitle(QStringLiteral("地震波（Ｓ波）到達"));
        StopAlert();
        tick.Radius = tick.Distance;
        color = (color & 0x00FFFFFFu) | 0x80000000u;
    }
    tick.Color = color;

    FLogger->ExitMethod(name);
    return tick;
}

bool TAlertTiming::RegisterEqInfoInDb()
{
    const QString name = QStringLiteral("RegisterEqInfoInDb()");
    FLogger->EnterMethod(name);
    TEqHistory record;
    record.CopyFromEqTelegram(FEq01Teleg, FEq10Teleg, FEstimatedScale, FEstimatedSec);
    const QString value = record.EqID + QString::asprintf("(%d)", record.TelegNo);

    bool result = false;
    if (!FHasStarted) {
        // Nothing was alerted yet: there is no earthquake to write.
        FLogger->Send(vmtAlertMap, QStringLiteral("No EQ info to register."));
    } else if (FRegistrar) {
        result = FRegistrar();
    } else if (FIsRegisteredEqInfo) {
        FLogger->Send(vmtAlertMap, QStringLiteral("Already registered EQ info."), value);
    } else {
        FIsRegisteredEqInfo = true;
        auto done = [onRegistered = FOnRegistered, record](bool Inserted) {
            if (onRegistered) {
                onRegistered(record, Inserted);
            }
        };
        result = FStore != nullptr;
        FLogger->Send(vmtAlertMap, QStringLiteral("Registered EQ info."), value);
        if (FStore) {
            FStore->InsertEqHistoryRecordLater(record, std::move(done));
        } else {
            done(false);
        }
    }
    FLogger->ExitMethod(name);
    return result;
}
