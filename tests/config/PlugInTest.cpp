#include "config/VeskPlugIn.h"
#include "logging/VeskLogTestMemo.h"
#include "logging/VeskLogging.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kDisabled = QStringLiteral("<8> This event handler has been disabled by the configuration filee.");
const QStringList kLoadedLines = {
    "<0> Loaded: Form create event handler.",       "<0> Loaded: Form destroy event handler.",
    "<0> Loaded: Telegram 01 ueued event handler.", "<0> Loaded: Telegram 10 ueued event handler.",
    "<0> Loaded: Determine alert event handler.",   "<0> Loaded: Alert event handler.",
};

// The real sample plug-in, loaded through an extension file in a temporary data
// folder; what the library receives lands in a file named by ULX_SAMPLE_PLUGIN_OUT.
class PlugInTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        qputenv("ULX_SAMPLE_PLUGIN_OUT", OutPath().toUtf8());
    }
    void TearDown() override { qunsetenv("ULX_SAMPLE_PLUGIN_OUT"); }

    QString OutPath() const { return FDir.filePath("received.txt"); }

    void WriteExtConf(const QByteArray& ABody)
    {
        QFile file(FDir.filePath("UlmaroXCust.cnf"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[Ext_Conf]\nPlugInName=Test\n" + ABody);
    }

    bool Load(TVeskPlugIn& APlugIn, const QString& AProgramFolder = QStringLiteral(ULX_BIN_DIR))
    {
        FMemo.Clear();
        return APlugIn.LoadParamsFromExtConfFile(FDir.path(), &FLogger, AProgramFolder);
    }

    QStringList Received() const
    {
        QFile file(OutPath());
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir FDir;
    TVeskCaptureMemo FMemo;
    TVeskLogger FLogger{QString(), QString(), &FMemo};
};

TEST_F(PlugInTest, AllSwitchesOffLoadsButCallsNothing)
{
    WriteExtConf("PlugInLibrary=libUlxSamplePlugin.so\n");
    TVeskPlugIn plugIn;
    ASSERT_TRUE(Load(plugIn));
    QStringList expected = {"==> LoadParamsFromExtConfFile()", "<8> Detect extented configuration file.",
                            "<0> Success to load plug-in library."};
    for (const QString& loaded : kLoadedLines) {
        expected << loaded << kDisabled;
    }
    expected << "<== LoadParamsFromExtConfFile()";
    EXPECT_EQ(FMemo.LinesWithoutTimeStamp(), expected) << FMemo.Lines().join('\n').toStdString();

    EXPECT_TRUE(plugIn.IsLoadedExtParams());
    EXPECT_TRUE(plugIn.IsLibraryLoaded());
    EXPECT_EQ(plugIn.FOnMainFormCreate, nullptr);
    EXPECT_EQ(plugIn.FOnEq01Queued, nullptr);
    EXPECT_EQ(plugIn.FOnDetermineAlert, nullptr);
    ASSERT_NE(plugIn.FVpiLibraryName, nullptr);
    ASSERT_NE(plugIn.FVpiPlugInInterfaceVersion, nullptr);
    EXPECT_EQ(QString::fromUtf16(plugIn.FVpiLibraryName()), "Ulmaro X sample plug-in");
    EXPECT_EQ(plugIn.FVpiPlugInInterfaceVersion(), 1);

    plugIn.CallMainFormCreate(reinterpret_cast<TVpiWindowHandle>(quintptr(0x1234)));
    plugIn.CallEq01Queued("37 03 00 110415233453 C11");
    plugIn.CallEq10Queued("39 03 10 110415233453 C11");
    plugIn.Unload();
    EXPECT_FALSE(plugIn.IsLibraryLoaded());
    EXPECT_EQ(plugIn.ExtParams(), nullptr);
    EXPECT_FALSE(QFile::exists(OutPath())) << Received().join('\n').toStdString();
}

TEST_F(PlugInTest, Eq01SwitchDeliversEachTelegramOnceInOrder)
{
    WriteExtConf("PlugInLibrary=libUlxSamplePlugin.so\nOnEq01Queued=1\n");
    TVeskPlugIn plugIn;
    ASSERT_TRUE(Load(plugIn));
    const QStringList lines = FMemo.LinesWithoutTimeStamp();
    EXPECT_EQ(lines.count(kDisabled), 5);
    const qsizetype eq01 = lines.indexOf("<0> Loaded: Telegram 01 ueued event handler.");
    ASSERT_GE(eq01, 0);
    EXPECT_NE(lines.at(eq01 + 1), kDisabled);

    const QStringList telegrams = {"first 01 telegram", "second 01 telegram 震度５弱 𠮷", "third"};
    for (const QString& telegram : telegrams) {
        plugIn.CallEq01Queued(telegram);
        plugIn.CallEq10Queued("not switched on");
    }
    // Each line is on disk as soon as the call returns.
    EXPECT_EQ(Received(), QStringList({"VpiEq01Queued\tfirst 01 telegram",
                                       "VpiEq01Queued\tsecond 01 telegram 震度５弱 𠮷", "VpiEq01Queued\tthird"}));
}

TEST_F(PlugInTest, SwitchedOnEntriesRunAtStartTelegramsAndShutdown)
{
    WriteExtConf("PlugInLibrary=" + QByteArray(ULX_BIN_DIR) +
                 "/libUlxSamplePlugin.so\n"
                 "OnMainFormCreate=1\nOnMainFormDestroy=1\nOnEq01Queued=1\nOnEq10Queued=-1\n"
                 "OnDetermineAlert=1\nOnAlertNotice=1\n");
    {
        TVeskPlugIn plugIn;
        ASSERT_TRUE(Load(plugIn, FDir.path()));
        EXPECT_FALSE(FMemo.LinesWithoutTimeStamp().contains(kDisabled));
        ASSERT_NE(plugIn.FOnDetermineAlert, nullptr);
        ASSERT_NE(plugIn.FOnAlertNotice, nullptr);
        plugIn.CallMainFormCreate(reinterpret_cast<TVpiWindowHandle>(quintptr(0x1234)));
        plugIn.CallEq01Queued("01");
        plugIn.CallEq10Queued("10");
        // Going out of scope shuts the plug-in down as Unload would.
    }
    EXPECT_EQ(Received(), QStringList({"VpiMainFormCreate\t0x1234", "VpiEq01Queued\t01", "VpiEq10Queued\t10",
                                       "VpiMainFormDestroy\t"}));
}

TEST_F(PlugInTest, LibraryWithoutDestroyEntryUnloadsSilently)
{
    WriteExtConf("PlugInLibrary=libUlxSamplePluginNoDestroy.so\nOnMainFormDestroy=1\nOnEq01Queued=1\n");
    TVeskPlugIn plugIn;
    ASSERT_TRUE(Load(plugIn, QStringLiteral(ULX_TEST_PLUGIN_DIR)));
    const QStringList lines = FMemo.LinesWithoutTimeStamp();
    EXPECT_FALSE(lines.contains("<0> Loaded: Form destroy event handler."));
    EXPECT_EQ(lines.count(kDisabled), 4);
    EXPECT_EQ(plugIn.FOnMainFormDestroy, nullptr);
    plugIn.CallEq01Queued("x");
    plugIn.Unload();
    EXPECT_FALSE(plugIn.IsLibraryLoaded());
    EXPECT_EQ(Received(), QStringList({"VpiEq01Queued\tx"}));
}

TEST_F(PlugInTest, NoLibraryMeansNoPlugIn)
{
    struct Case
    {
        const char* Name;
        QByteArray Body;
    };
    const Case cases[] = {
        {"missing library", "PlugInLibrary=NoSuchPlugIn.so\nOnEq01Queued=1\n"},
        {"empty library name", "PlugInLibrary=\nOnEq01Queued=1\n"},
        {"not a library", "PlugInLibrary=UlmaroXCust.cnf\nOnEq01Queued=1\n"},
    };
    for (const Case& c : cases) {
        WriteExtConf(c.Body);
        TVeskPlugIn plugIn;
        EXPECT_FALSE(Load(plugIn, FDir.path())) << c.Name;
        const QStringList lines = FMemo.LinesWithoutTimeStamp();
        ASSERT_GE(lines.size(), 4) << c.Name;
        EXPECT_EQ(lines.mid(0, 3),
                  QStringList({"==> LoadParamsFromExtConfFile()", "<8> Detect extented configuration file.",
                               "<2> Failed to load plug-in library."}))
            << c.Name;
        EXPECT_EQ(lines.last(), "<== LoadParamsFromExtConfFile()") << c.Name;
        EXPECT_FALSE(plugIn.IsLibraryLoaded());
        EXPECT_FALSE(plugIn.IsLoadedExtParams());
        plugIn.CallEq01Queued("ignored");
        plugIn.Unload();
    }
    EXPECT_FALSE(QFile::exists(OutPath()));

    // No extension file at all: only the entry and exit lines.
    QFile::remove(FDir.filePath("UlmaroXCust.cnf"));
    TVeskPlugIn plugIn;
    EXPECT_FALSE(Load(plugIn));
    EXPECT_EQ(FMemo.LinesWithoutTimeStamp(),
              QStringList({"==> LoadParamsFromExtConfFile()", "<== LoadParamsFromExtConfFile()"}));
    EXPECT_EQ(plugIn.ExtParams(), nullptr);
}

} // namespace
