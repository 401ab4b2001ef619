#include "app/win/SettingsScreens.h"

#include "app/win/ScreenParts.h"
#include "auxiliary/SelectPrefOffice.h"
#include "config/VeskAppSettings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// Inside the settings page's boxes: the page is as tall as the window allows.
const QMargins GroupMargins(9, 4, 9, 4);

} // namespace

TConfigScreen::TConfigScreen(TSettingBinder& ABinder, QWidget* AParent) : QWidget(AParent), FBinder(ABinder)
{
    TVeskAppSettings& s = FBinder.Settings();
    setObjectName(QStringLiteral("TabConfig"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 4, 10, 4);
    layout->setSpacing(4);

    auto* loc = new QGroupBox(QStringLiteral("所在地"), this);
    auto* locGrid = new QGridLayout(loc);
    locGrid->setContentsMargins(GroupMargins);
    locGrid->setVerticalSpacing(3);
    // A caption and its read-only value, side by side in the grid.
    const auto field = [locGrid, loc](const char* ACaption, const char* AName, int ARow, int ACol) {
        locGrid->addWidget(new QLabel(QString::fromUtf8(ACaption), loc), ARow, ACol);
        QLineEdit* edit = ScreenParts::ReadOnlyField(QString::fromLatin1(AName), loc);
        locGrid->addWidget(edit, ARow, ACol + 1);
        return edit;
    };
    QLineEdit* locName = field("名称", "LocNameEdt", 0, 0);
    auto* pick = new QPushButton(QStringLiteral("県庁所在地一覧"), loc);
    pick->setObjectName(QStringLiteral("PrefOfficeListBtn"));
    connect(pick, &QPushButton::clicked, this, &TConfigScreen::PickOffice);
    locGrid->addWidget(pick, 0, 2, 1, 2);
    QLineEdit* locLat = field("緯度", "LocLatNEdt", 1, 0);
    QLineEdit* locLong = field("経度", "LocLongNEdt", 1, 2);
    QLineEdit* locArea = field("地域コード", "LocAreaCodeNEdt", 2, 0);
    QLineEdit* locAmp = field("地盤増幅率", "LocGAmpNEdt", 2, 2);
    // The location is shown as a whole whichever of its values changed.
    const auto showLocation = [&s, locName, locLat, locLong, locArea, locAmp] {
        locName->setText(s.GetLocationName());
        locLat->setText(ScreenParts::Fixed(s.GetLatitudeText(), 5));
        locLong->setText(ScreenParts::Fixed(s.GetLongitudeText(), 5));
        locArea->setText(s.GetAreaCode());
        locAmp->setText(ScreenParts::Fixed(s.GetGroundAmplificationText(), 3));
    };
    for (const TVeskSettingId id : {vsiLocationName, vsiLatitude, vsiLongitude, vsiAreaCode, vsiGroundAmplification}) {
        FBinder.Bind(id, showLocation);
    }
    locGrid->addWidget(ScreenParts::Note(QStringLiteral("※緯度経度は日本測地系の値を10進法表記で入力します。"), loc), 3,
                       0, 1, 4);
    layout->addWidget(loc);

    auto* cond = new QGroupBox(QStringLiteral("通報条件"), this);
    auto* condGrid = new QGridLayout(cond);
    condGrid->setContentsMargins(GroupMargins);
    condGrid->setVerticalSpacing(3);
    condGrid->addWidget(FBinder.BindCheck(ScreenParts::NewCheck("予測震度", "UseSIScaleChk", cond), vsiUseSIScale), 0,
                        0);
    auto* sis = new QComboBox(cond);
    sis->setObjectName(QStringLiteral("SeismicIntensityCmb"));
    for (const TSIScaleClass& c : TVeskAppSettings::SIScaleClasses()) {
        sis->addItem(c.Label, c.Threshold);
    }
    condGrid->addWidget(sis, 0, 1);
    FBinder.Bind(vsiSIScale, [sis, &s] { sis->setCurrentIndex(s.GetSIScaleIndex()); });
    connect(sis, &QComboBox::currentIndexChanged, this,
            [this](int Index) { FBinder.Write([&] { FBinder.Settings().SetSIScaleIndex(Index); }); });
    condGrid->addWidget(new QLabel(QStringLiteral("以上"), cond), 0, 2);
    condGrid->addWidget(FBinder.BindCheck(ScreenParts::NewCheck("マグニチュード", "UseMgChk", cond), vsiUseMg), 1, 0);
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
    FBinder.Bind(vsiMomentMg, [mg, mgText, &s] {
        mg->setValue(s.GetMomentMgPosition());
        mgText->setText(s.GetMomentMgText());
    });
    connect(mg, &QSlider::valueChanged, this,
            [this](int Position) { FBinder.Write([&] { FBinder.Settings().SetMomentMgPosition(Position); }); });
    condGrid->addWidget(
        FBinder.BindCheck(ScreenParts::NewCheck("条件をORで判定する（オフ: AND）", "UseOrConditionChk", cond),
                          vsiUseOrCondition),
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
    FBinder.Bind(vsiDataAccuracy, [accGroup, &s] {
        if (QAbstractButton* chosen = accGroup->button(s.GetDataAccuracy())) {
            chosen->setChecked(true);
        }
    });
    connect(accGroup, &QButtonGroup::idToggled, this, [this](int Id, bool Checked) {
        if (Checked) {
            FBinder.Write([&] { FBinder.Settings().SetDataAccuracy(Id); });
        }
    });
    condGrid->addWidget(new QLabel(QStringLiteral("震源精度"), cond), 3, 0, Qt::AlignTop);
    condGrid->addWidget(accuracy, 3, 1, 1, 2);
    layout->addWidget(cond);

    auto* fixed = new QHBoxLayout();
    auto* depth = new QGroupBox(QStringLiteral("使用する緊急地震速報の深さ"), this);
    auto* depthLayout = new QVBoxLayout(depth);
    depthLayout->setContentsMargins(GroupMargins);
    // Shown, not changed: the box is disabled.
    depthLayout->addWidget(
        FBinder.BindCheck(ScreenParts::NewCheck("深発地震も予測対象に含める。", "UseDepthChk", depth), vsiUseDepth,
                          TSettingBinder::ShowOnly));
    depth->setEnabled(false);
    fixed->addWidget(depth);
    auto* drill = new QGroupBox(QStringLiteral("気象庁緊急地震速報の訓練"), this);
    auto* drillLayout = new QVBoxLayout(drill);
    drillLayout->setContentsMargins(GroupMargins);
    drillLayout->addWidget(FBinder.BindCheck(ScreenParts::NewCheck("訓練報を受信する。", "UseJmaDrillChk", drill),
                                             vsiUseJmaDrill, TSettingBinder::ShowOnly));
    drillLayout->addWidget(ScreenParts::Note(
        QStringLiteral("訓練実施日は１１月５日の「津波防災の日」を基準に、気象庁により決定されます。"), drill));
    drill->setEnabled(false);
    fixed->addWidget(drill);
    layout->addLayout(fixed);
    layout->addStretch();
}

void TConfigScreen::PickOffice()
{
    TULPrefOfficeInfo office;
    office.PrefOfficeName = FBinder.Settings().GetLocationName();
    if (TSelectPrefOfficeFrm::Execute(window(), office)) {
        FBinder.Settings().SetLocation(office);
    }
}

TNetConfigScreen::TNetConfigScreen(TSettingBinder& ABinder, QWidget* AParent) : QWidget(AParent), FBinder(ABinder)
{
    setObjectName(QStringLiteral("TabNetConfig"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 8);
    auto* proxy = new QGroupBox(QStringLiteral("Proxyサーバー"), this);
    auto* grid = new QGridLayout(proxy);
    TVeskAppSettings& s = FBinder.Settings();
    grid->addWidget(FBinder.BindCheck(ScreenParts::NewCheck("Proxyサーバーを使用する。", "UseProxyChk", proxy),
                                      vsiUseProxy, TSettingBinder::ShowOnly),
                    0, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("サーバー"), proxy), 1, 0);
    auto* server = new QLineEdit(proxy);
    server->setObjectName(QStringLiteral("ProxyServerEdt"));
    grid->addWidget(server, 1, 1);
    FBinder.Bind(vsiProxyServerIP, [server, &s] { server->setText(s.GetProxyServerIP()); });
    grid->addWidget(new QLabel(QStringLiteral("ポート"), proxy), 2, 0);
    auto* port = new QSpinBox(proxy);
    port->setObjectName(QStringLiteral("ProxyPortSEdt"));
    port->setRange(0, TVeskAppSettings::ProxyPortMax);
    grid->addWidget(port, 2, 1);
    FBinder.Bind(vsiProxyServerPort, [port, &s] { port->setValue(s.GetProxyServerPort()); });
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
    auto* feed = new QGroupBox(QStringLiteral("公開フィード"), this);
    auto* feedLayout = new QVBoxLayout(feed);
    feedLayout->addWidget(FBinder.BindCheck(
        ScreenParts::NewCheck("公開フィードから受信する（次回の起動から）", "UseFeedChk", feed), vsiUseFeed));
    auto* feedNote = new QLabel(
        QStringLiteral("気象庁の発表を中継する公開の配信から、付属の中継 (eqbridge) を通して受信します。"), feed);
    feedNote->setWordWrap(true);
    feedLayout->addWidget(feedNote);
    layout->addWidget(feed);
    layout->addStretch();
}
