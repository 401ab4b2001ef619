#include "config/VeskAppSettings.h"

#include "defines/VeskPlatform.h"
#include "logging/VeskLogging.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>

#ifndef ULX_VERSION_CHECK_URL
#define ULX_VERSION_CHECK_URL ""
#endif

namespace {

const QString kSetParamsName = QStringLiteral("SetParamsFromConfFile()");
const QString kSaveParamsName = QStringLiteral("SaveParamsToConfFile()");
const QString kLoadParamsName = QStringLiteral("LoadParamsFromConfFile()");

// Numeric value of a location text; text that is not a number counts as 0, as an
// empty numeric edit does.
double LocationNumber(const QString& AText)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(AText.trimmed(), &ok);
    return ok ? value : 0.0;
}

// How applying a setting is logged and what follows it.
enum TSettingFlag : unsigned
{
    sfNone = 0,
    sfSeparatorBefore = 1,    // a log separator opens a group of settings
    sfCheckLocationAfter = 2, // the last location text: check the location next
    sfClearedAfterApply = 4,  // read from the file, then switched off for this run
    sfCounter = 8             // a telegram counter: signals countersChanged
};

int SIScaleOrNone(int AIndex)
{
    return (AIndex >= 0 && AIndex < TSeismicIntensityScale::ClassCount) ? AIndex : -1;
}
int ClampMomentMg(int APosition)
{
    return std::clamp(APosition, 0, TVeskAppSettings::MomentMgMax);
}
int ClampDataAccuracy(int AIndex)
{
    return std::clamp(AIndex, -1, 1);
}
int ClampProxyPort(int APort)
{
    return std::clamp(APort, 0, TVeskAppSettings::ProxyPortMax);
}
QString MomentMgText(int APosition)
{
    return QString::asprintf("%2.1f", APosition * 0.5);
}

// One row per setting: where it lives in the file, its type and default, the range
// its holder accepts and how it is logged. Loading, applying, storing and the live
// defaults all walk this table; its order is the file's and the log's.
struct TSettingRow
{
    TVeskSettingId Id;
    const char* Section;
    const char* Key;
    TVeskParamType Type;
    qint32 DefaultInt;          // vptInt; vptBool as 0 or 1
    const char16_t* DefaultStr; // vptStr
    int (*Normalize)(int);      // integer range of the holder; nullptr: any value
    QString (*LogText)(int);    // logged text of an integer; nullptr: the number
    unsigned Flags;
};

