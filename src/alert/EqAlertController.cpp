#include "alert/EqAlertController.h"

#include "alert/EqAlertDecision.h"
#include "logging/VeskLogging.h"

#include <QPointer>

#include <algorithm>

namespace {

// Type-10 names waiting for their earthquake to qualify.
constexpr std::size_t MaxEarlyNames = 16;

// The class an earthquake threatens with: our estimate, or JMA's for the area where higher.
double ThreatScale(double EstSIS, const std::optional<TEqAreaForecast>& Forecast)
{
    const std::optional<double> jma = Forecast ? JmaAreaForecastScale(*Forecast) : std::nullopt;
    return jma && *jma > EstSIS ? *jma : EstSIS;
}

// The S-wave's arrival: the occurrence and the rounded seconds, as the tick counts them.
qint64 ArrivalOf(qint64 OccurMSecs, double EstSec)
{
    return OccurMSecs + static_cast<qint64>(AlertMapGeometry::RoundHalfEven(EstSec)) * 1000;
}

QString QuakeName(const TEqActiveQuake& Q)
{
    return TEqAlertDecision::EqIdWithTelegNo(Q.EqId(), Q.Eq01Teleg.GetTelegNo());
}

} // namespace

QString EqEndReasonName(TEqEndReason Reason)
{
    switch (Reason) {
    case erActive:
        return QString();
    case erArrival:
        return QStringLiteral("arrival");
    case erFinal:
        return QStringLiteral("final");
    case erExpired:
        return QStringLiteral("expired");
    case erCancelled:
        return QStringLiteral("cancelled");
    case erClosed:
        return QStringLiteral("closed");
    }
    return QString();
}

TEqAlertController::TEqAlertController(TVeskLogger* ALogger, TEqHistoryStore* AStore, const TAlertClock* AClock,
                                       QObject* Parent)
    : QObject(Parent), FLogger(TVeskLogger::OrNull(ALogger)), FStore(AStore), FTiming(ALogger, AClock, nullptr),
      FTimer(this), FLifeTimer(this)
{
    FTimer.setSingleShot(true);
    FTimer.setTimerType(Qt::PreciseTimer);
    connect(&FTimer, &QTimer::timeout, this, &TEqAlertController::DoAlert);
    FLifeTimer.setInterval(1000);
    connect(&FLifeTimer, &QTimer::timeout, this, &TEqAlertController::CheckQuakes);
    // The timing ends an alert at its arrival and when it is closed: the tick
    // stops and the alarm is silenced before the history registration.
    FTiming.SetOnStop([this] {
        FTimer.stop();
        StopAlertSound();
    });
    // The primary's registration writes that earthquake's own row.
    FTiming.SetRegistrar([this] {
        if (TEqActiveQuake* q = Find(GetAlertingEqId())) {
            WriteRow(*q);
        }
        return FStore != nullptr;
    });
}

void TEqAlertController::SetSoundChannel(TAlertSoundChannel* AChannel)
{
    FSound = AChannel ? AChannel : &FNullSound;
}

void TEqAlertController::SetFramePainter(TAlertFramePainter* APainter)
{
    FPainter = APainter ? APainter : &FNullPainter;
}

void TEqAlertController::SetIsAlerting(bool Value)
{
    FIsAlerting = Value;
    if (Value) {
        FHeaderCaption = ForecastCaption();
        emit headerCaptionChanged(FHeaderCaption);
    }
}

void TEqAlertController::SetIsAlertingWarning(bool Value)
{
    FIsAlertingWarning = Value;
    // A false value leaves the caption alone: writing IsAlerting always comes first.
    if (Value) {
        FHeaderCaption = WarningCaption();
        emit headerCaptionChanged(FHeaderCaption);
    }
}

void TEqAlertController::RefreshCaption()
{
    const TEqActiveQuake* primary = FindQuake(GetAlertingEqId());
    QString caption;
    if (primary && primary->End == erCancelled) {
        caption = CancelCaption();
    } else if (primary) {
        caption = primary->IsWarning ? WarningCaption() : ForecastCaption();
    } else {
        return;
    }
    if (caption != FHeaderCaption) {
        FHeaderCaption = caption;
        emit headerCaptionChanged(FHeaderCaption);
    }
}

