#include "TestSupport.h"

#include "defines/EqTelegramLines.h"

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
    TEqTelegram01Fields f;
    f.Type = F.Type;
    f.TrainType = F.TrainType;
    f.PresentTime = F.PresentTime;
    f.OccurrenceTime = F.OccurrenceTime;
    f.EqId = F.EqId;
    f.ReportKind = F.Final ? QStringLiteral("9") : QStringLiteral(" ");
    f.Serial = F.TelegNo;
    f.Latitude = QLatin1Char('N') + F.Lat;
    f.Longitude = QLatin1Char('E') + F.Lng;
    f.Depth = F.Depth;
    f.Magnitude = F.Mag;
    f.Accuracy = F.Accuracy;
    f.AreaCodes = QStringList{F.Areas};
    return LayOutEqTelegram01(f);
}

QString Eq10Line(const QString& EqId, const QString& Name, int TelegNo)
{
    return QStringLiteral("10") + EqId + QLatin1Char(' ') + QString::asprintf("%02d", TelegNo) + QStringLiteral("791") +
           Name;
}

} // namespace UlxTest
