#include "history/VeskData.h"
#include "TestSupport.h"
#include "defines/VeskDefines.h"
#include "logging/VeskLogTestMemo.h"
#include "logging/VeskLogging.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <ostream>
#include <set>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace UlxTest;

namespace {

const QString DbName = QStringLiteral("EqHistDB.cds");
// The folder's files while a store has the history file open: SQLite's log and shared memory beside it.
const QStringList OpenDbFiles = {DbName, DbName + "-shm", DbName + "-wal"};

TEqHistory Entry(const QString& Id, const QString& Name = QString())
{
    TEqHistory h;
    h.EqID = Id;
    h.TelegNo = 3;
    h.OutgoingTime = QStringLiteral("2016/04/14 21:26:34");
    h.OccurrenceTime = QStringLiteral("2016/04/14 21:26:20");
    h.EpicLat = QStringLiteral("32.700");
    h.EpicLong = QStringLiteral("130.800");
    h.EpicDepth = QStringLiteral("10");
    h.EqMagnitude = QStringLiteral("6.40");
    h.EpicName = Name;
    h.EstSIS = QStringLiteral("５弱");
    h.EstSec = QStringLiteral("12");
    return h;
}

QStringList Column(const TVeskDataMdl& Store, int Field)
{
    QStringList out;
    for (int r = 0; r < Store.RowCount(); ++r) {
        out << Store.GetValue(r, Field);
    }
    return out;
}

QStringList Ids(const TVeskDataMdl& Store)
{
    return Column(Store, 0);
}

// Runs statements on a file directly through SQLite, bypassing the store.
bool RawExec(const QString& Path, const char* Sql)
{
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(QFile::encodeName(Path).constData(), &db) == SQLITE_OK &&
              sqlite3_exec(db, Sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// Rows of a query on a file, read directly through SQLite; each row's columns joined with '|'.
QStringList RawQuery(const QString& Path, const char* Sql)
{
    QStringList rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(Path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        ADD_FAILURE() << "cannot open " << Path.toStdString();
        return rows;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, Sql, -1, &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            QStringList cols;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                cols << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)));
            }
            rows << cols.join(u'|');
        }
    } else {
        ADD_FAILURE() << sqlite3_errmsg(db);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

struct TSyncCounts
{
    int File = 0; // the database itself
    int Log = 0;  // its write-ahead log
    int Other = 0;
};

// Counts the syncs SQLite asks for, by kind of file, through a VFS wrapped
// around the default one; registered as the default while it exists.
class TSyncCountingVfs
{
public:
    using TCounts = TSyncCounts;

    TSyncCountingVfs()
    {
        GReal = sqlite3_vfs_find(nullptr);
        GVfs = *GReal;
        GVfs.zName = "ulx-sync-counting";
        GVfs.szOsFile = int(sizeof(TFile)) + GReal->szOsFile;
        GVfs.xOpen = &Open;
        GVfs.pNext = nullptr;
        GCounts = {};
        sqlite3_vfs_register(&GVfs, 1);
    }
    ~TSyncCountingVfs()
    {
        sqlite3_vfs_unregister(&GVfs);
        sqlite3_vfs_register(GReal, 1);
    }
    TSyncCountingVfs(const TSyncCountingVfs&) = delete;
    TSyncCountingVfs& operator=(const TSyncCountingVfs&) = delete;

    // While set, every write fails as on a full disk.
    void SetFull(bool AFull) { GFull = AFull; }

    // The counts since the last call.
    TCounts Take()
    {
        const TCounts counts = GCounts;
        GCounts = {};
        return counts;
    }

private:
    struct TFile
    {
        sqlite3_file Base;
        int* Counter;
    };

    static sqlite3_file* Real(sqlite3_file* File)
    {
        return reinterpret_cast<sqlite3_file*>(reinterpret_cast<TFile*>(File) + 1);
    }

    static int Open(sqlite3_vfs*, const char* Name, sqlite3_file* File, int Flags, int* OutFlags)
    {
        auto* file = reinterpret_cast<TFile*>(File);
        file->Counter = (Flags & SQLITE_OPEN_MAIN_DB) ? &GCounts.File
                        : (Flags & SQLITE_OPEN_WAL)   ? &GCounts.Log
                                                      : &GCounts.Other;
        const int rc = GReal->xOpen(GReal, Name, Real(File), Flags, OutFlags);
        File->pMethods = Real(File)->pMethods ? &Methods : nullptr;
        return rc;
    }

    static int Sync(sqlite3_file* F, int Flags)
    {
        ++*reinterpret_cast<TFile*>(F)->Counter;
        return Real(F)->pMethods->xSync(Real(F), Flags);
    }

    static inline sqlite3_vfs* GReal = nullptr;
    static inline sqlite3_vfs GVfs{};
    static inline TSyncCounts GCounts;
    static inline bool GFull = false;
    static inline const sqlite3_io_methods Methods = {
        3,
        [](sqlite3_file* F) { return Real(F)->pMethods->xClose(Real(F)); },
        [](sqlite3_file* F, void* B, int N, sqlite3_int64 O) { return Real(F)->pMethods->xRead(Real(F), B, N, O); },
        [](sqlite3_file* F, const void* B, int N, sqlite3_int64 O) {
            return GFull ? SQLITE_FULL : Real(F)->pMethods->xWrite(Real(F), B, N, O);
        },
        [](sqlite3_file* F, sqlite3_int64 S) { return Real(F)->pMethods->xTruncate(Real(F), S); },
        &Sync,
        [](sqlite3_file* F, sqlite3_int64* S) { return Real(F)->pMethods->xFileSize(Real(F), S); },
        [](sqlite3_file* F, int L) { return Real(F)->pMethods->xLock(Real(F), L); },
        [](sqlite3_file* F, int L) { return Real(F)->pMethods->xUnlock(Real(F), L); },
        [](sqlite3_file* F, int* R) { return Real(F)->pMethods->xCheckReservedLock(Real(F), R); },
        [](sqlite3_file* F, int Op, void* A) { return Real(F)->pMethods->xFileControl(Real(F), Op, A); },
        [](sqlite3_file* F) { return Real(F)->pMethods->xSectorSize(Real(F)); },
        [](sqlite3_file* F) { return Real(F)->pMethods->xDeviceCharacteristics(Real(F)); },
        [](sqlite3_file* F, int P, int S, int E, void volatile** M) {
            return Real(F)->pMethods->xShmMap(Real(F), P, S, E, M);
        },
        [](sqlite3_file* F, int O, int N, int Fl) { return Real(F)->pMethods->xShmLock(Real(F), O, N, Fl); },
        [](sqlite3_file* F) { Real(F)->pMethods->xShmBarrier(Real(F)); },
        [](sqlite3_file* F, int D) { return Real(F)->pMethods->xShmUnmap(Real(F), D); },
        [](sqlite3_file* F, sqlite3_int64 O, int A, void** P) { return Real(F)->pMethods->xFetch(Real(F), O, A, P); },
        [](sqlite3_file* F, sqlite3_int64 O, void* P) { return Real(F)->pMethods->xUnfetch(Real(F), O, P); },
    };
};

class VeskDataTest : public ::testing::Test
{
protected:
    QString DbPath() const { return FDir.filePath(DbName); }
    QStringList Log() const { return FMemo.LinesWithoutTimeStamp(); }
    // Names in the folder besides the log: catches stray temporary and journal files.
    QStringList Files() const { return QDir(FDir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    // A history file at Path holding the given ids, made by the store itself.
    void MakeHistoryFile(const QString& Path, const QStringList& Ids)
    {
        TVeskDataMdl store(&FLogger);
        ASSERT_TRUE(store.CreateEqHistoryDB(Path));
        for (const QString& id : Ids) {
            ASSERT_TRUE(store.InsertEqHistoryRecord(Entry(id)));
        }
    }

    QTemporaryDir FDir;
    TVeskCaptureMemo FMemo;
    TVeskLogger FLogger{FDir.path(), QStringLiteral("test.csl"), &FMemo};
};

TEST_F(VeskDataTest, MissingFileGivesEmptyTableWithItsFieldsAndCreatesTheFile)
{
    TVeskDataMdl store(&FLogger);
    int resets = 0;
    QObject::connect(&store, &TVeskDataMdl::tableReset, [&] { ++resets; });
    EXPECT_TRUE(store.IsReadOnly());
    EXPECT_FALSE(store.IsActive());

    ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
    EXPECT_EQ(Log(),
              QStringList({"==> CreateEqHistoryDB()", "Load History Db record from file.(Value=" + DbPath() + ")",
                           "<2> Db file is not found.", "<8> Creted new History Db", "<8> Creted new sorting index.",
                           "<8> Move record cursor to first.", "<== CreateEqHistoryDB()"}));
    EXPECT_TRUE(store.IsActive());
    EXPECT_TRUE(store.IsReadOnly());
    EXPECT_EQ(store.RowCount(), 0);
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(TVeskDataMdl::GetFieldNames(),
              QStringList({"EQ_ID", "OUTGOING_TIME", "OCCURRENCE_TIME", "EPIC_LAT", "EPIC_LONG", "EPIC_DEPTH",
                           "EQ_MAGNITUDE", "EPIC_NAME", "SI_SCALE", "SWAVE_SEC", "CANCELLED"}));
    const int maxBytes[] = {16, 19, 19, 5, 6, 3, 3, 20, 16, 3, 1};
    for (int i = 0; i < TVeskDataMdl::FieldCount; ++i) {
        EXPECT_EQ(TVeskDataMdl::GetFieldMaxBytes(i), maxBytes[i]) << i;
    }

    // The file exists at once, complete, with its version and both descending indexes.
    EXPECT_EQ(RawQuery(DbPath(), "PRAGMA user_version"), QStringList({"2"}));
    EXPECT_EQ(RawQuery(DbPath(), "PRAGMA application_id"), QStringList({QString::number(0x554C5848)}));
    const QStringList indexes = RawQuery(DbPath(), "SELECT name, sql FROM sqlite_master WHERE type = 'index' "
                                                   "ORDER BY name");
    ASSERT_EQ(indexes.size(), 2);
    EXPECT_TRUE(indexes[0].startsWith("EQ_ID_IDX|") && indexes[0].contains("EQ_ID DESC")) << indexes[0].toStdString();
    EXPECT_TRUE(indexes[1].startsWith("OUTGOING_TIME_IDX|") && indexes[1].contains("OUTGOING_TIME DESC"))
        << indexes[1].toStdString();
    // Made in WAL mode, which the file itself records (bytes 18 and 19 of the header).
    const QByteArray header = ReadBytes(DbPath()).left(20);
    ASSERT_EQ(header.size(), 20);
    EXPECT_EQ(int(header[18]), 2);
    EXPECT_EQ(int(header[19]), 2);
    EXPECT_EQ(Files(), OpenDbFiles);
}

TEST_F(VeskDataTest, ClosingWritesTheLogBackAndRemovesIt)
{
    {
        TVeskDataMdl store(&FLogger);
        ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
        for (const char* id : {"1", "2", "3"}) {
            ASSERT_TRUE(store.InsertEqHistoryRecord(Entry(QString::fromLatin1(id))));
        }
        EXPECT_EQ(Files(), OpenDbFiles);
        EXPECT_GT(QFileInfo(DbPath() + "-wal").size(), 0);
    }
    EXPECT_EQ(Files(), QStringList({DbName}));
    // The file alone holds the rows: a copy of just its bytes reads them.
    QTemporaryDir other;
    ASSERT_TRUE(WriteBytes(other.filePath(DbName), ReadBytes(DbPath())));
    QList<QStringList> rows;
    ASSERT_TRUE(TVeskDataMdl::ReadEqHistoryFile(other.filePath(DbName), rows));
    EXPECT_EQ(rows.size(), 3);

    // Closing the table by loading another file does the same.
    TVeskDataMdl store(&FLogger);
    ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
    ASSERT_TRUE(store.InsertEqHistoryRecord(Entry("4")));
    ASSERT_TRUE(store.CreateEqHistoryDB(FDir.filePath("other.cds")));
    EXPECT_EQ(Files(), QStringList({DbName, "other.cds", "other.cds-shm", "other.cds-wal"}));
}

TEST_F(VeskDataTest, InsertsAreInTheFileWithoutSaving)
{
    {
        TVeskDataMdl store(&FLogger);
        ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
        FMemo.Clear();
        ASSERT_TRUE(store.InsertEqHistoryRecord(Entry("ND20160414212620", QStringLiteral("熊本県熊本地方"))));
        EXPECT_EQ(Log(),
                  QStringList({"==> InsertEqHistoryRecord()", "Try to insert record. Eq Id(Value=ND20160414212620)",
                               "<== InsertEqHistoryRecord()"}));
        // Another connection sees the committed row while the store is still open.
        EXPECT_EQ(RawQuery(DbPath(), "SELECT EQ_ID, EPIC_NAME FROM EqHistoryDS"),
                  QStringList({QStringLiteral("ND20160414212620|熊本県熊本地方")}));
    }
    FMemo.Clear();
    TVeskDataMdl reopened(&FLogger);
    ASSERT_TRUE(reopened.CreateEqHistoryDB(DbPath()));
    EXPECT_EQ(Log(),
              QStringList({"==> CreateEqHistoryDB()", "Load History Db record from file.(Value=" + DbPath() + ")",
                           "<8> Creted new History Db", "<8> Creted new sorting index.",
                           "<8> Move record cursor to first.", "<== CreateEqHistoryDB()"}));
    ASSERT_EQ(reopened.RowCount(), 1);
    EXPECT_EQ(reopened.GetRow(0),
              QStringList({"ND20160414212620", "2016/04/14 21:26:34", "2016/04/14 21:26:20", "32.70", "130.80", "10",
                           "6.4", QStringLiteral("熊本県熊本地方"), QStringLiteral("５弱"), "12", ""}));
    EXPECT_EQ(reopened.GetRow(1), QStringList());
    EXPECT_EQ(reopened.GetRow(-1), QStringList());
}

// A history file with a rollback journal (as files were written before) is
// recognised first and then switched to WAL mode for good.
TEST_F(VeskDataTest, AFileWithARollbackJournalIsSwitchedOnceRecognised)
{
    MakeHistoryFile(DbPath(), {"1", "2"});
    ASSERT_TRUE(RawExec(DbPath(), "PRAGMA journal_mode=DELETE"));
    auto logMode = [&] {
        const QByteArray header = ReadBytes(DbPath()).left(20);
        return header.size() == 20 ? int(header[18]) : -1;
    };
    ASSERT_EQ(logMode(), 1);
    {
        TVeskDataMdl store(&FLogger);
        ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
        EXPECT_EQ(Ids(store), QStringList({"2", "1"}));
        ASSERT_TRUE(store.InsertEqHistoryRecord(Entry("3")));
        EXPECT_EQ(Files(), OpenDbFiles);
    }
    EXPECT_EQ(logMode(), 2);
    EXPECT_EQ(Files(), QStringList({DbName}));
    EXPECT_EQ(RawQuery(DbPath(), "SELECT EQ_ID FROM EqHistoryDS ORDER BY EQ_ID DESC"), QStringList({"3", "2", "1"}));
}

// A commit is made durable by one sync of the log; the file itself is synced
// only when the log is written back into it.
TEST_F(VeskDataTest, ACommitSyncsTheLogOnce)
{
    TSyncCountingVfs vfs;
    TVeskDataMdl store(&FLogger);
    ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
    vfs.Take();

    // The first commit into an empty log also syncs the log's header.
    ASSERT_TRUE(store.InsertEqHistoryRecord(Entry("1")));
    TSyncCounts counts = vfs.Take();
    EXPECT_GE(counts.Log, 1);
    EXPECT_LE(counts.Log, 2);
    EXPECT_EQ(counts.File, 0);
    EXPECT_EQ(counts.Other, 0);
    for (const char* id : {"2", "3", "4", "5"}) {
        ASSERT_TRUE(store.InsertEqHistoryRecord(Entry(QString::fromLatin1(id))));
        counts = vfs.Take();
        EXPECT_EQ(counts.Log, 1) << id;
        EXPECT_EQ(counts.File, 0) << id;
        EXPECT_EQ(counts.Other, 0) << id;
    }
    ASSERT_TRUE(store.DeleteAllEqHistoryRecord(2));
    counts = vfs.Take();
    EXPECT_EQ(counts.Log, 1);
    EXPECT_EQ(counts.File, 0);

    // Saving onto the open file writes the log back and syncs the file.
    ASSERT_TRUE(store.SaveEqHistoryDB(DbPath()));
    counts = vfs.Take();
    EXPECT_GE(counts.File, 1);
}

// Rows run from the highest id; a later write of an earthquake replaces its row.
TEST_F(VeskDataTest, RowsRunFromHighestIdAndAnEarthquakeKeepsOneRow)
{
    struct TCase
    {
        const char* Name;
        std::vector<std::pair<QString, QString>> Inserts; // id, name
        QStringList Expected;                             // "id/name" in listed order
        std::vector<int> Positions;                       // position reported for each insert
    };
    const TCase cases[] = {
        {"ids 2, 3, 1", {{"2", "a"}, {"3", "b"}, {"1", "c"}}, {"3/b", "2/a", "1/c"}, {0, 0, 2}},
        {"same entry twice", {{"7", "x"}, {"7", "x"}}, {"7/x"}, {0, 0}},
        {"the latest write of an id stays",
         {{"5", "a"}, {"7", "b"}, {"5", "c"}, {"5", "d"}},
         {"7/b", "5/d"},
         {0, 0, 1, 1}},
        {"real ids",
         {{"ND20160416012505", "a"}, {"ND20160414212620", "b"}, {"ND20160416012505", "c"}},
         {"ND20160416012505/c", "ND20160414212620/b"},
         {0, 1, 0}},
        {"empty id last", {{"", "a"}, {"1", "b"}}, {"1/b", "/a"}, {0, 0}},
    };
    int caseNo = 0;
    for (const TCase& c : cases) {
        const QString path = FDir.filePath(QStringLiteral("order%1.cds").arg(caseNo++));
        std::vector<int> positions;
        {
            TVeskDataMdl store(&FLogger);
            QObject::connect(&store, &TVeskDataMdl::rowInserted, [&](int Row) { positions.push_back(Row); });
            ASSERT_TRUE(store.CreateEqHistoryDB(path)) << c.Name;
            for (const auto& [id, name] : c.Inserts) {
                ASSERT_TRUE(store.InsertEqHistoryRecord(Entry(id, name))) << c.Name;
            }
            QStringList listed;
            for (int r = 0; r < store.RowCount(); ++r) {
                listed << store.GetValue(r, 0) + "/" + store.GetValue(r, 7);
            }
            EXPECT_EQ(listed, c.Expected) << c.Name;
            EXPECT_EQ(positions, c.Positions) << c.Name;
        }
        // The order after reopening is the same as the one kept while running.
        TVeskDataMdl reopened(&FLogger);
        ASSERT_TRUE(reopened.CreateEqHistoryDB(path)) << c.Name;
        QStringList listed;
        for (int r = 0; r < reopened.RowCount(); ++r) {
            listed << reopened.GetValue(r, 0) + "/" + reopened.GetValue(r, 7);
        }
        EXPECT_EQ(listed, c.Expected) << c.Name << " after reopening";
    }
}

TEST_F(VeskDataTest, TrimmingDeletesFromTheOldestEnd)
{
    struct TCase
    {
        int Keep;
        QStringList Expected;
        int RemovedFirst; // -1: no removal reported
        int RemovedLast;
    };
    const TCase cases[] = {
        {5, {"7", "6", "5", "4", "3"}, 5, 6},
        {-1, {}, 0, 6},
        {0, {}, 0, 6},
        {10, {"7", "6", "5", "4", "3", "2", "1"}, -1, -1},
        {7, {"7", "6", "5", "4", "3", "2", "1"}, -1, -1},
        {6, {"7", "6", "5", "4", "3", "2"}, 6, 6},
        {1, {"7"}, 1, 6},
    };
    int caseNo = 0;
    for (const TCase& c : cases) {
        const QString path = FDir.filePath(QStringLiteral("trim%1.cds").arg(caseNo++));
        TVeskDataMdl store(&FLogger);
        ASSERT_TRUE(store.CreateEqHistoryDB(path));
        for (const char* id : {"4", "1", "7", "3", "6", "2", "5"}) {
            ASSERT_TRUE(store.InsertEqHistoryRecord(Entry(QString::fromLatin1(id))));
        }
        std::vector<std::pair<int, int>> removed;
        QObject::connect(&store, &TVeskDataMdl::rowsRemoved,
                         [&](int First, int Last) { removed.emplace_back(First, Last); });
        FMemo.Clear();
        EXPECT_TRUE(store.DeleteAllEqHistoryRecord(c.Keep)) << c.Keep;
        EXPECT_EQ(Log(), QStringList({"==> DeleteAllEqHistoryRecord()",
                                      QStringLiteral("Number of save records(Value=%1)").arg(c.Keep),
                                      "<== DeleteAllEqHistoryRecord()"}))
            << c.Keep;
        EXPECT_EQ(Ids(store), c.Expected) << c.Keep;
        if (c.RemovedFirst < 0) {
            EXPECT_TRUE(removed.empty()) << c.Keep;
        } else {
            EXPECT_EQ(removed, (std::vector<std::pair<int, int>>{{c.RemovedFirst, c.RemovedLast}})) << c.Keep;
        }
        // The file holds exactly the kept rows.
        QStringList inFile = RawQuery(path, "SELECT EQ_ID FROM EqHistoryDS ORDER BY EQ_ID DESC");
        EXPECT_EQ(inFile, c.Expected) << c.Keep;
    }
}

// A type-01 line: issued 2016/04/14 21:26:34, epicentre N35.4 E139.7, depth 10 km, M6.8.
const QString Eq01 = QStringLiteral("010000160414212634160414212620ND20160414212620 05N354E1397010683331");

TEST_F(VeskDataTest, StoredFormsOfAFilledEntry)
{
    struct TCase
    {
        double Seconds;
        const char* Stored;
    };
    const TCase cases[] = {{12.5, "12"}, {13.5, "14"}, {-3.2, "-3"}, {99.5, "100"}, {1234.0, "123"}, {-12.0, "-12"}};
    {
        TVeskDataMdl store(&FLogger);
        ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
        int n = 0;
        for (const TCase& c : cases) {
            TEqHistory h;
            h.CopyFromEqTelegram(TEqTelegram01(Eq01), TEqTelegram10(), 6.2, c.Seconds);
            h.EqID = h.EqID.left(15) + QString::number(n++); // one row per earthquake: an id each
            ASSERT_TRUE(store.InsertEqHistoryRecord(h));
        }
    }
    TVeskDataMdl store(&FLogger);
    ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
    ASSERT_EQ(store.RowCount(), int(std::size(cases)));
    // Highest id first, so the last case is row 0.
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const QStringList row = store.GetRow(int(std::size(cases)) - 1 - i);
        EXPECT_EQ(row, QStringList({"ND2016041421262" + QString::number(i), "2016/04/14 21:26:34",
                                    "2016/04/14 21:26:20", "35.40", "139.70", "10", "6.8", "", QStringLiteral("６強"),
                                    QString::fromLatin1(cases[i].Stored), ""}))
            << cases[i].Seconds;
    }
}

TEST_F(VeskDataTest, EveryFieldIsCutToItsByteLimit)
{
    TEqHistory h;
    h.EqID = QStringLiteral("ND2016041421262012345");
    h.OutgoingTime = QStringLiteral("2016/04/14 21:26:34.500");
    h.OccurrenceTime = QStringLiteral("２０１６年４月１４日 21:26");
    h.EpicLat = QStringLiteral("-35.400");
    h.EpicLong = QStringLiteral("-139.700");
    h.EpicDepth = QStringLiteral("1000");
    h.EqMagnitude = QStringLiteral("10.00");
    h.EpicName = QStringLiteral("ABC");
    h.EstSIS = QStringLiteral("震度５弱から６強程度の揺れ");
    h.EstSec = QStringLiteral("-100");
    const QStringList expected = {"ND20160414212620",
                                  "2016/04/14 21:26:34",
                                  QStringLiteral("２０１６年４月１４"), // 18 bytes; the next character would make 20
                                  "-35.4",
                                  "-139.7",
                                  "100",
                                  "10.",
                                  "ABC",
                                  QStringLiteral("震度５弱から６強"),
                                  "-10",
                                  ""};
    {
        TVeskDataMdl store(&FLogger);
        ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
        ASSERT_TRUE(store.InsertEqHistoryRecord(h));
        EXPECT_EQ(store.GetRow(0), expected);
    }
    TVeskDataMdl store(&FLogger);
    ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
    EXPECT_EQ(store.GetRow(0), expected);
}

TEST_F(VeskDataTest, EpicentreNameIsCutInCodePage932AtACharacterBoundary)
{
    const QString kanji30 = QStringLiteral("北海道胆振地方中東部茨城県南部千葉県北西埼玉県南部東京都二十");
    ASSERT_EQ(kanji30.size(), 30);
    struct TCase
    {
        QString Name;
        QString Stored;
        int Bytes;
    };
    const TCase cases[] = {
        {kanji30, kanji30.left(10), 20},
        {QStringLiteral("熊本県熊本地方東部ABC"), QStringLiteral("熊本県熊本地方東部AB"), 20},
        // An odd budget left for a double-byte character: it is dropped whole, never halved.
        {QStringLiteral("A熊本県熊本地方東部沖"), QStringLiteral("A熊本県熊本地方東部"), 19},
        // Half-width katakana take one byte each.
        {QStringLiteral("ｸﾏﾓﾄｹﾝｸﾏﾓﾄﾁﾎｳﾄｳﾌﾞｵｷｱｲｳｴｵ"), QStringLiteral("ｸﾏﾓﾄｹﾝｸﾏﾓﾄﾁﾎｳﾄｳﾌﾞｵｷｱ"), 20},
        {QStringLiteral("Kumamoto-ken Kumamoto chiho"), QStringLiteral("Kumamoto-ken Kumamot"), 20},
        // Characters code page 932 cannot hold are stored as '?', one byte.
        {QStringLiteral("震央😀地名"), QStringLiteral("震央?地名"), 9},
        {QStringLiteral("熊本\u2212東部"), QStringLiteral("熊本?東部"), 9},
        {QString(), QString(), 0},
    };
    ASSERT_TRUE(QStringEncoder("windows-31j").isValid());
    TVeskDataMdl store(&FLogger);
    ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
    int id = 0;
    for (const TCase& c : cases) {
        EXPECT_EQ(TVeskDataMdl::CutToAnsiBytes(c.Name, 20), c.Stored) << c.Name.toStdString();
        EXPECT_EQ(TVeskDataMdl::AnsiByteLength(c.Stored), c.Bytes) << c.Name.toStdString();
        // Checked against the converter itself, independently of the store's counting.
        QStringEncoder encoder("windows-31j");
        EXPECT_EQ(QByteArray(encoder.encode(c.Stored)).size(), c.Bytes) << c.Name.toStdString();
        ASSERT_TRUE(store.InsertEqHistoryRecord(Entry(QString::number(id++), c.Name)));
        EXPECT_EQ(store.GetValue(0, 7), c.Stored) << c.Name.toStdString();
    }
    const QStringList inFile = RawQuery(DbPath(), "SELECT EPIC_NAME FROM EqHistoryDS ORDER BY INS_SEQ");
    ASSERT_EQ(inFile.size(), int(std::size(cases)));
    for (int i = 0; i < int(std::size(cases)); ++i) {
        EXPECT_EQ(inFile[i], cases[i].Stored) << i;
    }
}

TEST_F(VeskDataTest, ReadOnlyFlagIsRestoredAfterEveryChangingOperation)
{
    for (const bool initial : {true, false}) {
        TVeskDataMdl closed(&FLogger);
        closed.SetReadOnly(initial);
        EXPECT_FALSE(closed.InsertEqHistoryRecord(Entry("1")));
        EXPECT_EQ(closed.IsReadOnly(), initial) << "failed insert";
        EXPECT_FALSE(closed.DeleteAllEqHistoryRecord(0));
        EXPECT_EQ(closed.IsReadOnly(), initial) << "failed trim";

        TVeskDataMdl store(&FLogger);
        ASSERT_TRUE(store.CreateEqHistoryDB(FDir.filePath(initial ? "ro1.cds" : "ro0.cds")));
        store.SetReadOnly(initial);
        bool seenDuringInsert = true;
        QObject::connect(&store, &TVeskDataMdl::rowInserted, [&] { seenDuringInsert = store.IsReadOnly(); });
        EXPECT_TRUE(store.InsertEqHistoryRecord(Entry("1")));
        EXPECT_EQ(store.IsReadOnly(), initial) << "insert";
        EXPECT_EQ(seenDuringInsert, initial) << "listeners see the restored flag";
        EXPECT_TRUE(store.DeleteAllEqHistoryRecord(0));
        EXPECT_EQ(store.IsReadOnly(), initial) << "trim";
        EXPECT_TRUE(store.SaveEqHistoryDB(FDir.filePath("ro-copy.cds")));
        EXPECT_EQ(store.IsReadOnly(), initial) << "save";
    }
}

TEST_F(VeskDataTest, OperationsOnAClosedTableFailWithTheirLogLine)
{
    TVeskDataMdl store(&FLogger);
    EXPECT_FALSE(store.InsertEqHistoryRecord(Entry("1")));
    EXPECT_FALSE(store.DeleteAllEqHistoryRecord(5));
    EXPECT_FALSE(store.SaveEqHistoryDB(DbPath()));
    EXPECT_EQ(
        Log(),
        QStringList(
            {"==> InsertEqHistoryRecord()", "<37> InsertEqHistoryRecord()(Value=The history table is not open.)",
             "<== InsertEqHistoryRecord()", "==> DeleteAllEqHistoryRecord()", "Number of save records(Value=5)",
             "<37> DeleteAllEqHistoryRecord()(Value=The history table is not open.)", "<== DeleteAllEqHistoryRecord()",
             "==> SaveEqHistoryDb()", "Try to save HistoryDB(Value=" + DbPath() + ")",
             "<37> SaveEqHistoryDB()(Value=The history table is not open.)", "<== SaveEqHistoryDb()"}));
    EXPECT_FALSE(QFile::exists(DbPath()));
}

// Another process holding the file locked makes the store's writes fail after its wait.
TEST_F(VeskDataTest, FailedWritesChangeNeitherTheListNorTheFile)
{
    TVeskDataMdl store(&FLogger);
    ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
    for (const char* id : {"1", "2", "3"}) {
        ASSERT_TRUE(store.InsertEqHistoryRecord(Entry(QString::fromLatin1(id))));
    }
    int notifications = 0;
    QObject::connect(&store, &TVeskDataMdl::rowInserted, [&] { ++notifications; });
    QObject::connect(&store, &TVeskDataMdl::rowsRemoved, [&] { ++notifications; });

    sqlite3* locker = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(DbPath()).constData(), &locker), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(locker, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    FMemo.Clear();
    EXPECT_FALSE(store.InsertEqHistoryRecord(Entry("4")));
    EXPECT_FALSE(store.DeleteAllEqHistoryRecord(1));
    sqlite3_exec(locker, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(locker);

    EXPECT_EQ(
        Log(),
        QStringList({"==> InsertEqHistoryRecord()", "Try to insert record. Eq Id(Value=4)",
                     "<37> InsertEqHistoryRecord()(Value=database is locked)", "<== InsertEqHistoryRecord()",
                     "==> DeleteAllEqHistoryRecord()", "Number of save records(Value=1)",
                     "<37> DeleteAllEqHistoryRecord()(Value=database is locked)", "<== DeleteAllEqHistoryRecord()"}));
    EXPECT_EQ(notifications, 0);
    EXPECT_TRUE(store.IsReadOnly());
    EXPECT_EQ(Ids(store), QStringList({"3", "2", "1"}));
    EXPECT_EQ(RawQuery(DbPath(), "SELECT EQ_ID FROM EqHistoryDS ORDER BY EQ_ID DESC"), QStringList({"3", "2", "1"}));

    // Once the lock is gone the store works on.
    EXPECT_TRUE(store.InsertEqHistoryRecord(Entry("4")));
    EXPECT_TRUE(store.DeleteAllEqHistoryRecord(2));
    EXPECT_EQ(Ids(store), QStringList({"4", "3"}));
    EXPECT_EQ(RawQuery(DbPath(), "SELECT EQ_ID FROM EqHistoryDS ORDER BY EQ_ID DESC"), QStringList({"4", "3"}));
}

TEST_F(VeskDataTest, AFileThatCannotBeCreatedLeavesTheTableClosed)
{
    const QString path = FDir.filePath(QStringLiteral("missing/folder/") + DbName);
    TVeskDataMdl store(&FLogger);
    EXPECT_FALSE(store.CreateEqHistoryDB(path));
    EXPECT_FALSE(store.IsActive());
    const QStringList log = Log();
    ASSERT_EQ(log.size(), 5);
    EXPECT_EQ(log[2], "<2> Db file is not found.");
    EXPECT_TRUE(log[3].startsWith("<37> CreateEqHistoryDB() #2(Value=")) << log[3].toStdString();
    EXPECT_EQ(log[4], "<== CreateEqHistoryDB()");
    EXPECT_FALSE(store.InsertEqHistoryRecord(Entry("1")));
}

TEST_F(VeskDataTest, SaveRefusesPathsWithForbiddenCharacters)
{
    TVeskDataMdl store(&FLogger);
    ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
    ASSERT_TRUE(store.InsertEqHistoryRecord(Entry("1")));
    for (const QString& bad :
         {QStringLiteral("|"), QStringLiteral("\""), QStringLiteral("<"), QStringLiteral(">"), QStringLiteral("\x01"),
          QStringLiteral("\x1f"), QStringLiteral("\n"), QStringLiteral("\t")}) {
        const QString path = FDir.filePath("a" + bad + "b.cds");
        FMemo.Clear();
        EXPECT_FALSE(store.SaveEqHistoryDB(path));
        EXPECT_EQ(Log(), QStringList({"==> SaveEqHistoryDb()",
                                      "Try to save HistoryDB(Value=" + VeskEscapeControlChars(path) + ")",
                                      "<2> Invalid file name given.", "<== SaveEqHistoryDb()"}))
            << int(bad[0].unicode());
        EXPECT_EQ(Files(), OpenDbFiles) << int(bad[0].unicode());
    }
}

TEST_F(VeskDataTest, SaveWritesAConsistentCopyReplacingTheTarget)
{
    TVeskDataMdl store(&FLogger);
    ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
    for (const char* id : {"2", "3", "1"}) {
        ASSERT_TRUE(store.InsertEqHistoryRecord(Entry(QString::fromLatin1(id), QStringLiteral("震央"))));
    }
    const QString copy = FDir.filePath("copy.cds");
    ASSERT_TRUE(WriteBytes(copy, QByteArray("an older file that must be replaced whole")));
    FMemo.Clear();
    ASSERT_TRUE(store.SaveEqHistoryDB(copy));
    EXPECT_EQ(Log(), QStringList({"==> SaveEqHistoryDb()", "Try to save HistoryDB(Value=" + copy + ")",
                                  "Saved HistoryDB", "<== SaveEqHistoryDb()"}));
    EXPECT_EQ(Files(), OpenDbFiles + QStringList({"copy.cds"}));

    // The copy is a history file of its own; changes after saving do not reach it.
    ASSERT_TRUE(store.InsertEqHistoryRecord(Entry("9")));
    {
        TVeskDataMdl fromCopy(&FLogger);
        ASSERT_TRUE(fromCopy.CreateEqHistoryDB(copy));
        EXPECT_EQ(Ids(fromCopy), QStringList({"3", "2", "1"}));
        EXPECT_EQ(fromCopy.GetValue(0, 7), QStringLiteral("震央"));
    }

    // Saving to the open file itself writes the log back: the file alone holds
    // every row, and the log is empty.
    ASSERT_TRUE(store.InsertEqHistoryRecord(Entry("8")));
    EXPECT_GT(QFileInfo(DbPath() + "-wal").size(), 0);
    FMemo.Clear();
    ASSERT_TRUE(store.SaveEqHistoryDB(QDir(FDir.path()).filePath("./" + DbName)));
    EXPECT_EQ(Log()[2], "Saved HistoryDB");
    EXPECT_EQ(QFileInfo(DbPath() + "-wal").size(), 0);
    QTemporaryDir other;
    ASSERT_TRUE(WriteBytes(other.filePath(DbName), ReadBytes(DbPath())));
    QList<QStringList> rows;
    ASSERT_TRUE(TVeskDataMdl::ReadEqHistoryFile(other.filePath(DbName), rows));
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows[0][0], "9");
    EXPECT_EQ(rows[1][0], "8");
    {
        TVeskDataMdl fromOpen(&FLogger);
        ASSERT_TRUE(fromOpen.CreateEqHistoryDB(DbPath()));
        EXPECT_EQ(Ids(fromOpen), QStringList({"9", "8", "3", "2", "1"}));
    }

    // A target that cannot be written: false, logged, nothing left behind.
    const QString unreachable = FDir.filePath("no/such/folder.cds");
    FMemo.Clear();
    EXPECT_FALSE(store.SaveEqHistoryDB(unreachable));
    ASSERT_EQ(Log().size(), 4);
    EXPECT_TRUE(Log()[2].startsWith("<37> SaveEqHistoryDB()(Value=")) << Log()[2].toStdString();
    EXPECT_EQ(Files(), OpenDbFiles + QStringList({"copy.cds"}));
}

TEST_F(VeskDataTest, EightAlertsTrimmedAndSavedAtShutdownReopenAsTheFiveNewest)
{
    {
        TVeskDataMdl store(&FLogger);
        ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
        for (const char* id : {"ND20240101161010", "ND20240101161506", "ND20230505144217", "ND20240102093001",
                               "ND20220316233634", "ND20240103120000", "ND20240101162201", "ND20210213230750"}) {
            ASSERT_TRUE(store.InsertEqHistoryRecord(Entry(QString::fromLatin1(id))));
        }
        ASSERT_TRUE(store.DeleteAllEqHistoryRecord(5));
        ASSERT_TRUE(store.SaveEqHistoryDB(DbPath()));
    }
    TVeskDataMdl next(&FLogger);
    ASSERT_TRUE(next.CreateEqHistoryDB(DbPath()));
    EXPECT_EQ(Ids(next), QStringList({"ND20240103120000", "ND20240102093001", "ND20240101162201", "ND20240101161506",
                                      "ND20240101161010"}));
}

TEST_F(VeskDataTest, AnInvalidFileIsNeverWritten)
{
    QTemporaryDir makeDir;
    const QString valid = makeDir.filePath("valid.cds");
    MakeHistoryFile(valid, [] {
        QStringList ids;
        for (int i = 0; i < 200; ++i) {
            ids << QStringLiteral("ND2016041421%1").arg(i, 4, 10, QLatin1Char('0'));
        }
        return ids;
    }());
    const QByteArray validBytes = ReadBytes(valid);
    ASSERT_GT(validBytes.size(), 8192);

    QByteArray garbage(5000, '\0');
    for (int i = 0; i < garbage.size(); ++i) {
        garbage[i] = char((i * 131 + 7) & 0xff);
    }
    const QString otherSchema = makeDir.filePath("other.cds");
    ASSERT_TRUE(RawExec(otherSchema, "CREATE TABLE Foo (A TEXT); INSERT INTO Foo VALUES ('x');"));
    // Reading a file in WAL mode creates side files: none may stay beside a rejected one.
    const QString otherWal = makeDir.filePath("other-wal.cds");
    ASSERT_TRUE(RawExec(otherWal, "PRAGMA journal_mode=WAL; CREATE TABLE Foo (A TEXT); INSERT INTO Foo VALUES ('x');"));
    const QString wrongColumns = makeDir.filePath("columns.cds");
    ASSERT_TRUE(RawExec(wrongColumns, "PRAGMA application_id=1431066696; PRAGMA user_version=1;"
                                      "CREATE TABLE EqHistoryDS (EQ_ID TEXT, OUTGOING_TIME TEXT);"));
    const QString newer = makeDir.filePath("newer.cds");
    MakeHistoryFile(newer, {"1"});
    ASSERT_TRUE(RawExec(newer, "PRAGMA user_version=3;"));

    struct TCase
    {
        const char* Name;
        QByteArray Bytes;
    };
    const TCase cases[] = {
        {"garbage", garbage},
        {"text", QByteArray("not a history file\r\n")},
        {"empty", QByteArray()},
        {"truncated header", validBytes.left(60)},
        {"truncated to half", validBytes.left(validBytes.size() / 2)},
        {"last page missing", validBytes.left(validBytes.size() - 4096)},
        {"another schema", ReadBytes(otherSchema)},
        {"another schema in WAL mode", ReadBytes(otherWal)},
        {"history table with other columns", ReadBytes(wrongColumns)},
        {"newer version", ReadBytes(newer)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        QFile::remove(DbPath());
        ASSERT_TRUE(WriteBytes(DbPath(), c.Bytes));
        FMemo.Clear();
        TVeskDataMdl store(&FLogger);
        EXPECT_FALSE(store.CreateEqHistoryDB(DbPath()));
        EXPECT_FALSE(store.IsActive());
        const QStringList log = Log();
        ASSERT_EQ(log.size(), 4);
        EXPECT_EQ(log[1], "Load History Db record from file.(Value=" + DbPath() + ")");
        EXPECT_TRUE(log[2].startsWith("<37> CreateEqHistoryDB() #1(Value=") && log[2].size() > 40)
            << log[2].toStdString();
        EXPECT_EQ(log[3], "<== CreateEqHistoryDB()");

        EXPECT_FALSE(store.InsertEqHistoryRecord(Entry("1")));
        EXPECT_FALSE(store.InsertEqHistoryRecord(Entry("2")));
        EXPECT_FALSE(store.DeleteAllEqHistoryRecord(5));
        EXPECT_FALSE(store.SaveEqHistoryDB(DbPath()));
        EXPECT_EQ(store.RowCount(), 0);
        EXPECT_TRUE(Log().contains("<37> InsertEqHistoryRecord()(Value=The history table is not open.)"));
        EXPECT_EQ(ReadBytes(DbPath()), c.Bytes);
        EXPECT_EQ(Files(), QStringList({DbName}));

        // The listing refuses it as well, and leaves it as it was.
        QList<QStringList> rows;
        QString error;
        EXPECT_FALSE(TVeskDataMdl::ReadEqHistoryFile(DbPath(), rows, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_TRUE(rows.isEmpty());
        EXPECT_EQ(ReadBytes(DbPath()), c.Bytes);
        EXPECT_EQ(Files(), QStringList({DbName}));
    }
    // The valid original still opens: the checks above reject damage, not history files.
    TVeskDataMdl store(&FLogger);
    ASSERT_TRUE(store.CreateEqHistoryDB(valid));
    EXPECT_EQ(store.RowCount(), 200);
}

TEST_F(VeskDataTest, ReopeningAClosedTableWorksAfterAFailedLoad)
{
    TVeskDataMdl store(&FLogger);
    int resets = 0;
    QObject::connect(&store, &TVeskDataMdl::tableReset, [&] { ++resets; });
    const QString good = FDir.filePath("good.cds");
    ASSERT_TRUE(store.CreateEqHistoryDB(good));
    ASSERT_TRUE(store.InsertEqHistoryRecord(Entry("1")));
    ASSERT_TRUE(WriteBytes(DbPath(), QByteArray("garbage")));
    EXPECT_FALSE(store.CreateEqHistoryDB(DbPath()));
    EXPECT_EQ(store.RowCount(), 0);
    EXPECT_FALSE(store.InsertEqHistoryRecord(Entry("2")));
    ASSERT_TRUE(store.CreateEqHistoryDB(good));
    EXPECT_EQ(Ids(store), QStringList({"1"}));
    EXPECT_EQ(resets, 3);
}

// The writer helper as a child process, reporting the id of each insert that answered true.
class TWriterChild
{
public:
    TWriterChild(const QString& DbPath, long long FirstId)
    {
        int fds[2];
        if (::pipe(fds) != 0) {
            return;
        }
        const QByteArray db = QFile::encodeName(DbPath);
        const QByteArray first = QByteArray::number(FirstId);
        FPid = ::fork();
        if (FPid == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::close(fds[0]);
            ::close(fds[1]);
            ::execl(ULX_HISTORY_WRITER, ULX_HISTORY_WRITER, db.constData(), first.constData(), nullptr);
            ::_exit(127);
        }
        ::close(fds[1]);
        FOut = FPid > 0 ? ::fdopen(fds[0], "r") : nullptr;
        if (!FOut) {
            ::close(fds[0]);
        }
    }
    ~TWriterChild()
    {
        Kill(nullptr);
        if (FOut) {
            std::fclose(FOut);
        }
    }
    TWriterChild(const TWriterChild&) = delete;
    TWriterChild& operator=(const TWriterChild&) = delete;

    // Adds the next Count reported ids; false when the writer stopped before.
    bool ReadIds(int Count, std::set<QString>& Ids)
    {
        char line[64];
        for (int i = 0; i < Count; ++i) {
            if (!FOut || !std::fgets(line, sizeof line, FOut)) {
                return false;
            }
            Ids.insert(QString::fromLatin1(line).trimmed());
        }
        return true;
    }

    // SIGKILL, then adds the ids reported before it; true when the writer died of the signal.
    bool Kill(std::set<QString>* Ids)
    {
        if (FPid <= 0) {
            return false;
        }
        ::kill(FPid, SIGKILL);
        char line[64];
        while (FOut && std::fgets(line, sizeof line, FOut)) {
            if (Ids) {
                Ids->insert(QString::fromLatin1(line).trimmed());
            }
        }
        int status = 0;
        const bool reaped = ::waitpid(FPid, &status, 0) == FPid;
        FPid = -1;
        return reaped && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

private:
    pid_t FPid = -1;
    FILE* FOut = nullptr;
};

// After SIGKILL every row the writer reported is in the file.
TEST_F(VeskDataTest, RowsSurviveAKilledWriter)
{
    std::set<QString> reported;
    const int killAfter[] = {1, 17, 40};
    long long firstId = 1000;
    for (const int lines : killAfter) {
        TWriterChild writer(DbPath(), firstId);
        ASSERT_TRUE(writer.ReadIds(lines, reported)) << "the writer stopped early";
        // Lines written before the kill are still in the pipe.
        ASSERT_TRUE(writer.Kill(&reported));
        // The killed writer's log holds its rows; the next writer recovers them.
        EXPECT_EQ(Files(), OpenDbFiles);
        firstId += 100000;
    }

    TVeskDataMdl store(&FLogger);
    ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
    const QStringList ids = Ids(store);
    const std::set<QString> inFile(ids.begin(), ids.end());
    for (const QString& id : reported) {
        EXPECT_TRUE(inFile.count(id)) << id.toStdString();
    }
    // At most one row per kill may have been committed without being reported.
    EXPECT_GE(ids.size(), int(reported.size()));
    EXPECT_LE(ids.size(), int(reported.size()) + int(std::size(killAfter)));
    EXPECT_EQ(int(inFile.size()), ids.size());
    EXPECT_EQ(RawQuery(DbPath(), "PRAGMA integrity_check"), QStringList({"ok"}));
    // The reopened table still takes rows.
    EXPECT_TRUE(store.InsertEqHistoryRecord(Entry("ND99999999999999")));
    EXPECT_EQ(store.GetValue(0, 0), "ND99999999999999");
}

// The listing (a read-only connection of its own) beside no writer, a writer in
// this process, one in another process, and the log a killed writer left.
TEST_F(VeskDataTest, ListingReadsBesideAWriterAndLeavesNoSideFilesOfItsOwn)
{
    auto listed = [&] {
        QList<QStringList> rows;
        QString error;
        EXPECT_TRUE(TVeskDataMdl::ReadEqHistoryFile(DbPath(), rows, &error)) << error.toStdString();
        QStringList ids;
        for (const QStringList& row : rows) {
            EXPECT_EQ(row.size(), TVeskDataMdl::FieldCount);
            ids << row.value(0);
        }
        return ids;
    };
    auto containsAll = [](const QStringList& Listed, const std::set<QString>& Ids) {
        return std::all_of(Ids.begin(), Ids.end(), [&](const QString& Id) { return Listed.contains(Id); });
    };

    // No writer: the file is read and left exactly as it was, with nothing beside it.
    MakeHistoryFile(DbPath(), {"2", "3", "1"});
    ASSERT_EQ(Files(), QStringList({DbName}));
    const QByteArray closedBytes = ReadBytes(DbPath());
    EXPECT_EQ(listed(), QStringList({"3", "2", "1"}));
    EXPECT_EQ(Files(), QStringList({DbName}));
    EXPECT_EQ(ReadBytes(DbPath()), closedBytes);

    // A writer in this process: each commit is listed at once; its side files stay for it.
    {
        TVeskDataMdl store(&FLogger);
        ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
        ASSERT_TRUE(store.InsertEqHistoryRecord(Entry("4")));
        EXPECT_EQ(listed(), QStringList({"4", "3", "2", "1"}));
        EXPECT_EQ(Files(), OpenDbFiles);
        ASSERT_TRUE(store.InsertEqHistoryRecord(Entry("5")));
        ASSERT_TRUE(store.DeleteAllEqHistoryRecord(2));
        EXPECT_EQ(listed(), QStringList({"5", "4"}));
        EXPECT_EQ(Files(), OpenDbFiles);
    }
    EXPECT_EQ(Files(), QStringList({DbName}));

    // A writer in another process, still inserting while the listing reads.
    std::set<QString> reported;
    TWriterChild writer(DbPath(), 1000);
    ASSERT_TRUE(writer.ReadIds(10, reported));
    QStringList whileRunning = listed();
    EXPECT_TRUE(containsAll(whileRunning, reported)) << whileRunning.join(u' ').toStdString();
    EXPECT_TRUE(whileRunning.contains("5") && whileRunning.contains("4"));
    ASSERT_TRUE(writer.ReadIds(5, reported));
    whileRunning = listed();
    EXPECT_TRUE(containsAll(whileRunning, reported)) << whileRunning.join(u' ').toStdString();

    // Killed, the writer leaves its log holding rows not yet in the file. The
    // listing reads them and leaves log and file alone for the next writer.
    ASSERT_TRUE(writer.Kill(&reported));
    ASSERT_EQ(Files(), OpenDbFiles);
    const QByteArray fileBytes = ReadBytes(DbPath());
    const QByteArray logBytes = ReadBytes(DbPath() + "-wal");
    const QStringList afterKill = listed();
    EXPECT_TRUE(containsAll(afterKill, reported)) << afterKill.join(u' ').toStdString();
    EXPECT_EQ(afterKill.mid(0, 2), QStringList({"5", "4"}));
    EXPECT_EQ(Files(), OpenDbFiles);
    EXPECT_EQ(ReadBytes(DbPath()), fileBytes);
    EXPECT_EQ(ReadBytes(DbPath() + "-wal"), logBytes);
    {
        TVeskDataMdl store(&FLogger);
        ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
        EXPECT_EQ(store.RowCount(), afterKill.size());
    }
    EXPECT_EQ(Files(), QStringList({DbName}));
    EXPECT_EQ(listed(), afterKill);
    EXPECT_EQ(Files(), QStringList({DbName}));
}

} // namespace

// Rows handed to the writer thread: the caller does not wait, each row is its own
// commit with its own sync in the order handed over, and the read model and the
// callers learn of them on this thread afterwards.
TEST_F(VeskDataTest, QueuedRowsAreCommittedOneByOneInOrderAndReportedOnThisThread)
{
    TSyncCountingVfs vfs;
    TVeskDataMdl store(&FLogger);
    ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
    QStringList inserted;
    QObject::connect(&store, &TVeskDataMdl::rowInserted,
                     [&](int Row) { inserted << store.GetValue(Row, 0) + "@" + QString::number(Row); });
    QStringList done;
    vfs.Take();
    const QStringList ids = {"3", "1", "2", "3"};
    for (const QString& id : ids) {
        store.QueueEqHistoryRecord(Entry(id), [&done, id](bool Inserted) { done << id + (Inserted ? "+" : "-"); });
    }
    // Nothing reaches the read model behind the caller's back.
    EXPECT_EQ(store.RowCount(), 0);
    EXPECT_TRUE(done.isEmpty());

    store.FlushEqHistoryRecords();
    EXPECT_EQ(done, QStringList({"3+", "1+", "2+", "3+"}));
    // The second row of earthquake 3 replaces its first.
    EXPECT_EQ(inserted, QStringList({"3@0", "1@1", "2@1", "3@0"}));
    EXPECT_EQ(Ids(store), QStringList({"3", "2", "1"}));
    EXPECT_EQ(RawQuery(DbPath(), "SELECT EQ_ID FROM EqHistoryDS ORDER BY INS_SEQ"), QStringList({"1", "2", "3"}));
    const TSyncCounts counts = vfs.Take();
    EXPECT_GE(counts.Log, int(ids.size())) << "one synced commit per row";
    EXPECT_LE(counts.Log, int(ids.size()) + 1);
    EXPECT_EQ(Log().count("==> InsertEqHistoryRecord()"), ids.size());

    // Without a flush, the event loop delivers.
    store.QueueEqHistoryRecord(Entry("4"), [&done](bool Inserted) { done << (Inserted ? "4+" : "4-"); });
    QElapsedTimer waited;
    waited.start();
    while (done.size() < 5 && waited.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    EXPECT_EQ(done.size(), 5);
    EXPECT_EQ(Ids(store).first(), "4");
}

// Every other operation first waits for the rows handed over, so nothing is lost or reordered.
TEST_F(VeskDataTest, OperationsAndTheEndWaitForQueuedRows)
{
    {
        TVeskDataMdl store(&FLogger);
        ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
        QStringList events;
        QObject::connect(&store, &TVeskDataMdl::rowInserted,
                         [&](int Row) { events << "row " + store.GetValue(Row, 0); });
        store.QueueEqHistoryRecord(Entry("1"), [&events](bool) { events << "done 1"; });
        store.QueueEqHistoryRecord(Entry("2"), [&events](bool) { events << "done 2"; });
        ASSERT_TRUE(store.InsertEqHistoryRecord(Entry("5")));
        EXPECT_EQ(events, QStringList({"row 1", "done 1", "row 2", "done 2", "row 5"}));

        store.QueueEqHistoryRecord(Entry("0"));
        ASSERT_TRUE(store.DeleteAllEqHistoryRecord(2));
        EXPECT_EQ(Ids(store), QStringList({"5", "2"}));

        // Handed over just before the end: still written.
        store.QueueEqHistoryRecord(Entry("9"));
        store.QueueEqHistoryRecord(Entry("8"));
    }
    EXPECT_EQ(RawQuery(DbPath(), "SELECT EQ_ID FROM EqHistoryDS ORDER BY INS_SEQ"), QStringList({"2", "5", "9", "8"}));

    // A closed table refuses the row through the callback, with the usual log line.
    TVeskDataMdl closed(&FLogger);
    FMemo.Clear();
    int refused = 0;
    closed.QueueEqHistoryRecord(Entry("1"), [&refused](bool Inserted) { refused += Inserted ? 0 : 1; });
    closed.FlushEqHistoryRecords();
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(closed.RowCount(), 0);
    EXPECT_TRUE(Log().contains("<37> InsertEqHistoryRecord()(Value=The history table is not open.)"));
}

// A long history trimmed to five and saved gives its space back.
TEST_F(VeskDataTest, TheSaveAfterATrimShrinksTheFile)
{
    MakeHistoryFile(DbPath(), {"ND20990101000000"});
    ASSERT_TRUE(RawExec(DbPath(), "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 20000) "
                                  "INSERT INTO EqHistoryDS (EQ_ID, EPIC_NAME) "
                                  "SELECT printf('ND2000%010d', x), hex(randomblob(30)) FROM n"));
    const qint64 before = QFileInfo(DbPath()).size();
    ASSERT_GT(before, 1000000);
    {
        TVeskDataMdl store(&FLogger);
        ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
        ASSERT_EQ(store.RowCount(), 20001);
        ASSERT_TRUE(store.DeleteAllEqHistoryRecord(5));
        ASSERT_TRUE(store.SaveEqHistoryDB(DbPath()));
        // Already small while still open: the save wrote the compacted table back.
        EXPECT_LT(QFileInfo(DbPath()).size(), 64 * 1024);
    }
    EXPECT_LT(QFileInfo(DbPath()).size(), 64 * 1024) << before;
    TVeskDataMdl next(&FLogger);
    ASSERT_TRUE(next.CreateEqHistoryDB(DbPath()));
    EXPECT_EQ(Ids(next), QStringList({"ND20990101000000", "ND20000000020000", "ND20000000019999", "ND20000000019998",
                                      "ND20000000019997"}));

    // Nothing to give back: a save does not rebuild the file.
    FMemo.Clear();
    ASSERT_TRUE(next.SaveEqHistoryDB(DbPath()));
    EXPECT_FALSE(Log().join('\n').contains("Compact history file."));
}

// A file of the first layout (no cancelled mark) is read as it is by the listing,
// and opening it for writing migrates it once, keeping its rows; a cancelled
// earthquake's mark survives a reopening.
TEST_F(VeskDataTest, AVersionOneFileIsMigratedKeepingItsRows)
{
    ASSERT_TRUE(RawExec(DbPath(), "PRAGMA journal_mode=WAL; CREATE TABLE EqHistoryDS (EQ_ID TEXT, OUTGOING_TIME TEXT, "
                                  "OCCURRENCE_TIME TEXT, EPIC_LAT TEXT, EPIC_LONG TEXT, EPIC_DEPTH TEXT, "
                                  "EQ_MAGNITUDE TEXT, EPIC_NAME TEXT, SI_SCALE TEXT, SWAVE_SEC TEXT, "
                                  "INS_SEQ INTEGER PRIMARY KEY); "
                                  "INSERT INTO EqHistoryDS VALUES ('ND1', 'a', 'b', '1', '2', '3', '4', 'n1', 's', "
                                  "'5', NULL); INSERT INTO EqHistoryDS VALUES ('ND2', 'a', 'b', '1', '2', '3', '4', "
                                  "'n2', 's', '6', NULL); PRAGMA application_id=1431066696; PRAGMA user_version=1;"));
    QList<QStringList> listed;
    QString error;
    ASSERT_TRUE(TVeskDataMdl::ReadEqHistoryFile(DbPath(), listed, &error)) << error.toStdString();
    ASSERT_EQ(listed.size(), 2);
    EXPECT_EQ(listed[0].size(), TVeskDataMdl::FieldCount);
    EXPECT_EQ(listed[0].last(), "");
    EXPECT_EQ(RawQuery(DbPath(), "PRAGMA user_version"), QStringList({"1"})); // the listing changed nothing

    {
        TVeskDataMdl store(&FLogger);
        ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
        ASSERT_EQ(store.RowCount(), 2);
        EXPECT_EQ(store.GetValue(0, 0), "ND2");
        EXPECT_EQ(store.GetValue(1, 7), "n1");
        EXPECT_EQ(store.GetValue(1, 10), "");
        TEqHistory cancelled = Entry("ND3", QStringLiteral("東京湾"));
        cancelled.Cancelled = true;
        ASSERT_TRUE(store.InsertEqHistoryRecord(cancelled));
    }
    EXPECT_EQ(RawQuery(DbPath(), "PRAGMA user_version"), QStringList({"2"}));
    TVeskDataMdl reopened(&FLogger);
    ASSERT_TRUE(reopened.CreateEqHistoryDB(DbPath()));
    ASSERT_EQ(reopened.RowCount(), 3);
    EXPECT_EQ(reopened.GetValue(0, 0), "ND3");
    EXPECT_EQ(reopened.GetValue(0, 10), "1");
    EXPECT_EQ(reopened.GetValue(2, 7), "n1");
}

// A full disk while running: the rows are kept, the user's warning is sent once,
// and they are written when space returns (by the retry) or at exit; a kept row
// never overwrites a newer row of its earthquake.
TEST_F(VeskDataTest, RowsNotWrittenOnAFullDiskAreKeptAndWrittenLater)
{
    TSyncCountingVfs vfs;
    TVeskDataMdl store(&FLogger);
    store.SetRetryIntervalMs(50);
    ASSERT_TRUE(store.CreateEqHistoryDB(DbPath()));
    int failed = 0;
    int recovered = 0;
    QObject::connect(&store, &TVeskDataMdl::writeFailed, [&](int) { ++failed; });
    QObject::connect(&store, &TVeskDataMdl::writeRecovered, [&] { ++recovered; });

    vfs.SetFull(true);
    store.QueueEqHistoryRecord(Entry("1", "a"));
    store.QueueEqHistoryRecord(Entry("2", "b"));
    store.FlushEqHistoryRecords();
    EXPECT_EQ(store.RowCount(), 0);
    EXPECT_EQ(store.UnwrittenCount(), 2);
    EXPECT_EQ(failed, 1) << "one warning for the spell, not one per row";

    vfs.SetFull(false);
    ASSERT_TRUE(store.InsertEqHistoryRecord(Entry("2", "newer")));
    EXPECT_EQ(store.UnwrittenCount(), 1);
    ASSERT_TRUE(UlxTest::WaitUntil([&] { return recovered == 1; }, 5000));
    store.FlushEqHistoryRecords();
    EXPECT_EQ(Ids(store), QStringList({"2", "1"}));
    EXPECT_EQ(store.GetValue(0, 7), "newer");

    // Still full at exit: nothing claims success; with space the exit path writes the row.
    vfs.SetFull(true);
    store.QueueEqHistoryRecord(Entry("3", "c"));
    store.FlushEqHistoryRecords();
    EXPECT_EQ(failed, 2);
    EXPECT_FALSE(store.WriteUnwrittenRecords());
    EXPECT_EQ(store.UnwrittenCount(), 1);
    vfs.SetFull(false);
    EXPECT_TRUE(store.WriteUnwrittenRecords());
    EXPECT_EQ(Ids(store), QStringList({"3", "2", "1"}));
    EXPECT_EQ(RawQuery(DbPath(), "SELECT EQ_ID FROM EqHistoryDS ORDER BY EQ_ID"), QStringList({"1", "2", "3"}));
}
