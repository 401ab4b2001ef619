#include "app/screens/TrainingScreen.h"

#include "alert/EqAlertController.h"
#include "alertview/AlertFonts.h"
#include "defines/VeskDefines.h"
#include "logging/VeskLogging.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int MagnitudeTrkMax = 19;
constexpr int MagnitudeTrkStart = 4;

enum TSpeakerPicture
{
    spChimePlaying,
    spChimeIdle,
    spSignPlaying,
    spSignIdle
};

// A location text as a number; text that is not one counts as 0, as the alert logic reads it.
double LocationNumber(const QString& AText)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(AText.trimmed(), &ok);
    return ok ? value : 0.0;
}

// A 16 x 16 speaker; when playing, with sound waves in the sample's colour.
QIcon SpeakerIcon(bool APlaying, const QColor& AWaveColor)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor body = APlaying ? QColor(0x30, 0x30, 0x30) : QColor(0x90, 0x90, 0x90);
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawRect(QRectF(1, 5.5, 3, 5));
    p.drawPolygon(QPolygonF({QPointF(4, 5.5), QPointF(8.5, 2), QPointF(8.5, 14), QPointF(4, 10.5)}));
    if (APlaying) {
        p.setPen(QPen(AWaveColor, 1.5, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(6.5, 5, 5, 6), -60 * 16, 120 * 16);
        p.drawArc(QRectF(6, 2.5, 9, 11), -60 * 16, 120 * 16);
    } else {
        p.setPen(QPen(body, 1.3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(10.5, 6), QPointF(14.5, 10));
        p.drawLine(QPointF(14.5, 6), QPointF(10.5, 10));
    }
    return QIcon(pixmap);
}

QLabel* ValuePanel(QWidget* AParent, const QString& AName)
{
    auto* panel = new QLabel(AParent);
    panel->setObjectName(AName);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAlignment(Qt::AlignCenter);
    panel->setMinimumHeight(22);
    return panel;
}

} // namespace

