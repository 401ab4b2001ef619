#include "config/VeskCommandLine.h"
#include "logging/VeskLogTestMemo.h"
#include "logging/VeskLogging.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

const QString kInvalidPort = QStringLiteral("<2> Specified port # is invalid. Program will use default port #80.");

TEST(CommandLineTest, ServerNameAndPortFromArguments)
{
    struct Case
    {
        QStringList Args;
        QString Host; // empty: the default host
        int Port;
        bool Debug;
        bool PortWarning;
    };
    const Case cases[] = {
        {{}, QString(), 80, false, false},
        {{"-DebugOnLocal"}, "127.0.0.1", 8000, true, false},
        {{"-DebugOnLocal", "-EqServerPort", "9000"}, "127.0.0.1", 9000, true, false},
        {{"/debugonlocal", "/eqserver", "192.0.2.7"}, "192.0.2.7", 8000, true, false},
        {{"-EqServerPort", "abc"}, QString(), 80, false, true},
        // The port option is followed by a switch: empty value, warning. It is not taken
        // for a server called "Port".
        {{"-EqServerPort", "-EqServer", "x"}, "x", 80, false, true},
        {{"-eqserverport:8001", "-EqServerFoo"}, "Foo", 8001, false, false},
        {{"-EqServer:192.0.2.7"}, "192.0.2.7", 80, false, false},
        {{"-EqServer192.0.2.7"}, "192.0.2.7", 80, false, false},
        // Only ports a socket can use: 70000 must not become 70000 - 65536 on the wire.
        {{"-EqServerPort", "70000"}, QString(), 80, false, true},
        {{"-EqServerPort", "65536"}, QString(), 80, false, true},
        {{"-EqServerPort", "65535"}, QString(), 65535, false, false},
        {{"-EqServerPort", "1"}, QString(), 1, false, false},
        {{"-EqServerPort:0"}, QString(), 80, false, true},
        {{"/EqServerPort:-5", "-DebugOnLocal"}, "127.0.0.1", 80, true, true},
        {{"-EqServerPort", "0x1F90"}, QString(), 8080, false, false},
        {{"-EqServerPort", "99999999999"}, QString(), 80, false, true},
        {{"-EqServerPort"}, QString(), 80, false, true},
        {{"-EqServer"}, QString(), 80, false, false},
        {{"EqServer", "host"}, QString(), 80, false, false},
        {{"--EqServer", "host"}, QString(), 80, false, false},
        {{"-DebugOnLocal:yes"}, "127.0.0.1", 8000, true, false},
        {{"-EqServer", "first", "-EqServer", "second"}, "first", 80, false, false},
    };
    for (const Case& c : cases) {
        const std::string name = c.Args.join(' ').toStdString();
        TVeskCaptureMemo memo;
        TVeskLogger logger(QString(), QString(), &memo);
        TVeskCommandLine commandLine;
        EXPECT_TRUE(commandLine.LoadCommandLineOption(c.Args, &logger)) << name;
        EXPECT_EQ(commandLine.GetServerName(), c.Host.isEmpty() ? TVeskCommandLine::DefaultServerName() : c.Host)
            << name;
        EXPECT_EQ(commandLine.GetServerPort(), c.Port) << name;
        EXPECT_EQ(commandLine.IsDebugginMode(), c.Debug) << name;
        EXPECT_EQ(memo.LinesWithoutTimeStamp().contains(kInvalidPort), c.PortWarning) << name;
    }
    EXPECT_EQ(TVeskCommandLine::DefaultServerName(), QStringLiteral(ULX_TEST_DEFAULT_EQ_SERVER));
}

TEST(CommandLineTest, LogLinesOfFoundOptions)
{
    TVeskCaptureMemo memo;
    TVeskLogger logger(QString(), QString(), &memo);
    TVeskCommandLine commandLine;
    commandLine.LoadCommandLineOption({"/DebugOnLocal", "-EqServer", "192.0.2.7", "-EqServerPort", "abc", "-ConId:xyz"},
                                      &logger);
    EXPECT_EQ(memo.LinesWithoutTimeStamp(),
              QStringList({
                  "==> LoadCommandLineOption()",
                  "<8> Detected 'Debug on local'.(Value=Program connect to local server.)",
                  "<8> Detected 'EqServer'.(Value=Program will connect to this Eq-server:192.0.2.7)",
                  "<8> Detected 'EqServerPort'.(Value=Program will connect to this port of Eq-server:abc)",
                  kInvalidPort,
                  "<8> Detected 'ConId'.(Value=Program will use this ID for connecting Eq-server.)",
                  "<== LoadCommandLineOption()",
              }));
    EXPECT_EQ(commandLine.GetServerConId(), "xyz");

    memo.Clear();
    TVeskCommandLine none;
    none.LoadCommandLineOption({}, &logger);
    EXPECT_EQ(memo.LinesWithoutTimeStamp(),
              QStringList({"==> LoadCommandLineOption()", "<== LoadCommandLineOption()"}));
    EXPECT_EQ(none.GetCLOptEqServerPort(), -1);
}