constexpr TSettingRow SettingRows[] = {
    {vsiTotalEqTelegrams, "Home_Sheet", "TotalEqTelegrams", vptInt, 0, nullptr, nullptr, nullptr,
     sfSeparatorBefore | sfCounter},
    {vsiTotalAlerts, "Home_Sheet", "TotalAlerts", vptInt, 0, nullptr, nullptr, nullptr, sfCounter},
    {vsiLocationName, "Config_Sheet", "LocationName", vptStr, 0, u"---", nullptr, nullptr, sfSeparatorBefore},
    {vsiLatitude, "Config_Sheet", "Latitude", vptStr, 0, u"--.--", nullptr, nullptr, sfNone},
    {vsiLongitude, "Config_Sheet", "Longitude", vptStr, 0, u"---.--", nullptr, nullptr, sfNone},
    {vsiAreaCode, "Config_Sheet", "AreaCode", vptStr, 0, u"---", nullptr, nullptr, sfNone},
    {vsiGroundAmplification, "Config_Sheet", "GroundAmplification", vptStr, 0, u"-.--", nullptr, nullptr,
     sfCheckLocationAfter},
    {vsiUseSIScale, "Config_Sheet", "UseSIScale", vptBool, 1, nullptr, nullptr, nullptr, sfNone},
    {vsiSIScale, "Config_Sheet", "SIScale", vptInt, 3, nullptr, SIScaleOrNone, nullptr, sfNone},
    {vsiUseMg, "Config_Sheet", "UseMg", vptBool, 0, nullptr, nullptr, nullptr, sfNone},
    {vsiMomentMg, "Config_Sheet", "MomentMg", vptInt, 0, nullptr, ClampMomentMg, MomentMgText, sfNone},
    {vsiUseDepth, "Config_Sheet", "UseDepth", vptBool, 0, nullptr, nullptr, nullptr, sfNone},
    {vsiUseOrCondition, "Config_Sheet", "UseOrCondition", vptBool, 0, nullptr, nullptr, nullptr, sfNone},
    {vsiDataAccuracy, "Config_Sheet", "DataAccuracy", vptInt, 1, nullptr, ClampDataAccuracy, nullptr, sfNone},
    // Drill telegrams are never accepted after a start, whatever the file says.
    {vsiUseJmaDrill, "Config_Sheet", "UseJmaDrill", vptBool, 0, nullptr, nullptr, nullptr, sfClearedAfterApply},
    {vsiUseProxy, "NetConfig_Sheet", "UseProxy", vptBool, 0, nullptr, nullptr, nullptr, sfSeparatorBefore},
    {vsiProxyServerIP, "NetConfig_Sheet", "ProxyServerIP", vptStr, 0, u"", nullptr, nullptr, sfNone},
    {vsiProxyServerPort, "NetConfig_Sheet", "ProxyServerPort", vptInt, 8080, nullptr, ClampProxyPort, nullptr, sfNone},
    {vsiUseFeed, "NetConfig_Sheet", "UseFeed", vptBool, 0, nullptr, nullptr, nullptr, sfNone},
    {vsiFeedSources, "NetConfig_Sheet", "FeedSources", vptStr, 0,
     u"wss://ws-api.wolfx.jp/jma_eew wss://api.p2pquake.net/v2/ws", nullptr, nullptr, sfNone},
    {vsiEnableVersionChecker, "Others", "EnableVersionChecker", vptBool, 1, nullptr, nullptr, nullptr,
     sfSeparatorBefore},
    {vsiEnableAutoIconic, "Others", "EnableAutoIconic", vptBool, 0, nullptr, nullptr, nullptr, sfNone},
    {vsiAlwaysAlertSoundOn, "Others", "AlwaysAlertSoundOn", vptBool, 1, nullptr, nullptr, nullptr, sfNone},
    {vsiVersionCheckUrl, "Others", "VersionCheckUrl", vptStr, 0, u"" ULX_VERSION_CHECK_URL, nullptr, nullptr, sfNone},
    {vsiDesktopNotification, "Others", "DesktopNotification", vptBool, 1, nullptr, nullptr, nullptr, sfNone},
    {vsiAutoZoomMap, "Others", "AutoZoomMap", vptBool, 1, nullptr, nullptr, nullptr, sfNone},
};

constexpr bool RowsFollowIds()
{
    int id = 0;
    for (const TSettingRow& row : SettingRows) {
        if (row.Id != id++) {
            return false;
        }
    }
    return id == vsiCount;
}
static_assert(RowsFollowIds(), "one row per setting, in the order of TVeskSettingId");

const TSettingRow& Row(TVeskSettingId AId)
{
    return SettingRows[AId];
}

QString KeyOf(const TSettingRow& ARow)
{
    return QString::fromLatin1(ARow.Key);
}

} // namespace

const QList<TVeskParamItem>& VeskMainParamTable()
{
    static const QList<TVeskParamItem> table = [] {
        QList<TVeskParamItem> items;
        for (const TSettingRow& row : SettingRows) {
            TVeskParamItem item;
            item.SectionName = QString::fromLatin1(row.Section);
            item.ItemName = KeyOf(row);
            item.ItemType = row.Type;
            item.ValueInt = row.Type == vptInt ? row.DefaultInt : 0;
            item.ValueStr = row.DefaultStr ? QString::fromUtf16(row.DefaultStr) : QString();
            item.ValueBool = row.Type == vptBool && row.DefaultInt != 0;
            items.append(item);
        }
        return items;
    }();
    return table;
}

