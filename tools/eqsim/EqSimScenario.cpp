#include "EqSimScenario.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool LoadEqSimScenario(const QString& AFileName, QList<TEqSimLine>& ALines, QString& AError)
{
    const QFileInfo info(AFileName);
    // A device or a pipe never ends (/dev/zero) or blocks: only regular files are read.
    if (info.exists() && !info.isFile()) {
        AError = QStringLiteral("scenario '%1' is not a regular file").arg(AFileName);
        return false;
    }
    QFile file(AFileName);
    if (!file.open(QIODevice::ReadOnly)) {
        AError = QStringLiteral("cannot read scenario '%1': %2").arg(AFileName, file.errorString());
        return false;
    }
    // One byte past the limit tells a file too large, also one that grew after the check.
    const QByteArray text = file.read(EqSimMaxScenarioBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        AError = QStringLiteral("cannot read scenario '%1': %2").arg(AFileName, file.errorString());
        return false;
    }
    if (text.size() > EqSimMaxScenarioBytes) {
        AError = QStringLiteral("scenario '%1' is larger than %2 MiB").arg(AFileName).arg(EqSimMaxScenarioBytes >> 20);
        return false;
    }
    return ParseEqSimScenario(text, AFileName, ALines, AError);
}

bool ParseEqSimScenario(const QByteArray& AText, const QString& AFileName, QList<TEqSimLine>& ALines, QString& AError)
{
    ALines.clear();
    const QList<QByteArray> rows = AText.split('\n');
    for (int i = 0; i < rows.size(); ++i) {
        QByteArray row = rows.at(i);
        if (row.endsWith('\r')) {
            row.chop(1);
        }
        const QByteArray trimmed = row.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith('#')) {
            continue;
        }
        const qsizetype blank = row.indexOf(' ');
        const QByteArray delay = blank < 0 ? row : row.left(blank);
        bool ok = delay.size() > 1 && delay.at(0) == '+';
        qint64 ms = 0;
        if (ok) {
            for (qsizetype k = 1; k < delay.size() && ok; ++k) {
                ok = delay.at(k) >= '0' && delay.at(k) <= '9';
            }
            ms = ok ? delay.mid(1).toLongLong(&ok) : 0;
            ok = ok && ms <= 24LL * 3600 * 1000;
        }
        if (!ok) {
            AError = QStringLiteral("%1:%2: malformed delay '%3' (expected '+<milliseconds> <line>')")
                         .arg(AFileName)
                         .arg(i + 1)
                         .arg(QString::fromUtf8(delay.left(40)));
            return false;
        }
        TEqSimLine line;
        line.DelayMs = ms;
        line.Data = blank < 0 ? QByteArray() : row.mid(blank + 1);
        line.SourceLine = i + 1;
        ALines.append(line);
    }
    return true;
}

QString ResolveEqSimScenario(const QString& AArgument, const QString& AScenarioDir)
{
    if (QFileInfo::exists(AArgument) || AScenarioDir.isEmpty()) {
        return AArgument;
    }
    const QDir dir(AScenarioDir);
    for (const QString& name : {AArgument, AArgument + QStringLiteral(".txt")}) {
        if (QFileInfo(dir.filePath(name)).isFile()) {
            return dir.filePath(name);
        }
    }
    return AArgument;
}

QStringList ListEqSimScenarios(const QString& AScenarioDir)
{
    QStringList names;
    for (const QFileInfo& info : QDir(AScenarioDir).entryInfoList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name)) {
        names << info.completeBaseName();
    }
    return names;
}

QByteArray TEqSimTimeRewriter::TelegramTime(const QDateTime& ATime)
{
    return ATime.toString(QStringLiteral("yyMMddHHmmss")).toLatin1();
}

QByteArray TEqSimTimeRewriter::Rewrite(const QByteArray& ALine, const QDateTime& ANow)
{
    // Only type-01 lines whose time columns are plain ASCII are touched.
    if (!ALine.startsWith("01") || ALine.size() < 30) {
        return ALine;
    }
    for (qsizetype i = 0; i < 30; ++i) {
        if (static_cast<unsigned char>(ALine.at(i)) >= 0x80) {
            return ALine;
        }
    }
    const QByteArray now = TelegramTime(ANow);
    const QByteArray eqId = ALine.mid(30, 16);
    auto it = FOccurrence.find(eqId);
    if (it == FOccurrence.end()) {
        it = FOccurrence.insert(eqId, now);
    }
    QByteArray line = ALine;
    line.replace(6, 12, now);
    line.replace(18, 12, it.value());
    return line;
}
