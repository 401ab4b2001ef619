#include "alertview/AlertMap.h"

#include "alert/AlertMapGeometry.h"
#include "alert/AlertTiming.h"
#include "alertview/AlertFonts.h"
#include "alertview/AlertResources.h"
#include "eqfunction/EqForecast.h"
#include "eqfunction/EqTravelTime.h"
#include "logging/VeskLogging.h"

#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <limits>

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
constexpr quint32 SeaColour = 0xFF6898CC; // the open sea of every map base
constexpr quint32 PWavePen = 0xFF1030C8;
constexpr quint32 ArrivedFill = 0xFFE8101C;
constexpr quint32 PointerFill = 0xFFE00000;

constexpr int FrameSide = 500;
constexpr int TileSide = 500;
// Scales tried for automatic framing, largest first.
constexpr std::array<int, 4> Scales{8, 4, 2, 1};
// Where a mark's picture lies around its point (the home pin stands on it).
const QRect HomeFootprint(-13, -26, 26, 29);
const QRect EpicentreFootprint(-13, -13, 26, 26);
constexpr int ViewMargin = 4;
constexpr int BoardClearance = 6; // a mark keeps this far from a board
constexpr int SearchStep = 4;
constexpr int MaxListedQuakes = 3;
constexpr double KmPerDegree = eqf::EarthRadiusKm * 3.14159265358979323846 / 180.0;

int LevelIndex(int Scale)
{
    return Scale >= 8 ? 3 : Scale >= 4 ? 2 : Scale >= 2 ? 1 : 0;
}

QString TileName(int Scale, int Col, int Row)
{
    return QStringLiteral("MAP_Z%1_%2_%3").arg(Scale).arg(Col).arg(Row);
}

// The distance at which a front of the wave arrives at Sec seconds: travel times grow with distance.
double FrontDistance(int DepthKm, double Sec, bool SWave)
{
    const auto& grid = eqf::TEqTravelTimeGrid::GetShared();
    auto timeAt = [&](double Km) {
        double p = 0.0;
        double s = 0.0;
        if (!grid.GetTravelTimes(DepthKm, Km, p, s)) {
            return std::numeric_limits<double>::infinity();
        }
        return SWave ? s : p;
    };
    if (!(Sec > timeAt(0.0))) {
        return 0.0;
    }
    double lo = 0.0;
    double hi = eqf::TEqTravelTimeGrid::MaxDistanceKm;
    if (Sec >= timeAt(hi)) {
        return hi;
    }
    for (int i = 0; i < 32; ++i) {
        const double mid = (lo + hi) / 2.0;
        (timeAt(mid) < Sec ? lo : hi) = mid;
    }
    return (lo + hi) / 2.0;
}

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
    FRcXMarkSmall = FRcXMark.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    // The zoomed bases are optional: a scale without tiles is never chosen.
    for (const int scale : Scales) {
        FHasLevel[LevelIndex(scale)] =
            scale == 1 || QFile::exists(AlertResources::Path(TileName(scale, 0, 0), QStringLiteral("png")));
    }
    FBase = FRcMapSmall;
    FBaseView = TView{};

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

void TAlertMap::SetZoom(int Zoom)
{
    FZoom = (Zoom == AutoZoom || Zoom == 2 || Zoom == 4 || Zoom == 8) ? Zoom : 1;
}

QPointF TAlertMap::ToLevel(int Scale, double Lat, double Lng) const
{
    double x = 0.0;
    double y = 0.0;
    AlertMapGeometry::LatLngToPlane(static_cast<float>(Lat), static_cast<float>(Lng), x, y);
    // Pixel (x, y) of the whole map is the square from x to x + 1 on every scale.
    return QPointF(Scale * (x + 0.5) - 0.5, Scale * (y + 0.5) - 0.5);
}

QPoint TAlertMap::ToView(double Lat, double Lng) const
{
    if (FView.Scale == 1 && FView.Offset.isNull() && AlertMapGeometry::IsOnMap(float(Lat), float(Lng))) {
        int x = 0;
        int y = 0;
        AlertMapGeometry::LatLngToXY(static_cast<float>(Lat), static_cast<float>(Lng), x, y);
        return QPoint(x, y);
    }
    const QPointF level = ToLevel(FView.Scale, Lat, Lng);
    const double x = std::clamp(level.x() - FView.Offset.x(), -1.0e6, 1.0e6);
    const double y = std::clamp(level.y() - FView.Offset.y(), -1.0e6, 1.0e6);
    return QPoint(AlertMapGeometry::RoundHalfEven(x), AlertMapGeometry::RoundHalfEven(y));
}

