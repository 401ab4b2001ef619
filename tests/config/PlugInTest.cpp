#include "config/VeskPlugIn.h"
#include "logging/VeskLogTestMemo.h"
#include "logging/VeskLogging.h"

#include <QElapsedTimer>
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
    // The calls run on the plug-in's thread, in the order they were made.
    ASSERT_TRUE(plugIn.WaitForCalls(5000));
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
    EXPECT_FALSE(plugIn.WasAbandoned());
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

// Plug-ins that throw from every entry, or never return from the type-01 entry.
class FaultyPlugInTest : public PlugInTest
{
protected:
    void SetUp() override
    {
        PlugInTest::SetUp();
        qputenv("ULX_FAULTY_PLUGIN_OUT", OutPath().toUtf8());
    }
    void TearDown() override
    {
        qunsetenv("ULX_FAULTY_PLUGIN_OUT");
        PlugInTest::TearDown();
    }
    void WriteFaultyConf(const char* AFault)
    {
        WriteExtConf(QByteArray("PlugInLibrary=libUlxFaultyPlugin_") + AFault +
                     ".so\nOnMainFormCreate=1\nOnMainFormDestroy=1\nOnEq01Queued=1\nOnEq10Queued=1\n");
    }
};

TEST_F(FaultyPlugInTest, ExceptionsAreCaughtAtEachCallAndLoggedWithTheirText)
{
    WriteFaultyConf("throw");
    TVeskPlugIn plugIn;
    ASSERT_TRUE(Load(plugIn, QStringLiteral(ULX_TEST_PLUGIN_DIR)));
    FMemo.Clear();
    plugIn.CallMainFormCreate(nullptr);
    plugIn.CallEq01Queued("first");
    plugIn.CallEq10Queued("ten");
    plugIn.CallEq01Queued("second");
    plugIn.Unload();
    EXPECT_FALSE(plugIn.WasAbandoned());
    // A throwing entry stops neither the later calls nor the shutdown entry.
    EXPECT_EQ(Received(), QStringList({"VpiMainFormCreate\t", "VpiEq01Queued\tfirst", "VpiEq10Queued\tten",
                                       "VpiEq01Queued\tsecond", "VpiMainFormDestroy\t"}));
    EXPECT_EQ(FMemo.LinesWithoutTimeStamp(),
              QStringList({"<37> VpiMainFormCreate()(Value=faulty plug-in VpiMainFormCreate)",
                           "<37> VpiEq01Queued()(Value=faulty plug-in VpiEq01Queued)",
                           "<37> VpiEq10Queued()(Value=faulty plug-in VpiEq10Queued)",
                           "<37> VpiEq01Queued()(Value=faulty plug-in VpiEq01Queued)",
                           "<37> VpiMainFormDestroy()(Value=faulty plug-in VpiMainFormDestroy)"}));
}

TEST_F(FaultyPlugInTest, ABlockedEntryHoldsUpNeitherTheCallerNorTheShutdown)
{
    WriteFaultyConf("block");
    TVeskPlugIn plugIn;
    plugIn.SetUnloadBudgetMs(300);
    ASSERT_TRUE(Load(plugIn, QStringLiteral(ULX_TEST_PLUGIN_DIR)));
    FMemo.Clear();
    QElapsedTimer timer;
    timer.start();
    plugIn.CallEq01Queued("stuck");
    // Far more calls than the queue holds: each returns at once, the excess is dropped and logged.
    for (int i = 0; i < TVeskPlugIn::MaxPendingCalls + 10; ++i) {
        plugIn.CallEq10Queued("behind");
    }
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_FALSE(plugIn.WaitForCalls(50));
    EXPECT_TRUE(FMemo.LinesWithoutTimeStamp().contains(
        "<2> Plug-in call dropped: the plug-in is not returning.(Value=VpiEq10Queued)"));

    timer.restart();
    plugIn.Unload();
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_TRUE(plugIn.WasAbandoned());
    EXPECT_FALSE(plugIn.IsLibraryLoaded());
    EXPECT_TRUE(FMemo.LinesWithoutTimeStamp().contains("<2> Plug-in did not return in time; left loaded.(Value=300)"));
    // Nothing after the blocked call reached the plug-in.
    EXPECT_EQ(Received(), QStringList({"VpiEq01Queued\tstuck"}));

    // A plug-in can be loaded again beside the abandoned one.
    WriteExtConf("PlugInLibrary=libUlxSamplePlugin.so\nOnEq01Queued=1\n");
    ASSERT_TRUE(Load(plugIn));
    plugIn.CallEq01Queued("again");
    ASSERT_TRUE(plugIn.WaitForCalls(5000));
    EXPECT_EQ(Received().last(), "VpiEq01Queued\tagain");
}

} // namespace
