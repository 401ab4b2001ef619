#include "config/VeskProfileFile.h"

#include "defines/VeskPlatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace {

QString DecodeProfileBytes(const QByteArray& ABytes, bool* AUtf8Bom)
{
    *AUtf8Bom = false;
    if (ABytes.startsWith("\xEF\xBB\xBF")) {
        *AUtf8Bom = true;
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        return utf8(ABytes.mid(3));
    }
    if (ABytes.startsWith("\xFF\xFE")) {
        QStringDecoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::Stateless);
        return utf16(ABytes.mid(2));
    }
    if (ABytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(QStringConverter::Utf16BE, QStringConverter::Flag::Stateless);
        return utf16(ABytes.mid(2));
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(ABytes);
    if (!utf8.hasError()) {
        return text;
    }
    // Not UTF-8: a file written by the Windows profile service on a Japanese system.
    QStringDecoder cp932("windows-31j");
    if (cp932.isValid()) {
        return cp932(ABytes);
    }
    return text;
}

} // namespace

TVeskProfileFile::TVeskProfileFile(const QString& AFilePath)
{
    Load(AFilePath);
}

bool TVeskProfileFile::Load(const QString& AFilePath)
{
    FFilePath = AFilePath;
    FLines.clear();
    FUtf8Bom = false;
    QByteArray bytes;
    switch (VeskReadBoundedFile(AFilePath, MaxFileSize, &bytes)) {
    case rrRead:
        break;
    case rrMissing:
        FLoadResult = lrMissing;
        return false;
    case rrTooLarge:
        FLoadResult = lrTooLarge;
        return false;
    case rrNotRegular:
        FLoadResult = lrNotRegular;
        return false;
    case rrUnreadable:
        FLoadResult = lrUnreadable;
        return false;
    }
    return LoadFromBytes(bytes);
}

bool TVeskProfileFile::LoadFromBytes(const QByteArray& ABytes)
{
    FLines.clear();
    const QString text = DecodeProfileBytes(ABytes, &FUtf8Bom);
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype lf = text.indexOf(QLatin1Char('\n'), start);
        if (lf < 0) {
            FLines.append({text.mid(start), QString()});
            break;
        }
        if (lf > start && text.at(lf - 1) == QLatin1Char('\r')) {
            FLines.append({text.mid(start, lf - 1 - start), QStringLiteral("\r\n")});
        } else {
            FLines.append({text.mid(start, lf - start), QStringLiteral("\n")});
        }
        start = lf + 1;
    }
    // A profile file never holds NUL (UTF-16 read as 8-bit text does), and keys
    // outside every section are never read: such a text is not a profile file.
    bool understood = !text.contains(QChar(u'\0'));
    bool content = false;
    bool section = false;
    QString name;
    for (const TLine& line : std::as_const(FLines)) {
        const QString trimmed = line.Text.trimmed();
        if (!trimmed.isEmpty() && !trimmed.startsWith(QLatin1Char(';')) && !trimmed.startsWith(QLatin1Char('#'))) {
            content = true;
            section = section || ParseSection(trimmed, &name);
        }
    }
    understood = understood && (!content || section);
    if (!understood) {
        FLines.clear();
        FUtf8Bom = false;
    }
    FLoadResult = understood ? lrRead : lrNotUnderstood;
    return understood;
}

QByteArray TVeskProfileFile::ToBytes() const
{
    QString text;
    for (const TLine& line : FLines) {
        text += line.Text;
        text += line.Eol;
    }
    QByteArray bytes = FUtf8Bom ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    bytes += text.toUtf8();
    return bytes;
}

bool TVeskProfileFile::Save(const QString& AFilePath, QString* AErrorMessage) const
{
    auto fail = [AErrorMessage](const QString& AMessage) {
        if (AErrorMessage) {
            *AErrorMessage = AMessage;
        }
        return false;
    };
    const QFileInfo info(AFilePath);
    const QString native = QDir::toNativeSeparators(AFilePath);
    // A link may lead to a file that is not ours, and replacing it would undo a setup
    // the user made on purpose: it is left alone and the save refused.
    if (info.isSymLink()) {
        return fail(QStringLiteral("File is a symbolic link, not written: %1").arg(native));
    }
    const bool exists = info.exists();
    if (exists && !info.isFile()) {
        return fail(QStringLiteral("Not a regular file, not written: %1").arg(native));
    }
    if (!QFileInfo(info.absolutePath()).isDir()) {
        return fail(QStringLiteral("Folder does not exist: %1").arg(QDir::toNativeSeparators(info.absolutePath())));
    }
    // The owner's write bit stands for the read-only attribute; checked by hand because
    // a rename would replace a read-only file, and root may write to any file.
    if (exists && !info.permission(QFileDevice::WriteOwner)) {
        return fail(QStringLiteral("File is read-only: %1").arg(native));
    }
    return ReplaceFileContents(AFilePath, ToBytes(), AErrorMessage);
}

