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
// A file larger than MaxFileSize, or not a regular file, is not read; a file whose
// text holds NUL characters (UTF-16 without BOM, binary damage) or has content but
// no section is "not understood" and reads as empty.
class TVeskProfileFile
{
public:
    static constexpr int MaxValueLength = 2047;
    static constexpr qint64 MaxFileSize = 1024 * 1024;

    enum TLoadResult
    {
        lrRead,          // read and understood (also an empty file)
        lrMissing,       // no file at the path
        lrUnreadable,    // exists but could not be opened or read
        lrTooLarge,      // larger than MaxFileSize: not read
        lrNotRegular,    // a folder, device or pipe: not read
        lrNotUnderstood, // read, but the text is not a profile file
    };

    TVeskProfileFile() = default;
    explicit TVeskProfileFile(const QString& AFilePath);

    // Reads the file. A file that is missing, unreadable, too large or not understood
    // reads as empty and answers false (LoadResult() says which); the document is
    // usable either way.
    bool Load(const QString& AFilePath);
    // Parses a file image (for files already in memory); answers whether it was understood.
    bool LoadFromBytes(const QByteArray& ABytes);
    TLoadResult LoadResult() const { return FLoadResult; }
    // True when an existing file was not taken in (unreadable, too large, not understood):
    // saving over it would lose what it holds.
    bool IsExistingFileUnread() const { return FLoadResult != lrRead && FLoadResult != lrMissing; }

    // Writes the document to a new file in the same folder, syncs it and renames it over
    // the target, so a crash or a full disk never leaves a truncated file: any failed
    // write, sync or rename leaves the old file as it was. A missing folder, a file
    // whose owner has no write permission (the read-only attribute), a symbolic link or
    // anything else that is not a regular file is refused without being touched: a link
    // is neither written through nor replaced.
    bool Save(const QString& AFilePath, QString* AErrorMessage = nullptr) const;
    QByteArray ToBytes() const;

    // The atomic replacement Save uses, for any small file. AFilePath must not be a
    // symbolic link (the caller checks); the file's permissions are kept.
    static bool ReplaceFileContents(const QString& AFilePath, const QByteArray& ABytes, QString* AErrorMessage);

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
    TLoadResult FLoadResult = lrMissing;
};
