#include "defines/VeskDefines.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

struct TOffice
{
    qint32 IndexNo;
    const char16_t* PrefName;
    const char16_t* PrefOfficeName;
    const char* Latitude; // shortest decimal of the stored single-precision value
    const char* Longitude;
    const char* GAmplification;
    const char16_t* AreaCode;
};

const TOffice Offices[] = {
    {1, u"北海道", u"北海道庁", "43.06461", "141.34682", "2.927", u"101"},
    {2, u"青森県", u"青森県庁", "40.82431", "140.74", "2.245", u"200"},
    {3, u"岩手県", u"岩手県庁", "39.70362", "141.15268", "2.166", u"212"},
    {4, u"宮城県", u"宮城県庁", "38.26884", "140.8721", "3.119", u"222"},
    {5, u"秋田県", u"秋田県庁", "39.71861", "140.10236", "1.983", u"231"},
    {6, u"山形県", u"山形県庁", "38.24044", "140.36363", "1.805", u"242"},
    {7, u"福島県", u"福島県庁", "37.7503", "140.46754", "2.693", u"250"},
    {8, u"茨城県", u"茨城県庁", "36.34181", "140.4468", "2.198", u"300"},
    {9, u"栃木県", u"栃木県庁", "36.56573", "139.88358", "1.161", u"311"},
    {10, u"群馬県", u"群馬県庁", "36.39067", "139.06041", "3.119", u"321"},
    {11, u"埼玉県", u"埼玉県庁", "35.857", "139.64885", "1.805", u"331"},
    {12, u"千葉県", u"千葉県庁", "35.60506", "140.1233", "3.131", u"341"},
    {13, u"東京都", u"東京都庁", "35.68949", "139.69171", "2.578", u"350"},
    {14, u"神奈川県", u"神奈川県庁", "35.44751", "139.64233", "3.119", u"360"},
    {15, u"新潟県", u"新潟県庁", "37.90255", "139.02309", "2.427", u"372"},
    {16, u"富山県", u"富山県庁", "36.69529", "137.21133", "2.007", u"380"},
    {17, u"石川県", u"石川県庁", "36.59468", "136.62556", "2.613", u"391"},
    {18, u"福井県", u"福井県庁", "36.06518", "136.22153", "2.007", u"400"},
    {19, u"山梨県", u"山梨県庁", "35.66416", "138.56845", "1.984", u"411"},
    {20, u"長野県", u"長野県庁", "36.6513", "138.18095", "2.007", u"420"},
    {21, u"岐阜県", u"岐阜県庁", "35.39123", "136.72229", "1.161", u"432"},
    {22, u"静岡県", u"静岡県庁", "34.97712", "138.38309", "2.028", u"442"},
    {23, u"愛知県", u"愛知県庁", "35.18019", "136.90656", "2.133", u"451"},
    {24, u"三重県", u"三重県庁", "34.73028", "136.50859", "2.133", u"461"},
    {25, u"滋賀県", u"滋賀県庁", "35.00453", "135.86859", "2.174", u"501"},
    {26, u"京都府", u"京都府庁", "35.02125", "135.7556", "2.007", u"511"},
    {27, u"大阪府", u"大阪府庁", "34.6863", "135.51965", "2.044", u"520"},
    {28, u"兵庫県", u"兵庫県庁", "34.69127", "135.18307", "1.161", u"531"},
    {29, u"奈良県", u"奈良県庁", "34.68533", "135.83273", "2.007", u"540"},
    {30, u"和歌山県", u"和歌山県庁", "34.22599", "135.16751", "2.166", u"550"},
    {31, u"鳥取県", u"鳥取県庁", "35.50389", "134.23775", "1.161", u"560"},
    {32, u"島根県", u"島根県庁", "35.4723", "133.0505", "3.119", u"570"},
    {33, u"岡山県", u"岡山県庁", "34.66175", "133.9344", "1.161", u"581"},
    {34, u"広島県", u"広島県庁", "34.39656", "132.45963", "2.225", u"592"},
    {35, u"山口県", u"山口県庁", "34.18596", "131.47066", "1.161", u"704"},
    {36, u"徳島県", u"徳島県庁", "34.06572", "134.55936", "2.166", u"600"},
    {37, u"香川県", u"香川県庁", "34.34015", "134.04344", "2.053", u"610"},
    {38, u"愛媛県", u"愛媛県庁", "33.84162", "132.76569", "2.228", u"621"},
    {39, u"高知県", u"高知県庁", "33.55971", "133.53108", "1.161", u"631"},
    {40, u"福岡県", u"福岡県庁", "33.60658", "130.4183", "1.161", u"710"},
    {41, u"佐賀県", u"佐賀県庁", "33.24944", "130.29979", "2.55", u"721"},
    {42, u"長崎県", u"長崎県庁", "32.74484", "129.87376", "1.161", u"731"},
    {43, u"熊本県", u"熊本県庁", "32.78983", "130.74167", "1.805", u"741"},
    {44, u"大分県", u"大分県庁", "33.23817", "131.61263", "2.309", u"751"},
    {45, u"宮崎県", u"宮崎県庁", "31.9111", "131.42389", "3.134", u"762"},
    {46, u"鹿児島県", u"鹿児島県庁", "31.56108", "130.55772", "1.161", u"770"},
    {47, u"沖縄県", u"沖縄県庁", "26.2124", "127.68093", "1.768", u"801"},
};

