#pragma once

#include "config/AlertConditions.h"
#include "config/VeskConfParams.h"
#include "defines/VeskDefines.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class TVeskLogger;

// One entry of the intensity-class list: label shown to the user and the number the
// alert filter compares with the estimated intensity class.
struct TSIScaleClass
{
    QString Label;
    int Threshold = 0;
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

    // File locations. The data folder is "APPDATA" + "/BrenvikCorporation/UlmaroX",
    // or the user's configuration folder in its place when "APPDATA" is not set.
    static QString GetAppConfPath();
    static QString GetAppConfName();
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
    bool LoadParamsFromConfFile();
    // Puts the loaded items into the live values and repairs a location that is not
    // one of the prefectural offices. Answers false when an item was missing; the
    // values of the remaining steps are then left as they were.
    bool SetParamsFromConfFile();
    // Copies the live values into the store and writes the file, creating the data
    // folder first. Answers false, with a log line, when nothing could be written.
    bool SaveParamsToConfFile();
    // Frees the store (at shutdown, after saving).
    void FreeConfParams();
    TVeskConfParams* ConfParams() const { return FConfParams.get(); }

    // Fills the location record the alert logic uses from the location texts.
    void SetLocationInfo(TLocationInfo& ALocInfo) const;
    // True when the values do not match the first office row of that name exactly.
    static bool IsLocationInfoRewritten(const QString& ALocName, const QString& AAreaCode, float AGAmplification,
                                        float ALongitude, float ALatitude);
    QString GetLocAreaCode() const { return FAreaCode; }

    TAlertConditions GetAlertConditions() const;

    // Location texts as shown on the settings screen.
    QString GetLocationName() const { return FLocationName; }
    QString GetLatitudeText() const { return FLatitude; }
    QString GetLongitudeText() const { return FLongitude; }
    QString GetAreaCode() const { return FAreaCode; }
    QString GetGroundAmplificationText() const { return FGroundAmplification; }
    void SetLocationName(const QString& AValue);
    void SetLatitudeText(const QString& AValue);
    void SetLongitudeText(const QString& AValue);
    void SetAreaCode(const QString& AValue);
    void SetGroundAmplificationText(const QString& AValue);
    // Copies an office row: five decimals for latitude and longitude, three for the
    // ground amplification, so the texts convert back to the row's values.
    void SetLocation(const TULPrefOfficeInfo& AOffice);

    bool GetUseSIScale() const { return FUseSIScale; }
    void SetUseSIScale(bool AValue);
    // -1 (no selection) for an index outside 0 to 9.
    int GetSIScaleIndex() const { return FSIScaleIndex; }
    void SetSIScaleIndex(int AIndex);
    bool GetUseMg() const { return FUseMg; }
    void SetUseMg(bool AValue);
    // Clamped to 0 to 19; the minimum magnitude is the position times 0.5.
    int GetMomentMgPosition() const { return FMomentMgPosition; }
    void SetMomentMgPosition(int APosition);
    QString GetMomentMgText() const;
    bool GetUseDepth() const { return FUseDepth; }
    void SetUseDepth(bool AValue);
    bool GetUseOrCondition() const { return FUseOrCondition; }
    void SetUseOrCondition(bool AValue);
    // Clamped to -1 to 1 (-1: no selection).
    int GetDataAccuracy() const { return FDataAccuracy; }
    void SetDataAccuracy(int AIndex);
    bool GetUseJmaDrill() const { return FUseJmaDrill; }
    void SetUseJmaDrill(bool AValue);

    bool GetUseProxy() const { return FUseProxy; }
    void SetUseProxy(bool AValue);
    QString GetProxyServerIP() const { return FProxyServerIP; }
    void SetProxyServerIP(const QString& AValue);
    // Clamped to 0 to 99999.
    int GetProxyServerPort() const { return FProxyServerPort; }
    void SetProxyServerPort(int APort);

    bool GetEnableVersionChecker() const { return FEnableVersionChecker; }
    void SetEnableVersionChecker(bool AValue);
    bool GetEnableAutoIconic() const { return FEnableAutoIconic; }
    void SetEnableAutoIconic(bool AValue);
    bool GetAlwaysAlertSoundOn() const { return FAlwaysAlertSoundOn; }
    void SetAlwaysAlertSoundOn(bool AValue);

    qint32 GetNumOfTotalEqTelegrams() const { return FNumOfTotalEqTelegrams; }
    void SetNumOfTotalEqTelegrams(qint32 AValue);
    void IncNumOfTotalEqTelegrams() { SetNumOfTotalEqTelegrams(FNumOfTotalEqTelegrams + 1); }
    qint32 GetNumOfTotalAlerts() const { return FNumOfTotalAlerts; }
    void SetNumOfTotalAlerts(qint32 AValue);
    void IncNumOfTotalAlerts() { SetNumOfTotalAlerts(FNumOfTotalAlerts + 1); }

signals:
    // Any live value changed.
    void changed();

private:
    template <typename T>
    void Assign(T& AField, const T& AValue);
    bool ApplyItems(QString* AError);
    bool StoreItems(QString* AError);

    TVeskLogger* FLogger = nullptr;
    std::unique_ptr<TVeskConfParams> FConfParams;

    qint32 FNumOfTotalEqTelegrams = 0;
    qint32 FNumOfTotalAlerts = 0;
    QString FLocationName;
    QString FLatitude;
    QString FLongitude;
    QString FAreaCode;
    QString FGroundAmplification;
    bool FUseSIScale = true;
    int FSIScaleIndex = 3;
    bool FUseMg = false;
    int FMomentMgPosition = 0;
    bool FUseDepth = false;
    bool FUseOrCondition = false;
    int FDataAccuracy = 1;
    bool FUseJmaDrill = false;
    bool FUseProxy = false;
    QString FProxyServerIP;
    int FProxyServerPort = 8080;
    bool FEnableVersionChecker = true;
    bool FEnableAutoIconic = false;
    bool FAlwaysAlertSoundOn = true;
};
