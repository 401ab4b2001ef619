#include "defines/VeskDefines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

struct TClass
{
    double Scale;
    int Code;
    const char16_t* Short;
    const char16_t* Long;
    quint32 Red, Green, Blue;
    quint32 TColor; // decimal value of the 0x00BBGGRR form
};

// The lowest value of each class.
const double LowerBounds[10] = {0.0, 0.5, 1.5, 2.5, 3.5, 4.5, 5.0, 5.5, 6.0, 6.5};

const TClass Classes[10] = {
    {0.0, 0, u"0", u"０", 255, 255, 255, 16777215}, {1.0, 10, u"1", u"１", 242, 242, 255, 16773874},
    {2.0, 20, u"2", u"２", 0, 170, 255, 16755200},  {3.0, 30, u"3", u"３", 0, 65, 255, 16728320},
    {4.0, 40, u"4", u"４", 250, 230, 150, 9889530}, {5.0, 50, u"5-", u"５弱", 255, 230, 0, 59135},
    {5.5, 55, u"5+", u"５強", 255, 153, 0, 39423},  {6.0, 60, u"6-", u"６弱", 255, 40, 0, 10495},
    {6.5, 65, u"6+", u"６強", 165, 0, 33, 2162853}, {7.0, 70, u"7", u"７", 180, 0, 104, 6815924},
};

double Below(double Threshold)
{
    return std::nextafter(Threshold, 0.0);
}

TEST(SeismicIntensityScale, ClassOfEveryValue)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct TCase
    {
        double Value;
        int Class; // index into Classes
    };
    const std::vector<TCase> cases{
        {nan, 0},        {-nan, 0},       {-inf, 0},       {-1.0, 0},       {-0.0, 0},       {0.0, 0},
        {0.4999, 0},     {Below(0.5), 0}, {0.5, 1},        {1.4999, 1},     {Below(1.5), 1}, {1.5, 2},
        {Below(2.5), 2}, {2.5, 3},        {3.0, 3},        {Below(3.5), 3}, {3.5, 4},        {Below(4.5), 4},
        {4.5, 5},        {4.9999, 5},     {Below(5.0), 5}, {5.0, 6},        {Below(5.5), 6}, {5.5, 7},
        {Below(6.0), 7}, {6.0, 8},        {Below(6.5), 8}, {6.5, 9},        {12.0, 9},       {inf, 9},
    };
    for (const TCase& c : cases) {
        const TClass& e = Classes[c.Class];
        SCOPED_TRACE(testing::Message() << "value " << c.Value << " (class index " << c.Class << ")");
        EXPECT_EQ(TSeismicIntensityScale::GetScale(c.Value), e.Scale);
        EXPECT_EQ(TSeismicIntensityScale::GetScaleAsInteger(c.Value), e.Code);
        EXPECT_EQ(TSeismicIntensityScale::GetScaleAsShortString(c.Value), QString::fromUtf16(e.Short));
        EXPECT_EQ(TSeismicIntensityScale::GetScaleAsString(c.Value), QString::fromUtf16(e.Long));
        EXPECT_EQ(TSeismicIntensityScale::GetScaleColorAsTColor(c.Value), e.TColor);
    }
}

// Both colour forms of every class describe the same colour.
TEST(SeismicIntensityScale, ColourPairs)
{
    for (int i = 0; i < 10; ++i) {
        const TClass& e = Classes[i];
        SCOPED_TRACE(testing::Message() << "class code " << e.Code);
        const quint32 argb = TSeismicIntensityScale::GetScaleColor(LowerBounds[i]);
        const quint32 bgr = TSeismicIntensityScale::GetScaleColorAsTColor(LowerBounds[i]);
        EXPECT_EQ(TSeismicIntensityScale::GetScaleAsInteger(LowerBounds[i]), e.Code);
        EXPECT_EQ(argb >> 24, 255u);
        EXPECT_EQ((argb >> 16) & 0xFF, e.Red);
        EXPECT_EQ((argb >> 8) & 0xFF, e.Green);
        EXPECT_EQ(argb & 0xFF, e.Blue);
        EXPECT_EQ(bgr, e.TColor);
        EXPECT_EQ(bgr >> 24, 0u);
        EXPECT_EQ(bgr & 0xFF, e.Red);
        EXPECT_EQ((bgr >> 8) & 0xFF, e.Green);
        EXPECT_EQ((bgr >> 16) & 0xFF, e.Blue);
    }
}

// A minimum class is tested by comparing codes: codes and scales rise with the value.
TEST(SeismicIntensityScale, CodesSortInClassOrder)
{
    int lastCode = -1;
    double lastScale = -1.0;
    for (double v = -1.0; v <= 8.0; v += 0.01) {
        const int code = TSeismicIntensityScale::GetScaleAsInteger(v);
        const double scale = TSeismicIntensityScale::GetScale(v);
        EXPECT_GE(code, lastCode) << v;
        EXPECT_GE(scale, lastScale) << v;
        lastCode = code;
        lastScale = scale;
    }
    EXPECT_EQ(lastCode, 70);
}

} // namespace
