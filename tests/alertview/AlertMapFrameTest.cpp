// Pixel tests on composed alert frames: where each part lands, in which colour
// and order, probed on the 500 x 500 buffer without any window.
#include "AlertViewTestSupport.h"

#include "alert/AlertMapGeometry.h"
#include "alertview/AlertMapView.h"
#include "alertview/AlertResources.h"
#include "eqfunction/EqForecast.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

using namespace AlertViewTest;

namespace {

constexpr quint32 BoardFill = 0x801D1D8A;
constexpr QRgb BoardLight = 0xFF6C6CE9;
constexpr QRgb BoardDark = 0xFF1A1A4E;
constexpr quint32 PlateFill = 0x80171766;
constexpr QRgb PlateFrame = 0xFF171768;
constexpr QRgb PlateLight = 0xFF8E8EBC;
constexpr QRgb PlateDark = 0xFF40409B;

class AlertMapFrameTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FMap = std::make_unique<TAlertMap>();
        ASSERT_EQ(FMap->LoadResult(), 0);
        FMap->SetZoom(1);
        FBareMap = AlertResources::LoadImage(QStringLiteral("BMP_MAP_SMALL")).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(FBareMap.size(), QSize(500, 500));
    }

    const QImage& Paint(const TScene& Scene)
    {
        PaintScene(*FMap, Scene);
        return FMap->Frame();
    }

    // The map under the last frame: the boards are probed against it at every scale.
    const QImage& Base() const { return FMap->Base(); }

    // Share of Image's opaque pixels found unchanged in the frame with Image's top-left at At.
    double ImageMatch(const QImage& Frame, const QString& Name, QPoint At) const
    {
        const QImage image = AlertResources::LoadImage(Name).convertToFormat(QImage::Format_ARGB32);
        int opaque = 0;
        int same = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                const QPoint f = At + QPoint(x, y);
                if (qAlpha(p) == 255 && Frame.rect().contains(f)) {
                    ++opaque;
                    same += Near(Frame.pixel(f), p, 1) ? 1 : 0;
                }
            }
        }
        return opaque == 0 ? 0.0 : double(same) / opaque;
    }

    std::unique_ptr<TAlertMap> FMap;
    QImage FBareMap;
};

// The boards stand in the same pixels whatever the map's scale.
constexpr int Zooms[] = {1, 2, 4, 8, TAlertMap::AutoZoom};

struct TPixel
{
    QPoint At;
    QRgb Expected;
    const char* What;
};

TEST_F(AlertMapFrameTest, InformationBoardEdgesFillAndColourBar)
{
    for (const int zoom : Zooms) {
        SCOPED_TRACE(testing::Message() << "zoom " << zoom);
        FMap->SetZoom(zoom);
        TScene scene;
        scene.ElapsedMSecs = 0; // no wave circle yet
        const QImage& frame = Paint(scene);
        // The board (8, 8, 192, 104): light edges first, the dark ones drawn over them at the corners.
        const TPixel edges[] = {
            {{8, 8}, BoardLight, "top-left corner"},
            {{150, 8}, BoardLight, "top row"},
            {{150, 9}, BoardLight, "second top row"},
            {{8, 60}, BoardLight, "left column"},
            {{9, 60}, BoardLight, "second left column"},
            {{200, 8}, BoardDark, "top-right corner"},
            {{200, 60}, BoardDark, "right column"},
            {{199, 60}, BoardDark, "second right column"},
            {{100, 112}, BoardDark, "bottom row"},
            {{100, 111}, BoardDark, "second bottom row"},
            {{8, 112}, BoardDark, "bottom-left corner"},
            {{9, 111}, BoardDark, "inner bottom-left"},
            {{20, 100}, Blend(BoardFill, Base().pixel(20, 100)), "half-transparent fill"},
            {{201, 60}, Base().pixel(201, 60), "right of the board"},
            {{100, 113}, Base().pixel(100, 113), "below the board"},
        };
        for (const TPixel& p : edges) {
            EXPECT_TRUE(Near(frame.pixel(p.At), p.Expected, 2))
                << p.What << " at (" << p.At.x() << ", " << p.At.y() << "): " << Hex(frame.pixel(p.At)).toStdString()
                << " instead of " << Hex(p.Expected).toStdString();
        }

        // Nine cells of 16 x 16 from (32, 92): class colour, black inner and white outer square, label.
        const double scales[] = {0.5, 1.5, 2.5, 3.5, 4.5, 5.0, 5.5, 6.0, 6.5};
        for (int i = 0; i < 9; ++i) {
            const int cx = 32 + 16 * i;
            const int cy = 92;
            const QRgb colour = TSeismicIntensityScale::GetScaleColor(scales[i]);
            SCOPED_TRACE(testing::Message() << "cell " << i << " at x " << cx);
            EXPECT_EQ(frame.pixel(cx + 13, cy + 13), colour);
            EXPECT_EQ(frame.pixel(cx + 8, cy + 15), 0xFF010101u) << "inner square, bottom edge";
            EXPECT_EQ(frame.pixel(cx + 15, cy + 14), 0xFF010101u) << "inner square, right edge";
            EXPECT_EQ(frame.pixel(cx + 8, cy), 0xFFFEFEFEu) << "outer square, top edge";
            EXPECT_EQ(frame.pixel(cx + 8, cy + 16), 0xFFFEFEFEu) << "outer square, bottom edge";
            const QRect label(cx + 2, cy + 2, 13, 11);
            const bool whiteLabel = i >= 6;
            const int ink = CountPixels(frame, label, [whiteLabel](QRgb c) {
                return whiteLabel ? Near(c, 0xFFFFFFFF, 40) : Near(c, 0xFF000000, 40);
            });
            EXPECT_GE(ink, 6) << (whiteLabel ? "white" : "black") << " label";
        }
        EXPECT_EQ(frame.pixel(176, 100), 0xFFFEFEFEu) << "right edge of the last cell";
    }
}

