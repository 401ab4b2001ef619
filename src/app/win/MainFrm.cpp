#include "app/win/MainFrm.h"
#include "app/win/Autostart.h"

#include "auxiliary/SelectPrefOffice.h"
#include "auxiliary/VeskAgreement.h"
#include "config/VeskAppSettings.h"
#include "logging/VeskLogging.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleFactory>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

#include <functional>

namespace {

const char* const MenuCaptions[vscCount] = {"ホーム", "設定", "ネットワーク設定", "履歴", "訓練", "バージョン情報"};

constexpr int PageTop = TMainFrm::HeaderHeight;
constexpr int PageHeight = TMainFrm::ClientHeight - TMainFrm::HeaderHeight;

QLabel* Caption(const QString& Text, QWidget* Parent)
{
    auto* label = new QLabel(Text, Parent);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    return label;
}

QLabel* Note(const QString& Text, QWidget* Parent)
{
    auto* label = new QLabel(Text, Parent);
    label->setWordWrap(true);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, QColor(0x60, 0x60, 0x60));
    label->setPalette(p);
    return label;
}

QLineEdit* ReadOnlyField(const QString& Name, QWidget* Parent)
{
    auto* edit = new QLineEdit(Parent);
    edit->setObjectName(Name);
    edit->setReadOnly(true);
    QPalette p = edit->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Button));
    edit->setPalette(p);
    return edit;
}

QString Fixed(const QString& Text, int Decimals)
{
    bool ok = false;
    const double value = Text.toDouble(&ok);
    return ok ? QString::number(value, 'f', Decimals) : Text;
}

} // namespace

