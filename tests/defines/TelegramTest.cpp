#include "defines/VeskDefines.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

// The pieces of a type-01 line, column by column.
struct TLine01
{
    QString Header = QStringLiteral("01");
    QString Type = QStringLiteral("11");
    QString TrainType = QStringLiteral("00");
    QString PresentTime = QStringLiteral("160414212640");
    QString OccurrenceTime = QStringLiteral("160414212634");
    QString EqId = QStringLiteral("ND20160414212634");
    QString Column47 = QStringLiteral("9");
    QString TelegNo = QStringLiteral("05");
    QString Lat = QStringLiteral("N327");
    QString Long = QStringLiteral("E1308");
    QString Depth = QStringLiteral("011");
    QString Magnitude = QStringLiteral("65");
    QString Rk = QStringLiteral("45321");
    QString Areas = QStringLiteral("350360");

    QString Build() const
    {
        return Header + Type + TrainType + PresentTime + OccurrenceTime + EqId + Column47 + TelegNo + Lat + Long +
               Depth + Magnitude + Rk + Areas;
    }
};

// What every accessor of a type-01 record must answer.
struct TExpect01
{
    QString Header = QStringLiteral("01");
    QString Type = QStringLiteral("11");
    QString TrainType = QStringLiteral("00");
    QString PresentTime = QStringLiteral("160414212640");
    QString OccurrenceTime = QStringLiteral("160414212634");
    QString EqId = QStringLiteral("ND20160414212634");
    int TelegNo = 5;
    QString LatStr = QStringLiteral("N327");
    double Lat = 32.7;
    bool North = true;
    QString LongStr = QStringLiteral("E1308");
    double Long = 130.8;
    bool East = true;
    QString DepthStr = QStringLiteral("011");
    int Depth = 11;
    QString MagnitudeStr = QStringLiteral("65");
    double Magnitude = 6.5;
    QString Cert[5] = {QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("3"), QStringLiteral("2"),
                       QStringLiteral("1")};
    int Rk[5] = {4, 5, 3, 2, 1};
    QString AreaList = QStringLiteral("350360");
    int NumOfAreaCode = 2;
};

void ExpectAll(const TEqTelegram01& T, const TExpect01& E, const std::string& Name)
{
    SCOPED_TRACE(Name);
    EXPECT_EQ(T.GetHeader(), E.Header);
    EXPECT_EQ(T.GetType(), E.Type);
    EXPECT_EQ(T.GetTrainType(), E.TrainType);
    EXPECT_EQ(T.GetPresentTime(), E.PresentTime);
    EXPECT_EQ(T.GetOccurrenceTime(), E.OccurrenceTime);
    EXPECT_EQ(T.GetEqId(), E.EqId);
    EXPECT_EQ(T.GetTelegNo(), E.TelegNo);
    EXPECT_EQ(T.GetNCNnn(), E.TelegNo);
    EXPECT_EQ(T.GetEpicLatStr(), E.LatStr);
    EXPECT_DOUBLE_EQ(T.GetEpicLat(), E.Lat);
    EXPECT_EQ(T.GetEpicLatNorth(), E.North);
    EXPECT_EQ(T.GetEpicLongStr(), E.LongStr);
    EXPECT_DOUBLE_EQ(T.GetEpicLong(), E.Long);
    EXPECT_EQ(T.GetEpicLongEast(), E.East);
    EXPECT_EQ(T.GetEpicDepthStr(), E.DepthStr);
    EXPECT_EQ(T.GetEpicDepth(), E.Depth);
    EXPECT_EQ(T.GetMagnitudeStr(), E.MagnitudeStr);
    EXPECT_DOUBLE_EQ(T.GetMagnitude(), E.Magnitude);
    EXPECT_EQ(T.GetCertOfEpi(), E.Cert[0]);
    EXPECT_EQ(T.GetCertOfDepth(), E.Cert[1]);
    EXPECT_EQ(T.GetCertOfMg(), E.Cert[2]);
    EXPECT_EQ(T.GetCertOfJMA1(), E.Cert[3]);
    EXPECT_EQ(T.GetCertOfJMA2(), E.Cert[4]);
    EXPECT_EQ(T.GetRk1(), E.Rk[0]);
    EXPECT_EQ(T.GetRk2(), E.Rk[1]);
    EXPECT_EQ(T.GetRk3(), E.Rk[2]);
    EXPECT_EQ(T.GetRk4(), E.Rk[3]);
    EXPECT_EQ(T.GetRk5(), E.Rk[4]);
    EXPECT_EQ(T.GetAreaCodeList(), E.AreaList);
    EXPECT_EQ(T.GetNumOfAreaCode(), E.NumOfAreaCode);
}

