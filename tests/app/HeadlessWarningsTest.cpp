// ulmarox-headless as a person at a terminal sees it: problems at start-up as one
// "警告: " line each on standard error, and server text that cannot steer the terminal.

#include "AppTestSupport.h"

#include <QStringEncoder>
#include <QTcpServer>

#include <gtest/gtest.h>

namespace {

int FreePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

QStringList WarningLines(const QString& AErr)
{
    QStringList out;
    for (const QString& line : AErr.split(QLatin1Char('\n'))) {
        if (line.startsWith(QStringLiteral("警告: "))) {
            out << line;
        }
    }
    return out;
}

} // namespace

TEST(HeadlessWarnings, StartupProblemsAreOneLineEachOnStandardError)
{
    QStringEncoder utf16(QStringConverter::Utf16LE);
    const struct
    {
        const char* Name;
        QByteArray Conf;   // settings file written before the start; none when empty
        bool BlockFolder;  // a file stands where the data folder must be made
        QStringList Parts; // a part of each warning line, in order
    } cases[] = {
        {"intensity class out of range",
         "[Config_Sheet]\nUseSIScale=1\nSIScale=99\nUseOrCondition=1\n",
         false,
         {QStringLiteral("震度の条件に震度が選ばれていない")}},
        {"UTF-16 without BOM",
         utf16(QStringLiteral("[Config_Sheet]\r\nLocationName=沖縄県庁\r\n")),
         false,
         {QStringLiteral("UlmaroX.cnf.bad-")}},
        {"data folder cannot be made",
         QByteArray(),
         true,
         {QStringLiteral("データフォルダー"), QStringLiteral("地震履歴ファイル"), QStringLiteral("データフォルダー")}},
    };
    const int port = FreePort();
    ASSERT_GT(port, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTestFolders folders;
        if (!c.Conf.isEmpty()) {
            ASSERT_TRUE(QDir().mkpath(folders.DataFolder()));
            ASSERT_TRUE(folders.WriteFile(folders.DataFolder() + QStringLiteral("/UlmaroX.cnf"), c.Conf));
        }
        if (c.BlockFolder) {
            ASSERT_TRUE(QDir().mkpath(folders.AppData()));
            ASSERT_TRUE(folders.WriteFile(folders.AppData() + QStringLiteral("/BrenvikCorporation"), "x"));
        }
        THeadless app(folders, THeadless::ServerArgs(port));
        ASSERT_TRUE(app.WaitForEvent(IsEvent(QStringLiteral("status")))) << qPrintable(app.Err());
        ASSERT_TRUE(app.SignalAndWait(SIGTERM));
        EXPECT_EQ(app.ExitCode(), 0);
        // Standard error may still be in the pipe.
        WaitUntil([&] { return WarningLines(app.Err()).size() >= c.Parts.size(); }, 2000);
        const QStringList lines = WarningLines(app.Err());
        ASSERT_EQ(lines.size(), c.Parts.size()) << qPrintable(app.Err());
        for (int i = 0; i < lines.size(); ++i) {
            EXPECT_TRUE(lines[i].contains(c.Parts[i])) << qPrintable(lines[i]);
        }
    }
}

// An EQ id with terminal escape sequences: the countdown shows them escaped.
TEST(HeadlessWarnings, EscapeSequencesInAnEqIdAreEscapedOnStandardError)
{
    TTestFolders folders;
    const QString eqId = QStringLiteral("ND\x1b]0;pwned\x07\x1b[2J");
    ASSERT_EQ(eqId.size(), 16);
    const QString scenario = folders.File(QStringLiteral("escape.txt"));
    ASSERT_TRUE(folders.WriteFile(
        scenario,
        "+300 " + Teleg01(QStringLiteral("00"), eqId, 1, "357", "1397", "010", "60", "22222").toUtf8() + "\n"));
    TEqSim sim({scenario}, folders.Environment());
    ASSERT_GT(sim.Port, 0) << qPrintable(sim.Out() + sim.Err());
    THeadless app(folders, THeadless::ServerArgs(sim.Port));
    ASSERT_TRUE(app.WaitForEvent(IsEvent(QStringLiteral("alert"), eqId))) << qPrintable(app.Out());
    const QString shown = QStringLiteral("ND\\x1B]0;pwned\\x07\\x1B[2J-001");
    ASSERT_TRUE(WaitUntil([&] { return app.Err().contains(shown); })) << qPrintable(app.Err());
    ASSERT_TRUE(app.SignalAndWait(SIGTERM));
    EXPECT_FALSE(app.Err().contains(QChar(0x1b))) << "no raw escape reaches the terminal";
    EXPECT_FALSE(app.Err().contains(QChar(0x07)));
}
