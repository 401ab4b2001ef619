#include "config/VeskAppSettings.h"
#include "config/VeskProfileFile.h"
#include "logging/VeskLogTestMemo.h"
#include "logging/VeskLogging.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Points APPDATA at a fresh folder for one test and restores it afterwards.
class AppSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FOldAppData = qgetenv("APPDATA");
        FHadAppData = qEnvironmentVariableIsSet("APPDATA");
        qputenv("APPDATA", FDir.filePath("AppData").toUtf8());
    }
    void TearDown() override
    {
        if (FHadAppData) {
            qputenv("APPDATA", FOldAppData);
        } else {
            qunsetenv("APPDATA");
        }
    }

    QString DataFolder() const { return FDir.filePath("AppData/BrenvikCorporation/UlmaroX"); }
    QString ConfPath() const { return DataFolder() + "/UlmaroX.cnf"; }

    void WriteConf(const QByteArray& ABytes)
    {
        ASSERT_TRUE(QDir().mkpath(DataFolder()));
        QFile file(ConfPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(ABytes);
    }

    // A start: load and apply, with a fresh capture of the log.
    std::unique_ptr<TVeskAppSettings> Start()
    {
        FMemo.Clear();
        auto settings = std::make_unique<TVeskAppSettings>(&FLogger);
        EXPECT_TRUE(settings->LoadParamsFromConfFile());
        EXPECT_TRUE(settings->SetParamsFromConfFile());
        return settings;
    }

    QString Saved(const char* ASection, const char* AKey) const
    {
        return TVeskProfileFile(ConfPath()).ReadString(ASection, AKey, "<missing>");
    }

    bool LocationWasRepaired() const
    {
        return FMemo.LinesWithoutTimeStamp().contains("<2> 所在地情報の書き換えを検出。");
    }

    QTemporaryDir FDir;
    QByteArray FOldAppData;
    bool FHadAppData = false;
    TVeskCaptureMemo FMemo;
    TVeskLogger FLogger{QString(), QString(), &FMemo};
};

const QByteArray kOsakaFile = "[Config_Sheet]\n"
                              "LocationName=大阪府庁\n"
                              "Latitude=34.68630\n"
                              "Longitude=135.51965\n"
                              "AreaCode=520\n"
                              "GroundAmplification=2.044\n";

TEST_F(AppSettingsTest, FileLocations)
{
    EXPECT_EQ(TVeskAppSettings::GetAppConfPath(), DataFolder());
    EXPECT_EQ(TVeskAppSettings::GetAppHistoryDbPath(), DataFolder());
    EXPECT_EQ(TVeskAppSettings::GetAppLogPath(), DataFolder());
    EXPECT_EQ(TVeskAppSettings::GetAppConfName(), "UlmaroX.cnf");
    EXPECT_EQ(TVeskAppSettings::GetAppCustConfName(), "UlmaroXCust.cnf");
    EXPECT_EQ(TVeskAppSettings::GetAppHistoryDbName(), "EqHistDB.cds");
    EXPECT_EQ(TVeskAppSettings::GetAppLogName(), "UlmaroX.csl");

    // Without APPDATA (unset or empty) the user's configuration folder, never the root.
    const QByteArray oldXdg = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", FDir.filePath("xdg").toUtf8());
    qunsetenv("APPDATA");
    EXPECT_EQ(TVeskAppSettings::GetAppConfPath(), FDir.filePath("xdg") + "/BrenvikCorporation/UlmaroX");
    qputenv("APPDATA", "");
    EXPECT_EQ(TVeskAppSettings::GetAppConfPath(), FDir.filePath("xdg") + "/BrenvikCorporation/UlmaroX");
    qputenv("XDG_CONFIG_HOME", oldXdg);
}