TMainFrm::TMainFrm(TVeskAppSettings& ASettings, TVeskLogger* ALogger, const QDateTime& ATimeOfStart,
                   const QString& AProgramVersion, QWidget* AParent)
    : QWidget(AParent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      FSettings(ASettings), FLogger(TVeskLogger::OrNull(ALogger)), FTimeOfStart(ATimeOfStart),
      FProgramVersion(AProgramVersion)
{
    VeskInitAuxResources();
    setObjectName(QStringLiteral("MainFrm"));
    setWindowTitle(QStringLiteral("Ulmaro X - 緊急地震速報受信"));
    setWindowIcon(VeskAppArt::AppIcon());
    setFixedSize(ClientWidth, ClientHeight);

    MakeHeader();
    FPages = new QStackedWidget(this);
    FPages->setGeometry(MenuCompactWidth, PageTop, ClientWidth - MenuCompactWidth, PageHeight);
    FScreenPages[vscHome] = MakeHomeScreen();
    FScreenPages[vscConfig] = MakeConfigScreen();
    FScreenPages[vscNetConfig] = MakeNetConfigScreen();
    FScreenPages[vscHistory] = new QWidget(this);
    FScreenPages[vscTraining] = new QWidget(this);
    FScreenPages[vscAbout] = MakeAboutScreen();
    for (QWidget* page : FScreenPages) {
        FPages->addWidget(page);
    }
    MakeSideMenu();
    ActivateScreen(vscHome);

    FUpdatingControls = true;
    for (const auto& [key, show] : FShowers) {
        show();
    }
    FUpdatingControls = false;
    connect(&FSettings, &TVeskAppSettings::valueChanged, this, &TMainFrm::ShowSettingValue);
    connect(&FSettings, &TVeskAppSettings::countersChanged, this, [this] {
        PutNumOfEqTelegrams(FSettings.GetNumOfTotalEqTelegrams());
        PutNumOfAlerts(FSettings.GetNumOfTotalAlerts());
    });
    PutNumOfEqTelegrams(FSettings.GetNumOfTotalEqTelegrams());
    PutNumOfAlerts(FSettings.GetNumOfTotalAlerts());

    FMainTmr.setInterval(1000);
    connect(&FMainTmr, &QTimer::timeout, this, &TMainFrm::PutOperatingTime);
    FMainTmr.start();
    PutOperatingTime();
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
    if (Event->type() == QEvent::MouseButtonDblClick && Watched->objectName() == QLatin1String("AboutVeskotanImg")) {
        const Qt::KeyboardModifiers mods = static_cast<QMouseEvent*>(Event)->modifiers();
        if ((mods & Qt::ControlModifier) && (mods & Qt::AltModifier)) {
            QApplication::beep();
        }
        return true;
    }
    if (FMenu && (Watched == FMenu || FMenu->isAncestorOf(qobject_cast<QWidget*>(Watched)))) {
        if (Event->type() == QEvent::Enter) {
            SetMenuOpen(true);
        } else if (Event->type() == QEvent::Leave && Watched == FMenu) {
            SetMenuOpen(false);
        }
    }
    return QWidget::eventFilter(Watched, Event);
}

QWidget* TMainFrm::MakeHomeScreen()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("TabHome"));
    auto* grid = new QGridLayout();
    grid->setHorizontalSpacing(12);
    const struct
    {
        const char* Caption;
        const char* Name;
        QLabel*& Value;
    } rows[] = {
        {"現在時刻:", "PresentTimeLbl", FPresentTimeLbl},         {"起動時刻:", "TimeOfStartLbl", FTimeOfStartLbl},
        {"稼働時間:", "OperatingTimeLbl", FOperatingTimeLbl},     {"接続状況:", "CommStatusLbl", FCommStatusLbl},
        {"受信回数:", "NumOfEqTelegramLbl", FNumOfEqTelegramLbl}, {"通報回数:", "NumOfAlertLbl", FNumOfAlertLbl},
        {"音声出力:", "SoundOutputLbl", FSoundOutputLbl},
    };
    int r = 0;
    for (const auto& row : rows) {
        grid->addWidget(Caption(QString::fromUtf8(row.Caption), page), r, 0, Qt::AlignLeft);
        row.Value = new QLabel(page);
        row.Value->setObjectName(QString::fromUtf8(row.Name));
        row.Value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // The whole column: a long status wraps instead of being cut.
        grid->addWidget(row.Value, r, 1);
        ++r;
    }
    FTimeOfStartLbl->setText(ClockText(FTimeOfStart));
    grid->setColumnStretch(1, 1);
    FCommStatusLbl->setWordWrap(true);
    FSoundOutputLbl->setWordWrap(true);

    auto* side = new QVBoxLayout();
    auto* latest = new QPushButton(QStringLiteral("最新版の確認"), page);
    latest->setObjectName(QStringLiteral("LatestCheckBtn"));
    connect(latest, &QPushButton::clicked, this, &TMainFrm::latestCheckRequested);
    side->addWidget(latest);
    auto* mascot = new QLabel(page);
    mascot->setObjectName(QStringLiteral("AboutVeskotanImg"));
    mascot->setPixmap(QPixmap(VeskAppArt::MascotPath()));
    mascot->installEventFilter(this);
    side->addWidget(mascot, 0, Qt::AlignHCenter);
    // Without a notification area the close box only minimises: the exit is here.
    FExitBtn = new QPushButton(QStringLiteral("終了"), page);
    FExitBtn->setObjectName(QStringLiteral("ExitBtn"));
    FExitBtn->setToolTip(QStringLiteral("Ulmaro X を終了します（通知領域がないため）"));
    FExitBtn->setVisible(!FTrayAvailable);
    connect(FExitBtn, &QPushButton::clicked, this, &TMainFrm::exitRequested);
    side->addWidget(FExitBtn);
    side->addStretch();

    // One row: the page has no height to spare for a box.
    auto* lookLayout = new QHBoxLayout();
    lookLayout->addWidget(Caption(QStringLiteral("外観 / Appearance:"), page));
    auto* styles = new QComboBox(page);
    styles->setObjectName(QStringLiteral("AppAppearanceCmb"));
    styles->addItems(QStyleFactory::keys());
    styles->setCurrentText(QApplication::style()->name());
    for (int i = 0; i < styles->count(); ++i) {
        if (styles->itemText(i).compare(QApplication::style()->name(), Qt::CaseInsensitive) == 0) {
            styles->setCurrentIndex(i);
        }
    }
    connect(styles, &QComboBox::textActivated, this, [](const QString& Name) { QApplication::setStyle(Name); });
    lookLayout->addWidget(styles, 1);
    TVeskAppSettings& s = FSettings;
    auto* autoIconic = BindCheck(
        NewCheck("起動時に最小化する。", "EnableAutoIconicChk", page), "EnableAutoIconic",
        [&s] { return s.GetEnableAutoIconic(); }, [&s](bool On) { s.SetEnableAutoIconic(On); });
    auto* alwaysSound = BindCheck(
        NewCheck("通報時は必ずアラーム音を再生する。", "AlwaysAlertSoundOnChk", page), "AlwaysAlertSoundOn",
        [&s] { return s.GetAlwaysAlertSoundOn(); }, [&s](bool On) { s.SetAlwaysAlertSoundOn(On); });
    auto* notify = BindCheck(
        NewCheck("通報をデスクトップ通知でも知らせる。", "DesktopNotificationChk", page), "DesktopNotification",
        [&s] { return s.GetDesktopNotification(); }, [&s](bool On) { s.SetDesktopNotification(On); });
    auto* autoZoom = BindCheck(
        NewCheck("通報画面の地図を震源と所在地に合わせて自動で拡大する。", "AutoZoomMapChk", page), "AutoZoomMap",
        [&s] { return s.GetAutoZoomMap(); }, [&s](bool On) { s.SetAutoZoomMap(On); });

    auto* autostart = new QCheckBox(QStringLiteral("ログイン時に起動する"), page);
    autostart->setObjectName(QStringLiteral("AutostartChk"));
    TVeskAutostart::Bind(autostart, FLogger);

    auto* top = new QHBoxLayout();
    top->addLayout(grid, 1);
    top->addLayout(side);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->setSpacing(4);
    layout->addLayout(top);
    layout->addLayout(lookLayout);
    layout->addWidget(autoIconic);
    layout->addWidget(alwaysSound);
    layout->addWidget(notify);
    layout->addWidget(autoZoom);
    layout->addWidget(autostart);
    layout->addStretch();
    return page;
}

