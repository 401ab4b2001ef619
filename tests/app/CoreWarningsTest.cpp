#include "TestSupport.h"
// What the core tells the user at start-up and shutdown: each problem with the data
// folder, the settings file, the history or the log as one warning, delivered once
// to listeners connected before the event loop runs.

#include "app/VeskAppCore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace UlxTest;

namespace {

// A valid settings file, so that as a linked settings file it is read, not set aside.
const QByteArray VictimBytes = "[Config_Sheet]\nSIScale=5\n";

struct TCase
{
    const char* Name;
    // Prepares the root folder; answers the data folder to use.
    std::function<QString(const QString& ARoot)> Prepare;
    QStringList StartWarnings;    // a part of each start-up warning, in order
    QStringList ShutdownWarnings; // a part of each warning the shutdown adds
    std::function<void(const QString& ARoot)> Check;
};

QString Data(const QString& ARoot)
{
    const QString folder = QDir(ARoot).filePath(QStringLiteral("data"));
    QDir().mkpath(folder);
    return folder;
}

void ExpectVictimUntouched(const QString& ARoot)
{
    EXPECT_EQ(ReadBytes(QDir(ARoot).filePath(QStringLiteral("victim"))), VictimBytes);
}

} // namespace

TEST(CoreWarnings, EachProblemIsToldOnceAndNothingIsWrittenWhereItMustNotBe)
{
    const std::vector<TCase> cases = {
        {"a first start", [](const QString& ARoot) { return Data(ARoot); }, {}, {}, nullptr},
        {"an intensity class out of range",
         [](const QString& ARoot) {
             WriteBytes(Data(ARoot) + QStringLiteral("/UlmaroX.cnf"), "[Config_Sheet]\nUseSIScale=1\nSIScale=99\n");
             return Data(ARoot);
         },
         {QStringLiteral("警報は出ません")},
         {},
         nullptr},
        {"a data folder that cannot be made",
         [](const QString& ARoot) {
             WriteBytes(QDir(ARoot).filePath(QStringLiteral("file")), "x");
             return QDir(ARoot).filePath(QStringLiteral("file/data"));
         },
         {QStringLiteral("データフォルダー"), QStringLiteral("地震履歴ファイル")},
         {QStringLiteral("データフォルダー")},
         nullptr},
        {"a history that cannot be opened",
         [](const QString& ARoot) {
             QDir().mkpath(Data(ARoot) + QStringLiteral("/EqHistDB.cds"));
             return Data(ARoot);
         },
         {QStringLiteral("地震履歴ファイル")},
         {},
         nullptr},
        {"a settings file linked elsewhere",
         [](const QString& ARoot) {
             WriteBytes(QDir(ARoot).filePath(QStringLiteral("victim")), VictimBytes);
             QFile::link(QDir(ARoot).filePath(QStringLiteral("victim")), Data(ARoot) + QStringLiteral("/UlmaroX.cnf"));
             return Data(ARoot);
         },
         {QStringLiteral("シンボリックリンク")},
         {QStringLiteral("保存できませんでした")},
         [](const QString& ARoot) {
             ExpectVictimUntouched(ARoot);
             EXPECT_TRUE(QFileInfo(Data(ARoot) + QStringLiteral("/UlmaroX.cnf")).isSymLink());
         }},
        {"a log linked elsewhere",
         [](const QString& ARoot) {
             WriteBytes(QDir(ARoot).filePath(QStringLiteral("victim")), VictimBytes);
             QFile::link(QDir(ARoot).filePath(QStringLiteral("victim")), Data(ARoot) + QStringLiteral("/UlmaroX.csl"));
             return Data(ARoot);
         },
         {QStringLiteral("ログファイル")},
         {},
         ExpectVictimUntouched},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        QTemporaryDir root;
        ASSERT_TRUE(root.isValid());
        TVeskEnvironment env;
        env.DataFolder = c.Prepare(root.path());
        TVeskAppCore core(env);
        QStringList heard;
        QObject::connect(&core, &TVeskAppCore::userWarning, [&heard](const QString& AText) { heard << AText; });

        core.OpenStores({});
        EXPECT_TRUE(heard.isEmpty()) << "start-up warnings wait for the event loop";
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        EXPECT_EQ(heard, core.StartupWarnings());
        ASSERT_EQ(heard.size(), c.StartWarnings.size()) << heard.join(QLatin1Char('\n')).toStdString();
        for (int i = 0; i < heard.size(); ++i) {
            EXPECT_TRUE(heard[i].contains(c.StartWarnings[i])) << heard[i].toStdString();
            EXPECT_FALSE(heard[i].contains(QLatin1Char('\n')));
        }

        core.Shutdown();
        const QStringList later = heard.mid(c.StartWarnings.size());
        ASSERT_EQ(later.size(), c.ShutdownWarnings.size()) << later.join(QLatin1Char('\n')).toStdString();
        for (int i = 0; i < later.size(); ++i) {
            EXPECT_TRUE(later[i].contains(c.ShutdownWarnings[i])) << later[i].toStdString();
        }
        if (c.Check) {
            c.Check(root.path());
        }
    }
}

// A program that shuts down before its event loop ever ran still hears the start-up warnings.
TEST(CoreWarnings, StartupWarningsReachListenersEvenWithoutAnEventLoop)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    TVeskEnvironment env;
    env.DataFolder = root.path();
    ASSERT_TRUE(WriteBytes(root.filePath(QStringLiteral("UlmaroX.cnf")), "[Config_Sheet]\nUseSIScale=0\n"));
    TVeskAppCore core(env);
    QStringList heard;
    QObject::connect(&core, &TVeskAppCore::userWarning, [&heard](const QString& AText) { heard << AText; });
    core.OpenStores({});
    core.Shutdown();
    ASSERT_EQ(heard.size(), 1);
    EXPECT_TRUE(heard.first().contains(QStringLiteral("どちらも使われていない")));
    QCoreApplication::processEvents();
    EXPECT_EQ(heard.size(), 1) << "told once";
}