TEST_F(AppSettingsTest, FirstStartRepairsLocationToTokyoAndSavesEverything)
{
    ASSERT_FALSE(QDir(DataFolder()).exists());
    auto settings = Start();

    const QStringList expectedLog = {
        "==> LoadParamsFromConfFile()",
        "Configuration file path:(Value=" + ConfPath() + ")",
        "<== LoadParamsFromConfFile()",
        "==> SetParamsFromConfFile()",
        "=-=-=-=-=-=-=-=-=-=-",
        "TotalEqTelegrams(Value=0)",
        "TotalAlerts(Value=0)",
        "=-=-=-=-=-=-=-=-=-=-",
        "LocationName(Value=---)",
        "Latitude(Value=--.--)",
        "Longitude(Value=---.--)",
        "AreaCode(Value=---)",
        "GroundAmplification(Value=-.--)",
        "<2> 所在地情報の書き換えを検出。",
        "<1> 所在地を東京に変更しました。",
        "UseSIScale(Expression=-1)",
        "SIScale(Value=3)",
        "UseMg(Expression=0)",
        "MomentMg(Value=0.0)",
        "UseDepth(Expression=0)",
        "UseOrCondition(Expression=0)",
        "DataAccuracy(Value=1)",
        "UseJmaDrill(Expression=0)",
        "=-=-=-=-=-=-=-=-=-=-",
        "UseProxy(Expression=0)",
        "ProxyServerIP(Value=)",
        "ProxyServerPort(Value=8080)",
        "UseFeed(Expression=0)",
        "FeedSources(Value=wss://ws-api.wolfx.jp/jma_eew wss://api.p2pquake.net/v2/ws)",
        "=-=-=-=-=-=-=-=-=-=-",
        "EnableVersionChecker(Expression=-1)",
        "EnableAutoIconic(Expression=0)",
        "AlwaysAlertSoundOn(Expression=-1)",
        "VersionCheckUrl(Value=" ULX_TEST_VERSION_CHECK_URL ")",
        "DesktopNotification(Expression=-1)",
        "AutoZoomMap(Expression=-1)",
        "<== SetParamsFromConfFile()",
    };
    EXPECT_EQ(FMemo.LinesWithoutTimeStamp(), expectedLog) << FMemo.Lines().join('\n').toStdString();

    EXPECT_EQ(settings->GetLocationName(), "東京都庁");
    EXPECT_EQ(settings->GetLatitudeText(), "35.68949");
    EXPECT_EQ(settings->GetLongitudeText(), "139.69171");
    EXPECT_EQ(settings->GetLocAreaCode(), "350");
    EXPECT_EQ(settings->GetGroundAmplificationText(), "2.578");
    EXPECT_EQ(settings->GetSIScaleIndex(), 3);
    EXPECT_EQ(settings->GetMomentMgText(), "0.0");
    EXPECT_EQ(settings->GetDataAccuracy(), 1);
    const TAlertConditions conditions = settings->GetAlertConditions();
    EXPECT_EQ(conditions.SIScaleThreshold, 30);
    EXPECT_EQ(conditions.SIScaleLabel, "震度３");
    EXPECT_TRUE(conditions.UseSIScale);
    EXPECT_EQ(conditions.DataAccuracy, 1);

    TLocationInfo location;
    settings->SetLocationInfo(location);
    EXPECT_DOUBLE_EQ(location.Latitude, 35.68949);
    EXPECT_DOUBLE_EQ(location.Longitude, 139.69171);
    EXPECT_DOUBLE_EQ(location.GAmplifier, 2.578);
    EXPECT_EQ(location.AreaCode, "350");

    // The counters of this run are saved with everything else; the folder is created.
    settings->IncNumOfTotalEqTelegrams();
    settings->IncNumOfTotalEqTelegrams();
    settings->IncNumOfTotalAlerts();
    FMemo.Clear();
    ASSERT_TRUE(settings->SaveParamsToConfFile());
    EXPECT_EQ(FMemo.LinesWithoutTimeStamp(), QStringList({"==> SaveParamsToConfFile()", "<== SaveParamsToConfFile()"}));
    const std::pair<const char*, const char*> expectedFile[] = {
        {"TotalEqTelegrams", "2"},
        {"TotalAlerts", "1"},
        {"LocationName", "東京都庁"},
        {"Latitude", "35.68949"},
        {"Longitude", "139.69171"},
        {"AreaCode", "350"},
        {"GroundAmplification", "2.578"},
        {"SIScale", "3"},
        {"MomentMg", "0"},
        {"DataAccuracy", "1"},
        {"UseSIScale", "1"},
        {"ProxyServerPort", "8080"},
        {"AlwaysAlertSoundOn", "1"},
        {"UseJmaDrill", "0"},
    };
    for (const auto& [key, value] : expectedFile) {
        const TVeskParamItem row = *std::find_if(VeskMainParamTable().begin(), VeskMainParamTable().end(),
                                                 [&](const TVeskParamItem& r) { return r.ItemName == key; });
        EXPECT_EQ(Saved(row.SectionName.toLatin1().constData(), key), QString::fromUtf8(value)) << key;
    }

    // The next start finds a valid location and the counters.
    auto next = Start();
    EXPECT_FALSE(LocationWasRepaired());
    EXPECT_EQ(next->GetNumOfTotalEqTelegrams(), 2);
    EXPECT_EQ(next->GetNumOfTotalAlerts(), 1);
}

