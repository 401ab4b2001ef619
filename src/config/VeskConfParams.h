#pragma once

#include "config/VeskProfileFile.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

enum TVeskParamType : quint8
{
    vptInt = 0,
    vptStr = 1,
    vptBool = 2
};

// One typed configuration item. All three value fields exist in every item; only the
// one named by ItemType is read from and written to the file.
struct TVeskParamItem
{
    QString SectionName;
    QString ItemName;
    TVeskParamType ItemType = vptInt;
    qint32 ValueInt = 0;
    QString ValueStr;
    bool ValueBool = false;

    int AsInteger() const;
    QString AsString() const;
    bool AsBoolean() const;

    // Each setter stores the value in the item and answers a copy of the updated item;
    // ItemType is left as it is.
    TVeskParamItem SetValueInt(qint32 AValue);
    TVeskParamItem SetValueStr(const QString& AValue);
    TVeskParamItem SetValueBool(bool AValue);
};

// Integer text as the store reads it: decimal with an optional sign, or hexadecimal
// after "0x"/"0X" when the text is longer than two characters. Answers nothing for
// text that is not a valid 32-bit integer.
std::optional<qint32> VeskParseInteger(const QString& AText);

// The built-in item tables with their defaults, in walking order. The main table is
// made from the application settings' own table (VeskAppSettings.cpp), so each key
// and its default are written once.
const QList<TVeskParamItem>& VeskMainParamTable();
const QList<TVeskParamItem>& VeskExtParamTable();

// The store of items keyed by ItemName (compared exactly), kept in the order the
// items were added; that is also the order in which they are saved.
class TVeskConfParams
{
public:
    TVeskConfParams() = default;
    // Sets the path and loads the main item table at once.
    explicit TVeskConfParams(const QString& AConfFilePath);

    const QString& ConfFilePath() const { return FConfFilePath; }
    void SetConfFilePath(const QString& APath) { FConfFilePath = APath; }
    bool IsLoaded() const { return FIsLoaded; }

    // Walk the main or extension table, reading each item from the file at
    // ConfFilePath with its default as fallback. A second load on the same store
    // fails at the first item (the key exists already) and answers false.
    bool LoadParams();
    bool LoadExtParams();
    // How the file was found by the last load (missing, read, too large, ...).
    TVeskProfileFile::TLoadResult LoadResult() const { return FLoadResult; }
    // Writes every item in one atomic replacement of the file. On failure the old file
    // is left as it was and the reason is available from LastError(). A file that is
    // there but cannot be read, is too large or is not understood is never replaced:
    // the lines it holds would be lost.
    bool SaveParams();
    const QString& LastError() const { return FLastError; }

    // Dictionary operations. Adding an existing key, reading or replacing a missing
    // one fails (false / nothing) instead of throwing.
    bool Add(const QString& AKey, const TVeskParamItem& AItem);
    bool ContainsKey(const QString& AKey) const { return FIndex.contains(AKey); }
    std::optional<TVeskParamItem> Item(const QString& AKey) const;
    bool SetItem(const QString& AKey, const TVeskParamItem& AItem);
    bool Remove(const QString& AKey);
    QStringList Keys() const;
    int Count() const { return int(FItems.size()); }
    void Clear();

private:
    bool LoadTable(const QList<TVeskParamItem>& ATable);

    QString FConfFilePath;
    bool FIsLoaded = false;
    TVeskProfileFile::TLoadResult FLoadResult = TVeskProfileFile::lrMissing;
    QString FLastError;
    QList<QString> FKeys;
    QList<TVeskParamItem> FItems;
    QHash<QString, int> FIndex;
};