// Inside the settings page's boxes: the page is as tall as the window allows.
const QMargins GroupMargins(9, 4, 9, 4);

QWidget* TMainFrm::MakeConfigScreen()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("TabConfig"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(10, 4, 10, 4);
    layout->setSpacing(4);

    auto* loc = new QGroupBox(QStringLiteral("所在地"), page);
    auto* locGrid = new QGridLayout(loc);
    locGrid->setContentsMargins(GroupMargins);
    locGrid->setVerticalSpacing(3);
    locGrid->addWidget(new QLabel(QStringLiteral("名称"), loc), 0, 0);
    auto* locName = ReadOnlyField(QStringLiteral("LocNameEdt"), loc);
    locGrid->addWidget(locName, 0, 1);
    auto* pick = new QPushButton(QStringLiteral("県庁所在地一覧"), loc);
    pick->setObjectName(QStringLiteral("PrefOfficeListBtn"));
    connect(pick, &QPushButton::clicked, this, &TMainFrm::PickOffice);
    locGrid->addWidget(pick, 0, 2, 1, 2);
    locGrid->addWidget(new QLabel(QStringLiteral("緯度"), loc), 1, 0);
    auto* locLat = ReadOnlyField(QStringLiteral("LocLatNEdt"), loc);
    locGrid->addWidget(locLat, 1, 1);
    locGrid->addWidget(new QLabel(QStringLiteral("経度"), loc), 1, 2);
    auto* locLong = ReadOnlyField(QStringLiteral("LocLongNEdt"), loc);
    locGrid->addWidget(locLong, 1, 3);
    locGrid->addWidget(new QLabel(QStringLiteral("地域コード"), loc), 2, 0);
    auto* locArea = ReadOnlyField(QStringLiteral("LocAreaCodeNEdt"), loc);
    locGrid->addWidget(locArea, 2, 1);
    locGrid->addWidget(new QLabel(QStringLiteral("地盤増幅率"), loc), 2, 2);
    auto* locAmp = ReadOnlyField(QStringLiteral("LocGAmpNEdt"), loc);
    locGrid->addWidget(locAmp, 2, 3);
    // The location is shown as a whole whichever of its values changed.
    const auto showLocation = [this, locName, locLat, locLong, locArea, locAmp] {
        locName->setText(FSettings.GetLocationName());
        locLat->setText(Fixed(FSettings.GetLatitudeText(), 5));
        locLong->setText(Fixed(FSettings.GetLongitudeText(), 5));
        locArea->setText(FSettings.GetAreaCode());
        locAmp->setText(Fixed(FSettings.GetGroundAmplificationText(), 3));
    };
    for (const char* key : {"LocationName", "Latitude", "Longitude", "AreaCode", "GroundAmplification"}) {
        Bind(key, showLocation);
    }
    locGrid->addWidget(Note(QStringLiteral("※緯度経度は日本測地系の値を10進法表記で入力します。"), loc), 3, 0, 1, 4);
    layout->addWidget(loc);

    auto* cond = new QGroupBox(QStringLiteral("通報条件"), page);
    auto* condGrid = new QGridLayout(cond);
    condGrid->setContentsMargins(GroupMargins);
    condGrid->setVerticalSpacing(3);
    TVeskAppSettings& s = FSettings;
    condGrid->addWidget(BindCheck(
                            NewCheck("予測震度", "UseSIScaleChk", cond), "UseSIScale",
                            [&s] { return s.GetUseSIScale(); }, [&s](bool On) { s.SetUseSIScale(On); }),
                        0, 0);
    auto* sis = new QComboBox(cond);
    sis->setObjectName(QStringLiteral("SeismicIntensityCmb"));
    for (const TSIScaleClass& c : TVeskAppSettings::SIScaleClasses()) {
        sis->addItem(c.Label, c.Threshold);
    }
    condGrid->addWidget(sis, 0, 1);
    Bind("SIScale", [sis, &s] { sis->setCurrentIndex(s.GetSIScaleIndex()); });
    connect(sis, &QComboBox::currentIndexChanged, this, [this](int Index) {
        if (!FUpdatingControls) {
            FSettings.SetSIScaleIndex(Index);
        }
    });
    condGrid->addWidget(new QLabel(QStringLiteral("以上"), cond), 0, 2);
    condGrid->addWidget(BindCheck(
                            NewCheck("マグニチュード", "UseMgChk", cond), "UseMg", [&s] { return s.GetUseMg(); },
                            [&s](bool On) { s.SetUseMg(On); }),
                        1, 0);
    auto* mg = new QSlider(Qt::Horizontal, cond);
    mg->setObjectName(QStringLiteral("MomentMgTrk"));
    mg->setRange(0, TVeskAppSettings::MomentMgMax);
    mg->setTickInterval(2);
    mg->setTickPosition(QSlider::TicksBelow);
    mg->setPageStep(2);
    condGrid->addWidget(mg, 1, 1);
    auto* mgText = new QLabel(cond);
    mgText->setObjectName(QStringLiteral("MomentMgPnl"));
    mgText->setMinimumWidth(40);
    condGrid->addWidget(mgText, 1, 2);
    Bind("MomentMg", [mg, mgText, &s] {
        mg->setValue(s.GetMomentMgPosition());
        mgText->setText(s.GetMomentMgText());
    });
    connect(mg, &QSlider::valueChanged, this, [this](int Position) {
        if (!FUpdatingControls) {
            FSettings.SetMomentMgPosition(Position);
        }
    });
    condGrid->addWidget(BindCheck(
                            NewCheck("条件をORで判定する（オフ: AND）", "UseOrConditionChk", cond), "UseOrCondition",
                            [&s] { return s.GetUseOrCondition(); }, [&s](bool On) { s.SetUseOrCondition(On); }),
                        2, 0, 1, 3);
    // The accuracy choice sits in the conditions box itself: the page has no room for a box of its own.
    auto* accuracy = new QWidget(cond);
    accuracy->setObjectName(QStringLiteral("DataAccuracyGrpBox"));
    auto* accLayout = new QVBoxLayout(accuracy);
    accLayout->setContentsMargins(0, 0, 0, 0);
    accLayout->setSpacing(3);
    auto* accGroup = new QButtonGroup(accuracy);
    const QStringList accTexts = {QStringLiteral("1点観測データを使用する。"),
                                  QStringLiteral("2点以上観測データを使用する（気象庁推奨）。")};
    for (int i = 0; i < accTexts.size(); ++i) {
        auto* radio = new QRadioButton(accTexts[i], accuracy);
        radio->setObjectName(QStringLiteral("DataAccuracyRdo%1").arg(i));
        accGroup->addButton(radio, i);
        accLayout->addWidget(radio);
    }
    Bind("DataAccuracy", [accGroup, &s] {
        if (QAbstractButton* chosen = accGroup->button(s.GetDataAccuracy())) {
            chosen->setChecked(true);
        }
    });
    connect(accGroup, &QButtonGroup::idToggled, this, [this](int Id, bool Checked) {
        if (Checked && !FUpdatingControls) {
            FSettings.SetDataAccuracy(Id);
        }
    });
    condGrid->addWidget(new QLabel(QStringLiteral("震源精度"), cond), 3, 0, Qt::AlignTop);
    condGrid->addWidget(accuracy, 3, 1, 1, 2);
    layout->addWidget(cond);

    auto* fixed = new QHBoxLayout();
    auto* depth = new QGroupBox(QStringLiteral("使用する緊急地震速報の深さ"), page);
    auto* depthLayout = new QVBoxLayout(depth);
    depthLayout->setContentsMargins(GroupMargins);
    // Shown, not changed: the box is disabled.
    depthLayout->addWidget(BindCheck(NewCheck("深発地震も予測対象に含める。", "UseDepthChk", depth), "UseDepth",
                                     [&s] { return s.GetUseDepth(); }, {}));
    depth->setEnabled(false);
    fixed->addWidget(depth);
    auto* drill = new QGroupBox(QStringLiteral("気象庁緊急地震速報の訓練"), page);
    auto* drillLayout = new QVBoxLayout(drill);
    drillLayout->setContentsMargins(GroupMargins);
    drillLayout->addWidget(BindCheck(NewCheck("訓練報を受信する。", "UseJmaDrillChk", drill), "UseJmaDrill",
                                     [&s] { return s.GetUseJmaDrill(); }, {}));
    drillLayout->addWidget(
        Note(QStringLiteral("訓練実施日は１１月５日の「津波防災の日」を基準に、気象庁により決定されます。"), drill));
    drill->setEnabled(false);
    fixed->addWidget(drill);
    layout->addLayout(fixed);
    layout->addStretch();

    return page;
}

