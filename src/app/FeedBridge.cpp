#include "app/FeedBridge.h"

#include "logging/VeskLogging.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

TVeskFeedBridge::TVeskFeedBridge(const QString& AProgram, const QStringList& ASources, TVeskLogger* ALogger,
                                 QObject* AParent)
    : QObject(AParent), FProgram(AProgram), FSources(ASources), FLogger(TVeskLogger::OrNull(ALogger))
{
    FProcess.setProcessChannelMode(QProcess::SeparateChannels);
    FProcess.setStandardOutputFile(QProcess::nullDevice());
    FRestartTimer.setSingleShot(true);
    FRestartTimer.setInterval(RestartDelayMs);
    connect(&FRestartTimer, &QTimer::timeout, this, [this] {
        if (FStopping) {
            return;
        }
        if (Launch(FPort)) {
            emit restarted();
        } else {
            FRestartTimer.start();
        }
    });
    connect(&FProcess, &QProcess::readyReadStandardError, this, &TVeskFeedBridge::ReadErr);
    connect(&FProcess, &QProcess::finished, this, [this](int ACode, QProcess::ExitStatus AStatus) {
        if (FStopping) {
            return;
        }
        FLogger->Send(vmtWarning, QStringLiteral("eqbridge ended; restarting."),
                      QStringLiteral("exit %1%2").arg(ACode).arg(AStatus == QProcess::CrashExit ? " (crash)" : ""));
        FRestartTimer.start();
    });
}

TVeskFeedBridge::~TVeskFeedBridge()
{
    Stop();
}

bool TVeskFeedBridge::Launch(int APort)
{
    QStringList args{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(APort)};
    for (const QString& source : FSources) {
        args << QStringLiteral("--source") << source;
    }
    FPartial.clear();
    FProcess.start(FProgram, args);
    if (!FProcess.waitForStarted(StartTimeoutMs)) {
        FLogger->Send(vmtWarning, QStringLiteral("eqbridge not started."), FProcess.errorString());
        return false;
    }
    // Until it says where it listens (the port is its to pick on the first start);
    // ReadErr sees the line, whether from this wait or from the signal.
    FListening = 0;
    const QDeadlineTimer deadline(StartTimeoutMs);
    while (FListening == 0 && !deadline.hasExpired() && FProcess.state() == QProcess::Running) {
        FProcess.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        ReadErr();
    }
    if (FListening > 0) {
        FPort = FListening;
        FLogger->Send(vmtNotable, QStringLiteral("eqbridge listening."), FPort);
        return true;
    }
    FLogger->Send(vmtWarning, QStringLiteral("eqbridge did not listen."), FProcess.errorString());
    FStopping = true;
    FProcess.kill();
    FProcess.waitForFinished(3000);
    FStopping = false;
    return false;
}

int TVeskFeedBridge::Start()
{
    FStopping = false;
    return Launch(0) ? FPort : 0;
}

void TVeskFeedBridge::ReadErr()
{
    FPartial += FProcess.readAllStandardError();
    qsizetype end;
    while ((end = FPartial.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(FPartial.left(end)).trimmed();
        FPartial.remove(0, end + 1);
        if (line.isEmpty()) {
            continue;
        }
        FLogger->Send(QStringLiteral("eqbridge"), VeskEscapeControlChars(line));
        static const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
        if (const QRegularExpressionMatch m = listening.match(line); m.hasMatch()) {
            FListening = m.captured(1).toInt();
        }
    }
    if (FPartial.size() > 64 * 1024) {
        FPartial.clear(); // an endless line is not kept
    }
}

void TVeskFeedBridge::Stop()
{
    FStopping = true;
    FRestartTimer.stop();
    if (FProcess.state() == QProcess::NotRunning) {
        return;
    }
    FProcess.terminate();
    if (!FProcess.waitForFinished(3000)) {
        FProcess.kill();
        FProcess.waitForFinished(3000);
    }
    FLogger->Send(QStringLiteral("eqbridge stopped."));
}
