#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVector>

#include <optional>

// Composers of the EQ server's line kinds: every program that writes lines (the
// simulator, the bridge, the tools, tests and benchmarks) builds them here, so
// the layout lives beside the readers in VeskDefines.h and docs/protocol.md.
// A composer checks every field against its columns and answers nothing when one
// does not fit: a line is never written half-filled or shifted.

// The fields of a type-01 line, as text in their column widths.
struct TEqTelegram01Fields
{
    QString Type = QStringLiteral("00");        // columns 3-4, JMA's type code ("37", "36", "39", ...)
    QString TrainType = QStringLiteral("00");   // columns 5-6, "01" for a drill
    QString PresentTime;                        // columns 7-18, YYMMDDhhmmss
    QString OccurrenceTime;                     // columns 19-30, YYMMDDhhmmss
    QString EqId;                               // columns 31-46, 16 characters
    QString ReportKind = QStringLiteral("0");   // column 47, "9" for a final report
    int Serial = 1;                             // columns 48-49, 0..99
    QString Latitude;                           // columns 50-53, "N357"
    QString Longitude;                          // columns 54-58, "E1397"
    QString Depth;                              // columns 59-61, "030" or "///"
    QString Magnitude;                          // columns 62-63, "66" or "//"
    QString Accuracy = QStringLiteral("/////"); // columns 64-68, five digits or slashes
    QStringList AreaCodes;                      // columns 69-, three characters each
};

std::optional<QString> ComposeEqTelegram01(const TEqTelegram01Fields& Fields);
// The same columns filled with the fields as they are, unchecked: a line the
// server would never send (a short field, letters in a number), for tests of the
// readers. Everything that sends lines uses ComposeEqTelegram01.
QString LayOutEqTelegram01(const TEqTelegram01Fields& Fields);

// "N357"/"S357" and "E1397"/"W1397" from degrees, rounded to tenths; nothing
// outside -90..90 and -180..180.
std::optional<QString> ComposeEqLatitude(double Degrees);
std::optional<QString> ComposeEqLongitude(double Degrees);

// A type-10 line: "10" + EQ id (16) + column 19 + serial (2) + epicentre code (3) + name.
std::optional<QString> ComposeEqTelegram10(const QString& EqId, int Serial, const QString& EpicCode,
                                           const QString& EpicName, QChar Column19 = QLatin1Char(' '));

// One entry of JMA's forecast for an area (the EBI block of a code-format telegram).
struct TEqAreaForecast
{
    QString AreaCode;                           // three digits
    QString Upper = QStringLiteral("//");       // "01".."04", "5-", "5+", "6-", "6+", "07", "//"
    QString Lower = QStringLiteral("//");       // as Upper; "//" where JMA writes "or more"
    QString Arrival = QStringLiteral("//////"); // hhmmss, or slashes when JMA gives none
    QString Flags = QStringLiteral("00");       // warning (1) / forecast (0); not arrived (0) / arrived (1) / PLUM (9)

    bool IsWarning() const { return Flags.size() == 2 && Flags[0] == u'1'; }
    bool HasArrived() const { return Flags.size() == 2 && Flags[1] == u'1'; }
    bool IsPlum() const { return Flags.size() == 2 && Flags[1] == u'9'; }
    bool HasArrivalTime() const;
    bool operator==(const TEqAreaForecast&) const = default;
};

// JMA's two-character intensity of an area forecast as the lowest instrumental
// intensity of that class ("04" -> 3.5, "5-" -> 4.5, "07" -> 6.5); nothing for "//"
// or anything else.
std::optional<double> JmaAreaIntensityToScale(QStringView Text);
// The value JMA's forecast for an area stands for: its lower bound, or the upper
// one where the lower is unknown; nothing when neither is known.
std::optional<double> JmaAreaForecastScale(const TEqAreaForecast& Forecast);
// The class as people write it: "4", "5弱", "6強", "7"; "不明" for "//".
QString JmaAreaIntensityText(QStringView Text);

// What JMA forecasts for the area, as a person reads it: "震度4程度以上",
// "震度5弱～5強", "震度4"; "震度不明" when neither bound is known.
QString JmaAreaForecastCaption(const TEqAreaForecast& Forecast);
// The arrival time as "22:18:22"; empty when JMA gives none.
QString JmaAreaArrivalText(const TEqAreaForecast& Forecast);

// A type-11 line: JMA's area forecast of one report, sent right before its type-01
// line. "11" + EQ id (16, columns 3-18) + final flag (column 19, "9" final, else "0")
// + serial (columns 20-21) + 15 characters per area from column 22: code (3), upper
// and lower intensity (2 + 2), arrival hhmmss (6), flags (2).
class TEqTelegram11
{
public:
    static constexpr int EntryLength = 15;
    static constexpr int EntriesColumn = 22;

    TEqTelegram11() = default;
    explicit TEqTelegram11(const QString& Telegram) { SetTelegram(Telegram); }

    QString GetTelegram() const { return FTelegram; }
    QString GetHeader() const { return FTelegram.left(2); }
    QString GetEqId() const { return FTelegram.mid(2, 16); }
    bool IsFinal() const { return FTelegram.size() >= 19 && FTelegram[18] == u'9'; }
    // -1 when columns 20-21 are not a number.
    qint32 GetTelegNo() const;
    // Whole entries only; a trailing part of an entry is not counted.
    int GetNumOfEntries() const { return FNumOfEntries; }
    TEqAreaForecast GetEntry(int Index) const;
    // The entry of an area, or nothing when JMA forecasts nothing there.
    std::optional<TEqAreaForecast> FindArea(QStringView AreaCode) const;
    void SetTelegram(const QString& Telegram);

private:
    QString FTelegram;
    int FNumOfEntries = 0;
};

std::optional<QString> ComposeEqTelegram11(const QString& EqId, bool IsFinal, int Serial,
                                           const QVector<TEqAreaForecast>& Entries);
