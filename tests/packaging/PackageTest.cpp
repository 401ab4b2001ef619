// The Debian package of this build, unpacked into a scratch root by the
// packaging_make_package fixture: its control fields, lintian's verdict, where
// its files land, the installed programs run without any library path, and the
// desktop entry, metainfo and user service pass their validators.

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLibrary>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

const QString PackageDir = QStringLiteral(ULX_PACKAGE_DIR);
const QString Root = PackageDir + QStringLiteral("/root");
const QString PrivLib = QStringLiteral("usr/" ULX_PRIVLIBDIR);
const QStringList Programs = {QStringLiteral("ulmarox"),    QStringLiteral("ulmarox-headless"),
                              QStringLiteral("eqsim"),      QStringLiteral("eqforecast"),
                              QStringLiteral("alertframe"), QStringLiteral("eqbridge")};

struct TRun
{
    int Exit = -1;
    QString Out;
    QString Err;
};

// The environment of a user who installed the package: no library path.
QProcessEnvironment UserEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("LD_LIBRARY_PATH"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return env;
}

TRun RunTool(const QString& AProgram, const QStringList& AArgs, const QProcessEnvironment& AEnv = UserEnvironment())
{
    const UlxTest::TProgramRun r = UlxTest::RunProgram(AProgram, AArgs, AEnv, 120000);
    TRun run;
    run.Exit = r.ExitCode;
    run.Out = QString::fromUtf8(r.Out);
    run.Err = r.Error.startsWith(QLatin1String("did not run")) ? r.Error : QString::fromUtf8(r.Err);
    return run;
}

bool HaveTool(const QString& AName)
{
    return !QStandardPaths::findExecutable(AName).isEmpty();
}

QString DebFile()
{
    const QStringList debs = QDir(PackageDir).entryList({QStringLiteral("*.deb")}, QDir::Files);
    return debs.size() == 1 ? QDir(PackageDir).filePath(debs.first()) : QString();
}

QString InRoot(const QString& ARelative)
{
    return Root + QLatin1Char('/') + ARelative;
}

// Key=value pairs of one section of a desktop entry or unit file (a key listed twice keeps both values).
QMultiMap<QString, QString> IniSection(const QString& AFile, const QString& ASection)
{
    QMultiMap<QString, QString> keys;
    QFile file(AFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return keys;
    }
    bool inSection = false;
    for (const QString& raw : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line == QLatin1Char('[') + ASection + QLatin1Char(']');
        } else if (inSection && !line.startsWith(QLatin1Char('#')) && line.contains(QLatin1Char('='))) {
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            keys.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
        }
    }
    return keys;
}

QString Gunzip(const QString& AFile)
{
    return RunTool(QStringLiteral("gzip"), {QStringLiteral("-dc"), AFile}).Out;
}

class Package : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(DebFile().isEmpty()) << "no single .deb in " << PackageDir.toStdString();
        ASSERT_TRUE(QFileInfo(Root).isDir()) << "package not unpacked into " << Root.toStdString();
    }
};

} // namespace

