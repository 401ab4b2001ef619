#include "alertview/AlertMap.h"

#include "alert/AlertMapGeometry.h"
#include "alert/AlertTiming.h"
#include "alertview/AlertFonts.h"
#include "alertview/AlertResources.h"
#include "logging/VeskLogging.h"

#include <QFont>
#include <QFontMetricsF>

#include <algorithm>

namespace {

constexpr quint32 BoardFill = 0x801D1D8A;
constexpr quint32 BoardLightEdge = 0xFF6C6CE9;
constexpr quint32 BoardDarkEdge = 0xFF1A1A4E;
constexpr quint32 PlateFill = 0x80171766;
constexpr quint32 PlateFrame = 0xFF171768;
constexpr quint32 PlateLightLine = 0xFF8E8EBC;
constexpr quint32 PlateDarkLine = 0xFF40409B;
constexpr quint32 WarningPen = 0xFFFF2800;
constexpr quint32 WarningFill = 0x80FF2800;
constexpr quint32 ForecastPen = 0xFF218CFF;
constexpr quint32 ForecastFill = 0x80218CFF;
constexpr quint32 CellInner = 0xFF010101;
constexpr quint32 CellOuter = 0xFFFEFEFE;
constexpr quint32 TextFill = 0xFF000000;
constexpr quint32 TextEdge = 0xFFFFFFFF;

// The numeral and suffix images (PNG_SIS_n) of each intensity class; suffix -1 for none.
struct TClassImages
{
    int Class;
    int Numeral;
    int Suffix;
};
constexpr std::array<TClassImages, 10> ClassImages{{{0, 0, -1},
                                                    {10, 1, -1},
                                                    {20, 2, -1},
                                                    {30, 3, -1},
                                                    {40, 4, -1},
                                                    {50, 5, 11}, // 5 弱
                                                    {55, 6, 10}, // 5 強
                                                    {60, 7, 11}, // 6 弱
                                                    {65, 8, 10}, // 6 強
                                                    {70, 9, -1}}};

// The intensity values of the colour bar's nine cells: classes 1 ... 7.
constexpr std::array<double, 9> BarScales{0.5, 1.5, 2.5, 3.5, 4.5, 5.0, 5.5, 6.0, 6.5};

QColor Argb(quint32 Color)
{
    return QColor::fromRgba(Color);
}

// A colour-keyed mark: pure opaque white becomes transparent.
QImage KeyedMark(const QImage& Source)
{
    QImage image = Source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (row[x] == 0xFFFFFFFFu) {
                row[x] = 0;
            }
        }
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

quint32 Lighten(quint32 C)
{
    auto up = [](quint32 v) { return v + 102 > 255 ? 255u : v + 102; };
    return (C & 0xFF000000u) | (up((C >> 16) & 0xFF) << 16) | (up((C >> 8) & 0xFF) << 8) | up(C & 0xFF);
}

quint32 Darken(quint32 C)
{
    auto down = [](quint32 v) { return v < 51 ? 0u : v - 51; };
    return (C & 0xFF000000u) | (down((C >> 16) & 0xFF) << 16) | (down((C >> 8) & 0xFF) << 8) | down(C & 0xFF);
}

} // namespace

TAlertMap::TAlertMap(TVeskLogger* ALogger, QObject* AParent)
    : QObject(AParent), FLogger(TVeskLogger::OrNull(ALogger)), FTextFont(AlertFonts::TextFamily()),
      FSystemFont(AlertFonts::SystemFamily())
{
    FLoadResult = LoadImageData();
    if (FLoadResult != 0) {
        FLogger->Send(vmtCaught, QStringLiteral("TAlertMap.LoadImageData()"),
                      QStringLiteral("missing images, result %1").arg(FLoadResult));
    }
}

