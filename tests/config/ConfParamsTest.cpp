#include "TestSupport.h"
#include "config/VeskConfParams.h"
#include "config/VeskProfileFile.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace UlxTest;

namespace {

class ConfParamsTest : public ::testing::Test
{
protected:
    QString Path(const QString& AName = QStringLiteral("UlmaroX.cnf")) const { return FDir.filePath(AName); }

    TVeskParamItem LoadItem(const QByteArray& AFile, const QString& AKey)
    {
        EXPECT_TRUE(WriteBytes(Path(), AFile));
        TVeskConfParams params(Path());
        const auto item = params.Item(AKey);
        EXPECT_TRUE(item.has_value()) << AKey.toStdString();
        return item.value_or(TVeskParamItem{});
    }

    QTemporaryDir FDir;
};

TEST_F(ConfParamsTest, MissingFileGivesEveryDefault)
{
    TVeskConfParams params;
    EXPECT_FALSE(params.IsLoaded());
    params.SetConfFilePath(Path());
    ASSERT_TRUE(params.LoadParams());
    EXPECT_TRUE(params.IsLoaded());
    EXPECT_FALSE(QFile::exists(Path())) << "loading must not create the file";

    const QList<TVeskParamItem>& table = VeskMainParamTable();
    ASSERT_EQ(table.size(), 26);
    ASSERT_EQ(params.Keys().size(), 26);
    for (int i = 0; i < table.size(); ++i) {
        EXPECT_EQ(params.Keys().at(i), table.at(i).ItemName);
        EXPECT_EQ(params.Item(table.at(i).ItemName)->AsString(), table.at(i).AsString())
            << table.at(i).ItemName.toStdString();
    }
    EXPECT_EQ(params.Item("SIScale")->AsInteger(), 3);
    EXPECT_EQ(params.Item("DataAccuracy")->AsInteger(), 1);
    EXPECT_EQ(params.Item("ProxyServerPort")->AsInteger(), 8080);
    EXPECT_EQ(params.Item("LocationName")->AsString(), "---");
    EXPECT_EQ(params.Item("Latitude")->AsString(), "--.--");
    EXPECT_EQ(params.Item("ProxyServerIP")->AsString(), "");
    EXPECT_TRUE(params.Item("UseSIScale")->AsBoolean());
    EXPECT_TRUE(params.Item("AlwaysAlertSoundOn")->AsBoolean());
    EXPECT_FALSE(params.Item("UseJmaDrill")->AsBoolean());

    TVeskConfParams ext;
    ext.SetConfFilePath(Path(QStringLiteral("UlmaroXCust.cnf")));
    ASSERT_TRUE(ext.LoadExtParams());
    EXPECT_FALSE(ext.IsLoaded());
    EXPECT_EQ(ext.Keys(), QStringList({"PlugInName", "PlugInLibrary", "OnMainFormCreate", "OnMainFormDestroy",
                                       "OnEq01Queued", "OnEq10Queued", "OnDetermineAlert", "OnAlertNotice"}));
    EXPECT_EQ(ext.Item("PlugInLibrary")->AsString(), "ExtPlugIn.dll");
    EXPECT_EQ(ext.Item("PlugInName")->AsString(), "MyExtPlugIn");
}

TEST_F(ConfParamsTest, StoredValuesAreReadByType)
{
    struct Case
    {
        const char* Line;
        const char* Key;
        const char* Expected; // AsString of the item
    };
    const Case cases[] = {
        {"SIScale=0x0A", "SIScale", "10"},
        {"SIScale=0X1f", "SIScale", "31"},
        {"SIScale=1.5", "SIScale", "3"},
        {"SIScale=abc", "SIScale", "3"},
        {"SIScale=", "SIScale", "3"},
        {"SIScale=0x", "SIScale", "3"},
        {"SIScale=0x-5", "SIScale", "3"},
        {"SIScale=12a", "SIScale", "3"},
        {"SIScale=  7  ", "SIScale", "7"},
        {"SIScale=-7", "SIScale", "-7"},
        {"SIScale=+4", "SIScale", "4"},
        {"SIScale=2147483647", "SIScale", "2147483647"},
        {"SIScale=2147483648", "SIScale", "3"},
        {"SIScale=-2147483648", "SIScale", "-2147483648"},
        {"SIScale=-2147483649", "SIScale", "3"},
        {"SIScale=0x80000000", "SIScale", "3"},
        {"UseSIScale=2", "UseSIScale", "True"},
        {"UseSIScale=-1", "UseSIScale", "True"},
        {"UseSIScale=0", "UseSIScale", "False"},
        {"UseSIScale=true", "UseSIScale", "True"},
        {"UseSIScale=false", "UseSIScale", "True"},
        {"UseMg=yes", "UseMg", "False"},
        {"UseMg=1", "UseMg", "True"},
        {"UseMg=0x10", "UseMg", "True"},
        {"LocationName=   大阪府庁   ", "LocationName", "大阪府庁"},
        {"LocationName=", "LocationName", ""},
        {"sisCALE=5", "SIScale", "5"},
    };
    for (const Case& c : cases) {
        const QByteArray file = QByteArray("[Config_Sheet]\n") + c.Line + "\n";
        EXPECT_EQ(LoadItem(file, QString::fromLatin1(c.Key)).AsString(), QString::fromUtf8(c.Expected)) << c.Line;
    }
    // Section names match without regard to case as well.
    EXPECT_EQ(LoadItem("[config_SHEET]\nSIScale=6\n", "SIScale").AsInteger(), 6);
    // A key in another section is not the item's key.
    EXPECT_EQ(LoadItem("[Home_Sheet]\nSIScale=6\n", "SIScale").AsInteger(), 3);
}

TEST_F(ConfParamsTest, ItemConversions)
{
    TVeskParamItem str{"S", "K", vptStr, 0, "0", false};
    EXPECT_TRUE(str.AsBoolean());
    EXPECT_FALSE(str.SetValueStr("").AsBoolean());
    EXPECT_EQ(str.SetValueStr("12a").AsInteger(), 0);
    EXPECT_EQ(str.SetValueStr("-12").AsInteger(), -12);
    EXPECT_EQ(str.SetValueStr("0x1F").AsInteger(), 31);

    TVeskParamItem boolean{"S", "K", vptBool, 7, "x", true};
    EXPECT_EQ(boolean.AsString(), "True");
    EXPECT_EQ(boolean.AsInteger(), 1);
    EXPECT_EQ(boolean.SetValueBool(false).AsString(), "False");
    EXPECT_EQ(boolean.AsInteger(), 0);

    TVeskParamItem integer{"S", "K", vptInt, -5, "", true};
    EXPECT_EQ(integer.AsString(), "-5");
    EXPECT_TRUE(integer.AsBoolean());
    EXPECT_FALSE(integer.SetValueInt(0).AsBoolean());

    // A setter of another type changes only that field, never the type.
    const TVeskParamItem copy = integer.SetValueStr("text");
    EXPECT_EQ(copy.ItemType, vptInt);
    EXPECT_EQ(copy.ValueStr, "text");
    EXPECT_EQ(copy.AsString(), "0");
    EXPECT_EQ(integer.ValueStr, "text") << "the setter updates the item it is called on";
}

TEST_F(ConfParamsTest, DictionaryRejectsMissingAndDuplicateKeys)
{
    TVeskConfParams params(Path());
    ASSERT_EQ(params.Count(), 26);
    EXPECT_FALSE(params.Item("NoSuchKey").has_value());
    EXPECT_FALSE(params.SetItem("NoSuchKey", TVeskParamItem{}));
    EXPECT_EQ(params.Count(), 26);

    TVeskParamItem item = *params.Item("SIScale");
    ASSERT_TRUE(params.SetItem("SIScale", item.SetValueInt(8)));
    EXPECT_EQ(params.Item("SIScale")->AsInteger(), 8);

    // A second load stops at the first item and keeps what was there.
    EXPECT_FALSE(params.LoadParams());
    EXPECT_TRUE(params.IsLoaded());
    EXPECT_EQ(params.Count(), 26);
    EXPECT_EQ(params.Item("SIScale")->AsInteger(), 8);
}

TEST_F(ConfParamsTest, SaveKeepsForeignLinesByteForByte)
{
    const QByteArray original = "; settings of the receiver\r\n"
                                "[Config_Sheet]\r\n"
                                "sicale_note=keep me\r\n"
                                "SIScale = 4\r\n"
                                "; a comment inside the section\r\n"
                                "\r\n"
                                "[Vendor]\r\n"
                                "Foo=Bar\r\n"
                                "\r\n"
                                "[Others]\r\n"
                                "EnableAutoIconic=1";
    ASSERT_TRUE(WriteBytes(Path(), original));
    TVeskConfParams params(Path());
    ASSERT_EQ(params.Item("SIScale")->AsInteger(), 4);
    ASSERT_TRUE(params.Item("EnableAutoIconic")->AsBoolean());
    TVeskParamItem item = *params.Item("SIScale");
    params.SetItem("SIScale", item.SetValueInt(5));
    ASSERT_TRUE(params.SaveParams());

    const QByteArray expected = "; settings of the receiver\r\n"
                                "[Config_Sheet]\r\n"
                                "sicale_note=keep me\r\n"
                                "SIScale=5\r\n"
                                "; a comment inside the section\r\n"
                                "LocationName=---\r\n"
                                "Latitude=--.--\r\n"
                                "Longitude=---.--\r\n"
                                "AreaCode=---\r\n"
                                "GroundAmplification=-.--\r\n"
                                "UseSIScale=1\r\n"
                                "UseMg=0\r\n"
                                "MomentMg=0\r\n"
                                "UseDepth=0\r\n"
                                "UseOrCondition=0\r\n"
                                "DataAccuracy=1\r\n"
                                "UseJmaDrill=0\r\n"
                                "\r\n"
                                "[Vendor]\r\n"
                                "Foo=Bar\r\n"
                                "\r\n"
                                "[Others]\r\n"
                                "EnableAutoIconic=1\r\n"
                                "EnableVersionChecker=1\r\n"
                                "AlwaysAlertSoundOn=1\r\n"
                                "VersionCheckUrl=" ULX_TEST_VERSION_CHECK_URL "\r\n"
                                "DesktopNotification=1\r\n"
                                "AutoZoomMap=1\r\n"
                                "[Home_Sheet]\r\n"
                                "TotalEqTelegrams=0\r\n"
                                "TotalAlerts=0\r\n"
                                "[NetConfig_Sheet]\r\n"
                                "UseProxy=0\r\n"
                                "ProxyServerIP=\r\n"
                                "ProxyServerPort=8080\r\n"
                                "UseFeed=0\r\n"
                                "FeedSources=wss://ws-api.wolfx.jp/jma_eew wss://api.p2pquake.net/v2/ws\r\n";
    EXPECT_EQ(ReadBytes(Path()).toStdString(), expected.toStdString());

    // Saving again changes nothing, and a new store reads back what was saved.
    ASSERT_TRUE(params.SaveParams());
    EXPECT_EQ(ReadBytes(Path()), expected);
    TVeskConfParams again(Path());
    for (const QString& key : params.Keys()) {
        EXPECT_EQ(again.Item(key)->AsString(), params.Item(key)->AsString()) << key.toStdString();
    }
}

TEST_F(ConfParamsTest, FailedSaveLeavesOldFileIntact)
{
    // Read-only file: refused, the old bytes stay.
    const QByteArray original = "[Config_Sheet]\nSIScale=4\n";
    ASSERT_TRUE(WriteBytes(Path(), original));
    ASSERT_TRUE(QFile::setPermissions(Path(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    TVeskConfParams params(Path());
    TVeskParamItem item = *params.Item("SIScale");
    params.SetItem("SIScale", item.SetValueInt(9));
    EXPECT_FALSE(params.SaveParams());
    EXPECT_FALSE(params.LastError().isEmpty());
    EXPECT_EQ(ReadBytes(Path()), original);
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files), QStringList{"UlmaroX.cnf"}) << "no temporary file left";

    // Missing folder: nothing is created.
    const QString missing = FDir.filePath(QStringLiteral("no/such/folder/UlmaroX.cnf"));
    params.SetConfFilePath(missing);
    EXPECT_FALSE(params.SaveParams());
    EXPECT_FALSE(QDir(FDir.filePath("no")).exists());
}

TEST_F(ConfParamsTest, ReadsFilesWrittenOnWindows)
{
    const QString text = QStringLiteral("[Config_Sheet]\r\nLocationName=大阪府庁\r\nSIScale=0x05\r\n");

    QStringEncoder utf16(QStringConverter::Utf16LE);
    ASSERT_TRUE(WriteBytes(Path(), QByteArray("\xFF\xFE") + QByteArray(utf16(text))));
    {
        TVeskConfParams params(Path());
        EXPECT_EQ(params.Item("LocationName")->AsString(), "大阪府庁");
        EXPECT_EQ(params.Item("SIScale")->AsInteger(), 5);
        // Rewritten as UTF-8 and read back the same.
        ASSERT_TRUE(params.SaveParams());
        const QByteArray saved = ReadBytes(Path());
        EXPECT_TRUE(saved.startsWith("[Config_Sheet]\r\nLocationName=\xE5\xA4\xA7")) << saved.left(40).toHex().data();
        EXPECT_EQ(TVeskConfParams(Path()).Item("LocationName")->AsString(), "大阪府庁");
    }

    QStringEncoder cp932("windows-31j");
    ASSERT_TRUE(cp932.isValid());
    const QByteArray sjis = cp932(text);
    ASSERT_EQ(sjis.mid(29, 8), QByteArray("\x91\xe5\x8d\xe3\x95\x7b\x92\xa1")) << sjis.toHex().data();
    ASSERT_TRUE(WriteBytes(Path(), sjis));
    EXPECT_EQ(TVeskConfParams(Path()).Item("LocationName")->AsString(), "大阪府庁");

    ASSERT_TRUE(WriteBytes(Path(), QByteArray("\xEF\xBB\xBF") + text.toUtf8()));
    TVeskConfParams withBom(Path());
    EXPECT_EQ(withBom.Item("LocationName")->AsString(), "大阪府庁");
    ASSERT_TRUE(withBom.SaveParams());
    EXPECT_TRUE(ReadBytes(Path()).startsWith("\xEF\xBB\xBF[Config_Sheet]")) << "a UTF-8 BOM is kept";
}

TEST(ProfileFileTest, EditingRules)
{
    TVeskProfileFile file;
    file.LoadFromBytes("top=level\n"
                       "[A]\n"
                       "Key=first\n"
                       "key=second\n"
                       "\n"
                       "[a]\n"
                       "Other=x\n"
                       "[B]\n"
                       "NoEquals\n"
                       "Long=" +
                       QByteArray(3000, 'z'));
    EXPECT_EQ(file.ReadString("a", "KEY"), "first") << "the first occurrence wins";
    EXPECT_EQ(file.ReadString("A", "Other", "dflt"), "dflt") << "a repeated section is not searched";
    EXPECT_EQ(file.ReadString("", "top", "dflt"), "dflt") << "lines before the first section belong to none";
    EXPECT_EQ(file.ReadString("B", "NoEquals", "dflt"), "dflt");
    EXPECT_EQ(file.ReadString("B", "Long").size(), TVeskProfileFile::MaxValueLength);

    file.WriteString("A", "New", "v1");
    file.WriteString("B", "Tail", "line\nbreak");
    file.WriteString("C", "Fresh", "v3");
    file.WriteString("a", "KEY", "changed");
    EXPECT_EQ(file.ToBytes(), "top=level\n"
                              "[A]\n"
                              "KEY=changed\n"
                              "key=second\n"
                              "New=v1\n"
                              "\n"
                              "[a]\n"
                              "Other=x\n"
                              "[B]\n"
                              "NoEquals\n"
                              "Long=" +
                                  QByteArray(3000, 'z') +
                                  "\n"
                                  "Tail=line break\n"
                                  "[C]\n"
                                  "Fresh=v3\n");
}

} // namespace
