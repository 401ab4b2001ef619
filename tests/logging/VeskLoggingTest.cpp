#include "logging/VeskLogging.h"
#include "logging/VeskLogTestMemo.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <thread>

namespace {

const QString LogName = QStringLiteral("UlmaroX.csl");
const QString Separator = QStringLiteral("=-=-=-=-=-=-=-=-=-=-");

// "YYYY/MM/DD hh:nn:ss | " built from the parts, independently of the logger's own formatting.
QString StampOf(const QDateTime& Time)
{
    const QDate d = Time.date();
    const QTime t = Time.time();
    return QString::asprintf("%04d/%02d/%02d %02d:%02d:%02d | ", d.year(), d.month(), d.day(), t.hour(), t.minute(),
                             t.second());
}

// True when Line is "<stamp of a second in [Before, After]>" + Rest.
bool IsStampedLine(const QString& Line, const QDateTime& Before, const QDateTime& After, const QString& Rest)
{
    for (QDateTime t = Before.addMSecs(-Before.time().msec()); t <= After; t = t.addSecs(1)) {
        if (Line == StampOf(t) + Rest) {
            return true;
        }
    }
    return false;
}

const QRegularExpression& StampPattern()
{
    static const QRegularExpression re(QStringLiteral("^\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2} \\| "));
    return re;
}

QString WithoutStamp(QString Line)
{
    return Line.remove(StampPattern());
}

// The lines of a log file; fails the test when the file does not end with a whole line.
QStringList ReadLogLines(const QString& Path)
{
    QFile file(Path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot open " << Path.toStdString();
        return {};
    }
    const QByteArray data = file.readAll();
    if (data.isEmpty()) {
        return {};
    }
    EXPECT_TRUE(data.endsWith('\n')) << Path.toStdString();
    EXPECT_FALSE(data.contains('\r')) << Path.toStdString();
    QStringList lines = QString::fromUtf8(data).split(QLatin1Char('\n'));
    lines.removeLast();
    return lines;
}

struct TSendCase
{
    const char* Name;
    std::function<void(TVeskLogger&)> Call;
    QString Expected; // the line after the time stamp
};

// Every Send overload with the line it must produce.
std::vector<TSendCase> SendCases(const QObject* Plain, const QObject* Timer)
{
    return {
        {"text", [](TVeskLogger& l) { l.Send(QStringLiteral("Connect")); }, QStringLiteral("Connect")},
        {"string value", [](TVeskLogger& l) { l.Send(QStringLiteral("Host"), QStringLiteral("eq.example")); },
         QStringLiteral("Host(Value=eq.example)")},
        {"literal value", [](TVeskLogger& l) { l.Send(QStringLiteral("Host"), "abc"); },
         QStringLiteral("Host(Value=abc)")},
        {"empty value", [](TVeskLogger& l) { l.Send(QStringLiteral("Name"), QString()); },
         QStringLiteral("Name(Value=)")},
        {"int value", [](TVeskLogger& l) { l.Send(QStringLiteral("Interval(msec)"), 60000); },
         QStringLiteral("Interval(msec)(Value=60000)")},
        {"negative int", [](TVeskLogger& l) { l.Send(QStringLiteral("Delta"), -3); },
         QStringLiteral("Delta(Value=-3)")},
        {"int64 value", [](TVeskLogger& l) { l.Send(QStringLiteral("Bytes"), qint64(5000000000)); },
         QStringLiteral("Bytes(Value=5000000000)")},
        {"true", [](TVeskLogger& l) { l.Send(QStringLiteral("IsAlert"), true); },
         QStringLiteral("IsAlert(Expression=-1)")},
        {"false", [](TVeskLogger& l) { l.Send(QStringLiteral("IsAlert"), false); },
         QStringLiteral("IsAlert(Expression=0)")},
        {"object", [Plain](TVeskLogger& l) { l.Send(QStringLiteral("Owner"), Plain); },
         QStringLiteral("Owner(Object=QObject).")},
        {"derived object", [Timer](TVeskLogger& l) { l.Send(QStringLiteral("Owner"), Timer); },
         QStringLiteral("Owner(Object=QTimer).")},
        {"typed text", [](TVeskLogger& l) { l.Send(28, QStringLiteral("Connected")); },
         QStringLiteral("<28> Connected")},
        {"typed zero", [](TVeskLogger& l) { l.Send(0, QStringLiteral("Load plug-in")); },
         QStringLiteral("<0> Load plug-in")},
        {"typed string value", [](TVeskLogger& l) { l.Send(28, QStringLiteral("Receive data"), QStringLiteral("99")); },
         QStringLiteral("<28> Receive data(Value=99)")},
        {"typed literal value", [](TVeskLogger& l) { l.Send(28, QStringLiteral("Receive data"), "99"); },
         QStringLiteral("<28> Receive data(Value=99)")},
        {"typed int value", [](TVeskLogger& l) { l.Send(28, QStringLiteral("Interval(msec)"), 60000); },
         QStringLiteral("<28> Interval(msec)(Value=60000)")},
        {"typed int64 value", [](TVeskLogger& l) { l.Send(27, QStringLiteral("Elapsed"), qint64(-7)); },
         QStringLiteral("<27> Elapsed(Value=-7)")},
        {"typed true", [](TVeskLogger& l) { l.Send(8, QStringLiteral("IsDrill"), true); },
         QStringLiteral("<8> IsDrill(Expression=-1)")},
        {"typed false", [](TVeskLogger& l) { l.Send(8, QStringLiteral("IsDrill"), false); },
         QStringLiteral("<8> IsDrill(Expression=0)")},
        {"typed object", [Timer](TVeskLogger& l) { l.Send(37, QStringLiteral("Missing"), Timer); },
         QStringLiteral("<37> Missing(Object=QTimer).")},
        {"japanese", [](TVeskLogger& l) { l.Send(1, QStringLiteral("不正な電文"), QStringLiteral("震央")); },
         QStringLiteral("<1> 不正な電文(Value=震央)")},
        // Text from the server can never steer a terminal showing the log, nor split a line.
        {"terminal escapes",
         [](TVeskLogger& l) {
             l.Send(28, QStringLiteral("Receive data"), QStringLiteral("01 \x1b]0;owned\x07 \x1b[31m震央"));
         },
         QStringLiteral("<28> Receive data(Value=01 \\x1B]0;owned\\x07 \\x1B[31m震央)")},
        {"line breaks and tab", [](TVeskLogger& l) { l.Send(QStringLiteral("Host"), QStringLiteral("a\r\nb\tc")); },
         QStringLiteral("Host(Value=a\\x0D\\x0Ab\\x09c)")},
        {"DEL, C1 and NUL",
         [](TVeskLogger& l) { l.Send(QStringLiteral("Id"), QString::fromUtf16(u"x\u007f\u009by") + QChar(0)); },
         QStringLiteral("Id(Value=x\\x7F\\x9By\\x00)")},
    };
}

TEST(VeskLoggerTextSink, EveryOverloadGivesItsLine)
{
    QObject plain;
    QTimer timer;
    for (const TSendCase& c : SendCases(&plain, &timer)) {
        TVeskCaptureMemo memo;
        TVeskLogger logger(QString(), QString(), &memo);
        const QDateTime before = QDateTime::currentDateTime();
        c.Call(logger);
        const QDateTime after = QDateTime::currentDateTime();
        const QStringList lines = memo.Lines();
        ASSERT_EQ(lines.size(), 1) << c.Name;
        EXPECT_TRUE(IsStampedLine(lines[0], before, after, c.Expected))
            << c.Name << ": " << lines[0].toStdString() << " expected stamp + " << c.Expected.toStdString();
    }
}

TEST(VeskLoggerTextSink, IntegerValuePrintsAsItsText)
{
    TVeskCaptureMemo memo;
    TVeskLogger logger(QString(), QString(), &memo);
    logger.Send(28, QStringLiteral("Interval(msec)"), 60000);
    logger.Send(28, QStringLiteral("Interval(msec)"), QStringLiteral("60000"));
    const QStringList lines = memo.LinesWithoutTimeStamp();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], lines[1]);
}

