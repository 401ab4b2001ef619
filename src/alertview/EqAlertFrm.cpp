#include "alertview/EqAlertFrm.h"

#include "alert/EqAlertController.h"
#include "alertview/AlertFonts.h"
#include "alertview/AlertMap.h"
#include "alertview/AlertMapView.h"
#include "logging/VeskLogging.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <vector>

namespace {

struct TFieldSpec
{
    const char* Name;
    const char* Label;
};

struct TGroupSpec
{
    const char* Caption;
    int Top;
    int Height;
    std::vector<TFieldSpec> Fields;
};

const std::vector<TGroupSpec>& Groups()
{
    static const std::vector<TGroupSpec> groups = {
        {"所在地情報",
         6,
         139,
         {{"LocLatEdt", "緯度"},
          {"LocLngEdt", "経度"},
          {"LocGAmpEdt", "地盤増幅率"},
          {"LocAreaCodeEdt", "地域コード"}}},
        {"震源情報",
         151,
         102,
         {{"EpiLatEdt", "緯度"}, {"EpiLngEdt", "経度"}, {"EpiDepthEdt", "深さ(Km)"}, {"EpiMgEdt", "マグニチュード"}}},
        {"緊急地震速報情報",
         259,
         142,
         {{"EqIdEdt", "地震ID"}, {"PresEdt", "速報発表時刻"}, {"OccurEdt", "地震発生時刻"}}},
        {"予測情報", 407, 65, {{"EstSISEdt", "予測震度"}, {"EstSecEdt", "予測秒数"}}},
    };
    return groups;
}

// Space a group box's title takes above its first row, and below its last.
constexpr int GroupTitleHeight = 16;
constexpr int GroupBottomMargin = 3;
// A row tall enough for a label above its field; lower rows put the label beside it.
constexpr int StackedRowHeight = 34;

} // namespace

