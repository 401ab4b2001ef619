#include "config/VeskAppSettings.h"

#include "logging/VeskLogging.h"

#include <QDir>
#include <QLocale>
#include <QStandardPaths>

#include <algorithm>

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

// Reads one item of the store or reports which one is missing.
class TItemReader
{
public:
    explicit TItemReader(const TVeskConfParams& AParams) : FParams(AParams) {}
    bool Get(const QString& AKey, TVeskParamItem* AItem, QString* AError) const
    {
        const auto item = FParams.Item(AKey);
        if (!item) {
            *AError = QStringLiteral("Item not found: %1").arg(AKey);
            return false;
        }
        *AItem = *item;
        return true;
    }

private:
    const TVeskConfParams& FParams;
};

} // namespace

TVeskAppSettings::TVeskAppSettings(TVeskLogger* ALogger, QObject* AParent)
    : QObject(AParent), FLogger(TVeskLogger::OrNull(ALogger)), FLocationName(QStringLiteral("---")),
      FLatitude(QStringLiteral("--.--")), FLongitude(QStringLiteral("---.--")), FAreaCode(QStringLiteral("---")),
      FGroundAmplification(QStringLiteral("-.--"))
{}

TVeskAppSettings::~TVeskAppSettings() = default;

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
    static const QList<TSIScaleClass> classes = {
        {QStringLiteral("震度０"), 0},    {QStringLiteral("震度１"), 10},   {QStringLiteral("震度２"), 20},
        {QStringLiteral("震度３"), 30},   {QStringLiteral("震度４"), 40},   {QStringLiteral("震度５弱"), 50},
        {QStringLiteral("震度５強"), 55}, {QStringLiteral("震度６弱"), 60}, {QStringLiteral("震度６強"), 65},
        {QStringLiteral("震度７"), 70},
    };
    return classes;
}

template <typename T>
void TVeskAppSettings::Assign(T& AField, const T& AValue)
{
    if (AField == AValue) {
        return;
    }
    AField = AValue;
    emit changed();
}

void TVeskAppSettings::SetLocationName(const QString& AValue)
{
    Assign(FLocationName, AValue);
}

void TVeskAppSettings::SetLatitudeText(const QString& AValue)
{
    Assign(FLatitude, AValue);
}

void TVeskAppSettings::SetLongitudeText(const QString& AValue)
{
    Assign(FLongitude, AValue);
}

void TVeskAppSettings::SetAreaCode(const QString& AValue)
{
    Assign(FAreaCode, AValue);
}

void TVeskAppSettings::SetGroundAmplificationText(const QString& AValue)
{
    Assign(FGroundAmplification, AValue);
}

void TVeskAppSettings::SetLocation(const TULPrefOfficeInfo& AOffice)
{
    SetLocationName(AOffice.PrefOfficeName);
    SetLatitudeText(QString::number(double(AOffice.Latitude), 'f', 5));
    SetLongitudeText(QString::number(double(AOffice.Longitude), 'f', 5));
    SetGroundAmplificationText(QString::number(double(AOffice.GAmplification), 'f', 3));
    SetAreaCode(AOffice.AreaCode);
}

void TVeskAppSettings::SetUseSIScale(bool AValue)
{
    Assign(FUseSIScale, AValue);
}

void TVeskAppSettings::SetSIScaleIndex(int AIndex)
{
    Assign(FSIScaleIndex, (AIndex >= 0 && AIndex < SIScaleClasses().size()) ? AIndex : -1);
}

void TVeskAppSettings::SetUseMg(bool AValue)
{
    Assign(FUseMg, AValue);
}

void TVeskAppSettings::SetMomentMgPosition(int APosition)
{
    Assign(FMomentMgPosition, std::clamp(APosition, 0, MomentMgMax));
}

QString TVeskAppSettings::GetMomentMgText() const
{
    return QString::asprintf("%2.1f", FMomentMgPosition * 0.5);
}

void TVeskAppSettings::SetUseDepth(bool AValue)
{
    Assign(FUseDepth, AValue);
}

void TVeskAppSettings::SetUseOrCondition(bool AValue)
{
    Assign(FUseOrCondition, AValue);
}

void TVeskAppSettings::SetDataAccuracy(int AIndex)
{
    Assign(FDataAccuracy, std::clamp(AIndex, -1, 1));
}