TEST(VeskLoggerTextSink, NullObjectIsLoggedWithoutCrash)
{
    TVeskCaptureMemo memo;
    TVeskLogger logger(QString(), QString(), &memo);
    logger.Send(QStringLiteral("Owner"), static_cast<const QObject*>(nullptr));
    logger.Send(37, QStringLiteral("Owner"), static_cast<const QObject*>(nullptr));
    const QStringList lines = memo.LinesWithoutTimeStamp();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Owner(Object="))) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(")."))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("<37> Owner(Object="))) << lines[1].toStdString();
}

TEST(VeskLoggerTextSink, MarkersAndSeparatorHaveNoTimeStamp)
{
    TVeskCaptureMemo memo;
    TVeskLogger logger(QString(), QString(), &memo);
    logger.EnterMethod(QStringLiteral("TEqReceiverThread.ConnectEqServer()"));
    logger.AddSeparator();
    logger.ExitMethod(QStringLiteral("TEqReceiverThread.ConnectEqServer()"));
    EXPECT_EQ(memo.Lines(), QStringList({QStringLiteral("==> TEqReceiverThread.ConnectEqServer()"), Separator,
                                         QStringLiteral("<== TEqReceiverThread.ConnectEqServer()")}));
}

TEST(VeskLoggerTextSink, StartAndEndLines)
{
    TVeskCaptureMemo memo;
    TVeskLogger logger(QString(), QString(), &memo);
    const QDateTime before = QDateTime::currentDateTime();
    logger.StartLogging();
    logger.EndLogging();
    const QDateTime after = QDateTime::currentDateTime();
    const QStringList lines = memo.Lines();
    ASSERT_EQ(lines.size(), 3) << lines.join(u'|').toStdString();
    EXPECT_EQ(lines[0], Separator);
    EXPECT_TRUE(IsStampedLine(lines[1], before, after, QStringLiteral("Start Logging."))) << lines[1].toStdString();
    EXPECT_TRUE(IsStampedLine(lines[2], before, after, QStringLiteral("End logging."))) << lines[2].toStdString();
}

TEST(VeskLoggerTextSink, MessagesOutsideStartAndEndStillArrive)
{
    TVeskCaptureMemo memo;
    TVeskLogger logger(QString(), QString(), &memo);
    logger.Send(8, QStringLiteral("early"));
    logger.StartLogging();
    logger.EndLogging();
    logger.Send(8, QStringLiteral("late"));
    logger.EnterMethod(QStringLiteral("Late()"));
    const QStringList lines = memo.LinesWithoutTimeStamp();
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines.first(), QStringLiteral("<8> early"));
    EXPECT_EQ(lines[4], QStringLiteral("<8> late"));
    EXPECT_EQ(lines[5], QStringLiteral("==> Late()"));
}