TEqActiveQuake* TEqAlertController::Find(const QString& EqId)
{
    if (EqId.isEmpty()) {
        return nullptr;
    }
    for (TEqActiveQuake& q : FQuakes) {
        if (q.EqId() == EqId) {
            return &q;
        }
    }
    return nullptr;
}

const TEqActiveQuake* TEqAlertController::FindQuake(const QString& EqId) const
{
    return const_cast<TEqAlertController*>(this)->Find(EqId);
}

int TEqAlertController::ActiveQuakeCount() const
{
    return static_cast<int>(std::count_if(FQuakes.begin(), FQuakes.end(), [](const auto& q) { return q.IsActive(); }));
}

bool TEqAlertController::IsKnownEq(const QString& EqId) const
{
    return FindQuake(EqId) != nullptr;
}

bool TEqAlertController::IsEqWarning(const QString& EqId) const
{
    const TEqActiveQuake* q = FindQuake(EqId);
    return q && q->IsWarning;
}

qint64 TEqAlertController::OccurrenceOnClock(const TEqTelegram01& Eq01Teleg, qint64 Now, bool ALog) const
{
    TVeskLogger* log = ALog ? FLogger : &TVeskLogger::Null();
    qint64 occurred = TAlertTiming::ParseOccurrenceTime(Eq01Teleg.GetOccurrenceTime()).value_or(Now);
    const std::optional<qint64> issued = TAlertTiming::ParseOccurrenceTime(Eq01Teleg.GetPresentTime());
    if (!issued) {
        return occurred;
    }
    if (occurred > *issued) {
        // An earthquake cannot be reported before it happened: count from the issue time.
        log->Send(vmtWarning, QStringLiteral("Occurrence after issue time."),
                  Eq01Teleg.GetOccurrenceTime() + QStringLiteral(" > ") + Eq01Teleg.GetPresentTime());
        occurred = *issued;
    }
    const qint64 off = Now - *issued;
    if (off > ClockToleranceMs || off < -ClockToleranceMs) {
        // This machine's clock (or the telegram) is wrong: the report's own delay
        // from the occurrence, counted from its receipt, still gives the arrival.
        log->Send(vmtWarning, QStringLiteral("Telegram time is off the clock."),
                  QStringLiteral("%1 (clock %2)")
                      .arg(TAlertTiming::FormatDateTime(*issued), TAlertTiming::FormatDateTime(Now)));
        // Whole seconds, as telegram times are: the tick stays on the second's phase
        // (the earlier whole second, so that the countdown never ends late).
        const qint64 onClock = Now - (*issued - occurred);
        return onClock - (((onClock % 1000) + 1000) % 1000);
    }
    return occurred;
}

bool TEqAlertController::HasOccurrenceTime(const TEqTelegram01& Eq01Teleg, const QString& AWhere) const
{
    if (TAlertTiming::ParseOccurrenceTime(Eq01Teleg.GetOccurrenceTime())) {
        return true;
    }
    FLogger->Send(vmtCaught, AWhere,
                  QStringLiteral("'%1' is not a valid occurrence time").arg(Eq01Teleg.GetOccurrenceTime()));
    return false;
}

TEqActiveQuake& TEqAlertController::TakeReport(const TLocationInfo& Location, const TEqTelegram01& Eq01Teleg,
                                               double EstSIS, double EstSec, bool IsWarning,
                                               const std::optional<TEqAreaForecast>& Forecast)
{
    const qint64 now = FTiming.Clock().NowLocalMSecs();
    TEqActiveQuake* q = Find(Eq01Teleg.GetEqId());
    if (!q) {
        PruneQuakes();
        TEqActiveQuake added;
        const auto early = std::find_if(FEarlyNames.begin(), FEarlyNames.end(),
                                        [&](const TEqTelegram10& T) { return T.GetEqId() == Eq01Teleg.GetEqId(); });
        if (early != FEarlyNames.end()) {
            added.Eq10Teleg = *early;
            FEarlyNames.erase(early);
        }
        FQuakes.push_back(added);
        q = &FQuakes.back();
    }
    q->Location = Location;
    q->Eq01Teleg = Eq01Teleg;
    q->EstSIS = EstSIS;
    q->EstSec = EstSec;
    q->IsWarning = IsWarning;
    q->AreaForecast = Forecast;
    q->OccurMSecs = OccurrenceOnClock(Eq01Teleg, now, true);
    q->ArrivalMSecs = ArrivalOf(q->OccurMSecs, EstSec);
    q->LastReportMSecs = now;
    if (Eq01Teleg.IsFinalReport() && q->FinalMSecs < 0) {
        q->FinalMSecs = now;
    }
    return *q;
}

