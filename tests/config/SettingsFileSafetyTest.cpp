// The settings file under hostile conditions: a full disk, a write that fails
// part-way, symbolic links, files that cannot or must not be read, and alert
// conditions that can never be met.

#include "TestSupport.h"
#include "alert/EqAlertDecision.h"
#include "config/VeskAppSettings.h"
#include "config/VeskConfParams.h"
#include "config/VeskProfileFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace UlxTest;

namespace {

// Collects the warnings a settings object tells the user.
struct TWarnings
{
    explicit TWarnings(TVeskAppSettings& ASettings)
    {
        QObject::connect(&ASettings, &TVeskAppSettings::userWarning, [this](const QString& AText) { Texts << AText; });
    }
    QStringList Texts;
};

QStringList FilesIn(const QString& AFolder)
{
    return QDir(AFolder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

const QByteArray OsakaFile = "[Config_Sheet]\n"
                             "LocationName=大阪府庁\n"
                             "Latitude=34.68630\n"
                             "Longitude=135.51965\n"
                             "AreaCode=520\n"
                             "GroundAmplification=2.044\n";

// A small tmpfs mounted for one test; needs root and the right to mount.
class TSmallFileSystem
{
public:
    explicit TSmallFileSystem(const QString& APath) : FPath(QFile::encodeName(APath))
    {
        if (::geteuid() != 0) {
            FReason = "not running as root";
            return;
        }
        if (::mount("ulx-test", FPath.constData(), "tmpfs", 0, "size=64k") != 0) {
            FReason = std::string("mount not permitted here: ") + std::strerror(errno);
            return;
        }
        FMounted = true;
    }
    ~TSmallFileSystem()
    {
        if (FMounted) {
            ::umount2(FPath.constData(), MNT_DETACH);
        }
    }
    bool IsMounted() const { return FMounted; }
    const std::string& Reason() const { return FReason; }

private:
    QByteArray FPath;
    bool FMounted = false;
    std::string FReason;
};

// Writes until the file system answers that it is full.
bool FillUp(const QString& AFile)
{
    QFile file(AFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return false;
    }
    const QByteArray block(4096, 'f');
    for (int i = 0; i < 1000; ++i) {
        if (file.write(block) != block.size()) {
            return true;
        }
    }
    return false;
}

} // namespace

// The shutdown save on a full disk: the user's location stays in the file and the
// user is told; nothing is left behind.
TEST(SettingsFileSafety, SaveOnAFullFileSystemKeepsTheOldSettings)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(folder));
    TSmallFileSystem fs(folder);
    if (!fs.IsMounted()) {
        GTEST_SKIP() << "no small file system to fill: " << fs.Reason();
    }
    const QString conf = QDir(folder).filePath(QStringLiteral("UlmaroX.cnf"));
    ASSERT_TRUE(WriteBytes(conf, OsakaFile));

    TVeskAppSettings settings;
    settings.SetDataFolder(folder);
    TWarnings warnings(settings);
    ASSERT_TRUE(settings.LoadParamsFromConfFile());
    ASSERT_TRUE(settings.SetParamsFromConfFile());
    ASSERT_EQ(settings.GetLocationName(), QStringLiteral("大阪府庁"));
    ASSERT_TRUE(FillUp(QDir(folder).filePath(QStringLiteral("filler"))));

    settings.SetSIScaleIndex(6);
    EXPECT_FALSE(settings.SaveParamsToConfFile());
    EXPECT_EQ(ReadBytes(conf), OsakaFile);
    EXPECT_EQ(FilesIn(folder), QStringList({QStringLiteral("UlmaroX.cnf"), QStringLiteral("filler")}));
    ASSERT_EQ(warnings.Texts.size(), 1);
    EXPECT_TRUE(warnings.Texts.at(0).contains(QStringLiteral("保存できませんでした")));

