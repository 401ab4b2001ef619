#include "history/VeskData.h"

#include "history/VeskCp932.h"
#include "history/VeskDataWriter.h"

#include "defines/VeskPlatform.h"
#include "logging/VeskLogging.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <deque>
#include <exception>
#include <utility>

namespace {

TVeskDataMdl* GDataMdl = nullptr;

struct TFieldDef
{
    const char* Name;
    int MaxBytes;
};

constexpr TFieldDef FieldDefs[TVeskDataMdl::FieldCount] = {
    {"EQ_ID", 16},    {"OUTGOING_TIME", 19}, {"OCCURRENCE_TIME", 19}, {"EPIC_LAT", 5},
    {"EPIC_LONG", 6}, {"EPIC_DEPTH", 3},     {"EQ_MAGNITUDE", 3},     {"EPIC_NAME", 20},
    {"SI_SCALE", 16}, {"SWAVE_SEC", 3},      {"CANCELLED", 1},
};

// Fields of the first layout; later fields were added behind the sequence column.
constexpr int FirstLayoutFieldCount = 10;

// Insertion order, the tie-breaker of the active order (rowid alias: always above every existing row).
constexpr char SeqColumn[] = "INS_SEQ";

const char CreateTableSql[] = "CREATE TABLE EqHistoryDS ("
                              "EQ_ID TEXT, OUTGOING_TIME TEXT, OCCURRENCE_TIME TEXT, EPIC_LAT TEXT, "
                              "EPIC_LONG TEXT, EPIC_DEPTH TEXT, EQ_MAGNITUDE TEXT, EPIC_NAME TEXT, "
                              "SI_SCALE TEXT, SWAVE_SEC TEXT, INS_SEQ INTEGER PRIMARY KEY, "
                              "CANCELLED TEXT NOT NULL DEFAULT '')";
// Version 1 to 2: the cancelled mark ("1" for an earthquake JMA withdrew); old rows were none.
const char MigrateToV2Sql[] = "BEGIN IMMEDIATE; ALTER TABLE EqHistoryDS ADD COLUMN CANCELLED TEXT NOT NULL DEFAULT ''; "
                              "PRAGMA user_version=2; COMMIT;";
const char CreateIndexesSql[] = "CREATE INDEX IF NOT EXISTS EQ_ID_IDX ON EqHistoryDS (EQ_ID DESC, INS_SEQ DESC);"
                                "CREATE INDEX IF NOT EXISTS OUTGOING_TIME_IDX ON EqHistoryDS (OUTGOING_TIME DESC);";
const char SelectRowsSql[] = "SELECT EQ_ID, OUTGOING_TIME, OCCURRENCE_TIME, EPIC_LAT, EPIC_LONG, EPIC_DEPTH, "
                             "EQ_MAGNITUDE, EPIC_NAME, SI_SCALE, SWAVE_SEC, CANCELLED, INS_SEQ FROM EqHistoryDS "
                             "ORDER BY EQ_ID DESC, INS_SEQ DESC";
// A file of the first layout read without changing it (another process may hold it).
const char SelectRowsV1Sql[] = "SELECT EQ_ID, OUTGOING_TIME, OCCURRENCE_TIME, EPIC_LAT, EPIC_LONG, EPIC_DEPTH, "
                               "EQ_MAGNITUDE, EPIC_NAME, SI_SCALE, SWAVE_SEC, '', INS_SEQ FROM EqHistoryDS "
                               "ORDER BY EQ_ID DESC, INS_SEQ DESC";
const char InsertRowSql[] = "INSERT INTO EqHistoryDS (EQ_ID, OUTGOING_TIME, OCCURRENCE_TIME, EPIC_LAT, EPIC_LONG, "
                            "EPIC_DEPTH, EQ_MAGNITUDE, EPIC_NAME, SI_SCALE, SWAVE_SEC, CANCELLED) "
                            "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)";
// One row per earthquake: a later write of the same earthquake replaces its row.
const char DeleteSameEqSql[] = "DELETE FROM EqHistoryDS WHERE EQ_ID = ?1";

QString DbError(sqlite3* Db)
{
    return QString::fromUtf8(sqlite3_errmsg(Db));
}

QByteArray SqliteFileName(const QString& FileName)
{
    return QFile::encodeName(FileName);
}

// A prepared statement finalized on every path.
class TStatement
{
public:
    TStatement(sqlite3* Db, const char* Sql) : FDb(Db) { FRc = sqlite3_prepare_v2(Db, Sql, -1, &FStmt, nullptr); }
    ~TStatement() { sqlite3_finalize(FStmt); }
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    bool IsPrepared() const { return FRc == SQLITE_OK && FStmt != nullptr; }
    sqlite3_stmt* Get() const { return FStmt; }
    int Step() { return sqlite3_step(FStmt); }
    QString Text(int Column) const
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(FStmt, Column));
        return text ? QString::fromUtf8(text, sqlite3_column_bytes(FStmt, Column)) : QString();
    }
    QString Error() const { return DbError(FDb); }

