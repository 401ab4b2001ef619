#include "defines/EqHistory.h"
#include "defines/EqTelegramLines.h"
#include "defines/VeskDefines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// A 68-character type-01 line of a well-located quake, its fields in their columns.
TEqTelegram01Fields Fields()
{
    TEqTelegram01Fields f;
    f.PresentTime = QStringLiteral("160414212634");
    f.OccurrenceTime = QStringLiteral("160414212620");
    f.EqId = QStringLiteral("ND20160414212620");
    f.ReportKind = QStringLiteral(" ");
    f.Serial = 5;
    f.Latitude = QStringLiteral("N354");
    f.Longitude = QStringLiteral("E1397");
    f.Depth = QStringLiteral("010");
    f.Magnitude = QStringLiteral("68");
    f.Accuracy = QStringLiteral("33311");
    return f;
}

QString Eq01Line(const TEqTelegram01Fields& F = Fields())
{
    return LayOutEqTelegram01(F);
}

TEST(EqHistoryCopy, FillsEveryFieldFromType01Telegram)
{
    const TEqTelegram01 teleg(Eq01Line());
    ASSERT_EQ(teleg.GetTelegram().size(), 68);
    TEqHistory h;
    h.EpicName = QStringLiteral("stale");
    h.CopyFromEq01Telegram(teleg, 4.7, 12.5);

    EXPECT_EQ(h.EqID, "ND20160414212620");
    EXPECT_EQ(h.TelegNo, 5);
    EXPECT_EQ(h.OutgoingTime, "2016/04/14 21:26:34");
    EXPECT_EQ(h.OccurrenceTime, "2016/04/14 21:26:20");
    EXPECT_EQ(h.EpicLat, "35.400");
    EXPECT_EQ(h.EpicLong, "139.700");
    EXPECT_EQ(h.EpicDepth, "10");
    EXPECT_EQ(h.EqMagnitude, "6.80");
    EXPECT_EQ(h.EpicName, "");
    EXPECT_EQ(h.EstSIS, QStringLiteral("５弱"));
    EXPECT_EQ(h.EstSec, "12");
}

TEST(EqHistoryCopy, UnreadableNumericFieldsGiveTheirFailureValues)
{
    TEqTelegram01Fields f = Fields();
    f.Latitude = QStringLiteral("N///");
    f.Longitude = QStringLiteral("E////");
    f.Depth = QStringLiteral("///");
    f.Magnitude = QStringLiteral("//");
    QString line = Eq01Line(f);
    line.replace(47, 2, QStringLiteral("5 ")); // a serial with a blank
    TEqHistory h;
    h.CopyFromEq01Telegram(TEqTelegram01(line), 0.0, 0.0);
    EXPECT_EQ(h.TelegNo, -1);
    EXPECT_EQ(h.EpicLat, "0.000");
    EXPECT_EQ(h.EpicLong, "0.000");
    EXPECT_EQ(h.EpicDepth, "0");
    EXPECT_EQ(h.EqMagnitude, "0.00");
    EXPECT_EQ(h.EstSIS, QStringLiteral("０"));
    EXPECT_EQ(h.EstSec, "0");
}

TEST(EqHistoryCopy, ShortTimeTextsLeaveMissingPiecesEmpty)
{
    struct TCase
    {
        const char* Line;
        const char* Outgoing;
        const char* Occurrence;
    };
    const TCase cases[] = {
        {"", "20// ::", "20// ::"},
        {"010000160414", "2016/04/14 ::", "20// ::"},
        {"01000016041421263", "2016/04/14 21:26:3", "20// ::"},
        {"0100001604142126341604", "2016/04/14 21:26:34", "2016/04/ ::"},
    };
    for (const TCase& c : cases) {
        TEqHistory h;
        h.CopyFromEq01Telegram(TEqTelegram01(QString::fromLatin1(c.Line)), 0.0, 0.0);
        EXPECT_EQ(h.OutgoingTime, QString::fromLatin1(c.Outgoing)) << c.Line;
        EXPECT_EQ(h.OccurrenceTime, QString::fromLatin1(c.Occurrence)) << c.Line;
        EXPECT_EQ(h.EqID, "") << c.Line;
    }
}

TEST(EqHistoryCopy, SecondsRoundHalfToEven)
{
    const TEqTelegram01 teleg(Eq01Line());
    const struct
    {
        double Seconds;
        const char* Text;
    } cases[] = {
        {12.5, "12"},  {13.5, "14"},  {-3.2, "-3"},        {0.5, "0"},           {1.5, "2"},
        {2.4999, "2"}, {-2.5, "-2"},  {-3.5, "-4"},        {-0.4, "0"},          {99.5, "100"},
        {7.0, "7"},    {12.51, "13"}, {std::nan(""), "0"}, {1e12, "2147483647"}, {-1e12, "-2147483648"},
    };
    for (const auto& c : cases) {
        TEqHistory h;
        h.CopyFromEq01Telegram(teleg, 3.0, c.Seconds);
        EXPECT_EQ(h.EstSec, QString::fromLatin1(c.Text)) << c.Seconds;
    }
}

TEST(EqHistoryCopy, IntensityLabelFollowsTheScale)
{
    const TEqTelegram01 teleg(Eq01Line());
    const struct
    {
        double Value;
        QString Label;
    } cases[] = {
        {-1.0, QStringLiteral("０")},  {0.5, QStringLiteral("１")},   {4.4999, QStringLiteral("４")},
        {5.0, QStringLiteral("５強")}, {5.5, QStringLiteral("６弱")}, {6.4, QStringLiteral("６強")},
        {6.5, QStringLiteral("７")},
    };
    for (const auto& c : cases) {
        TEqHistory h;
        h.CopyFromEq01Telegram(teleg, c.Value, 10.0);
        EXPECT_EQ(h.EstSIS, c.Label) << c.Value;
    }
}

TEST(EqHistoryCopy, EpicentreNameComesFromType10Telegram)
{
    const TEqTelegram01 teleg(Eq01Line());
    const QString name = QStringLiteral("熊本県熊本地方");
    TEqHistory withName;
    withName.CopyFromEqTelegram(teleg, TEqTelegram10(QStringLiteral("10ND20160414212620 05741") + name), 5.2, 3.5);
    EXPECT_EQ(withName.EpicName, name);
    EXPECT_EQ(withName.EstSec, "4");
    EXPECT_EQ(withName.EstSIS, QStringLiteral("５強"));

    TEqHistory only01;
    only01.CopyFromEq01Telegram(teleg, 5.2, 3.5);
    only01.EpicName = name;
    EXPECT_EQ(withName, only01);

    // No type-10 telegram arrived: its record is empty and so is the name.
    TEqHistory noName;
    noName.EpicName = QStringLiteral("stale");
    noName.CopyFromEqTelegram(teleg, TEqTelegram10(), 5.2, 3.5);
    EXPECT_EQ(noName.EpicName, "");
    EXPECT_EQ(noName.EqID, "ND20160414212620");
}

} // namespace