void TVeskAppSettings::SetUseJmaDrill(bool AValue)
{
    Assign(FUseJmaDrill, AValue);
}

void TVeskAppSettings::SetUseProxy(bool AValue)
{
    Assign(FUseProxy, AValue);
}

void TVeskAppSettings::SetProxyServerIP(const QString& AValue)
{
    Assign(FProxyServerIP, AValue);
}

void TVeskAppSettings::SetProxyServerPort(int APort)
{
    Assign(FProxyServerPort, std::clamp(APort, 0, ProxyPortMax));
}

void TVeskAppSettings::SetEnableVersionChecker(bool AValue)
{
    Assign(FEnableVersionChecker, AValue);
}

void TVeskAppSettings::SetEnableAutoIconic(bool AValue)
{
    Assign(FEnableAutoIconic, AValue);
}

void TVeskAppSettings::SetAlwaysAlertSoundOn(bool AValue)
{
    Assign(FAlwaysAlertSoundOn, AValue);
}

void TVeskAppSettings::SetNumOfTotalEqTelegrams(qint32 AValue)
{
    Assign(FNumOfTotalEqTelegrams, AValue);
}

void TVeskAppSettings::SetNumOfTotalAlerts(qint32 AValue)
{
    Assign(FNumOfTotalAlerts, AValue);
}

TAlertConditions TVeskAppSettings::GetAlertConditions() const
{
    TAlertConditions conditions;
    conditions.UseJmaDrill = FUseJmaDrill;
    conditions.DataAccuracy = FDataAccuracy;
    conditions.UseDepth = FUseDepth;
    conditions.UseSIScale = FUseSIScale;
    conditions.SIScaleIndex = FSIScaleIndex;
    if (FSIScaleIndex >= 0) {
        conditions.SIScaleThreshold = SIScaleClasses().at(FSIScaleIndex).Threshold;
        conditions.SIScaleLabel = SIScaleClasses().at(FSIScaleIndex).Label;
    } else {
        conditions.SIScaleThreshold = -1;
        conditions.SIScaleLabel.clear();
    }
    conditions.UseMg = FUseMg;
    conditions.MomentMgPosition = FMomentMgPosition;
    conditions.UseOrCondition = FUseOrCondition;
    return conditions;
}

void TVeskAppSettings::SetLocationInfo(TLocationInfo& ALocInfo) const
{
    ALocInfo.Latitude = LocationNumber(FLatitude);
    ALocInfo.Longitude = LocationNumber(FLongitude);
    ALocInfo.GAmplifier = LocationNumber(FGroundAmplification);
    ALocInfo.AreaCode = FAreaCode;
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
    FLogger->EnterMethod(kLoadParamsName);
    const QString path = GetAppConfPath() + QLatin1Char('/') + GetAppConfName();
    FLogger->Send(QStringLiteral("Configuration file path:"), path);
    FConfParams = std::make_unique<TVeskConfParams>();
    FConfParams->SetConfFilePath(path);
    // Whatever does not load keeps its default; the result needs no further check.
    FConfParams->LoadParams();
    FLogger->ExitMethod(kLoadParamsName);
    return true;
}

bool TVeskAppSettings::SetParamsFromConfFile()
{
    FLogger->EnterMethod(kSetParamsName);
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
    FLogger->ExitMethod(kSetParamsName);
    return result;
}

