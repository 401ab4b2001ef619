#include "app/win/TrayIcon.h"

#include "logging/VeskLogging.h"

#include <QMenu>
#include <QSystemTrayIcon>

TVeskTrayIcon::TVeskTrayIcon(TVeskLogger* ALogger, QObject* AParent)
    : QObject(AParent), FLogger(TVeskLogger::OrNull(ALogger)), FIcon(new QSystemTrayIcon(this)), FMenu(new QMenu())
{
    VeskInitAuxResources();
    for (int status = 0; status < 3; ++status) {
        for (int frame = 0; frame < VeskAppArt::TrayFrameCount; ++frame) {
            FFrames[status][frame] = QIcon(VeskAppArt::TrayIconPath(TServerCommStatus(status), frame));
        }
    }
    const struct
    {
        const char* Caption;
        TVeskScreen Screen;
    } screens[] = {
        {"ホーム(&H)", vscHome},  {"設定(&C)", vscConfig},   {"ネットワーク設定(&N)", vscNetConfig},
        {"履歴(&H)", vscHistory}, {"訓練(&T)", vscTraining}, {"バージョン情報(&A)", vscAbout},
    };
    for (const auto& s : screens) {
        const TVeskScreen screen = s.Screen;
        FMenu->addAction(QString::fromUtf8(s.Caption), this, [this, screen] { emit screenRequested(screen); });
    }
    FMenu->addSeparator();
    FMenu->addAction(QStringLiteral("終了(&X)"), this, &TVeskTrayIcon::exitRequested);
    FIcon->setContextMenu(FMenu);
    connect(FIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason Reason) {
        if (Reason == QSystemTrayIcon::DoubleClick || Reason == QSystemTrayIcon::Trigger) {
            emit restoreRequested();
        }
    });
    FAnimation.setInterval(FrameIntervalMs);
    connect(&FAnimation, &QTimer::timeout, this, &TVeskTrayIcon::NextFrame);
    FAvailabilityPoll.setInterval(AvailabilityPollMs);
    connect(&FAvailabilityPoll, &QTimer::timeout, this, &TVeskTrayIcon::CheckAvailability);
    SetServerCommStatus(scsDisconnected, QStringLiteral("未接続 - サーバーと接続されていません。"));
}

TVeskTrayIcon::~TVeskTrayIcon()
{
    delete FMenu;
}

QList<QAction*> TVeskTrayIcon::MenuActions() const
{
    return FMenu->actions();
}

QString TVeskTrayIcon::Hint() const
{
    return FIcon->toolTip();
}

void TVeskTrayIcon::Show()
{
    FShown = true;
    FAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    if (!FAvailable) {
        FLogger->Send(vmtWarning, QStringLiteral("No notification area on this desktop; the main window stays on "
                                                 "the taskbar instead of hiding."));
    }
    FIcon->show();
    FAnimation.start();
    FAvailabilityPoll.start();
}

void TVeskTrayIcon::SetServerCommStatus(TServerCommStatus AStatus, const QString& AHint)
{
    // A status outside the known ones keeps the icons; the hint is the caller's.
    if (AStatus >= scsDisconnected && AStatus <= scsWaiting) {
        FStatus = AStatus;
        FFrame = 0;
    }
    FIcon->setToolTip(AHint);
    UpdateIcon();
}

void TVeskTrayIcon::NextFrame()
{
    FFrame = (FFrame + 1) % VeskAppArt::TrayFrameCount;
    UpdateIcon();
}

void TVeskTrayIcon::UpdateIcon()
{
    FIcon->setIcon(FFrames[FStatus][FFrame]);
}

void TVeskTrayIcon::CheckAvailability()
{
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    if (available == FAvailable) {
        return;
    }
    FAvailable = available;
    FLogger->Send(vmtNotable, available ? QStringLiteral("A notification area appeared; the program hides there.")
                                        : QStringLiteral("The notification area went away; the main window stays "
                                                         "on the taskbar."));
    if (available && FShown) {
        FIcon->show();
    }
    emit availabilityChanged(available);
}