TEST(VeskLoggerTextSink, NeverTouchesTheFileAndFollowsSetLogMemo)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TVeskCaptureMemo first;
    TVeskCaptureMemo second;
    {
        TVeskLogger logger(dir.path(), LogName, &first);
        EXPECT_EQ(logger.LogType(), vltVclMemo);
        logger.StartLogging();
        logger.Send(QStringLiteral("one"));
        logger.SetLogMemo(&second);
        logger.Send(QStringLiteral("two"));
        logger.EndLogging();
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    EXPECT_EQ(first.LinesWithoutTimeStamp(),
              QStringList({Separator, QStringLiteral("Start Logging."), QStringLiteral("one")}));
    EXPECT_EQ(second.LinesWithoutTimeStamp(), QStringList({QStringLiteral("two"), QStringLiteral("End logging.")}));
}

TEST(VeskLoggerFileSink, WritesTheTextSinkLineFormat)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QObject plain;
    QTimer timer;
    const std::vector<TSendCase> cases = SendCases(&plain, &timer);
    TVeskCaptureMemo unused;
    const QDateTime before = QDateTime::currentDateTime();
    {
        TVeskLogger logger(dir.path(), LogName);
        EXPECT_EQ(logger.LogType(), vltCodeSite);
        // A control handed to a file-sink logger later is never written to.
        logger.SetLogMemo(&unused);
        logger.EnterMethod(QStringLiteral("TMainFrm.FormCreate()"));
        for (const TSendCase& c : cases) {
            c.Call(logger);
        }
        logger.AddSeparator();
        logger.ExitMethod(QStringLiteral("TMainFrm.FormCreate()"));
    }
    const QDateTime after = QDateTime::currentDateTime();
    EXPECT_TRUE(unused.Lines().isEmpty());

    const QStringList lines = ReadLogLines(QDir(dir.path()).filePath(LogName));
    ASSERT_EQ(lines.size(), static_cast<qsizetype>(cases.size() + 3));
    EXPECT_EQ(lines.first(), QStringLiteral("==> TMainFrm.FormCreate()"));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_TRUE(IsStampedLine(lines[qsizetype(i + 1)], before, after, cases[i].Expected))
            << cases[i].Name << ": " << lines[qsizetype(i + 1)].toStdString();
    }
    EXPECT_EQ(lines[lines.size() - 2], Separator);
    EXPECT_EQ(lines.last(), QStringLiteral("<== TMainFrm.FormCreate()"));
}

