#include "defines/EqTelegramLines.h"
#include "defines/VeskDefines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace {

TEqTelegram01Fields Noto()
{
    TEqTelegram01Fields f;
    f.Type = QStringLiteral("37");
    f.PresentTime = QStringLiteral("240101161024");
    f.OccurrenceTime = QStringLiteral("240101161009");
    f.EqId = QStringLiteral("ND20240101161010");
    f.Serial = 5;
    f.Latitude = QStringLiteral("N375");
    f.Longitude = QStringLiteral("E1372");
    f.Depth = QStringLiteral("010");
    f.Magnitude = QStringLiteral("74");
    f.Accuracy = QStringLiteral("66554");
    f.AreaCodes = {QStringLiteral("390"), QStringLiteral("391")};
    return f;
}

} // namespace

TEST(TelegramLines, Type01RoundTripsThroughTheReader)
{
    const std::optional<QString> line = ComposeEqTelegram01(Noto());
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, QStringLiteral("013700240101161024240101161009ND20240101161010005N375E13720107466554390391"));
    const TEqTelegram01 t(*line);
    EXPECT_EQ(t.GetType(), QStringLiteral("37"));
    EXPECT_EQ(t.GetEqId(), QStringLiteral("ND20240101161010"));
    EXPECT_EQ(t.GetTelegNo(), 5);
    EXPECT_DOUBLE_EQ(t.GetEpicLat(), 37.5);
    EXPECT_DOUBLE_EQ(t.GetEpicLong(), 137.2);
    EXPECT_EQ(t.GetEpicDepth(), 10);
    EXPECT_DOUBLE_EQ(t.GetMagnitude(), 7.4);
    EXPECT_EQ(t.GetRk1(), 6);
    EXPECT_EQ(t.GetNumOfAreaCode(), 2);
    EXPECT_TRUE(t.IsTargetAreaOfWarning(QStringLiteral("391")));
}

TEST(TelegramLines, Type01FieldsThatDoNotFitGiveNoLine)
{
    const std::vector<std::function<void(TEqTelegram01Fields&)>> faults = {
        [](TEqTelegram01Fields& f) { f.Serial = 100; },
        [](TEqTelegram01Fields& f) { f.Serial = -1; },
        [](TEqTelegram01Fields& f) { f.EqId = QStringLiteral("ND2024"); },
        [](TEqTelegram01Fields& f) { f.PresentTime = QStringLiteral("2401011610"); },
        [](TEqTelegram01Fields& f) { f.Latitude = QStringLiteral("X375"); },
        [](TEqTelegram01Fields& f) { f.Longitude = QStringLiteral("E13a2"); },
        [](TEqTelegram01Fields& f) { f.Magnitude = QStringLiteral("100"); },
        [](TEqTelegram01Fields& f) { f.Depth = QStringLiteral("1/0"); },
        [](TEqTelegram01Fields& f) { f.AreaCodes = {QStringLiteral("39")}; },
        [](TEqTelegram01Fields& f) { f.Type = QStringLiteral("3\n"); },
    };
    for (std::size_t i = 0; i < faults.size(); ++i) {
        TEqTelegram01Fields f = Noto();
        faults[i](f);
        EXPECT_FALSE(ComposeEqTelegram01(f)) << "case " << i;
    }
}

TEST(TelegramLines, CoordinatesKeepTheirHemisphere)
{
    EXPECT_EQ(ComposeEqLatitude(37.46), QStringLiteral("N375"));
    EXPECT_EQ(ComposeEqLatitude(-33.9), QStringLiteral("S339"));
    EXPECT_EQ(ComposeEqLongitude(137.2), QStringLiteral("E1372"));
    EXPECT_EQ(ComposeEqLongitude(-70.65), QStringLiteral("W0707"));
    EXPECT_FALSE(ComposeEqLatitude(90.5));
    EXPECT_FALSE(ComposeEqLongitude(std::nan("")));
}

TEST(TelegramLines, Type10RoundTrips)
{
    const std::optional<QString> line = ComposeEqTelegram10(QStringLiteral("ND20240101161010"), 5,
                                                            QStringLiteral("390"), QStringLiteral("石川県能登地方"));
    ASSERT_TRUE(line);
    const TEqTelegram10 t(*line);
    EXPECT_EQ(t.GetEqId(), QStringLiteral("ND20240101161010"));
    EXPECT_EQ(t.GetTelegNo(), 5);
    EXPECT_EQ(t.GetEpicCode(), QStringLiteral("390"));
    EXPECT_EQ(t.GetEpicName(), QStringLiteral("石川県能登地方"));
    EXPECT_FALSE(
        ComposeEqTelegram10(QStringLiteral("ND20240101161010"), 5, QStringLiteral("390"), QStringLiteral("a\nb")));
}