TVeskAppSettings::TVeskAppSettings(TVeskLogger* ALogger, QObject* AParent)
    : QObject(AParent), FLogger(TVeskLogger::OrNull(ALogger))
{
    for (const TSettingRow& row : SettingRows) {
        FValues[row.Id].Int = row.DefaultInt;
        FValues[row.Id].Str = row.DefaultStr ? QString::fromUtf16(row.DefaultStr) : QString();
    }
}

TVeskAppSettings::~TVeskAppSettings() = default;

QString TVeskAppSettings::SettingKey(TVeskSettingId AId)
{
    return KeyOf(Row(AId));
}

QString TVeskAppSettings::GetAppConfPath()
{
    QString base = QDir::fromNativeSeparators(qEnvironmentVariable("APPDATA"));
    if (base.isEmpty()) {
        // Never the root of the disk: without "APPDATA" the user's configuration folder.
        base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        if (base.isEmpty()) {
            base = QDir::homePath() + QStringLiteral("/.config");
        }
    }
    while (base.size() > 1 && base.endsWith(QLatin1Char('/'))) {
        base.chop(1);
    }
    return base + QStringLiteral("/BrenvikCorporation/UlmaroX");
}

QString TVeskAppSettings::DataFolder() const
{
    return FDataFolder.isEmpty() ? GetAppConfPath() : FDataFolder;
}

QString TVeskAppSettings::GetAppConfName()
{
    return QStringLiteral("UlmaroX.cnf");
}

QString TVeskAppSettings::GetAppCustConfName()
{
    return QStringLiteral("UlmaroXCust.cnf");
}

QString TVeskAppSettings::GetAppHistoryDbPath()
{
    return GetAppConfPath();
}

QString TVeskAppSettings::GetAppHistoryDbName()
{
    return QStringLiteral("EqHistDB.cds");
}

QString TVeskAppSettings::GetAppHistoryDbFileName()
{
    return GetAppHistoryDbPath() + QLatin1Char('/') + GetAppHistoryDbName();
}

QString TVeskAppSettings::GetAppLogPath()
{
    return GetAppConfPath();
}

QString TVeskAppSettings::GetAppLogName()
{
    return QStringLiteral("UlmaroX.csl");
}

const QList<TSIScaleClass>& TVeskAppSettings::SIScaleClasses()
{
    static const QList<TSIScaleClass> classes = [] {
        QList<TSIScaleClass> list;
        for (int i = 0; i < TSeismicIntensityScale::ClassCount; ++i) {
            list.append({QStringLiteral("震度") + TSeismicIntensityScale::GetClassAsString(i),
                         TSeismicIntensityScale::GetClassAsInteger(i)});
        }
        return list;
    }();
    return classes;
}

void TVeskAppSettings::SetInt(TVeskSettingId AId, qint32 AValue)
{
    const TSettingRow& row = Row(AId);
    if (row.Normalize) {
        AValue = row.Normalize(AValue);
    }
    if (FValues[AId].Int == AValue) {
        return;
    }
    FValues[AId].Int = AValue;
    Changed(AId);
}

void TVeskAppSettings::SetStr(TVeskSettingId AId, const QString& AValue)
{
    if (FValues[AId].Str == AValue) {
        return;
    }
    FValues[AId].Str = AValue;
    Changed(AId);
}

void TVeskAppSettings::Changed(TVeskSettingId AId)
{
    const TSettingRow& row = Row(AId);
    if (row.Flags & sfCounter) {
        emit countersChanged();
    } else {
        emit valueChanged(AId);
    }
}

void TVeskAppSettings::SetLocation(const TULPrefOfficeInfo& AOffice)
{
    SetLocationName(AOffice.PrefOfficeName);
    SetLatitudeText(QString::number(double(AOffice.Latitude), 'f', 5));
    SetLongitudeText(QString::number(double(AOffice.Longitude), 'f', 5));
    SetGroundAmplificationText(QString::number(double(AOffice.GAmplification), 'f', 3));
    SetAreaCode(AOffice.AreaCode);
}

