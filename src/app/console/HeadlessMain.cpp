// ulmarox-headless: the receiver without windows. Events go to standard output
// as JSON lines; a countdown goes to standard error while an alert runs.

#include "alert/EqAlertController.h"
#include "alert/EqTelegramDispatcher.h"
#include "app/VeskAppCore.h"
#include "app/VeskSingleInstance.h"
#include "app/console/VeskHeadlessPrinter.h"
#include "app/console/VeskProgram.h"
#include "config/VeskAppSettings.h"
#include "config/VeskCommandLine.h"
#include "defines/VeskPlatform.h"
#include "history/VeskData.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <optional>

namespace {

const char* const UsageText =
    "使い方: ulmarox-headless [オプション]\n"
    "緊急地震速報（予報）を受信し、所在地での予測震度とS波到達までの秒数を求め、\n"
    "警報条件を満たすと標準出力に JSON 行で知らせます。\n"
    "\n"
    "Usage: ulmarox-headless [options]\n"
    "Receives Earthquake Early Warnings, estimates the intensity and the S-wave\n"
    "arrival at your location and reports every event as one JSON object per line\n"
    "on standard output (a countdown goes to standard error).\n"
    "\n"
    "Options (\"-\" or \"/\", case does not matter):\n"
    "  -DebugOnLocal         ローカルのサーバー (127.0.0.1:8000) に接続 / connect to a local server\n"
    "  -EqServer HOST        接続先サーバー / EQ server host\n"
    "  -EqServerPort PORT    接続先ポート / EQ server port\n"
    "  -ConId ID             接続ID / connection id (default: 12 random characters)\n"
    "  -Feed                 公開フィードから受信 (eqbridge を起動して接続) / receive the public feeds\n"
    "                        through eqbridge, started and stopped by the receiver (FeedSources in\n"
    "                        section NetConfig_Sheet lists them)\n"
    "  -ListHistory          保存された履歴を新しい順に表示して終了 / print the stored history, newest first, and "
    "exit\n"
    "  -Help                 この説明 / this text\n"
    "\n"
    "Events: status, alert, skip, rejected, cancel, end, epicentre_name, arrival, history, invalid.\n"
    "Settings and history live in $APPDATA/BrenvikCorporation/UlmaroX (or the XDG\n"
    "configuration folder when APPDATA is not set). SIGINT, SIGTERM and SIGHUP end the\n"
    "program in order: settings and history are saved.\n";

int ListHistory()
{
    const QString fileName = TVeskAppSettings::GetAppHistoryDbFileName();
    if (!QFileInfo::exists(fileName)) {
        return 0;
    }
    QList<QStringList> rows;
    QString error;
    if (!TVeskDataMdl::ReadEqHistoryFile(fileName, rows, &error)) {
        std::fprintf(stderr, "履歴を読み込めませんでした / cannot read the history: %s\n", qUtf8Printable(error));
        return 1;
    }
    const QStringList fields = TVeskDataMdl::GetFieldNames();
    TVeskHeadlessPrinter printer;
    for (const QStringList& row : rows) {
        TVeskJsonLine line;
        for (int i = 0; i < fields.size() && i < row.size(); ++i) {
            line.Add(qPrintable(fields[i]), row[i]);
        }
        printer.Print(line);
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (const std::optional<int> status = TVeskProgram::BeforeApplication(argc, argv, UsageText)) {
        return *status;
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("UlmaroX"));
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (TVeskCommandLine::FindOption(arguments, QStringLiteral("ListHistory"))) {
        return ListHistory();
    }

    TVeskSingleInstance instance;
    if (const int status = instance.ClaimForStart(); status >= 0) {
        return status;
    }

    TVeskProgram program(TVeskEnvironment::FromSystem());
    TVeskAppCore& core = program.Core();
    // The JSON lines keep standard output to themselves: a plug-in's prints go to standard error.
    TVeskHeadlessPrinter printer(VeskTakeStandardOutput(), stderr);
    QObject::connect(&core, &TVeskAppCore::userWarning, &app,
                     [&printer](const QString& Text) { printer.UserWarning(Text); });

    core.OpenStores(arguments);
    core.CreateAlertController();
    TEqTelegramDispatcher* dispatcher = core.Dispatcher();
    QObject::connect(
        dispatcher, &TEqTelegramDispatcher::alertStarted, &app,
        [&printer, dispatcher](TAlertKind Kind, const TEqTelegram01& Teleg, double Sis, double Sec, bool Warning) {
            printer.EqAlertStarted(Kind, Teleg, Sis, Sec, Warning, dispatcher->LastAreaForecast());
        });
    QObject::connect(dispatcher, &TEqTelegramDispatcher::alertSkipped, &app,
                     [&printer](const TEqTelegram01& Teleg) { printer.EqAlertSkipped(Teleg); });
    QObject::connect(dispatcher, &TEqTelegramDispatcher::telegramRejected, &app,
                     [&printer](const TEqTelegram01& Teleg, TAlertRejectReason Reason) {
                         printer.EqTelegramRejected(Teleg, Reason);
                     });
    QObject::connect(dispatcher, &TEqTelegramDispatcher::epicentreNamed, &app,
                     [&printer](const TEqTelegram10& Teleg) { printer.EqEpicentreNamed(Teleg); });
    QObject::connect(dispatcher, &TEqTelegramDispatcher::serverCommStatusChanged, &app,
                     [&printer](TServerCommStatus Status, const QString&) { printer.ServerCommStatusChanged(Status); });
    TEqAlertController* alert = core.AlertController();
    QObject::connect(alert, &TEqAlertController::ticked, &app,
                     [&printer, alert](const TEqTelegram01& Teleg, const TAlertTick& Tick) {
                         printer.AlertTicked(Teleg, Tick, alert->GetAlertEq10Telegram().GetEpicName());
                     });
    QObject::connect(alert, &TEqAlertController::eqCancelled, &app,
                     [&printer](const TEqTelegram01& Teleg) { printer.EqCancelled(Teleg); });
    QObject::connect(alert, &TEqAlertController::eqEnded, &app,
                     [&printer](const TEqTelegram01& Teleg, TEqEndReason Reason) { printer.EqEnded(Teleg, Reason); });
    // No window to close itself after a cancel: the alert ends as a closed one does.
    QObject::connect(alert, &TEqAlertController::closeRequested, alert, &TEqAlertController::StopAlerting,
                     Qt::QueuedConnection);
    QObject::connect(alert, &TEqAlertController::arrived, &app,
                     [&printer](const TEqTelegram01& Teleg) { printer.AlertArrived(Teleg); });
    QObject::connect(
        alert, &TEqAlertController::historyWritten, &app,
        [&printer](const TEqHistory& History, bool Inserted) { printer.AlertRegistered(History, Inserted); });
    QObject::connect(&core, &TVeskAppCore::invalidTelegram, &app,
                     [&printer](const QString& Line) { printer.InvalidLine(Line); });
    core.StartReceiver();
    core.LoadPlugIn(nullptr);
    program.CatchTerminationSignals();
    return program.Exec();
}