bool TVeskAppSettings::ApplyItems(QString* AError)
{
    const TItemReader reader(*FConfParams);
    TVeskParamItem item;
    auto separator = [this] { FLogger->AddSeparator(); };
    auto log = [this](const QString& AKey, const auto& AValue) { FLogger->Send(AKey, AValue); };

    separator();
    if (!reader.Get(QStringLiteral("TotalEqTelegrams"), &item, AError)) {
        return false;
    }
    SetNumOfTotalEqTelegrams(item.AsInteger());
    log(item.ItemName, FNumOfTotalEqTelegrams);
    if (!reader.Get(QStringLiteral("TotalAlerts"), &item, AError)) {
        return false;
    }
    SetNumOfTotalAlerts(item.AsInteger());
    log(item.ItemName, FNumOfTotalAlerts);

    separator();
    struct TTextStep
    {
        const char* Key;
        void (TVeskAppSettings::*Setter)(const QString&);
        QString (TVeskAppSettings::*Getter)() const;
    };
    static const TTextStep locationSteps[] = {
        {"LocationName", &TVeskAppSettings::SetLocationName, &TVeskAppSettings::GetLocationName},
        {"Latitude", &TVeskAppSettings::SetLatitudeText, &TVeskAppSettings::GetLatitudeText},
        {"Longitude", &TVeskAppSettings::SetLongitudeText, &TVeskAppSettings::GetLongitudeText},
        {"AreaCode", &TVeskAppSettings::SetAreaCode, &TVeskAppSettings::GetAreaCode},
        {"GroundAmplification", &TVeskAppSettings::SetGroundAmplificationText,
         &TVeskAppSettings::GetGroundAmplificationText},
    };
    for (const TTextStep& step : locationSteps) {
        if (!reader.Get(QString::fromLatin1(step.Key), &item, AError)) {
            return false;
        }
        (this->*step.Setter)(item.AsString());
        log(item.ItemName, (this->*step.Getter)());
    }

    // Only the 47 offices are valid locations; anything else (a first start, a hand
    // edit) is replaced by the Tokyo office.
    if (IsLocationInfoRewritten(FLocationName, FAreaCode, float(LocationNumber(FGroundAmplification)),
                                float(LocationNumber(FLongitude)), float(LocationNumber(FLatitude)))) {
        FLogger->Send(vmtWarning, QStringLiteral("所在地情報の書き換えを検出。"));
        FLogger->Send(vmtRejected, QStringLiteral("所在地を東京に変更しました。"));
        SetLocation(GetDefaultPrefOffice());
    }

    if (!reader.Get(QStringLiteral("UseSIScale"), &item, AError)) {
        return false;
    }
    SetUseSIScale(item.AsBoolean());
    log(item.ItemName, FUseSIScale);
    if (!reader.Get(QStringLiteral("SIScale"), &item, AError)) {
        return false;
    }
    SetSIScaleIndex(item.AsInteger());
    log(item.ItemName, FSIScaleIndex);
    if (!reader.Get(QStringLiteral("UseMg"), &item, AError)) {
        return false;
    }
    SetUseMg(item.AsBoolean());
    log(item.ItemName, FUseMg);
    if (!reader.Get(QStringLiteral("MomentMg"), &item, AError)) {
        return false;
    }
    SetMomentMgPosition(item.AsInteger());
    log(item.ItemName, GetMomentMgText());
    if (!reader.Get(QStringLiteral("UseDepth"), &item, AError)) {
        return false;
    }
    SetUseDepth(item.AsBoolean());
    log(item.ItemName, FUseDepth);
    if (!reader.Get(QStringLiteral("UseOrCondition"), &item, AError)) {
        return false;
    }
    SetUseOrCondition(item.AsBoolean());
    log(item.ItemName, FUseOrCondition);
    if (!reader.Get(QStringLiteral("DataAccuracy"), &item, AError)) {
        return false;
    }
    SetDataAccuracy(item.AsInteger());
    log(item.ItemName, FDataAccuracy);

    // Drill telegrams are never accepted after a start, whatever the file says.
    if (!reader.Get(QStringLiteral("UseJmaDrill"), &item, AError)) {
        return false;
    }
    SetUseJmaDrill(item.AsBoolean());
    SetUseJmaDrill(false);
    log(item.ItemName, FUseJmaDrill);

    separator();
    if (!reader.Get(QStringLiteral("UseProxy"), &item, AError)) {
        return false;
    }
    SetUseProxy(item.AsBoolean());
    log(item.ItemName, FUseProxy);
    if (!reader.Get(QStringLiteral("ProxyServerIP"), &item, AError)) {
        return false;
    }
    SetProxyServerIP(item.AsString());
    log(item.ItemName, FProxyServerIP);
    if (!reader.Get(QStringLiteral("ProxyServerPort"), &item, AError)) {
        return false;
    }
    SetProxyServerPort(item.AsInteger());
    log(item.ItemName, FProxyServerPort);

    separator();
    if (!reader.Get(QStringLiteral("EnableVersionChecker"), &item, AError)) {
        return false;
    }
    SetEnableVersionChecker(item.AsBoolean());
    log(item.ItemName, FEnableVersionChecker);
    if (!reader.Get(QStringLiteral("EnableAutoIconic"), &item, AError)) {
        return false;
    }
    SetEnableAutoIconic(item.AsBoolean());
    log(item.ItemName, FEnableAutoIconic);
    if (!reader.Get(QStringLiteral("AlwaysAlertSoundOn"), &item, AError)) {
        return false;
    }
    SetAlwaysAlertSoundOn(item.AsBoolean());
    log(item.ItemName, FAlwaysAlertSoundOn);
    return true;
}