TEST(VeskLoggerFileSink, StartAndEndMessagesAreRecorded)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QDateTime before = QDateTime::currentDateTime();
    {
        TVeskLogger logger(dir.path(), LogName);
        logger.Send(8, QStringLiteral("before start"));
        logger.StartLogging();
        logger.Send(8, QStringLiteral("running"));
        logger.EndLogging();
        logger.Send(8, QStringLiteral("after end"));
    }
    const QDateTime after = QDateTime::currentDateTime();
    const QStringList lines = ReadLogLines(QDir(dir.path()).filePath(LogName));
    const QStringList expected{
        QStringLiteral("<8> before start"),
        Separator,
        QStringLiteral("<25> Launch CodeSite Dispatcher."),
        QStringLiteral("Start Logging(CodeSite:5.3.2)."),
        QStringLiteral("<8> running"),
        QStringLiteral("<25> End logging(CodeSite:5.3.2)."),
        QStringLiteral("<8> after end"),
    };
    ASSERT_EQ(lines.size(), expected.size()) << lines.join(u'\n').toStdString();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (expected[i] == Separator) {
            EXPECT_EQ(lines[i], Separator);
        } else {
            EXPECT_TRUE(IsStampedLine(lines[i], before, after, expected[i])) << lines[i].toStdString();
        }
    }
}

TEST(VeskLoggerFileSink, AppendsToAnExistingLog)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const QString& text : {QStringLiteral("first run"), QStringLiteral("second run")}) {
        TVeskLogger logger(dir.path(), LogName);
        logger.Send(text);
    }
    const QStringList lines = ReadLogLines(QDir(dir.path()).filePath(LogName));
    QStringList texts;
    for (const QString& line : lines) {
        texts << WithoutStamp(line);
    }
    EXPECT_EQ(texts, QStringList({QStringLiteral("first run"), QStringLiteral("second run")}));
}

TEST(VeskLoggerFileSink, CreatesAMissingFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = QDir(dir.path()).filePath(QStringLiteral("UlmaroX/data"));
    {
        TVeskLogger logger(folder, LogName);
        logger.Send(QStringLiteral("hello"));
    }
    const QStringList lines = ReadLogLines(QDir(folder).filePath(LogName));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(WithoutStamp(lines[0]), QStringLiteral("hello"));
}

TEST(VeskLoggerFileSink, UnwritableFolderDoesNotAffectTheCaller)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A folder below a regular file can never be created.
    const QString blocker = QDir(dir.path()).filePath(QStringLiteral("blocker"));
    {
        QFile file(blocker);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    TVeskLogger logger(blocker + QStringLiteral("/sub"), LogName);
    EXPECT_FALSE(logger.FileError().isEmpty());
    logger.StartLogging();
    logger.EnterMethod(QStringLiteral("X()"));
    logger.Send(37, QStringLiteral("error"), QStringLiteral("message"));
    logger.ExitMethod(QStringLiteral("X()"));
    logger.EndLogging();
    EXPECT_FALSE(QFileInfo::exists(blocker + QStringLiteral("/sub/") + LogName));
}