TEST_F(AlertMapFrameTest, IntensityNumeralAndSuffix)
{
    struct TCase
    {
        float Scale;
        const char* Numeral;
        const char* Suffix; // nullptr: nothing right of the numeral
    };
    const TCase cases[] = {
        {0.2f, "PNG_SIS_0", nullptr},      {3.0f, "PNG_SIS_3", nullptr},      {4.7f, "PNG_SIS_5", "PNG_SIS_11"},
        {5.2f, "PNG_SIS_6", "PNG_SIS_10"}, {5.7f, "PNG_SIS_7", "PNG_SIS_11"}, {6.2f, "PNG_SIS_8", "PNG_SIS_10"},
        {6.7f, "PNG_SIS_9", nullptr},
    };
    for (const int zoom : Zooms) {
        FMap->SetZoom(zoom);
        for (const TCase& c : cases) {
            SCOPED_TRACE(testing::Message() << "intensity " << c.Scale << ", zoom " << zoom);
            TScene scene;
            scene.Scale = c.Scale;
            const QImage& frame = Paint(scene);
            EXPECT_GE(ImageMatch(frame, QString::fromLatin1(c.Numeral), {72, 12}), 0.99);
            for (const char* suffix : {"PNG_SIS_10", "PNG_SIS_11"}) {
                const double match = ImageMatch(frame, QString::fromLatin1(suffix), {136, 12});
                if (c.Suffix && qstrcmp(c.Suffix, suffix) == 0) {
                    EXPECT_GE(match, 0.99) << suffix;
                } else {
                    EXPECT_LT(match, 0.2) << suffix << " drawn where it does not belong";
                }
            }
        }
    }
    // The numeral's own pixels carry the class colour: the yellow 5 of class 5 lower.
    TScene lower5;
    lower5.Scale = 4.7f;
    const int yellow = CountPixels(Paint(lower5), QRect(72, 12, 64, 64),
                                   [](QRgb c) { return c == TSeismicIntensityScale::GetScaleColor(4.7); });
    EXPECT_GT(yellow, 200);
}