TEST(EqTelegram01, ColumnLayout)
{
    struct TCase
    {
        const char* Name;
        TLine01 Line;
        TExpect01 Expect;
    };
    std::vector<TCase> cases;
    cases.push_back({"regular", {}, {}});
    {
        // Columns that are never read may hold anything, Japanese text and characters
        // outside the BMP included; the fields after them stay in place.
        TCase c{"japanese in unread columns", {}, {}};
        c.Line.Type = QStringLiteral("地震");
        c.Line.Column47 = QStringLiteral("震");
        c.Expect.Type = QStringLiteral("地震");
        cases.push_back(c);
    }
    {
        TCase c{"emoji in unread columns", {}, {}};
        c.Line.Type = QStringLiteral("😀🌊");
        c.Line.Column47 = QStringLiteral("🌊");
        c.Expect.Type = QStringLiteral("😀🌊");
        cases.push_back(c);
    }
    {
        TCase c{"emoji in a text field", {}, {}};
        c.Line.EqId = QStringLiteral("ND201604142126😀4");
        c.Expect.EqId = QStringLiteral("ND201604142126😀4");
        cases.push_back(c);
    }
    {
        TCase c{"slashes", {}, {}};
        c.Line.TelegNo = QStringLiteral("//");
        c.Line.Lat = QStringLiteral("N///");
        c.Line.Long = QStringLiteral("E////");
        c.Line.Depth = QStringLiteral("///");
        c.Line.Magnitude = QStringLiteral("//");
        c.Line.Rk = QStringLiteral("/////");
        c.Expect.TelegNo = -1;
        c.Expect.LatStr = QStringLiteral("N///");
        c.Expect.Lat = 0.0;
        c.Expect.LongStr = QStringLiteral("E////");
        c.Expect.Long = 0.0;
        c.Expect.DepthStr = QStringLiteral("///");
        c.Expect.Depth = 0;
        c.Expect.MagnitudeStr = QStringLiteral("//");
        c.Expect.Magnitude = 0.0;
        for (int i = 0; i < 5; ++i) {
            c.Expect.Cert[i] = QStringLiteral("/");
            c.Expect.Rk[i] = -1;
        }
        cases.push_back(c);
    }
    {
        TCase c{"leading blanks", {}, {}};
        c.Line.TelegNo = QStringLiteral(" 5");
        c.Line.Lat = QStringLiteral("N 32");
        c.Line.Long = QStringLiteral("E  98");
        c.Line.Depth = QStringLiteral("  8");
        c.Line.Magnitude = QStringLiteral(" 7");
        c.Expect.LatStr = QStringLiteral("N 32");
        c.Expect.Lat = 3.2;
        c.Expect.LongStr = QStringLiteral("E  98");
        c.Expect.Long = 9.8;
        c.Expect.DepthStr = QStringLiteral("  8");
        c.Expect.Depth = 8;
        c.Expect.MagnitudeStr = QStringLiteral(" 7");
        c.Expect.Magnitude = 0.7;
        cases.push_back(c);
    }
    {
        TCase c{"trailing and inner blanks", {}, {}};
        c.Line.TelegNo = QStringLiteral("5 ");
        c.Line.Lat = QStringLiteral("N32 ");
        c.Line.Depth = QStringLiteral("1 0");
        c.Line.Magnitude = QStringLiteral("6 ");
        c.Line.Rk = QStringLiteral("     ");
        c.Expect.TelegNo = -1;
        c.Expect.LatStr = QStringLiteral("N32 ");
        c.Expect.Lat = 0.0;
        c.Expect.DepthStr = QStringLiteral("1 0");
        c.Expect.Depth = 0;
        c.Expect.MagnitudeStr = QStringLiteral("6 ");
        c.Expect.Magnitude = 0.0;
        for (int i = 0; i < 5; ++i) {
            c.Expect.Cert[i] = QStringLiteral(" ");
            c.Expect.Rk[i] = -1;
        }
        cases.push_back(c);
    }
    {
        TCase c{"signs", {}, {}};
        c.Line.TelegNo = QStringLiteral("+7");
        c.Line.Long = QStringLiteral("E-123");
        c.Line.Depth = QStringLiteral("-10");
        c.Line.Magnitude = QStringLiteral("-1");
        c.Line.Rk = QStringLiteral("+-9 0");
        c.Expect.TelegNo = 7;
        c.Expect.LongStr = QStringLiteral("E-123");
        c.Expect.Long = -12.3;
        c.Expect.DepthStr = QStringLiteral("-10");
        c.Expect.Depth = -10;
        c.Expect.MagnitudeStr = QStringLiteral("-1");
        c.Expect.Magnitude = -0.1;
        const QString certs[5] = {QStringLiteral("+"), QStringLiteral("-"), QStringLiteral("9"), QStringLiteral(" "),
                                  QStringLiteral("0")};
        const int rks[5] = {-1, -1, 9, -1, 0};
        for (int i = 0; i < 5; ++i) {
            c.Expect.Cert[i] = certs[i];
            c.Expect.Rk[i] = rks[i];
        }
        cases.push_back(c);
    }
    {
        TCase c{"blank after sign", {}, {}};
        c.Line.TelegNo = QStringLiteral("+ ");
        c.Line.Depth = QStringLiteral("- 1");
        c.Expect.TelegNo = -1;
        c.Expect.DepthStr = QStringLiteral("- 1");
        c.Expect.Depth = 0;
        cases.push_back(c);
    }
    {
        TCase c{"letters and full-width digits", {}, {}};
        c.Line.TelegNo = QStringLiteral("０５");
        c.Line.Lat = QStringLiteral("N3a7");
        c.Line.Long = QStringLiteral("E13.8");
        c.Line.Depth = QStringLiteral("１０");
        c.Line.Depth += QLatin1Char('0');
        c.Line.Magnitude = QStringLiteral("6５");
        c.Expect.TelegNo = -1;
        c.Expect.LatStr = QStringLiteral("N3a7");
        c.Expect.Lat = 0.0;
        c.Expect.LongStr = QStringLiteral("E13.8");
        c.Expect.Long = 0.0;
        c.Expect.DepthStr = QStringLiteral("１０0");
        c.Expect.Depth = 0;
        c.Expect.MagnitudeStr = QStringLiteral("6５");
        c.Expect.Magnitude = 0.0;
        cases.push_back(c);
    }
    {
        // The hemisphere letter only answers the hemisphere tests; the value is never signed.
        TCase c{"south and west", {}, {}};
        c.Line.Lat = QStringLiteral("S327");
        c.Line.Long = QStringLiteral("W1308");
        c.Expect.LatStr = QStringLiteral("S327");
        c.Expect.North = false;
        c.Expect.LongStr = QStringLiteral("W1308");
        c.Expect.East = false;
        cases.push_back(c);
    }
    {
        TCase c{"lower-case hemisphere letters", {}, {}};
        c.Line.Lat = QStringLiteral("n327");
        c.Line.Long = QStringLiteral("e1308");
        c.Expect.LatStr = QStringLiteral("n327");
        c.Expect.North = false;
        c.Expect.LongStr = QStringLiteral("e1308");
        c.Expect.East = false;
        cases.push_back(c);
    }
    {
        TCase c{"drill telegram", {}, {}};
        c.Line.TrainType = QStringLiteral("01");
        c.Line.TelegNo = QStringLiteral("99");
        c.Line.Lat = QStringLiteral("N000");
        c.Line.Long = QStringLiteral("E9999");
        c.Line.Depth = QStringLiteral("700");
        c.Line.Magnitude = QStringLiteral("99");
        c.Expect.TrainType = QStringLiteral("01");
        c.Expect.TelegNo = 99;
        c.Expect.LatStr = QStringLiteral("N000");
        c.Expect.Lat = 0.0;
        c.Expect.LongStr = QStringLiteral("E9999");
        c.Expect.Long = 999.9;
        c.Expect.DepthStr = QStringLiteral("700");
        c.Expect.Depth = 700;
        c.Expect.MagnitudeStr = QStringLiteral("99");
        c.Expect.Magnitude = 9.9;
        cases.push_back(c);
    }
    for (const TCase& c : cases) {
        const QString line = c.Line.Build();
        const TEqTelegram01 t(line);
        EXPECT_EQ(t.GetTelegram(), line) << c.Name;
        ExpectAll(t, c.Expect, c.Name);
        TEqTelegram01 viaSet;
        viaSet.SetTelegram(line);
        ExpectAll(viaSet, c.Expect, std::string(c.Name) + " (SetTelegram)");
    }
}