void TEqAlertController::PruneQuakes()
{
    // Room for one more: ended earthquakes go first, then the oldest active one.
    while (FQuakes.size() >= static_cast<std::size_t>(MaxQuakes)) {
        auto victim = std::find_if(FQuakes.begin(), FQuakes.end(), [this](const TEqActiveQuake& q) {
            return !q.IsActive() && q.EqId() != GetAlertingEqId();
        });
        if (victim == FQuakes.end()) {
            victim = std::find_if(FQuakes.begin(), FQuakes.end(),
                                  [this](const TEqActiveQuake& q) { return q.EqId() != GetAlertingEqId(); });
        }
        if (victim == FQuakes.end()) {
            victim = FQuakes.begin();
        }
        EndQuake(*victim, erExpired);
        FQuakes.erase(victim);
    }
}

bool TEqAlertController::StartAlerting(const TLocationInfo& Location, const TEqTelegram01& Eq01Teleg, double EstSIS,
                                       double EstSec, bool AlwaysAlertSoundOn)
{
    // Checked before anything is replaced, so a bad telegram leaves the running alert intact.
    if (!HasOccurrenceTime(Eq01Teleg, QStringLiteral("StartAlerting()"))) {
        return false;
    }
    TEqActiveQuake& q = TakeReport(Location, Eq01Teleg, EstSIS, EstSec, FIsAlertingWarning, FAreaForecast);
    // A start (new, replace, upgrade) runs the earthquake's alert again from its report.
    q.End = erActive;
    q.ArrivedMSecs = -1;
    MakePrimary(q.EqId(), true, AlwaysAlertSoundOn);
    return true;
}

void TEqAlertController::MakePrimary(const QString& EqId, bool RingAlarm, bool AlwaysAlertSoundOn)
{
    TEqActiveQuake* q = Find(EqId);
    if (!q) {
        return;
    }
    FCancelShownSince = -1;
    FIsAlertingWarning = q->IsWarning;
    SetAreaForecast(q->AreaForecast);
    FTiming.SetIsIssuedWarning(q->IsWarning);
    LoadTiming(*q);
    FTiming.StartAlertAt(q->OccurMSecs);
    RefreshCaption();
    emit alertStarted(*q);
    if (RingAlarm && (AlwaysAlertSoundOn || FNeedAlertSound)) {
        PlayAlertSound();
    }
    // The first frame comes as soon as the dispatcher has handed the telegram
    // over, not a second later with the previous alert's picture still shown.
    FTimer.start(0);
    PublishOthers();
    UpdateLifeTimer();
}

void TEqAlertController::LoadTiming(const TEqActiveQuake& Quake)
{
    FTiming.SetEqInfo(static_cast<float>(Quake.Location.Latitude), static_cast<float>(Quake.Location.Longitude),
                      Quake.Eq01Teleg, Quake.Eq10Teleg, static_cast<float>(Quake.EstSIS),
                      static_cast<float>(Quake.EstSec));
}

bool TEqAlertController::Threatens(const TEqActiveQuake& A, const TEqActiveQuake& B)
{
    if (A.IsWarning != B.IsWarning) {
        return A.IsWarning;
    }
    const int a = TSeismicIntensityScale::GetScaleAsInteger(ThreatScale(A.EstSIS, A.AreaForecast));
    const int b = TSeismicIntensityScale::GetScaleAsInteger(ThreatScale(B.EstSIS, B.AreaForecast));
    if (a != b) {
        return a > b;
    }
    return A.ArrivalMSecs < B.ArrivalMSecs;
}

bool TEqAlertController::IsMoreThreatening(const TEqTelegram01& Eq01Teleg, double EstSIS, double EstSec,
                                           bool IsWarning) const
{
    const TEqActiveQuake* primary = FindQuake(GetAlertingEqId());
    const qint64 now = FTiming.Clock().NowLocalMSecs();
    if (!primary || !primary->IsActive() || primary->IsDue(now)) {
        return true;
    }
    TEqActiveQuake candidate;
    candidate.EstSIS = EstSIS;
    candidate.IsWarning = IsWarning;
    // Only asked: its times are logged when the report is taken.
    candidate.ArrivalMSecs = ArrivalOf(OccurrenceOnClock(Eq01Teleg, now, false), EstSec);
    if (now >= candidate.ArrivalMSecs) {
        return false; // its shaking is over; the coming one stays in front
    }
    return Threatens(candidate, *primary);
}