bool TVeskAppSettings::StoreItems(QString* AError)
{
    for (const TVeskParamItem& row : VeskMainParamTable()) {
        const QString& key = row.ItemName;
        auto found = FConfParams->Item(key);
        if (!found) {
            *AError = QStringLiteral("Item not found: %1").arg(key);
            return false;
        }
        TVeskParamItem item = *found;
        if (key == QLatin1String("TotalEqTelegrams")) {
            item.SetValueInt(FNumOfTotalEqTelegrams);
        } else if (key == QLatin1String("TotalAlerts")) {
            item.SetValueInt(FNumOfTotalAlerts);
        } else if (key == QLatin1String("LocationName")) {
            item.SetValueStr(FLocationName);
        } else if (key == QLatin1String("Latitude")) {
            item.SetValueStr(FLatitude);
        } else if (key == QLatin1String("Longitude")) {
            item.SetValueStr(FLongitude);
        } else if (key == QLatin1String("AreaCode")) {
            item.SetValueStr(FAreaCode);
        } else if (key == QLatin1String("GroundAmplification")) {
            item.SetValueStr(FGroundAmplification);
        } else if (key == QLatin1String("UseSIScale")) {
            item.SetValueBool(FUseSIScale);
        } else if (key == QLatin1String("SIScale")) {
            item.SetValueInt(FSIScaleIndex);
        } else if (key == QLatin1String("UseMg")) {
            item.SetValueBool(FUseMg);
        } else if (key == QLatin1String("MomentMg")) {
            item.SetValueInt(FMomentMgPosition);
        } else if (key == QLatin1String("UseDepth")) {
            item.SetValueBool(FUseDepth);
        } else if (key == QLatin1String("UseOrCondition")) {
            item.SetValueBool(FUseOrCondition);
        } else if (key == QLatin1String("DataAccuracy")) {
            item.SetValueInt(FDataAccuracy);
        } else if (key == QLatin1String("UseJmaDrill")) {
            item.SetValueBool(FUseJmaDrill);
        } else if (key == QLatin1String("UseProxy")) {
            item.SetValueBool(FUseProxy);
        } else if (key == QLatin1String("ProxyServerIP")) {
            item.SetValueStr(FProxyServerIP);
        } else if (key == QLatin1String("ProxyServerPort")) {
            item.SetValueInt(FProxyServerPort);
        } else if (key == QLatin1String("EnableVersionChecker")) {
            item.SetValueBool(FEnableVersionChecker);
        } else if (key == QLatin1String("EnableAutoIconic")) {
            item.SetValueBool(FEnableAutoIconic);
        } else if (key == QLatin1String("AlwaysAlertSoundOn")) {
            item.SetValueBool(FAlwaysAlertSoundOn);
        }
        FConfParams->SetItem(key, item);
    }
    return true;
}

bool TVeskAppSettings::SaveParamsToConfFile()
{
    FLogger->EnterMethod(kSaveParamsName);
    auto finish = [this](bool AResult) {
        FLogger->ExitMethod(kSaveParamsName);
        return AResult;
    };
    if (!FConfParams) {
        FLogger->Send(vmtCaught, QStringLiteral("ConfParams does not point to an object."));
        return finish(false);
    }
    const QString folder = GetAppConfPath();
    if (!QDir(folder).exists() && !QDir().mkpath(folder)) {
        FLogger->Send(vmtCaught, QStringLiteral("Failed to create directory."), folder);
        return finish(false);
    }
    QString error;
    if (!StoreItems(&error)) {
        FLogger->Send(vmtCaught, kSaveParamsName, error);
        return finish(false);
    }
    FConfParams->SetConfFilePath(folder + QLatin1Char('/') + GetAppConfName());
    // A failed write is reported: the settings of this run would otherwise be lost
    // without a trace.
    if (!FConfParams->SaveParams()) {
        FLogger->Send(vmtCaught, QStringLiteral("Failed to save configuration file."), FConfParams->LastError());
        return finish(false);
    }
    return finish(true);
}

void TVeskAppSettings::FreeConfParams()
{
    FConfParams.reset();
}