// A line cut short: the fields that exist decode as usual, text fields keep what is
// there, and a numeric field that is not complete gives its failure value (a cut
// "72" must not read as magnitude 0.7).
TEST(EqTelegram01, ShortLines)
{
    const QString full = TLine01().Build();
    const TExpect01 whole;
    for (const int n :
         {0, 1, 2, 4, 6, 18, 30, 46, 47, 48, 49, 50, 51, 52, 53, 54, 56, 58, 60, 61, 62, 63, 64, 65, 66, 67}) {
        const TEqTelegram01 t(full.left(n));
        auto text = [&](int Start, int Length) {
            return Start > n ? QString() : full.mid(Start - 1, std::min(Length, n - Start + 1));
        };
        auto present = [&](int Start, int Length) { return Start + Length - 1 <= n; };
        TExpect01 e;
        e.Header = text(1, 2);
        e.Type = text(3, 2);
        e.TrainType = text(5, 2);
        e.PresentTime = text(7, 12);
        e.OccurrenceTime = text(19, 12);
        e.EqId = text(31, 16);
        e.TelegNo = present(48, 2) ? whole.TelegNo : -1;
        e.LatStr = text(50, 4);
        e.Lat = present(51, 3) ? whole.Lat : 0.0;
        e.North = present(50, 1);
        e.LongStr = text(54, 5);
        e.Long = present(55, 4) ? whole.Long : 0.0;
        e.East = present(54, 1);
        e.DepthStr = text(59, 3);
        e.Depth = present(59, 3) ? whole.Depth : 0;
        e.MagnitudeStr = text(62, 2);
        e.Magnitude = present(62, 2) ? whole.Magnitude : 0.0;
        for (int i = 0; i < 5; ++i) {
            e.Cert[i] = text(64 + i, 1);
            e.Rk[i] = present(64 + i, 1) ? whole.Rk[i] : -1;
        }
        e.AreaList = QString();
        e.NumOfAreaCode = 0;
        ExpectAll(t, e, "length " + std::to_string(n));
        EXPECT_FALSE(t.IsTargetAreaOfWarning(QString())) << n;
        EXPECT_EQ(t.GetAreaCode(0), QString()) << n;
    }
}