QWidget* TMainFrm::MakeNetConfigScreen()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("TabNetConfig"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(12, 8, 12, 8);
    auto* proxy = new QGroupBox(QStringLiteral("Proxyサーバー"), page);
    auto* grid = new QGridLayout(proxy);
    TVeskAppSettings& s = FSettings;
    grid->addWidget(BindCheck(NewCheck("Proxyサーバーを使用する。", "UseProxyChk", proxy), "UseProxy",
                              [&s] { return s.GetUseProxy(); }, {}),
                    0, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("サーバー"), proxy), 1, 0);
    auto* server = new QLineEdit(proxy);
    server->setObjectName(QStringLiteral("ProxyServerEdt"));
    grid->addWidget(server, 1, 1);
    Bind("ProxyServerIP", [server, &s] { server->setText(s.GetProxyServerIP()); });
    grid->addWidget(new QLabel(QStringLiteral("ポート"), proxy), 2, 0);
    auto* port = new QSpinBox(proxy);
    port->setObjectName(QStringLiteral("ProxyPortSEdt"));
    port->setRange(0, TVeskAppSettings::ProxyPortMax);
    grid->addWidget(port, 2, 1);
    Bind("ProxyServerPort", [port, &s] { port->setValue(s.GetProxyServerPort()); });
    grid->addWidget(new QLabel(QStringLiteral("認証"), proxy), 3, 0);
    auto* auth = new QComboBox(proxy);
    auth->addItems({QStringLiteral("認証なし(none)"), QStringLiteral("Basic認証")});
    grid->addWidget(auth, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("ユーザー"), proxy), 4, 0);
    grid->addWidget(new QLineEdit(proxy), 4, 1);
    grid->addWidget(new QLabel(QStringLiteral("パスワード"), proxy), 5, 0);
    auto* password = new QLineEdit(proxy);
    password->setEchoMode(QLineEdit::Password);
    grid->addWidget(password, 5, 1);
    grid->addWidget(new QLabel(QStringLiteral("確認先"), proxy), 6, 0);
    grid->addWidget(new QLineEdit(QStringLiteral("http://"), proxy), 6, 1);
    grid->addWidget(new QPushButton(QStringLiteral("接続確認"), proxy), 7, 1, Qt::AlignRight);
    // Shown for the values the file carries; the receiver never uses a proxy.
    proxy->setEnabled(false);
    layout->addWidget(proxy);
    auto* feed = new QGroupBox(QStringLiteral("公開フィード"), page);
    auto* feedLayout = new QVBoxLayout(feed);
    feedLayout->addWidget(BindCheck(
        NewCheck("公開フィードから受信する（次回の起動から）", "UseFeedChk", feed), "UseFeed",
        [&s] { return s.GetUseFeed(); }, [&s](bool On) { s.SetUseFeed(On); }));
    auto* feedNote = new QLabel(
        QStringLiteral("気象庁の発表を中継する公開の配信から、付属の中継 (eqbridge) を通して受信します。"), feed);
    feedNote->setWordWrap(true);
    feedLayout->addWidget(feedNote);
    layout->addWidget(feed);
    layout->addStretch();
    return page;
}

