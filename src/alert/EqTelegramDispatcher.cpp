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

    double sis = 0.0;
    double sSec = 0.0;
    if (!FDecision.CalculateEqEffect(Eq01Teleg, FLocInfo, sis, sSec)) {
        Reject(Eq01Teleg, arrForecast);
        return;
    }
    TAlertRejectReason reason = arrNone;
    if (!FDecision.IsAlertableEqTeleg(Eq01Teleg, sis, FSettings.GetAlertConditions(), &reason)) {
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
    if (warning && !FAlertWindow.IsAlertingWarning()) {
        FLogger->Send(vmtNotable, QStringLiteral("Do ALERT.(Forecase -> Warning)"), id);
        FAlertWindow.RegisterAlertingEqInfo();
        StartAlert(akUpgrade, Eq01Teleg, sis, sSec, warning);
        return;
    }
    const QString alertingId = FAlertWindow.GetAlertingEqId();
    FLogger->Send(vmtNotable, alertingId + QStringLiteral("() - ") + eqId + QStringLiteral("(") +
                                  QString::number(Eq01Teleg.GetTelegNo()) +
                                  QStringLiteral(") (Alert EQID - New EQID)"));
    if (alertingId == eqId) {
        FLogger->Send(vmtNotable, QStringLiteral("SKIP alerting."), id);
        FOutcomeReported = true;
        emit alertSkipped(Eq01Teleg);
        return;
    }
    FLogger->Send(vmtQueued, QStringLiteral("Do ALERT.(New earthquake)"), id);
    FAlertWindow.RegisterAlertingEqInfo();
    StartAlert(akReplace, Eq01Teleg, sis, sSec, warning);
}

void TEqTelegramDispatcher::StartAlert(TAlertKind Kind, const TEqTelegram01& Eq01Teleg, double EstSIScale,
                                       double EstSWaveSec, bool IsWarning)
{
    const bool wasAlerting = FAlertWindow.IsAlerting();
    const bool wasWarning = FAlertWindow.IsAlertingWarning();
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
    const qint32 alerts = Incremented(FSettings.GetNumOfTotalAlerts());
    FSettings.SetNumOfTotalAlerts(alerts);
    emit countersChanged(FSettings.GetNumOfTotalEqTelegrams(), alerts);
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
            const QString alertingId = FAlertWindow.GetAlertingEqId();
            // An empty id names no earthquake, also not "no alert yet".
            if (!alertingId.isEmpty() && eqId == alertingId) {
                FLogger->Send(eqId, teleg.GetEpicName());
                FAlertWindow.SetAlertEq10Telegram(teleg);
                emit epicentreNamed(teleg);
            }
        } catch (const std::exception& e) {
            FLogger->Send(vmtCaught, QStringLiteral("WMEq10Queued()"), QString::fromLocal8Bit(e.what()));
        } catch (...) {
            FLogger->Send(vmtCaught, QStringLiteral("WMEq10Queued()"), QStringLiteral("unknown error"));
        }
        CallPlugIn(FOnEq10Queued, QStringLiteral("VpiEq10Queued()"), teleg.GetTelegram());
    }
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