TEST_F(AppSettingsTest, LocationCheck)
{
    struct Case
    {
        const char* Name;
        QByteArray File;
        bool Repaired;
    };
    QByteArray lastDecimal = kOsakaFile;
    lastDecimal.replace("Latitude=34.68630", "Latitude=34.68631");
    QByteArray otherArea = kOsakaFile;
    otherArea.replace("AreaCode=520", "AreaCode=511");
    QByteArray unknownName = kOsakaFile;
    unknownName.replace("大阪府庁", "大阪府");
    QByteArray longerText = kOsakaFile;
    longerText.replace("Latitude=34.68630", "Latitude=34.686300");
    const Case cases[] = {
        {"exact Osaka texts", kOsakaFile, false},
        {"same value, more decimals", longerText, false},
        {"latitude changed in its last decimal", lastDecimal, true},
        {"area code of another office", otherArea, true},
        {"name of no office", unknownName, true},
    };
    for (const Case& c : cases) {
        WriteConf(c.File);
        auto settings = Start();
        EXPECT_EQ(LocationWasRepaired(), c.Repaired) << c.Name;
        EXPECT_EQ(settings->GetLocationName(), c.Repaired ? "東京都庁" : "大阪府庁") << c.Name;
        EXPECT_EQ(settings->GetLocAreaCode(), c.Repaired ? "350" : "520") << c.Name;
    }
}

TEST_F(AppSettingsTest, StoredValuesAreClampedAndSavedBack)
{
    struct Case
    {
        const char* Line;
        const char* SavedKey;
        const char* SavedValue;
    };
    const Case cases[] = {
        {"UseJmaDrill=1", "UseJmaDrill", "0"},   {"MomentMg=7", "MomentMg", "7"},
        {"MomentMg=25", "MomentMg", "19"},       {"MomentMg=-3", "MomentMg", "0"},
        {"SIScale=12", "SIScale", "-1"},         {"SIScale=-5", "SIScale", "-1"},
        {"SIScale=9", "SIScale", "9"},           {"DataAccuracy=0", "DataAccuracy", "0"},
        {"DataAccuracy=5", "DataAccuracy", "1"}, {"DataAccuracy=-4", "DataAccuracy", "-1"},
    };
    for (const Case& c : cases) {
        WriteConf(kOsakaFile + c.Line + "\nDataAccuracy=0\n[NetConfig_Sheet]\nProxyServerPort=123456\n");
        auto settings = Start();
        ASSERT_TRUE(settings->SaveParamsToConfFile()) << c.Line;
        EXPECT_EQ(Saved("Config_Sheet", c.SavedKey), c.SavedValue) << c.Line;
        EXPECT_EQ(Saved("NetConfig_Sheet", "ProxyServerPort"), "99999") << c.Line;
        EXPECT_EQ(settings->GetProxyServerPort(), 99999);
    }

    WriteConf(kOsakaFile + "UseJmaDrill=1\nDataAccuracy=0\nMomentMg=7\nSIScale=12\n");
    auto settings = Start();
    EXPECT_FALSE(settings->GetUseJmaDrill());
    EXPECT_EQ(settings->GetDataAccuracy(), 0) << "the accuracy choice is kept";
    EXPECT_EQ(settings->GetMomentMgText(), "3.5");
    EXPECT_TRUE(FMemo.LinesWithoutTimeStamp().contains("MomentMg(Value=3.5)"));
    EXPECT_TRUE(FMemo.LinesWithoutTimeStamp().contains("SIScale(Value=-1)"));
    const TAlertConditions conditions = settings->GetAlertConditions();
    EXPECT_EQ(conditions.SIScaleIndex, -1);
    EXPECT_EQ(conditions.SIScaleThreshold, -1);
    EXPECT_TRUE(conditions.SIScaleLabel.isEmpty());
    EXPECT_EQ(conditions.MomentMgPosition, 7);
    EXPECT_DOUBLE_EQ(conditions.MinMagnitude(), 3.5);

    settings->SetMomentMgPosition(25);
    EXPECT_EQ(settings->GetMomentMgText(), "9.5");
}