TEST(EqTelegram01, DefaultRecordIsEmpty)
{
    const TEqTelegram01 t;
    TExpect01 e;
    e.Header = e.Type = e.TrainType = e.PresentTime = e.OccurrenceTime = e.EqId = QString();
    e.TelegNo = -1;
    e.LatStr = e.LongStr = e.DepthStr = e.MagnitudeStr = e.AreaList = QString();
    e.Lat = e.Long = e.Magnitude = 0.0;
    e.North = e.East = false;
    e.Depth = 0;
    for (int i = 0; i < 5; ++i) {
        e.Cert[i] = QString();
        e.Rk[i] = -1;
    }
    e.NumOfAreaCode = 0;
    EXPECT_TRUE(t.GetTelegram().isEmpty());
    ExpectAll(t, e, "default");
    EXPECT_FALSE(t.IsTargetAreaOfWarning(QString()));
}

TEST(EqTelegram01, AreaCodes)
{
    QString many;
    QStringList manyCodes;
    for (int code = 101; code <= 124; ++code) {
        manyCodes << QString::number(code);
        many += manyCodes.last();
    }
    struct TCase
    {
        const char* Name;
        QString Areas; // everything after column 68
        int Count;
        QStringList Codes;
        QStringList NotTargets;
    };
    const std::vector<TCase> cases{
        {"68 characters", QString(), 0, {}, {QString(), QStringLiteral("350"), QStringLiteral("1")}},
        {"70 characters", QStringLiteral("35"), 0, {}, {QStringLiteral("35"), QString(), QStringLiteral("350")}},
        {"71 characters", QStringLiteral("350"), 1, {QStringLiteral("350")}, {QStringLiteral("35"), QString()}},
        {"72 characters",
         QStringLiteral("3503"),
         1,
         {QStringLiteral("350")},
         {QStringLiteral("3"), QStringLiteral("503")}},
        {"68 + 74 characters",
         many + QStringLiteral("99"),
         24,
         manyCodes,
         {QStringLiteral("99"), QStringLiteral("12499"), QString()}},
        // Codes are compared whole, never as a substring across two codes.
        {"no match across codes",
         QStringLiteral("135036"),
         2,
         {QStringLiteral("135"), QStringLiteral("036")},
         {QStringLiteral("350"), QStringLiteral("503"), QStringLiteral("13"), QStringLiteral("135036")}},
        {"case-sensitive",
         QStringLiteral("abc"),
         1,
         {QStringLiteral("abc")},
         {QStringLiteral("ABC"), QStringLiteral("ab")}},
        {"japanese codes",
         QStringLiteral("東京都大阪府"),
         2,
         {QStringLiteral("東京都"), QStringLiteral("大阪府")},
         {QStringLiteral("京都大")}},
        // An emoji is one column: two codes, not one code and some surrogates.
        {"emoji counts once",
         QStringLiteral("😀50350"),
         2,
         {QStringLiteral("😀50"), QStringLiteral("350")},
         {QStringLiteral("😀5")}},
    };
    for (const TCase& c : cases) {
        const TEqTelegram01 t(TLine01{.Areas = c.Areas}.Build());
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(t.GetNumOfAreaCode(), c.Count);
        EXPECT_EQ(t.GetAreaCodeList(), c.Areas);
        ASSERT_EQ(c.Codes.size(), c.Count);
        for (int i = 0; i < c.Count; ++i) {
            EXPECT_EQ(t.GetAreaCode(i), c.Codes[i]) << i;
            EXPECT_TRUE(t.IsTargetAreaOfWarning(c.Codes[i])) << i;
        }
        EXPECT_EQ(t.GetAreaCode(-1), QString());
        EXPECT_EQ(t.GetAreaCode(c.Count), QString());
        EXPECT_EQ(t.GetAreaCode(c.Count + 1), QString());
        for (const QString& other : c.NotTargets) {
            EXPECT_FALSE(t.IsTargetAreaOfWarning(other)) << other.toStdString();
        }
    }
}

