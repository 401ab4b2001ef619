#include "config/VeskConfParams.h"

#include "config/VeskProfileFile.h"
#include "defines/VeskDefines.h"

#include <limits>

namespace {

TVeskParamItem MakeItem(const char* ASection, const char* AName, TVeskParamType AType, qint32 AInt = 0,
                        const QString& AStr = QString(), bool ABool = false)
{
    TVeskParamItem item;
    item.SectionName = QString::fromLatin1(ASection);
    item.ItemName = QString::fromLatin1(AName);
    item.ItemType = AType;
    item.ValueInt = AInt;
    item.ValueStr = AStr;
    item.ValueBool = ABool;
    return item;
}

} // namespace

std::optional<qint32> VeskParseInteger(const QString& AText)
{
    if (AText.size() > 2 && AText.at(0) == QLatin1Char('0') &&
        (AText.at(1) == QLatin1Char('x') || AText.at(1) == QLatin1Char('X'))) {
        qint64 value = 0;
        for (qsizetype i = 2; i < AText.size(); ++i) {
            const char16_t c = AText.at(i).unicode();
            const int digit = (c >= u'0' && c <= u'9')   ? c - u'0'
                              : (c >= u'a' && c <= u'f') ? c - u'a' + 10
                              : (c >= u'A' && c <= u'F') ? c - u'A' + 10
                                                         : -1;
            if (digit < 0) {
                return std::nullopt;
            }
            value = value * 16 + digit;
            if (value > std::numeric_limits<qint32>::max()) {
                return std::nullopt;
            }
        }
        return qint32(value);
    }
    // Decimal: the telegram rule without its leading blanks (stored values are trimmed).
    if (AText.startsWith(QLatin1Char(' '))) {
        return std::nullopt;
    }
    return VeskStrToInt(AText);
}

int TVeskParamItem::AsInteger() const
{
    switch (ItemType) {
    case vptInt:
        return ValueInt;
    case vptStr:
        return VeskParseInteger(ValueStr).value_or(0);
    case vptBool:
        return ValueBool ? 1 : 0;
    }
    return 0;
}

QString TVeskParamItem::AsString() const
{
    switch (ItemType) {
    case vptInt:
        return QString::number(ValueInt);
    case vptStr:
        return ValueStr;
    case vptBool:
        return ValueBool ? QStringLiteral("True") : QStringLiteral("False");
    }
    return QString();
}

bool TVeskParamItem::AsBoolean() const
{
    switch (ItemType) {
    case vptInt:
        return ValueInt != 0;
    case vptStr:
        return !ValueStr.isEmpty();
    case vptBool:
        return ValueBool;
    }
    return false;
}

TVeskParamItem TVeskParamItem::SetValueInt(qint32 AValue)
{
    ValueInt = AValue;
    return *this;
}

TVeskParamItem TVeskParamItem::SetValueStr(const QString& AValue)
{
    ValueStr = AValue;
    return *this;
}

TVeskParamItem TVeskParamItem::SetValueBool(bool AValue)
{
    ValueBool = AValue;
    return *this;
}

const QList<TVeskParamItem>& VeskExtParamTable()
{
    static const QList<TVeskParamItem> table = {
        MakeItem("Ext_Conf", "PlugInName", vptStr, 0, QStringLiteral("MyExtPlugIn")),
        MakeItem("Ext_Conf", "PlugInLibrary", vptStr, 0, QStringLiteral("ExtPlugIn.dll")),
        MakeItem("Ext_Conf", "OnMainFormCreate", vptBool, 0, QString(), false),
        MakeItem("Ext_Conf", "OnMainFormDestroy", vptBool, 0, QString(), false),
        MakeItem("Ext_Conf", "OnEq01Queued", vptBool, 0, QString(), false),
        MakeItem("Ext_Conf", "OnEq10Queued", vptBool, 0, QString(), false),
        MakeItem("Ext_Conf", "OnDetermineAlert", vptBool, 0, QString(), false),
        MakeItem("Ext_Conf", "OnAlertNotice", vptBool, 0, QString(), false),
    };
    return table;
}

