#pragma once

#include <QElapsedTimer>
#include <QMetaObject>
#include <QString>

#include <atomic>

class TVeskLogger;

// Answer of one connectivity query.
enum TNetCheckResult
{
    ncrAvailable = 0,   // connected to some network
    ncrUnavailable = 1, // no network connection
    ncrQueryFailed = 2  // the system could not be asked; treated like a link error
};

// Answers whether the computer is connected to a network right now, cheaply
// enough to be asked on every pass of the receive loop. Asks the platform's
// network information service (default backend, else any backend that reports
// reachability) and falls back to the interface list. A server on the loopback
// interface is always reachable, so the local simulator works without a network.
// Create it on the main thread; query it from any one thread.
class TVeskNetworkAvailableChecker
{
public:
    explicit TVeskNetworkAvailableChecker(const QString& AServerHost = QString(), TVeskLogger* ALogger = nullptr,
                                          bool AUseNetworkInformation = true);
    ~TVeskNetworkAvailableChecker();
    TVeskNetworkAvailableChecker(const TVeskNetworkAvailableChecker&) = delete;
    TVeskNetworkAvailableChecker& operator=(const TVeskNetworkAvailableChecker&) = delete;

    bool IsAvailableInternet();
    // Like IsAvailableInternet, but tells a failed query apart; AError gets its reason.
    TNetCheckResult CheckNetwork(QString* AError = nullptr);

    bool IsLoopbackServer() const { return FLoopbackServer; }
    // True when the network information service answers (rather than the interface list).
    bool IsUsingNetworkInformation() const { return FNetInfoConnected; }

    // True when AHost names this machine's loopback interface ("localhost", 127.x.x.x, ::1).
    static bool IsLoopbackHost(const QString& AHost);
    // Any interface that is up, running, not loopback and has an address.
    static TNetCheckResult CheckInterfaces(QString* AError = nullptr);

private:
    TNetCheckResult CheckInterfacesCached(QString* AError);

    bool FLoopbackServer = false;
    bool FNetInfoConnected = false;
    // Last reachability reported by the service, updated from its change signal.
    std::atomic<int> FReachability{0};
    QMetaObject::Connection FReachabilityConnection;
    // Listing interfaces costs a netlink round trip: the answer is reused briefly.
    QElapsedTimer FInterfaceAge;
    TNetCheckResult FInterfaceAnswer = ncrUnavailable;
    QString FInterfaceError;
};
