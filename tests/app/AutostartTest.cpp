// Start at login: the entry in the autostart folder, its Exec quoting, entries the
// desktop switched off, where the folder is, failures, and the home screen's check box.

#include "app/win/Autostart.h"
#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "app/win/MainFrm.h"
#include "config/VeskAppSettings.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <optional>

namespace {

QByteArray ReadAll(const QString& AFile)
{
    QFile file(AFile);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& AFile, const QByteArray& AText)
{
    QDir().mkpath(QFileInfo(AFile).path());
    QFile file(AFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(AText);
}

// Sets an environment variable for one scope and puts the old value back.
class TScopedEnv
{
public:
    TScopedEnv(const char* AName, std::optional<QByteArray> AValue) : FName(AName)
    {
        if (qEnvironmentVariableIsSet(AName)) {
            FOld = qgetenv(AName);
        }
        Set(AValue);
    }
    ~TScopedEnv() { Set(FOld); }

private:
    void Set(const std::optional<QByteArray>& AValue)
    {
        if (AValue) {
            qputenv(FName, *AValue);
        } else {
            qunsetenv(FName);
        }
    }
    const char* FName;
    std::optional<QByteArray> FOld;
};

} // namespace

TEST(Autostart, EnableWritesTheEntryAndDisableRemovesIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The folder does not exist yet on a fresh account.
    const TVeskAutostart autostart(QStringLiteral("/usr/bin/ulmarox"), dir.filePath(QStringLiteral("cfg/autostart")));
    EXPECT_EQ(autostart.EntryFileName(), dir.filePath(QStringLiteral("cfg/autostart/ulmarox.desktop")));
    EXPECT_FALSE(autostart.IsEnabled());

    QString reason;
    ASSERT_TRUE(autostart.Enable(&reason)) << reason.toStdString();
    EXPECT_TRUE(autostart.IsEnabled());
    const QByteArray text = ReadAll(autostart.EntryFileName());
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n")) << text.constData();
    EXPECT_TRUE(text.contains("\nType=Application\n")) << text.constData();
    EXPECT_TRUE(text.contains("\nExec=/usr/bin/ulmarox\n")) << text.constData();

    ASSERT_TRUE(autostart.Disable(&reason)) << reason.toStdString();
    EXPECT_FALSE(QFile::exists(autostart.EntryFileName()));
    EXPECT_FALSE(autostart.IsEnabled());
    EXPECT_TRUE(autostart.Disable(&reason)) << "disabling twice is no failure";
}

TEST(Autostart, ExecQuotesWhatALauncherWouldOtherwiseSplitOrExpand)
{
    // Expected as written in the file: the Exec quoting, then the string escape that doubles backslashes.
    const struct
    {
        const char* Path;
        const char* Exec;
    } cases[] = {
        {"/usr/bin/ulmarox", "/usr/bin/ulmarox"},
        {"/opt/Ulmaro X/ulmarox", "\"/opt/Ulmaro X/ulmarox\""},
        {"/home/u/100%/ulmarox", "/home/u/100%%/ulmarox"},
        {"/home/u/$HOME/ulmarox", "\"/home/u/\\\\$HOME/ulmarox\""},
        {"/home/u/a\"b/ulmarox", "\"/home/u/a\\\\\"b/ulmarox\""},
        {"/home/u/a\\b/ulmarox", "\"/home/u/a\\\\\\\\b/ulmarox\""},
        {"/home/u/`x`/ulmarox", "\"/home/u/\\\\`x\\\\`/ulmarox\""},
        {"/home/u/ダウンロード/ulmarox", "/home/u/ダウンロード/ulmarox"},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const bool canValidate = !QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty();
    int n = 0;
    for (const auto& c : cases) {
        const QString path = QString::fromUtf8(c.Path);
        EXPECT_EQ(TVeskAutostart::ExecArgument(path), QString::fromUtf8(c.Exec)) << c.Path;
        if (!canValidate) {
            continue;
        }
        const TVeskAutostart autostart(path, dir.filePath(QString::number(n++)));
        ASSERT_TRUE(autostart.Enable());
        QProcess validate;
        validate.start(QStringLiteral("desktop-file-validate"), {autostart.EntryFileName()});
        ASSERT_TRUE(validate.waitForFinished(30000));
        EXPECT_EQ(validate.exitCode(), 0) << c.Path << ": " << validate.readAllStandardOutput().constData();
    }
}

TEST(Autostart, AnEntryTheDesktopSwitchedOffIsNotEnabled)
{
    const struct
    {
        const char* Text;
        bool Enabled;
    } cases[] = {
        {"[Desktop Entry]\nType=Application\nExec=ulmarox\n", true},
        {"[Desktop Entry]\nType=Application\nExec=ulmarox\nHidden=true\n", false},
        {"[Desktop Entry]\nExec=ulmarox\nX-GNOME-Autostart-enabled=false\n", false},
        {"[Desktop Entry]\nExec=ulmarox\nX-GNOME-Autostart-enabled = false\n", false},
        {"[Desktop Entry]\nExec=ulmarox\nHidden=false\n", true},
        // Only the main group counts.
        {"[Desktop Entry]\nExec=ulmarox\n[Desktop Action x]\nHidden=true\n", true},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const TVeskAutostart autostart(QStringLiteral("/usr/bin/ulmarox"), dir.path());
    for (const auto& c : cases) {
        WriteAll(autostart.EntryFileName(), c.Text);
        EXPECT_EQ(autostart.IsEnabled(), c.Enabled) << c.Text;
    }
    // Enabling again replaces the switched-off entry.
    WriteAll(autostart.EntryFileName(), "[Desktop Entry]\nExec=ulmarox\nHidden=true\n");
    ASSERT_TRUE(autostart.Enable());
    EXPECT_TRUE(autostart.IsEnabled());
}

TEST(Autostart, FolderFollowsXdgConfigHome)
{
    const QString home = QDir::homePath() + QStringLiteral("/.config/autostart");
    const struct
    {
        std::optional<QByteArray> XdgConfigHome;
        QString Folder;
    } cases[] = {
        {QByteArray("/srv/cfg"), QStringLiteral("/srv/cfg/autostart")},
        {QByteArray("/srv/cfg/"), QStringLiteral("/srv/cfg/autostart")},
        {std::nullopt, home},
        {QByteArray(""), home},
        {QByteArray("relative/cfg"), home}, // not absolute: ignored
    };
    for (const auto& c : cases) {
        const TScopedEnv env("XDG_CONFIG_HOME", c.XdgConfigHome);
        EXPECT_EQ(TVeskAutostart::DefaultFolder(), c.Folder) << c.XdgConfigHome.value_or("(unset)").constData();
    }
}

TEST(Autostart, FailuresAreReportedWithTheirReason)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The autostart folder's name is taken by a file.
    const QString blocked = dir.filePath(QStringLiteral("autostart"));
    WriteAll(blocked, "not a folder");
    QString reason;
    EXPECT_FALSE(TVeskAutostart(QStringLiteral("/usr/bin/ulmarox"), blocked).Enable(&reason));
    EXPECT_TRUE(reason.contains(blocked)) << reason.toStdString();
    EXPECT_EQ(ReadAll(blocked), QByteArray("not a folder"));

    // The entry's name is taken by a folder with something in it.
    const TVeskAutostart autostart(QStringLiteral("/usr/bin/ulmarox"), dir.filePath(QStringLiteral("other")));
    WriteAll(autostart.EntryFileName() + QStringLiteral("/inside"), "x");
    reason.clear();
    EXPECT_FALSE(autostart.Disable(&reason));
    EXPECT_TRUE(reason.contains(autostart.EntryFileName())) << reason.toStdString();
}

TEST(Autostart, HomeScreenCheckBoxWritesAndRemovesTheEntry)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const TScopedEnv appData("APPDATA", dir.filePath(QStringLiteral("appdata")).toUtf8());
    const TScopedEnv config("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    const QString entry = dir.filePath(QStringLiteral("config/autostart/ulmarox.desktop"));
    WriteAll(entry, "[Desktop Entry]\nType=Application\nExec=ulmarox\n");

    TVeskAppSettings settings(nullptr);
    settings.LoadParamsFromConfFile();
    settings.SetParamsFromConfFile();
    TMainFrm main(settings, nullptr, QDateTime::currentDateTime(), QStringLiteral("1.2.3"));
    auto* box = main.findChild<QCheckBox*>(QStringLiteral("AutostartChk"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("ログイン時に起動する"));
    EXPECT_TRUE(box->isChecked()) << "shows the entry that is already there";

    box->click();
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(QFile::exists(entry));

    box->click();
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(ReadAll(entry).contains(
        ("\nExec=" + TVeskAutostart::ExecArgument(QCoreApplication::applicationFilePath()) + "\n").toUtf8()));

    // A failure puts the box back and says why.
    box->click();
    ASSERT_FALSE(QFile::exists(entry));
    QDir(dir.filePath(QStringLiteral("config/autostart"))).removeRecursively();
    WriteAll(dir.filePath(QStringLiteral("config/autostart")), "a file where the folder belongs");
    box->click();
    EXPECT_FALSE(box->isChecked());
    EXPECT_TRUE(box->toolTip().startsWith(QStringLiteral("自動起動の設定を書き込めませんでした")))
        << box->toolTip().toStdString();
}
