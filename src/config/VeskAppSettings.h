#pragma once

#include "config/AlertConditions.h"
#include "config/VeskConfParams.h"
#include "defines/VeskDefines.h"

#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <memory>

class TVeskLogger;

// One entry of the intensity-class list: label shown to the user and the number the
// alert filter compares with the estimated intensity class.
struct TSIScaleClass
{
    QString Label;
    int Threshold = 0;
};

// The settings of the main configuration file, in file order. Each has one row in the
// settings table (VeskAppSettings.cpp) with its section, key, type, default and range.
enum TVeskSettingId : int
{
    vsiTotalEqTelegrams,
    vsiTotalAlerts,
    vsiLocationName,
    vsiLatitude,
    vsiLongitude,
    vsiAreaCode,
    vsiGroundAmplification,
    vsiUseSIScale,
    vsiSIScale,
    vsiUseMg,
    vsiMomentMg,
    vsiUseDepth,
    vsiUseOrCondition,
    vsiDataAccuracy,
    vsiUseJmaDrill,
    vsiUseProxy,
    vsiProxyServerIP,
    vsiProxyServerPort,
    vsiUseFeed,     // receive the public feeds through a relay (eqbridge) the program starts
    vsiFeedSources, // the feeds' WebSocket addresses, separated by blanks
    vsiEnableVersionChecker,
    vsiEnableAutoIconic,
    vsiAlwaysAlertSoundOn,
    vsiVersionCheckUrl,
    vsiDesktopNotification, // alerts also as desktop notifications
    vsiAutoZoomMap,         // the alert map zooms to the epicentre and home (else the whole of Japan)
    vsiCount
};

// The live application settings. Screens bind their controls to this object and the
// alert logic reads it directly, so a change takes effect at once; the file is read
// once at start-up (LoadParamsFromConfFile, SetParamsFromConfFile) and written once
// at shutdown (SaveParamsToConfFile). Main thread only.
class TVeskAppSettings : public QObject
{
    Q_OBJECT

public:
    static constexpr int MomentMgMax = 19;
    static constexpr int ProxyPortMax = 99999;

    explicit TVeskAppSettings(TVeskLogger* ALogger = nullptr, QObject* AParent = nullptr);
    ~TVeskAppSettings() override;

    // The key of a setting in the file, e.g. "SIScale".
    static QString SettingKey(TVeskSettingId AId);
    // A yes/no setting by its id, for controls bound to it (a check box); the
    // named getters and setters below are the same values.
    bool GetFlag(TVeskSettingId AId) const { return Bool(AId); }
    void SetFlag(TVeskSettingId AId, bool AValue) { SetBool(AId, AValue); }

    // File locations. The data folder is "APPDATA" + "/BrenvikCorporation/UlmaroX",
    // or the user's configuration folder in its place when "APPDATA" is not set.
    static QString GetAppConfPath();
    static QString GetAppConfName();
    // The folder this object reads and writes its file in: the one given (the
    // program resolves it once at start-up), else GetAppConfPath() at each use.
    void SetDataFolder(const QString& AFolder) { FDataFolder = AFolder; }
    QString DataFolder() const;
    static QString GetAppCustConfName();
    static QString GetAppHistoryDbPath();
    static QString GetAppHistoryDbName();
    // The history file's full path: GetAppHistoryDbPath() + "/" + GetAppHistoryDbName().
    static QString GetAppHistoryDbFileName();
    static QString GetAppLogPath();
    static QString GetAppLogName();

    // The ten intensity classes in list order ("震度０" / 0 ... "震度７" / 70).
    static const QList<TSIScaleClass>& SIScaleClasses();

    // Creates the store for the main file and loads it (defaults for what is missing).
    // A file that is not understood is renamed to "UlmaroX.cnf.bad-<yyyyMMddHHmmss>"
    // so that the shutdown save writes a fresh one; a file too large, unreadable or not
    // renamable is used for nothing and never overwritten. Each case, and a file that
    // is a symbolic link (never written), is told by userWarning.
    bool LoadParamsFromConfFile();
    // Puts the loaded items into the live values and repairs a location that is not
    // one of the prefectural offices. Answers false when an item was missing; the
    // values of the remaining steps are then left as they were. Alert conditions that
    // can never be met are told by userWarning.
    bool SetParamsFromConfFile();
    // Copies the live values into the store and writes the file, creating the data
    // folder first. Answers false, with a log line and userWarning, when nothing could
    // be written; the old file is then as it was.
    bool SaveParamsToConfFile();
    // Why the conditions can never be met, for the user; empty when they can.
    static QString NeverMetConditionsText(const TAlertConditions& AConditions);
    // Frees the store (at shutdown, after saving).
    void FreeConfParams();
    TVeskConfParams* ConfParams() const { return FConfParams.get(); }