TEST_F(AppSettingsTest, EveryOfficeSurvivesSaveAndRestart)
{
    ASSERT_EQ(GetPrefOfficeCount(), 47);
    for (int row = 0; row < GetPrefOfficeCount(); ++row) {
        const TULPrefOfficeInfo& office = GetPrefOffice(row);
        {
            auto settings = Start();
            settings->SetLocation(office);
            ASSERT_TRUE(settings->SaveParamsToConfFile());
        }
        auto restarted = Start();
        EXPECT_FALSE(LocationWasRepaired()) << office.PrefOfficeName.toStdString();
        EXPECT_EQ(restarted->GetLocationName(), office.PrefOfficeName);
        EXPECT_EQ(restarted->GetLocAreaCode(), office.AreaCode);
        EXPECT_EQ(restarted->GetLatitudeText(), QString::number(double(office.Latitude), 'f', 5));
        EXPECT_EQ(restarted->GetGroundAmplificationText(), QString::number(double(office.GAmplification), 'f', 3));
        TLocationInfo location;
        restarted->SetLocationInfo(location);
        EXPECT_EQ(float(location.Longitude), office.Longitude) << office.PrefOfficeName.toStdString();
    }
    // The artefact of single precision shows in the text and still passes the check.
    EXPECT_EQ(TVeskProfileFile(ConfPath()).ReadString("Config_Sheet", "LocationName"), "沖縄県庁");
    auto aomori = Start();
    aomori->SetLocation(GetPrefOffice(1));
    EXPECT_EQ(aomori->GetLongitudeText(), "140.74001");
    EXPECT_FALSE(TVeskAppSettings::IsLocationInfoRewritten("青森県庁", "200", 2.245f, 140.74001f, 40.82431f));
    EXPECT_TRUE(TVeskAppSettings::IsLocationInfoRewritten("青森県庁", "200", 2.245f, 140.74002f, 40.82431f));
}

TEST_F(AppSettingsTest, ChangesReachReadersAtOnce)
{
    TVeskAppSettings settings(&FLogger);
    int changeCount = 0;
    QObject::connect(&settings, &TVeskAppSettings::valueChanged, [&changeCount] { ++changeCount; });
    settings.SetSIScaleIndex(5);
    settings.SetSIScaleIndex(5);
    EXPECT_EQ(changeCount, 1) << "no signal when nothing changed";
    EXPECT_EQ(settings.GetAlertConditions().SIScaleLabel, "震度５弱");
    EXPECT_EQ(settings.GetAlertConditions().SIScaleThreshold, 50);
    settings.SetUseOrCondition(true);
    settings.SetUseMg(true);
    EXPECT_TRUE(settings.GetAlertConditions().UseOrCondition);
    EXPECT_TRUE(settings.GetAlertConditions().UseMg);
    EXPECT_EQ(changeCount, 3);
    settings.SetProxyServerPort(-1);
    EXPECT_EQ(settings.GetProxyServerPort(), 0);

    const QList<TSIScaleClass>& classes = TVeskAppSettings::SIScaleClasses();
    ASSERT_EQ(classes.size(), 10);
    const int thresholds[] = {0, 10, 20, 30, 40, 50, 55, 60, 65, 70};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(classes.at(i).Threshold, thresholds[i]);
    }
    EXPECT_EQ(classes.at(0).Label, "震度０");
    EXPECT_EQ(classes.at(6).Label, "震度５強");
    EXPECT_EQ(classes.at(9).Label, "震度７");
    const QStringList labels = {"震度０",   "震度１",   "震度２",   "震度３",   "震度４",
                                "震度５弱", "震度５強", "震度６弱", "震度６強", "震度７"};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(classes.at(i).Label, labels.at(i)) << i;
    }
}

