#include "alert/EqTelegramDispatcher.h"

#include "logging/VeskLogging.h"

#include <QEvent>
#include <QMutexLocker>

#include <exception>
#include <limits>

namespace {

qint32 Incremented(qint32 Value)
{
    return Value < std::numeric_limits<qint32>::max() ? Value + 1 : Value;
}

// Enough for every report of several earthquakes at once.
constexpr std::size_t MaxAreaForecasts = 64;

QString AreaForecastKey(const QString& EqId, qint32 TelegNo)
{
    return EqId + QLatin1Char('#') + QString::number(TelegNo);
}

// "震度4程度以上 22:18:22 (212)" for the log.
QString AreaForecastText(const TEqAreaForecast& F)
{
    QString text = JmaAreaForecastCaption(F);
    if (F.HasArrivalTime()) {
        text += QLatin1Char(' ') + JmaAreaArrivalText(F);
    }
    if (F.IsPlum()) {
        text += QStringLiteral(" PLUM");
    }
    return QStringLiteral("%1 (%2)").arg(text, F.AreaCode);
}

} // namespace

QString AlertKindName(TAlertKind Kind)
{
    switch (Kind) {
    case akNew:
        return QStringLiteral("new");
    case akUpgrade:
        return QStringLiteral("upgrade");
    case akReplace:
        return QStringLiteral("replace");
    case akConcurrent:
        return QStringLiteral("concurrent");
    case akUpdate:
        return QStringLiteral("update");
    }
    return QString();
}

TEqTelegramDispatcher::TEqTelegramDispatcher(TVeskLogger* ALogger, TEqTelegramQueues& AQueues,
                                             const TEqAlertDecision& ADecision, TEqAlertWindowIntf& AAlertWindow,
                                             TEqDispatchSettings& ASettings, QObject* Parent)
    : QObject(Parent), FLogger(TVeskLogger::OrNull(ALogger)), FQueues(AQueues), FDecision(ADecision),
      FAlertWindow(AAlertWindow), FSettings(ASettings), FServerCommHint(ServerCommHint(scsDisconnected))
{}

void TEqTelegramDispatcher::SetPlugInEntries(TPlugInEntry OnEq01Queued, TPlugInEntry OnEq10Queued)
{
    FOnEq01Queued = std::move(OnEq01Queued);
    FOnEq10Queued = std::move(OnEq10Queued);
}

bool TEqTelegramDispatcher::event(QEvent* Event)
{
    if (Event->type() == WM_EQ01_QUEUED) {
        WMEq01Queued();
        return true;
    }
    if (Event->type() == WM_EQ10_QUEUED) {
        WMEq10Queued();
        return true;
    }
    if (Event->type() == WM_EQ11_QUEUED) {
        WMEq11Queued();
        return true;
    }
    return QObject::event(Event);
}

void TEqTelegramDispatcher::SetLocationInfo()
{
    FLocInfo = FSettings.GetLocationInfo();
}

void TEqTelegramDispatcher::WMEq01Queued()
{
    // The length is read under the lock, so it never races with an append.
    QMutexLocker lock(&FQueues.Lock);
    // A report's area forecast is queued before its type-01 line; take it even if
    // its own event has not been handled yet.
    TakeAreaForecasts();
    const std::size_t n = FQueues.Eq01.size();
    FLogger->Send(QStringLiteral("01 Queued."), static_cast<qint64>(n));
    for (std::size_t i = 0; i < n && !FQueues.Eq01.empty(); ++i) {
        const qint32 total = Incremented(FSettings.GetNumOfTotalEqTelegrams());
        FSettings.SetNumOfTotalEqTelegrams(total);
        emit countersChanged(total, FSettings.GetNumOfTotalAlerts());
        const TEqTelegram01 teleg = FQueues.Eq01.front();
        FQueues.Eq01.pop_front();

        // One telegram's failure must neither lose the others nor leave it without an outcome.
        FOutcomeReported = false;
        try {
            HandleEq01Telegram(teleg);
        } catch (const std::exception& e) {
            FLogger->Send(vmtCaught, QStringLiteral("WMEq01Queued()"), QString::fromLocal8Bit(e.what()));
            if (!FOutcomeReported) {
                Reject(teleg, arrError);
            }
        } catch (...) {
            FLogger->Send(vmtCaught, QStringLiteral("WMEq01Queued()"), QStringLiteral("unknown error"));
            if (!FOutcomeReported) {
                Reject(teleg, arrError);
            }
        }
        // The plug-in learns of the telegram only after its outcome (and alert) is out,
        // so whatever it does cannot change or delay the decision.
        CallPlugIn(FOnEq01Queued, QStringLiteral("VpiEq01Queued()"), teleg.GetTelegram());
    }
}