QString TVeskAppSettings::GetMomentMgText() const
{
    return MomentMgText(GetMomentMgPosition());
}

TAlertConditions TVeskAppSettings::GetAlertConditions() const
{
    TAlertConditions conditions;
    conditions.UseJmaDrill = GetUseJmaDrill();
    conditions.DataAccuracy = GetDataAccuracy();
    conditions.UseDepth = GetUseDepth();
    conditions.UseSIScale = GetUseSIScale();
    conditions.SIScaleIndex = GetSIScaleIndex();
    if (conditions.SIScaleIndex >= 0) {
        conditions.SIScaleThreshold = SIScaleClasses().at(conditions.SIScaleIndex).Threshold;
        conditions.SIScaleLabel = SIScaleClasses().at(conditions.SIScaleIndex).Label;
    } else {
        conditions.SIScaleThreshold = -1;
        conditions.SIScaleLabel.clear();
    }
    conditions.UseMg = GetUseMg();
    conditions.MomentMgPosition = GetMomentMgPosition();
    conditions.UseOrCondition = GetUseOrCondition();
    return conditions;
}

void TVeskAppSettings::SetLocationInfo(TLocationInfo& ALocInfo) const
{
    ALocInfo.Latitude = LocationNumber(GetLatitudeText());
    ALocInfo.Longitude = LocationNumber(GetLongitudeText());
    ALocInfo.GAmplifier = LocationNumber(GetGroundAmplificationText());
    ALocInfo.AreaCode = GetAreaCode();
}

bool TVeskAppSettings::IsLocationInfoRewritten(const QString& ALocName, const QString& AAreaCode, float AGAmplification,
                                               float ALongitude, float ALatitude)
{
    for (int row = 0; row < GetPrefOfficeCount(); ++row) {
        const TULPrefOfficeInfo& office = GetPrefOffice(row);
        if (office.PrefOfficeName == ALocName) {
            return !(office.AreaCode == AAreaCode && office.Latitude == ALatitude && office.Longitude == ALongitude &&
                     office.GAmplification == AGAmplification);
        }
    }
    return true;
}

bool TVeskAppSettings::LoadParamsFromConfFile()
{
    const TVeskLogScope scope(FLogger, kLoadParamsName);
    const QString path = DataFolder() + QLatin1Char('/') + GetAppConfName();
    FLogger->Send(QStringLiteral("Configuration file path:"), path);
    if (QFileInfo(path).isSymLink()) {
        Warn(QStringLiteral("設定ファイル %1 はシンボリックリンクのため、設定の変更は保存されません。")
                 .arg(QDir::toNativeSeparators(path)));
    }
    FConfParams = std::make_unique<TVeskConfParams>();
    FConfParams->SetConfFilePath(path);
    // Whatever does not load keeps its default; the result needs no further check.
    FConfParams->LoadParams();
    const QString shown = QDir::toNativeSeparators(path);
    switch (FConfParams->LoadResult()) {
    case TVeskProfileFile::lrRead:
    case TVeskProfileFile::lrMissing:
        break;
    case TVeskProfileFile::lrTooLarge:
        Warn(QStringLiteral("設定ファイル %1 が大きすぎる（1 MiB 超）ため読み込まず、初期設定で起動しました。"
                            "このファイルは書き換えません。")
                 .arg(shown));
        break;
    case TVeskProfileFile::lrNotRegular:
        Warn(QStringLiteral("設定ファイル %1 が通常のファイルではないため読み込まず、初期設定で起動しました。")
                 .arg(shown));
        break;
    case TVeskProfileFile::lrUnreadable:
        Warn(
            QStringLiteral("設定ファイル %1 を読み込めないため、初期設定で起動しました。このファイルは書き換えません。")
                .arg(shown));
        break;
    case TVeskProfileFile::lrNotUnderstood:
        SetAsideNotUnderstoodFile(path);
        break;
    }
    return true;
}

