#include "auxiliary/Splash.h"

#include <QDir>
#include <QLabel>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>

namespace {

const TSplashRGB PureRed{255, 0, 0};

// A picture drawn from text rows, one character a pixel: 'R' pure red, 'r' red
// 254, 'd' a dark red (240, 3, 2), 'k' black, '.' white.
QImage Picture(const QStringList& ARows)
{
    QImage image(int(ARows[0].size()), int(ARows.size()), QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            QColor c(Qt::white);
            switch (ARows[y][x].toLatin1()) {
            case 'R':
                c = QColor(255, 0, 0);
                break;
            case 'r':
                c = QColor(254, 0, 0);
                break;
            case 'd':
                c = QColor(240, 3, 2);
                break;
            case 'k':
                c = QColor(0, 0, 0);
                break;
            default:
                break;
            }
            image.setPixelColor(x, y, c);
        }
    }
    return image;
}

std::vector<QRect> Runs(std::initializer_list<std::array<int, 3>> AXStartEndY)
{
    std::vector<QRect> rects;
    for (const auto& [x0, x1, y] : AXStartEndY)
        rects.emplace_back(x0, y, x1 - x0, 1);
    return rects;
}

QString Describe(const std::vector<QRect>& ARects)
{
    QStringList parts;
    for (const QRect& r : ARects)
        parts
            << QStringLiteral("[%1..%2) y%3 h%4").arg(r.left()).arg(r.left() + r.width()).arg(r.top()).arg(r.height());
    return parts.join(QLatin1Char(' '));
}

} // namespace

TEST(SplashShape, RunsOfKeptPixelsPerRow)
{
    struct TCase
    {
        const char* Name;
        QStringList Rows;
        int ColorRange;
        TSplashRGB Tolerance;
        std::vector<QRect> Expected;
    };
    const std::vector<TCase> cases = {
        {"row without the colour spans the width", {"......"}, 0, {}, Runs({{0, 6, 0}})},
        {"row of only the colour gives nothing", {"RRRRRR"}, 0, {}, {}},
        {"runs left to right, the last reaching the edge", {"R..RR."}, 0, {}, Runs({{1, 3, 0}, {5, 6, 0}})},
        {"rows top to bottom",
         {"RR..RR", "......", "RRRRRR", ".RRRR."},
         0,
         {},
         Runs({{2, 4, 0}, {0, 6, 1}, {0, 1, 3}, {5, 6, 3}})},
        {"exact: red 254 stays", {"RrR"}, 0, {}, Runs({{1, 2, 0}})},
        {"exact ignores the tolerance", {"RrR"}, 0, {1, 0, 0}, Runs({{1, 2, 0}})},
        {"range: red 254 cut with red tolerance 1", {"RrR"}, -1, {1, 0, 0}, {}},
        {"range: red 254 stays with tolerance 0", {"RrR"}, -1, {0, 0, 0}, Runs({{1, 2, 0}})},
        {"range: every channel must be within", {"Rd.", "RdR"}, -1, {15, 3, 1}, Runs({{1, 3, 0}, {1, 2, 1}})},
        {"range: every channel within cuts", {"Rd.", "RdR"}, -1, {15, 3, 2}, Runs({{2, 3, 0}})},
        {"range with pure red as tolerance cuts black too", {"k.R"}, -1, PureRed, Runs({{1, 2, 0}})},
    };
    for (const TCase& c : cases) {
        const std::vector<QRect> rects = SplashShapeRects(Picture(c.Rows), c.ColorRange, c.Tolerance, PureRed);
        EXPECT_EQ(rects, c.Expected) << c.Name << ": got " << Describe(rects).toStdString();
    }
    EXPECT_TRUE(SplashShapeRects(QImage(), 0, {}, PureRed).empty());
}