struct TTraining
{
    const char16_t* EqID;
    const char16_t* OccurrenceTime;
    const char16_t* EpicLat;
    const char16_t* EpicLong;
    const char16_t* EpicDepth;
    const char16_t* EqMagnitude;
    const char16_t* EpicName;
};

const TTraining Trainings[] = {
    {u"----------------", u"----/--/-- --:--", u"00.00", u"000.00", u" 0", u"1.0", u"任意の条件を指定"},
    {u"DM20160414212634", u"2016/04/14 21:26", u"32.73", u"130.82", u"11", u"6.5", u"熊本県熊本地方"},
    {u"DM20110311144618", u"2011/03/11 14:46", u"38.10", u"142.85", u"24", u"9.0", u"三陸沖(東日本大震災)"},
    {u"DM20090811050705", u"2009/08/11 05:07", u"34.78", u"138.51", u"23", u"6.5", u"駿河湾"},
    {u"DM20080614084345", u"2008/06/14 08:43", u"39.02", u"140.87", u" 8", u"7.2", u"岩手県内陸南部"},
    {u"DM20070716101322", u"2007/07/16 10:13", u"37.55", u"138.45", u"17", u"6.8", u"新潟県上中越沖"},
    {u"DM20070325094157", u"2007/03/25 09:41", u"37.22", u"136.69", u"11", u"6.9", u"能登半島沖"},
    {u"DM20060421025039", u"2006/04/21 02:50", u"34.93", u"139.19", u" 7", u"5.8", u"伊豆半島東方沖"},
    {u"DM20050320105340", u"2005/03/20 10:53", u"33.73", u"130.17", u" 9", u"7.0", u"福岡県北西沖"},
    {u"DM20030926045007", u"2003/09/26 04:50", u"42.78", u"144.62", u"53", u"4.3", u"十勝沖(2003年)"},
    {u"DM20010324152754", u"2001/03/24 15:27", u"34.12", u"132.69", u"46", u"6.7", u"安芸灘(芸予2001年)"},
    {u"DM20001006133017", u"2000/10/06 13:30", u"35.27", u"133.34", u" 9", u"7.3", u"鳥取県西部"},
    {u"DM19950117054651", u"1995/01/17 05:46", u"34.59", u"135.04", u"16", u"7.3", u"大阪湾(阪神淡路大震災)"},
    {u"DM19230901115831", u"1923/09/01 11:58", u"35.32", u"139.16", u"23", u"7.9", u"神奈川県西部(関東大震災)"},
};

// A value typed with the given number of decimals, read back as the program reads it.
float Retyped(float Stored, int Decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", Decimals, static_cast<double>(Stored));
    return std::strtof(text, nullptr);
}

TEST(PrefOfficeTable, RowsInOrder)
{
    ASSERT_EQ(GetPrefOfficeCount(), 47);
    for (int row = 0; row < 47; ++row) {
        const TOffice& e = Offices[row];
        const TULPrefOfficeInfo& o = GetPrefOffice(row);
        SCOPED_TRACE(testing::Message() << "row " << row);
        EXPECT_EQ(o.IndexNo, row + 1);
        EXPECT_EQ(o.IndexNo, e.IndexNo);
        EXPECT_EQ(o.PrefName, QString::fromUtf16(e.PrefName));
        EXPECT_EQ(o.PrefOfficeName, QString::fromUtf16(e.PrefOfficeName));
        EXPECT_EQ(o.AreaCode, QString::fromUtf16(e.AreaCode));
        EXPECT_EQ(o.AreaCode.size(), 3);
    }
    EXPECT_EQ(GetPrefOffice(0).PrefOfficeName, QStringLiteral("北海道庁"));
    EXPECT_EQ(GetPrefOffice(46).PrefOfficeName, QStringLiteral("沖縄県庁"));
    // Area codes follow the offices, not a numeric order.
    EXPECT_EQ(GetPrefOffice(34).AreaCode, QStringLiteral("704"));
    EXPECT_EQ(GetPrefOffice(35).AreaCode, QStringLiteral("600"));
    EXPECT_GT(GetPrefOffice(34).AreaCode, GetPrefOffice(35).AreaCode);
    EXPECT_EQ(GetDefaultPrefOffice().IndexNo, 13);
    EXPECT_EQ(GetDefaultPrefOffice().PrefOfficeName, QStringLiteral("東京都庁"));
}