void TVeskAppSettings::SetAsideNotUnderstoodFile(const QString& APath)
{
    // Kept under a new name for the user to inspect; the path is then free for a
    // fresh file at the shutdown save.
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
    QString aside = APath + QStringLiteral(".bad-") + stamp;
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n) {
        aside = APath + QStringLiteral(".bad-") + stamp + QLatin1Char('-') + QString::number(n);
    }
    QString reason;
    if (!VeskRenameNoReplace(APath, aside, &reason)) {
        FLogger->Send(vmtCaught, QStringLiteral("Failed to rename configuration file."), reason);
        Warn(QStringLiteral("設定ファイル %1 の内容を読み取れず、別名で残すこともできませんでした（%2）。"
                            "初期設定で起動しました。このファイルは書き換えません。")
                 .arg(QDir::toNativeSeparators(APath), reason));
        return;
    }
    Warn(QStringLiteral("設定ファイルの内容を読み取れなかったため %1 として残し、初期設定で起動しました。")
             .arg(QDir::toNativeSeparators(aside)));
    FConfParams = std::make_unique<TVeskConfParams>();
    FConfParams->SetConfFilePath(APath);
    FConfParams->LoadParams();
}

// Logged as a warning and told to the user. The save failures have their own log
// lines already and only signal.
void TVeskAppSettings::Warn(const QString& AText)
{
    FLogger->Send(vmtWarning, AText);
    emit userWarning(AText);
}

QString TVeskAppSettings::NeverMetConditionsText(const TAlertConditions& AConditions)
{
    if (AConditions.CanEverBeMet()) {
        return QString();
    }
    if (!AConditions.UseSIScale && !AConditions.UseMg) {
        return QStringLiteral("警報の条件（震度・マグニチュード）がどちらも使われていないため、警報は出ません。"
                              "設定画面で条件を選んでください。");
    }
    return QStringLiteral("震度の条件に震度が選ばれていない（設定ファイルの SIScale が範囲外）ため、警報は出ません。"
                          "設定画面で震度を選んでください。");
}

bool TVeskAppSettings::SetParamsFromConfFile()
{
    const TVeskLogScope scope(FLogger, kSetParamsName);
    QString error;
    bool result = false;
    if (!FConfParams) {
        error = QStringLiteral("ConfParams does not point to an object.");
    } else {
        result = ApplyItems(&error);
    }
    if (!result) {
        FLogger->Send(vmtCaught, kSetParamsName, error);
    }
    const QString neverMet = NeverMetConditionsText(GetAlertConditions());
    if (!neverMet.isEmpty()) {
        Warn(neverMet);
    }
    return result;
}

bool TVeskAppSettings::ApplyItems(QString* AError)
{
    for (const TSettingRow& row : SettingRows) {
        if (row.Flags & sfSeparatorBefore) {
            FLogger->AddSeparator();
        }
        const std::optional<TVeskParamItem> item = FConfParams->Item(KeyOf(row));
        if (!item) {
            *AError = QStringLiteral("Item not found: %1").arg(KeyOf(row));
            return false;
        }
        switch (row.Type) {
        case vptInt:
            SetInt(row.Id, item->AsInteger());
            break;
        case vptBool:
            SetBool(row.Id, (row.Flags & sfClearedAfterApply) ? false : item->AsBoolean());
            break;
        case vptStr:
            SetStr(row.Id, item->AsString());
            break;
        }
        LogValue(row.Id);
        if (row.Flags & sfCheckLocationAfter) {
            RepairLocation();
        }
    }
    return true;
}

void TVeskAppSettings::LogValue(TVeskSettingId AId)
{
    const TSettingRow& row = Row(AId);
    switch (row.Type) {
    case vptInt:
        if (row.LogText) {
            FLogger->Send(KeyOf(row), row.LogText(Int(AId)));
        } else {
            FLogger->Send(KeyOf(row), int(Int(AId)));
        }
        break;
    case vptBool:
        FLogger->Send(KeyOf(row), Bool(AId));
        break;
    case vptStr:
        FLogger->Send(KeyOf(row), Str(AId));
        break;
    }
}