TEqAlertFrm::TEqAlertFrm(TEqAlertController& AController, TVeskLogger* ALogger, QWidget* AParent)
    : QWidget(AParent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      FController(AController), FControllerAlive(&AController), FLogger(TVeskLogger::OrNull(ALogger)),
      FAlertMap(new TAlertMap(ALogger, this))
{
    setWindowTitle(QStringLiteral("Ulmaro X - 通報画面"));
    setObjectName(QStringLiteral("EqAlertFrm"));
    setAttribute(Qt::WA_QuitOnClose, false);
    QFont font(AlertFonts::TextFamily());
    font.setPixelSize(11);
    setFont(font);
    setFixedSize(LeftPaneWidth + MapSize, HeaderHeight + MapSize + FooterHeight);

    FHeaderBand = new QWidget(this);
    auto* header = FHeaderBand;
    header->setGeometry(0, 0, width(), HeaderHeight);
    header->setAutoFillBackground(true);
    QPalette hp = header->palette();
    hp.setColor(QPalette::Window, ForecastBandColor);
    hp.setColor(QPalette::WindowText, Qt::white);
    header->setPalette(hp);
    FHeader = new QLabel(header);
    FHeader->setObjectName(QStringLiteral("HeaderPnl"));
    FHeader->setGeometry(0, 0, width(), HeaderHeight);
    FHeader->setAlignment(Qt::AlignCenter);
    QFont headerFont = font;
    headerFont.setPixelSize(18);
    headerFont.setBold(true);
    FHeader->setFont(headerFont);
    FSoundSwitch = new QPushButton(QStringLiteral("Sound OFF."), header);
    FSoundSwitch->setObjectName(QStringLiteral("SoundSwitchBtn"));
    FSoundSwitch->setGeometry(4, 5, 75, 25);
    FSoundSwitch->setFocusPolicy(Qt::NoFocus);
    connect(FSoundSwitch, &QPushButton::clicked, this, &TEqAlertFrm::SoundSwitchBtnClick);

    auto* left = new QWidget(this);
    left->setObjectName(QStringLiteral("LeftPanePnl"));
    left->setGeometry(0, HeaderHeight, LeftPaneWidth, MapSize);
    for (const TGroupSpec& g : Groups()) {
        auto* box = new QGroupBox(QString::fromUtf8(g.Caption), left);
        box->setGeometry(4, g.Top, 133, g.Height);
        QStringList labels;
        for (const TFieldSpec& field : g.Fields) {
            labels << QString::fromUtf8(field.Label);
        }
        for (std::size_t i = 0; i < g.Fields.size(); ++i) {
            FFields << AddField(box, QString::fromUtf8(g.Fields[i].Name), labels, static_cast<int>(i));
        }
    }

    FMapView = new TAlertMapView(this);
    FMapView->setObjectName(QStringLiteral("MapPBx"));
    FMapView->setGeometry(LeftPaneWidth, HeaderHeight, MapSize, MapSize);
    FMapView->SetAlertMap(FAlertMap);

    auto* footer = new QLabel(QStringLiteral("推定震度と到達時刻は計算による目安です  "), this);
    footer->setObjectName(QStringLiteral("FooterPnl"));
    footer->setGeometry(0, HeaderHeight + MapSize, width(), FooterHeight);
    footer->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QPalette fp = footer->palette();
    fp.setColor(QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    footer->setPalette(fp);
    // JMA's own forecast for the user's area, beside our calculation.
    FJmaForecast = new QLabel(this);
    FJmaForecast->setObjectName(QStringLiteral("JmaForecastLbl"));
    FJmaForecast->setGeometry(6, HeaderHeight + MapSize, width() / 2, FooterHeight);
    FJmaForecast->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont jmaFont = font;
    jmaFont.setPixelSize(12);
    jmaFont.setBold(true);
    FJmaForecast->setFont(jmaFont);

    FController.SetFramePainter(FAlertMap);
    // A cancel that leaves nothing to show closes the window as its close box does.
    connect(&FController, &TEqAlertController::closeRequested, this, [this] {
        if (isVisible()) {
            close();
        } else if (FControllerAlive) {
            FController.StopAlerting();
        }
    });
    connect(&FController, &TEqAlertController::headerCaptionChanged, this, &TEqAlertFrm::ShowHeaderCaption);
    connect(&FController, &TEqAlertController::alertStarted, this, &TEqAlertFrm::FillFields);
    connect(&FController, &TEqAlertController::areaForecastChanged, FJmaForecast, &QLabel::setText);
    connect(&FController, &TEqAlertController::showRequested, this, &TEqAlertFrm::ShowAlert);
    // The switch names what a press will do: it follows the alarm also when
    // something else stops it (a cancel, a training sample).
    connect(&FController, &TEqAlertController::soundChanged, this, &TEqAlertFrm::FormShow);
}

TEqAlertFrm::~TEqAlertFrm()
{
    if (FControllerAlive) {
        FController.SetFramePainter(nullptr);
    }
}

QLineEdit* TEqAlertFrm::AddField(QWidget* Group, const QString& Name, const QStringList& Labels, int Index)
{
    // The rows share the box's height; where a row is too low for a label above
    // its field, the labels stand in a column left of the fields.
    const int rows = static_cast<int>(Labels.size());
    const int pitch = (Group->height() - GroupTitleHeight - GroupBottomMargin) / rows;
    const int top = GroupTitleHeight + Index * pitch;
    const int inner = Group->width() - 12;
    auto* label = new QLabel(Labels[Index], Group);
    auto* edit = new QLineEdit(Group);
    edit->setObjectName(Name);
    if (pitch >= StackedRowHeight) {
        label->setGeometry(6, top, inner, 13);
        edit->setGeometry(6, top + 13, inner, 21);
    } else {
        int labelWidth = 0;
        for (const QString& text : Labels) {
            labelWidth = std::max(labelWidth, label->fontMetrics().horizontalAdvance(text) + 4);
        }
        const int height = std::min(21, pitch - 1);
        label->setGeometry(6, top, labelWidth, height);
        edit->setGeometry(6 + labelWidth, top, inner - labelWidth, height);
    }
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setTextMargins(1, 0, 1, 0);
    QPalette p = edit->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Button));
    edit->setPalette(p);
    return edit;
}