double TAlertMap::PixelsPerKm(double Lat) const
{
    // Mercator keeps shapes: a km is as long in every direction at a latitude.
    const double pixelsPerDegree =
        FView.Scale * FrameSide / double(AlertMapGeometry::EastEdge - AlertMapGeometry::WestEdge);
    return pixelsPerDegree / (KmPerDegree * std::cos(Lat * 3.14159265358979323846 / 180.0));
}

void TAlertMap::ComputeBoards()
{
    FBoards.clear();
    FBoards << QRect(8, 8, 193, 105);
    if (FIsIssuedWarning) {
        FBoards << QRect(208, 8, 145, 81);
    }
    // The epicentre name shrinks until its plate fits the frame.
    FNameFontSize = 24;
    auto width = [this](const QString& Text, int Size) {
        QFont font(FTextFont);
        font.setPixelSize(Size);
        font.setHintingPreference(QFont::PreferNoHinting);
        return RoundHalfEven(QFontMetricsF(font).horizontalAdvance(Text));
    };
    while (FNameFontSize > 10 && width(FEpicName, FNameFontSize) + 16 > FrameSide - 4) {
        --FNameFontSize;
    }
    const int plates =
        std::max({width(FEpicName, FNameFontSize), width(QStringLiteral("発生: 0000/00/00 00:00:00"), 16)}) + 16;
    FBoards << QRect(0, 116, plates + 1, 113);
    const int w = 64 * static_cast<int>(QString::number(FAdvanceSec).size());
    const int x = (FrameSide - w) / 2;
    FBoards << QRect(x - 121, 420, 120 + w + 24, 72);
    QFont arrived(FTextFont);
    arrived.setPixelSize(48);
    arrived.setBold(true);
    const int aw = RoundHalfEven(QFontMetricsF(arrived).horizontalAdvance(QStringLiteral("揺れに警戒")));
    FArrivedRect = QRect((FrameSide - aw) / 2 - 3, 426, aw + 6, 62);
    FBoards << FArrivedRect;
    FBoards << QRect(410, 462, 90, 34); // the scale bar
    if (!FOthers.isEmpty()) {
        const int lines = std::min<int>(static_cast<int>(FOthers.size()), MaxListedQuakes + 1);
        FBoards << QRect(208, FIsIssuedWarning ? 96 : 8, 288, 18 * lines + 6);
    }
}

bool TAlertMap::ViewKeepsClear(const TView& View, const QVector<QPointF>& Homes,
                               const QVector<QPointF>& Epicentres) const
{
    const QRect inside(ViewMargin, ViewMargin, FrameSide - 2 * ViewMargin, FrameSide - 2 * ViewMargin);
    auto clear = [&](const QPointF& LatLng, const QRect& Footprint) {
        const QPointF p = ToLevel(View.Scale, LatLng.y(), LatLng.x()) - QPointF(View.Offset);
        const QRect mark = Footprint.translated(qRound(p.x()), qRound(p.y()));
        if (!inside.contains(mark)) {
            return false;
        }
        return std::none_of(FBoards.begin(), FBoards.end(), [&](const QRect& b) {
            return b.adjusted(-BoardClearance, -BoardClearance, BoardClearance, BoardClearance).intersects(mark);
        });
    };
    return std::all_of(Homes.begin(), Homes.end(), [&](const QPointF& p) { return clear(p, HomeFootprint); }) &&
           std::all_of(Epicentres.begin(), Epicentres.end(),
                       [&](const QPointF& p) { return clear(p, EpicentreFootprint); });
}