bool TEqAlertController::AddConcurrentEq(const TLocationInfo& Location, const TEqTelegram01& Eq01Teleg, double EstSIS,
                                         double EstSec, bool IsWarning, const std::optional<TEqAreaForecast>& Forecast)
{
    if (!HasOccurrenceTime(Eq01Teleg, QStringLiteral("AddConcurrentEq()"))) {
        return false;
    }
    TakeReport(Location, Eq01Teleg, EstSIS, EstSec, IsWarning, Forecast);
    PublishOthers();
    UpdateLifeTimer();
    return true;
}

bool TEqAlertController::UpdateEq(const TLocationInfo& Location, const TEqTelegram01& Eq01Teleg, double EstSIS,
                                  double EstSec, const std::optional<TEqAreaForecast>& Forecast)
{
    TEqActiveQuake* q = Find(Eq01Teleg.GetEqId());
    if (!q || q->End == erCancelled || !HasOccurrenceTime(Eq01Teleg, QStringLiteral("UpdateEq()"))) {
        return false;
    }
    const TEqTelegram01& old = q->Eq01Teleg;
    const bool changed =
        TEqAlertDecision::FixedTwo(q->EstSIS) != TEqAlertDecision::FixedTwo(EstSIS) ||
        AlertMapGeometry::RoundHalfEven(q->EstSec) != AlertMapGeometry::RoundHalfEven(EstSec) ||
        old.GetEpicLatStr() != Eq01Teleg.GetEpicLatStr() || old.GetEpicLongStr() != Eq01Teleg.GetEpicLongStr() ||
        old.GetEpicDepthStr() != Eq01Teleg.GetEpicDepthStr() || old.GetMagnitudeStr() != Eq01Teleg.GetMagnitudeStr();
    const bool isPrimary = q->EqId() == GetAlertingEqId();
    const bool wasArrived = q->HasArrived();
    TakeReport(Location, Eq01Teleg, EstSIS, EstSec, q->IsWarning, Forecast);
    if (isPrimary) {
        SetAreaForecast(q->AreaForecast);
        if (changed) {
            LoadTiming(*q);
            emit alertStarted(*q);
            if (!wasArrived && q->IsActive()) {
                // The new countdown and circle at once, not at the next whole second.
                FTiming.StartAlertAt(q->OccurMSecs);
                FTimer.start(0);
            }
        }
    }
    // An earthquake whose row is written already keeps it up to date.
    if (q->RowWritten && (wasArrived || !q->IsActive())) {
        WriteRow(*q);
    }
    PublishOthers();
    if (q->IsActive()) {
        ReselectPrimary();
    }
    return changed;
}

bool TEqAlertController::CancelEq(const TEqTelegram01& Eq01Teleg)
{
    TEqActiveQuake* q = Find(Eq01Teleg.GetEqId());
    if (!q || q->End == erCancelled) {
        return false;
    }
    const bool wasPrimary = q->EqId() == GetAlertingEqId();
    q->LastReportMSecs = FTiming.Clock().NowLocalMSecs();
    if (q->IsActive()) {
        EndQuake(*q, erCancelled);
    } else {
        // Ended already (its shaking was due): the row still says it was withdrawn.
        q->End = erCancelled;
        WriteRow(*q);
        emit eqCancelled(q->Eq01Teleg);
    }
    if (wasPrimary) {
        FTimer.stop();
        FTiming.SetIsAlerting(false);
        StopAlertSound();
        if (!FQuiet) {
            FPainter->ShowCancelled();
        }
        FIsAlertingWarning = false;
        FCancelShownSince = FTiming.Clock().NowLocalMSecs();
        RefreshCaption();
    }
    PublishOthers();
    UpdateLifeTimer();
    return true;
}

void TEqAlertController::MarkFinal(const QString& EqId)
{
    if (TEqActiveQuake* q = Find(EqId); q && q->FinalMSecs < 0) {
        q->FinalMSecs = FTiming.Clock().NowLocalMSecs();
    }
}