TEST(CommandLineTest, ConnectionId)
{
    TVeskCommandLine fixed;
    fixed.LoadCommandLineOption({"-ConId", "fixed01"}, nullptr);
    EXPECT_EQ(fixed.GetServerConId(), "fixed01");
    EXPECT_EQ(fixed.GetServerConId(), "fixed01");

    // An empty id option changes nothing: a drawn id is used.
    TVeskCommandLine emptyId;
    emptyId.LoadCommandLineOption({"-ConId", "-DebugOnLocal"}, nullptr);
    EXPECT_EQ(emptyId.GetServerConId().size(), 12);

    static const QRegularExpression alphabet(QStringLiteral("^[0-9A-Za-z+\\-/*_]{12}$"));
    QSet<QString> seen;
    QSet<QChar> characters;
    for (int i = 0; i < 200; ++i) {
        TVeskCommandLine commandLine;
        commandLine.LoadCommandLineOption({}, nullptr);
        const QString id = commandLine.GetServerConId();
        EXPECT_TRUE(alphabet.match(id).hasMatch()) << id.toStdString();
        EXPECT_EQ(commandLine.GetServerConId(), id) << "drawn once, then the same id";
        seen.insert(id);
        for (QChar c : id) {
            characters.insert(c);
        }
    }
    EXPECT_EQ(seen.size(), 200) << "ids repeat";
    // 2400 draws from 67 characters: every character shows up.
    EXPECT_EQ(characters.size(), 67);
}

// An id the request line cannot carry unchanged is replaced by a drawn one: the wire
// carries "93:<id>:<area code>" in 7-bit ASCII, one line.
TEST(CommandLineTest, ConnectionIdOutsideTheAlphabetIsReplaced)
{
    struct Case
    {
        QString Id;
        bool Accepted;
        QString Logged; // the value of the warning line
    };
    const Case cases[] = {
        {"fixed01", true, {}},
        {"AZaz09+-/*_", true, {}},
        {"abc\n99", false, "abc\\u000a99"},
        {"abc\r", false, "abc\\u000d"},
        {"a:b", false, "a\\u003ab"},
        {"a b", false, "a\\u0020b"},
        {"a\tb", false, "a\\u0009b"},
        {QStringLiteral("日本"), false, "\\u65e5\\u672c"},
        {QStringLiteral("caf\u00e9"), false, "caf\\u00e9"},
    };
    static const QRegularExpression drawn(QStringLiteral("^[0-9A-Za-z+\\-/*_]{12}$"));
    for (const Case& c : cases) {
        const std::string name = c.Id.toStdString();
        TVeskCaptureMemo memo;
        TVeskLogger logger(QString(), QString(), &memo);
        TVeskCommandLine commandLine;
        commandLine.LoadCommandLineOption({"-ConId", c.Id}, &logger);
        const QString id = commandLine.GetServerConId();
        const QStringList lines = memo.LinesWithoutTimeStamp();
        if (c.Accepted) {
            EXPECT_EQ(id, c.Id) << name;
            EXPECT_EQ(lines.filter("<2>").size(), 0) << name;
        } else {
            EXPECT_TRUE(drawn.match(id).hasMatch()) << name << " -> " << id.toStdString();
            EXPECT_EQ(commandLine.GetServerConId(), id) << name;
            EXPECT_TRUE(commandLine.GetCLOptEqServerConId().isEmpty()) << name;
            EXPECT_TRUE(lines.contains(
                "<2> Specified connection ID is invalid. Program will use a random ID.(Value=" + c.Logged + ")"))
                << name << "\n"
                << lines.join('\n').toStdString();
        }
        for (const QString& line : lines) {
            EXPECT_FALSE(line.contains('\n') || line.contains('\r')) << name;
        }
    }
}

} // namespace