TEST_F(AlertMapFrameTest, CountdownPlacementAndDigitColours)
{
    struct TCase
    {
        float EstimatedSec;
        qint64 ElapsedMSecs;
        int X; // left of the first digit
        QString Digits;
        bool White;
    };
    const TCase cases[] = {
        {30.0f, 18000, 186, QStringLiteral("12"), true},   {30.0f, 23000, 218, QStringLiteral("7"), false},
        {30.0f, 20000, 186, QStringLiteral("10"), true},   {30.0f, 21000, 218, QStringLiteral("9"), false},
        {130.0f, 30000, 154, QStringLiteral("100"), true}, {30.0f, 29500, 218, QStringLiteral("0"), false},
    };
    for (const int zoom : Zooms) {
        FMap->SetZoom(zoom);
        for (const TCase& c : cases) {
            SCOPED_TRACE(testing::Message() << "countdown " << c.Digits.toStdString() << ", zoom " << zoom);
            TScene scene;
            scene.EstimatedSec = c.EstimatedSec;
            scene.ElapsedMSecs = c.ElapsedMSecs;
            const QImage& frame = Paint(scene);
            const int y = 424;
            const int w = 64 * int(c.Digits.size());
            const QString set = c.White ? QStringLiteral("W") : QStringLiteral("R");
            const QString other = c.White ? QStringLiteral("R") : QStringLiteral("W");
            for (int i = 0; i < c.Digits.size(); ++i) {
                const QString digit = c.Digits.mid(i, 1);
                EXPECT_GE(ImageMatch(frame, QStringLiteral("PNG_NUM_%1%2").arg(digit, set), {c.X + 64 * i, y}), 0.98)
                    << "digit " << i;
                EXPECT_LT(ImageMatch(frame, QStringLiteral("PNG_NUM_%1%2").arg(digit, other), {c.X + 64 * i, y}), 0.5)
                    << "digit " << i << " of the wrong colour";
            }
            // Nothing of a digit left or right of the number.
            for (const QString& name : {QStringLiteral("PNG_NUM_%1%2").arg(c.Digits.left(1), set),
                                        QStringLiteral("PNG_NUM_%1%2").arg(c.Digits.right(1), set)}) {
                EXPECT_LT(ImageMatch(frame, name, {c.X - 64, y}), 0.5);
                EXPECT_LT(ImageMatch(frame, name, {c.X + w, y}), 0.5);
            }
            // "到達まであと" ends where the digits start; "秒" starts where they end, 40 pixels lower.
            auto dark = [](QRgb p) { return Near(p, 0xFF000000, 60); };
            EXPECT_GT(CountPixels(frame, QRect(c.X - 120, y, 120, 30), dark), 40);
            EXPECT_EQ(CountPixels(frame, QRect(0, y, c.X - 121, 30), dark), 0);
            EXPECT_EQ(CountPixels(frame, QRect(c.X, y, w, 64), dark), 0);
            EXPECT_GT(CountPixels(frame, QRect(c.X + w, y + 40, 21, 28), dark), 20);
            EXPECT_EQ(CountPixels(frame, QRect(c.X + w + 22, y + 40, 40, 28), dark), 0);
        }
    }
}

TEST_F(AlertMapFrameTest, WarningSignBoardOnlyForWarnings)
{
    for (const int zoom : Zooms) {
        FMap->SetZoom(zoom);
        for (const bool warning : {true, false}) {
            SCOPED_TRACE(testing::Message() << (warning ? "warning" : "forecast") << ", zoom " << zoom);
            TScene scene;
            scene.Warning = warning;
            const QImage& frame = Paint(scene);
            const TPixel pen[] = {{{208, 50}, 0xFFFF2800, "left edge"},
                                  {{352, 50}, 0xFFFF2800, "right edge"},
                                  {{280, 8}, 0xFFFF2800, "top edge"},
                                  {{280, 88}, 0xFFFF2800, "bottom edge"},
                                  {{212, 12}, Blend(0x80FF2800, Base().pixel(212, 12)), "fill"}};
            for (const TPixel& p : pen) {
                const QRgb expected = warning ? p.Expected : Base().pixel(p.At);
                EXPECT_TRUE(Near(frame.pixel(p.At), expected, 2))
                    << p.What << ": " << Hex(frame.pixel(p.At)).toStdString();
            }
            const double sign = ImageMatch(frame, QStringLiteral("PNG_EQSIGN_2"), {216, 16});
            if (warning) {
                EXPECT_GE(sign, 0.99);
            } else {
                EXPECT_LT(sign, 0.1);
            }
            EXPECT_LT(ImageMatch(frame, QStringLiteral("PNG_EQSIGN_1"), {216, 16}), 0.1)
                << "the forecast sign never shows";
        }
    }
}