void TEqAlertController::EndQuake(TEqActiveQuake& Quake, TEqEndReason Reason)
{
    if (!Quake.IsActive()) {
        return;
    }
    Quake.End = Reason;
    FLogger->Send(vmtNotable, QStringLiteral("Earthquake ended."),
                  QuakeName(Quake) + QLatin1Char(' ') + EqEndReasonName(Reason));
    WriteRow(Quake);
    if (Reason == erCancelled) {
        emit eqCancelled(Quake.Eq01Teleg);
    }
    emit eqEnded(Quake.Eq01Teleg, Reason);
}

void TEqAlertController::WriteRow(TEqActiveQuake& Quake)
{
    TEqHistory record;
    record.CopyFromEqTelegram(Quake.Eq01Teleg, Quake.Eq10Teleg, Quake.EstSIS, Quake.EstSec);
    record.Cancelled = Quake.End == erCancelled;
    const QString value = record.EqID + QString::asprintf("(%d)", record.TelegNo);
    if (Quake.RowWritten && record == Quake.LastRow) {
        FLogger->Send(vmtAlertMap, QStringLiteral("Already registered EQ info."), value);
        return;
    }
    Quake.RowWritten = true;
    Quake.LastRow = record;
    FLogger->Send(vmtAlertMap, QStringLiteral("Registered EQ info."), value);
    if (!FStore) {
        EmitHistory(record, false);
        return;
    }
    // The store may answer later; the controller may be gone by then at shutdown.
    FStore->InsertEqHistoryRecordLater(record, [self = QPointer<TEqAlertController>(this), record](bool Inserted) {
        if (self) {
            self->EmitHistory(record, Inserted);
        }
    });
}

void TEqAlertController::EmitHistory(const TEqHistory& EqHistory, bool Inserted)
{
    if (FInTick) {
        FPendingHistory.emplace_back(EqHistory, Inserted);
        return;
    }
    emit historyWritten(EqHistory, Inserted);
}

void TEqAlertController::SetAreaForecast(const std::optional<TEqAreaForecast>& Forecast)
{
    // The forecast of the report about to start, or of the primary earthquake.
    const bool changed = Forecast != FAreaForecast;
    FAreaForecast = Forecast;
    if (changed) {
        emit areaForecastChanged(AreaForecastCaption(FAreaForecast));
    }
}

QString TEqAlertController::AreaForecastCaption(const std::optional<TEqAreaForecast>& Forecast)
{
    if (!Forecast) {
        return QString();
    }
    QString caption = QStringLiteral("気象庁発表 ") + JmaAreaForecastCaption(*Forecast);
    const QString arrival = JmaAreaArrivalText(*Forecast);
    if (!arrival.isEmpty()) {
        caption += QStringLiteral("（到達予想 %1）").arg(arrival);
    }
    return caption;
}

void TEqAlertController::SetAlertEq10Telegram(const TEqTelegram10& Eq10Teleg)
{
    TEqActiveQuake* q = Find(Eq10Teleg.GetEqId());
    if (!q) {
        // The name may come before its earthquake's report qualifies; it is kept for it.
        std::erase_if(FEarlyNames, [&](const TEqTelegram10& T) { return T.GetEqId() == Eq10Teleg.GetEqId(); });
        FEarlyNames.push_back(Eq10Teleg);
        if (FEarlyNames.size() > MaxEarlyNames) {
            FEarlyNames.erase(FEarlyNames.begin());
        }
        return;
    }
    q->Eq10Teleg = Eq10Teleg;
    if (q->EqId() == GetAlertingEqId()) {
        FTiming.SetEq10Telegram(Eq10Teleg);
    }
    if (q->RowWritten) {
        WriteRow(*q);
    }
    emit epicentreNamed(Eq10Teleg);
    PublishOthers();
}

void TEqAlertController::KeepEarlyEq10Telegram(const TEqTelegram10& Eq10Teleg)
{
    SetAlertEq10Telegram(Eq10Teleg);
}

void TEqAlertController::Show()
{
    if (!FQuiet) {
        emit showRequested();
    }
}

void TEqAlertController::StopAlerting()
{
    TVeskLogScope scope(FLogger, QStringLiteral("StopAlerting()"));
    FTiming.StopAlert();
    FLifeTimer.stop();
    for (TEqActiveQuake& q : FQuakes) {
        if (q.IsActive()) {
            EndQuake(q, erClosed);
        }
    }
    FQuakes.clear();
    FCancelShownSince = -1;
    FIsAlerting = false;
    PublishOthers();
    emit alertStopped();
}