int TAlertMap::LoadImageData()
{
    int result = 0;
    FRcMapSmall = AlertResources::LoadImage(QStringLiteral("BMP_MAP_SMALL"));
    if (FRcMapSmall.size() != QSize(500, 500)) {
        // Without the map the frame still shows everything else, on black.
        FRcMapSmall = QImage(500, 500, QImage::Format_RGB32);
        FRcMapSmall.fill(Qt::black);
        result |= lirMap;
    }
    FRcMapSmall = FRcMapSmall.convertToFormat(QImage::Format_RGB32);
    // The buffer starts as a copy of the map, in the map's pixel format.
    FBuffer = FRcMapSmall.copy();

    const QImage home = AlertResources::LoadImage(QStringLiteral("BMP_HOMEMARK"));
    const QImage epicentre = AlertResources::LoadImage(QStringLiteral("BMP_EPICENTERMARK"));
    if (home.isNull() || epicentre.isNull()) {
        result |= lirMarks;
    }
    FRcHMark = KeyedMark(home);
    FRcXMark = KeyedMark(epicentre);

    auto loadSet = [&result](auto& Images, const QString& Pattern, int First, int Bit) {
        for (int i = 0; i < static_cast<int>(Images.size()); ++i) {
            Images[i] =
                AlertResources::LoadImage(Pattern.arg(First + i)).convertToFormat(QImage::Format_ARGB32_Premultiplied);
            if (Images[i].isNull()) {
                result |= Bit;
            }
        }
    };
    loadSet(FRcSIScales, QStringLiteral("PNG_SIS_%1"), 0, lirNumerals);
    loadSet(FRcWNums, QStringLiteral("PNG_NUM_%1W"), 0, lirDigits);
    loadSet(FRcRNums, QStringLiteral("PNG_NUM_%1R"), 0, lirDigits);
    loadSet(FRcEqSign, QStringLiteral("PNG_EQSIGN_%1"), 1, lirSigns);
    return result;
}

QRect TAlertMap::MapRect() const
{
    return QRect(0, 0, AlertMapGeometry::GetMapWidth(), AlertMapGeometry::GetMapHeight());
}

void TAlertMap::PaintFrame(const TAlertTiming& Timing, const TAlertTick& Tick)
{
    FLLat = Timing.GetLLat();
    FLLng = Timing.GetLLng();
    FELat = static_cast<float>(Timing.GetEq01Telegram().GetEpicLat());
    FELng = static_cast<float>(Timing.GetEq01Telegram().GetEpicLong());
    FEstimatedScale = Timing.GetEstimatedScale();
    FAdvanceSec = Tick.AdvanceSec;
    FIsIssuedWarning = Timing.IsIssuedWarning();
    FEpicName = Timing.GetEq10Telegram().GetEpicName();
    FOccurMSecs = Tick.OccurMSecs;
    FArrivalMSecs = Tick.ArrivalMSecs;

    FPainter.begin(&FBuffer);
    FPainter.setRenderHint(QPainter::TextAntialiasing, true);
    DrawMap();
    DrawSWaveCircle(Tick.Radius, Tick.Color, false);
    DrawLandmark();
    DrawInformationBoard(MapRect(), dpTop | dpLeft);
    DrawAdvancedSecond(MapRect(), dpTop);
    DrawEpicenterName();
    DrawOccurredDateTime();
    DrawArrivalDateTime();
    if (FIsIssuedWarning) {
        DrawSignBoard(QRect(200, 0, 300, 96), dpTop | dpLeft);
    }
    FPainter.end();
    emit frameReady();
}

