#pragma once

#include "alert/AlertTiming.h"
#include "alert/EqAlertController.h"
#include "alert/EqTelegramDispatcher.h"

#include <QString>

#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

// One JSON object written on a line, keys in the order they were added.
class TVeskJsonLine
{
public:
    TVeskJsonLine& Add(const char* Key, const QString& Value);
    TVeskJsonLine& Add(const char* Key, const char* Value) { return Add(Key, QString::fromUtf8(Value)); }
    TVeskJsonLine& Add(const char* Key, qint64 Value);
    TVeskJsonLine& Add(const char* Key, int Value) { return Add(Key, qint64(Value)); }
    TVeskJsonLine& Add(const char* Key, double Value);
    TVeskJsonLine& Add(const char* Key, bool Value);
    TVeskJsonLine& AddPair(const char* Key, double First, double Second);
    TVeskJsonLine& AddObject(const char* Key, const TVeskJsonLine& Inner);
    QString ToString() const;

    static QString Quote(const QString& Text);
    static QString Number(double Value);

private:
    std::vector<std::pair<QString, QString>> FItems;
};

// The console face of the receiver: every event as one JSON object per line on
// standard output, flushed at once; a countdown line once a second on standard
// error while an alert runs, and warnings for the user there too. Control
// characters never reach the terminal unescaped. Printing only: the core decides, this shows.
class TVeskHeadlessPrinter
{
public:
    TVeskHeadlessPrinter(std::FILE* Out = stdout, std::FILE* Err = stderr) : FOut(Out), FErr(Err) {}

    // AJma: JMA's forecast for the user's area in that report, printed as "jma" when there is one.
    void EqAlertStarted(TAlertKind Kind, const TEqTelegram01& Eq01Teleg, double EstSIScale, double EstSWaveSec,
                        bool IsWarning, const std::optional<TEqAreaForecast>& AJma = std::nullopt);
    void EqAlertSkipped(const TEqTelegram01& Eq01Teleg);
    void EqTelegramRejected(const TEqTelegram01& Eq01Teleg, TAlertRejectReason Reason);
    void EqEpicentreNamed(const TEqTelegram10& Eq10Teleg);
    void ServerCommStatusChanged(TServerCommStatus Status);

    // AName: the primary earthquake's epicentre name, where known.
    void AlertTicked(const TEqTelegram01& Eq01Teleg, const TAlertTick& Tick, const QString& AName = QString());
    void AlertArrived(const TEqTelegram01& Eq01Teleg);
    void AlertRegistered(const TEqHistory& EqHistory, bool Inserted);
    void EqCancelled(const TEqTelegram01& Eq01Teleg);
    void EqEnded(const TEqTelegram01& Eq01Teleg, TEqEndReason Reason);

    void InvalidLine(const QString& Line);
    // A warning for the user as one line on standard error: "警告: <text>".
    void UserWarning(const QString& AText);
    void Print(const TVeskJsonLine& Line);

    static QString StatusName(TServerCommStatus Status);
    // The countdown line of one tick, as written to standard error.
    static QString CountdownLine(const TEqTelegram01& Eq01Teleg, const TAlertTick& Tick,
                                 const QString& AName = QString());

private:
    // {"event":…, "eq_id":…, "telegram_no":…}: the start of every line about one report.
    static TVeskJsonLine ReportEvent(const char* AEvent, const TEqTelegram01& Eq01Teleg);

    std::FILE* FOut;
    std::FILE* FErr;
};
