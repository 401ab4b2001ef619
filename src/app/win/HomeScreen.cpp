#include "app/win/HomeScreen.h"

#include "app/win/Autostart.h"
#include "app/win/ScreenParts.h"
#include "auxiliary/VeskAuxResources.h"
#include "config/VeskAppSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QVBoxLayout>

THomeScreen::THomeScreen(TSettingBinder& ABinder, TVeskLogger* ALogger, const QDateTime& ATimeOfStart,
                         bool ATrayAvailable, QWidget* AParent)
    : QWidget(AParent), FBinder(ABinder), FTimeOfStart(ATimeOfStart)
{
    setObjectName(QStringLiteral("TabHome"));
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
        grid->addWidget(ScreenParts::Caption(QString::fromUtf8(row.Caption), this), r, 0, Qt::AlignLeft);
        row.Value = new QLabel(this);
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
    auto* latest = new QPushButton(QStringLiteral("最新版の確認"), this);
    latest->setObjectName(QStringLiteral("LatestCheckBtn"));
    connect(latest, &QPushButton::clicked, this, [this, latest] { emit latestCheckRequested(latest); });
    side->addWidget(latest);
    auto* mascot = new QLabel(this);
    mascot->setObjectName(QStringLiteral("AboutVeskotanImg"));
    mascot->setPixmap(QPixmap(VeskAppArt::MascotPath()));
    mascot->installEventFilter(this);
    side->addWidget(mascot, 0, Qt::AlignHCenter);
    // Without a notification area the close box only minimises: the exit is here.
    FExitBtn = new QPushButton(QStringLiteral("終了"), this);
    FExitBtn->setObjectName(QStringLiteral("ExitBtn"));
    FExitBtn->setToolTip(QStringLiteral("Ulmaro X を終了します（通知領域がないため）"));
    FExitBtn->setVisible(!ATrayAvailable);
    connect(FExitBtn, &QPushButton::clicked, this, &THomeScreen::exitRequested);
    side->addWidget(FExitBtn);
    side->addStretch();

    // One row: the page has no height to spare for a box.
    auto* lookLayout = new QHBoxLayout();
    lookLayout->addWidget(ScreenParts::Caption(QStringLiteral("外観 / Appearance:"), this));
    auto* styles = new QComboBox(this);
    styles->setObjectName(QStringLiteral("AppAppearanceCmb"));
    styles->addItems(QStyleFactory::keys());
    for (int i = 0; i < styles->count(); ++i) {
        if (styles->itemText(i).compare(QApplication::style()->name(), Qt::CaseInsensitive) == 0) {
            styles->setCurrentIndex(i);
        }
    }
    connect(styles, &QComboBox::textActivated, this, [](const QString& Name) { QApplication::setStyle(Name); });
    lookLayout->addWidget(styles, 1);
    auto* autoIconic = FBinder.BindCheck(ScreenParts::NewCheck("起動時に最小化する。", "EnableAutoIconicChk", this),
                                         vsiEnableAutoIconic);
    auto* alwaysSound =
        FBinder.BindCheck(ScreenParts::NewCheck("通報時は必ずアラーム音を再生する。", "AlwaysAlertSoundOnChk", this),
                          vsiAlwaysAlertSoundOn);
    auto* notify =
        FBinder.BindCheck(ScreenParts::NewCheck("通報をデスクトップ通知でも知らせる。", "DesktopNotificationChk", this),
                          vsiDesktopNotification);
    auto* autoZoom = FBinder.BindCheck(
        ScreenParts::NewCheck("通報画面の地図を震源と所在地に合わせて自動で拡大する。", "AutoZoomMapChk", this),
        vsiAutoZoomMap);

    auto* autostart = new QCheckBox(QStringLiteral("ログイン時に起動する"), this);
    autostart->setObjectName(QStringLiteral("AutostartChk"));
    TVeskAutostart::Bind(autostart, ALogger);

    auto* top = new QHBoxLayout();
    top->addLayout(grid, 1);
    top->addLayout(side);
    auto* layout = new QVBoxLayout(this);
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
}

bool THomeScreen::eventFilter(QObject* AWatched, QEvent* AEvent)
{
    // The mascot's hidden greeting.
    if (AEvent->type() == QEvent::MouseButtonDblClick && AWatched->objectName() == QLatin1String("AboutVeskotanImg")) {
        const Qt::KeyboardModifiers mods = static_cast<QMouseEvent*>(AEvent)->modifiers();
        if ((mods & Qt::ControlModifier) && (mods & Qt::AltModifier)) {
            QApplication::beep();
        }
        return true;
    }
    return QWidget::eventFilter(AWatched, AEvent);
}

void THomeScreen::SetTrayAvailable(bool AAvailable)
{
    FExitBtn->setVisible(!AAvailable);
}

void THomeScreen::PutNumOfEqTelegrams(int ACount)
{
    FNumOfEqTelegramLbl->setText(QString::asprintf("%d", ACount));
}

void THomeScreen::PutNumOfAlerts(int ACount)
{
    FNumOfAlertLbl->setText(QString::asprintf("%d", ACount));
}

void THomeScreen::PutCommStatusText(const QString& AHint)
{
    FCommStatusLbl->setText(AHint);
}

void THomeScreen::PutSoundOutput(const QString& AProblem)
{
    QLabel* label = FSoundOutputLbl;
    label->setText(AProblem.isEmpty() ? QStringLiteral("あり") : QStringLiteral("なし（アラーム音は鳴りません）"));
    label->setToolTip(AProblem);
    label->setStyleSheet(AProblem.isEmpty() ? QString() : QStringLiteral("color: #b00000;"));
}

QString THomeScreen::ClockText(const QDateTime& ATime)
{
    const QLocale locale;
    return ATime.toString(QStringLiteral("yyyy/MM/dd")) + QLatin1Char('(') +
           locale.dayName(ATime.date().dayOfWeek(), QLocale::ShortFormat) + QStringLiteral(") - ") +
           ATime.toString(QStringLiteral("HH:mm:ss"));
}

QString THomeScreen::OperatingTimeText(qint64 ASeconds)
{
    return QString::asprintf("%d日間 %d時間 %d分 %d秒", int(ASeconds / 86400), int((ASeconds % 86400) / 3600),
                             int((ASeconds % 3600) / 60), int(ASeconds % 60));
}

void THomeScreen::PutOperatingTime()
{
    const QDateTime now = QDateTime::currentDateTime();
    FPresentTimeLbl->setText(ClockText(now));
    FOperatingTimeLbl->setText(OperatingTimeText(qAbs(FTimeOfStart.msecsTo(now)) / 1000));
}