private:
    sqlite3* FDb;
    sqlite3_stmt* FStmt = nullptr;
    int FRc;
};

bool Exec(sqlite3* Db, const char* Sql, QString& Error)
{
    char* message = nullptr;
    if (sqlite3_exec(Db, Sql, nullptr, nullptr, &message) != SQLITE_OK) {
        Error = message ? QString::fromUtf8(message) : DbError(Db);
        sqlite3_free(message);
        return false;
    }
    return true;
}

// First column of the first row of a one-value query.
bool QueryValue(sqlite3* Db, const char* Sql, QString& Value, QString& Error)
{
    TStatement stmt(Db, Sql);
    if (!stmt.IsPrepared()) {
        Error = stmt.Error();
        return false;
    }
    const int rc = stmt.Step();
    if (rc == SQLITE_ROW) {
        Value = stmt.Text(0);
        return true;
    }
    Error = rc == SQLITE_DONE ? QStringLiteral("no result for \"%1\"").arg(QString::fromUtf8(Sql)) : stmt.Error();
    return false;
}

// The file carries this program's mark and a layout it reads (Version: which one).
bool CheckIdentity(sqlite3* Db, QString& Error, int* Version = nullptr)
{
    QString value;
    if (!QueryValue(Db, "PRAGMA application_id", value, Error)) {
        return false;
    }
    if (value.toLongLong() != TVeskDataMdl::ApplicationId) {
        Error = QStringLiteral("Not a history file (application id %1).").arg(value);
        return false;
    }
    if (!QueryValue(Db, "PRAGMA user_version", value, Error)) {
        return false;
    }
    const int version = value.toInt();
    if (Version) {
        *Version = version;
    }
    // Files of older layouts are migrated when opened for writing.
    if (version < 1 || version > TVeskDataMdl::SchemaVersion) {
        Error = QStringLiteral("Unsupported history file version %1 (this program reads version %2).")
                    .arg(version)
                    .arg(TVeskDataMdl::SchemaVersion);
        return false;
    }
    return true;
}

// Calls Fn(values, sequence) for every row in the active order.
template <typename F>
bool ReadRows(sqlite3* Db, F&& Fn, QString& Error, const char* Sql = SelectRowsSql)
{
    TStatement stmt(Db, Sql);
    if (!stmt.IsPrepared()) {
        Error = stmt.Error();
        return false;
    }
    int rc;
    while ((rc = stmt.Step()) == SQLITE_ROW) {
        QStringList values;
        for (int i = 0; i < TVeskDataMdl::FieldCount; ++i) {
            values << stmt.Text(i);
        }
        Fn(std::move(values), sqlite3_column_int64(stmt.Get(), TVeskDataMdl::FieldCount));
    }
    if (rc != SQLITE_DONE) {
        Error = stmt.Error();
        return false;
    }
    return true;
}

// Makes a rename in Dir survive a power loss. Best effort: some file systems cannot sync a folder.
void SyncDirectory(const QString& Dir)
{
    VeskSyncFolder(Dir);
}

QString TempNameFor(const QString& FileName)
{
    return FileName + QStringLiteral(".tmp%1").arg(QCoreApplication::applicationPid());
}

void RemoveTempFiles(const QString& TempName)
{
    QFile::remove(TempName);
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        QFile::remove(TempName + QLatin1String(suffix));
    }
}

// Bytes of a log without frames.
constexpr qint64 WalHeaderSize = 32;

// The log and shared-memory files SQLite keeps beside a file in WAL mode.
bool HasSideFiles(const QString& FileName)
{
    return QFileInfo::exists(FileName + QStringLiteral("-wal")) || QFileInfo::exists(FileName + QStringLiteral("-shm"));
}

// Closes Db, built under TempName, and renames it into FileName's place (over an
// existing file only when Replace): true when it is there, its log written back
// into it; otherwise Error says why and the temporary files are gone.
bool PutInPlace(sqlite3* Db, bool Built, const QString& TempName, const QString& FileName, bool Replace, QString& Error)
{
    if (sqlite3_close_v2(Db) != SQLITE_OK && Built) {
        Error = QStringLiteral("Cannot close %1").arg(TempName);
        Built = false;
    }
    if (Built && HasSideFiles(TempName)) {
        Error = QStringLiteral("The log of %1 was not written back into it.").arg(TempName);
        Built = false;
    }
    if (!Built) {
        RemoveTempFiles(TempName);
        return false;
    }
    QString renameError;
    if (Replace ? !VeskRenameReplacing(TempName, FileName, &renameError)
                : !VeskRenameNoReplace(TempName, FileName, &renameError)) {
        Error = QStringLiteral("Cannot %1 %2: %3")
                    .arg(Replace ? QStringLiteral("replace") : QStringLiteral("create"), FileName, renameError);
        RemoveTempFiles(TempName);
        return false;
    }
    SyncDirectory(QFileInfo(FileName).absolutePath());
    return true;
}