QWidget* TMainFrm::MakeAboutScreen()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("TabAbout"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(16, 10, 16, 10);
    layout->setSpacing(4);
    layout->addWidget(Caption(QStringLiteral("■ Ulmaro Xについて"), page));
    auto* versionRow = new QHBoxLayout();
    versionRow->addWidget(new QLabel(QStringLiteral("バージョン:"), page));
    auto* version = new QLabel(FProgramVersion, page);
    version->setObjectName(QStringLiteral("ProgramVersionLbl"));
    versionRow->addWidget(version);
    versionRow->addStretch();
    layout->addLayout(versionRow);
    layout->addSpacing(6);
    layout->addWidget(Caption(QStringLiteral("■ 使用許諾"), page));
    layout->addWidget(Note(QStringLiteral("本ソフトウェアの使用条件は使用許諾契約書に定めています。"), page));
    auto* licence = new QPushButton(QStringLiteral("ソフトウェア使用許諾契約書"), page);
    licence->setObjectName(QStringLiteral("LicenceBtn"));
    connect(licence, &QPushButton::clicked, this, [this] { TVeskAgreementFrm::ShowAgreementForm(this, atLicence); });
    layout->addWidget(licence, 0, Qt::AlignLeft);
    layout->addSpacing(6);
    layout->addWidget(Caption(QStringLiteral("■ 緊急地震速報配信サービス利用規約"), page));
    layout->addWidget(Note(QStringLiteral("予測震度と到達時刻は利用者の所在地に対する計算上の目安であり、"
                                          "気象庁の発表する予報ではありません。"),
                           page));
    auto* terms = new QPushButton(QStringLiteral("緊急地震速報配信サービス利用規約"), page);
    terms->setObjectName(QStringLiteral("EqEscapeClauseBtn"));
    connect(terms, &QPushButton::clicked, this,
            [this] { TVeskAgreementFrm::ShowAgreementForm(this, atEqEscapeClause); });
    layout->addWidget(terms, 0, Qt::AlignLeft);
    layout->addSpacing(6);
    layout->addWidget(Caption(QStringLiteral("■著作権等"), page));
    layout->addWidget(Note(QStringLiteral("Copyright © Ulmaro X の開発者。MIT ライセンスのもとで配布しています。\n"
                                          "地図データ: GSHHG (LGPL)。フォント: Noto Sans CJK (SIL OFL)。"),
                           page));
    layout->addStretch();
    return page;
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
    FExitBtn->setVisible(!AAvailable);
}