std::optional<TAlertMap::TView> TAlertMap::FindView(int Scale, const QVector<QPointF>& Homes,
                                                    const QVector<QPointF>& Epicentres, bool Relaxed) const
{
    struct TMark
    {
        QPointF At; // on the scale's whole map
        QRect Footprint;
    };
    QVector<TMark> marks;
    for (const QPointF& p : Homes) {
        marks.push_back({ToLevel(Scale, p.y(), p.x()), HomeFootprint});
    }
    for (const QPointF& p : Epicentres) {
        marks.push_back({ToLevel(Scale, p.y(), p.x()), EpicentreFootprint});
    }
    if (marks.isEmpty()) {
        return std::nullopt;
    }
    // The offsets that keep every mark inside the frame.
    double loX = -1e9;
    double hiX = 1e9;
    double loY = -1e9;
    double hiY = 1e9;
    for (const TMark& m : marks) {
        loX = std::max(loX, m.At.x() + m.Footprint.right() + ViewMargin + 1 - FrameSide);
        hiX = std::min(hiX, m.At.x() + m.Footprint.left() - ViewMargin);
        loY = std::max(loY, m.At.y() + m.Footprint.bottom() + ViewMargin + 1 - FrameSide);
        hiY = std::min(hiY, m.At.y() + m.Footprint.top() - ViewMargin);
    }
    if (loX > hiX || loY > hiY) {
        if (!Relaxed) {
            return std::nullopt;
        }
        // Too far apart: home leads, the epicentre may fall outside.
        const QPointF home = marks.front().At;
        loX = hiX = home.x() - FrameSide / 2.0;
        loY = hiY = home.y() - FrameSide / 2.0;
    }
    double minX = 1e9;
    double maxX = -1e9;
    double minY = 1e9;
    double maxY = -1e9;
    for (const TMark& m : marks) {
        minX = std::min(minX, m.At.x());
        maxX = std::max(maxX, m.At.x());
        minY = std::min(minY, m.At.y());
        maxY = std::max(maxY, m.At.y());
    }
    const QPointF middle((minX + maxX) / 2.0, (minY + maxY) / 2.0);
    const int side = FrameSide * Scale;

    std::optional<TView> best;
    double bestScore = std::numeric_limits<double>::infinity();
    auto steps = [](double Lo, double Hi) {
        QVector<int> v;
        const int lo = static_cast<int>(std::ceil(Lo));
        const int hi = static_cast<int>(std::floor(Hi));
        for (int i = lo; i < hi; i += SearchStep) {
            v << i;
        }
        v << std::max(lo, hi);
        return v;
    };
    const QVector<int> xs = steps(loX, hiX);
    const QVector<int> ys = steps(loY, hiY);
    for (const int oy : ys) {
        for (const int ox : xs) {
            double covered = 0.0;
            for (const TMark& m : marks) {
                const QRect mark = m.Footprint.translated(qRound(m.At.x()) - ox, qRound(m.At.y()) - oy);
                for (const QRect& b : FBoards) {
                    const QRect both =
                        b.adjusted(-BoardClearance, -BoardClearance, BoardClearance, BoardClearance).intersected(mark);
                    covered += double(both.width()) * both.height();
                }
            }
            if (covered > 0.0 && !Relaxed) {
                continue;
            }
            // Beyond the map's area there is only sea colour: show as little of it as possible.
            const double overflow = std::max(0, -ox) + std::max(0, ox + FrameSide - side) + std::max(0, -oy) +
                                    std::max(0, oy + FrameSide - side);
            const QPointF centre = middle - QPointF(ox, oy) - QPointF(FrameSide / 2.0, FrameSide / 2.0);
            const double score =
                covered * 1000.0 + overflow * 20.0 + (Scale == 1 ? 0.0 : std::hypot(centre.x(), centre.y()));
            if (score < bestScore) {
                bestScore = score;
                best = TView{Scale, QPoint(ox, oy)};
            }
        }
    }
    return best;
}

