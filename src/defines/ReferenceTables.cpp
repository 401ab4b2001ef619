#include "defines/VeskDefines.h"

#include <QVector>

namespace {

struct TOfficeRow
{
    qint32 IndexNo;
    const char16_t* PrefName;
    const char16_t* PrefOfficeName;
    float Latitude;
    float Longitude;
    float GAmplification;
    const char16_t* AreaCode;
};

// Single-precision values as stored; each literal is the shortest decimal of the stored value.
constexpr TOfficeRow OfficeRows[] = {
    {1, u"北海道", u"北海道庁", 43.06461f, 141.34682f, 2.927f, u"101"},
    {2, u"青森県", u"青森県庁", 40.82431f, 140.74f, 2.245f, u"200"},
    {3, u"岩手県", u"岩手県庁", 39.70362f, 141.15268f, 2.166f, u"212"},
    {4, u"宮城県", u"宮城県庁", 38.26884f, 140.8721f, 3.119f, u"222"},
    {5, u"秋田県", u"秋田県庁", 39.71861f, 140.10236f, 1.983f, u"231"},
    {6, u"山形県", u"山形県庁", 38.24044f, 140.36363f, 1.805f, u"242"},
    {7, u"福島県", u"福島県庁", 37.7503f, 140.46754f, 2.693f, u"250"},
    {8, u"茨城県", u"茨城県庁", 36.34181f, 140.4468f, 2.198f, u"300"},
    {9, u"栃木県", u"栃木県庁", 36.56573f, 139.88358f, 1.161f, u"311"},
    {10, u"群馬県", u"群馬県庁", 36.39067f, 139.06041f, 3.119f, u"321"},
    {11, u"埼玉県", u"埼玉県庁", 35.857f, 139.64885f, 1.805f, u"331"},
    {12, u"千葉県", u"千葉県庁", 35.60506f, 140.1233f, 3.131f, u"341"},
    {13, u"東京都", u"東京都庁", 35.68949f, 139.69171f, 2.578f, u"350"},
    {14, u"神奈川県", u"神奈川県庁", 35.44751f, 139.64233f, 3.119f, u"360"},
    {15, u"新潟県", u"新潟県庁", 37.90255f, 139.02309f, 2.427f, u"372"},
    {16, u"富山県", u"富山県庁", 36.69529f, 137.21133f, 2.007f, u"380"},
    {17, u"石川県", u"石川県庁", 36.59468f, 136.62556f, 2.613f, u"391"},
    {18, u"福井県", u"福井県庁", 36.06518f, 136.22153f, 2.007f, u"400"},
    {19, u"山梨県", u"山梨県庁", 35.66416f, 138.56845f, 1.984f, u"411"},
    {20, u"長野県", u"長野県庁", 36.6513f, 138.18095f, 2.007f, u"420"},
    {21, u"岐阜県", u"岐阜県庁", 35.39123f, 136.72229f, 1.161f, u"432"},
    {22, u"静岡県", u"静岡県庁", 34.97712f, 138.38309f, 2.028f, u"442"},
    {23, u"愛知県", u"愛知県庁", 35.18019f, 136.90656f, 2.133f, u"451"},
    {24, u"三重県", u"三重県庁", 34.73028f, 136.50859f, 2.133f, u"461"},
    {25, u"滋賀県", u"滋賀県庁", 35.00453f, 135.86859f, 2.174f, u"501"},
    {26, u"京都府", u"京都府庁", 35.02125f, 135.7556f, 2.007f, u"511"},
    {27, u"大阪府", u"大阪府庁", 34.6863f, 135.51965f, 2.044f, u"520"},
    {28, u"兵庫県", u"兵庫県庁", 34.69127f, 135.18307f, 1.161f, u"531"},
    {29, u"奈良県", u"奈良県庁", 34.68533f, 135.83273f, 2.007f, u"540"},
    {30, u"和歌山県", u"和歌山県庁", 34.22599f, 135.16751f, 2.166f, u"550"},
    {31, u"鳥取県", u"鳥取県庁", 35.50389f, 134.23775f, 1.161f, u"560"},
    {32, u"島根県", u"島根県庁", 35.4723f, 133.0505f, 3.119f, u"570"},
    {33, u"岡山県", u"岡山県庁", 34.66175f, 133.9344f, 1.161f, u"581"},
    {34, u"広島県", u"広島県庁", 34.39656f, 132.45963f, 2.225f, u"592"},
    {35, u"山口県", u"山口県庁", 34.18596f, 131.47066f, 1.161f, u"704"},
    {36, u"徳島県", u"徳島県庁", 34.06572f, 134.55936f, 2.166f, u"600"},
    {37, u"香川県", u"香川県庁", 34.34015f, 134.04344f, 2.053f, u"610"},
    {38, u"愛媛県", u"愛媛県庁", 33.84162f, 132.76569f, 2.228f, u"621"},
    {39, u"高知県", u"高知県庁", 33.55971f, 133.53108f, 1.161f, u"631"},
    {40, u"福岡県", u"福岡県庁", 33.60658f, 130.4183f, 1.161f, u"710"},
    {41, u"佐賀県", u"佐賀県庁", 33.24944f, 130.29979f, 2.55f, u"721"},
    {42, u"長崎県", u"長崎県庁", 32.74484f, 129.87376f, 1.161f, u"731"},
    {43, u"熊本県", u"熊本県庁", 32.78983f, 130.74167f, 1.805f, u"741"},
    {44, u"大分県", u"大分県庁", 33.23817f, 131.61263f, 2.309f, u"751"},
    {45, u"宮崎県", u"宮崎県庁", 31.9111f, 131.42389f, 3.134f, u"762"},
    {46, u"鹿児島県", u"鹿児島県庁", 31.56108f, 130.55772f, 1.161f, u"770"},
    {47, u"沖縄県", u"沖縄県庁", 26.2124f, 127.68093f, 1.768f, u"801"},
};

struct TTrainingRow
{
    const char16_t* EqID;
    const char16_t* OccurrenceTime;
    const char16_t* EpicLat;
    const char16_t* EpicLong;
    const char16_t* EpicDepth;
    const char16_t* EqMagnitude;
    const char16_t* EpicName;
};

constexpr TTrainingRow TrainingRows[] = {
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

const QVector<TULPrefOfficeInfo>& Offices()
{
    static const QVector<TULPrefOfficeInfo> table = [] {
        QVector<TULPrefOfficeInfo> rows;
        for (const TOfficeRow& r : OfficeRows) {
            rows.append({r.IndexNo, QString::fromUtf16(r.PrefName), QString::fromUtf16(r.PrefOfficeName), r.Latitude,
                         r.Longitude, r.GAmplification, QString::fromUtf16(r.AreaCode)});
        }
        return rows;
    }();
    return table;
}

const QVector<TEqHistory>& TrainingEqs()
{
    static const QVector<TEqHistory> table = [] {
        QVector<TEqHistory> rows;
        for (const TTrainingRow& r : TrainingRows) {
            TEqHistory h;
            h.EqID = QString::fromUtf16(r.EqID);
            h.TelegNo = 0;
            h.OutgoingTime = QStringLiteral("----/--/--");
            h.OccurrenceTime = QString::fromUtf16(r.OccurrenceTime);
            h.EpicLat = QString::fromUtf16(r.EpicLat);
            h.EpicLong = QString::fromUtf16(r.EpicLong);
            h.EpicDepth = QString::fromUtf16(r.EpicDepth);
            h.EqMagnitude = QString::fromUtf16(r.EqMagnitude);
            h.EpicName = QString::fromUtf16(r.EpicName);
            rows.append(h);
        }
        return rows;
    }();
    return table;
}

} // namespace

int GetPrefOfficeCount()
{
    return static_cast<int>(Offices().size());
}

const TULPrefOfficeInfo& GetPrefOffice(int Row)
{
    return Offices().at(Row);
}

const TULPrefOfficeInfo& GetDefaultPrefOffice()
{
    return Offices().at(12);
}

int GetTrainingEqCount()
{
    return static_cast<int>(TrainingEqs().size());
}

const TEqHistory& GetTrainingEq(int Row)
{
    return TrainingEqs().at(Row);
}
