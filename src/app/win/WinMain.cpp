// ulmarox: the receiver with its windows. It sits in the notification area,
// alerts with the alert window and its sound, and keeps the settings screens.

#include "app/DisplayPlatform.h"
#include "app/VeskSingleInstance.h"
#include "app/win/VeskWinApp.h"
#include "net/VeskVersionChecker.h"

#include <QApplication>
#include <QMessageBox>
#include <QProcessEnvironment>

#include <optional>

namespace {

const char* const UsageText = "使い方: ulmarox [オプション]\n"
                              "緊急地震速報（予報）を受信し、所在地での予測震度とS波到達までの秒数を求め、\n"
                              "警報条件を満たすと通報画面と警報音で知らせます。\n"
                              "\n"
                              "Usage: ulmarox [options]\n"
                              "Receives Earthquake Early Warnings and alerts with a window and an alarm when\n"
                              "the estimated shaking at your location meets your conditions.\n"
                              "\n"
                              "Options (\"-\" or \"/\", case does not matter):\n"
                              "  -DebugOnLocal         ローカルのサーバー (127.0.0.1:8000) に接続 / connect to a "
                              "local server\n"
                              "  -EqServer HOST        接続先サーバー / EQ server host\n"
                              "  -EqServerPort PORT    接続先ポート / EQ server port\n"
                              "  -ConId ID             接続ID / connection id (default: 12 random characters)\n"
                              "  -Help                 この説明 / this text\n";

} // namespace

int main(int argc, char* argv[])
{
    if (const std::optional<int> status = TVeskProgram::BeforeApplication(argc, argv, UsageText)) {
        return *status;
    }
    TVeskWinApp::TOptions options;
    const TDisplayPlatformChoice platform = ChooseDisplayPlatform(QProcessEnvironment::systemEnvironment());
    if (!platform.Platform.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", platform.Platform.toLatin1());
    }
    options.PlatformNote = platform.LogNote;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("UlmaroX"));
    QApplication::setApplicationVersion(VeskProgramVersion());
    // The program lives in the notification area: closing windows does not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    TVeskSingleInstance instance;
    if (const int status = instance.ClaimForStart(); status >= 0) {
        if (status != 0) {
            QMessageBox::critical(nullptr, QStringLiteral("Ulmaro X"),
                                  QStringLiteral("多重起動を確認できないため起動できません。\n") +
                                      instance.ErrorString());
        }
        return status;
    }

    TVeskEnvironment env = TVeskEnvironment::FromSystem();
    env.ProgramFolder = QApplication::applicationDirPath();
    TVeskWinApp program(std::move(env), options);
    program.Start(QApplication::arguments().mid(1));
    return program.Exec();
}