// Each number is the single-precision value of its decimal, and a location typed with
// five decimals (three for the amplification) converts back to exactly the stored value.
TEST(PrefOfficeTable, SinglePrecisionValues)
{
    for (int row = 0; row < GetPrefOfficeCount(); ++row) {
        const TOffice& e = Offices[row];
        const TULPrefOfficeInfo& o = GetPrefOffice(row);
        SCOPED_TRACE(testing::Message() << "IndexNo " << o.IndexNo);
        EXPECT_EQ(o.Latitude, std::strtof(e.Latitude, nullptr));
        EXPECT_EQ(o.Longitude, std::strtof(e.Longitude, nullptr));
        EXPECT_EQ(o.GAmplification, std::strtof(e.GAmplification, nullptr));
        EXPECT_EQ(Retyped(o.Latitude, 5), o.Latitude);
        EXPECT_EQ(Retyped(o.Longitude, 5), o.Longitude);
        EXPECT_EQ(Retyped(o.GAmplification, 3), o.GAmplification);
    }
    const TULPrefOfficeInfo& tokyo = GetPrefOffice(12);
    EXPECT_EQ(tokyo.Latitude, 35.68949f);
    EXPECT_EQ(static_cast<float>(35.68949), tokyo.Latitude);
    // The stored longitude of row 2 shows a last-digit artefact with five decimals.
    EXPECT_EQ(QString::asprintf("%.5f", static_cast<double>(GetPrefOffice(1).Longitude)), QStringLiteral("140.74001"));
}

TEST(TrainingTable, RowsInOrder)
{
    ASSERT_EQ(GetTrainingEqCount(), 14);
    for (int row = 0; row < 14; ++row) {
        const TTraining& e = Trainings[row];
        const TEqHistory& h = GetTrainingEq(row);
        SCOPED_TRACE(testing::Message() << "row " << row);
        EXPECT_EQ(h.EqID, QString::fromUtf16(e.EqID));
        EXPECT_EQ(h.TelegNo, 0);
        EXPECT_EQ(h.OutgoingTime, QStringLiteral("----/--/--"));
        EXPECT_EQ(h.OccurrenceTime, QString::fromUtf16(e.OccurrenceTime));
        EXPECT_EQ(h.EpicLat, QString::fromUtf16(e.EpicLat));
        EXPECT_EQ(h.EpicLong, QString::fromUtf16(e.EpicLong));
        EXPECT_EQ(h.EpicDepth, QString::fromUtf16(e.EpicDepth));
        EXPECT_EQ(h.EqMagnitude, QString::fromUtf16(e.EqMagnitude));
        EXPECT_EQ(h.EpicName, QString::fromUtf16(e.EpicName));
        EXPECT_TRUE(h.EstSIS.isEmpty());
        EXPECT_TRUE(h.EstSec.isEmpty());
    }
    EXPECT_EQ(GetTrainingEq(0).EpicName, QStringLiteral("任意の条件を指定"));
    EXPECT_EQ(GetTrainingEq(13).EpicName, QStringLiteral("神奈川県西部(関東大震災)"));
}

// The training screen reads the numbers of rows 1..13 as decimals and the depth as a
// telegram integer, which allows the leading blank of one-digit depths.
TEST(TrainingTable, ValuesConvert)
{
    struct TDepth
    {
        int Row;
        qint32 Depth;
    };
    for (const TDepth& d :
         {TDepth{0, 0}, TDepth{1, 11}, TDepth{4, 8}, TDepth{7, 7}, TDepth{8, 9}, TDepth{11, 9}, TDepth{13, 23}}) {
        EXPECT_EQ(VeskStrToInt(GetTrainingEq(d.Row).EpicDepth), d.Depth) << "row " << d.Row;
    }
    for (int row = 1; row < GetTrainingEqCount(); ++row) {
        const TEqHistory& h = GetTrainingEq(row);
        SCOPED_TRACE(testing::Message() << "row " << row);
        bool ok = false;
        const double lat = h.EpicLat.toDouble(&ok);
        EXPECT_TRUE(ok);
        EXPECT_GT(lat, 20.0);
        EXPECT_LT(lat, 46.0);
        const double lon = h.EpicLong.toDouble(&ok);
        EXPECT_TRUE(ok);
        EXPECT_GT(lon, 122.0);
        EXPECT_LT(lon, 150.0);
        const double magnitude = h.EqMagnitude.toDouble(&ok);
        EXPECT_TRUE(ok);
        EXPECT_GT(magnitude, 0.0);
        const std::optional<qint32> depth = VeskStrToInt(h.EpicDepth);
        ASSERT_TRUE(depth.has_value());
        EXPECT_GT(*depth, 0);
    }
}

} // namespace

// Every historical epicentre of the training table lies off or in Japan, within a
// few hundred kilometres of its own region (a mistyped degree lands in the ocean).
TEST(TrainingTable, EpicentresLieInTheJapaneseRegion)
{
    for (int row = 1; row < GetTrainingEqCount(); ++row) {
        const TEqHistory& h = GetTrainingEq(row);
        const double lat = h.EpicLat.toDouble();
        const double lng = h.EpicLong.toDouble();
        EXPECT_TRUE(lat >= 30.0 && lat <= 46.0 && lng >= 128.0 && lng <= 146.0)
            << h.EpicName.toStdString() << " " << lat << " " << lng;
    }
}