TEST_F(AlertMapFrameTest, EpicentreNamePlate)
{
    for (const int zoom : Zooms) {
        SCOPED_TRACE(testing::Message() << "zoom " << zoom);
        FMap->SetZoom(zoom);
        // Without a type-10 telegram: an empty plate 16 pixels wide, 40 high, hanging from the left edge.
        TScene unnamed;
        unnamed.ElapsedMSecs = 0; // no wave circle yet
        const QImage& empty = Paint(unnamed);
        const TPixel plate[] = {
            {{0, 116}, PlateFrame, "top line"},
            {{16, 116}, PlateFrame, "top-right corner"},
            {{16, 140}, PlateFrame, "right line"},
            {{3, 156}, PlateFrame, "bottom line"},
            {{10, 120}, PlateFrame, "corner square"},
            {{3, 117}, PlateDark, "inner dark line"},
            {{12, 124}, PlateDark, "dark line under the corner square"},
            {{15, 140}, PlateLight, "inner light line, right"},
            {{5, 155}, PlateLight, "inner light line, bottom"},
            {{5, 140}, Blend(PlateFill, Base().pixel(5, 140)), "fill"},
            {{17, 140}, Base().pixel(17, 140), "right of the plate"},
        };
        for (const TPixel& p : plate) {
            EXPECT_TRUE(Near(empty.pixel(p.At), p.Expected, 2))
                << p.What << " at (" << p.At.x() << ", " << p.At.y() << "): " << Hex(empty.pixel(p.At)).toStdString();
        }

        // With a name the plate grows to hold it: the text ends inside the plate's right edge.
        TScene named = unnamed;
        named.EpicName = QStringLiteral("熊本県熊本地方");
        const QImage& frame = Paint(named);
        int right = -1;
        for (int x = 499; x > 16 && right < 0; --x) {
            if (frame.pixel(x, 140) == PlateFrame) {
                right = x;
            }
        }
        ASSERT_GT(right, 16 + 7 * 20) << "seven 24-pixel characters need a wider plate";
        auto dark = [](QRgb p) { return Near(p, 0xFF000000, 60); };
        EXPECT_GT(CountPixels(frame, QRect(4, 118, right - 4, 36), dark), 200);
        EXPECT_EQ(CountPixels(frame, QRect(right - 6, 118, 6, 36), dark), 0) << "text runs into the plate's edge";
        EXPECT_EQ(frame.pixel(right + 1, 140), Base().pixel(right + 1, 140));
    }
}

TEST_F(AlertMapFrameTest, MarksOnlyWhereTheirPointIsOnTheMap)
{
    auto markInk = [](QRgb c) {
        const bool red = qRed(c) > 190 && qGreen(c) < 60 && qBlue(c) < 60;
        const bool yellow = qRed(c) > 220 && qGreen(c) > 200 && qBlue(c) < 60;
        const bool green = qGreen(c) > 150 && qRed(c) < 100 && qBlue(c) < 120;
        return red || yellow || green;
    };
    struct TCase
    {
        const char* What;
        TScene Scene;
        QRect Where;
        bool Drawn;
    };
    TScene outside; // 20.0 N, south of the map: projects to (0, 0)
    outside.EpicLat = QStringLiteral("200");
    outside.EpicLng = QStringLiteral("1250");
    TScene northHome; // the home mark would start above the map's top edge
    northHome.HomeLat = 46.4f;
    northHome.HomeLng = 141.0f;
    int hx = 0;
    int hy = 0;
    AlertMapGeometry::LatLngToXY(northHome.HomeLat, northHome.HomeLng, hx, hy);
    int tx = 0;
    int ty = 0;
    AlertMapGeometry::LatLngToXY(TScene{}.HomeLat, TScene{}.HomeLng, tx, ty);
    int ex = 0;
    int ey = 0;
    AlertMapGeometry::LatLngToXY(32.7f, 130.8f, ex, ey);
    const TCase cases[] = {
        {"epicentre on the map", TScene{}, QRect(ex - 12, ey - 12, 24, 24), true},
        {"epicentre off the map", outside, QRect(0, 0, 24, 24), false},
        {"home on the map", TScene{}, QRect(tx - 12, ty - 24, 24, 24), true},
        {"home at the top edge", northHome, QRect(hx - 12, 0, 24, hy + 1), false},
    };
    for (const TCase& c : cases) {
        const QImage& frame = Paint(c.Scene);
        const int ink = CountPixels(frame, c.Where, markInk);
        if (c.Drawn) {
            EXPECT_GT(ink, 40) << c.What;
        } else {
            EXPECT_EQ(ink, 0) << c.What;
        }
    }
}