// Columns count code points: a line of 68 characters of which three lie outside the
// BMP (71 UTF-16 units) has no area code yet.
TEST(EqTelegram01, AreaCountUsesCodePoints)
{
    TLine01 line;
    line.Type = QStringLiteral("😀😀");
    line.Column47 = QStringLiteral("😀");
    line.Areas = QString();
    const QString text = line.Build();
    ASSERT_EQ(text.size(), 71);
    const TEqTelegram01 t(text);
    EXPECT_EQ(t.GetNumOfAreaCode(), 0);
    EXPECT_EQ(t.GetAreaCodeList(), QString());
    EXPECT_EQ(t.GetRk5(), 1);
    EXPECT_FALSE(t.IsTargetAreaOfWarning(QStringLiteral("321")));

    line.Areas = QStringLiteral("350");
    const TEqTelegram01 withCode(line.Build());
    EXPECT_EQ(withCode.GetNumOfAreaCode(), 1);
    EXPECT_TRUE(withCode.IsTargetAreaOfWarning(QStringLiteral("350")));
}

TEST(EqTelegram01, CopiesAreIndependent)
{
    TLine01 first;
    first.Type = QStringLiteral("😀😀");
    first.Areas = QStringLiteral("350360");
    TLine01 second;
    second.EqId = QStringLiteral("ND20110311144618");
    second.Areas = QStringLiteral("101");
    const QString firstText = first.Build();

    auto expectFirst = [&](const TEqTelegram01& T, const char* Name) {
        SCOPED_TRACE(Name);
        EXPECT_EQ(T.GetTelegram(), firstText);
        EXPECT_EQ(T.GetType(), QStringLiteral("😀😀"));
        EXPECT_EQ(T.GetEqId(), QStringLiteral("ND20160414212634"));
        EXPECT_EQ(T.GetNumOfAreaCode(), 2);
        EXPECT_EQ(T.GetAreaCode(1), QStringLiteral("360"));
        EXPECT_TRUE(T.IsTargetAreaOfWarning(QStringLiteral("350")));
        EXPECT_FALSE(T.IsTargetAreaOfWarning(QStringLiteral("101")));
    };

    const TEqTelegram01 original(firstText);
    TEqTelegram01 copy(original);
    copy.SetTelegram(second.Build());
    expectFirst(original, "after SetTelegram on a copy");
    EXPECT_EQ(copy.GetEqId(), QStringLiteral("ND20110311144618"));
    EXPECT_EQ(copy.GetNumOfAreaCode(), 1);
    EXPECT_TRUE(copy.IsTargetAreaOfWarning(QStringLiteral("101")));

    TEqTelegram01 assigned;
    assigned = original;
    expectFirst(assigned, "assigned copy");
    assigned.SetTelegram(QString());
    expectFirst(original, "after clearing an assigned copy");
    EXPECT_EQ(assigned.GetNumOfAreaCode(), 0);

    TEqTelegram01 target(second.Build());
    target = original;
    expectFirst(target, "assignment over a record");
}