// A bound screen re-reads only the control whose key is named, and never on a telegram.
TEST_F(AppSettingsTest, ValueChangedNamesTheKeyAndCountersSignalApart)
{
    TVeskAppSettings settings(&FLogger);
    QStringList keys;
    int counters = 0;
    QObject::connect(&settings, &TVeskAppSettings::valueChanged,
                     [&keys](TVeskSettingId AId) { keys << TVeskAppSettings::SettingKey(AId); });
    QObject::connect(&settings, &TVeskAppSettings::countersChanged, [&counters] { ++counters; });
    struct Case
    {
        const char* Name;
        std::function<void(TVeskAppSettings&)> Change;
        QStringList Keys;
        int Counters;
    };
    const Case cases[] = {
        {"index", [](TVeskAppSettings& s) { s.SetSIScaleIndex(5); }, {"SIScale"}, 0},
        {"same index again", [](TVeskAppSettings& s) { s.SetSIScaleIndex(5); }, {}, 0},
        {"index outside the list", [](TVeskAppSettings& s) { s.SetSIScaleIndex(12); }, {"SIScale"}, 0},
        {"another index outside", [](TVeskAppSettings& s) { s.SetSIScaleIndex(-7); }, {}, 0},
        {"position at the top", [](TVeskAppSettings& s) { s.SetMomentMgPosition(19); }, {"MomentMg"}, 0},
        {"clamped to the same position", [](TVeskAppSettings& s) { s.SetMomentMgPosition(40); }, {}, 0},
        {"check box", [](TVeskAppSettings& s) { s.SetUseJmaDrill(true); }, {"UseJmaDrill"}, 0},
        {"text", [](TVeskAppSettings& s) { s.SetProxyServerIP("192.0.2.1"); }, {"ProxyServerIP"}, 0},
        {"office row",
         [](TVeskAppSettings& s) { s.SetLocation(GetDefaultPrefOffice()); },
         {"LocationName", "Latitude", "Longitude", "GroundAmplification", "AreaCode"},
         0},
        {"same office again", [](TVeskAppSettings& s) { s.SetLocation(GetDefaultPrefOffice()); }, {}, 0},
        {"telegram counter", [](TVeskAppSettings& s) { s.IncNumOfTotalEqTelegrams(); }, {}, 1},
        {"alert counter", [](TVeskAppSettings& s) { s.IncNumOfTotalAlerts(); }, {}, 1},
        {"counter unchanged", [](TVeskAppSettings& s) { s.SetNumOfTotalAlerts(1); }, {}, 0},
    };
    for (const Case& c : cases) {
        keys.clear();
        counters = 0;
        c.Change(settings);
        EXPECT_EQ(keys, c.Keys) << c.Name;
        EXPECT_EQ(counters, c.Counters) << c.Name;
    }
    EXPECT_EQ(TVeskAppSettings::SettingKey(vsiMomentMg), "MomentMg");
}

