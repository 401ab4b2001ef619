#pragma once

#include "defines/EqHistory.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <functional>
#include <memory>
#include <vector>

struct sqlite3;
class TVeskLogger;

// The earthquake history: one row per alerted earthquake (a later write of the
// same EQ id replaces its row), kept in an SQLite
// file in WAL mode. Every insert and trim is committed at once with one sync of
// the log, so a crash or power loss loses nothing that was reported as recorded.
// While the file is open its "-wal" and "-shm" files lie beside it; closing
// writes the log back and removes them. Rows are listed highest "EQ_ID" first;
// rows with the same id newest insertion first. Main thread only, apart from the
// writer thread behind QueueEqHistoryRecord.
class TVeskDataMdl : public QObject
{
    Q_OBJECT

public:
    static constexpr int FieldCount = 11;
    // Layout version stored in the file; opening a file of an older version for
    // writing migrates it (its rows kept); a newer one is refused.
    // 2: the "CANCELLED" field ("1" for an earthquake JMA withdrew).
    static constexpr int SchemaVersion = 2;
    // Marks an SQLite file as a history file of this program ("ULXH").
    static constexpr int ApplicationId = 0x554C5848;

    explicit TVeskDataMdl(TVeskLogger* Logger, QObject* Parent = nullptr);
    ~TVeskDataMdl() override;
    TVeskDataMdl(const TVeskDataMdl&) = delete;
    TVeskDataMdl& operator=(const TVeskDataMdl&) = delete;

    // Opens the table from the file, or creates the file with an empty table when
    // there is none. A file that is not a valid history file is left untouched and
    // the table stays closed.
    bool CreateEqHistoryDB(const QString& LoadFileName);
    bool InsertEqHistoryRecord(const TEqHistory& EqHistory);
    // Hands the row to the history's writer thread and returns at once, so the
    // caller never waits for the disk; the writer starts on it when the caller's
    // current event has been handled. Rows are written in the order handed over,
    // each committed and synced before the next is started. The outcome reaches the
    // read model (rowInserted) and Done afterwards, on this object's thread, from
    // its event loop or from the next operation: every other operation first waits
    // for the rows handed over (FlushEqHistoryRecords).
    using TInsertDone = std::function<void(bool Inserted)>;
    void QueueEqHistoryRecord(const TEqHistory& EqHistory, TInsertDone Done = {});
    // Waits until every row handed over is written and applies the outcomes now.
    void FlushEqHistoryRecords();
    // Rows that could not be written (a full disk, an I/O error) are kept, the
    // latest per earthquake, and handed to the writer again every
    // RetryIntervalMs until one write succeeds; writeFailed tells of the first
    // failure, writeRecovered of the end. This writes them now (at exit); false
    // when one still fails.
    static constexpr int RetryIntervalMs = 30000;
    bool WriteUnwrittenRecords();
    int UnwrittenCount() const { return int(FUnwritten.size()); }
    void SetRetryIntervalMs(int AMs) { FRetryTimer.setInterval(AMs); }
    // Deletes rows from the oldest end until at most NumberOfSaveRecords remain.
    bool DeleteAllEqHistoryRecord(int NumberOfSaveRecords);
    // Writes the whole table to the file, replacing it atomically; for the open file
    // itself, writes the log back into it. Space left by deleted rows is given back
    // first, so the file shrinks after a trim.
    bool SaveEqHistoryDB(const QString& SaveFileName);

    // Display controls bound to the table must not change rows while this is set.
    // Set on creation; changing operations clear it for their own duration only.
    bool IsReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool ReadOnly) { FReadOnly = ReadOnly; }

    bool IsActive() const { return FDb != nullptr; }
    QString GetFileName() const { return FFileName; }

    // Read model: the rows in the active order, ten values each in field order.
    static QStringList GetFieldNames();
    static int GetFieldMaxBytes(int Field);
    int RowCount() const { return int(FRows.size()); }
    QStringList GetRow(int Row) const;
    QString GetValue(int Row, int Field) const;

    // Byte length of a text in code page 932; a character the code page cannot
    // hold counts as one byte, as it is stored as '?'.
    static int AnsiByteLength(const QString& Value);
    // The longest prefix of Value that fits MaxBytes bytes of code page 932, never
    // splitting a double-byte character; characters the code page cannot hold
    // become '?', as the system's ANSI conversion does.
    static QString CutToAnsiBytes(const QString& Value, int MaxBytes);

    // Reads the rows of a history file in the active order without changing the
    // file or taking a write lock, so it works while another process uses it.
    // Side files that the read itself created are removed again when no one else
    // has the file open.
    static bool ReadEqHistoryFile(const QString& FileName, QList<QStringList>& Rows, QString* Error = nullptr);

signals:
    // The row now at position Row (active order) was inserted.
    void rowInserted(int Row);
    // Rows First..Last (positions before the removal) were deleted.
    void rowsRemoved(int First, int Last);
    // The table was opened, created or closed: reload everything.
    void tableReset();
    // A row could not be written and is kept for later (Count rows kept now).
    void writeFailed(int Count);
    // Every kept row is written now.
    void writeRecovered();

private:
    struct TRow
    {
        QStringList Values;
        qint64 Seq = 0;
    };

    class TReadOnlyGuard;
    class TWriter;

    TVeskLogger* Logger() const;

    void CloseTable();
    bool OpenHistoryFile(const QString& FileName, QString& Error);
    bool CreateHistoryFile(const QString& FileName, QString& Error);
    bool CheckpointLog(QString& Error);
    bool EnsureIndexes(QString& Error);
    bool LoadRows(QString& Error);
    bool CopyTableTo(const QString& FileName, QString& Error);
    // The database half of an insert, with its log lines; any thread, one at a time.
    bool WriteRow(const TEqHistory& EqHistory, TRow& Row);
    // Puts a written row into the read model; answers its position.
    int AddRow(const TRow& Row);
    // The same, after taking out the model's earlier row of the same earthquake.
    int ReplaceRow(const TRow& Row);
    void ApplyWrittenRows();
    void KeepUnwritten(const TEqHistory& EqHistory);
    void Written(const TEqHistory& EqHistory);
    void CompactFile();

    TVeskLogger* FLogger;
    sqlite3* FDb = nullptr;
    QString FFileName;
    QVector<TRow> FRows;
    bool FReadOnly = true;
    bool FApplying = false;         // ApplyWrittenRows is running
    bool FReleaseScheduled = false; // rows are held for the writer until the current event ends
    std::unique_ptr<TWriter> FWriter;
    std::vector<TEqHistory> FUnwritten;
    bool FReportedUnwritten = false;
    QTimer FRetryTimer;
};

// Process-wide history module, reachable by the alert map; null until the program sets it.
TVeskDataMdl* VeskDataMdl();
void SetVeskDataMdl(TVeskDataMdl* DataMdl);
