// Pixel tests on composed alert frames: where each part lands, in which colour
// and order, probed on the 500 x 500 buffer without any window.
#include "AlertViewTestSupport.h"

#include "alert/AlertMapGeometry.h"
#include "alertview/AlertMapView.h"
#include "alertview/AlertResources.h"

#include <gtest/gtest.h>

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
        FBareMap = AlertResources::LoadImage(QStringLiteral("BMP_MAP_SMALL")).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(FBareMap.size(), QSize(500, 500));
    }

    const QImage& Paint(const TScene& Scene)
    {
        PaintScene(*FMap, Scene);
        return FMap->Frame();
    }

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

struct TPixel
{
    QPoint At;
    QRgb Expected;
    const char* What;
};

TEST_F(AlertMapFrameTest, InformationBoardEdgesFillAndColourBar)
{
    const QImage& frame = Paint(TScene{});
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
        {{20, 100}, Blend(BoardFill, FBareMap.pixel(20, 100)), "half-transparent fill"},
        {{201, 60}, FBareMap.pixel(201, 60), "right of the board"},
        {{100, 113}, FBareMap.pixel(100, 113), "below the board"},
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
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "intensity " << c.Scale);
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
        {130.0f, 30000, 154, QStringLiteral("100"), true}, {30.0f, 30500, 218, QStringLiteral("0"), false},
        {30.0f, 32400, 218, QStringLiteral("2"), false}, // two seconds after the arrival
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "countdown " << c.Digits.toStdString());
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

TEST_F(AlertMapFrameTest, WarningSignBoardOnlyForWarnings)
{
    for (const bool warning : {true, false}) {
        SCOPED_TRACE(warning ? "warning" : "forecast");
        TScene scene;
        scene.Warning = warning;
        const QImage& frame = Paint(scene);
        const TPixel pen[] = {{{208, 50}, 0xFFFF2800, "left edge"},
                              {{352, 50}, 0xFFFF2800, "right edge"},
                              {{280, 8}, 0xFFFF2800, "top edge"},
                              {{280, 88}, 0xFFFF2800, "bottom edge"},
                              {{212, 12}, Blend(0x80FF2800, FBareMap.pixel(212, 12)), "fill"}};
        for (const TPixel& p : pen) {
            const QRgb expected = warning ? p.Expected : FBareMap.pixel(p.At);
            EXPECT_TRUE(Near(frame.pixel(p.At), expected, 2)) << p.What << ": " << Hex(frame.pixel(p.At)).toStdString();
        }
        const double sign = ImageMatch(frame, QStringLiteral("PNG_EQSIGN_2"), {216, 16});
        if (warning) {
            EXPECT_GE(sign, 0.99);
        } else {
            EXPECT_LT(sign, 0.1);
        }
        EXPECT_LT(ImageMatch(frame, QStringLiteral("PNG_EQSIGN_1"), {216, 16}), 0.1) << "the forecast sign never shows";
    }
}

TEST_F(AlertMapFrameTest, EpicentreNamePlate)
{
    // Without a type-10 telegram: an empty plate 16 pixels wide, 40 high, hanging from the left edge.
    const QImage& empty = Paint(TScene{});
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
        {{5, 140}, Blend(PlateFill, FBareMap.pixel(5, 140)), "fill"},
        {{17, 140}, FBareMap.pixel(17, 140), "right of the plate"},
    };
    for (const TPixel& p : plate) {
        EXPECT_TRUE(Near(empty.pixel(p.At), p.Expected, 2))
            << p.What << " at (" << p.At.x() << ", " << p.At.y() << "): " << Hex(empty.pixel(p.At)).toStdString();
    }

    // With a name the plate grows to hold it: the text ends inside the plate's right edge.
    TScene named;
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
    EXPECT_EQ(frame.pixel(right + 1, 140), FBareMap.pixel(right + 1, 140));
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
    // At 18 s of 30 the circle is 18/30 of the way home with alpha
    // Round(96/30) * 18 = 54; at the arrival it reaches home with alpha 0x80.
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
        const int r = RoundHalfEven(t.Radius);
        int ex = 0;
        int ey = 0;
        AlertMapGeometry::LatLngToXY(32.7f, 130.8f, ex, ey);
        const quint32 colour = TSeismicIntensityScale::GetScaleColor(scene.Scale);
        // Straight down from the epicentre: the 2-pixel ring, the fill inside, the map outside.
        const QPoint ring(ex, ey + r);
        EXPECT_TRUE(Near(frame.pixel(ring), colour, 2)) << Hex(frame.pixel(ring)).toStdString();
        const QPoint inside(ex, ey + r - 5);
        EXPECT_TRUE(Near(frame.pixel(inside), Blend((colour & 0xFFFFFF) | (c.Alpha << 24), FBareMap.pixel(inside)), 2))
            << Hex(frame.pixel(inside)).toStdString();
        const QPoint outsidePt(ex, ey + r + 4);
        EXPECT_EQ(frame.pixel(outsidePt), FBareMap.pixel(outsidePt));
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
