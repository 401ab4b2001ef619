#pragma once

#include "alert/EqAlertController.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>

#include <optional>

class TVeskLogger;

// The alert as a desktop notification (freedesktop Notifications on the session
// bus), seen wherever the user is: shown with critical urgency for a new alert,
// replaced when another earthquake becomes primary, on an upgrade, an update and
// a cancel, closed when the alert is closed or its earthquake ends. Calls never
// wait: the service's answers come back later, and a request made meanwhile is
// sent once the id is known. Without a bus or a service nothing is shown. Main
// thread only.
class TVeskDesktopNotifier : public QObject
{
    Q_OBJECT

public:
    static constexpr const char* Service = "org.freedesktop.Notifications";
    static constexpr const char* Path = "/org/freedesktop/Notifications";

    TVeskDesktopNotifier(TEqAlertController& AController, TVeskLogger* ALogger,
                         const QDBusConnection& ABus = QDBusConnection::sessionBus(), QObject* AParent = nullptr);

    void SetEnabled(bool AValue);
    bool IsEnabled() const { return FEnabled; }
    // The notification's texts for an alert: summary (the header's class) and body
    // ("熊本県熊本地方 震度６弱 M6.5 到達予想 21:27:14").
    static QString BodyText(const TEqAlertStart& AStart);

private:
    struct TRequest
    {
        QString Summary;
        QString Body;
        int Urgency = 2;
    };

    static QDBusMessage MethodCall(const QString& AMethod);
    void ShowFor(const TEqAlertStart& AStart);
    void Request(const TRequest& ARequest);
    void Send(const TRequest& ARequest);
    void Close();

    TEqAlertController& FController;
    TVeskLogger* FLogger;
    QDBusConnection FBus;
    bool FEnabled = true;
    QString FEqId; // the earthquake the notification is about
    std::optional<TEqAlertStart> FShown;
    uint FId = 0;           // the service's id; 0 before the first answer
    bool FInFlight = false; // a Notify call is waiting for its answer
    std::optional<TRequest> FNext;
    bool FCloseAfter = false; // closed while the call was in flight
    bool FReportedMissing = false;
};
