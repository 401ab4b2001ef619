#include "NetTestSupport.h"
#include "logging/VeskLogTestMemo.h"
#include "logging/VeskLogging.h"
#include "net/VeskNetworkAvailableChecker.h"

#include <QCoreApplication>
#include <QNetworkInterface>

#include <gtest/gtest.h>

namespace {

TEST(NetworkAvailableChecker, LoopbackHostsAreRecognised)
{
    const struct
    {
        const char* Host;
        bool Loopback;
    } cases[] = {
        {"127.0.0.1", true}, {"127.1.2.3", true},   {"::1", true},          {"localhost", true},
        {"LocalHost", true}, {" 127.0.0.1 ", true}, {"192.168.0.1", false}, {"eq.example.org", false},
        {"", false},         {"::", false},         {"0.0.0.0", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TVeskNetworkAvailableChecker::IsLoopbackHost(QString::fromLatin1(c.Host)), c.Loopback) << c.Host;
    }
}

TEST(NetworkAvailableChecker, LoopbackServerIsAlwaysAvailable)
{
    TVeskNetworkAvailableChecker checker(QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(checker.IsLoopbackServer());
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(checker.IsAvailableInternet());
        EXPECT_EQ(checker.CheckNetwork(), ncrAvailable);
    }
}

TEST(NetworkAvailableChecker, InterfaceListAnswersWithoutTheInformationService)
{
    // The expected answer, computed independently from the interface list.
    bool anyUsable = false;
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
        const auto f = i.flags();
        anyUsable = anyUsable || (f.testFlag(QNetworkInterface::IsUp) && f.testFlag(QNetworkInterface::IsRunning) &&
                                  !f.testFlag(QNetworkInterface::IsLoopBack) && !i.addressEntries().isEmpty());
    }
    TVeskCaptureMemo memo;
    TVeskLogger logger(QString(), QString(), &memo);
    TVeskNetworkAvailableChecker checker(QStringLiteral("192.0.2.10"), &logger, false);
    EXPECT_FALSE(checker.IsUsingNetworkInformation());
    EXPECT_EQ(checker.IsAvailableInternet(), anyUsable);
    EXPECT_EQ(TVeskNetworkAvailableChecker::CheckInterfaces(), anyUsable ? ncrAvailable : ncrUnavailable);
    EXPECT_EQ(memo.LinesWithoutTimeStamp(),
              QStringList{QStringLiteral("Detect no network information backend. Using QNetworkInterface.")});
}

TEST(NetworkAvailableChecker, InformationServiceIsOptionalAndCheap)
{
    // Whatever backend this machine offers (possibly none), the answer is a plain yes or no.
    TVeskNetworkAvailableChecker checker(QStringLiteral("192.0.2.10"));
    const TNetCheckResult first = checker.CheckNetwork();
    EXPECT_TRUE(first == ncrAvailable || first == ncrUnavailable) << first;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(checker.CheckNetwork(), first);
    }
    EXPECT_LT(timer.elapsed(), 500) << "asked on every pass of the receive loop";
}

} // namespace
