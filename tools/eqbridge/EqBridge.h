#pragma once

#include "EqBridgeMapper.h"

#include <QByteArray>
#include <QQueue>
#include <QSet>
#include <QString>

#include <functional>

// Turns feed messages into served lines: maps each message, logs what it did
// with it and why, sends each report (event and serial) once, and hands the
// lines to AServe as one block ("01..." and, when named, "10...", each with its
// line feed).
class TEqBridge
{
public:
    using TLog = std::function<void(const QString&)>;
    using TServe = std::function<void(const QByteArray&)>;

    TEqBridge(TLog ALog, TServe AServe) : FLog(std::move(ALog)), FServe(std::move(AServe)) {}

    TEqBridgeMapped HandleMessage(const QByteArray& AJson, qint64 AShiftSecs = 0);

    int Forwarded() const { return FForwarded; }
    int Dropped() const { return FDropped; }

private:
    // Reports remembered for the duplicate test; a feed resends within minutes.
    static constexpr int RememberedReports = 4096;

    TLog FLog;
    TServe FServe;
    QSet<QString> FSeen;
    QQueue<QString> FSeenOrder;
    int FForwarded = 0;
    int FDropped = 0;
};
