#include "defines/EqTelegramLines.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// Exactly Length characters, each accepted by AIs.
template <typename TPredicate>
bool IsFieldOf(QStringView Text, qsizetype Length, TPredicate AIs)
{
    return Text.size() == Length && std::all_of(Text.begin(), Text.end(), AIs);
}

bool IsDigits(QStringView Text, qsizetype Length)
{
    return IsFieldOf(Text, Length, [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// All digits, or all slashes (JMA's "unknown").
bool IsDigitsOrSlashes(QStringView Text, qsizetype Length)
{
    return IsDigits(Text, Length) || IsFieldOf(Text, Length, [](QChar c) { return c == u'/'; });
}

// Printable ASCII without a line break: what a fixed column may hold.
bool IsPlainField(QStringView Text, qsizetype Length)
{
    return IsFieldOf(Text, Length, [](QChar c) { return c >= u' ' && c <= u'~'; });
}

QString TwoDigits(int Value)
{
    return QStringLiteral("%1").arg(Value, 2, 10, QLatin1Char('0'));
}

std::optional<QString> ComposeCoordinate(double Degrees, double Limit, QChar Positive, QChar Negative, int Width)
{
    if (!std::isfinite(Degrees) || std::fabs(Degrees) > Limit) {
        return std::nullopt;
    }
    const long tenths = std::lround(std::fabs(Degrees) * 10.0);
    return QString(Degrees < 0 ? Negative : Positive) + QStringLiteral("%1").arg(tenths, Width, 10, QLatin1Char('0'));
}

struct TJmaClass
{
    const char16_t* Code;
    double Scale;
    const char16_t* Text;
};

constexpr std::array<TJmaClass, 10> JmaClasses{{
    {u"00", 0.0, u"0"},
    {u"01", 0.5, u"1"},
    {u"02", 1.5, u"2"},
    {u"03", 2.5, u"3"},
    {u"04", 3.5, u"4"},
    {u"5-", 4.5, u"5弱"},
    {u"5+", 5.0, u"5強"},
    {u"6-", 5.5, u"6弱"},
    {u"6+", 6.0, u"6強"},
    {u"07", 6.5, u"7"},
}};

bool IsAreaIntensity(QStringView Text)
{
    if (Text == u"//") {
        return true;
    }
    for (const TJmaClass& c : JmaClasses) {
        if (Text == QStringView(c.Code)) {
            return true;
        }
    }
    return false;
}

} // namespace

std::optional<QString> ComposeEqLatitude(double Degrees)
{
    return ComposeCoordinate(Degrees, 90.0, QLatin1Char('N'), QLatin1Char('S'), 3);
}

std::optional<QString> ComposeEqLongitude(double Degrees)
{
    return ComposeCoordinate(Degrees, 180.0, QLatin1Char('E'), QLatin1Char('W'), 4);
}

std::optional<QString> ComposeEqTelegram01(const TEqTelegram01Fields& f)
{
    const bool latOk = f.Latitude.size() == 4 && (f.Latitude[0] == u'N' || f.Latitude[0] == u'S') &&
                       IsDigitsOrSlashes(QStringView(f.Latitude).mid(1), 3);
    const bool longOk = f.Longitude.size() == 5 && (f.Longitude[0] == u'E' || f.Longitude[0] == u'W') &&
                        IsDigitsOrSlashes(QStringView(f.Longitude).mid(1), 4);
    if (!IsPlainField(f.Type, 2) || !IsPlainField(f.TrainType, 2) || !IsDigits(f.PresentTime, 12) ||
        !IsDigits(f.OccurrenceTime, 12) || !IsPlainField(f.EqId, 16) || !IsPlainField(f.ReportKind, 1) ||
        f.Serial < 0 || f.Serial > 99 || !latOk || !longOk || !IsDigitsOrSlashes(f.Depth, 3) ||
        !IsDigitsOrSlashes(f.Magnitude, 2) || !IsPlainField(f.Accuracy, 5)) {
        return std::nullopt;
    }
    for (const QString& code : f.AreaCodes) {
        if (!IsDigits(code, 3)) {
            return std::nullopt;
        }
    }
    return LayOutEqTelegram01(f);
}

QString LayOutEqTelegram01(const TEqTelegram01Fields& f)
{
    return QStringLiteral("01") + f.Type + f.TrainType + f.PresentTime + f.OccurrenceTime + f.EqId + f.ReportKind +
           TwoDigits(f.Serial) + f.Latitude + f.Longitude + f.Depth + f.Magnitude + f.Accuracy +
           f.AreaCodes.join(QString());
}

std::optional<QString> ComposeEqTelegram10(const QString& EqId, int Serial, const QString& EpicCode,
                                           const QString& EpicName, QChar Column19)
{
    if (!IsPlainField(EqId, 16) || Serial < 0 || Serial > 99 || !IsPlainField(EpicCode, 3) ||
        !IsPlainField(QStringView(&Column19, 1), 1) || EpicName.contains(u'\n') || EpicName.contains(u'\r')) {
        return std::nullopt;
    }
    return QStringLiteral("10") + EqId + Column19 + TwoDigits(Serial) + EpicCode + EpicName;
}

bool TEqAreaForecast::HasArrivalTime() const
{
    return IsDigits(Arrival, 6);
}

std::optional<double> JmaAreaIntensityToScale(QStringView Text)
{
    for (const TJmaClass& c : JmaClasses) {
        if (Text == QStringView(c.Code)) {
            return c.Scale;
        }
    }
    return std::nullopt;
}

std::optional<double> JmaAreaForecastScale(const TEqAreaForecast& Forecast)
{
    if (const std::optional<double> lower = JmaAreaIntensityToScale(Forecast.Lower)) {
        return lower;
    }
    return JmaAreaIntensityToScale(Forecast.Upper);
}

QString JmaAreaIntensityText(QStringView Text)
{
    for (const TJmaClass& c : JmaClasses) {
        if (Text == QStringView(c.Code)) {
            return QString::fromUtf16(c.Text);
        }
    }
    return QStringLiteral("不明");
}

QString JmaAreaForecastCaption(const TEqAreaForecast& Forecast)
{
    const bool lower = JmaAreaIntensityToScale(Forecast.Lower).has_value();
    const bool upper = JmaAreaIntensityToScale(Forecast.Upper).has_value();
    if (lower && upper) {
        return Forecast.Lower == Forecast.Upper
                   ? QStringLiteral("震度") + JmaAreaIntensityText(Forecast.Lower)
                   : QStringLiteral("震度%1～%2")
                         .arg(JmaAreaIntensityText(Forecast.Lower), JmaAreaIntensityText(Forecast.Upper));
    }
    if (lower) {
        return QStringLiteral("震度%1程度以上").arg(JmaAreaIntensityText(Forecast.Lower));
    }
    if (upper) {
        return QStringLiteral("震度%1程度").arg(JmaAreaIntensityText(Forecast.Upper));
    }
    return QStringLiteral("震度不明");
}

QString JmaAreaArrivalText(const TEqAreaForecast& Forecast)
{
    if (!Forecast.HasArrivalTime()) {
        return QString();
    }
    const QString& a = Forecast.Arrival;
    return a.mid(0, 2) + QLatin1Char(':') + a.mid(2, 2) + QLatin1Char(':') + a.mid(4, 2);
}

qint32 TEqTelegram11::GetTelegNo() const
{
    const QStringView field = QStringView(FTelegram).mid(19, 2);
    return IsDigits(field, 2) ? field.toInt() : -1;
}

void TEqTelegram11::SetTelegram(const QString& Telegram)
{
    FTelegram = Telegram;
    const qsizetype rest = Telegram.size() - (EntriesColumn - 1);
    FNumOfEntries = rest > 0 ? static_cast<int>(rest / EntryLength) : 0;
}

TEqAreaForecast TEqTelegram11::GetEntry(int Index) const
{
    if (Index < 0 || Index >= FNumOfEntries) {
        return {};
    }
    const QStringView e = QStringView(FTelegram).mid(EntriesColumn - 1 + qsizetype(Index) * EntryLength, EntryLength);
    TEqAreaForecast r;
    r.AreaCode = e.mid(0, 3).toString();
    r.Upper = e.mid(3, 2).toString();
    r.Lower = e.mid(5, 2).toString();
    r.Arrival = e.mid(7, 6).toString();
    r.Flags = e.mid(13, 2).toString();
    return r;
}

std::optional<TEqAreaForecast> TEqTelegram11::FindArea(QStringView AreaCode) const
{
    if (AreaCode.size() != 3) {
        return std::nullopt;
    }
    for (int i = 0; i < FNumOfEntries; ++i) {
        if (QStringView(FTelegram).mid(EntriesColumn - 1 + qsizetype(i) * EntryLength, 3) == AreaCode) {
            return GetEntry(i);
        }
    }
    return std::nullopt;
}

std::optional<QString> ComposeEqTelegram11(const QString& EqId, bool IsFinal, int Serial,
                                           const QVector<TEqAreaForecast>& Entries)
{
    if (!IsPlainField(EqId, 16) || Serial < 0 || Serial > 99) {
        return std::nullopt;
    }
    QString line = QStringLiteral("11") + EqId + (IsFinal ? QLatin1Char('9') : QLatin1Char('0')) + TwoDigits(Serial);
    for (const TEqAreaForecast& e : Entries) {
        const bool flagsOk = IsDigits(e.Flags, 2);
        if (!IsDigits(e.AreaCode, 3) || !IsAreaIntensity(e.Upper) || !IsAreaIntensity(e.Lower) ||
            !IsDigitsOrSlashes(e.Arrival, 6) || !flagsOk) {
            return std::nullopt;
        }
        line += e.AreaCode + e.Upper + e.Lower + e.Arrival + e.Flags;
    }
    return line;
}