TAlertSound TEqAlertController::ChosenAlertSound() const
{
    const bool strong = TSeismicIntensityScale::GetScaleAsInteger(FTiming.GetEstimatedScale()) > 40;
    return strong || FTiming.IsIssuedWarning() ? asWarning : asForecast;
}

void TEqAlertController::PlayAlertSound()
{
    if (FQuiet) {
        return;
    }
    FSound->PlayAlertSound(ChosenAlertSound());
    FIsPlayingSound = true;
    emit soundChanged(true);
    if (const QString problem = FSound->OutputProblem(); !problem.isEmpty()) {
        if (FSilentAlarmLoggedFor != GetAlertingEqId()) {
            FSilentAlarmLoggedFor = GetAlertingEqId();
            FLogger->Send(vmtWarning, QStringLiteral("Alarm not heard."), problem);
        }
        emit soundUnavailable(problem);
    }
}

void TEqAlertController::StopAlertSound()
{
    FSound->StopAlertSound();
    const bool was = FIsPlayingSound;
    FIsPlayingSound = false;
    if (was) {
        emit soundChanged(false);
    }
}

void TEqAlertController::ToggleAlertSound()
{
    if (FIsPlayingSound) {
        StopAlertSound();
        FNeedAlertSound = false;
    } else {
        PlayAlertSound();
        FNeedAlertSound = true;
    }
}

qint64 TEqAlertController::NextTickDelay() const
{
    // Occurrence and arrival fall on whole seconds of the clock, so the countdown
    // changes at each whole second. The next tick lands just after the next whole
    // second: every value is shown once, never twice.
    const qint64 now = FTiming.Clock().NowLocalMSecs();
    const qint64 intoSecond = ((now % 1000) + 1000) % 1000;
    return 1000 + TickPhaseMs - intoSecond;
}

void TEqAlertController::ScheduleNextTick()
{
    FTimer.start(static_cast<int>(NextTickDelay()));
}

void TEqAlertController::DoAlert()
{
    if (!FTiming.IsAlerting()) {
        FTimer.stop();
        return;
    }
    const TEqTelegram01 teleg = FTiming.GetEq01Telegram();
    FInTick = true;
    const TAlertTick tick = FTiming.DoAlert();
    FInTick = false;
    TEqActiveQuake* q = Find(teleg.GetEqId());
    if (!FQuiet) {
        FPainter->PaintFrame(FTiming, tick);
    }
    emit ticked(teleg, tick);
    bool firstArrival = false;
    if (tick.Arrived) {
        firstArrival = !q || !q->HasArrived();
        if (q && firstArrival) {
            q->ArrivedMSecs = tick.NowMSecs;
        }
        if (firstArrival) {
            emit arrived(teleg);
        }
    } else {
        ScheduleNextTick();
    }
    std::vector<std::pair<TEqHistory, bool>> pending;
    pending.swap(FPendingHistory);
    for (const auto& [history, inserted] : pending) {
        emit historyWritten(history, inserted);
    }
    PublishOthers();
    if (tick.Arrived && firstArrival) {
        // Another earthquake may still be on its way: it takes the countdown and the alarm.
        ReselectPrimary();
    }
}

const TEqActiveQuake* TEqAlertController::BestQuake() const
{
    const qint64 now = FTiming.Clock().NowLocalMSecs();
    const TEqActiveQuake* best = nullptr;
    for (const TEqActiveQuake& q : FQuakes) {
        if (q.IsActive() && !q.IsDue(now) && (!best || Threatens(q, *best))) {
            best = &q;
        }
    }
    if (best) {
        return best;
    }
    // All have arrived: the one that arrived last.
    for (const TEqActiveQuake& q : FQuakes) {
        if (q.IsActive() && (!best || q.ArrivalMSecs >= best->ArrivalMSecs)) {
            best = &q;
        }
    }
    return best;
}