    // Fills the location record the alert logic uses from the location texts.
    void SetLocationInfo(TLocationInfo& ALocInfo) const;
    // True when the values do not match the first office row of that name exactly.
    static bool IsLocationInfoRewritten(const QString& ALocName, const QString& AAreaCode, float AGAmplification,
                                        float ALongitude, float ALatitude);
    QString GetLocAreaCode() const { return GetAreaCode(); }

    TAlertConditions GetAlertConditions() const;

    // Location texts as shown on the settings screen.
    QString GetLocationName() const { return Str(vsiLocationName); }
    QString GetLatitudeText() const { return Str(vsiLatitude); }
    QString GetLongitudeText() const { return Str(vsiLongitude); }
    QString GetAreaCode() const { return Str(vsiAreaCode); }
    QString GetGroundAmplificationText() const { return Str(vsiGroundAmplification); }
    void SetLocationName(const QString& AValue) { SetStr(vsiLocationName, AValue); }
    void SetLatitudeText(const QString& AValue) { SetStr(vsiLatitude, AValue); }
    void SetLongitudeText(const QString& AValue) { SetStr(vsiLongitude, AValue); }
    void SetAreaCode(const QString& AValue) { SetStr(vsiAreaCode, AValue); }
    void SetGroundAmplificationText(const QString& AValue) { SetStr(vsiGroundAmplification, AValue); }
    // Copies an office row: five decimals for latitude and longitude, three for the
    // ground amplification, so the texts convert back to the row's values.
    void SetLocation(const TULPrefOfficeInfo& AOffice);

    bool GetUseSIScale() const { return Bool(vsiUseSIScale); }
    void SetUseSIScale(bool AValue) { SetBool(vsiUseSIScale, AValue); }
    // -1 (no selection) for an index outside 0 to 9.
    int GetSIScaleIndex() const { return Int(vsiSIScale); }
    void SetSIScaleIndex(int AIndex) { SetInt(vsiSIScale, AIndex); }
    bool GetUseMg() const { return Bool(vsiUseMg); }
    void SetUseMg(bool AValue) { SetBool(vsiUseMg, AValue); }
    // Clamped to 0 to 19; the minimum magnitude is the position times 0.5.
    int GetMomentMgPosition() const { return Int(vsiMomentMg); }
    void SetMomentMgPosition(int APosition) { SetInt(vsiMomentMg, APosition); }
    // The minimum magnitude as the panel shows it ("%2.1f").
    QString GetMomentMgText() const;
    bool GetUseDepth() const { return Bool(vsiUseDepth); }
    void SetUseDepth(bool AValue) { SetBool(vsiUseDepth, AValue); }
    bool GetUseOrCondition() const { return Bool(vsiUseOrCondition); }
    void SetUseOrCondition(bool AValue) { SetBool(vsiUseOrCondition, AValue); }
    // Clamped to -1 to 1 (-1: no selection).
    int GetDataAccuracy() const { return Int(vsiDataAccuracy); }
    void SetDataAccuracy(int AIndex) { SetInt(vsiDataAccuracy, AIndex); }
    bool GetUseJmaDrill() const { return Bool(vsiUseJmaDrill); }
    void SetUseJmaDrill(bool AValue) { SetBool(vsiUseJmaDrill, AValue); }

    bool GetUseProxy() const { return Bool(vsiUseProxy); }
    void SetUseProxy(bool AValue) { SetBool(vsiUseProxy, AValue); }
    QString GetProxyServerIP() const { return Str(vsiProxyServerIP); }
    void SetProxyServerIP(const QString& AValue) { SetStr(vsiProxyServerIP, AValue); }
    // Clamped to 0 to 99999.
    int GetProxyServerPort() const { return Int(vsiProxyServerPort); }
    void SetProxyServerPort(int APort) { SetInt(vsiProxyServerPort, APort); }

