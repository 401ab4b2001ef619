#include "app/console/VeskSignalHandler.h"

#include "defines/VeskPlatform.h"

#include <QSocketNotifier>

TVeskSignalHandler::TVeskSignalHandler(QObject* Parent) : QObject(Parent)
{
    const qintptr fd = VeskInstallTerminationHook();
    if (fd < 0) {
        return;
    }
    FNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TVeskSignalHandler::Activated);
}

TVeskSignalHandler::~TVeskSignalHandler()
{
    VeskRemoveTerminationHook();
}

void TVeskSignalHandler::Activated()
{
    if (const int signalNumber = VeskTakeTerminationRequest()) {
        emit TerminationRequested(signalNumber);
    }
}
