#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>

namespace UlxTest {

bool WaitUntil(const std::function<bool()>& APredicate, int ATimeoutMs)
{
    QDeadlineTimer deadline(ATimeoutMs);
    QTimer wake;
    wake.start(5);
    while (!APredicate()) {
        if (deadline.hasExpired()) {
            return APredicate();
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void RunFor(int AMs)
{
    WaitUntil([] { return false; }, AMs);
}

TProgramRun RunProgram(const QString& AProgram, const QStringList& AArgs, const QProcessEnvironment& AEnv,
                       int ATimeoutMs)
{
    QProcess process;
    process.setProcessEnvironment(AEnv);
    process.start(AProgram, AArgs);
    TProgramRun run;
    if (!process.waitForStarted(10000) || !process.waitForFinished(ATimeoutMs)) {
        run.Error = QStringLiteral("did not run: ") + process.errorString();
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.Out = process.readAllStandardOutput();
    run.Err = process.readAllStandardError();
    if (process.exitStatus() == QProcess::NormalExit) {
        run.ExitCode = process.exitCode();
    } else {
        run.Error = QStringLiteral("crashed");
    }
    return run;
}

QList<QByteArray> OutputLines(const QByteArray& AOutput)
{
    QList<QByteArray> lines = AOutput.split('\n');
    lines.removeAll(QByteArray());
    return lines;
}

QByteArray ReadBytes(const QString& APath)
{
    QFile file(APath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteBytes(const QString& APath, const QByteArray& ABytes)
{
    QFile file(APath);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(ABytes) == ABytes.size();
}

bool TCapturedLog::Has(const QString& APrefix) const
{
    for (const QString& line : Lines()) {
        if (line.startsWith(APrefix)) {
            return true;
        }
    }
    return false;
}

QString Eq01Line(const TEq01Fields& F)
{
    return QStringLiteral("01") + F.Type + F.TrainType + F.PresentTime + F.OccurrenceTime + F.EqId +
           QLatin1Char(F.Final ? '9' : ' ') + QString::asprintf("%02d", F.TelegNo) + QLatin1Char('N') + F.Lat +
           QLatin1Char('E') + F.Lng + F.Depth + F.Mag + F.Accuracy + F.Areas;
}

QString Eq10Line(const QString& EqId, const QString& Name, int TelegNo)
{
    return QStringLiteral("10") + EqId + QLatin1Char(' ') + QString::asprintf("%02d", TelegNo) + QStringLiteral("791") +
           Name;
}

} // namespace UlxTest