    bool GetEnableVersionChecker() const { return Bool(vsiEnableVersionChecker); }
    void SetEnableVersionChecker(bool AValue) { SetBool(vsiEnableVersionChecker, AValue); }
    bool GetEnableAutoIconic() const { return Bool(vsiEnableAutoIconic); }
    void SetEnableAutoIconic(bool AValue) { SetBool(vsiEnableAutoIconic, AValue); }
    bool GetAlwaysAlertSoundOn() const { return Bool(vsiAlwaysAlertSoundOn); }
    void SetAlwaysAlertSoundOn(bool AValue) { SetBool(vsiAlwaysAlertSoundOn, AValue); }
    // Scheme and host of the server publishing the version file (build setting ULX_VERSION_CHECK_URL).
    QString GetVersionCheckUrl() const { return Str(vsiVersionCheckUrl); }
    void SetVersionCheckUrl(const QString& AValue) { SetStr(vsiVersionCheckUrl, AValue); }
    bool GetUseFeed() const { return Bool(vsiUseFeed); }
    void SetUseFeed(bool AValue) { SetBool(vsiUseFeed, AValue); }
    QString GetFeedSources() const { return Str(vsiFeedSources); }
    void SetFeedSources(const QString& AValue) { SetStr(vsiFeedSources, AValue); }
    bool GetAutoZoomMap() const { return Bool(vsiAutoZoomMap); }
    void SetAutoZoomMap(bool AValue) { SetBool(vsiAutoZoomMap, AValue); }
    bool GetDesktopNotification() const { return Bool(vsiDesktopNotification); }
    void SetDesktopNotification(bool AValue) { SetBool(vsiDesktopNotification, AValue); }

    // The counters change with every telegram: they signal countersChanged only.
    qint32 GetNumOfTotalEqTelegrams() const { return Int(vsiTotalEqTelegrams); }
    void SetNumOfTotalEqTelegrams(qint32 AValue) { SetInt(vsiTotalEqTelegrams, AValue); }
    void IncNumOfTotalEqTelegrams() { SetNumOfTotalEqTelegrams(GetNumOfTotalEqTelegrams() + 1); }
    qint32 GetNumOfTotalAlerts() const { return Int(vsiTotalAlerts); }
    void SetNumOfTotalAlerts(qint32 AValue) { SetInt(vsiTotalAlerts, AValue); }
    void IncNumOfTotalAlerts() { SetNumOfTotalAlerts(GetNumOfTotalAlerts() + 1); }

signals:
    // A setting other than the two counters really changed.
    void valueChanged(TVeskSettingId AId);
    // NumOfTotalEqTelegrams or NumOfTotalAlerts changed.
    void countersChanged();
    // Something the user must know about the settings file or the alert conditions,
    // in Japanese, one line; also logged.
    void userWarning(const QString& AText);

private:
    // The live value of one setting: integers and booleans (0 or 1) in Int, texts in Str.
    struct TValue
    {
        qint32 Int = 0;
        QString Str;
    };

    qint32 Int(TVeskSettingId AId) const { return FValues[AId].Int; }
    bool Bool(TVeskSettingId AId) const { return FValues[AId].Int != 0; }
    const QString& Str(TVeskSettingId AId) const { return FValues[AId].Str; }
    // Bring the value into the setting's range, store it and signal a real change.
    void SetInt(TVeskSettingId AId, qint32 AValue);
    void SetBool(TVeskSettingId AId, bool AValue) { SetInt(AId, AValue ? 1 : 0); }
    void SetStr(TVeskSettingId AId, const QString& AValue);
    void Changed(TVeskSettingId AId);

    bool ApplyItems(QString* AError);
    bool StoreItems(QString* AError);
    void RepairLocation();
    void LogValue(TVeskSettingId AId);
    void Warn(const QString& AText);
    void SetAsideNotUnderstoodFile(const QString& APath);

    TVeskLogger* FLogger = nullptr;
    std::unique_ptr<TVeskConfParams> FConfParams;
    QString FDataFolder;
    std::array<TValue, vsiCount> FValues;
};