TEST_F(AlertMapFrameTest, SWaveCircleRadiusAndAlpha)
{
    // The circle grows by the travel-time model with alpha Round(96/30) * 18 = 54 at
    // 18 s of 30; at the arrival it reaches home with alpha 0x80.
    struct TCase
    {
        qint64 ElapsedMSecs;
        quint32 Alpha;
    };
    for (const TCase& c : {TCase{18000, 54}, TCase{30000, 0x80}}) {
        SCOPED_TRACE(testing::Message() << "elapsed " << c.ElapsedMSecs << " ms");
        TScene scene;
        scene.ElapsedMSecs = c.ElapsedMSecs;
        const TAlertTick t = PaintScene(*FMap, scene);
        const QImage& frame = FMap->Frame();
        ASSERT_EQ(t.Color >> 24, c.Alpha);
        const int r = RoundHalfEven(FMap->SRadius());
        const QPoint e = FMap->ToView(32.7, 130.8);
        ASSERT_GT(r, 20);
        const quint32 colour = TSeismicIntensityScale::GetScaleColor(scene.Scale);
        // Straight right of the epicentre: the 2-pixel ring, the fill inside, the map outside.
        const QPoint ring(e.x() + r, e.y());
        EXPECT_TRUE(Near(frame.pixel(ring), colour, 2)) << Hex(frame.pixel(ring)).toStdString();
        const QPoint inside(e.x() + r - 5, e.y());
        EXPECT_TRUE(Near(frame.pixel(inside), Blend((colour & 0xFFFFFF) | (c.Alpha << 24), Base().pixel(inside)), 2))
            << Hex(frame.pixel(inside)).toStdString();
        const QPoint outsidePt(e.x() + r + 4, e.y());
        EXPECT_EQ(frame.pixel(outsidePt), Base().pixel(outsidePt));
    }
}

// Earthquakes across Japan, each with a home it threatens.
struct TQuakeCase
{
    const char* What;
    double EpiLat, EpiLng;
    int Depth;
    double Magnitude;
    float HomeLat, HomeLng;
    bool Warning;
    const char* Name;
};
const TQuakeCase QuakeCases[] = {
    {"Kanto at Tokyo", 35.3, 139.2, 23, 7.9, 35.689f, 139.692f, true, "神奈川県西部"},
    {"Tokyo Bay at Tokyo", 35.6, 139.8, 40, 6.0, 35.689f, 139.692f, true, "東京湾"},
    {"Noto at Kanazawa", 37.5, 137.2, 16, 7.6, 36.594f, 136.626f, true, "石川県能登地方"},
    {"off Miyagi at Sendai", 38.1, 142.9, 24, 7.9, 38.269f, 140.872f, true, "三陸沖"},
    {"Okinawa at Naha", 25.8, 127.9, 40, 7.0, 26.212f, 127.681f, true, "沖縄本島近海"},
    {"Okinawa at Tokyo", 25.8, 127.9, 40, 7.0, 35.689f, 139.692f, false, "沖縄本島近海"},
    {"off Kushiro at Sapporo", 42.7, 144.9, 40, 7.5, 43.064f, 141.347f, true, "釧路沖"},
    {"off Nemuro at Sapporo", 43.0, 146.5, 50, 8.0, 43.064f, 141.347f, true, "根室半島南東沖"},
    {"Kumamoto at Kumamoto", 32.7, 130.8, 10, 6.5, 32.790f, 130.742f, true, "熊本県熊本地方"},
    {"Hyuga-nada at Miyazaki", 31.8, 131.9, 30, 7.1, 31.911f, 131.424f, false, "日向灘"},
    {"Sea of Japan west of Hokkaido at Sapporo", 42.8, 139.2, 30, 7.8, 43.064f, 141.347f, true, "北海道南西沖"},
    {"Izu islands at Tokyo", 33.1, 139.8, 60, 6.8, 35.689f, 139.692f, false, "八丈島近海"},
    {"Kuril beyond the map at Sapporo", 47.3, 152.5, 30, 8.0, 43.064f, 141.347f, false, "千島列島"},
};