// A symbolic link at the log's name or at a rolled-over name is never written
// through, and a dangling one never creates its target.
TEST(VeskLoggerFileSink, NeverWritesThroughASymbolicLink)
{
    constexpr qint64 Limit = 5120 * 1024;
    const QByteArray victimBytes = "somebody else's file\n";
    const struct
    {
        const char* Name;
        const char* LinkName;
        bool VictimExists;
        bool FillCurrentToTheLimit; // the next line rolls the file over
        bool Writes;                // the logger has its file
    } cases[] = {
        {"link to a file", "UlmaroX.csl", true, false, false},
        {"dangling link", "UlmaroX.csl", false, false, false},
        {"link at a rolled-over name", "UlmaroX.1.csl", true, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString logDir = dir.filePath(QStringLiteral("log"));
        ASSERT_TRUE(QDir().mkpath(logDir));
        const QString victim = dir.filePath(QStringLiteral("victim"));
        if (c.VictimExists) {
            QFile file(victim);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(victimBytes);
        }
        const QString link = QDir(logDir).filePath(QLatin1String(c.LinkName));
        ASSERT_TRUE(QFile::link(victim, link));
        if (c.FillCurrentToTheLimit) {
            QFile file(QDir(logDir).filePath(LogName));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(Limit - 10, 'x') + '\n');
        }
        {
            TVeskLogger logger(logDir, LogName);
            EXPECT_EQ(logger.FileError().isEmpty(), c.Writes) << logger.FileError().toStdString();
            logger.Send(QStringLiteral("a line long enough to roll the file over"));
        }
        if (c.VictimExists) {
            QFile file(victim);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.readAll(), victimBytes);
        } else {
            EXPECT_FALSE(QFileInfo::exists(victim)) << "the dangling link created its target";
        }
        if (c.Writes) {
            // The link moved on with the rotation, as a link; the new file holds the line.
            EXPECT_TRUE(QFileInfo(QDir(logDir).filePath(QStringLiteral("UlmaroX.2.csl"))).isSymLink());
            EXPECT_EQ(QFileInfo(QDir(logDir).filePath(QStringLiteral("UlmaroX.1.csl"))).size(), Limit - 9);
            EXPECT_EQ(ReadLogLines(QDir(logDir).filePath(LogName)).size(), 1);
        } else {
            EXPECT_TRUE(QFileInfo(link).isSymLink()) << "the link is left as it was";
        }
    }
}

TEST(VeskLoggerFileSink, TwoThreadsLeaveEveryLineWhole)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    constexpr int PerThread = 10000;
    {
        TVeskLogger logger(dir.path(), LogName);
        auto run = [&logger](const QString& Name) {
            for (int i = 0; i < PerThread; ++i) {
                logger.Send(28, Name, i);
            }
        };
        std::thread a(run, QStringLiteral("Thread A line"));
        std::thread b(run, QStringLiteral("Thread B line"));
        a.join();
        b.join();
    }
    const QStringList lines = ReadLogLines(QDir(dir.path()).filePath(LogName));
    ASSERT_EQ(lines.size(), 2 * PerThread);
    static const QRegularExpression re(
        QStringLiteral("^\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2} \\| <28> Thread ([AB]) line\\(Value=(\\d+)\\)$"));
    int next[2] = {0, 0};
    int bad = 0;
    for (const QString& line : lines) {
        const QRegularExpressionMatch m = re.match(line);
        if (!m.hasMatch()) {
            if (++bad <= 5) {
                ADD_FAILURE() << "malformed line: " << line.toStdString();
            }
            continue;
        }
        const int thread = m.captured(1) == QLatin1String("A") ? 0 : 1;
        // Each thread's lines appear once each, in the order sent.
        EXPECT_EQ(m.captured(2).toInt(), next[thread]) << line.toStdString();
        next[thread] = m.captured(2).toInt() + 1;
    }
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(next[0], PerThread);
    EXPECT_EQ(next[1], PerThread);
}

