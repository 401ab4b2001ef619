#include "app/console/DesktopNotifier.h"

#include "logging/VeskLogging.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDateTime>

TVeskDesktopNotifier::TVeskDesktopNotifier(TEqAlertController& AController, TVeskLogger* ALogger,
                                           const QDBusConnection& ABus, QObject* AParent)
    : QObject(AParent), FController(AController), FLogger(TVeskLogger::OrNull(ALogger)), FBus(ABus)
{
    connect(&FController, &TEqAlertController::alertStarted, this, &TVeskDesktopNotifier::ShowFor);
    connect(&FController, &TEqAlertController::epicentreNamed, this, [this](const TEqTelegram10& AEq10) {
        if (FShown && AEq10.GetEqId() == FEqId && FController.HeaderCaption() != TEqAlertController::CancelCaption()) {
            FShown->Eq10Teleg = AEq10;
            Request(TRequest{FController.HeaderCaption(), BodyText(*FShown), 2});
        }
    });
    connect(&FController, &TEqAlertController::eqCancelled, this, [this](const TEqTelegram01& AEq01) {
        if (FShown && AEq01.GetEqId() == FEqId) {
            Request(TRequest{TEqAlertController::CancelCaption(),
                             BodyText(*FShown) + QStringLiteral("\nこの緊急地震速報は取り消されました"), 1});
        }
    });
    connect(&FController, &TEqAlertController::eqEnded, this, [this](const TEqTelegram01& AEq01, TEqEndReason AReason) {
        // A cancel stays on show until the alert is closed.
        if (AEq01.GetEqId() == FEqId && AReason != erCancelled) {
            Close();
        }
    });
    connect(&FController, &TEqAlertController::alertStopped, this, &TVeskDesktopNotifier::Close);
}

QDBusMessage TVeskDesktopNotifier::MethodCall(const QString& AMethod)
{
    return QDBusMessage::createMethodCall(QString::fromLatin1(Service), QString::fromLatin1(Path),
                                          QString::fromLatin1(Service), AMethod);
}

void TVeskDesktopNotifier::SetEnabled(bool AValue)
{
    FEnabled = AValue;
    if (!FEnabled) {
        Close();
    }
}

QString TVeskDesktopNotifier::BodyText(const TEqAlertStart& AStart)
{
    const TEqTelegram01& t = AStart.Eq01Teleg;
    QString where = AStart.Eq10Teleg.GetEqId() == t.GetEqId() ? AStart.Eq10Teleg.GetEpicName().trimmed() : QString();
    if (where.isEmpty()) {
        where = QString::asprintf("北緯%.1f 東経%.1f", t.GetEpicLat(), t.GetEpicLong());
    }
    QString body = QStringLiteral("%1 震度%2 M%3")
                       .arg(where, TSeismicIntensityScale::GetScaleAsString(AStart.EstSIS))
                       .arg(t.GetMagnitude(), 0, 'f', 1);
    if (const std::optional<qint64> occurred = TAlertTiming::ParseOccurrenceTime(t.GetOccurrenceTime())) {
        const qint64 arrival = *occurred + qint64(RoundHalfEven(AStart.EstSec)) * 1000;
        body += QStringLiteral(" 到達予想 ") +
                QDateTime::fromMSecsSinceEpoch(arrival, Qt::UTC).toString(QStringLiteral("HH:mm:ss"));
    }
    return body;
}

void TVeskDesktopNotifier::ShowFor(const TEqAlertStart& AStart)
{
    FEqId = AStart.Eq01Teleg.GetEqId();
    FShown = AStart;
    Request(TRequest{FController.HeaderCaption(), BodyText(AStart), 2});
}

void TVeskDesktopNotifier::Request(const TRequest& ARequest)
{
    if (!FEnabled || !FBus.isConnected() || FController.IsQuiet()) {
        return;
    }
    FCloseAfter = false;
    if (FInFlight) {
        FNext = ARequest; // sent with the id the answer brings
        return;
    }
    Send(ARequest);
}

void TVeskDesktopNotifier::Send(const TRequest& ARequest)
{
    QDBusMessage call = MethodCall(QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(ARequest.Urgency)));
    hints.insert(QStringLiteral("category"), QStringLiteral("im.received"));
    call << QStringLiteral("Ulmaro X") << FId << QStringLiteral("dialog-warning") << ARequest.Summary << ARequest.Body
         << QStringList() << hints << int(0);
    FInFlight = true;
    auto* watcher = new QDBusPendingCallWatcher(FBus.asyncCall(call, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* AWatcher) {
        AWatcher->deleteLater();
        FInFlight = false;
        const QDBusPendingReply<uint> reply = *AWatcher;
        if (reply.isError()) {
            if (!FReportedMissing) {
                FReportedMissing = true;
                FLogger->Send(vmtWarning, QStringLiteral("No desktop notification."), reply.error().message());
            }
            FNext.reset();
            return;
        }
        FId = reply.value();
        if (FCloseAfter) {
            FCloseAfter = false;
            Close();
        } else if (FNext) {
            const TRequest next = *FNext;
            FNext.reset();
            Send(next);
        }
    });
}

void TVeskDesktopNotifier::Close()
{
    FShown.reset();
    FEqId.clear();
    FNext.reset();
    if (FInFlight) {
        FCloseAfter = true;
        return;
    }
    if (FId == 0 || !FBus.isConnected()) {
        return;
    }
    QDBusMessage call = MethodCall(QStringLiteral("CloseNotification"));
    call << FId;
    FBus.asyncCall(call, 2000);
    FId = 0;
}