// Every key is stored from its own value and read back into the same one: a value
// other than the default for each, through a save and a restart.
TEST_F(AppSettingsTest, EverySettingIsSavedAndReadBackUnderItsOwnKey)
{
    WriteConf(kOsakaFile);
    {
        auto settings = Start();
        settings->SetNumOfTotalEqTelegrams(41);
        settings->SetNumOfTotalAlerts(7);
        settings->SetUseSIScale(false);
        settings->SetSIScaleIndex(8);
        settings->SetUseMg(true);
        settings->SetMomentMgPosition(13);
        settings->SetUseDepth(true);
        settings->SetUseOrCondition(true);
        settings->SetDataAccuracy(0);
        settings->SetUseJmaDrill(true);
        settings->SetUseProxy(true);
        settings->SetProxyServerIP("192.0.2.9");
        settings->SetProxyServerPort(3128);
        settings->SetEnableVersionChecker(false);
        settings->SetEnableAutoIconic(true);
        settings->SetAlwaysAlertSoundOn(false);
        settings->SetVersionCheckUrl("http://info.example.jp:8080");
        settings->SetDesktopNotification(false);
        settings->SetAutoZoomMap(false);
        settings->SetUseFeed(true);
        settings->SetFeedSources("ws://127.0.0.1:9/feed");
        ASSERT_TRUE(settings->SaveParamsToConfFile());
    }
    const QMap<QString, QString> expected = {
        {"TotalEqTelegrams", "41"},
        {"TotalAlerts", "7"},
        {"LocationName", "大阪府庁"},
        {"Latitude", "34.68630"},
        {"Longitude", "135.51965"},
        {"AreaCode", "520"},
        {"GroundAmplification", "2.044"},
        {"UseSIScale", "0"},
        {"SIScale", "8"},
        {"UseMg", "1"},
        {"MomentMg", "13"},
        {"UseDepth", "1"},
        {"UseOrCondition", "1"},
        {"DataAccuracy", "0"},
        {"UseJmaDrill", "1"},
        {"UseProxy", "1"},
        {"ProxyServerIP", "192.0.2.9"},
        {"ProxyServerPort", "3128"},
        {"EnableVersionChecker", "0"},
        {"EnableAutoIconic", "1"},
        {"AlwaysAlertSoundOn", "0"},
        {"VersionCheckUrl", "http://info.example.jp:8080"},
        {"DesktopNotification", "0"},
        {"AutoZoomMap", "0"},
        {"UseFeed", "1"},
        {"FeedSources", "ws://127.0.0.1:9/feed"},
    };
    ASSERT_EQ(expected.size(), VeskMainParamTable().size());
    for (const TVeskParamItem& row : VeskMainParamTable()) {
        EXPECT_EQ(Saved(row.SectionName.toLatin1().constData(), row.ItemName.toLatin1().constData()),
                  expected.value(row.ItemName))
            << row.ItemName.toStdString();
    }

    auto next = Start();
    EXPECT_EQ(next->GetNumOfTotalEqTelegrams(), 41);
    EXPECT_EQ(next->GetNumOfTotalAlerts(), 7);
    EXPECT_EQ(next->GetLocationName(), "大阪府庁");
    EXPECT_FALSE(next->GetUseSIScale());
    EXPECT_EQ(next->GetSIScaleIndex(), 8);
    EXPECT_TRUE(next->GetUseMg());
    EXPECT_EQ(next->GetMomentMgText(), "6.5");
    EXPECT_TRUE(next->GetUseDepth());
    EXPECT_TRUE(next->GetUseOrCondition());
    EXPECT_EQ(next->GetDataAccuracy(), 0);
    EXPECT_FALSE(next->GetUseJmaDrill()) << "drill telegrams are switched off at every start";
    EXPECT_TRUE(next->GetUseProxy());
    EXPECT_EQ(next->GetProxyServerIP(), "192.0.2.9");
    EXPECT_EQ(next->GetProxyServerPort(), 3128);
    EXPECT_FALSE(next->GetEnableVersionChecker());
    EXPECT_TRUE(next->GetEnableAutoIconic());
    EXPECT_FALSE(next->GetAlwaysAlertSoundOn());
    EXPECT_EQ(next->GetVersionCheckUrl(), "http://info.example.jp:8080");
    EXPECT_FALSE(next->GetDesktopNotification());
    EXPECT_FALSE(next->GetAutoZoomMap());
    EXPECT_TRUE(next->GetUseFeed());
    EXPECT_EQ(next->GetFeedSources(), "ws://127.0.0.1:9/feed");
}