TEST(EqTelegram10, ColumnLayout)
{
    struct TCase
    {
        const char* Name;
        QString Line;
        QString Header;
        QString EqId;
        int TelegNo;
        QString EpicCode;
        QString EpicName;
    };
    const QString id = QStringLiteral("ND20160414212634");
    const std::vector<TCase> cases{
        {"regular", QStringLiteral("10") + id + QStringLiteral("0 5741熊本県熊本地方"), QStringLiteral("10"), id, 5,
         QStringLiteral("741"), QStringLiteral("熊本県熊本地方")},
        {"24 characters", QStringLiteral("10") + id + QStringLiteral("012741"), QStringLiteral("10"), id, 12,
         QStringLiteral("741"), QString()},
        {"name kept unchanged", QStringLiteral("10") + id + QStringLiteral("012741 三陸沖(東日本大震災) "),
         QStringLiteral("10"), id, 12, QStringLiteral("741"), QStringLiteral(" 三陸沖(東日本大震災) ")},
        {"number with trailing blank", QStringLiteral("10") + id + QStringLiteral("05 741駿河湾"), QStringLiteral("10"),
         id, -1, QStringLiteral("741"), QStringLiteral("駿河湾")},
        {"slashes", QStringLiteral("10") + id + QStringLiteral("0/////"), QStringLiteral("10"), id, -1,
         QStringLiteral("///"), QString()},
        {"21 characters", QStringLiteral("10") + id + QStringLiteral("007"), QStringLiteral("10"), id, 7, QString(),
         QString()},
        {"number cut by the line end", QStringLiteral("10") + id + QStringLiteral("07"), QStringLiteral("10"), id, -1,
         QString(), QString()},
        {"19 characters", QStringLiteral("10") + id + QStringLiteral("0"), QStringLiteral("10"), id, -1, QString(),
         QString()},
        {"header only", QStringLiteral("10"), QStringLiteral("10"), QString(), -1, QString(), QString()},
        {"empty", QString(), QString(), QString(), -1, QString(), QString()},
        {"emoji columns", QStringLiteral("10ND201604142126😀4🌊 3741福岡県北西沖😀"), QStringLiteral("10"),
         QStringLiteral("ND201604142126😀4"), 3, QStringLiteral("741"), QStringLiteral("福岡県北西沖😀")},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TEqTelegram10 t;
        t.SetTelegram(c.Line);
        EXPECT_EQ(t.GetTelegram(), c.Line);
        EXPECT_EQ(t.GetHeader(), c.Header);
        EXPECT_EQ(t.GetEqId(), c.EqId);
        EXPECT_EQ(t.GetTelegNo(), c.TelegNo);
        EXPECT_EQ(t.GetEpicCode(), c.EpicCode);
        EXPECT_EQ(t.GetEpicName(), c.EpicName);
    }
}