// Reading a file in WAL mode creates its side files, and a read-only connection
// never removes them. A read-write connection that only reads lets SQLite remove
// them on close when nobody else has the file open; its checkpoint of the empty
// log writes nothing. With another user they stay for that user.
void ReleaseSideFiles(const QString& FileName)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(SqliteFileName(FileName).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                        nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 200);
        QString value, error;
        if (Exec(db, "PRAGMA query_only=1", error)) {
            QueryValue(db, "PRAGMA user_version", value, error);
        }
    }
    sqlite3_close_v2(db);
}

bool HasInvalidPathChar(const QString& Path)
{
    for (const QChar c : Path) {
        const char16_t u = c.unicode();
        if (u < 32 || u == u'"' || u == u'<' || u == u'>' || u == u'|') {
            return true;
        }
    }
    return false;
}

} // namespace

// Clears the read-only flag for the duration of a changing operation and puts
// the previous value back on every path out of it.
class TVeskDataMdl::TReadOnlyGuard
{
public:
    explicit TReadOnlyGuard(bool& Flag) : FFlag(Flag), FPrevious(Flag) { FFlag = false; }
    ~TReadOnlyGuard() { FFlag = FPrevious; }
    TReadOnlyGuard(const TReadOnlyGuard&) = delete;
    TReadOnlyGuard& operator=(const TReadOnlyGuard&) = delete;

private:
    bool& FFlag;
    bool FPrevious;
};

TVeskDataMdl::TVeskDataMdl(TVeskLogger* Logger, QObject* Parent) : QObject(Parent), FLogger(Logger)
{
    FRetryTimer.setSingleShot(true);
    FRetryTimer.setInterval(RetryIntervalMs);
    connect(&FRetryTimer, &QTimer::timeout, this, [this] {
        // Handed to the writer again; a failure keeps them for the next try.
        std::vector<TEqHistory> rows;
        rows.swap(FUnwritten);
        this->Logger()->Send(QStringLiteral("Retry unwritten history rows."), static_cast<qint64>(rows.size()));
        for (const TEqHistory& row : rows) {
            QueueEqHistoryRecord(row);
        }
    });
}

void TVeskDataMdl::KeepUnwritten(const TEqHistory& EqHistory)
{
    // A row not written is kept (one per earthquake, the latest) until a write succeeds.
    std::erase_if(FUnwritten, [&](const TEqHistory& H) { return H.EqID == EqHistory.EqID; });
    FUnwritten.push_back(EqHistory);
    if (!FReportedUnwritten) {
        FReportedUnwritten = true;
        emit writeFailed(int(FUnwritten.size()));
    }
    if (FDb && !FRetryTimer.isActive()) {
        FRetryTimer.start();
    }
}

void TVeskDataMdl::Written(const TEqHistory& EqHistory)
{
    // The earthquake's newer row is in: its older unwritten one must not overwrite it later.
    std::erase_if(FUnwritten, [&](const TEqHistory& H) { return H.EqID == EqHistory.EqID; });
    if (FUnwritten.empty() && FReportedUnwritten) {
        FReportedUnwritten = false;
        FRetryTimer.stop();
        Logger()->Send(vmtNotable, QStringLiteral("History rows written again."));
        emit writeRecovered();
    }
}

bool TVeskDataMdl::WriteUnwrittenRecords()
{
    FlushEqHistoryRecords();
    std::vector<TEqHistory> rows;
    rows.swap(FUnwritten);
    bool all = true;
    for (const TEqHistory& row : rows) {
        all = InsertEqHistoryRecord(row) && all;
    }
    return all;
}

TVeskLogger* TVeskDataMdl::Logger() const
{
    // Without a logger of its own the store writes to the program's.
    return FLogger ? FLogger : TVeskLogger::OrNull(VeskLogger());
}

TVeskDataMdl::~TVeskDataMdl()
{
    // Rows handed over are still written; their outcomes go to no one.
    if (FWriter) {
        FWriter->Release();
        FWriter->WaitIdle();
        FWriter.reset();
    }
    if (FDb) {
        sqlite3_close_v2(FDb);
        FDb = nullptr;
    }
    if (GDataMdl == this) {
        GDataMdl = nullptr;
    }
}