// A picture with a red frame of two pixels and one red pixel inside: the
// window keeps exactly the inner pixels but that one, in both modes.
TEST(SplashShape, WindowLosesTheRedFrame)
{
    QStringList exactRows(8, QString(10, QLatin1Char('R')));
    QStringList rangeRows(8, QString(10, QLatin1Char('d')));
    for (int y = 2; y < 6; ++y) {
        exactRows[y].replace(2, 6, QStringLiteral("......"));
        rangeRows[y].replace(2, 6, QStringLiteral("......"));
    }
    exactRows[3][4] = QLatin1Char('R');
    rangeRows[3][4] = QLatin1Char('r');
    rangeRows[0][0] = QLatin1Char('R');
    QRegion expected = QRegion(2, 2, 6, 4).subtracted(QRegion(4, 3, 1, 1));

    struct TMode
    {
        const char* Name;
        QStringList Rows;
        int ColorRange;
        TSplashRGB Tolerance;
    };
    for (const TMode& m : {TMode{"exact", exactRows, 0, {}}, TMode{"range", rangeRows, -1, {15, 3, 2}}}) {
        TSplashFrm splash;
        splash.SetColorRange(m.ColorRange);
        splash.InitSplashWindow(Picture(m.Rows), PureRed, m.Tolerance);
        EXPECT_EQ(splash.size(), QSize(10, 8)) << m.Name;
        EXPECT_TRUE(splash.mask().xored(expected).isEmpty()) << m.Name;
        EXPECT_EQ(splash.RgnHandle(), expected) << m.Name;
        EXPECT_EQ(splash.ColorRGBRange(), m.Tolerance) << m.Name;
        EXPECT_EQ(splash.TransparentRGB(), PureRed) << m.Name;
    }
}

TEST(SplashShape, WithoutPictureTheWindowStaysWhole)
{
    TSplashFrm splash;
    splash.resize(30, 20);
    EXPECT_TRUE(splash.mask().isEmpty());
    EXPECT_TRUE(splash.MsgPnl()->text().isEmpty());

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_FALSE(splash.InitSplashWindow(dir.filePath(QStringLiteral("missing.bmp"))));
    EXPECT_TRUE(splash.mask().isEmpty());
    EXPECT_TRUE(splash.RgnBitmap().isNull());
}

TEST(SplashShape, PictureFromFileUsesTheStoredColours)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("splash.bmp"));
    ASSERT_TRUE(Picture({"RRRR", "R..R", "RrRR"}).save(file));

    TSplashFrm splash;
    splash.InitSplashWindow(QImage(), PureRed, {1, 0, 0});
    splash.SetColorRange(-1);
    ASSERT_TRUE(splash.InitSplashWindow(file));
    EXPECT_EQ(splash.size(), QSize(4, 3));
    EXPECT_EQ(splash.mask(), QRegion(1, 1, 2, 1));
}

TEST(SplashShape, StartupSplashIsCutFromItsRedBackground)
{
    std::unique_ptr<TSplashFrm> splash(TSplashFrm::CreateStartupSplash());
    ASSERT_NE(splash, nullptr);
    const QImage& picture = splash->RgnBitmap();
    ASSERT_EQ(picture.size(), QSize(279, 286));
    EXPECT_EQ(splash->size(), QSize(279, 286));
    EXPECT_EQ(splash->ColorRange(), 0);
    EXPECT_TRUE(splash->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(splash->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    const QRegion shape = splash->mask();
    int red = 0;
    int inside = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const bool isRed = picture.pixel(x, y) == qRgb(255, 0, 0);
            const bool kept = shape.contains(QPoint(x, y));
            red += isRed;
            inside += kept;
            if (isRed == kept) {
                ADD_FAILURE() << "pixel " << x << "," << y << (isRed ? " is red but kept" : " is cut but not red");
                return;
            }
        }
    }
    EXPECT_EQ(red + inside, 279 * 286);
    // The corners are background, the middle is the picture, most of it is kept.
    EXPECT_FALSE(shape.contains(QPoint(0, 0)));
    EXPECT_FALSE(shape.contains(QPoint(278, 0)));
    EXPECT_TRUE(shape.contains(QPoint(139, 143)));
    EXPECT_GT(inside, red);
}
