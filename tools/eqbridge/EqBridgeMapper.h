#pragma once

#include <QByteArray>
#include <QString>

// What became of one feed message.
enum TEqBridgeOutcome
{
    eboForward, // Line01 (and Line10 when not empty) are to be served
    eboCancel,  // a cancel: the line format cannot carry it, so it is only logged
    eboIgnore,  // link traffic of the feed (heartbeat, pong): no earthquake
    eboDrop     // not mappable: Reason says why; nothing is served
};

struct TEqBridgeMapped
{
    TEqBridgeOutcome Outcome = eboDrop;
    QString Reason;          // why a message is dropped or ignored
    QString EventId;         // 14 digits, when the message has one
    int Serial = -1;         // report number, when the message has one
    QString Line01;          // type-01 line without its line feed
    QString Line10;          // type-10 line, empty when the message names no epicentre
    qint64 AnnouncedMs = -1; // issue time as milliseconds of a local-clock date, for replay spacing
    bool IsWarning = false;
    bool IsDrill = false;
    bool IsAssumed = false;
    bool IsFinal = false;
};

// Maps one message of the feed's JSON form ("type": "jma_eew") onto the
// fixed-column telegram lines of the EQ server protocol.
//
// Type-01 columns: "01", the JMA type code of the code-format text ("00" without
// it), the drill marker ("01" for a drill or a message whose status is a drill,
// "00" otherwise), issue and origin times as YYMMDDhhmmss (Japan time, as sent),
// "ND" + the 14-digit event id, the report kind (9 final, 0 otherwise), the
// two-digit serial, N/S + latitude and E/W + longitude in tenths of a degree,
// depth in km (3 digits), magnitude in tenths (2 digits), the five accuracy digits
// and the three-digit codes of the areas under a warning.
//
// Accuracy digits and area codes come from "OriginalText", JMA's code-format
// telegram, when it is present: its RK block and the EBI areas flagged as under a
// warning (areas only forecast are left out, so the receiver never takes them for
// a warning of the user's area). Without it the first three accuracy digits come
// from the "Accuracy" texts (the last two are "/", unknown), and a message that
// names warning areas is dropped, as their codes are only in the code-format text.
//
// Anything that does not fit the columns (a missing or malformed field, an event
// id that is not 14 digits, a serial above 99, a magnitude of 10 or more, a test
// message, a code-format text of another event) drops the message with a reason:
// nothing is ever served half-filled.
//
// AShiftSecs moves both times by that many seconds (a replay shown live).
TEqBridgeMapped MapEqBridgeMessage(const QByteArray& AJson, qint64 AShiftSecs = 0);