QString TEqAlertFrm::TelegramTimeText(const QString& ATime)
{
    // A shorter text leaves the missing pieces empty.
    QStringList pieces;
    for (int i = 0; i < 6; ++i) {
        pieces << ATime.mid(2 * i, 2);
    }
    return QStringLiteral("20%1/%2/%3 %4:%5:%6").arg(pieces[0], pieces[1], pieces[2], pieces[3], pieces[4], pieces[5]);
}

void TEqAlertFrm::FillFields(const TEqAlertStart& Start)
{
    FJmaForecast->setText(TEqAlertController::AreaForecastCaption(Start.AreaForecast));
    const TEqTelegram01& t = Start.Eq01Teleg;
    const QStringList texts = {
        QString::asprintf("%.3f", Start.Location.Latitude),
        QString::asprintf("%.3f", Start.Location.Longitude),
        QString::asprintf("%.3f", Start.Location.GAmplifier),
        Start.Location.AreaCode,
        QString::asprintf("%.1f", t.GetEpicLat()),
        QString::asprintf("%.1f", t.GetEpicLong()),
        QString::asprintf("%d", t.GetEpicDepth()),
        QString::asprintf("%.1f", t.GetMagnitude()),
        t.GetEqId() + QString::asprintf("(%d)", t.GetTelegNo()),
        TelegramTimeText(t.GetPresentTime()),
        TelegramTimeText(t.GetOccurrenceTime()),
        QString::asprintf("%.1f", Start.EstSIS),
        QString::number(RoundHalfEven(Start.EstSec)),
    };
    for (int i = 0; i < FFields.size() && i < texts.size(); ++i) {
        FFields[i]->setText(texts[i]);
    }
}

QString TEqAlertFrm::JmaForecastText() const
{
    return FJmaForecast->text();
}

QString TEqAlertFrm::FieldText(const QString& AName) const
{
    for (const QLineEdit* edit : FFields) {
        if (edit->objectName() == AName) {
            return edit->text();
        }
    }
    return QString();
}

void TEqAlertFrm::ShowHeaderCaption(const QString& ACaption)
{
    FHeader->setText(ACaption);
    // A warning and a forecast must be told apart at a glance, not by one character.
    QPalette p = FHeaderBand->palette();
    // The caption is the controller's word for the class (it changes before the flag does).
    const bool warning = ACaption == TEqAlertController::WarningCaption();
    const bool cancel = ACaption == TEqAlertController::CancelCaption();
    p.setColor(QPalette::Window, warning ? WarningBandColor : (cancel ? CancelBandColor : ForecastBandColor));
    FHeaderBand->setPalette(p);
}

QColor TEqAlertFrm::HeaderBandColor() const
{
    return FHeaderBand->palette().color(QPalette::Window);
}

void TEqAlertFrm::keyPressEvent(QKeyEvent* Event)
{
    // Escape closes the window as its close box does.
    if (Event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(Event);
}

QString TEqAlertFrm::HeaderText() const
{
    return FHeader->text();
}

QString TEqAlertFrm::SoundSwitchCaption() const
{
    return FSoundSwitch->text();
}

void TEqAlertFrm::ShowAlert()
{
    if (!isVisible()) {
        // Centred on the screen it opens on.
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
    }
    showNormal();
    raise();
    activateWindow();
}

void TEqAlertFrm::FormShow()
{
    // The caption names what a press will do.
    FSoundSwitch->setText(FController.IsPlayingSound() ? QStringLiteral("Sound OFF.") : QStringLiteral("Sound ON."));
}

void TEqAlertFrm::showEvent(QShowEvent* Event)
{
    FormShow();
    QWidget::showEvent(Event);
}

void TEqAlertFrm::SoundSwitchBtnClick()
{
    FController.ToggleAlertSound();
    FSoundSwitch->setText(FController.IsPlayingSound() ? QStringLiteral("Sound OFF.") : QStringLiteral("Sound ON."));
}

void TEqAlertFrm::closeEvent(QCloseEvent* Event)
{
    {
        TVeskLogScope scope(FLogger, QStringLiteral("EqAlertFrm.FormClose()"));
        FController.StopAlerting();
    }
    hide();
    Event->ignore();
}