void TMainFrm::PutNumOfEqTelegrams(int ACount)
{
    FNumOfEqTelegramLbl->setText(QString::asprintf("%d", ACount));
}

void TMainFrm::PutNumOfAlerts(int ACount)
{
    FNumOfAlertLbl->setText(QString::asprintf("%d", ACount));
}

void TMainFrm::PutCommStatusText(const QString& AHint)
{
    FCommStatusLbl->setText(AHint);
}

void TMainFrm::PutSoundOutput(const QString& AProblem)
{
    QLabel* label = FSoundOutputLbl;
    label->setText(AProblem.isEmpty() ? QStringLiteral("あり") : QStringLiteral("なし（アラーム音は鳴りません）"));
    label->setToolTip(AProblem);
    label->setStyleSheet(AProblem.isEmpty() ? QString() : QStringLiteral("color: #b00000;"));
}

QString TMainFrm::ClockText(const QDateTime& ATime)
{
    const QLocale locale;
    return ATime.toString(QStringLiteral("yyyy/MM/dd")) + QLatin1Char('(') +
           locale.dayName(ATime.date().dayOfWeek(), QLocale::ShortFormat) + QStringLiteral(") - ") +
           ATime.toString(QStringLiteral("HH:mm:ss"));
}

QString TMainFrm::OperatingTimeText(qint64 ASeconds)
{
    return QString::asprintf("%d日間 %d時間 %d分 %d秒", int(ASeconds / 86400), int((ASeconds % 86400) / 3600),
                             int((ASeconds % 3600) / 60), int(ASeconds % 60));
}

