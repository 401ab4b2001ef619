#include "app/win/MainFrm.h"
#include "app/win/AboutScreen.h"
#include "app/win/HomeScreen.h"
#include "app/win/ScreenParts.h"
#include "app/win/SettingsScreens.h"
#include "config/VeskAppSettings.h"
#include "logging/VeskLogging.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QLabel>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

namespace {

const char* const MenuCaptions[vscCount] = {"ホーム", "設定", "ネットワーク設定", "履歴", "訓練", "バージョン情報"};

constexpr int PageTop = TMainFrm::HeaderHeight;
constexpr int PageHeight = TMainFrm::ClientHeight - TMainFrm::HeaderHeight;

} // namespace

TMainFrm::TMainFrm(TVeskAppSettings& ASettings, TVeskLogger* ALogger, const QDateTime& ATimeOfStart,
                   const QString& AProgramVersion, QWidget* AParent)
    : QWidget(AParent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      FSettings(ASettings), FLogger(TVeskLogger::OrNull(ALogger)), FTimeOfStart(ATimeOfStart),
      FProgramVersion(AProgramVersion), FBinder(new TSettingBinder(ASettings, this))
{
    VeskInitAuxResources();
    setObjectName(QStringLiteral("MainFrm"));
    setWindowTitle(QStringLiteral("Ulmaro X - 緊急地震速報受信"));
    setWindowIcon(VeskAppArt::AppIcon());
    setFixedSize(ClientWidth, ClientHeight);

    MakeHeader();
    FPages = new QStackedWidget(this);
    FPages->setGeometry(MenuCompactWidth, PageTop, ClientWidth - MenuCompactWidth, PageHeight);
    FHome = new THomeScreen(*FBinder, FLogger, FTimeOfStart, FTrayAvailable, this);
    connect(FHome, &THomeScreen::latestCheckRequested, this, &TMainFrm::latestCheckRequested);
    connect(FHome, &THomeScreen::exitRequested, this, &TMainFrm::exitRequested);
    FScreenPages[vscHome] = FHome;
    FScreenPages[vscConfig] = new TConfigScreen(*FBinder, this);
    FScreenPages[vscNetConfig] = new TNetConfigScreen(*FBinder, this);
    FScreenPages[vscHistory] = new QWidget(this);
    FScreenPages[vscTraining] = new QWidget(this);
    FScreenPages[vscAbout] = new TAboutScreen(FProgramVersion, this);
    for (QWidget* page : FScreenPages) {
        FPages->addWidget(page);
    }
    MakeSideMenu();
    ActivateScreen(vscHome);

    FBinder->ShowAll();
    connect(&FSettings, &TVeskAppSettings::countersChanged, this, [this] {
        PutNumOfEqTelegrams(FSettings.GetNumOfTotalEqTelegrams());
        PutNumOfAlerts(FSettings.GetNumOfTotalAlerts());
    });
    PutNumOfEqTelegrams(FSettings.GetNumOfTotalEqTelegrams());
    PutNumOfAlerts(FSettings.GetNumOfTotalAlerts());

    FMainTmr.setInterval(1000);
    connect(&FMainTmr, &QTimer::timeout, FHome, &THomeScreen::PutOperatingTime);
    FMainTmr.start();
    FHome->PutOperatingTime();
}

QWidget* TMainFrm::MakeHeader()
{
    auto* header = new QWidget(this);
    header->setGeometry(0, 0, ClientWidth, HeaderHeight);
    auto* logo = new QLabel(header);
    logo->setPixmap(QPixmap(VeskAppArt::HeaderLogoPath()));
    logo->setGeometry(0, 0, 220, HeaderHeight);
    auto* band = new QLabel(header);
    band->setPixmap(QPixmap(VeskAppArt::HeaderBandPath()));
    band->setGeometry(220, 0, ClientWidth - 220, HeaderHeight);
    return header;
}

void TMainFrm::MakeSideMenu()
{
    // The menu lies over the pages: opening it widens it without moving them.
    FMenu = new QWidget(this);
    FMenu->setObjectName(QStringLiteral("SplitView"));
    FMenu->setAutoFillBackground(true);
    QPalette p = FMenu->palette();
    p.setColor(QPalette::Window, QColor(0x2b, 0x3a, 0x4f));
    p.setColor(QPalette::ButtonText, Qt::white);
    FMenu->setPalette(p);
    // The style's own hover and checked fills are light: white captions on them
    // could not be read, so the menu draws its own, darker ones.
    FMenu->setStyleSheet(QStringLiteral("QToolButton { color: white; border: none; border-radius: 3px; }"
                                        "QToolButton:hover { background: #3f5675; }"
                                        "QToolButton:checked { background: #52719b; }"
                                        "QToolButton:checked:hover { background: #5b7ca8; }"));
    FMenu->setGeometry(0, PageTop, MenuCompactWidth, PageHeight);
    FMenu->installEventFilter(this);
    auto* layout = new QVBoxLayout(FMenu);
    layout->setContentsMargins(0, 4, 0, 4);
    layout->setSpacing(2);
    FMenuGroup = new QButtonGroup(this);
    FMenuGroup->setExclusive(true);
    for (int i = 0; i < vscCount; ++i) {
        auto* btn = new QToolButton(FMenu);
        btn->setObjectName(QStringLiteral("MenuBtn%1").arg(i));
        btn->setCheckable(true);
        btn->setAutoRaise(true);
        btn->setIcon(QIcon(VeskAppArt::MenuIconPath(TVeskScreen(i))));
        btn->setIconSize(QSize(40, 40));
        btn->setText(QString::fromUtf8(MenuCaptions[i]));
        btn->setToolButtonStyle(Qt::ToolButtonIconOnly);
        btn->setFixedHeight(58);
        btn->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        btn->installEventFilter(this);
        FMenuGroup->addButton(btn, i);
        FMenuBtns[i] = btn;
        layout->addWidget(btn);
        connect(btn, &QToolButton::clicked, this, [this, i] { ActivateScreen(TVeskScreen(i)); });
    }
    layout->addStretch();
    FMenu->raise();
}

void TMainFrm::SetMenuOpen(bool AOpen)
{
    if (AOpen == FMenuOpen) {
        return;
    }
    FMenuOpen = AOpen;
    FMenu->resize(AOpen ? MenuOpenWidth : MenuCompactWidth, PageHeight);
    for (QToolButton* btn : FMenuBtns) {
        btn->setToolButtonStyle(AOpen ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
    }
    FMenu->raise();
}

bool TMainFrm::eventFilter(QObject* Watched, QEvent* Event)
{
    if (FMenu && (Watched == FMenu || FMenu->isAncestorOf(qobject_cast<QWidget*>(Watched)))) {
        if (Event->type() == QEvent::Enter) {
            SetMenuOpen(true);
        } else if (Event->type() == QEvent::Leave && Watched == FMenu) {
            SetMenuOpen(false);
        }
    }
    return QWidget::eventFilter(Watched, Event);
}

void TMainFrm::SetScreenPage(TVeskScreen AScreen, QWidget* APage)
{
    QWidget* old = FScreenPages[AScreen];
    const int index = FPages->indexOf(old);
    FPages->insertWidget(index, APage);
    FPages->removeWidget(old);
    old->deleteLater();
    APage->setEnabled(ActiveScreen() == AScreen);
    FScreenPages[AScreen] = APage;
}

QWidget* TMainFrm::ScreenPage(TVeskScreen AScreen) const
{
    return FScreenPages[AScreen];
}

TVeskScreen TMainFrm::ActiveScreen() const
{
    return TVeskScreen(FPages->currentIndex());
}

void TMainFrm::DisableAllScreens()
{
    for (QWidget* page : FScreenPages) {
        page->setEnabled(false);
    }
}

void TMainFrm::ActivateScreen(TVeskScreen AScreen)
{
    FPages->setCurrentWidget(FScreenPages[AScreen]);
    SetMenuOpen(false);
    DisableAllScreens();
    FScreenPages[AScreen]->setEnabled(true);
    FMenuBtns[AScreen]->setChecked(true);
}

void TMainFrm::PutHomeSreen()
{
    ActivateScreen(vscHome);
}

void TMainFrm::PutConfigScreen()
{
    ActivateScreen(vscConfig);
}

void TMainFrm::PutNetConfigScreen()
{
    ActivateScreen(vscNetConfig);
}

void TMainFrm::PutHistoryScreen()
{
    ActivateScreen(vscHistory);
}

void TMainFrm::PutTrainingScreen()
{
    ActivateScreen(vscTraining);
}

void TMainFrm::PutAboutScreen()
{
    ActivateScreen(vscAbout);
}

void TMainFrm::ShowScreen(TVeskScreen AScreen)
{
    ActivateScreen(AScreen);
    RestoreFromTray();
}

void TMainFrm::RestoreFromTray()
{
    showNormal();
    raise();
    activateWindow();
}

void TMainFrm::HideToTray()
{
    if (FTrayAvailable) {
        hide();
    } else {
        // Without a notification area a hidden window could not be reached again.
        showMinimized();
    }
}

void TMainFrm::SetTrayAvailable(bool AAvailable)
{
    FTrayAvailable = AAvailable;
    FHome->SetTrayAvailable(AAvailable);
}

void TMainFrm::PutNumOfEqTelegrams(int ACount)
{
    FHome->PutNumOfEqTelegrams(ACount);
}

void TMainFrm::PutNumOfAlerts(int ACount)
{
    FHome->PutNumOfAlerts(ACount);
}

void TMainFrm::PutCommStatusText(const QString& AHint)
{
    FHome->PutCommStatusText(AHint);
}

void TMainFrm::PutSoundOutput(const QString& AProblem)
{
    FHome->PutSoundOutput(AProblem);
}

void TMainFrm::PutOperatingTime()
{
    FHome->PutOperatingTime();
}

void TMainFrm::closeEvent(QCloseEvent* Event)
{
    if (!FAppExit) {
        // Closing only hides: the receiver keeps running.
        Event->ignore();
        HideToTray();
        return;
    }
    FMainTmr.stop();
    Event->accept();
    emit exitAccepted();
}

void TMainFrm::changeEvent(QEvent* Event)
{
    if (Event->type() == QEvent::WindowStateChange && isMinimized() && FTrayAvailable && isVisible()) {
        // Minimising hides to the notification area, after the state change is done.
        QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
    }
    QWidget::changeEvent(Event);
}
