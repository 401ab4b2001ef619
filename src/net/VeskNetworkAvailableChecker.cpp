#include "net/VeskNetworkAvailableChecker.h"

#include "logging/VeskLogging.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QNetworkInformation>
#include <QNetworkInterface>

namespace {
constexpr qint64 InterfaceAnswerLifeMs = 500;

TNetCheckResult FromReachability(int AReachability)
{
    switch (static_cast<QNetworkInformation::Reachability>(AReachability)) {
    case QNetworkInformation::Reachability::Disconnected:
        return ncrUnavailable;
    case QNetworkInformation::Reachability::Local:
    case QNetworkInformation::Reachability::Site:
    case QNetworkInformation::Reachability::Online:
        return ncrAvailable;
    case QNetworkInformation::Reachability::Unknown:
        break;
    }
    return ncrQueryFailed;
}

// Loads the default backend, else any backend that reports reachability. A
// missing backend is not an error: the interface list answers instead.
QNetworkInformation* LoadNetworkInformation()
{
    if (!QCoreApplication::instance()) {
        return nullptr;
    }
    if (QNetworkInformation* info = QNetworkInformation::instance()) {
        return info;
    }
    if (!QNetworkInformation::loadDefaultBackend() ||
        !QNetworkInformation::instance()->supports(QNetworkInformation::Feature::Reachability)) {
        QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
    }
    QNetworkInformation* info = QNetworkInformation::instance();
    if (info && !info->supports(QNetworkInformation::Feature::Reachability)) {
        return nullptr;
    }
    return info;
}
} // namespace

TVeskNetworkAvailableChecker::TVeskNetworkAvailableChecker(const QString& AServerHost, TVeskLogger* ALogger,
                                                           bool AUseNetworkInformation)
    : FLoopbackServer(IsLoopbackHost(AServerHost))
{
    ALogger = TVeskLogger::OrNull(ALogger);
    QString backendName;
    // A loopback server never asks the platform, so its service is not even loaded.
    if (AUseNetworkInformation && !FLoopbackServer) {
        if (QNetworkInformation* info = LoadNetworkInformation()) {
            backendName = info->backendName();
            FReachability.store(static_cast<int>(info->reachability()));
            FReachabilityConnection = QObject::connect(
                info, &QNetworkInformation::reachabilityChanged,
                [this](QNetworkInformation::Reachability ANew) { FReachability.store(static_cast<int>(ANew)); });
            FNetInfoConnected = true;
        }
    }
    if (!FLoopbackServer) {
        if (FNetInfoConnected) {
            ALogger->Send(QStringLiteral("Detect network information backend \"%1\". Using QNetworkInformation.")
                              .arg(backendName));
        } else {
            ALogger->Send(QStringLiteral("Detect no network information backend. Using QNetworkInterface."));
        }
    }
    if (FLoopbackServer) {
        ALogger->Send(QStringLiteral("EQ server is on the loopback interface; network always available."), AServerHost);
    }
}

TVeskNetworkAvailableChecker::~TVeskNetworkAvailableChecker()
{
    QObject::disconnect(FReachabilityConnection);
}

bool TVeskNetworkAvailableChecker::IsLoopbackHost(const QString& AHost)
{
    const QString host = AHost.trimmed();
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

bool TVeskNetworkAvailableChecker::IsAvailableInternet()
{
    return CheckNetwork() == ncrAvailable;
}

TNetCheckResult TVeskNetworkAvailableChecker::CheckNetwork(QString* AError)
{
    if (FLoopbackServer) {
        return ncrAvailable;
    }
    if (FNetInfoConnected) {
        const TNetCheckResult answer = FromReachability(FReachability.load());
        if (answer != ncrQueryFailed) {
            return answer;
        }
        // The service does not know (yet): the interface list decides.
    }
    return CheckInterfacesCached(AError);
}

TNetCheckResult TVeskNetworkAvailableChecker::CheckInterfacesCached(QString* AError)
{
    if (!FInterfaceAge.isValid() || FInterfaceAge.elapsed() >= InterfaceAnswerLifeMs) {
        FInterfaceAnswer = CheckInterfaces(&FInterfaceError);
        FInterfaceAge.start();
    }
    if (AError && FInterfaceAnswer == ncrQueryFailed) {
        *AError = FInterfaceError;
    }
    return FInterfaceAnswer;
}

TNetCheckResult TVeskNetworkAvailableChecker::CheckInterfaces(QString* AError)
{
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    if (interfaces.isEmpty()) {
        // Not even the loopback interface: the list itself could not be read.
        if (AError) {
            *AError = QStringLiteral("The network interfaces could not be listed.");
        }
        return ncrQueryFailed;
    }
    for (const QNetworkInterface& item : interfaces) {
        const auto flags = item.flags();
        if (flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning) &&
            !flags.testFlag(QNetworkInterface::IsLoopBack) && !item.addressEntries().isEmpty()) {
            return ncrAvailable;
        }
    }
    return ncrUnavailable;
}