TAlertTick PaintQuake(TAlertMap& Map, const TQuakeCase& C, double ElapsedSec, double* SSec = nullptr)
{
    double intensity = 0.0;
    double p = 0.0;
    double s = 0.0;
    EXPECT_EQ(
        eqf::CalculateForecast(C.EpiLat, C.EpiLng, C.Depth, C.Magnitude, C.HomeLat, C.HomeLng, 1.4, &intensity, &p, &s),
        0);
    if (SSec) {
        *SSec = s;
    }
    TScene scene;
    scene.EpicLat = QStringLiteral("%1").arg(std::lround(C.EpiLat * 10), 3, 10, QLatin1Char('0'));
    scene.EpicLng = QStringLiteral("%1").arg(std::lround(C.EpiLng * 10), 4, 10, QLatin1Char('0'));
    scene.Depth = QStringLiteral("%1").arg(C.Depth, 3, 10, QLatin1Char('0'));
    scene.HomeLat = C.HomeLat;
    scene.HomeLng = C.HomeLng;
    scene.Scale = static_cast<float>(intensity);
    scene.EstimatedSec = static_cast<float>(s);
    scene.ElapsedMSecs = std::llround(ElapsedSec * 1000.0);
    scene.Warning = C.Warning;
    scene.EpicName = QString::fromUtf8(C.Name);
    // Each case its own earthquake: the view is held per earthquake.
    scene.EqId = QStringLiteral("ND20%1").arg(qHash(QByteArray(C.What)) % 1000000000000ull, 12, 10, QLatin1Char('0'));
    return PaintScene(Map, scene);
}

TEST_F(AlertMapFrameTest, SWaveReachesHomeOnTheArrivalTickAtEveryScale)
{
    for (const int zoom : Zooms) {
        FMap->SetZoom(zoom);
        for (const TQuakeCase& c : QuakeCases) {
            SCOPED_TRACE(testing::Message() << c.What << ", zoom " << zoom);
            double sSec = 0.0;
            PaintQuake(*FMap, c, 1.0, &sSec);
            const int arrival = RoundHalfEven(sSec);
            const QPoint e = FMap->ToView(c.EpiLat, c.EpiLng);
            const QPoint h = FMap->ToView(c.HomeLat, c.HomeLng);
            const double home = std::hypot(double(h.x() - e.x()), double(h.y() - e.y()));
            // One tick before: short of home, the P-wave ahead of it.
            const TAlertTick before = PaintQuake(*FMap, c, arrival - 0.5);
            EXPECT_FALSE(before.Arrived);
            EXPECT_LT(FMap->SRadius(), home);
            EXPECT_GT(FMap->PRadius(), FMap->SRadius());
            const TAlertTick at = PaintQuake(*FMap, c, arrival + 0.2);
            ASSERT_TRUE(at.Arrived);
            EXPECT_NEAR(FMap->SRadius(), home, 1.0);
            EXPECT_EQ(FMap->PRadius(), 0.0) << "the P-wave circle ends with the countdown";
        }
    }
}

TEST_F(AlertMapFrameTest, MarksStayClearOfTheBoardsAcrossJapan)
{
    FMap->SetZoom(TAlertMap::AutoZoom);
    const QRect homeMark(-12, -24, 24, 24); // the pin above its point
    const QRect epicentreMark(-12, -12, 24, 24);
    for (const TQuakeCase& c : QuakeCases) {
        SCOPED_TRACE(c.What);
        for (const double elapsed : {2.0, 6.0}) {
            PaintQuake(*FMap, c, elapsed);
            QVector<QRect> marks{homeMark.translated(FMap->ToView(c.HomeLat, c.HomeLng))};
            const bool onMap = AlertMapGeometry::IsOnMap(float(c.EpiLat), float(c.EpiLng));
            if (onMap) {
                marks << epicentreMark.translated(FMap->ToView(c.EpiLat, c.EpiLng));
            }
            for (const QRect& mark : marks) {
                EXPECT_TRUE(FMap->Frame().rect().contains(mark)) << "mark at " << mark.x() << "," << mark.y();
                for (const QRect& board : FMap->Boards()) {
                    EXPECT_FALSE(board.intersects(mark))
                        << "mark at " << mark.x() << "," << mark.y() << " under the board at " << board.x() << ","
                        << board.y() << " " << board.width() << "x" << board.height() << ", scale " << FMap->Scale();
                }
            }
        }
    }
    // Close earthquakes get the closest view, distant ones a wider one.
    PaintQuake(*FMap, QuakeCases[0], 5.0);
    EXPECT_EQ(FMap->Scale(), 8);
    PaintQuake(*FMap, QuakeCases[5], 5.0);
    EXPECT_LE(FMap->Scale(), 2);
}

