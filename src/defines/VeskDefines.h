#pragma once

#include "defines/EqHistory.h"

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <QVector>

#include <cstdint>
#include <optional>

// Link status of the receiver thread.
enum TServerCommStatus : int
{
    scsDisconnected = 0,
    scsConnected = 1,
    scsWaiting = 2
};

// The wall clock in Japan (UTC+9, no daylight saving) whatever this machine's
// zone: telegram times are Japan time. The result is marked as UTC, so its date
// and time fields are the Japanese ones and no zone rule shifts them.
QDateTime VeskJapanNow();

// Converts a telegram field: optional leading blanks, an optional sign, then
// decimal digits and nothing else, within 32 bits. Anything else is no value.
std::optional<qint32> VeskStrToInt(QStringView Field);

// Nearest integer, halves to the even neighbour. Not a number gives 0; values
// beyond 32 bits are clamped.
qint32 RoundHalfEven(double Value);

// The text of a telegram field. Short fields (markers, two-character codes,
// accuracy digits, three-digit area codes and depths) come from a table of
// shared constant strings, so reading them allocates nothing.
QString VeskFieldText(QStringView Field);

// A type-01 telegram line (an early warning for one earthquake). Fields are
// decoded from fixed columns on demand; columns count characters (code points).
class TEqTelegram01
{
public:
    TEqTelegram01() = default;
    explicit TEqTelegram01(const QString& Telegram) { SetTelegram(Telegram); }

    QString GetTelegram() const { return FTelegram; }
    QString GetHeader() const { return Column(1, 2); }
    QString GetType() const { return Column(3, 2); }
    QString GetTrainType() const { return Column(5, 2); }
    QString GetPresentTime() const { return Column(7, 12); }
    QString GetOccurrenceTime() const { return Column(19, 12); }
    QString GetEqId() const { return Column(31, 16); }
    // JMA's type code "39": the earthquake's warnings are withdrawn.
    bool IsCancel() const { return ColumnView(3, 2) == u"39"; }
    // The report kind "9": the last report of the earthquake.
    bool IsFinalReport() const { return ColumnView(47, 1) == u"9"; }
    qint32 GetTelegNo() const { return IntColumn(48, 2, -1); }
    qint32 GetNCNnn() const { return GetTelegNo(); }
    double GetEpicLat() const { return IntColumn(51, 3, 0) / 10.0; }
    QString GetEpicLatStr() const { return Column(50, 4); }
    bool GetEpicLatNorth() const { return ColumnView(50, 1) == u"N"; }
    double GetEpicLong() const { return IntColumn(55, 4, 0) / 10.0; }
    QString GetEpicLongStr() const { return Column(54, 5); }
    bool GetEpicLongEast() const { return ColumnView(54, 1) == u"E"; }
    qint32 GetEpicDepth() const { return IntColumn(59, 3, 0); }
    QString GetEpicDepthStr() const { return Column(59, 3); }
    double GetMagnitude() const { return IntColumn(62, 2, 0) / 10.0; }
    QString GetMagnitudeStr() const { return Column(62, 2); }
    QString GetCertOfEpi() const { return Column(64, 1); }
    qint32 GetRk1() const { return IntColumn(64, 1, -1); }
    QString GetCertOfDepth() const { return Column(65, 1); }
    qint32 GetRk2() const { return IntColumn(65, 1, -1); }
    QString GetCertOfMg() const { return Column(66, 1); }
    qint32 GetRk3() const { return IntColumn(66, 1, -1); }
    QString GetCertOfJMA1() const { return Column(67, 1); }
    qint32 GetRk4() const { return IntColumn(67, 1, -1); }
    QString GetCertOfJMA2() const { return Column(68, 1); }
    qint32 GetRk5() const { return IntColumn(68, 1, -1); }
    QString GetAreaCode(int Index) const;
    QString GetAreaCodeList() const { return Column(69, -1); }
    void SetTelegram(const QString& Telegram);
    bool IsTargetAreaOfWarning(const QString& AreaCode) const;

    int GetNumOfAreaCode() const { return FNumOfAreaCode; }

private:
    QStringView ColumnView(int Start, int Length) const;
    QString Column(int Start, int Length) const { return VeskFieldText(ColumnView(Start, Length)); }
    qint32 IntColumn(int Start, int Length, qint32 Failure) const;

    QString FTelegram;
    int FNumOfAreaCode = 0;
    // Only for lines holding characters outside the BMP: UTF-16 offset of each code point.
    QVector<int> FCodePointOffsets;
};

// A type-10 telegram line: the name of the epicentre region of an earthquake.
class TEqTelegram10
{
public:
    TEqTelegram10() = default;
    explicit TEqTelegram10(const QString& Telegram) { SetTelegram(Telegram); }

    QString GetTelegram() const { return FTelegram; }
    QString GetHeader() const { return Column(1, 2); }
    QString GetEqId() const { return Column(3, 16); }
    qint32 GetTelegNo() const;
    QString GetEpicCode() const { return Column(22, 3); }
    QString GetEpicName() const { return Column(25, -1); }
    void SetTelegram(const QString& Telegram);

private:
    QString Column(int Start, int Length) const;

    QString FTelegram;
    QVector<int> FCodePointOffsets;
};

// JMA seismic intensity classes of an instrumental intensity value.
class TSeismicIntensityScale
{
public:
    TSeismicIntensityScale() = delete;

    static double GetScale(double AValue);
    static int GetScaleAsInteger(double AValue);
    static QString GetScaleAsShortString(double AValue);
    static QString GetScaleAsString(double AValue);
    // 0xAARRGGBB, alpha always 255.
    static quint32 GetScaleColor(double AValue);
    // 0x00BBGGRR.
    static quint32 GetScaleColorAsTColor(double AValue);

    // The classes in ascending order, for lists of them: index 0 is "０" (code 0),
    // index 9 is "７" (code 70). An index outside 0 to 9 is taken as the nearest class.
    static constexpr int ClassCount = 10;
    static int GetClassAsInteger(int AIndex);
    static QString GetClassAsString(int AIndex);
};

// The user's location as the alert logic sees it.
struct TLocationInfo
{
    double Latitude = 0.0;
    double Longitude = 0.0;
    double GAmplifier = 0.0;
    QString AreaCode;
};

// One prefectural government office, a selectable location.
struct TULPrefOfficeInfo
{
    qint32 IndexNo = 0;
    QString PrefName;
    QString PrefOfficeName;
    float Latitude = 0.0f;
    float Longitude = 0.0f;
    float GAmplification = 0.0f;
    QString AreaCode;
};

int GetPrefOfficeCount();
// Row at a 0-based position; the row with IndexNo 13 (Tokyo) is at position 12.
const TULPrefOfficeInfo& GetPrefOffice(int Row);
// The Tokyo metropolitan government office, the fallback location.
const TULPrefOfficeInfo& GetDefaultPrefOffice();

int GetTrainingEqCount();
// Row 0 stands for free input; rows 1..13 are historical earthquakes, newest first.
const TEqHistory& GetTrainingEq(int Row);