TVeskConfParams::TVeskConfParams(const QString& AConfFilePath) : FConfFilePath(AConfFilePath)
{
    LoadParams();
}

bool TVeskConfParams::LoadParams()
{
    const bool result = LoadTable(VeskMainParamTable());
    FIsLoaded = true;
    return result;
}

bool TVeskConfParams::LoadExtParams()
{
    return LoadTable(VeskExtParamTable());
}

bool TVeskConfParams::LoadTable(const QList<TVeskParamItem>& ATable)
{
    // A missing file, or one that is not read, reads as empty: every item keeps its default.
    const TVeskProfileFile file(FConfFilePath);
    FLoadResult = file.LoadResult();
    for (const TVeskParamItem& row : ATable) {
        TVeskParamItem item = row;
        switch (item.ItemType) {
        case vptStr:
            item.ValueStr = file.ReadString(item.SectionName, item.ItemName, row.ValueStr);
            break;
        case vptInt:
            item.ValueInt = VeskParseInteger(file.ReadString(item.SectionName, item.ItemName)).value_or(row.ValueInt);
            break;
        case vptBool:
            item.ValueBool =
                VeskParseInteger(file.ReadString(item.SectionName, item.ItemName)).value_or(row.ValueBool ? 1 : 0) != 0;
            break;
        }
        if (!Add(item.ItemName, item)) {
            FLastError = QStringLiteral("Duplicate item: %1").arg(item.ItemName);
            return false;
        }
    }
    return true;
}

bool TVeskConfParams::SaveParams()
{
    FLastError.clear();
    TVeskProfileFile file(FConfFilePath);
    if (file.IsExistingFileUnread()) {
        FLastError = QStringLiteral("The existing file was not read and is kept as it is: %1").arg(FConfFilePath);
        return false;
    }
    for (qsizetype i = 0; i < FKeys.size(); ++i) {
        const TVeskParamItem& item = FItems.at(i);
        QString text;
        switch (item.ItemType) {
        case vptInt:
            text = QString::number(item.ValueInt);
            break;
        case vptStr:
            text = item.ValueStr;
            break;
        case vptBool:
            text = item.ValueBool ? QStringLiteral("1") : QStringLiteral("0");
            break;
        }
        file.WriteString(item.SectionName, FKeys.at(i), text);
    }
    return file.Save(FConfFilePath, &FLastError);
}

bool TVeskConfParams::Add(const QString& AKey, const TVeskParamItem& AItem)
{
    if (FIndex.contains(AKey)) {
        return false;
    }
    FIndex.insert(AKey, int(FItems.size()));
    FKeys.append(AKey);
    FItems.append(AItem);
    return true;
}

std::optional<TVeskParamItem> TVeskConfParams::Item(const QString& AKey) const
{
    const auto it = FIndex.constFind(AKey);
    if (it == FIndex.constEnd()) {
        return std::nullopt;
    }
    return FItems.at(*it);
}

bool TVeskConfParams::SetItem(const QString& AKey, const TVeskParamItem& AItem)
{
    const auto it = FIndex.constFind(AKey);
    if (it == FIndex.constEnd()) {
        return false;
    }
    FItems[*it] = AItem;
    return true;
}

bool TVeskConfParams::Remove(const QString& AKey)
{
    const auto it = FIndex.constFind(AKey);
    if (it == FIndex.constEnd()) {
        return false;
    }
    const int index = *it;
    FKeys.removeAt(index);
    FItems.removeAt(index);
    FIndex.clear();
    for (int i = 0; i < FKeys.size(); ++i) {
        FIndex.insert(FKeys.at(i), i);
    }
    return true;
}

QStringList TVeskConfParams::Keys() const
{
    return FKeys;
}

void TVeskConfParams::Clear()
{
    FKeys.clear();
    FItems.clear();
    FIndex.clear();
}