TEST_F(AppSettingsTest, FailuresAreReportedAndNothingIsDamaged)
{
    // No store.
    {
        TVeskAppSettings settings(&FLogger);
        FMemo.Clear();
        EXPECT_FALSE(settings.SaveParamsToConfFile());
        EXPECT_EQ(FMemo.LinesWithoutTimeStamp(),
                  QStringList({"==> SaveParamsToConfFile()", "<37> ConfParams does not point to an object.",
                               "<== SaveParamsToConfFile()"}));
    }
    // A key missing from the store ends the apply step; later values keep their design values.
    {
        WriteConf(kOsakaFile + "SIScale=6\nMomentMg=7\nUseMg=1\n");
        TVeskAppSettings settings(&FLogger);
        ASSERT_TRUE(settings.LoadParamsFromConfFile());
        settings.ConfParams()->Remove("UseMg");
        FMemo.Clear();
        EXPECT_FALSE(settings.SetParamsFromConfFile());
        EXPECT_EQ(settings.GetSIScaleIndex(), 6);
        EXPECT_EQ(settings.GetMomentMgPosition(), 0);
        const QStringList lines = FMemo.LinesWithoutTimeStamp();
        EXPECT_EQ(lines.mid(lines.size() - 2), QStringList({"<37> SetParamsFromConfFile()(Value=Item not found: UseMg)",
                                                            "<== SetParamsFromConfFile()"}));
    }
    // Read-only settings file: the old file stays as it was.
    {
        WriteConf(kOsakaFile);
        auto settings = Start();
        settings->SetSIScaleIndex(8);
        ASSERT_TRUE(QFile::setPermissions(ConfPath(), QFileDevice::ReadOwner));
        FMemo.Clear();
        EXPECT_FALSE(settings->SaveParamsToConfFile());
        EXPECT_TRUE(FMemo.LinesWithoutTimeStamp().at(1).startsWith("<37> Failed to save configuration file.(Value="))
            << FMemo.Lines().join('\n').toStdString();
        QFile file(ConfPath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), kOsakaFile);
        QFile::setPermissions(ConfPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    // The data folder cannot be created (a file is in its way).
    {
        auto settings = Start();
        QFile blocker(FDir.filePath("Blocked"));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        qputenv("APPDATA", FDir.filePath("Blocked").toUtf8());
        FMemo.Clear();
        EXPECT_FALSE(settings->SaveParamsToConfFile());
        EXPECT_EQ(FMemo.LinesWithoutTimeStamp(),
                  QStringList({"==> SaveParamsToConfFile()",
                               "<37> Failed to create directory.(Value=" + FDir.filePath("Blocked") +
                                   "/BrenvikCorporation/UlmaroX)",
                               "<== SaveParamsToConfFile()"}));
    }
}

} // namespace

// The Yamaguchi and Kumamoto offices once carried area codes that JMA's telegrams
// never use for them: a location stored with the old code keeps its office and gets
// the current code, saved at the end of the run.
TEST_F(AppSettingsTest, OfficeStoredWithItsFormerAreaCodeKeepsTheOffice)
{
    struct TCase
    {
        QByteArray File;
        const char* Office;
        const char* Code;
    };
    const std::vector<TCase> cases = {
        {"[Config_Sheet]\nLocationName=山口県庁\nLatitude=34.18596\nLongitude=131.47066\nAreaCode=701\n"
         "GroundAmplification=1.161\n",
         "山口県庁", "704"},
        {"[Config_Sheet]\nLocationName=熊本県庁\nLatitude=32.78983\nLongitude=130.74167\nAreaCode=740\n"
         "GroundAmplification=1.805\n",
         "熊本県庁", "741"},
    };
    for (const TCase& c : cases) {
        WriteConf(c.File);
        auto settings = Start();
        EXPECT_FALSE(LocationWasRepaired()) << c.Office;
        EXPECT_EQ(settings->GetLocationName(), QString::fromUtf8(c.Office));
        EXPECT_EQ(settings->GetAreaCode(), QLatin1String(c.Code));
        EXPECT_TRUE(FMemo.LinesWithoutTimeStamp().join('\n').contains("Area code of the location corrected:"));
        ASSERT_TRUE(settings->SaveParamsToConfFile());
        EXPECT_EQ(Saved("Config_Sheet", "AreaCode"), QLatin1String(c.Code));
    }
}