TEST_F(AlertMapFrameTest, ZoomOffKeepsTheWholeMapAndAutoHoldsTheScaleForTheAlert)
{
    FMap->SetZoom(1);
    PaintQuake(*FMap, QuakeCases[0], 5.0);
    EXPECT_EQ(FMap->Scale(), 1);
    EXPECT_EQ(FMap->ViewOffset(), QPoint(0, 0));
    EXPECT_EQ(Base(), FBareMap) << "the fixed map is today's map, unmoved";

    // A later report of the same earthquake far away widens the view; coming back does not narrow it.
    FMap->SetZoom(TAlertMap::AutoZoom);
    TQuakeCase moved = QuakeCases[0];
    PaintQuake(*FMap, moved, 5.0);
    ASSERT_EQ(FMap->Scale(), 8);
    moved.EpiLat = 33.5;
    moved.EpiLng = 135.5;
    PaintQuake(*FMap, moved, 6.0);
    const int wider = FMap->Scale();
    EXPECT_LT(wider, 8);
    PaintQuake(*FMap, QuakeCases[0], 7.0);
    EXPECT_EQ(FMap->Scale(), wider);
    // Another earthquake starts afresh.
    TScene next;
    next.EqId = QStringLiteral("ND20160414212699");
    next.EpicLat = QStringLiteral("353");
    next.EpicLng = QStringLiteral("1392");
    PaintScene(*FMap, next);
    EXPECT_EQ(FMap->Scale(), 8);
}

TEST_F(AlertMapFrameTest, ArrivedStateReplacesTheCountdown)
{
    auto red = [](QRgb p) { return qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 80; };
    for (const qint64 elapsed : {30000, 32400, 95000}) { // on the arrival, 2 s and 65 s later
        SCOPED_TRACE(testing::Message() << "elapsed " << elapsed);
        TScene scene;
        scene.ElapsedMSecs = elapsed;
        const QImage& frame = Paint(scene);
        EXPECT_GT(CountPixels(frame, QRect(120, 426, 260, 62), red), 800) << "揺れに警戒 in the countdown's place";
        for (int digit = 0; digit <= 9; ++digit) {
            for (const int x : {154, 186, 218, 250, 282}) {
                EXPECT_LT(ImageMatch(frame, QStringLiteral("PNG_NUM_%1R").arg(digit), {x, 424}), 0.5);
            }
        }
    }
    TScene counting;
    counting.ElapsedMSecs = 29500;
    EXPECT_GE(ImageMatch(Paint(counting), QStringLiteral("PNG_NUM_0R"), {218, 424}), 0.98) << "0 until the arrival";
}

TEST_F(AlertMapFrameTest, LongEpicentreNameShrinksToItsPlate)
{
    TScene scene;
    scene.EpicName = QStringLiteral("鹿児島県薩摩半島西方沖の非常に長い震央地名の例です");
    const QImage& frame = Paint(scene);
    int right = -1;
    for (int x = 499; x > 16 && right < 0; --x) {
        if (frame.pixel(x, 150) == PlateFrame) {
            right = x;
        }
    }
    ASSERT_GT(right, 300);
    EXPECT_LE(right, 499);
    auto dark = [](QRgb p) { return Near(p, 0xFF000000, 60); };
    EXPECT_EQ(CountPixels(frame, QRect(right - 6, 118, 6, 36), dark), 0) << "text runs into the plate's edge";
    EXPECT_GT(CountPixels(frame, QRect(right - 60, 118, 50, 36), dark), 50) << "the name's end is shown";
}

