#include "app/VeskSignalHandler.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int GSignalFds[2] = {-1, -1};

void OnSignal(int SignalNumber)
{
    // Only async-signal-safe work here: one byte through the socket pair.
    const unsigned char byte = static_cast<unsigned char>(SignalNumber);
    [[maybe_unused]] const ssize_t written = ::write(GSignalFds[0], &byte, 1);
}
} // namespace

TVeskSignalHandler::TVeskSignalHandler(QObject* Parent) : QObject(Parent)
{
    if (GSignalFds[0] < 0) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, GSignalFds) != 0) {
            GSignalFds[0] = GSignalFds[1] = -1;
            return;
        }
        ::fcntl(GSignalFds[0], F_SETFL, O_NONBLOCK);
    }
    FNotifier = new QSocketNotifier(GSignalFds[1], QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TVeskSignalHandler::Activated);

    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(sig, &action, nullptr);
    }
}

TVeskSignalHandler::~TVeskSignalHandler()
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(sig, &action, nullptr);
    }
}

void TVeskSignalHandler::Activated()
{
    unsigned char byte = 0;
    if (::read(GSignalFds[1], &byte, 1) == 1) {
        emit TerminationRequested(byte);
    }
}