QStringList TVeskDataMdl::GetFieldNames()
{
    QStringList names;
    for (const TFieldDef& def : FieldDefs) {
        names << QString::fromLatin1(def.Name);
    }
    return names;
}

int TVeskDataMdl::GetFieldMaxBytes(int Field)
{
    return (Field >= 0 && Field < FieldCount) ? FieldDefs[Field].MaxBytes : 0;
}

QStringList TVeskDataMdl::GetRow(int Row) const
{
    return (Row >= 0 && Row < FRows.size()) ? FRows[Row].Values : QStringList();
}

QString TVeskDataMdl::GetValue(int Row, int Field) const
{
    if (Row < 0 || Row >= FRows.size() || Field < 0 || Field >= FieldCount) {
        return {};
    }
    return FRows[Row].Values[Field];
}

int TVeskDataMdl::AnsiByteLength(const QString& Value)
{
    return Cp932::ByteLength(Value);
}

QString TVeskDataMdl::CutToAnsiBytes(const QString& Value, int MaxBytes)
{
    return Cp932::CutToBytes(Value, MaxBytes);
}

void TVeskDataMdl::CloseTable()
{
    FlushEqHistoryRecords();
    if (FDb) {
        sqlite3_close_v2(FDb);
        FDb = nullptr;
    }
    FFileName.clear();
    FRows.clear();
}

bool TVeskDataMdl::OpenHistoryFile(const QString& FileName, QString& Error)
{
    sqlite3* db = nullptr;
    // No SQLITE_OPEN_CREATE: the file must be there; nothing is ever written to a
    // file before it has been recognised as a history file.
    if (sqlite3_open_v2(SqliteFileName(FileName).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        Error = db ? DbError(db) : QStringLiteral("out of memory");
        sqlite3_close_v2(db);
        return false;
    }
    // Side files already there belong to another user of the file or to a writer
    // that crashed: nothing is checkpointed from them before the file is known.
    const bool hadSideFiles = HasSideFiles(FileName);
    auto fail = [&](const QString& Message) {
        Error = Message;
        // Side files the checks created hold an empty log: SQLite removes them on
        // close without writing to the rejected file.
        sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, hadSideFiles ? 1 : 0, nullptr);
        sqlite3_close_v2(db);
        return false;
    };
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_busy_timeout(db, 2000);

    int version = 0;
    if (!CheckIdentity(db, Error, &version)) {
        return fail(Error);
    }
    QString value;
    // SQLite reads missing pages at the end of a file as empty ones. Pages of a log
    // that holds frames (a writer that crashed, or another user) may lie beyond the
    // file's end, so the size is compared only when the log is empty.
    if (QFileInfo(FileName + QStringLiteral("-wal")).size() <= WalHeaderSize) {
        QString pageCount, pageSize;
        if (!QueryValue(db, "PRAGMA page_count", pageCount, Error) ||
            !QueryValue(db, "PRAGMA page_size", pageSize, Error)) {
            return fail(Error);
        }
        if (QFileInfo(FileName).size() < pageCount.toLongLong() * pageSize.toLongLong()) {
            return fail(QStringLiteral("The history file is truncated (%1 of %2 bytes).")
                            .arg(QFileInfo(FileName).size())
                            .arg(pageCount.toLongLong() * pageSize.toLongLong()));
        }
    }
    if (!QueryValue(db, "PRAGMA quick_check", value, Error)) {
        return fail(Error);
    }
    if (value != QLatin1String("ok")) {
        return fail(QStringLiteral("The history file is damaged: %1").arg(value));
    }

    QStringList columns;
    {
        TStatement stmt(db, "PRAGMA table_info(EqHistoryDS)");
        if (!stmt.IsPrepared()) {
            return fail(stmt.Error());
        }
        int rc;
        while ((rc = stmt.Step()) == SQLITE_ROW) {
            columns << stmt.Text(1);
        }
        if (rc != SQLITE_DONE) {
            return fail(stmt.Error());
        }
    }
    QStringList expected = GetFieldNames().mid(0, FirstLayoutFieldCount);
    expected << QString::fromLatin1(SeqColumn);
    if (version >= 2) {
        expected << GetFieldNames().mid(FirstLayoutFieldCount);
    }
    if (columns != expected) {
        return fail(QStringLiteral("The history file has an unexpected table layout (%1).").arg(columns.join(u',')));
    }

    // Only now that the file is known to be ours: a write-ahead log synced at every
    // commit, so a commit costs one sync of the log and still survives a power loss.
    // SQLite writes the log back into the file at its automatic checkpoints, on
    // save and on close, and removes it on close.
    QString mode;
    QString modeError;
    if (!QueryValue(db, "PRAGMA journal_mode=WAL", mode, modeError) || mode.compare(u"wal", Qt::CaseInsensitive) != 0 ||
        !Exec(db, "PRAGMA synchronous=FULL", modeError)) {
        // No log possible here (no shared memory on this file system, or the file is
        // busy being converted): a rollback journal, with the folder synced after
        // each commit so that a power loss cannot undo it.
        if (!Exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=EXTRA;", Error)) {
            return fail(Error);
        }
    }
    if (version < 2) {
        QString migrateError;
        if (!Exec(db, MigrateToV2Sql, migrateError)) {
            QString ignored;
            Exec(db, "ROLLBACK", ignored);
            return fail(QStringLiteral("The history file cannot be brought to version %1: %2")
                            .arg(SchemaVersion)
                            .arg(migrateError));
        }
        Logger()->Send(vmtNotable, QStringLiteral("History file migrated."),
                       QStringLiteral("%1 -> %2").arg(version).arg(SchemaVersion));
    }
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
    FDb = db;
    FFileName = FileName;
    return true;
}

