#include "TestSupport.h"
#include "app/DisplayPlatform.h"
#include "app/console/ScreenSaverControl.h"
#include "app/console/VeskHeadlessPrinter.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

using namespace UlxTest;

// A "%" in the server's EQ id is text: it never takes the place of a number.
TEST(HeadlessPrinter, CountdownLineKeepsPercentSignsOfTheEqId)
{
    TEq01Fields f;
    f.EqId = QStringLiteral("ND%1%2%3%L1xyz%%");
    TAlertTick tick;
    tick.AdvanceSec = 12;
    tick.ElapsedSec = 3;
    EXPECT_EQ(TVeskHeadlessPrinter::CountdownLine(Eq01(f), tick),
              QStringLiteral("ND%1%2%3%L1xyz%%-005  S波到達まで 12 秒 (経過 3 秒)  / S-wave in 12 s (elapsed 3 s)\n"));
    tick.Arrived = true;
    tick.AdvanceSec = 2;
    EXPECT_EQ(TVeskHeadlessPrinter::CountdownLine(Eq01(f), tick),
              QStringLiteral("ND%1%2%3%L1xyz%%-005  S波到達 (到達から 2 秒)  / S-wave arrived 2 s ago\n"));
}

// Text from the server never reaches a terminal raw: the countdown on standard error
// escapes control characters, the JSON lines escape them as JSON does.
TEST(HeadlessPrinter, ControlCharactersFromTheServerAreEscaped)
{
    const struct
    {
        QString EqId;
        QString CountdownId; // as the countdown line shows it
        QString Json;        // as a JSON string
    } cases[] = {
        {QStringLiteral("ND\x1b]0;pwned\x07\x1b[2J"), QStringLiteral("ND\\x1B]0;pwned\\x07\\x1B[2J"),
         QStringLiteral("\"ND\\u001b]0;pwned\\u0007\\u001b[2J\"")},
        {QString::fromUtf16(u"ND\u009b31m\u007fabcdefghi"), QStringLiteral("ND\\x9B31m\\x7Fabcdefghi"),
         QStringLiteral("\"ND\\u009b31m\\u007fabcdefghi\"")},
        {QStringLiteral("ND20160414212634"), QStringLiteral("ND20160414212634"),
         QStringLiteral("\"ND20160414212634\"")},
    };
    for (const auto& c : cases) {
        TEq01Fields f;
        f.EqId = c.EqId;
        TAlertTick tick;
        tick.AdvanceSec = 12;
        tick.ElapsedSec = 3;
        const QString line = TVeskHeadlessPrinter::CountdownLine(Eq01(f), tick);
        EXPECT_TRUE(line.startsWith(c.CountdownId + QStringLiteral("-005  "))) << line.toStdString();
        EXPECT_EQ(TVeskJsonLine::Quote(c.EqId), c.Json);
    }
}

// Without a reachable session bus the screen-saver step is skipped at once.
TEST(FreedesktopScreenSaver, UnreachableBusAnswersNoneWithoutWaiting)
{
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/ulx-test-bus");
    TFreedesktopScreenSaver saver;
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(saver.IsScreenSaverRunning());
    saver.StopScreenSaver();
    EXPECT_LT(timer.elapsed(), 2000);
}

// Where the windowed program runs: through XWayland in a Wayland session that has
// it (so the alert window can stay on top), as the user chose when they did, and
// with a word in the log where the window may not come to the front.
TEST(DisplayPlatform, WaylandSessionsRunThroughXWaylandUnlessTheUserChose)
{
    const struct
    {
        const char* Wayland;
        const char* SessionType;
        const char* Display;
        const char* Chosen;
        const char* Platform;
        bool Noted;
    } cases[] = {
        {"", "", ":0", "", "", false},                   // X11 session
        {"", "x11", ":0", "", "", false},                //
        {"wayland-0", "wayland", ":0", "", "xcb", true}, // GNOME on Wayland with XWayland
        {"", "wayland", ":1", "", "xcb", true},          // the session type alone
        {"wayland-0", "wayland", "", "", "", true},      // pure Wayland: runs, and says so
        {"wayland-0", "wayland", ":0", "wayland", "", true},
        {"wayland-0", "wayland", ":0", "xcb", "", false},
        {"", "", "", "offscreen", "", false},
    };
    for (const auto& c : cases) {
        QProcessEnvironment env;
        const std::pair<const char*, const char*> vars[] = {{"WAYLAND_DISPLAY", c.Wayland},
                                                            {"XDG_SESSION_TYPE", c.SessionType},
                                                            {"DISPLAY", c.Display},
                                                            {"QT_QPA_PLATFORM", c.Chosen}};
        for (const auto& [name, value] : vars) {
            if (*value) {
                env.insert(QString::fromLatin1(name), QString::fromLatin1(value));
            }
        }
        const TDisplayPlatformChoice choice = ChooseDisplayPlatform(env);
        SCOPED_TRACE(testing::Message() << c.Wayland << "|" << c.SessionType << "|" << c.Display << "|" << c.Chosen);
        EXPECT_EQ(choice.Platform, QString::fromLatin1(c.Platform));
        EXPECT_EQ(!choice.LogNote.isEmpty(), c.Noted) << qPrintable(choice.LogNote);
    }
}