TEST(VeskLoggerFileSink, RotatesAtTheSizeLimitAndKeepsTenFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    constexpr qint64 Limit = 5120 * 1024;
    // Enough for more than ten files, so that the oldest ones must be dropped.
    const QString payload(8000, QLatin1Char('x'));
    const int count = static_cast<int>(12 * Limit / payload.size());
    {
        TVeskLogger logger(dir.path(), LogName);
        for (int i = 0; i < count; ++i) {
            logger.Send(27, payload, i);
        }
    }
    const QStringList files = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(files.size(), 10) << files.join(u' ').toStdString();
    ASSERT_TRUE(files.contains(LogName));
    for (const QString& name : files) {
        EXPECT_TRUE(name == LogName ||
                    QRegularExpression(QStringLiteral("^UlmaroX\\.[1-9]\\.csl$")).match(name).hasMatch())
            << name.toStdString();
        const qint64 size = QFileInfo(QDir(dir.path()).filePath(name)).size();
        EXPECT_LE(size, Limit) << name.toStdString();
        EXPECT_GT(size, 0) << name.toStdString();
    }

    // Nothing is lost at a rollover: the newest line is in the current file and the
    // previous file ends with the line just before the current file's first.
    auto valueOf = [](const QString& Line) {
        static const QRegularExpression re(QStringLiteral("\\(Value=(\\d+)\\)$"));
        const QRegularExpressionMatch m = re.match(Line);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    };
    const QStringList current = ReadLogLines(QDir(dir.path()).filePath(LogName));
    const QStringList previous = ReadLogLines(QDir(dir.path()).filePath(QStringLiteral("UlmaroX.1.csl")));
    ASSERT_FALSE(current.isEmpty());
    ASSERT_FALSE(previous.isEmpty());
    EXPECT_EQ(valueOf(current.last()), count - 1);
    EXPECT_EQ(valueOf(previous.last()) + 1, valueOf(current.first()));
    EXPECT_TRUE(StampPattern().match(current.first()).hasMatch());
}

} // namespace

TEST(VeskLoggerFacade, NamedTypesKeepTheirNumbersAndTheScopeLogsExitOnException)
{
    TVeskCaptureMemo memo;
    TVeskLogger logger(QString(), LogName, &memo);
    logger.Send(vmtLinkDetail, QStringLiteral("Receive data"), QStringLiteral("99"));
    logger.Send(vmtCaught, QStringLiteral("Oops"));
    try {
        TVeskLogScope scope(&logger, QStringLiteral("Work()"));
        logger.Send(QStringLiteral("inside"));
        throw std::runtime_error("fail");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(memo.LinesWithoutTimeStamp(),
              QStringList({QStringLiteral("<28> Receive data(Value=99)"), QStringLiteral("<37> Oops"),
                           QStringLiteral("==> Work()"), QStringLiteral("inside"), QStringLiteral("<== Work()")}));
}

TEST(VeskLoggerFacade, NullLoggerTakesEveryCallAndWritesNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir::setCurrent(dir.path());
    TVeskLogger* logger = TVeskLogger::OrNull(nullptr);
    ASSERT_EQ(logger, &TVeskLogger::Null());
    logger->StartLogging();
    logger->Send(vmtWarning, QStringLiteral("x"), 1);
    {
        TVeskLogScope scope(nullptr, QStringLiteral("Nothing()"));
    }
    logger->EndLogging();
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

// The receiver thread and the main thread share one text sink.
TEST(VeskLoggerFacade, TextSinkTakesTwoThreadsWholeLines)
{
    // A memo without its own lock, as a screen control would be.
    class TPlainMemo : public TVeskLogMemo
    {
    public:
        void AppendLine(const QString& Line) override { Lines.append(Line); }
        QStringList Lines;
    } memo;
    TVeskLogger logger(QString(), LogName, &memo);
    auto writer = [&logger](int Id) {
        for (int i = 0; i < 5000; ++i) {
            logger.Send(QStringLiteral("t%1").arg(Id), i);
        }
    };
    std::thread a(writer, 1);
    std::thread b(writer, 2);
    a.join();
    b.join();
    ASSERT_EQ(memo.Lines.size(), 10000);
    int next[3] = {0, 0, 0};
    for (const QString& line : memo.Lines) {
        const QString body = line.mid(line.indexOf(QStringLiteral("| ")) + 2);
        const int id = body.at(1).digitValue();
        ASSERT_TRUE(id == 1 || id == 2) << qPrintable(line);
        EXPECT_EQ(body, QStringLiteral("t%1(Value=%2)").arg(id).arg(next[id]));
        ++next[id];
    }
}