TEST(EqTelegram10, CopiesAreIndependent)
{
    const QString first = QStringLiteral("10ND201604142126😀40 5741熊本県熊本地方");
    const TEqTelegram10 original(first);
    TEqTelegram10 copy = original;
    copy.SetTelegram(QStringLiteral("10DM20110311144618012288三陸沖"));
    EXPECT_EQ(original.GetTelegram(), first);
    EXPECT_EQ(original.GetEqId(), QStringLiteral("ND201604142126😀4"));
    EXPECT_EQ(original.GetTelegNo(), 5);
    EXPECT_EQ(original.GetEpicName(), QStringLiteral("熊本県熊本地方"));
    EXPECT_EQ(copy.GetEqId(), QStringLiteral("DM20110311144618"));
    EXPECT_EQ(copy.GetEpicName(), QStringLiteral("三陸沖"));
}

TEST(VeskStrToInt, TelegramIntegerRule)
{
    struct TCase
    {
        QString Field;
        std::optional<qint32> Value;
    };
    const std::vector<TCase> cases{
        {QStringLiteral("0"), 0},
        {QStringLiteral("05"), 5},
        {QStringLiteral(" 5"), 5},
        {QStringLiteral(" 8"), 8},
        {QStringLiteral("   -0012"), -12},
        {QStringLiteral("+7"), 7},
        {QStringLiteral("-0"), 0},
        {QStringLiteral("2147483647"), 2147483647},
        {QStringLiteral("-2147483648"), -2147483647 - 1},
        {QStringLiteral("0000000000002147483647"), 2147483647},
        {QStringLiteral("2147483648"), std::nullopt},
        {QStringLiteral("-2147483649"), std::nullopt},
        {QStringLiteral("99999999999999999999"), std::nullopt},
        {QString(), std::nullopt},
        {QStringLiteral(" "), std::nullopt},
        {QStringLiteral("   "), std::nullopt},
        {QStringLiteral("-"), std::nullopt},
        {QStringLiteral("+"), std::nullopt},
        {QStringLiteral(" -"), std::nullopt},
        {QStringLiteral("5 "), std::nullopt},
        {QStringLiteral("1 0"), std::nullopt},
        {QStringLiteral("- 1"), std::nullopt},
        {QStringLiteral("--1"), std::nullopt},
        {QStringLiteral("+-1"), std::nullopt},
        {QStringLiteral("1-"), std::nullopt},
        {QStringLiteral("//"), std::nullopt},
        {QStringLiteral("1a"), std::nullopt},
        {QStringLiteral("0x10"), std::nullopt},
        {QStringLiteral("1.5"), std::nullopt},
        {QStringLiteral("１２"), std::nullopt},
        {QStringLiteral("٣"), std::nullopt},
        {QStringLiteral("😀"), std::nullopt},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(VeskStrToInt(c.Field), c.Value) << '"' << c.Field.toStdString() << '"';
    }
}

} // namespace

// Short fields are shared constant strings: they stay valid after the record is gone
// and behave like any other string (terminated UTF-16, detach on change).
TEST(EqTelegram01, ShortFieldTextsOutliveTheirRecord)
{
    QString header, depth, cert, area;
    {
        const TEqTelegram01 t(TLine01().Build() + QStringLiteral("350"));
        header = t.GetHeader();
        depth = t.GetEpicDepthStr();
        cert = t.GetCertOfEpi();
        area = t.GetAreaCode(0);
    }
    EXPECT_EQ(header, QStringLiteral("01"));
    EXPECT_EQ(area, QStringLiteral("350"));
    EXPECT_EQ(area.utf16()[3], u'\0');
    EXPECT_EQ(depth.size(), 3);
    EXPECT_EQ(cert.size(), 1);
    area[0] = u'9';
    EXPECT_EQ(area, QStringLiteral("950"));
    EXPECT_EQ(TEqTelegram01(TLine01().Build() + QStringLiteral("350")).GetAreaCode(0), QStringLiteral("350"));
    EXPECT_EQ(VeskFieldText(u"\u9707"), QStringLiteral("\u9707"));
    EXPECT_EQ(VeskFieldText(u"12a"), QStringLiteral("12a"));
}