TEST_F(AlertMapFrameTest, OtherQuakesUnderThePrimaryAndListed)
{
    FMap->SetZoom(TAlertMap::AutoZoom);
    PaintQuake(*FMap, QuakeCases[2], 10.0); // Noto at Kanazawa
    const QImage alone = FMap->Frame().copy();
    TAlertMapQuake other;
    other.EqId = QStringLiteral("ND20240101161100");
    other.EpicLat = 37.2;
    other.EpicLong = 136.7;
    other.DepthKm = 10;
    other.ElapsedSec = 8.0;
    other.EstSIS = 4.2;
    other.Name = QStringLiteral("能登半島沖");
    other.SecondsLeft = 3;
    FMap->SetOtherQuakes({other});
    PaintQuake(*FMap, QuakeCases[2], 10.0);
    const QImage& frame = FMap->Frame();
    // Its small mark where it is, the primary's mark unchanged on top.
    const QPoint o = FMap->ToView(other.EpicLat, other.EpicLong);
    ASSERT_TRUE(frame.rect().contains(o));
    EXPECT_GT(
        CountPixels(frame, QRect(o.x() - 8, o.y() - 8, 16, 16), [](QRgb c) { return qRed(c) > 190 && qGreen(c) < 60; }),
        10);
    const QPoint e = FMap->ToView(QuakeCases[2].EpiLat, QuakeCases[2].EpiLng);
    int same = 0;
    for (int dy = -6; dy <= 6; ++dy) {
        for (int dx = -6; dx <= 6; ++dx) {
            same += frame.pixel(e + QPoint(dx, dy)) == alone.pixel(e + QPoint(dx, dy)) ? 1 : 0;
        }
    }
    EXPECT_GT(same, 150) << "the primary's epicentre mark is drawn over the other earthquake";
    // The list below the warning sign: a plate with text.
    auto dark = [](QRgb p) { return Near(p, 0xFF000000, 60); };
    EXPECT_GT(CountPixels(frame, QRect(210, 98, 280, 20), dark), 40);
    EXPECT_EQ(CountPixels(alone, QRect(210, 98, 280, 20), dark), 0);
    FMap->SetOtherQuakes({});
}

TEST_F(AlertMapFrameTest, EpicentreOffTheViewGetsAPointerAtTheEdge)
{
    FMap->SetZoom(TAlertMap::AutoZoom);
    const TQuakeCase& kuril = QuakeCases[12];
    PaintQuake(*FMap, kuril, 30.0);
    const QImage& frame = FMap->Frame();
    const QPoint e = FMap->ToView(kuril.EpiLat, kuril.EpiLng);
    ASSERT_FALSE(frame.rect().contains(e));
    auto pointer = [](QRgb c) { return qRed(c) > 200 && qGreen(c) < 40 && qBlue(c) < 40; };
    // The pointer lies on the frame's edge towards the epicentre (north-east of home).
    EXPECT_GT(CountPixels(frame, QRect(400, 0, 100, 250), pointer) +
                  CountPixels(frame, QRect(250, 0, 250, 100), pointer),
              30);
    EXPECT_EQ(CountPixels(frame, QRect(0, 250, 250, 160), pointer), 0);
}

TEST_F(AlertMapFrameTest, ScaleBarMatchesTheScale)
{
    for (const int zoom : {1, 8}) {
        SCOPED_TRACE(testing::Message() << "zoom " << zoom);
        FMap->SetZoom(zoom);
        const QImage& frame = Paint(TScene{});
        // The black bar on row 486, right-aligned at x 492, as long as its length in km.
        int left = 492;
        while (left > 400 && Near(frame.pixel(left - 1, 486), 0xFF000000, 30)) {
            --left;
        }
        const int length = 492 - left + 1;
        EXPECT_GT(length, 20);
        EXPECT_LE(length, 82);
        const double km = length / FMap->PixelsPerKm((32.7 + 35.69) / 2.0);
        const std::array<double, 9> steps{1, 2, 5, 10, 20, 50, 100, 200, 500};
        EXPECT_TRUE(std::any_of(steps.begin(), steps.end(), [km](double s) { return std::fabs(km - s) < s * 0.06; }))
            << km;
    }
}

TEST_F(AlertMapFrameTest, ViewShowsEachFinishedFrameAtItsTopLeft)
{
    TAlertMapView view;
    view.SetAlertMap(FMap.get());
    int announced = 0;
    QImage atSignal;
    QObject::connect(FMap.get(), &TAlertMap::frameReady, [&] {
        ++announced;
        atSignal = FMap->Frame().copy();
    });
    TScene scene;
    scene.Warning = true;
    Paint(scene);
    EXPECT_EQ(announced, 1);
    EXPECT_EQ(atSignal, FMap->Frame()) << "the frame was announced before it was complete";

    const QImage shown = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(512, 512));
    const QImage frame = FMap->Frame();
    int differ = 0;
    for (int y = 0; y < 500; ++y) {
        for (int x = 0; x < 500; ++x) {
            if (shown.pixel(x, y) != frame.pixel(x, y) && differ++ < 5) {
                ADD_FAILURE() << x << "," << y << " " << Hex(shown.pixel(x, y)).toStdString() << " vs "
                              << Hex(frame.pixel(x, y)).toStdString();
            }
        }
    }
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(shown.pixel(505, 505), view.palette().window().color().rgb());
}

} // namespace
