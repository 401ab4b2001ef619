#pragma once

#include <cstdio>

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The few operating-system services the program needs beyond Qt, behind one
// small interface; VeskPlatformPosix.cpp implements it for Linux and other
// POSIX systems. A Windows implementation must provide:
// - TVeskWakeEvent: a manual-reset event object (CreateEvent/SetEvent/CloseHandle);
//   the socket wait watches both, e.g. WSAEventSelect on the socket plus
//   WaitForMultipleObjects, or WSAPoll with a loopback socket as the wake signal;
// - the bounded read with CreateFile and GetFileSizeEx (GetFileType for "not a
//   file"), and the write check with an open for writing or the access check;
// - file sync with FlushFileBuffers (a folder opened with FILE_FLAG_BACKUP_SEMANTICS);
// - TVeskNoFollowFile with CreateFile(FILE_APPEND_DATA, OPEN_ALWAYS,
//   FILE_FLAG_OPEN_REPARSE_POINT), refusing a handle that is not a plain file;
// - rename without replace with MoveFileEx without MOVEFILE_REPLACE_EXISTING,
//   rename over a file with MoveFileEx(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
// - the termination hook with SetConsoleCtrlHandler, writing to a connected
//   loopback socket pair so that a QSocketNotifier can watch the readable end.

// Outcome of a wait.
enum TVeskWaitResult : int
{
    wrReady = 0,   // the socket is ready (or reports an error or hang-up)
    wrTimeout = 1, // the time-out passed
    wrWoken = 2,   // the wake event is signalled
    wrFailed = 3   // the wait itself failed; the system's error is left in errno
};

// What a socket wait waits for.
enum TVeskSocketWait : int
{
    swRead = 0,
    swWrite = 1
};

// An event one thread waits on and any other thread signals. It is sticky: once
// signalled, every later wait ends at once, so a stop request cannot be missed
// between two waits. Created by the constructor, closed by the destructor.
class TVeskWakeEvent
{
public:
    TVeskWakeEvent();
    ~TVeskWakeEvent();
    TVeskWakeEvent(const TVeskWakeEvent&) = delete;
    TVeskWakeEvent& operator=(const TVeskWakeEvent&) = delete;

    // False when the system refused the event: waits then only sleep or watch the socket.
    bool IsValid() const { return FHandle >= 0; }
    // Safe from any thread.
    void Signal();
    // Waits up to ATimeoutMs (negative: without limit) for the event and, when
    // ASocket is not negative, for the socket to become ready for AFor. A
    // signalled event wins over a ready socket.
    TVeskWaitResult Wait(int ATimeoutMs, qintptr ASocket = -1, TVeskSocketWait AFor = swRead) const;

private:
    qintptr FHandle = -1;
};

// A plain file opened for appending that is never reached through a symbolic
// link: the open refuses a link and anything that is not a regular file, so a
// writer whose folder others can write to (the log) cannot be turned against
// another file. Writes go straight to the system, unbuffered. Closed by the
// destructor.
class TVeskNoFollowFile
{
public:
    TVeskNoFollowFile() = default;
    ~TVeskNoFollowFile() { Close(); }
    TVeskNoFollowFile(const TVeskNoFollowFile&) = delete;
    TVeskNoFollowFile& operator=(const TVeskNoFollowFile&) = delete;

    // Opens APath, creating it, or emptying it when ATruncate. False when it
    // cannot be opened (the system's error is left in errno).
    bool Open(const QString& APath, bool ATruncate = false);
    bool IsOpen() const { return FHandle >= 0; }
    // The file's size when it was opened.
    qint64 SizeAtOpen() const { return FSizeAtOpen; }
    // Writes all of AData unless the system refuses part of it; the bytes written.
    qint64 Write(const char* AData, qint64 ASize);
    void Close();

private:
    qintptr FHandle = -1;
    qint64 FSizeAtOpen = 0;
};

// What VeskReadBoundedFile found.
enum TVeskReadResult : int
{
    rrRead,       // the whole file is in the bytes (an empty file too)
    rrMissing,    // nothing at the path
    rrUnreadable, // exists but could not be opened or read
    rrTooLarge,   // larger than the limit: not read
    rrNotRegular  // a folder, device or pipe: not read
};

// Reads a whole regular file of at most ALimit bytes. It is opened without
// blocking, so a pipe put in the file's place cannot stall the reader, and read
// at most one byte past the limit, so a file that grows meanwhile cannot fill
// the memory. ABytes is set only when the file was read.
TVeskReadResult VeskReadBoundedFile(const QString& APath, qint64 ALimit, QByteArray* ABytes);

// Whether this process may write to the file, or create files in the folder,
// as the system decides (permissions, read-only mounts, access lists).
bool VeskIsWritable(const QString& APath);

// Flushes a file's data (and the metadata needed to read it) to the device.
bool VeskSyncFile(const QString& APath, QString* AError = nullptr);
// Flushes a folder's entries, so that a file created or renamed in it survives a power loss.
bool VeskSyncFolder(const QString& APath, QString* AError = nullptr);
// Renames AFrom to ATo only when ATo does not exist, atomically where the file
// system allows; an existing ATo is never replaced.
bool VeskRenameNoReplace(const QString& AFrom, const QString& ATo, QString* AError = nullptr);
// Renames AFrom to ATo, atomically replacing an existing ATo.
bool VeskRenameReplacing(const QString& AFrom, const QString& ATo, QString* AError = nullptr);
// Puts ABytes in place of the file's contents so that a crash or a full disk
// leaves either the old file or the new one, never a part: a new file beside it
// (never through a symbolic link), written, synced, renamed over the old one
// (keeping its permissions) and the folder synced. On failure the old file is
// untouched and AError says what failed.
bool VeskReplaceFile(const QString& APath, const QByteArray& ABytes, QString* AError = nullptr);

// Termination requests from outside (interrupt, terminate and hang-up signals on
// POSIX). Installs handlers that write the request into a self-pipe and returns
// the pipe's readable descriptor for a QSocketNotifier, or -1 when it cannot be
// made. The pipe is made once and kept for the life of the process.
// Gives standard output's stream a descriptor of its own and points descriptor 1
// at standard error, so that what loaded code (a plug-in) prints there cannot mix
// into the program's own output lines. Answers the stream for those lines
// (standard output itself when the move is impossible).
std::FILE* VeskTakeStandardOutput();

qintptr VeskInstallTerminationHook();
// Reads one request from the hook's descriptor: its signal number, or 0 when none is pending.
int VeskTakeTerminationRequest();
// Restores the default handling of the termination requests.
void VeskRemoveTerminationHook();