TEST_F(Package, ControlFieldsDependenciesAndSize)
{
    const TRun fields = RunTool(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), DebFile()});
    ASSERT_EQ(fields.Exit, 0) << fields.Err.toStdString();
    QMap<QString, QString> field;
    for (const QString& line : fields.Out.split(QLatin1Char('\n'))) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon > 0 && !line.startsWith(QLatin1Char(' '))) {
            field[line.left(colon)] = line.mid(colon + 1).trimmed();
        }
    }
    EXPECT_EQ(field.value(QStringLiteral("Package")), QStringLiteral("ulmarox"));
    EXPECT_EQ(field.value(QStringLiteral("Version")), QStringLiteral(ULX_VERSION));
    EXPECT_EQ(field.value(QStringLiteral("Architecture")),
              RunTool(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")}).Out.trimmed());

    QStringList depends;
    for (const QString& alternative :
         field.value(QStringLiteral("Depends")).split(QRegularExpression(QStringLiteral("[,|]")))) {
        depends << alternative.trimmed().section(QLatin1Char(' '), 0, 0);
    }
    // What the programs link (found by dpkg-shlibdeps), and what they load or need at run time.
    for (const char* needed : {"libc6", "libqt6core6", "libqt6widgets6", "libqt6multimedia6", "libqt6network6",
                               "libqt6dbus6", "libsqlite3-0", "qt6-qpa-plugins", "fonts-noto-cjk"}) {
        EXPECT_TRUE(depends.contains(QString::fromLatin1(needed)))
            << needed << " missing from Depends: " << field.value(QStringLiteral("Depends")).toStdString();
    }
    for (const QString& name : depends) {
        EXPECT_FALSE(name.contains(QStringLiteral("eqfunction"), Qt::CaseInsensitive))
            << "the private library is a dependency";
    }
    EXPECT_TRUE(field.value(QStringLiteral("Recommends")).contains(QStringLiteral("pulseaudio")));

    // Installed-Size is what dpkg reports to the user before installing: it must match the tree.
    qint64 bytes = 0;
    int files = 0;
    for (QDirIterator it(Root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        it.next();
        bytes += it.fileInfo().size();
        ++files;
    }
    const double installedKiB = field.value(QStringLiteral("Installed-Size")).toDouble();
    EXPECT_NEAR(installedKiB, bytes / 1024.0, bytes / 1024.0 * 0.1);
    const qint64 debBytes = QFileInfo(DebFile()).size();
    std::printf("package %s: %lld bytes; installs %d files, %lld bytes (Installed-Size %s KiB)\n",
                qUtf8Printable(QFileInfo(DebFile()).fileName()), static_cast<long long>(debBytes), files,
                static_cast<long long>(bytes), qUtf8Printable(field.value(QStringLiteral("Installed-Size"))));
    RecordProperty("package_bytes", static_cast<int>(debBytes));
    RecordProperty("installed_bytes", static_cast<int>(bytes));
}

TEST_F(Package, LintianFindsNoErrors)
{
    if (!HaveTool(QStringLiteral("lintian"))) {
        GTEST_SKIP() << "lintian is not installed (Debian package lintian)";
    }
    const TRun lintian =
        RunTool(QStringLiteral("lintian"), {QStringLiteral("--tag-display-limit"), QStringLiteral("0"), DebFile()});
    QStringList errors;
    for (const QString& line : lintian.Out.split(QLatin1Char('\n'))) {
        if (line.startsWith(QStringLiteral("E: "))) {
            errors << line;
        }
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(lintian.Exit, 0) << lintian.Err.toStdString(); // 2: errors found, 1: lintian itself failed
    std::printf("%s", qUtf8Printable(lintian.Out));
}

TEST_F(Package, FilesLandInTheStandardPlaces)
{
    QStringList expected = {
        PrivLib + QStringLiteral("/libeqFunction.so"),
        QStringLiteral("usr/include/ulmarox/VeskPlugInInterface.h"),
        QStringLiteral("usr/share/applications/ulmarox.desktop"),
        QStringLiteral("usr/share/metainfo/" ULX_APPSTREAM_ID ".metainfo.xml"),
        QStringLiteral("usr/share/icons/hicolor/scalable/apps/ulmarox.svg"),
        QStringLiteral("usr/lib/systemd/user/ulmarox-headless.service"),
        QStringLiteral("usr/lib/systemd/user/eqbridge.service"),
        QStringLiteral("usr/share/doc/ulmarox/copyright"),
        QStringLiteral("usr/share/doc/ulmarox/changelog.gz"),
        QStringLiteral("usr/share/doc/ulmarox/examples/plugin/SamplePlugIn.cpp"),
        QStringLiteral("usr/share/doc/ulmarox/examples/plugin/CMakeLists.txt"),
        QStringLiteral("usr/share/ulmarox/eqsim-scenarios/tohoku-2011.txt"),
    };
    for (const QString& program : Programs) {
        expected << QStringLiteral("usr/bin/") + program << QStringLiteral("usr/share/man/man1/%1.1.gz").arg(program);
    }
    for (const QString& file : expected) {
        EXPECT_TRUE(QFileInfo(InRoot(file)).isFile()) << file.toStdString();
    }
    for (const QString& program : Programs) {
        EXPECT_TRUE(QFileInfo(InRoot(QStringLiteral("usr/bin/") + program)).isExecutable()) << program.toStdString();
    }
    // Each icon size holds the picture of that size.
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        const QString icon = InRoot(QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/ulmarox.png").arg(size));
        EXPECT_EQ(QImageReader(icon).size(), QSize(size, size)) << icon.toStdString();
    }
    // Nothing outside /usr, nothing in /usr/local, and /usr/bin only holds the programs.
    EXPECT_EQ(QDir(Root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{QStringLiteral("usr")});
    EXPECT_FALSE(QFileInfo::exists(InRoot(QStringLiteral("usr/local"))));
    QStringList inBin = QDir(InRoot(QStringLiteral("usr/bin"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QStringList programs = Programs;
    inBin.sort();
    programs.sort();
    EXPECT_EQ(inBin, programs);
}

TEST_F(Package, InstalledProgramsRunWithoutALibraryPath)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    // A terminal without a display, as on an always-on machine reached over ssh.
    QProcessEnvironment env = UserEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        env.remove(QString::fromLatin1(name));
    }
    env.insert(QStringLiteral("APPDATA"), scratch.path());
    const QString frame = scratch.filePath(QStringLiteral("frame.png"));
    const QStringList quake = {QStringLiteral("--epicentre"), QStringLiteral("35.32,139.16"), QStringLiteral("--depth"),
                               QStringLiteral("23"),          QStringLiteral("--magnitude"),  QStringLiteral("7.9")};
    const struct
    {
        QString Program;
        QStringList Args;
        QString Expected; // in standard output
        bool UsesEqFunction;
    } cases[] = {
        {QStringLiteral("ulmarox-headless"),
         {QStringLiteral("-Help")},
         QStringLiteral("Usage: ulmarox-headless"),
         true},
        {QStringLiteral("ulmarox"), {QStringLiteral("-Help")}, QStringLiteral("Usage: ulmarox"), true},
        {QStringLiteral("eqforecast"), quake + QStringList{QStringLiteral("--office"), QStringLiteral("東京都庁")},
         QStringLiteral("東京都庁: code 0, intensity"), true},
        {QStringLiteral("alertframe"), quake + QStringList{QStringLiteral("--out"), frame}, QStringLiteral("\"s_sec\""),
         true},
        // The scenarios are found in the data folder, not beside the program.
        {QStringLiteral("eqsim"), {QStringLiteral("--list")}, QStringLiteral("tohoku-2011"), false},
        {QStringLiteral("eqbridge"), {QStringLiteral("--help")}, QStringLiteral("--replay"), false},
    };
    for (const auto& c : cases) {
        const QString program = InRoot(QStringLiteral("usr/bin/") + c.Program);
        const TRun run = RunTool(program, c.Args, env);
        EXPECT_EQ(run.Exit, 0) << c.Program.toStdString() << ": " << run.Err.toStdString();
        EXPECT_TRUE(run.Out.contains(c.Expected)) << c.Program.toStdString() << " printed: " << run.Out.toStdString();
        if (!c.UsesEqFunction) {
            continue;
        }
        // The loader's own answer: libeqFunction comes from the package, through the run path.
        QProcessEnvironment trace = env;
        trace.insert(QStringLiteral("LD_TRACE_LOADED_OBJECTS"), QStringLiteral("1"));
        const TRun loaded = RunTool(program, {}, trace);
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("libeqFunction\\.so => (\\S+)")).match(loaded.Out);
        ASSERT_TRUE(match.hasMatch()) << c.Program.toStdString() << ": " << loaded.Out.toStdString();
        EXPECT_EQ(QFileInfo(match.captured(1)).canonicalFilePath(),
                  QFileInfo(InRoot(PrivLib + QStringLiteral("/libeqFunction.so"))).canonicalFilePath())
            << c.Program.toStdString();
    }
    EXPECT_EQ(QImageReader(frame).size(), QSize(500, 500));
}

TEST_F(Package, ManPagesAreTheProgramsOwnHelp)
{
    // A word only that program's help has, so a page made from an error text or another program fails.
    const QMap<QString, QString> marks = {
        {QStringLiteral("ulmarox"), QStringLiteral("DebugOnLocal")},
        {QStringLiteral("ulmarox-headless"), QStringLiteral("ListHistory")},
        {QStringLiteral("eqsim"), QStringLiteral("keepalive")},
        {QStringLiteral("eqforecast"), QStringLiteral("amplification")},
        {QStringLiteral("alertframe"), QStringLiteral("occurred")},
        {QStringLiteral("eqbridge"), QStringLiteral("replay")},
    };
    for (const QString& program : Programs) {
        const QString page = Gunzip(InRoot(QStringLiteral("usr/share/man/man1/%1.1.gz").arg(program)));
        EXPECT_TRUE(page.contains(QStringLiteral(".SH NAME\n%1 \\- ").arg(program))) << program.toStdString() << ":\n"
                                                                                     << page.left(400).toStdString();
        EXPECT_TRUE(page.contains(marks.value(program))) << program.toStdString();
        EXPECT_TRUE(page.contains(QStringLiteral(ULX_VERSION))) << program.toStdString();
    }
    // The Japanese half of the help survives (not replaced by question marks).
    EXPECT_TRUE(Gunzip(InRoot(QStringLiteral("usr/share/man/man1/ulmarox-headless.1.gz")))
                    .contains(QStringLiteral("緊急地震速報")));
}

TEST_F(Package, DesktopEntryNamesShippedFilesAndValidates)
{
    const QString entry = InRoot(QStringLiteral("usr/share/applications/ulmarox.desktop"));
    const QMultiMap<QString, QString> keys = IniSection(entry, QStringLiteral("Desktop Entry"));
    for (const char* key : {"Name", "Comment", "Comment[ja]", "GenericName[ja]", "Categories"}) {
        EXPECT_FALSE(keys.value(QString::fromLatin1(key)).isEmpty()) << key;
    }
    EXPECT_TRUE(QFileInfo(InRoot(QStringLiteral("usr/bin/") + keys.value(QStringLiteral("Exec")))).isExecutable())
        << keys.value(QStringLiteral("Exec")).toStdString();
    EXPECT_TRUE(QFileInfo::exists(
        InRoot(QStringLiteral("usr/share/icons/hicolor/48x48/apps/%1.png").arg(keys.value(QStringLiteral("Icon"))))));

    if (!HaveTool(QStringLiteral("desktop-file-validate"))) {
        GTEST_SKIP() << "desktop-file-validate is not installed (Debian package desktop-file-utils)";
    }
    const TRun validate = RunTool(QStringLiteral("desktop-file-validate"), {entry});
    EXPECT_EQ(validate.Exit, 0);
    EXPECT_EQ(validate.Out + validate.Err, QString());
}

TEST_F(Package, MetainfoValidates)
{
    const QString metainfo = InRoot(QStringLiteral("usr/share/metainfo/" ULX_APPSTREAM_ID ".metainfo.xml"));
    QFile file(metainfo);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("<launchable type=\"desktop-id\">ulmarox.desktop</launchable>")));
    EXPECT_TRUE(text.contains(QStringLiteral("<release version=\"" ULX_VERSION "\"")));

    if (!HaveTool(QStringLiteral("appstreamcli"))) {
        GTEST_SKIP() << "appstreamcli is not installed (Debian package appstream)";
    }
    const TRun validate =
        RunTool(QStringLiteral("appstreamcli"),
                {QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral("--pedantic"), metainfo});
    EXPECT_EQ(validate.Exit, 0) << validate.Out.toStdString() << validate.Err.toStdString();
}

TEST_F(Package, RelayServiceServesTheLocalPortOfTheReceiversDebugOption)
{
    const QString unit = InRoot(QStringLiteral("usr/lib/systemd/user/eqbridge.service"));
    const QMultiMap<QString, QString> service = IniSection(unit, QStringLiteral("Service"));
    const QString execStart = service.value(QStringLiteral("ExecStart"));
    EXPECT_TRUE(execStart.startsWith(QStringLiteral("/usr/bin/eqbridge --listen 127.0.0.1:8000 --source wss://")))
        << qPrintable(execStart);
    EXPECT_TRUE(QFileInfo(Root + QStringLiteral("/usr/bin/eqbridge")).isExecutable());
    EXPECT_EQ(service.value(QStringLiteral("Restart")), QStringLiteral("always"));
    QFile file(unit);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(file.readAll())
                    .contains(QStringLiteral("ExecStart=/usr/bin/ulmarox-headless -DebugOnLocal")));
}

TEST_F(Package, UserServiceRestartsStopsInOrderAndLogsToTheJournal)
{
    const QString unit = InRoot(QStringLiteral("usr/lib/systemd/user/ulmarox-headless.service"));
    const QMultiMap<QString, QString> service = IniSection(unit, QStringLiteral("Service"));
    const QString execStart = service.value(QStringLiteral("ExecStart"));
    EXPECT_EQ(execStart, QStringLiteral("/usr/bin/ulmarox-headless"));
    EXPECT_TRUE(QFileInfo(Root + execStart).isExecutable());
    const std::pair<const char*, const char*> expected[] = {
        {"Restart", "on-failure"},
        {"KillSignal", "SIGTERM"},
        {"StandardOutput", "journal"},
    };
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(service.value(QString::fromLatin1(key)), QString::fromLatin1(value)) << key;
    }
    EXPECT_EQ(IniSection(unit, QStringLiteral("Install")).value(QStringLiteral("WantedBy")),
              QStringLiteral("default.target"));

    if (!HaveTool(QStringLiteral("systemd-analyze"))) {
        GTEST_SKIP() << "systemd-analyze is not installed (Debian package systemd)";
    }
    // Verified as the user's manager would load it, with the program taken from the unpacked package.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile in(unit);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    QFile out(dir.filePath(QStringLiteral("ulmarox-headless.service")));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(QString::fromUtf8(in.readAll())
                  .replace(QStringLiteral("ExecStart=/"), QStringLiteral("ExecStart=") + Root + QLatin1Char('/'))
                  .toUtf8());
    out.close();
    QDir(dir.path()).mkdir(QStringLiteral("run"));
    QFile::setPermissions(dir.filePath(QStringLiteral("run")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = UserEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("run")));
    const TRun verify =
        RunTool(QStringLiteral("systemd-analyze"),
                {QStringLiteral("--user"), QStringLiteral("verify"), QStringLiteral("--man=no"), out.fileName()}, env);
    // A key it cannot parse is only a message, so any output is a failure too.
    EXPECT_EQ(verify.Exit, 0);
    EXPECT_EQ(verify.Out + verify.Err, QString());
}