void TAlertMap::FrameView()
{
    if (FZoom == 1) {
        FView = TView{};
        FHeldEqId.clear();
        return;
    }
    QVector<QPointF> homes{QPointF(FLLng, FLLat)};
    QVector<QPointF> epicentres;
    if (AlertMapGeometry::IsOnMap(FELat, FELng)) {
        epicentres << QPointF(FELng, FELat);
    } else if (std::isfinite(FELat) && std::isfinite(FELng)) {
        // Off the map: the view reaches the map's edge towards it, where its pointer stands.
        epicentres << QPointF(
            std::clamp(FELng, AlertMapGeometry::WestEdge + 0.4f, AlertMapGeometry::EastEdge - 0.4f),
            std::clamp(FELat, AlertMapGeometry::SouthEdge + 0.4f, AlertMapGeometry::NorthEdge - 0.4f));
    }
    QVector<QPointF> others;
    for (const TAlertMapQuake& q : FOthers) {
        if (AlertMapGeometry::IsOnMap(float(q.EpicLat), float(q.EpicLong))) {
            others << QPointF(q.EpicLong, q.EpicLat);
        }
    }
    const QVector<QPointF> points = homes + epicentres + others;
    const bool sameAlert = FHeldEqId == FEqId && FHeldZoom == FZoom;
    if (sameAlert && points == FHeldPoints && FBoards == FHeldBoards) {
        return;
    }
    int maxScale = 8;
    if (sameAlert) {
        // A later report keeps the view while it still works, and never zooms in again.
        if (ViewKeepsClear(FView, homes, epicentres)) {
            FHeldPoints = points;
            FHeldBoards = FBoards;
            return;
        }
        maxScale = FView.Scale;
    }
    QVector<int> scales;
    for (const int scale : Scales) {
        const bool wanted = FZoom == AutoZoom ? scale <= maxScale : scale == FZoom;
        if (wanted && FHasLevel[LevelIndex(scale)]) {
            scales << scale;
        }
    }
    if (scales.isEmpty()) {
        scales << 1;
    }
    std::optional<TView> view;
    for (const int scale : scales) {
        if (!others.isEmpty()) {
            view = FindView(scale, homes, epicentres + others, false);
        }
        if (!view) {
            view = FindView(scale, homes, epicentres, false);
        }
        if (view) {
            break;
        }
    }
    if (!view) {
        view = FindView(scales.back(), homes, epicentres, true);
    }
    FView = view.value_or(TView{});
    FHeldEqId = FEqId;
    FHeldZoom = FZoom;
    FHeldPoints = points;
    FHeldBoards = FBoards;
}

const QImage& TAlertMap::Tile(int Scale, int Col, int Row)
{
    const QString name = TileName(Scale, Col, Row);
    auto found = FTiles.find(name);
    if (found == FTiles.end()) {
        QImage tile = AlertResources::LoadImage(name);
        if (!tile.isNull()) {
            tile = tile.convertToFormat(QImage::Format_RGB32);
        } else {
            FLogger->Send(vmtCaught, QStringLiteral("TAlertMap.Tile()"), QStringLiteral("missing tile %1").arg(name));
        }
        found = FTiles.insert(name, tile);
    }
    return *found;
}

void TAlertMap::ComposeBase()
{
    if (FBaseView && *FBaseView == FView) {
        return;
    }
    FBaseView = FView;
    if (FView.Scale == 1 && FView.Offset.isNull()) {
        FBase = FRcMapSmall;
        return;
    }
    FBase = QImage(FrameSide, FrameSide, QImage::Format_RGB32);
    FBase.fill(Argb(SeaColour));
    QPainter painter(&FBase);
    const QPoint o = FView.Offset;
    if (FView.Scale == 1) {
        painter.drawImage(-o, FRcMapSmall);
        return;
    }
    // Only the tiles under the view are decoded.
    const int last = FView.Scale - 1;
    for (int row = std::max(0, o.y() / TileSide - 1); row <= std::min(last, (o.y() + FrameSide) / TileSide); ++row) {
        for (int col = std::max(0, o.x() / TileSide - 1); col <= std::min(last, (o.x() + FrameSide) / TileSide);
             ++col) {
            const QRect tile(col * TileSide - o.x(), row * TileSide - o.y(), TileSide, TileSide);
            if (tile.intersects(FBase.rect())) {
                painter.drawImage(tile.topLeft(), Tile(FView.Scale, col, row));
            }
        }
    }
}

bool TAlertMap::WaveFronts(int DepthKm, double Sec, double& PKm, double& SKm)
{
    PKm = 0.0;
    SKm = 0.0;
    if (DepthKm < 0 || DepthKm > eqf::TEqTravelTimeGrid::MaxDepthKm || !std::isfinite(Sec)) {
        return false;
    }
    PKm = FrontDistance(DepthKm, Sec, false);
    SKm = FrontDistance(DepthKm, Sec, true);
    return true;
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
    FArrived = Tick.Arrived;
    FEqId = Timing.GetEq01Telegram().GetEqId();

    ComputeBoards();
    FrameView();
    ComposeBase();

    FPainter.begin(&FBuffer);
    FPainter.setRenderHint(QPainter::TextAntialiasing, true);
    DrawMap();
    DrawOtherQuakes();
    DrawWaveCircles(Timing, Tick);
    DrawLandmark();
    DrawInformationBoard(MapRect(), dpTop | dpLeft);
    if (FArrived) {
        DrawArrived(FArrivedRect);
    } else {
        DrawAdvancedSecond(MapRect(), dpTop);
    }
    DrawEpicenterName();
    DrawOccurredDateTime();
    DrawArrivalDateTime();
    if (FIsIssuedWarning) {
        DrawSignBoard(QRect(200, 0, 300, 96), dpTop | dpLeft);
    }
    DrawOtherQuakeList();
    DrawScaleBar();
    FPainter.end();
    emit frameReady();
}