// The estimated class in its colour. Some class colours are white or near the
// window colour, so the text gets a dark outline that keeps every class readable.
class TScaleTextPanel : public QFrame
{
public:
    explicit TScaleTextPanel(QWidget* AParent) : QFrame(AParent)
    {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setMinimumSize(104, 34);
    }
    QString Text() const { return FText; }
    QColor Color() const { return FColor; }
    void SetText(const QString& AText)
    {
        FText = AText;
        update();
    }
    void SetColor(const QColor& AColor)
    {
        FColor = AColor;
        update();
    }

protected:
    void paintEvent(QPaintEvent* Event) override
    {
        QFrame::paintEvent(Event);
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QFont f = font();
        f.setPixelSize(20);
        f.setBold(true);
        const QFontMetricsF fm(f);
        const QRectF area = contentsRect();
        const double x = area.center().x() - fm.horizontalAdvance(FText) / 2;
        const double y = area.center().y() + (fm.ascent() - fm.descent()) / 2;
        QPainterPath path;
        path.addText(QPointF(x, y), f, FText);
        p.strokePath(path, QPen(QColor(0x20, 0x20, 0x20), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.fillPath(path, FColor);
    }

private:
    QString FText;
    QColor FColor = Qt::black;
};

TTrainingScreen::TTrainingScreen(TTrainingLocationFunc ALocation, TForecastFunc AForecast, TAlertSoundChannel& ASound,
                                 TEqAlertController* AController, TVeskLogger* ALogger, QWidget* AParent)
    : QWidget(AParent), FLocation(std::move(ALocation)), FForecast(std::move(AForecast)), FSound(ASound),
      FController(AController), FLogger(TVeskLogger::OrNull(ALogger))
{
    setObjectName(QStringLiteral("TabTraining"));
    QFont font(AlertFonts::TextFamily());
    font.setPixelSize(12);
    setFont(font);

    FSpeakerImgs = {SpeakerIcon(true, QColor(0xE0, 0x70, 0x00)), SpeakerIcon(false, {}),
                    SpeakerIcon(true, QColor(0x10, 0x70, 0xD0)), SpeakerIcon(false, {})};

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(8, 4, 8, 4);
    root->setSpacing(4);

    auto* title = new QLabel(QStringLiteral("Training/Demo"), this);
    QFont titleFont = font;
    titleFont.setPixelSize(16);
    titleFont.setBold(true);
    title->setFont(titleFont);
    root->addWidget(title);
    root->addWidget(new QLabel(
        QStringLiteral("指定した条件で仮想的に地震を発生させ、所在地に対する影響を確認することができます。"), this));

    // The earthquake.
    auto* eqBox = new QGroupBox(QStringLiteral("震源"), this);
    auto* eqGrid = new QGridLayout(eqBox);
    eqGrid->setContentsMargins(8, 4, 8, 6);
    eqGrid->setVerticalSpacing(4);
    FTrEqListCmb = new QComboBox(eqBox);
    FTrEqListCmb->setObjectName(QStringLiteral("TrEqListCmb"));
    for (int row = 0; row < GetTrainingEqCount(); ++row) {
        FTrEqListCmb->addItem(GetTrainingEq(row).EpicName);
    }
    eqGrid->addWidget(FTrEqListCmb, 0, 0, 1, 6);

    const QLocale c = QLocale::c();
    auto decimalBox = [&](const QString& AName, double AMax, int ADecimals, double AValue) {
        auto* box = new QDoubleSpinBox(eqBox);
        box->setObjectName(AName);
        box->setLocale(c);
        box->setDecimals(ADecimals);
        box->setRange(0.0, AMax);
        box->setValue(AValue);
        box->setButtonSymbols(QAbstractSpinBox::NoButtons);
        box->setAlignment(Qt::AlignRight);
        return box;
    };
    FTrEpicLatNEdt = decimalBox(QStringLiteral("TrEpicLatNEdt"), 99.99999, 5, 35.0);
    FTrEpicLongNEdt = decimalBox(QStringLiteral("TrEpicLongNEdt"), 180.0, 5, 135.0);
    FTrEqMagnitudeNEdt = decimalBox(QStringLiteral("TrEqMagnitudeNEdt"), 9.9, 1, MagnitudeTrkStart * 0.5);
    FTrEpicDepthNEdt = new QSpinBox(eqBox);
    FTrEpicDepthNEdt->setObjectName(QStringLiteral("TrEpicDepthNEdt"));
    FTrEpicDepthNEdt->setLocale(c);
    FTrEpicDepthNEdt->setRange(0, 999);
    FTrEpicDepthNEdt->setValue(10);
    FTrEpicDepthNEdt->setSuffix(QStringLiteral(" km"));
    FTrEpicDepthNEdt->setButtonSymbols(QAbstractSpinBox::NoButtons);
    FTrEpicDepthNEdt->setAlignment(Qt::AlignRight);

    // Latitude, longitude and depth in one row; the magnitude with its slider below.
    eqGrid->addWidget(new QLabel(QStringLiteral("北緯: "), eqBox), 1, 0);
    eqGrid->addWidget(FTrEpicLatNEdt, 1, 1);
    eqGrid->addWidget(new QLabel(QStringLiteral("東経: "), eqBox), 1, 2);
    eqGrid->addWidget(FTrEpicLongNEdt, 1, 3);
    eqGrid->addWidget(new QLabel(QStringLiteral("深さ: "), eqBox), 1, 4);
    eqGrid->addWidget(FTrEpicDepthNEdt, 1, 5);
    eqGrid->addWidget(new QLabel(QStringLiteral("マグニチュード: "), eqBox), 2, 0, 1, 2, Qt::AlignRight);
    eqGrid->addWidget(FTrEqMagnitudeNEdt, 2, 2, 1, 2);
    FTrEqMagnitudeTrk = new QSlider(Qt::Horizontal, eqBox);
    FTrEqMagnitudeTrk->setObjectName(QStringLiteral("TrEqMagnitudeTrk"));
    FTrEqMagnitudeTrk->setRange(0, MagnitudeTrkMax);
    FTrEqMagnitudeTrk->setTickInterval(2);
    FTrEqMagnitudeTrk->setTickPosition(QSlider::TicksBelow);
    FTrEqMagnitudeTrk->setPageStep(2);
    FTrEqMagnitudeTrk->setValue(MagnitudeTrkStart);
    eqGrid->addWidget(FTrEqMagnitudeTrk, 2, 4, 1, 2);
    eqGrid->setColumnStretch(1, 2);
    eqGrid->setColumnStretch(3, 2);
    eqGrid->setColumnStretch(5, 1);
    root->addWidget(eqBox);

    // The location, as the settings screen shows it.
    auto* locBox = new QGroupBox(QStringLiteral("現在の所在地"), this);
    auto* locGrid = new QGridLayout(locBox);
    locGrid->setContentsMargins(8, 4, 8, 6);
    locGrid->setVerticalSpacing(4);
    FTrLocNamePnl = ValuePanel(locBox, QStringLiteral("TrLocNamePnl"));
    FTrLocLatPnl = ValuePanel(locBox, QStringLiteral("TrLocLatPnl"));
    FTrLocLongPnl = ValuePanel(locBox, QStringLiteral("TrLocLongPnl"));
    FTrLocGAmpPnl = ValuePanel(locBox, QStringLiteral("TrLocGAmpPnl"));
    locGrid->addWidget(new QLabel(QStringLiteral("所在地: "), locBox), 0, 0);
    locGrid->addWidget(FTrLocNamePnl, 0, 1);
    locGrid->addWidget(new QLabel(QStringLiteral("地盤増幅率: "), locBox), 0, 2);
    locGrid->addWidget(FTrLocGAmpPnl, 0, 3);
    locGrid->addWidget(new QLabel(QStringLiteral("緯度: "), locBox), 1, 0);
    locGrid->addWidget(FTrLocLatPnl, 1, 1);
    locGrid->addWidget(new QLabel(QStringLiteral("経度: "), locBox), 1, 2);
    locGrid->addWidget(FTrLocLongPnl, 1, 3);
    locGrid->setColumnStretch(1, 1);
    locGrid->setColumnStretch(3, 1);
    root->addWidget(locBox);

    // The result.
    auto* generate = new QPushButton(QStringLiteral("地震発生"), this);
    generate->setObjectName(QStringLiteral("GenerateEqBtn"));
    generate->setMinimumWidth(110);
    connect(generate, &QPushButton::clicked, this, &TTrainingScreen::GenerateEqBtnClick);
    auto* resultRow = new QHBoxLayout;
    resultRow->setSpacing(4);
    resultRow->addWidget(generate);
    resultRow->addSpacing(6);
    resultRow->addWidget(new QLabel(QStringLiteral("所在地に対して"), this));
    FTrSIScalePnl = new TScaleTextPanel(this);
    FTrSIScalePnl->setObjectName(QStringLiteral("TrSIScalePnl"));
    resultRow->addWidget(FTrSIScalePnl);
    resultRow->addWidget(new QLabel(QStringLiteral("相当の揺れが、"), this));
    resultRow->addStretch();
    root->addLayout(resultRow);
    auto* secondsRow = new QHBoxLayout;
    secondsRow->setSpacing(4);
    secondsRow->addSpacing(generate->minimumWidth() + 10);
    secondsRow->addWidget(new QLabel(QStringLiteral("約"), this));
    FTrSSecPnl = ValuePanel(this, QStringLiteral("TrSSecPnl"));
    FTrSSecPnl->setMinimumWidth(60);
    QFont secFont = font;
    secFont.setPixelSize(16);
    secFont.setBold(true);
    FTrSSecPnl->setFont(secFont);
    secondsRow->addWidget(FTrSSecPnl);
    secondsRow->addWidget(new QLabel(QStringLiteral("秒後に到達します。"), this));
    secondsRow->addStretch();
    root->addLayout(secondsRow);

    // The alarm samples.
    auto* soundBox = new QGroupBox(QStringLiteral("通報音の確認"), this);
    auto* soundRow = new QHBoxLayout(soundBox);
    soundRow->setContentsMargins(8, 4, 8, 6);
    FNHKChimeBtn = new QPushButton(QStringLiteral("NHKチャイム音"), soundBox);
    FNHKChimeBtn->setObjectName(QStringLiteral("NHKChimeBtn"));
    FREICSignBtn = new QPushButton(QStringLiteral("REICサイン音"), soundBox);
    FREICSignBtn->setObjectName(QStringLiteral("REICSignBtn"));
    for (QPushButton* b : {FNHKChimeBtn, FREICSignBtn}) {
        b->setCheckable(true);
        b->setMinimumWidth(130);
        b->setToolTip(QStringLiteral("警報音サンプル再生"));
        connect(b, &QPushButton::toggled, this, [this, b](bool Checked) { OnSampleToggled(b, Checked); });
    }
    SetPicture(FNHKChimeBtn, spChimeIdle);
    SetPicture(FREICSignBtn, spSignIdle);
    soundRow->addWidget(new QLabel(QStringLiteral("警報音サンプル: "), soundBox));
    soundRow->addWidget(FNHKChimeBtn);
    soundRow->addSpacing(16);
    soundRow->addWidget(new QLabel(QStringLiteral("予報音サンプル: "), soundBox));
    soundRow->addWidget(FREICSignBtn);
    soundRow->addStretch();
    root->addWidget(soundBox);
    root->addStretch();

    connect(FTrEqMagnitudeTrk, &QSlider::valueChanged, this,
            [this](int APosition) { FTrEqMagnitudeNEdt->setValue(APosition * 0.5); });
    connect(FTrEqListCmb, &QComboBox::currentIndexChanged, this, &TTrainingScreen::SelectTrainingEq);

    if (FController) {
        connect(FController, &TEqAlertController::soundChanged, this, [this](bool APlaying) {
            if (APlaying) {
                ReleaseSamples();
            }
        });
        connect(FController, &TEqAlertController::arrived, this, &TTrainingScreen::ReleaseSamples);
        connect(FController, &TEqAlertController::alertStopped, this, &TTrainingScreen::ReleaseSamples);
    }
    RefreshLocation();
}

TTrainingScreen::~TTrainingScreen()
{
    // Nobody could stop a sample once its button is gone.
    if (FSamplePlaying) {
        FSound.StopAlertSound();
    }
}

void TTrainingScreen::showEvent(QShowEvent* Event)
{
    RefreshLocation();
    QWidget::showEvent(Event);
}

void TTrainingScreen::RefreshLocation()
{
    const TTrainingLocation loc = FLocation ? FLocation() : TTrainingLocation{};
    FTrLocNamePnl->setText(loc.Name);
    FTrLocLatPnl->setText(loc.Latitude);
    FTrLocLongPnl->setText(loc.Longitude);
    FTrLocGAmpPnl->setText(loc.GAmplification);
}

void TTrainingScreen::SelectTrainingEq(int ARow)
{
    const bool freeInput = ARow <= 0 || ARow >= GetTrainingEqCount();
    if (!freeInput) {
        const TEqHistory& eq = GetTrainingEq(ARow);
        const QLocale c = QLocale::c();
        const double magnitude = c.toDouble(eq.EqMagnitude.trimmed());
        FTrEpicLatNEdt->setValue(c.toDouble(eq.EpicLat.trimmed()));
        FTrEpicLongNEdt->setValue(c.toDouble(eq.EpicLong.trimmed()));
        FTrEpicDepthNEdt->setValue(VeskStrToInt(eq.EpicDepth).value_or(0));
        FTrEqMagnitudeNEdt->setValue(magnitude);
        // The slider moves to the nearest half step; when it moves, the field
        // follows it, so 6.8 shows as 7.0 unless the slider was already there.
        FTrEqMagnitudeTrk->setValue(RoundHalfEven(magnitude / 0.5));
    }
    for (QWidget* w : std::initializer_list<QWidget*>{FTrEpicLatNEdt, FTrEpicLongNEdt, FTrEpicDepthNEdt,
                                                      FTrEqMagnitudeNEdt, FTrEqMagnitudeTrk}) {
        w->setEnabled(freeInput);
    }
}

void TTrainingScreen::GenerateEqBtnClick()
{
    const TVeskLogScope scope(FLogger, QStringLiteral("GenerateEqBtnClick"));
    RefreshLocation();
    const TTrainingLocation loc = FLocation ? FLocation() : TTrainingLocation{};
    double estSIS = 0.0;
    double pWaveSec = 0.0;
    double sWaveSec = 0.0;
    const int32_t result =
        FForecast ? FForecast(FTrEpicLatNEdt->value(), FTrEpicLongNEdt->value(), FTrEpicDepthNEdt->value(),
                              FTrEqMagnitudeNEdt->value(), LocationNumber(loc.Latitude), LocationNumber(loc.Longitude),
                              LocationNumber(loc.GAmplification), &estSIS, &pWaveSec, &sWaveSec)
                  : -1;
    if (result != 0 || !std::isfinite(estSIS) || !std::isfinite(sWaveSec)) {
        // The colour of the last estimate stays.
        FTrSIScalePnl->SetText(QStringLiteral("--------"));
        FTrSSecPnl->setText(QStringLiteral("----"));
        return;
    }
    FTrSIScalePnl->SetColor(QColor::fromRgb(TSeismicIntensityScale::GetScaleColor(estSIS)));
    FTrSIScalePnl->SetText(QStringLiteral("震度") + TSeismicIntensityScale::GetScaleAsString(estSIS));
    FTrSSecPnl->setText(QString::asprintf("%.0f", sWaveSec));
}

QString TTrainingScreen::SIScaleText() const
{
    return FTrSIScalePnl->Text();
}

QColor TTrainingScreen::SIScaleColor() const
{
    return FTrSIScalePnl->Color();
}

QString TTrainingScreen::SSecText() const
{
    return FTrSSecPnl->text();
}

QAbstractButton* TTrainingScreen::ChimeButton() const
{
    return FNHKChimeBtn;
}

QAbstractButton* TTrainingScreen::SignButton() const
{
    return FREICSignBtn;
}

int TTrainingScreen::ButtonPicture(const QAbstractButton* AButton) const
{
    return AButton->property("speakerPicture").toInt();
}

void TTrainingScreen::SetPicture(QPushButton* AButton, int APicture)
{
    AButton->setIcon(FSpeakerImgs[APicture]);
    AButton->setProperty("speakerPicture", APicture);
}

void TTrainingScreen::OnSampleToggled(QPushButton* AButton, bool AChecked)
{
    // One group: pressing a button releases the other; both may be up.
    if (AChecked) {
        QPushButton* other = AButton == FNHKChimeBtn ? FREICSignBtn : FNHKChimeBtn;
        const QSignalBlocker block(other);
        other->setChecked(false);
    }
    TrPlayAlertingSound();
}

void TTrainingScreen::TrPlayAlertingSound()
{
    const bool chime = FNHKChimeBtn->isChecked();
    const bool sign = FREICSignBtn->isChecked();
    SetPicture(FNHKChimeBtn, chime ? spChimePlaying : spChimeIdle);
    SetPicture(FREICSignBtn, sign ? spSignPlaying : spSignIdle);
    if (chime || sign) {
        if (FController && FController->IsPlayingSound()) {
            FController->StopAlarmForSample();
        }
        FSound.PlayAlertSound(chime ? asWarning : asForecast);
        FSamplePlaying = true;
    } else if (FSamplePlaying) {
        FSound.StopAlertSound();
        FSamplePlaying = false;
    }
}

void TTrainingScreen::ReleaseSamples()
{
    FSamplePlaying = false;
    for (QPushButton* b : {FNHKChimeBtn, FREICSignBtn}) {
        const QSignalBlocker block(b);
        b->setChecked(false);
    }
    SetPicture(FNHKChimeBtn, spChimeIdle);
    SetPicture(FREICSignBtn, spSignIdle);
}
