#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a queued Qt signal on the main thread,
// so that a service stop or a logout runs the same orderly shutdown as the
// exit command.
class TVeskSignalHandler : public QObject
{
    Q_OBJECT

public:
    explicit TVeskSignalHandler(QObject* Parent = nullptr);
    ~TVeskSignalHandler() override;

    bool IsInstalled() const { return FNotifier != nullptr; }

signals:
    void TerminationRequested(int SignalNumber);

private:
    void Activated();

    QSocketNotifier* FNotifier = nullptr;
};