void TAlertMap::ShowCancelled()
{
    if (FBuffer.isNull()) {
        return;
    }
    FPainter.begin(&FBuffer);
    FPainter.setRenderHint(QPainter::Antialiasing, true);
    FPainter.setRenderHint(QPainter::TextAntialiasing, true);
    // The countdown, plates and circles stay readable underneath but plainly void.
    FPainter.fillRect(FBuffer.rect(), QColor(0x40, 0x40, 0x48, 0xB0));
    const QRect board((FrameSide - 360) / 2, (FrameSide - 150) / 2, 360, 150);
    FPainter.fillRect(board, QColor(0x70, 0x70, 0x78, 0xF0));
    FPainter.setPen(QPen(Qt::white, 2.0));
    FPainter.drawRect(board.adjusted(1, 1, -2, -2));
    QFont big(FTextFont);
    big.setPixelSize(64);
    big.setBold(true);
    FPainter.setFont(big);
    FPainter.drawText(board.adjusted(0, 8, 0, -50), Qt::AlignCenter, QStringLiteral("取消"));
    QFont small(FTextFont);
    small.setPixelSize(16);
    small.setBold(true);
    FPainter.setFont(small);
    FPainter.drawText(board.adjusted(0, 96, 0, -12), Qt::AlignCenter,
                      QStringLiteral("この緊急地震速報は取り消されました"));
    FPainter.end();
    emit frameReady();
}