void TAlertMap::DrawMap()
{
    // Overwrites the whole previous frame.
    FPainter.setCompositionMode(QPainter::CompositionMode_Source);
    FPainter.drawImage(0, 0, FRcMapSmall);
    FPainter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void TAlertMap::DrawSWaveCircle(float Distance, quint32 ScaleCol, bool OnlyDrawCircle)
{
    int xe = 0;
    int ye = 0;
    AlertMapGeometry::LatLngToXY(FELat, FELng, xe, ye);
    const double d = Distance;
    const QRectF circle(xe - d, ye - d, 2 * d, 2 * d);
    FPainter.save();
    FPainter.setRenderHint(QPainter::Antialiasing, true);
    // Pixel (x, y) is the square from x to x + 1: its centre is the point the projection means.
    FPainter.translate(0.5, 0.5);
    FPainter.setPen(QPen(Argb(ScaleCol | 0xFF000000u), 2.0));
    FPainter.setBrush(OnlyDrawCircle ? QBrush(Qt::NoBrush) : QBrush(Argb(ScaleCol)));
    FPainter.drawEllipse(circle);
    FPainter.restore();
}

void TAlertMap::DrawLandmark()
{
    // The epicentre mark goes on top of the home mark.
    DrawLandmarkHome(FLLat, FLLng);
    DrawLandmarkEpicenter(FELat, FELng);
}

void TAlertMap::DrawLandmarkHome(float Lat, float Lng)
{
    DrawMark(FRcHMark, Lat, Lng);
}

void TAlertMap::DrawLandmarkEpicenter(float Lat, float Lng)
{
    DrawMark(FRcXMark, Lat, Lng);
}

void TAlertMap::DrawMark(const QImage& Mark, float Lat, float Lng)
{
    int x = 0;
    int y = 0;
    AlertMapGeometry::LatLngToXY(Lat, Lng, x, y);
    x -= Mark.width() / 2;
    y -= Mark.height() / 2;
    // A point off the map projects to (0, 0), so its mark starts left of the map and is skipped.
    if (x < 0 || x > AlertMapGeometry::GetMapWidth() || y < 0 || y > AlertMapGeometry::GetMapHeight()) {
        return;
    }
    FPainter.drawImage(x, y, Mark);
}

void TAlertMap::Line(quint32 Color, int X1, int Y1, int X2, int Y2)
{
    // Aliased on purpose: a 1-pixel line must cover whole pixels, not blur over two rows.
    FPainter.setRenderHint(QPainter::Antialiasing, false);
    FPainter.setPen(QPen(Argb(Color), 1));
    FPainter.drawLine(X1, Y1, X2, Y2);
}

void TAlertMap::Outline(quint32 Color, int X, int Y, int W, int H)
{
    Line(Color, X, Y, X + W, Y);
    Line(Color, X, Y + H, X + W, Y + H);
    Line(Color, X, Y, X, Y + H);
    Line(Color, X + W, Y, X + W, Y + H);
}

void TAlertMap::DrawInformationBoard(const QRect& DrawArea, TDrawPosition DrawPosition)
{
    constexpr int W = 192;
    constexpr int H = 104;
    const int x = DrawPosition.testFlag(dpLeft)    ? DrawArea.x() + 8
                  : DrawPosition.testFlag(dpRight) ? DrawArea.x() + DrawArea.width() - 200
                                                   : DrawArea.x() + (DrawArea.width() - W) / 2;
    const int y = DrawPosition.testFlag(dpTop)      ? DrawArea.y() + 8
                  : DrawPosition.testFlag(dpBottom) ? DrawArea.y() + DrawArea.height() - 112
                                                    : DrawArea.y() + (DrawArea.height() - H) / 2;
    FPainter.fillRect(QRect(x, y, W, H), Argb(BoardFill));
    Line(BoardLightEdge, x, y, x + W, y);
    Line(BoardLightEdge, x, y + 1, x + W, y + 1);
    Line(BoardLightEdge, x, y, x, y + H);
    Line(BoardLightEdge, x + 1, y, x + 1, y + H - 1);
    Line(BoardDarkEdge, x, y + H, x + W, y + H);
    Line(BoardDarkEdge, x + 1, y + H - 1, x + W - 1, y + H - 1);
    Line(BoardDarkEdge, x + W, y, x + W, y + H);
    Line(BoardDarkEdge, x + W - 1, y + 1, x + W - 1, y + H);
    const QRect board(x, y, W, H);
    DrawSeismicScale(board);
    DrawScaleColorBar(board, dpBottom, dssHorizontal);
}

void TAlertMap::DrawSeismicScale(const QRect& DrawArea)
{
    DrawDecoratedString(dssBordered, QStringLiteral("震度"), FTextFont, 24, TextFill, TextEdge, DrawArea.x() + 8,
                        DrawArea.y() + 8);
    const int scale = TSeismicIntensityScale::GetScaleAsInteger(FEstimatedScale);
    const auto found = std::find_if(ClassImages.begin(), ClassImages.end(),
                                    [scale](const TClassImages& c) { return c.Class == scale; });
    const TClassImages& images = found != ClassImages.end() ? *found : ClassImages[0];
    const QImage& image = FRcSIScales[images.Numeral];
    FPainter.drawImage(DrawArea.x() + 64, DrawArea.y() + 4, image);
    if (images.Suffix >= 0) {
        FPainter.drawImage(DrawArea.x() + 64 + image.width(), DrawArea.y() + 4, FRcSIScales[images.Suffix]);
    }
}

void TAlertMap::DrawScaleColorBar(const QRect& DrawArea, TDrawPosition DrawPosition, TDrawScaleStyle DrawStyle)
{
    const bool horizontal = DrawStyle == dssHorizontal;
    const int barW = horizontal ? 144 : 16;
    const int barH = horizontal ? 16 : 144;
    int x = DrawArea.x() + (DrawArea.width() - barW) / 2;
    if (DrawPosition.testFlag(dpLeft)) {
        x = DrawArea.x() + 8;
    }
    if (DrawPosition.testFlag(dpRight)) {
        x = DrawArea.x() + DrawArea.width() - barW - 4;
    }
    int y = DrawArea.y() + (DrawArea.height() - barH) / 2;
    if (DrawPosition.testFlag(dpTop)) {
        y = DrawArea.y() + 4;
    }
    if (DrawPosition.testFlag(dpBottom)) {
        y = DrawArea.y() + DrawArea.height() - barH - 4;
    }

    QFont font(FSystemFont);
    font.setPixelSize(12);
    font.setBold(true);
    FPainter.setFont(font);
    const qreal ascent = QFontMetricsF(font).ascent();
    for (int i = 0; i < static_cast<int>(BarScales.size()); ++i) {
        const int cx = horizontal ? x + 16 * i : x;
        const int cy = horizontal ? y : y + 16 * i;
        FPainter.fillRect(QRect(cx, cy, 16, 16), Argb(TSeismicIntensityScale::GetScaleColor(BarScales[i])));
        Outline(CellInner, cx + 1, cy + 1, 14, 14);
        Outline(CellOuter, cx, cy, 16, 16);
        FPainter.setPen(Argb(i < 6 ? 0xFF000000u : 0xFFFFFFFFu));
        FPainter.drawText(QPointF(cx + 1, cy + 1 + ascent),
                          TSeismicIntensityScale::GetScaleAsShortString(BarScales[i]));
    }
}

void TAlertMap::DrawAdvancedSecond(const QRect& DrawArea, TDrawPosition DrawPosition)
{
    const QString text = QString::number(FAdvanceSec);
    const int w = 64 * static_cast<int>(text.size());
    // The flags mean the opposite edge here: dpLeft aligns right, dpTop aligns to the bottom.
    const int x = DrawPosition.testFlag(dpLeft) ? DrawArea.x() + DrawArea.width() - w - 4
                                                : DrawArea.x() + (DrawArea.width() - w) / 2;
    const int y = DrawPosition.testFlag(dpTop) ? DrawArea.y() + DrawArea.height() - 76
                                               : DrawArea.y() + (DrawArea.height() - 64) / 2;
    DrawDecoratedString(dssBordered, QStringLiteral("到達まであと"), FTextFont, 20, TextFill, TextEdge, x - 120, y);
    const auto& digits = FAdvanceSec >= 10 ? FRcWNums : FRcRNums;
    for (int i = 0; i < static_cast<int>(text.size()); ++i) {
        const int digit = text[i].digitValue();
        if (digit >= 0) {
            FPainter.drawImage(QRect(x + 64 * i, y, 64, 64), digits[digit]);
        }
    }
    DrawDecoratedString(dssBordered, QStringLiteral("秒"), FTextFont, 20, TextFill, TextEdge, x + w, y + 40);
}

void TAlertMap::DrawSignBoard(const QRect& DrawArea, TDrawPosition DrawPosition)
{
    constexpr int W = 144;
    constexpr int H = 80;
    const quint32 pen = FIsIssuedWarning ? WarningPen : ForecastPen;
    const quint32 fill = FIsIssuedWarning ? WarningFill : ForecastFill;
    const QImage& image = FRcEqSign[FIsIssuedWarning ? 1 : 0];
    const int x = DrawPosition.testFlag(dpLeft)    ? DrawArea.x() + 8
                  : DrawPosition.testFlag(dpRight) ? DrawArea.x() + DrawArea.width() - 152
                                                   : DrawArea.x() + (DrawArea.width() - W) / 2;
    const int y = DrawPosition.testFlag(dpTop)      ? DrawArea.y() + 8
                  : DrawPosition.testFlag(dpBottom) ? DrawArea.y() + DrawArea.height() - 88
                                                    : DrawArea.y() + (DrawArea.height() - H) / 2;
    FPainter.fillRect(QRect(x, y, W, H), Argb(fill));
    Outline(pen, x, y, W, H);
    FPainter.drawImage(x + (W - image.width()) / 2, y + (H - image.height()) / 2, image);
}

void TAlertMap::DrawNoticeBoard(const QRect& DrawArea)
{
    const int x = DrawArea.x();
    const int y = DrawArea.y();
    const int w = DrawArea.width();
    const int h = DrawArea.height();
    FPainter.fillRect(DrawArea, Argb(PlateFill));
    // No line on the left: the plates hang from the map's left edge.
    Line(PlateFrame, x, y, x + w, y);
    Line(PlateFrame, x, y + h, x + w, y + h);
    Line(PlateFrame, x + w, y, x + w, y + h);
    FPainter.fillRect(QRect(x + w - 8, y, 8, 8), Argb(PlateFrame));
    Line(PlateLightLine, x, y + h - 1, x + w - 1, y + h - 1);
    Line(PlateLightLine, x + w - 1, y + 9, x + w - 1, y + h - 1);
    Line(PlateDarkLine, x, y + 1, x + w - 8, y + 1);
    Line(PlateDarkLine, x + w - 8, y + 8, x + w - 1, y + 8);
}

void TAlertMap::DrawPlate(const QString& Text, int FontSize, int Top, int Height)
{
    QFont font(FTextFont);
    font.setPixelSize(FontSize);
    font.setHintingPreference(QFont::PreferNoHinting);
    const qreal width = QFontMetricsF(font).horizontalAdvance(Text);
    DrawNoticeBoard(QRect(0, Top, RoundHalfEven(width) + 16, Height));
    DrawDecoratedString(dssBordered, Text, FTextFont, static_cast<float>(FontSize), TextFill, TextEdge, 4,
                        static_cast<float>(Top + 4));
}

void TAlertMap::DrawEpicenterName()
{
    DrawPlate(FEpicName, 24, 116, 40);
}

void TAlertMap::DrawOccurredDateTime()
{
    DrawPlate(QStringLiteral("発生: ") + TAlertTiming::FormatDateTime(FOccurMSecs), 16, 160, 32);
}

void TAlertMap::DrawArrivalDateTime()
{
    DrawPlate(QStringLiteral("到達: ") + TAlertTiming::FormatDateTime(FArrivalMSecs), 16, 196, 32);
}

void TAlertMap::DrawDecoratedString(TDecorateStringStyle DecorateStyle, const QString& Msg, const QString& FontName,
                                    float FontSize, quint32 FillColor, quint32 EdgeColor, float X, float Y)
{
    if (Msg.isEmpty()) {
        return;
    }
    QFont font(FontName);
    font.setPixelSize(qRound(FontSize));
    font.setHintingPreference(QFont::PreferNoHinting);
    FPainter.setFont(font);
    // (X, Y) is the top-left of the text's line box.
    const double baseline = Y + QFontMetricsF(font).ascent();
    auto pass = [&](quint32 Color, double Dx, double Dy) {
        FPainter.setPen(Argb(Color));
        FPainter.drawText(QPointF(X + Dx, baseline + Dy), Msg);
    };
    switch (DecorateStyle) {
    case dssNormal:
        pass(FillColor, 0, 0);
        break;
    case dssEmboss:
        pass(Lighten(FillColor), 0, 0);
        pass(Darken(FillColor), 2, 2);
        pass(FillColor, 1, 1);
        break;
    case dssEmbed:
        pass(Darken(FillColor), 0, 0);
        pass(Lighten(FillColor), 2, 2);
        pass(FillColor, 1, 1);
        break;
    case dssBordered:
        for (const auto& [dx, dy] : {std::pair{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}}) {
            pass(EdgeColor, dx, dy);
        }
        pass(FillColor, 0, 0);
        break;
    }
}