bool TVeskDataMdl::CreateHistoryFile(const QString& FileName, QString& Error)
{
    // Built under a temporary name and moved into place complete, so a crash
    // during creation never leaves a half-made file that later opens as invalid.
    const QString tempName = TempNameFor(FileName);
    RemoveTempFiles(tempName);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(SqliteFileName(tempName).constData(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        Error = db ? DbError(db) : QStringLiteral("out of memory");
        sqlite3_close_v2(db);
        RemoveTempFiles(tempName);
        return false;
    }
    // Made in WAL mode, which the file keeps, so that opening it writes nothing.
    // The checkpoint and the close put everything into the file (synced) and
    // remove the log before the file gets its name.
    const QByteArray script =
        QByteArray("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; BEGIN; ") + CreateTableSql + "; " +
        CreateIndexesSql + QByteArray("PRAGMA application_id=") + QByteArray::number(ApplicationId) +
        "; PRAGMA user_version=" + QByteArray::number(SchemaVersion) + "; COMMIT; PRAGMA wal_checkpoint(TRUNCATE);";
    const bool built = Exec(db, script.constData(), Error);
    // A new file never takes the place of one that appeared meanwhile.
    return PutInPlace(db, built, tempName, FileName, false, Error);
}

bool TVeskDataMdl::CheckpointLog(QString& Error)
{
    TStatement stmt(FDb, "PRAGMA wal_checkpoint(TRUNCATE)");
    if (!stmt.IsPrepared()) {
        Error = stmt.Error();
        return false;
    }
    if (stmt.Step() != SQLITE_ROW) {
        Error = stmt.Error();
        return false;
    }
    // First column: 1 when a reader or writer of another connection kept it from finishing.
    if (sqlite3_column_int(stmt.Get(), 0) != 0) {
        Error = QStringLiteral("The history file is in use; its log could not be written back into it.");
        return false;
    }
    return true;
}

bool TVeskDataMdl::EnsureIndexes(QString& Error)
{
    return Exec(FDb, CreateIndexesSql, Error);
}

bool TVeskDataMdl::LoadRows(QString& Error)
{
    FRows.clear();
    const bool read = ReadRows(
        FDb,
        [this](QStringList Values, qint64 Seq) {
            FRows.append(TRow{std::move(Values), Seq});
        },
        Error);
    if (!read) {
        FRows.clear();
    }
    return read;
}

bool TVeskDataMdl::ReadEqHistoryFile(const QString& FileName, QList<QStringList>& Rows, QString* Error)
{
    Rows.clear();
    QString error;
    sqlite3* db = nullptr;
    const bool hadSideFiles = HasSideFiles(FileName);
    auto finish = [&](bool Ok) {
        if (!Ok && Error) {
            *Error = error;
        }
        sqlite3_close_v2(db);
        db = nullptr;
        if (!hadSideFiles && HasSideFiles(FileName)) {
            ReleaseSideFiles(FileName);
        }
        return Ok;
    };
    if (sqlite3_open_v2(SqliteFileName(FileName).constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        error = db ? DbError(db) : QStringLiteral("out of memory");
        return finish(false);
    }
    sqlite3_busy_timeout(db, 2000);
    int version = 0;
    if (!CheckIdentity(db, error, &version)) {
        return finish(false);
    }
    // ReadRows finalizes its statement before the close, so that the connection
    // really closes there and the side files can be released.
    const bool read = ReadRows(
        db, [&Rows](QStringList Values, qint64) { Rows.append(std::move(Values)); }, error,
        version >= 2 ? SelectRowsSql : SelectRowsV1Sql);
    if (!read) {
        Rows.clear();
    }
    return finish(read);
}

bool TVeskDataMdl::CopyTableTo(const QString& FileName, QString& Error)
{
    // A consistent copy of the open table under a temporary name, renamed over
    // the target only when complete: the old file stays whole until then.
    const QString tempName = TempNameFor(FileName);
    RemoveTempFiles(tempName);
    sqlite3* dest = nullptr;
    if (sqlite3_open_v2(SqliteFileName(tempName).constData(), &dest,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        Error = dest ? DbError(dest) : QStringLiteral("out of memory");
        sqlite3_close_v2(dest);
        RemoveTempFiles(tempName);
        return false;
    }
    bool copied = Exec(dest, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=EXTRA;", Error);
    if (copied) {
        sqlite3_backup* backup = sqlite3_backup_init(dest, "main", FDb, "main");
        if (!backup) {
            Error = DbError(dest);
            copied = false;
        } else {
            const int stepRc = sqlite3_backup_step(backup, -1);
            sqlite3_backup_finish(backup);
            if (stepRc != SQLITE_DONE) {
                Error = DbError(dest);
                copied = false;
            }
        }
    }
    return PutInPlace(dest, copied, tempName, FileName, true, Error);
}

bool TVeskDataMdl::CreateEqHistoryDB(const QString& LoadFileName)
{
    FlushEqHistoryRecords();
    Logger()->EnterMethod(QStringLiteral("CreateEqHistoryDB()"));
    Logger()->Send(QStringLiteral("Load History Db record from file."), LoadFileName);
    bool result = false;
    QString error;
    try {
        if (QFileInfo::exists(LoadFileName)) {
            CloseTable();
            if (!OpenHistoryFile(LoadFileName, error) || !LoadRows(error)) {
                CloseTable();
                Logger()->Send(vmtCaught, QStringLiteral("CreateEqHistoryDB() #1"), error);
                Logger()->ExitMethod(QStringLiteral("CreateEqHistoryDB()"));
                emit tableReset();
                return false;
            }
        } else {
            Logger()->Send(vmtWarning, QStringLiteral("Db file is not found."));
            CloseTable();
            if (LoadFileName.isEmpty()) {
                error = QStringLiteral("No history file name given.");
            } else if (CreateHistoryFile(LoadFileName, error) && OpenHistoryFile(LoadFileName, error)) {
                result = LoadRows(error);
            }
            if (!result) {
                CloseTable();
            }
        }
        if (FDb) {
            Logger()->Send(vmtNotable, QStringLiteral("Creted new History Db"));
            result = EnsureIndexes(error);
            if (result) {
                Logger()->Send(vmtNotable, QStringLiteral("Creted new sorting index."));
                // Rows are listed from position 0, the newest.
                Logger()->Send(vmtNotable, QStringLiteral("Move record cursor to first."));
            }
        }
    } catch (const std::exception& e) {
        result = false;
        error = QString::fromLocal8Bit(e.what());
    }
    if (!result) {
        Logger()->Send(vmtCaught, QStringLiteral("CreateEqHistoryDB() #2"), error);
    }
    Logger()->ExitMethod(QStringLiteral("CreateEqHistoryDB()"));
    emit tableReset();
    return result;
}

bool TVeskDataMdl::WriteRow(const TEqHistory& EqHistory, TRow& Row)
{
    Logger()->EnterMethod(QStringLiteral("InsertEqHistoryRecord()"));
    bool result = false;
    QString error;
    try {
        if (!FDb) {
            error = QStringLiteral("The history table is not open.");
        } else {
            Logger()->Send(QStringLiteral("Try to insert record. Eq Id"), EqHistory.EqID);
            const QString source[FieldCount] = {EqHistory.EqID,
                                                EqHistory.OutgoingTime,
                                                EqHistory.OccurrenceTime,
                                                EqHistory.EpicLat,
                                                EqHistory.EpicLong,
                                                EqHistory.EpicDepth,
                                                EqHistory.EqMagnitude,
                                                EqHistory.EpicName,
                                                EqHistory.EstSIS,
                                                EqHistory.EstSec,
                                                EqHistory.Cancelled ? QStringLiteral("1") : QString()};
            // The earthquake's earlier row goes in the same commit as its new one.
            if (Exec(FDb, "BEGIN IMMEDIATE", error)) {
                TStatement remove(FDb, DeleteSameEqSql);
                TStatement stmt(FDb, InsertRowSql);
                Row.Values.clear();
                for (int i = 0; i < FieldCount; ++i) {
                    Row.Values << CutToAnsiBytes(source[i], FieldDefs[i].MaxBytes);
                }
                const QByteArray id = Row.Values[0].toUtf8();
                if (!remove.IsPrepared() || !stmt.IsPrepared()) {
                    error = remove.IsPrepared() ? stmt.Error() : remove.Error();
                } else {
                    sqlite3_bind_text(remove.Get(), 1, id.constData(), int(id.size()), SQLITE_TRANSIENT);
                    for (int i = 0; i < FieldCount; ++i) {
                        const QByteArray utf8 = Row.Values[i].toUtf8();
                        sqlite3_bind_text(stmt.Get(), i + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
                    }
                    if (remove.Step() != SQLITE_DONE) {
                        error = remove.Error();
                    } else if (stmt.Step() != SQLITE_DONE) {
                        error = stmt.Error();
                    } else {
                        Row.Seq = sqlite3_last_insert_rowid(FDb);
                        result = Exec(FDb, "COMMIT", error);
                    }
                }
                if (!result) {
                    QString ignored;
                    Exec(FDb, "ROLLBACK", ignored);
                }
            }
        }
    } catch (const std::exception& e) {
        result = false;
        error = QString::fromLocal8Bit(e.what());
    }
    if (!result) {
        Logger()->Send(vmtCaught, QStringLiteral("InsertEqHistoryRecord()"), error);
    }
    Logger()->ExitMethod(QStringLiteral("InsertEqHistoryRecord()"));
    return result;
}

int TVeskDataMdl::ReplaceRow(const TRow& Row)
{
    // The earthquake's earlier row (the file kept one per earthquake) leaves the model first.
    for (qsizetype i = FRows.size() - 1; i >= 0; --i) {
        if (FRows[i].Values[0] == Row.Values[0]) {
            {
                TReadOnlyGuard readOnly(FReadOnly);
                FRows.remove(i);
            }
            emit rowsRemoved(int(i), int(i));
        }
    }
    return AddRow(Row);
}

int TVeskDataMdl::AddRow(const TRow& Row)
{
    TReadOnlyGuard readOnly(FReadOnly);
    // Newest insertion first among equal ids; ids compare as stored (UTF-8 bytes).
    const QByteArray id = Row.Values[0].toUtf8();
    int position = 0;
    while (position < FRows.size() && FRows[position].Values[0].toUtf8() > id) {
        ++position;
    }
    FRows.insert(position, Row);
    return position;
}

bool TVeskDataMdl::InsertEqHistoryRecord(const TEqHistory& EqHistory)
{
    FlushEqHistoryRecords();
    bool result = false;
    int position = -1;
    {
        TReadOnlyGuard readOnly(FReadOnly);
        TRow row;
        result = WriteRow(EqHistory, row);
        if (result) {
            position = ReplaceRow(row);
        }
    }
    if (result) {
        emit rowInserted(position);
        Written(EqHistory);
    } else if (FDb) {
        KeepUnwritten(EqHistory);
    }
    return result;
}

void TVeskDataMdl::QueueEqHistoryRecord(const TEqHistory& EqHistory, TInsertDone Done)
{
    if (!FWriter) {
        FWriter = std::make_unique<TWriter>(*this);
    }
    FWriter->Hold(EqHistory, std::move(Done));
    // The writer starts once the caller's current event is done: a row handed over
    // just before an alert is presented competes with nothing on the way there.
    if (!FReleaseScheduled) {
        FReleaseScheduled = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                FReleaseScheduled = false;
                if (FWriter) {
                    FWriter->Release();
                }
            },
            Qt::QueuedConnection);
    }
}

void TVeskDataMdl::FlushEqHistoryRecords()
{
    if (FWriter) {
        FWriter->Release();
        FWriter->WaitIdle();
        ApplyWrittenRows();
    }
}

void TVeskDataMdl::ApplyWrittenRows()
{
    // A listener that flushes from inside leaves the rest to the loop below, which keeps the order.
    if (!FWriter || FApplying) {
        return;
    }
    FApplying = true;
    for (std::deque<TWriter::TResult> results; !(results = FWriter->TakeResults()).empty();) {
        for (TWriter::TResult& written : results) {
            if (written.Inserted) {
                emit rowInserted(ReplaceRow(written.Row));
                Written(written.EqHistory);
            } else if (FDb) {
                KeepUnwritten(written.EqHistory);
            }
            if (written.Done) {
                written.Done(written.Inserted);
            }
        }
    }
    FApplying = false;
}

void TVeskDataMdl::CompactFile()
{
    // Deleted rows leave free pages, and the file never shrinks by itself: a trim of
    // a long history would keep its whole size after the trim. Rebuilt only when
    // pages are free; in WAL mode the file shrinks at the checkpoint that follows.
    QString freePages, error;
    if (!QueryValue(FDb, "PRAGMA freelist_count", freePages, error)) {
        Logger()->Send(vmtCaught, QStringLiteral("CompactFile()"), error);
        return;
    }
    if (freePages.toLongLong() == 0) {
        return;
    }
    Logger()->Send(QStringLiteral("Compact history file. Free pages"), freePages.toLongLong());
    if (!Exec(FDb, "VACUUM", error)) {
        // The rows are gone either way; only the space stays taken.
        Logger()->Send(vmtCaught, QStringLiteral("CompactFile()"), error);
    }
}

bool TVeskDataMdl::DeleteAllEqHistoryRecord(int NumberOfSaveRecords)
{
    FlushEqHistoryRecords();
    Logger()->EnterMethod(QStringLiteral("DeleteAllEqHistoryRecord()"));
    Logger()->Send(QStringLiteral("Number of save records"), NumberOfSaveRecords);
    bool result = false;
    const int keep = qMax(0, NumberOfSaveRecords);
    int removedFirst = -1;
    int removedLast = -1;
    {
        TReadOnlyGuard readOnly(FReadOnly);
        QString error;
        try {
            if (!FDb) {
                error = QStringLiteral("The history table is not open.");
            } else if (FRows.size() <= keep) {
                result = true;
            } else if (Exec(FDb, "BEGIN IMMEDIATE", error)) {
                // From the oldest end, all in one commit: either every row goes or none does.
                TStatement stmt(FDb, "DELETE FROM EqHistoryDS WHERE INS_SEQ = ?1");
                bool deleted = stmt.IsPrepared();
                for (qsizetype i = FRows.size() - 1; deleted && i >= keep; --i) {
                    sqlite3_bind_int64(stmt.Get(), 1, FRows[i].Seq);
                    deleted = stmt.Step() == SQLITE_DONE;
                    sqlite3_reset(stmt.Get());
                }
                if (!deleted) {
                    error = stmt.Error();
                }
                if (deleted && Exec(FDb, "COMMIT", error)) {
                    removedFirst = keep;
                    removedLast = int(FRows.size()) - 1;
                    FRows.resize(keep);
                    result = true;
                } else {
                    QString ignored;
                    Exec(FDb, "ROLLBACK", ignored);
                }
            }
        } catch (const std::exception& e) {
            result = false;
            error = QString::fromLocal8Bit(e.what());
        }
        if (!result) {
            Logger()->Send(vmtCaught, QStringLiteral("DeleteAllEqHistoryRecord()"), error);
        }
    }
    Logger()->ExitMethod(QStringLiteral("DeleteAllEqHistoryRecord()"));
    if (result && removedFirst >= 0) {
        emit rowsRemoved(removedFirst, removedLast);
    }
    return result;
}

bool TVeskDataMdl::SaveEqHistoryDB(const QString& SaveFileName)
{
    FlushEqHistoryRecords();
    Logger()->EnterMethod(QStringLiteral("SaveEqHistoryDb()"));
    Logger()->Send(QStringLiteral("Try to save HistoryDB"), SaveFileName);
    if (HasInvalidPathChar(SaveFileName)) {
        Logger()->Send(vmtWarning, QStringLiteral("Invalid file name given."));
        Logger()->ExitMethod(QStringLiteral("SaveEqHistoryDb()"));
        return false;
    }
    bool result = false;
    QString error;
    try {
        if (!FDb) {
            // Also after a failed load: the file that could not be read keeps its bytes.
            error = QStringLiteral("The history table is not open.");
        } else if (SaveFileName.isEmpty()) {
            error = QStringLiteral("No history file name given.");
        } else {
            CompactFile();
            const QString target = QFileInfo(SaveFileName).canonicalFilePath();
            if (!target.isEmpty() && target == QFileInfo(FFileName).canonicalFilePath()) {
                // The open file itself: every change is committed already; the log is
                // written back so that the file alone holds the whole table.
                result = CheckpointLog(error);
            } else {
                result = CopyTableTo(SaveFileName, error);
            }
        }
    } catch (const std::exception& e) {
        result = false;
        error = QString::fromLocal8Bit(e.what());
    }
    if (result) {
        Logger()->Send(QStringLiteral("Saved HistoryDB"));
    } else {
        Logger()->Send(vmtCaught, QStringLiteral("SaveEqHistoryDB()"), error);
    }
    Logger()->ExitMethod(QStringLiteral("SaveEqHistoryDb()"));
    return result;
}

TVeskDataMdl* VeskDataMdl()
{
    return GDataMdl;
}

void SetVeskDataMdl(TVeskDataMdl* DataMdl)
{
    GDataMdl = DataMdl;
}