    // With room again the same save goes through: the disk was the only obstacle.
    ASSERT_TRUE(QFile::remove(QDir(folder).filePath(QStringLiteral("filler"))));
    EXPECT_TRUE(settings.SaveParamsToConfFile());
    EXPECT_EQ(TVeskProfileFile(conf).ReadString(QStringLiteral("Config_Sheet"), QStringLiteral("SIScale")),
              QStringLiteral("6"));
    EXPECT_EQ(TVeskProfileFile(conf).ReadString(QStringLiteral("Config_Sheet"), QStringLiteral("LocationName")),
              QStringLiteral("大阪府庁"));
}

// A write that fails part-way (here at the process's file size limit, which needs no
// privileges) drops the new file; a save that succeeds keeps the file's permissions.
TEST(SettingsFileSafety, FailedWriteKeepsTheOldFileAndASuccessfulOneItsPermissions)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString conf = dir.filePath(QStringLiteral("UlmaroX.cnf"));
    ASSERT_TRUE(WriteBytes(conf, OsakaFile));
    ASSERT_TRUE(QFile::setPermissions(conf, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));

    TVeskProfileFile file(conf);
    file.WriteString(QStringLiteral("Config_Sheet"), QStringLiteral("Filler"), QString(500, QLatin1Char('z')));
    QString error;
    {
        struct rlimit old;
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = old;
        small.rlim_cur = 64;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool saved = file.Save(conf, &error);
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_FALSE(saved);
    }
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot write"))) << error.toStdString();
    EXPECT_EQ(ReadBytes(conf), OsakaFile);
    EXPECT_EQ(FilesIn(dir.path()), QStringList{QStringLiteral("UlmaroX.cnf")}) << "no temporary file left";

    ASSERT_TRUE(file.Save(conf, &error)) << error.toStdString();
    EXPECT_EQ(ReadBytes(conf), file.ToBytes());
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(conf).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// A link as the settings file is left alone: its target is neither written nor,
// for a dangling link, created, and the link is not replaced by a file.
TEST(SettingsFileSafety, SymbolicLinksAreNeitherWrittenThroughNorReplaced)
{
    const struct
    {
        const char* Name;
        bool TargetExists;
    } cases[] = {{"link to a file", true}, {"dangling link", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString target = dir.filePath(QStringLiteral("elsewhere.txt"));
        const QString conf = dir.filePath(QStringLiteral("UlmaroX.cnf"));
        if (c.TargetExists) {
            ASSERT_TRUE(WriteBytes(target, OsakaFile));
        }
        ASSERT_TRUE(QFile::link(target, conf));

        TVeskConfParams params(conf);
        TVeskParamItem item = *params.Item(QStringLiteral("SIScale"));
        params.SetItem(QStringLiteral("SIScale"), item.SetValueInt(6));
        EXPECT_FALSE(params.SaveParams());
        EXPECT_TRUE(params.LastError().contains(QStringLiteral("symbolic link"))) << params.LastError().toStdString();
        EXPECT_TRUE(QFileInfo(conf).isSymLink());
        if (c.TargetExists) {
            EXPECT_EQ(ReadBytes(target), OsakaFile);
        } else {
            EXPECT_FALSE(QFileInfo::exists(target));
        }
    }
}

// Files that are not taken in give the defaults and are never overwritten: their
// lines would be lost. Files that are understood are read and saved as usual.
TEST(SettingsFileSafety, FilesThatAreNotReadAreNeverOverwritten)
{
    QStringEncoder utf16(QStringConverter::Utf16LE);
    QStringEncoder cp932("windows-31j");
    const QString text = QStringLiteral("[Config_Sheet]\r\nSIScale=6\r\n");
    QByteArray huge = "[Config_Sheet]\nSIScale=6\n";
    while (huge.size() <= TVeskProfileFile::MaxFileSize) {
        huge += "; a short comment line\n";
    }
    const struct
    {
        const char* Name;
        QByteArray Bytes;
        TVeskProfileFile::TLoadResult Result;
    } cases[] = {
        {"UTF-16 without BOM", utf16(text), TVeskProfileFile::lrNotUnderstood},
        {"binary damage", QByteArray("[Config_Sheet]\nSIScale=6\n\x00\x13\xff", 29), TVeskProfileFile::lrNotUnderstood},
        {"text without any section", "SIScale=6\nLocationName=x\n", TVeskProfileFile::lrNotUnderstood},
        {"larger than 1 MiB", huge, TVeskProfileFile::lrTooLarge},
        {"UTF-16 with BOM", QByteArray("\xFF\xFE") + QByteArray(utf16(text)), TVeskProfileFile::lrRead},
        {"code page 932", cp932(text), TVeskProfileFile::lrRead},
        {"comments only", "; nothing yet\n", TVeskProfileFile::lrRead},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString conf = dir.filePath(QStringLiteral("UlmaroX.cnf"));
        ASSERT_TRUE(WriteBytes(conf, c.Bytes));
        TVeskConfParams params(conf);
        EXPECT_EQ(params.LoadResult(), c.Result);
        const bool read = c.Result == TVeskProfileFile::lrRead;
        const bool hasSIScale = QByteArray(c.Name) != "comments only";
        EXPECT_EQ(params.Item(QStringLiteral("SIScale"))->AsInteger(), read && hasSIScale ? 6 : 3);
        EXPECT_EQ(params.SaveParams(), read) << params.LastError().toStdString();
        if (!read) {
            EXPECT_EQ(ReadBytes(conf), c.Bytes) << "the file is kept as it was";
        }
    }

    // Not a regular file: a folder, and a pipe nobody writes to (reading it would block).
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pipe = dir.filePath(QStringLiteral("pipe.cnf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString& path : {dir.path(), pipe}) {
        TVeskConfParams params(path);
        EXPECT_EQ(params.LoadResult(), TVeskProfileFile::lrNotRegular) << path.toStdString();
        EXPECT_FALSE(params.SaveParams());
    }
    EXPECT_FALSE(QFileInfo(pipe).isFile());
}

// At start-up: a file that is not understood is renamed aside and a fresh one written
// at the save; a file too large or a link is used for nothing and kept. Each is told.
TEST(SettingsFileSafety, StartupSetsAsideOrKeepsFilesAndTellsTheUser)
{
    QStringEncoder utf16(QStringConverter::Utf16LE);
    const QByteArray noBom = utf16(QStringLiteral("[Config_Sheet]\r\nLocationName=沖縄県庁\r\n"));
    const QByteArray huge = "[Config_Sheet]\n" + QByteArray(TVeskProfileFile::MaxFileSize, ';') + "\n";
    const struct
    {
        const char* Name;
        QByteArray Bytes;
        bool AsLink;
        QString Warning;
        bool SetAside;
        bool Saved;
    } cases[] = {
        {"UTF-16 without BOM", noBom, false, QStringLiteral("として残し"), true, true},
        {"larger than 1 MiB", huge, false, QStringLiteral("大きすぎる"), false, false},
        {"symbolic link", OsakaFile, true, QStringLiteral("シンボリックリンク"), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString conf = dir.filePath(QStringLiteral("UlmaroX.cnf"));
        const QString original = c.AsLink ? dir.filePath(QStringLiteral("target")) : conf;
        ASSERT_TRUE(WriteBytes(original, c.Bytes));
        if (c.AsLink) {
            ASSERT_TRUE(QFile::link(original, conf));
        }

        TVeskAppSettings settings;
        settings.SetDataFolder(dir.path());
        TWarnings warnings(settings);
        ASSERT_TRUE(settings.LoadParamsFromConfFile());
        ASSERT_TRUE(settings.SetParamsFromConfFile());
        ASSERT_GE(warnings.Texts.size(), 1);
        EXPECT_TRUE(warnings.Texts.at(0).contains(c.Warning)) << warnings.Texts.at(0).toStdString();
        EXPECT_EQ(settings.GetLocationName(), c.AsLink ? QStringLiteral("大阪府庁") : QStringLiteral("東京都庁"));

        const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("UlmaroX.cnf.bad-*")}, QDir::Files);
        if (c.SetAside) {
            ASSERT_EQ(aside.size(), 1);
            EXPECT_TRUE(
                QRegularExpression(QStringLiteral("^UlmaroX\\.cnf\\.bad-\\d{14}$")).match(aside.first()).hasMatch())
                << aside.first().toStdString();
            EXPECT_EQ(ReadBytes(dir.filePath(aside.first())), c.Bytes);
            EXPECT_TRUE(warnings.Texts.at(0).contains(aside.first()));
        } else {
            EXPECT_TRUE(aside.isEmpty());
        }

        EXPECT_EQ(settings.SaveParamsToConfFile(), c.Saved);
        if (c.Saved) {
            EXPECT_EQ(TVeskProfileFile(conf).ReadString(QStringLiteral("Config_Sheet"), QStringLiteral("LocationName")),
                      QStringLiteral("東京都庁"));
        } else {
            EXPECT_EQ(ReadBytes(original), c.Bytes);
            EXPECT_EQ(QFileInfo(conf).isSymLink(), c.AsLink);
        }
    }
}

// Conditions that can never be met, as the alert filter combines them: the check
// agrees with the filter for the strongest possible telegram, and the start warns.
TEST(SettingsFileSafety, NeverMetConditionsAgreeWithTheFilterAndAreTold)
{
    const struct
    {
        bool UseSIScale;
        int SIScaleIndex;
        bool UseMg;
        bool UseOr;
        bool CanBeMet;
    } cases[] = {
        {true, 3, false, false, true},   // the defaults
        {true, -1, false, false, false}, // no class selected (out of range in the file)
        {true, -1, true, false, false},  // AND: the magnitude cannot make up for it
        {true, -1, false, true, false},  // OR without a magnitude condition
        {true, -1, true, true, true},    // OR: the magnitude alone can alert
        {false, -1, true, false, true},  // the class is not used at all
        {false, 3, false, false, false}, // AND with no condition in use
        {false, 3, false, true, false},  // OR with no condition in use
        {true, 9, true, false, true},    // 震度７ and M9.5: the top of both ranges
    };
    UlxTest::TEq01Fields strongest;
    strongest.Mag = QStringLiteral("99");
    const TEqTelegram01 telegram = UlxTest::Eq01(strongest);
    const TEqAlertDecision decision(nullptr, nullptr);
    for (const auto& c : cases) {
        const std::string name = "UseSIScale=" + std::to_string(c.UseSIScale) +
                                 " SIScale=" + std::to_string(c.SIScaleIndex) + " UseMg=" + std::to_string(c.UseMg) +
                                 " UseOrCondition=" + std::to_string(c.UseOr);
        SCOPED_TRACE(name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QByteArray file = "[Config_Sheet]\nUseSIScale=" + QByteArray::number(c.UseSIScale) +
                                "\nSIScale=" + QByteArray::number(c.SIScaleIndex == -1 ? 99 : c.SIScaleIndex) +
                                "\nUseMg=" + QByteArray::number(c.UseMg) +
                                "\nMomentMg=19\nUseOrCondition=" + QByteArray::number(c.UseOr) + "\n";
        ASSERT_TRUE(WriteBytes(dir.filePath(QStringLiteral("UlmaroX.cnf")), file));
        TVeskAppSettings settings;
        settings.SetDataFolder(dir.path());
        TWarnings warnings(settings);
        ASSERT_TRUE(settings.LoadParamsFromConfFile());
        ASSERT_TRUE(settings.SetParamsFromConfFile());

        const TAlertConditions conditions = settings.GetAlertConditions();
        EXPECT_EQ(conditions.SIScaleIndex, c.SIScaleIndex);
        EXPECT_EQ(conditions.CanEverBeMet(), c.CanBeMet);
        EXPECT_EQ(decision.IsAlertableEqTeleg(telegram, 7.0, conditions), c.CanBeMet)
            << "the check and the filter disagree";
        EXPECT_EQ(warnings.Texts.size(), c.CanBeMet ? 0 : 1);
        if (!c.CanBeMet && !warnings.Texts.isEmpty()) {
            EXPECT_TRUE(warnings.Texts.at(0).contains(QStringLiteral("警報は出ません")));
        }
    }
}