void TMainFrm::PutOperatingTime()
{
    const QDateTime now = QDateTime::currentDateTime();
    FPresentTimeLbl->setText(ClockText(now));
    FOperatingTimeLbl->setText(OperatingTimeText(qAbs(FTimeOfStart.msecsTo(now)) / 1000));
}

QCheckBox* TMainFrm::NewCheck(const char* AText, const char* AName, QWidget* AParent)
{
    auto* box = new QCheckBox(QString::fromUtf8(AText), AParent);
    box->setObjectName(QString::fromUtf8(AName));
    return box;
}

void TMainFrm::Bind(const char* AKey, std::function<void()> AShow)
{
    FShowers.emplace(QString::fromLatin1(AKey), std::move(AShow));
}

QCheckBox* TMainFrm::BindCheck(QCheckBox* ABox, const char* AKey, std::function<bool()> AGet,
                               std::function<void(bool)> ASet)
{
    Bind(AKey, [ABox, get = std::move(AGet)] { ABox->setChecked(get()); });
    if (ASet) {
        // A user's change reaches the settings at once; the next decision reads it.
        connect(ABox, &QCheckBox::toggled, this, [this, set = std::move(ASet)](bool On) {
            if (!FUpdatingControls) {
                set(On);
            }
        });
    }
    return ABox;
}

void TMainFrm::ShowSettingValue(const QString& AKey)
{
    FUpdatingControls = true;
    const auto [first, last] = FShowers.equal_range(AKey);
    for (auto it = first; it != last; ++it) {
        it->second();
    }
    FUpdatingControls = false;
}

void TMainFrm::PickOffice()
{
    TULPrefOfficeInfo office;
    office.PrefOfficeName = FSettings.GetLocationName();
    if (TSelectPrefOfficeFrm::Execute(this, office)) {
        FSettings.SetLocation(office);
    }
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