TEST_F(Package, SamplePlugInBuildsAgainstTheInstalledHeader)
{
    QTemporaryDir build;
    ASSERT_TRUE(build.isValid());
    const QString cmake = QStringLiteral(ULX_CMAKE);
    const TRun configure =
        RunTool(cmake, {QStringLiteral("-S"), InRoot(QStringLiteral("usr/share/doc/ulmarox/examples/plugin")),
                        QStringLiteral("-B"), build.path(), QStringLiteral("-G"), QStringLiteral("Ninja"),
                        QStringLiteral("-DCMAKE_PREFIX_PATH=") + InRoot(QStringLiteral("usr"))});
    ASSERT_EQ(configure.Exit, 0) << configure.Out.toStdString() << configure.Err.toStdString();
    const TRun make = RunTool(cmake, {QStringLiteral("--build"), build.path()});
    ASSERT_EQ(make.Exit, 0) << make.Out.toStdString() << make.Err.toStdString();

    QLibrary plugIn(build.filePath(QStringLiteral("libUlxSamplePlugin.so")));
    ASSERT_TRUE(plugIn.load()) << plugIn.errorString().toStdString();
    EXPECT_NE(plugIn.resolve("VpiLibraryName"), nullptr);
    EXPECT_NE(plugIn.resolve("VpiPlugInInterfaceVersion"), nullptr);
    plugIn.unload();
}