void TEqAlertController::ReselectPrimary()
{
    if (FCancelShownSince >= 0) {
        return; // the cancel is shown first
    }
    const TEqActiveQuake* best = BestQuake();
    if (!best || best->EqId() == GetAlertingEqId()) {
        return;
    }
    const TEqActiveQuake* current = FindQuake(GetAlertingEqId());
    // An arrived primary stays in front of others that have arrived too, until it ends.
    const qint64 now = FTiming.Clock().NowLocalMSecs();
    const bool bestComing = !best->IsDue(now);
    if (current && current->IsActive() && !bestComing) {
        return;
    }
    FLogger->Send(vmtNotable, QStringLiteral("Primary earthquake."), QuakeName(*best));
    MakePrimary(best->EqId(), bestComing, false);
}

void TEqAlertController::CheckQuakes()
{
    const qint64 now = FTiming.Clock().NowLocalMSecs();
    const QString primaryId = GetAlertingEqId();
    for (std::size_t i = 0; i < FQuakes.size(); ++i) {
        TEqActiveQuake& q = FQuakes[i];
        if (!q.IsActive()) {
            continue;
        }
        // The primary's arrival is the tick's; the others' are seen here.
        if (!q.HasArrived() && (q.EqId() != primaryId || !FTiming.IsAlerting()) && q.IsDue(now)) {
            q.ArrivedMSecs = now;
            FLogger->Send(vmtNotable, QStringLiteral("S-wave arrived."), QuakeName(q));
            WriteRow(q);
        }
        // A final report may come before a distant earthquake's S-wave: it ends once that has arrived too.
        if (q.FinalMSecs >= 0 && q.HasArrived() && now >= q.FinalMSecs + AfterFinalMs) {
            EndQuake(q, erFinal);
        } else if (q.HasArrived() && now >= std::max(q.ArrivedMSecs, q.LastReportMSecs) + AfterArrivalMs) {
            EndQuake(q, erArrival);
        } else if (now >= q.LastReportMSecs + WithoutReportMs) {
            EndQuake(q, erExpired);
        }
    }
    if (FCancelShownSince >= 0 && now >= FCancelShownSince + CancelShownMs) {
        FCancelShownSince = -1;
        if (ActiveQuakeCount() == 0) {
            // Opened by the program for an earthquake that never was: it goes by itself.
            FLogger->Send(vmtNotable, QStringLiteral("Close alert after cancel."));
            emit closeRequested();
            return;
        }
    }
    ReselectPrimary();
    PublishOthers();
    UpdateLifeTimer();
}

void TEqAlertController::UpdateLifeTimer()
{
    const bool needed = FCancelShownSince >= 0 || ActiveQuakeCount() > 0;
    if (needed && !FLifeTimer.isActive()) {
        FLifeTimer.start();
    } else if (!needed) {
        FLifeTimer.stop();
    }
}

QVector<TAlertMapQuake> TEqAlertController::OtherQuakes() const
{
    QVector<TAlertMapQuake> others;
    const qint64 now = FTiming.Clock().NowLocalMSecs();
    const QString primaryId = GetAlertingEqId();
    for (const TEqActiveQuake& q : FQuakes) {
        if (!q.IsActive() || q.EqId() == primaryId) {
            continue;
        }
        TAlertMapQuake m;
        m.EqId = q.EqId();
        m.EpicLat = q.Eq01Teleg.GetEpicLat();
        m.EpicLong = q.Eq01Teleg.GetEpicLong();
        m.DepthKm = q.Eq01Teleg.GetEpicDepth();
        m.ElapsedSec = static_cast<double>(now - q.OccurMSecs) / 1000.0;
        m.EstSIS = ThreatScale(q.EstSIS, q.AreaForecast);
        m.IsWarning = q.IsWarning;
        m.Name = q.Eq10Teleg.GetEpicName().trimmed();
        m.Arrived = q.IsDue(now);
        m.SecondsLeft = m.Arrived ? 0 : static_cast<int>(TAlertTiming::WholeSecondsBetween(now, q.ArrivalMSecs));
        others << m;
    }
    return others;
}

void TEqAlertController::PublishOthers()
{
    const QVector<TAlertMapQuake> others = OtherQuakes();
    // Nothing is sent again while there were and are no others.
    if (others.isEmpty() && FLastOthersEmpty) {
        return;
    }
    FLastOthersEmpty = others.isEmpty();
    FPainter->SetOtherQuakes(others);
    emit otherQuakesChanged(others);
}

void TEqAlertController::StopAlarmForSample()
{
    if (FIsPlayingSound) {
        StopAlertSound();
    }
}
