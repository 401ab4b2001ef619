#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>

class TVeskLogger;

// The relay of the public feeds (eqbridge) as a child of the receiver: started on
// a free loopback port, restarted on the same port if it ends, stopped at exit.
// Its messages go to the log. Main thread only.
class TVeskFeedBridge : public QObject
{
    Q_OBJECT

public:
    static constexpr int StartTimeoutMs = 10000;
    static constexpr int RestartDelayMs = 1000;

    TVeskFeedBridge(const QString& AProgram, const QStringList& ASources, TVeskLogger* ALogger,
                    QObject* AParent = nullptr);
    ~TVeskFeedBridge() override;

    // Starts the relay and waits (at most StartTimeoutMs) until it listens; its
    // port, or 0 when it cannot be started (the reason is logged).
    int Start();
    void Stop();
    int Port() const { return FPort; }

signals:
    // A restarted relay listens again on the same port.
    void restarted();

private:
    bool Launch(int APort);
    void ReadErr();

    QString FProgram;
    QStringList FSources;
    TVeskLogger* FLogger;
    QProcess FProcess;
    QTimer FRestartTimer;
    QByteArray FPartial;
    int FPort = 0;
    int FListening = 0; // the port its last "listening on" line named
    bool FStopping = false;
};
