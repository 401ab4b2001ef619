#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// An INI (profile) file held in memory. Reading follows the rules programs carried
// over from Windows rely on: section and key names are matched without regard to
// case, values are trimmed and cut to 2047 characters, the first occurrence of a
// section or key wins. Writing updates a key in place and keeps every other line
// (unknown keys and sections, comments, blank lines, line endings) untouched; a
// missing key is added at the end of its section, a missing section at the end of
// the file.
//
// Files are written as UTF-8. Reading accepts UTF-8 with or without BOM, UTF-16LE
// with BOM, and falls back to code page 932 when the bytes are not valid UTF-8.
class TVeskProfileFile
{
public:
    static constexpr int MaxValueLength = 2047;

    TVeskProfileFile() = default;
    explicit TVeskProfileFile(const QString& AFilePath);

    // Reads the file. A missing or unreadable file reads as empty and answers false;
    // the document is usable either way.
    bool Load(const QString& AFilePath);
    // Parses a file image (for files already in memory).
    void LoadFromBytes(const QByteArray& ABytes);

    // Writes the document to a temporary file in the same folder and renames it over
    // the target, so a crash or a full disk never leaves a truncated file. A missing
    // folder or a file whose owner has no write permission (the read-only attribute)
    // fails without touching the old file.
    bool Save(const QString& AFilePath, QString* AErrorMessage = nullptr) const;
    QByteArray ToBytes() const;

    bool HasSection(const QString& ASection) const;
    bool HasKey(const QString& ASection, const QString& AKey) const;
    QString ReadString(const QString& ASection, const QString& AKey, const QString& ADefault = QString()) const;
    void WriteString(const QString& ASection, const QString& AKey, const QString& AValue);

    const QString& FilePath() const { return FFilePath; }

private:
    struct TLine
    {
        QString Text;
        QString Eol; // "\n", "\r\n" or "" for a last line without terminator
    };

    int FindSection(const QString& ASection) const;
    int FindKey(int ASectionLine, const QString& AKey) const;
    int SectionEnd(int ASectionLine) const;
    QString DefaultEol() const;

    static bool ParseSection(const QString& ALine, QString* AName);
    static bool ParseKey(const QString& ALine, QString* AKey, QString* AValue);

    QString FFilePath;
    QList<TLine> FLines;
    bool FUtf8Bom = false;
};