bool TVeskProfileFile::ReplaceFileContents(const QString& AFilePath, const QByteArray& ABytes, QString* AErrorMessage)
{
    return VeskReplaceFile(AFilePath, ABytes, AErrorMessage);
}

bool TVeskProfileFile::ParseSection(const QString& ALine, QString* AName)
{
    const QString trimmed = ALine.trimmed();
    if (!trimmed.startsWith(QLatin1Char('['))) {
        return false;
    }
    const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
    *AName = (close < 0 ? trimmed.mid(1) : trimmed.mid(1, close - 1)).trimmed();
    return true;
}

bool TVeskProfileFile::ParseKey(const QString& ALine, QString* AKey, QString* AValue)
{
    const QString trimmed = ALine.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#')) ||
        trimmed.startsWith(QLatin1Char('['))) {
        return false;
    }
    const qsizetype eq = trimmed.indexOf(QLatin1Char('='));
    if (eq <= 0) {
        return false;
    }
    *AKey = trimmed.left(eq).trimmed();
    *AValue = trimmed.mid(eq + 1).trimmed();
    return !AKey->isEmpty();
}

int TVeskProfileFile::FindSection(const QString& ASection) const
{
    QString name;
    for (int i = 0; i < FLines.size(); ++i) {
        if (ParseSection(FLines.at(i).Text, &name) && name.compare(ASection, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

int TVeskProfileFile::SectionEnd(int ASectionLine) const
{
    QString name;
    for (int i = ASectionLine + 1; i < FLines.size(); ++i) {
        if (ParseSection(FLines.at(i).Text, &name)) {
            return i;
        }
    }
    return int(FLines.size());
}

int TVeskProfileFile::FindKey(int ASectionLine, const QString& AKey) const
{
    const int end = SectionEnd(ASectionLine);
    QString key;
    QString value;
    for (int i = ASectionLine + 1; i < end; ++i) {
        if (ParseKey(FLines.at(i).Text, &key, &value) && key.compare(AKey, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

QString TVeskProfileFile::DefaultEol() const
{
    for (const TLine& line : FLines) {
        if (!line.Eol.isEmpty()) {
            return line.Eol;
        }
    }
    return QStringLiteral("\n");
}

bool TVeskProfileFile::HasSection(const QString& ASection) const
{
    return FindSection(ASection) >= 0;
}

bool TVeskProfileFile::HasKey(const QString& ASection, const QString& AKey) const
{
    const int section = FindSection(ASection);
    return section >= 0 && FindKey(section, AKey) >= 0;
}

QString TVeskProfileFile::ReadString(const QString& ASection, const QString& AKey, const QString& ADefault) const
{
    const int section = FindSection(ASection);
    if (section < 0) {
        return ADefault;
    }
    const int line = FindKey(section, AKey);
    if (line < 0) {
        return ADefault;
    }
    QString key;
    QString value;
    ParseKey(FLines.at(line).Text, &key, &value);
    return value.left(MaxValueLength);
}

void TVeskProfileFile::WriteString(const QString& ASection, const QString& AKey, const QString& AValue)
{
    // A line break inside a value would split the line and corrupt the file.
    QString value = AValue;
    value.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString text = AKey + QLatin1Char('=') + value;
    const QString eol = DefaultEol();

    const int section = FindSection(ASection);
    if (section < 0) {
        if (!FLines.isEmpty() && FLines.last().Eol.isEmpty()) {
            FLines.last().Eol = eol;
        }
        FLines.append({QLatin1Char('[') + ASection + QLatin1Char(']'), eol});
        FLines.append({text, eol});
        return;
    }
    const int line = FindKey(section, AKey);
    if (line >= 0) {
        FLines[line].Text = text;
        return;
    }
    // After the last non-blank line of the section, so the blank lines that separate
    // it from the next section stay where they are.
    int insertAt = section + 1;
    const int end = SectionEnd(section);
    for (int i = section + 1; i < end; ++i) {
        if (!FLines.at(i).Text.trimmed().isEmpty()) {
            insertAt = i + 1;
        }
    }
    if (FLines.at(insertAt - 1).Eol.isEmpty()) {
        FLines[insertAt - 1].Eol = eol;
    }
    FLines.insert(insertAt, {text, eol});
}