TEST(TelegramLines, Type11RoundTripsAndFindsAnArea)
{
    const QVector<TEqAreaForecast> entries = {
        {QStringLiteral("390"), QStringLiteral("07"), QStringLiteral("6+"), QStringLiteral("//////"),
         QStringLiteral("11")},
        {QStringLiteral("381"), QStringLiteral("6-"), QStringLiteral("6-"), QStringLiteral("161050"),
         QStringLiteral("19")},
        {QStringLiteral("501"), QStringLiteral("04"), QStringLiteral("//"), QStringLiteral("161143"),
         QStringLiteral("09")},
    };
    const std::optional<QString> line = ComposeEqTelegram11(QStringLiteral("ND20240101161010"), true, 46, entries);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->size(), 21 + 3 * TEqTelegram11::EntryLength);
    const TEqTelegram11 t(*line);
    EXPECT_EQ(t.GetHeader(), QStringLiteral("11"));
    EXPECT_EQ(t.GetEqId(), QStringLiteral("ND20240101161010"));
    EXPECT_TRUE(t.IsFinal());
    EXPECT_EQ(t.GetTelegNo(), 46);
    ASSERT_EQ(t.GetNumOfEntries(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(t.GetEntry(i), entries[i]) << i;
    }
    const std::optional<TEqAreaForecast> plum = t.FindArea(u"381");
    ASSERT_TRUE(plum);
    EXPECT_TRUE(plum->IsPlum());
    EXPECT_TRUE(plum->IsWarning());
    EXPECT_TRUE(plum->HasArrivalTime());
    EXPECT_FALSE(t.FindArea(u"350"));
    EXPECT_FALSE(t.FindArea(u"39"));
    EXPECT_TRUE(t.GetEntry(3).AreaCode.isEmpty());

    // A cut entry is not counted; a short line has none.
    EXPECT_EQ(TEqTelegram11(line->left(line->size() - 1)).GetNumOfEntries(), 2);
    EXPECT_EQ(TEqTelegram11(QStringLiteral("11ND2024")).GetNumOfEntries(), 0);
    EXPECT_EQ(TEqTelegram11(QStringLiteral("11ND2024")).GetTelegNo(), -1);
}

TEST(TelegramLines, Type11RejectsEntriesThatDoNotFit)
{
    const TEqAreaForecast good{QStringLiteral("390"), QStringLiteral("5-"), QStringLiteral("04"),
                               QStringLiteral("161050"), QStringLiteral("10")};
    EXPECT_TRUE(ComposeEqTelegram11(QStringLiteral("ND20240101161010"), false, 1, {good}));
    EXPECT_TRUE(ComposeEqTelegram11(QStringLiteral("ND20240101161010"), false, 1, {}));
    for (auto fault : std::vector<std::function<void(TEqAreaForecast&)>>{
             [](TEqAreaForecast& e) { e.AreaCode = QStringLiteral("39"); },
             [](TEqAreaForecast& e) { e.Upper = QStringLiteral("5弱"); },
             [](TEqAreaForecast& e) { e.Lower = QStringLiteral("08"); },
             [](TEqAreaForecast& e) { e.Arrival = QStringLiteral("16105"); },
             [](TEqAreaForecast& e) { e.Flags = QStringLiteral("1/"); },
         }) {
        TEqAreaForecast e = good;
        fault(e);
        EXPECT_FALSE(ComposeEqTelegram11(QStringLiteral("ND20240101161010"), false, 1, {e}));
    }
    EXPECT_FALSE(ComposeEqTelegram11(QStringLiteral("ND20240101161010"), false, 100, {good}));
}

TEST(TelegramLines, JmaIntensitiesAsScaleAndText)
{
    struct TCase
    {
        const char16_t* Code;
        std::optional<double> Scale;
        const char16_t* Text;
    };
    for (const TCase& c : std::vector<TCase>{{u"04", 3.5, u"4"},
                                             {u"5-", 4.5, u"5弱"},
                                             {u"5+", 5.0, u"5強"},
                                             {u"6-", 5.5, u"6弱"},
                                             {u"6+", 6.0, u"6強"},
                                             {u"07", 6.5, u"7"},
                                             {u"01", 0.5, u"1"},
                                             {u"//", std::nullopt, u"不明"},
                                             {u"5", std::nullopt, u"不明"}}) {
        EXPECT_EQ(JmaAreaIntensityToScale(c.Code), c.Scale) << QString::fromUtf16(c.Code).toStdString();
        EXPECT_EQ(JmaAreaIntensityText(c.Code), QString::fromUtf16(c.Text));
    }
}