// Only the 47 offices are valid locations; anything else (a first start, a hand
// edit) is replaced by the Tokyo office.
void TVeskAppSettings::RepairLocation()
{
    // Two offices carried area codes that JMA's telegrams never use for them (701 is
    // no longer an early-warning area; 740 is Aso, not Kumamoto city). A location
    // stored with the old code is the same office: only its code is corrected.
    static const struct
    {
        const char16_t* Office;
        const char16_t* OldCode;
    } renamedCodes[] = {{u"山口県庁", u"701"}, {u"熊本県庁", u"740"}};
    for (const auto& renamed : renamedCodes) {
        if (GetLocationName() == QStringView(renamed.Office) && GetAreaCode() == QStringView(renamed.OldCode)) {
            for (int row = 0; row < GetPrefOfficeCount(); ++row) {
                const TULPrefOfficeInfo& office = GetPrefOffice(row);
                if (office.PrefOfficeName == GetLocationName()) {
                    FLogger->Send(
                        QStringLiteral("Area code of the location corrected:"),
                        QStringLiteral("%1 %2 -> %3").arg(office.PrefOfficeName, GetAreaCode(), office.AreaCode));
                    SetAreaCode(office.AreaCode);
                }
            }
        }
    }
    if (!IsLocationInfoRewritten(GetLocationName(), GetAreaCode(), float(LocationNumber(GetGroundAmplificationText())),
                                 float(LocationNumber(GetLongitudeText())), float(LocationNumber(GetLatitudeText())))) {
        return;
    }
    FLogger->Send(vmtWarning, QStringLiteral("所在地情報の書き換えを検出。"));
    FLogger->Send(vmtRejected, QStringLiteral("所在地を東京に変更しました。"));
    SetLocation(GetDefaultPrefOffice());
}

bool TVeskAppSettings::StoreItems(QString* AError)
{
    for (const TSettingRow& row : SettingRows) {
        const QString key = KeyOf(row);
        std::optional<TVeskParamItem> item = FConfParams->Item(key);
        if (!item) {
            *AError = QStringLiteral("Item not found: %1").arg(key);
            return false;
        }
        switch (row.Type) {
        case vptInt:
            item->SetValueInt(Int(row.Id));
            break;
        case vptBool:
            item->SetValueBool(Bool(row.Id));
            break;
        case vptStr:
            item->SetValueStr(Str(row.Id));
            break;
        }
        FConfParams->SetItem(key, *item);
    }
    return true;
}

bool TVeskAppSettings::SaveParamsToConfFile()
{
    const TVeskLogScope scope(FLogger, kSaveParamsName);
    if (!FConfParams) {
        FLogger->Send(vmtCaught, QStringLiteral("ConfParams does not point to an object."));
        return false;
    }
    const QString folder = DataFolder();
    if (!QDir(folder).exists() && !QDir().mkpath(folder)) {
        FLogger->Send(vmtCaught, QStringLiteral("Failed to create directory."), folder);
        emit userWarning(QStringLiteral("データフォルダー %1 を作成できないため、設定を保存できませんでした。")
                             .arg(QDir::toNativeSeparators(folder)));
        return false;
    }
    QString error;
    if (!StoreItems(&error)) {
        FLogger->Send(vmtCaught, kSaveParamsName, error);
        return false;
    }
    FConfParams->SetConfFilePath(folder + QLatin1Char('/') + GetAppConfName());
    // A failed write is reported: the settings of this run would otherwise be lost
    // without a trace.
    if (!FConfParams->SaveParams()) {
        FLogger->Send(vmtCaught, QStringLiteral("Failed to save configuration file."), FConfParams->LastError());
        emit userWarning(
            QStringLiteral("設定ファイルを保存できませんでした（%1）。以前の設定ファイルはそのまま残っています。")
                .arg(FConfParams->LastError()));
        return false;
    }
    return true;
}

void TVeskAppSettings::FreeConfParams()
{
    FConfParams.reset();
}