void TEqTelegramDispatcher::CallPlugIn(const TPlugInEntry& Entry, const QString& Name, const QString& Telegram)
{
    if (!Entry) {
        return;
    }
    try {
        Entry(Telegram);
    } catch (const std::exception& e) {
        FLogger->Send(vmtCaught, Name, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        FLogger->Send(vmtCaught, Name, QStringLiteral("unknown error"));
    }
}

void TEqTelegramDispatcher::HandleEq01Telegram(const TEqTelegram01& Eq01Teleg)
{
    const QString eqId = Eq01Teleg.GetEqId();
    FLogger->Send(QStringLiteral(">>"), eqId);
    SetLocationInfo();
    if (Eq01Teleg.IsCancel()) {
        HandleCancel(Eq01Teleg);
        return;
    }

    double sis = 0.0;
    double sSec = 0.0;
    if (!FDecision.CalculateEqEffect(Eq01Teleg, FLocInfo, sis, sSec)) {
        Reject(Eq01Teleg, arrForecast);
        return;
    }
    // JMA's own forecast for the user's area, where the report has one: the decision
    // takes the higher of the two, so an assumed source (whose placeholder magnitude
    // gives almost nothing here) still alerts as JMA forecasts.
    FLastAreaForecast = AreaForecastAtHome(Eq01Teleg);
    double decided = sis;
    bool plumAtHome = false;
    if (FLastAreaForecast) {
        const std::optional<double> jma = JmaAreaForecastScale(*FLastAreaForecast);
        FLogger->Send(QStringLiteral("予測震度(計算)"), TEqAlertDecision::FixedTwo(sis) + QStringLiteral(" (") +
                                                            TSeismicIntensityScale::GetScaleAsString(sis) +
                                                            QLatin1Char(')'));
        FLogger->Send(QStringLiteral("気象庁予測震度"), AreaForecastText(*FLastAreaForecast));
        if (jma && *jma > decided) {
            decided = *jma;
        }
        plumAtHome = FLastAreaForecast->IsPlum();
    }
    TAlertRejectReason reason = arrNone;
    if (!FDecision.IsAlertableEqTeleg(Eq01Teleg, decided, FSettings.GetAlertConditions(), &reason, plumAtHome)) {
        Reject(Eq01Teleg, reason);
        return;
    }

    const bool warning = Eq01Teleg.IsTargetAreaOfWarning(FLocInfo.AreaCode);
    const QString id = TEqAlertDecision::EqIdWithTelegNo(eqId, Eq01Teleg.GetTelegNo());
    if (!FAlertWindow.IsAlerting()) {
        if (FScreenSaver && FScreenSaver->IsScreenSaverRunning()) {
            FLogger->Send(QStringLiteral("Stop screen-saver."));
            FScreenSaver->StopScreenSaver();
        }
        FLogger->Send(vmtNotable, QStringLiteral("Do ALERT."), id);
        StartAlert(akNew, Eq01Teleg, sis, sSec, warning);
        return;
    }
    const bool known = FAlertWindow.IsKnownEq(eqId);
    if (known && warning && !FAlertWindow.IsEqWarning(eqId)) {
        // One earthquake keeps one history row: the upgrade rewrites it.
        FLogger->Send(vmtNotable, QStringLiteral("Do ALERT.(Forecase -> Warning)"), id);
        StartAlert(akUpgrade, Eq01Teleg, sis, sSec, warning);
        return;
    }
    const QString alertingId = FAlertWindow.GetAlertingEqId();
    FLogger->Send(vmtNotable, alertingId + QStringLiteral("() - ") + eqId + QStringLiteral("(") +
                                  QString::number(Eq01Teleg.GetTelegNo()) +
                                  QStringLiteral(") (Alert EQID - New EQID)"));
    if (known) {
        if (FAlertWindow.UpdateEq(FLocInfo, Eq01Teleg, sis, sSec, FLastAreaForecast)) {
            FLogger->Send(vmtNotable, QStringLiteral("Update alert."),
                          id + QStringLiteral(" M%1 %2km N%3 E%4 %5 %6 sec.")
                                   .arg(Eq01Teleg.GetMagnitude(), 0, 'f', 1)
                                   .arg(Eq01Teleg.GetEpicDepth())
                                   .arg(Eq01Teleg.GetEpicLat(), 0, 'f', 1)
                                   .arg(Eq01Teleg.GetEpicLong(), 0, 'f', 1)
                                   .arg(TEqAlertDecision::FixedTwo(sis))
                                   .arg(TEqAlertDecision::FixedTwo(sSec)));
            FOutcomeReported = true;
            emit alertStarted(akUpdate, Eq01Teleg, sis, sSec, FAlertWindow.IsEqWarning(eqId));
            return;
        }
        FLogger->Send(vmtNotable, QStringLiteral("SKIP alerting."), id);
        FOutcomeReported = true;
        emit alertSkipped(Eq01Teleg);
        return;
    }
    if (!FAlertWindow.IsMoreThreatening(Eq01Teleg, decided, sSec, warning)) {
        // Shown beside the coming one, never in front of it.
        FLogger->Send(vmtNotable, QStringLiteral("Concurrent earthquake."), id);
        if (!FAlertWindow.AddConcurrentEq(FLocInfo, Eq01Teleg, sis, sSec, warning, FLastAreaForecast)) {
            Reject(Eq01Teleg, arrOccurrenceTime);
            return;
        }
        CountAlert();
        FOutcomeReported = true;
        emit alertStarted(akConcurrent, Eq01Teleg, sis, sSec, warning);
        return;
    }
    FLogger->Send(vmtQueued, QStringLiteral("Do ALERT.(New earthquake)"), id);
    StartAlert(akReplace, Eq01Teleg, sis, sSec, warning);
}

void TEqTelegramDispatcher::HandleCancel(const TEqTelegram01& Eq01Teleg)
{
    const QString id = TEqAlertDecision::EqIdWithTelegNo(Eq01Teleg.GetEqId(), Eq01Teleg.GetTelegNo());
    if (FAlertWindow.IsAlerting() && FAlertWindow.CancelEq(Eq01Teleg)) {
        FLogger->Send(vmtNotable, QStringLiteral("Cancel alert."), id);
        FOutcomeReported = true;
        emit alertCancelled(Eq01Teleg);
        return;
    }
    FLogger->Send(vmtNotable, QStringLiteral("Cancel of an earthquake not alerted."), id);
    Reject(Eq01Teleg, arrUnknownCancel);
}

void TEqTelegramDispatcher::CountAlert()
{
    const qint32 alerts = Incremented(FSettings.GetNumOfTotalAlerts());
    FSettings.SetNumOfTotalAlerts(alerts);
    emit countersChanged(FSettings.GetNumOfTotalEqTelegrams(), alerts);
}

void TEqTelegramDispatcher::StartAlert(TAlertKind Kind, const TEqTelegram01& Eq01Teleg, double EstSIScale,
                                       double EstSWaveSec, bool IsWarning)
{
    const bool wasAlerting = FAlertWindow.IsAlerting();
    const bool wasWarning = FAlertWindow.IsAlertingWarning();
    FAlertWindow.SetAreaForecast(FLastAreaForecast);
    FAlertWindow.SetIsAlerting(true);
    FAlertWindow.SetIsAlertingWarning(IsWarning);
    bool started = false;
    try {
        started =
            FAlertWindow.StartAlerting(FLocInfo, Eq01Teleg, EstSIScale, EstSWaveSec, FSettings.IsAlwaysAlertSoundOn());
    } catch (...) {
        // The flags must not claim an alert that never started; the caller reports the failure.
        FAlertWindow.SetIsAlerting(wasAlerting);
        FAlertWindow.SetIsAlertingWarning(wasWarning);
        throw;
    }
    if (!started) {
        // The window kept its running alert (if any); put the flags back to match it.
        FAlertWindow.SetIsAlerting(wasAlerting);
        FAlertWindow.SetIsAlertingWarning(wasWarning);
        FLogger->Send(vmtWarning, QStringLiteral("Alert not started."),
                      TEqAlertDecision::EqIdWithTelegNo(Eq01Teleg.GetEqId(), Eq01Teleg.GetTelegNo()));
        Reject(Eq01Teleg, arrOccurrenceTime);
        return;
    }
    FAlertWindow.Show();
    CountAlert();
    FOutcomeReported = true;
    emit alertStarted(Kind, Eq01Teleg, EstSIScale, EstSWaveSec, IsWarning);
}

void TEqTelegramDispatcher::Reject(const TEqTelegram01& Eq01Teleg, TAlertRejectReason Reason)
{
    FOutcomeReported = true;
    emit telegramRejected(Eq01Teleg, Reason);
}

void TEqTelegramDispatcher::WMEq10Queued()
{
    // The length is read under the lock, so it never races with an append.
    QMutexLocker lock(&FQueues.Lock);
    const std::size_t n = FQueues.Eq10.size();
    FLogger->Send(QStringLiteral("10 Queued."), static_cast<qint64>(n));
    for (std::size_t i = 0; i < n && !FQueues.Eq10.empty(); ++i) {
        const TEqTelegram10 teleg = FQueues.Eq10.front();
        FQueues.Eq10.pop_front();
        try {
            const QString eqId = teleg.GetEqId();
            // An empty id names no earthquake, also not "no alert yet".
            if (!eqId.isEmpty() && FAlertWindow.IsKnownEq(eqId)) {
                FLogger->Send(eqId, teleg.GetEpicName());
                FAlertWindow.SetAlertEq10Telegram(teleg);
                emit epicentreNamed(teleg);
            } else if (!eqId.isEmpty()) {
                // Its report may qualify later (or be queued behind this line).
                FAlertWindow.KeepEarlyEq10Telegram(teleg);
            }
        } catch (const std::exception& e) {
            FLogger->Send(vmtCaught, QStringLiteral("WMEq10Queued()"), QString::fromLocal8Bit(e.what()));
        } catch (...) {
            FLogger->Send(vmtCaught, QStringLiteral("WMEq10Queued()"), QStringLiteral("unknown error"));
        }
        CallPlugIn(FOnEq10Queued, QStringLiteral("VpiEq10Queued()"), teleg.GetTelegram());
    }
}

void TEqTelegramDispatcher::WMEq11Queued()
{
    QMutexLocker lock(&FQueues.Lock);
    TakeAreaForecasts();
}

void TEqTelegramDispatcher::TakeAreaForecasts()
{
    while (!FQueues.Eq11.empty()) {
        const TEqTelegram11 teleg = FQueues.Eq11.front();
        FQueues.Eq11.pop_front();
        const QString key = AreaForecastKey(teleg.GetEqId(), teleg.GetTelegNo());
        FLogger->Send(QStringLiteral("11 Queued."), key);
        if (!FAreaForecasts.contains(key)) {
            FAreaForecastOrder.push_back(key);
        }
        FAreaForecasts.insert(key, teleg);
        if (teleg.IsFinal()) {
            FAlertWindow.MarkFinal(teleg.GetEqId());
        }
        while (FAreaForecastOrder.size() > MaxAreaForecasts) {
            FAreaForecasts.remove(FAreaForecastOrder.front());
            FAreaForecastOrder.pop_front();
        }
    }
}

std::optional<TEqAreaForecast> TEqTelegramDispatcher::AreaForecastAtHome(const TEqTelegram01& Eq01Teleg) const
{
    const auto found = FAreaForecasts.constFind(AreaForecastKey(Eq01Teleg.GetEqId(), Eq01Teleg.GetTelegNo()));
    if (found == FAreaForecasts.constEnd()) {
        return std::nullopt;
    }
    return found->FindArea(FLocInfo.AreaCode);
}

QString TEqTelegramDispatcher::ServerCommHint(TServerCommStatus Status)
{
    switch (Status) {
    case scsDisconnected:
        return QStringLiteral("未接続 - サーバーと接続されていません。");
    case scsConnected:
        return QStringLiteral("接続中 - 緊急地震速報の受信待機中です。");
    case scsWaiting:
        return QStringLiteral("再接続待機中 - 一定時間後、再接続を行います。");
    }
    return QString();
}

void TEqTelegramDispatcher::OnServerCommStatus(TServerCommStatus ANewStatus)
{
    SetServerCommStatus(ANewStatus);
    PutServerCommStatus();
}

void TEqTelegramDispatcher::SetServerCommStatus(TServerCommStatus ANewStatus)
{
    FLogger->EnterMethod(QStringLiteral("SetServerCommStatus()"));
    FLogger->Send(
        QString::asprintf("Cur. %d -> New. %d", static_cast<int>(FServerCommStatus), static_cast<int>(ANewStatus)));
    FServerCommStatus = ANewStatus;
    FLogger->ExitMethod(QStringLiteral("SetServerCommStatus()"));
}

void TEqTelegramDispatcher::PutServerCommStatus()
{
    FLogger->EnterMethod(QStringLiteral("PutServerCommStatus"));
    FLogger->Send(QStringLiteral("ServerCommStatus"), static_cast<int>(FServerCommStatus));
    const QString hint = ServerCommHint(FServerCommStatus);
    if (!hint.isEmpty()) {
        FServerCommHint = hint;
    }
    emit serverCommStatusChanged(FServerCommStatus, FServerCommHint);
    FLogger->ExitMethod(QStringLiteral("PutServerCommStatus"));
}