void TAlertMap::DrawMap()
{
    // Overwrites the whole previous frame.
    FPainter.setCompositionMode(QPainter::CompositionMode_Source);
    FPainter.drawImage(0, 0, FBase);
    FPainter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void TAlertMap::DrawWaveCircles(const TAlertTiming& Timing, const TAlertTick& Tick)
{
    FSRadius = 0.0;
    FPRadius = 0.0;
    const QPoint e = ToView(FELat, FELng);
    const QPoint h = ToView(FLLat, FLLng);
    const double homePx = std::hypot(double(h.x() - e.x()), double(h.y() - e.y()));
    const double homeKm = eqf::GeodesicDistanceKm(FELat, FELng, FLLat, FLLng);
    // Scaled so that the S-wave circle passes through the home mark.
    const double pxPerKm = homePx > 0.0 && homeKm > 0.5 ? homePx / homeKm : PixelsPerKm(FELat);
    const int depth = Timing.GetEq01Telegram().GetEpicDepth();
    double pHome = 0.0;
    double sHome = 0.0;
    const bool model = std::isfinite(homeKm) && depth >= 0 && depth <= eqf::TEqTravelTimeGrid::MaxDepthKm &&
                       eqf::TEqTravelTimeGrid::GetShared().GetTravelTimes(depth, homeKm, pHome, sHome) &&
                       Tick.ArrivalSec > 0 && sHome > 0.0;
    if (model) {
        // The countdown runs on the rounded estimate: the model's clock is stretched to it,
        // so the S-wave front reaches home on the tick the countdown ends.
        const double sec = Tick.NowMSecs >= Tick.OccurMSecs ? double(Tick.ElapsedSec) : 0.0;
        const double modelSec = sec * sHome / Tick.ArrivalSec;
        double pKm = 0.0;
        double sKm = 0.0;
        WaveFronts(depth, modelSec, pKm, sKm);
        FSRadius = sKm * pxPerKm;
        FPRadius = FArrived ? 0.0 : pKm * pxPerKm;
    } else {
        FSRadius = double(Tick.Radius) * FView.Scale;
    }
    if (FSRadius > 0.0) {
        DrawSWaveCircle(FSRadius, Tick.Color, false);
    }
    if (FPRadius > 0.0) {
        DrawPWaveCircle(FPRadius);
    }
}

void TAlertMap::DrawPWaveCircle(double Radius)
{
    const QPoint e = ToView(FELat, FELng);
    FPainter.save();
    FPainter.setRenderHint(QPainter::Antialiasing, true);
    FPainter.translate(0.5, 0.5);
    FPainter.setPen(QPen(Argb(PWavePen), 1.5));
    FPainter.setBrush(Qt::NoBrush);
    FPainter.drawEllipse(QPointF(e), Radius, Radius);
    FPainter.restore();
}

void TAlertMap::DrawOtherQuakes()
{
    FPainter.save();
    FPainter.setRenderHint(QPainter::Antialiasing, true);
    FPainter.translate(0.5, 0.5);
    for (const TAlertMapQuake& q : FOthers) {
        const QPoint e = ToView(q.EpicLat, q.EpicLong);
        double pKm = 0.0;
        double sKm = 0.0;
        if (WaveFronts(q.DepthKm, q.ElapsedSec, pKm, sKm)) {
            const double ppk = PixelsPerKm(q.EpicLat);
            const quint32 colour = TSeismicIntensityScale::GetScaleColor(q.EstSIS) & 0x00FFFFFFu;
            if (sKm > 0.0) {
                FPainter.setPen(QPen(Argb(colour | 0xFF000000u), 1.0));
                FPainter.setBrush(Argb(colour | 0x30000000u));
                FPainter.drawEllipse(QPointF(e), sKm * ppk, sKm * ppk);
            }
            if (pKm > 0.0 && !q.Arrived) {
                FPainter.setPen(QPen(Argb(PWavePen), 1.0));
                FPainter.setBrush(Qt::NoBrush);
                FPainter.drawEllipse(QPointF(e), pKm * ppk, pKm * ppk);
            }
        }
    }
    FPainter.restore();
    for (const TAlertMapQuake& q : FOthers) {
        const QPoint e = ToView(q.EpicLat, q.EpicLong) - QPoint(FRcXMarkSmall.width() / 2, FRcXMarkSmall.height() / 2);
        if (QRect(e, FRcXMarkSmall.size()).intersects(MapRect())) {
            FPainter.drawImage(e, FRcXMarkSmall);
        }
    }
}

void TAlertMap::DrawOtherQuakeList()
{
    if (FOthers.isEmpty()) {
        return;
    }
    QStringList lines;
    for (int i = 0; i < FOthers.size() && i < MaxListedQuakes; ++i) {
        const TAlertMapQuake& q = FOthers[i];
        const QString where =
            !q.Name.isEmpty() ? q.Name : QStringLiteral("N%1 E%2").arg(q.EpicLat, 0, 'f', 1).arg(q.EpicLong, 0, 'f', 1);
        const QString left = q.Arrived ? QStringLiteral("到達") : QStringLiteral("あと%1秒").arg(q.SecondsLeft);
        lines << QStringLiteral("%1%2  震度%3  %4")
                     .arg(q.IsWarning ? QStringLiteral("[警報] ") : QString(), where,
                          TSeismicIntensityScale::GetScaleAsShortString(q.EstSIS), left);
    }
    if (FOthers.size() > MaxListedQuakes) {
        lines << QStringLiteral("ほか %1 件").arg(FOthers.size() - MaxListedQuakes);
    }
    const int top = FIsIssuedWarning ? 96 : 8;
    const QRect area(208, top, 288, 18 * static_cast<int>(lines.size()) + 6);
    FPainter.fillRect(area, Argb(PlateFill));
    Outline(PlateFrame, area.x(), area.y(), area.width(), area.height());
    QFont font(FTextFont);
    font.setPixelSize(13);
    const QFontMetricsF metrics(font);
    for (int i = 0; i < lines.size(); ++i) {
        const QString text = metrics.elidedText(lines[i], Qt::ElideRight, area.width() - 10);
        DrawDecoratedString(dssBordered, text, FTextFont, 13, TextFill, TextEdge, float(area.x() + 5),
                            float(area.y() + 3 + 18 * i));
    }
}

void TAlertMap::DrawEdgePointer(QPoint Target)
{
    // On the frame's edge, in the direction of the epicentre from the frame's centre.
    const QPointF centre(FrameSide / 2.0, FrameSide / 2.0);
    const QPointF d = QPointF(Target) - centre;
    const double inset = FrameSide / 2.0 - 14.0;
    const double t = inset / std::max(std::fabs(d.x()), std::fabs(d.y()));
    const QPointF tip = centre + d * t;
    const double length = std::hypot(d.x(), d.y());
    const QPointF u = d / length;
    const QPointF n(-u.y(), u.x());
    QPainterPath arrow;
    arrow.moveTo(tip + u * 10.0);
    arrow.lineTo(tip - u * 8.0 + n * 9.0);
    arrow.lineTo(tip - u * 3.0);
    arrow.lineTo(tip - u * 8.0 - n * 9.0);
    arrow.closeSubpath();
    FPainter.save();
    FPainter.setRenderHint(QPainter::Antialiasing, true);
    FPainter.setPen(QPen(Argb(TextEdge), 1.5));
    FPainter.setBrush(Argb(PointerFill));
    FPainter.drawPath(arrow);
    FPainter.restore();
}

void TAlertMap::DrawArrived(const QRect& DrawArea)
{
    QFont font(FTextFont);
    font.setPixelSize(48);
    font.setBold(true);
    QPainterPath path;
    path.addText(QPointF(DrawArea.x() + 3, DrawArea.y() + 3 + QFontMetricsF(font).ascent()), font,
                 QStringLiteral("揺れに警戒"));
    FPainter.save();
    FPainter.setRenderHint(QPainter::Antialiasing, true);
    FPainter.strokePath(path, QPen(Argb(TextEdge), 5.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    FPainter.fillPath(path, Argb(ArrivedFill));
    FPainter.restore();
}

void TAlertMap::DrawScaleBar()
{
    constexpr int right = 492;
    constexpr int y = 486;
    const double ppk = PixelsPerKm(AlertMapGeometry::IsOnMap(FELat, FELng) ? (FELat + FLLat) / 2.0 : FLLat);
    int km = 1;
    for (const int length : {1, 2, 5, 10, 20, 50, 100, 200, 500}) {
        if (length * ppk <= 80.0) {
            km = length;
        }
    }
    const int w = std::max(1, static_cast<int>(std::lround(km * ppk)));
    FPainter.save();
    FPainter.setRenderHint(QPainter::Antialiasing, false);
    FPainter.fillRect(QRect(right - w - 2, y - 5, w + 5, 8), Argb(TextEdge));
    FPainter.fillRect(QRect(right - w, y, w + 1, 2), Argb(TextFill));
    FPainter.fillRect(QRect(right - w, y - 4, 2, 6), Argb(TextFill));
    FPainter.fillRect(QRect(right - 1, y - 4, 2, 6), Argb(TextFill));
    FPainter.restore();
    QFont font(FTextFont);
    font.setPixelSize(12);
    font.setHintingPreference(QFont::PreferNoHinting);
    const QString label = QStringLiteral("%1 km").arg(km);
    const double tw = QFontMetricsF(font).horizontalAdvance(label);
    DrawDecoratedString(dssBordered, label, FTextFont, 12, TextFill, TextEdge, float(right - tw), float(y - 22));
}

void TAlertMap::DrawSWaveCircle(double Radius, quint32 ScaleCol, bool OnlyDrawCircle)
{
    const QPoint e = ToView(FELat, FELng);
    const double d = Radius;
    const QRectF circle(e.x() - d, e.y() - d, 2 * d, 2 * d);
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
    // The epicentre mark goes on top of the home mark, unless it would hide the pin.
    const QRect home = QRect(-12, -24, 24, 24).translated(ToView(FLLat, FLLng));
    const QRect epicentre = QRect(-12, -12, 24, 24).translated(ToView(FELat, FELng));
    if (home.intersects(epicentre)) {
        DrawLandmarkEpicenter(FELat, FELng);
        DrawLandmarkHome(FLLat, FLLng);
        return;
    }
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
    const QPoint at = ToView(Lat, Lng) - QPoint(Mark.width() / 2, Mark.height() / 2);
    // A mark that would start outside the frame is left out; an epicentre gets a pointer instead.
    if (at.x() < 0 || at.x() > FrameSide || at.y() < 0 || at.y() > FrameSide) {
        if (&Mark == &FRcXMark) {
            DrawEdgePointer(ToView(Lat, Lng));
        }
        return;
    }
    FPainter.drawImage(at, Mark);
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
    DrawPlate(FEpicName, FNameFontSize, 116, 40);
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
