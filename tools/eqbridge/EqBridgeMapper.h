#pragma once

#include "defines/EqTelegramLines.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// What became of one feed message.
enum TEqBridgeOutcome
{
    eboForward, // Line01 (and Line11, Line10 when not empty) are to be served
    eboCancel,  // a cancel of EventId: its line is composed from the event's last served report
    eboIgnore,  // link traffic or another kind of information (heartbeat, pong, other codes): no warning
    eboDrop     // not mappable: Reason says why; nothing is served
};

// The feed a message came from, told by its form.
enum TEqBridgeFormat
{
    ebfUnknown,
    ebfRelay, // the JMA-EEW JSON relay, WebSocket form ("type": "jma_eew") or HTTP form (no "type")
    ebfP2P    // the P2P earthquake information API, code 556 (early warning) records
};

struct TEqBridgeMapped
{
    TEqBridgeOutcome Outcome = eboDrop;
    TEqBridgeFormat Format = ebfUnknown;
    QString Reason;                     // why a message is dropped or ignored
    QString IgnoredKind;                // what an ignored message is ("heartbeat", "code 551"), for counting
    QString EventId;                    // 14 digits, when the message has one
    int Serial = -1;                    // report number, when the message has one
    TEqTelegram01Fields Fields;         // the columns of Line01
    QVector<TEqAreaForecast> Forecasts; // JMA's area forecast, in the telegram's order
    QString Line01;                     // type-01 line without its line feed
    QString Line11;                     // type-11 line, empty when the message has no area forecast
    QString Line10;                     // type-10 line, empty when the message names no epicentre
    qint64 AnnouncedMs = -1;            // issue time as milliseconds of a local-clock date, for replay spacing
    bool IsWarning = false;
    bool IsDrill = false;
    bool IsAssumed = false;
    bool IsFinal = false;
};

// Maps one feed message onto the fixed-column lines of the EQ server protocol
// (docs/protocol.md): the JMA-EEW relay's JSON in either form, or a P2P record.
//
// Type-01 columns: "01", JMA's type code of the code-format text ("00" without
// it), the drill marker ("01" for a drill, "00" otherwise), issue and origin
// times as YYMMDDhhmmss (Japan time, as sent), "ND" + the 14-digit event id, the
// report kind (9 final, 0 otherwise), the two-digit serial, "N" + latitude and
// "E" + longitude in tenths of a degree, depth in km (3 digits), magnitude in
// tenths (2 digits), the five accuracy digits and the codes of the areas under a
// warning. The relay's code-format text ("OriginalText") gives the type code,
// the accuracy (RK), the epicentre code and the EBI block; without it the
// accuracy comes from the "Accuracy" texts and the areas from "WarnArea" by
// name. A P2P record carries no accuracy: it is a warning, which JMA issues only
// on data of two or more stations, so its digits are "222//" ("118//" for an
// assumed source); its type code is "00".
//
// The type-11 line carries every entry of the area forecast (EBI, "WarnArea" or
// P2P "areas") as JMA gives it; there is none when the message has no forecast.
//
// Anything that does not fit (a missing or malformed field, a southern, western
// or impossible position, an unknown area name, a serial above 99, a test
// message, a code-format text of another event) drops the message with a reason:
// nothing is ever served half-filled. A cancel (isCancel, code type 39, P2P
// "cancelled") is reported with its event, serial and issue time only.
//
// AShiftSecs moves both times by that many seconds (a replay shown live).
TEqBridgeMapped MapEqBridgeMessage(const QByteArray& AJson, qint64 AShiftSecs = 0);

// "5弱" -> "5-", "4" -> "04", "不明" -> "//": the relay's intensity text in the
// two characters of an area forecast; empty when it is none of these.
QString EqBridgeIntensityCode(const QString& AText);
