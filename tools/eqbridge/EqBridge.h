#pragma once

#include "EqBridgeMapper.h"

#include <QByteArray>
#include <QHash>
#include <QQueue>
#include <QSet>
#include <QString>

#include <functional>

// Turns feed messages into served lines: maps each message, logs what it did
// with it and why, serves each report (event and serial) once whichever feed
// brings it first, and hands the lines of a report to AServe as one block
// ("11..." when there is an area forecast, "01...", "10..." when named, each
// with its line feed). A cancel is served as the event's last served type-01
// line with type code "39" and the cancel's serial.
//
// It remembers the latest block of every recent event, so a receiver that
// connects while an event is active gets it at once (CatchUp).
class TEqBridge
{
public:
    using TLog = std::function<void(const QString&)>;
    using TServe = std::function<void(const QByteArray&)>;
    using TClock = std::function<qint64()>; // a monotonic clock in milliseconds

    // An event is active while its last report is younger than this ...
    static constexpr qint64 ActiveMs = 3 * 60 * 1000;
    // ... and, once final, for this long after the final report.
    static constexpr qint64 FinalActiveMs = 60 * 1000;

    TEqBridge(TLog ALog, TServe AServe, TClock AClock = {});

    TEqBridgeMapped HandleMessage(const QByteArray& AJson, qint64 AShiftSecs = 0);

    // The latest block of every active event, oldest event first; empty when none is active.
    QByteArray CatchUp() const;

    int Forwarded() const { return FForwarded; }
    int Dropped() const { return FDropped; }
    int Duplicates() const { return FDuplicates; }
    int Cancels() const { return FCancels; }
    int Ignored() const { return FIgnored; }

private:
    struct TEvent
    {
        TEqTelegram01Fields LastFields; // of the last served report
        QByteArray LastBlock;           // its lines
        int LastSerial = 0;
        qint64 LastMs = 0;
        qint64 Order = 0;
        bool Final = false;
        bool Cancelled = false;
    };

    // Reports remembered for the duplicate test; a feed resends within minutes.
    static constexpr int RememberedReports = 4096;
    // Events remembered for cancels and catch-up.
    static constexpr int RememberedEvents = 256;

    bool IsDuplicate(const TEqBridgeMapped& AMapped, const QString& AReport);
    void Remember(const QString& AReport);
    void Cancel(const TEqBridgeMapped& AMapped, const QString& AReport);
    void ForgetOldEvents();

    TLog FLog;
    TServe FServe;
    TClock FClock;
    QSet<QString> FSeen;
    QQueue<QString> FSeenOrder;
    QHash<QString, TEvent> FEvents;
    QSet<QString> FIgnoredKinds; // each kind of ignored message is logged once
    qint64 FNextOrder = 0;
    int FForwarded = 0;
    int FDropped = 0;
    int FDuplicates = 0;
    int FCancels = 0;
    int FIgnored = 0;
};
