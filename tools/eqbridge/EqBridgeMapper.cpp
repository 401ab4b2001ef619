#include "EqBridgeMapper.h"

#include "EqBridgeAreas.h"

#include "defines/VeskDefines.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>
#include <optional>

namespace {

// The receivers' limit of one line without its line feed.
constexpr qsizetype MaxLineBytes = 16384;

// One report as read from either feed, before it is put into columns.
struct TReport
{
    QString TypeCode = QStringLiteral("00");
    QDateTime Announced;
    QDateTime Origin;
    double Latitude = 0.0;
    double Longitude = 0.0;
    QString Depth;     // three digits or "///"
    QString Magnitude; // two digits or "//"
    QString Accuracy;  // five characters
    QString EpicCode = QStringLiteral("///");
    QString EpicName;
};

// The result under construction; a failing step sets the reason and returns false.
struct TMapping
{
    TEqBridgeMapped Result;

    bool Fail(const QString& AReason)
    {
        Result.Outcome = eboDrop;
        Result.Reason = AReason;
        Result.Line01.clear();
        Result.Line10.clear();
        Result.Line11.clear();
        return false;
    }

    bool Ignore(const QString& AKind, const QString& AReason)
    {
        Result.Outcome = eboIgnore;
        Result.IgnoredKind = AKind;
        Result.Reason = AReason;
        return false;
    }
};

bool IsDigits(QStringView AText, qsizetype ALength)
{
    if (AText.size() != ALength) {
        return false;
    }
    for (const QChar c : AText) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return false;
        }
    }
    return true;
}

// A boolean flag of the message; missing or of another type is no value.
std::optional<bool> Flag(const QJsonObject& AMessage, const char* AKey)
{
    const QJsonValue value = AMessage.value(QLatin1String(AKey));
    if (!value.isBool()) {
        return std::nullopt;
    }
    return value.toBool();
}

// A finite number; a numeric string is taken as well (P2P writes serials so).
std::optional<double> Number(const QJsonValue& AValue)
{
    double number = 0.0;
    if (AValue.isDouble()) {
        number = AValue.toDouble();
    } else if (AValue.isString()) {
        bool ok = false;
        number = AValue.toString().trimmed().toDouble(&ok);
        if (!ok) {
            return std::nullopt;
        }
    } else {
        return std::nullopt;
    }
    if (!std::isfinite(number)) {
        return std::nullopt;
    }
    return number;
}

std::optional<double> Number(const QJsonObject& AMessage, const char* AKey)
{
    return Number(AMessage.value(QLatin1String(AKey)));
}

QString Shown(const QJsonValue& AValue)
{
    return AValue.isUndefined() ? QStringLiteral("(none)") : AValue.toVariant().toString().left(40);
}

// "yyyy/MM/dd HH:mm:ss" in Japan time, kept as a clock reading without a zone.
std::optional<QDateTime> FeedTime(const QJsonValue& AValue)
{
    QDateTime time = QDateTime::fromString(AValue.toString(), QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    if (!time.isValid()) {
        return std::nullopt;
    }
    time.setTimeSpec(Qt::UTC);
    return time;
}

QString TelegramTime(const QDateTime& ATime)
{
    return ATime.toString(QStringLiteral("yyMMddHHmmss"));
}

// Accuracy digit of an epicentre or depth text of the feed (JMA's wording, in
// full-width or half-width characters, with or without blanks).
QChar HypocentreAccuracyDigit(const QString& AText)
{
    const QString t = AText.normalized(QString::NormalizationForm_KC).remove(QRegularExpression(QStringLiteral("\\s")));
    if (t.contains(QStringLiteral("IPF法(1点)")) || t.contains(QStringLiteral("仮定震源")) ||
        t.contains(QStringLiteral("レベル超え"))) {
        return QLatin1Char('1');
    }
    if (t.contains(QStringLiteral("IPF法(2点)"))) {
        return QLatin1Char('2');
    }
    if (t.contains(QStringLiteral("IPF法(3点/4点)"))) {
        return QLatin1Char('3');
    }
    if (t.contains(QStringLiteral("IPF法(5点以上)"))) {
        return QLatin1Char('4');
    }
    if (t.contains(QStringLiteral("防災科研システム(4点以下"))) {
        return QLatin1Char('5');
    }
    if (t.contains(QStringLiteral("防災科研システム(5点以上)"))) {
        return QLatin1Char('6');
    }
    if (t.contains(QStringLiteral("EPOS(海域"))) {
        return QLatin1Char('7');
    }
    if (t.contains(QStringLiteral("EPOS(内陸"))) {
        return QLatin1Char('8');
    }
    if (t == QStringLiteral("不明")) {
        return QLatin1Char('/');
    }
    return QChar();
}

QChar MagnitudeAccuracyDigit(const QString& AText)
{
    const QString t = AText.normalized(QString::NormalizationForm_KC).remove(QRegularExpression(QStringLiteral("\\s")));
    if (t.contains(QStringLiteral("仮定震源")) || t.contains(QStringLiteral("レベル超え"))) {
        return QLatin1Char('8');
    }
    if (t.contains(QStringLiteral("全点P相"))) {
        return QLatin1Char('3');
    }
    if (t.contains(QStringLiteral("P相/全相混在"))) {
        return QLatin1Char('4');
    }
    if (t.contains(QStringLiteral("全点全相"))) {
        return QLatin1Char('5');
    }
    if (t.contains(QLatin1String("EPOS"))) {
        return QLatin1Char('6');
    }
    if (t.contains(QStringLiteral("防災科研システム"))) {
        return QLatin1Char('2');
    }
    if (t == QStringLiteral("不明")) {
        return QLatin1Char('/');
    }
    return QChar();
}

bool IsAreaIntensityCode(QStringView AText)
{
    return AText == u"//" || JmaAreaIntensityToScale(AText).has_value();
}

// What the bridge takes from the code-format text.
struct TCodeFormat
{
    QString TypeCode = QStringLiteral("00");
    QString Status;   // "00" normal, "01" drill, "10" cancel, "30" test, ...
    QString Accuracy; // five characters of the RK block
    QString EpicCode; // three characters before the latitude, "///" when absent
    bool HasEbi = false;
    QVector<TEqAreaForecast> Forecasts;
};

bool ParseCodeFormat(const QString& AText, const QString& AEventId, bool ACancel, TCodeFormat& AOut, TMapping& AMapping)
{
    const QStringList tokens = AText.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (tokens.isEmpty()) {
        return AMapping.Fail(QStringLiteral("OriginalText is empty"));
    }
    if (IsDigits(tokens.first(), 2)) {
        AOut.TypeCode = tokens.first();
    }
    if (tokens.size() > 2 && IsDigits(tokens.at(2), 2)) {
        AOut.Status = tokens.at(2);
    }
    static const QRegularExpression latitude(QStringLiteral("^[NS](\\d{3}|///)$"));
    bool sameEvent = false;
    qsizetype ebi = -1;
    AOut.EpicCode = QStringLiteral("///");
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QString& token = tokens.at(i);
        if (token.startsWith(QLatin1String("ND")) && IsDigits(QStringView(token).mid(2), 14)) {
            if (token.mid(2) != AEventId) {
                return AMapping.Fail(QStringLiteral("OriginalText is of event %1, not %2").arg(token.mid(2), AEventId));
            }
            sameEvent = true;
        } else if (token.startsWith(QLatin1String("RK")) && AOut.Accuracy.isEmpty()) {
            static const QRegularExpression rk(QStringLiteral("^RK[0-9/]{5}$"));
            if (!rk.match(token).hasMatch()) {
                return AMapping.Fail(QStringLiteral("OriginalText has a malformed accuracy block '%1'").arg(token));
            }
            AOut.Accuracy = token.mid(2);
        } else if (latitude.match(token).hasMatch() && i > 0 && AOut.EpicCode == QLatin1String("///")) {
            const QString& before = tokens.at(i - 1);
            if (IsDigits(before, 3)) {
                AOut.EpicCode = before;
            }
        } else if (token == QLatin1String("EBI") && ebi < 0) {
            ebi = i;
        }
    }
    if (!sameEvent) {
        return AMapping.Fail(QStringLiteral("OriginalText names no event id"));
    }
    if (ACancel || AOut.TypeCode == QLatin1String("39")) {
        return true; // a cancel carries no hypocentre
    }
    if (AOut.Accuracy.isEmpty()) {
        return AMapping.Fail(QStringLiteral("OriginalText has no accuracy block (RK)"));
    }
    // EBI entries: area code, "S" + upper and lower intensity, arrival time, two flag digits.
    AOut.HasEbi = ebi >= 0;
    for (qsizetype i = ebi < 0 ? tokens.size() : ebi + 1; i < tokens.size(); i += 4) {
        if (!IsDigits(tokens.at(i), 3)) {
            break; // the next block or the end mark
        }
        if (i + 3 >= tokens.size()) {
            return AMapping.Fail(QStringLiteral("OriginalText has a malformed area entry at '%1'").arg(tokens.at(i)));
        }
        const QString& intensity = tokens.at(i + 1);
        TEqAreaForecast entry;
        entry.AreaCode = tokens.at(i);
        entry.Upper = intensity.mid(1, 2);
        entry.Lower = intensity.mid(3, 2);
        entry.Arrival = tokens.at(i + 2);
        entry.Flags = tokens.at(i + 3);
        const bool arrivalOk = IsDigits(entry.Arrival, 6) || entry.Arrival == QLatin1String("//////");
        if (intensity.size() != 5 || !intensity.startsWith(QLatin1Char('S')) || !IsAreaIntensityCode(entry.Upper) ||
            !IsAreaIntensityCode(entry.Lower) || !arrivalOk || !IsDigits(entry.Flags, 2)) {
            return AMapping.Fail(QStringLiteral("OriginalText has a malformed area entry at '%1 %2 %3 %4'")
                                     .arg(tokens.at(i), intensity, entry.Arrival, entry.Flags));
        }
        AOut.Forecasts.append(entry);
    }
    return true;
}

// Accuracy digits from the "Accuracy" texts when there is no code-format text.
bool AccuracyFromTexts(const QJsonObject& AMessage, QString& AOut, TMapping& AMapping)
{
    const QJsonObject accuracy = AMessage.value(QLatin1String("Accuracy")).toObject();
    const QString epicentre = accuracy.value(QLatin1String("Epicenter")).toString();
    const QString depth = accuracy.value(QLatin1String("Depth")).toString();
    const QString magnitude = accuracy.value(QLatin1String("Magnitude")).toString();
    if (epicentre.isEmpty() || depth.isEmpty() || magnitude.isEmpty()) {
        return AMapping.Fail(QStringLiteral("no OriginalText and no Accuracy texts"));
    }
    const QChar rk1 = HypocentreAccuracyDigit(epicentre);
    const QChar rk2 = HypocentreAccuracyDigit(depth);
    const QChar rk3 = MagnitudeAccuracyDigit(magnitude);
    if (rk1.isNull() || rk2.isNull() || rk3.isNull()) {
        return AMapping.Fail(
            QStringLiteral("unknown accuracy text '%1' / '%2' / '%3'").arg(epicentre, depth, magnitude));
    }
    AOut = QString(rk1) + rk2 + rk3 + QStringLiteral("//");
    return true;
}

// The relay's "WarnArea" entries as an area forecast, when there is no code-format text.
bool ForecastsFromWarnArea(const QJsonArray& AAreas, QVector<TEqAreaForecast>& AOut, TMapping& AMapping)
{
    for (const QJsonValue value : AAreas) {
        const QJsonObject area = value.toObject();
        const QString name = area.value(QLatin1String("Chiiki")).toString();
        TEqAreaForecast entry;
        entry.AreaCode = EqBridgeAreaCode(name);
        if (entry.AreaCode.isEmpty()) {
            return AMapping.Fail(QStringLiteral("WarnArea names an unknown area '%1'").arg(name.left(40)));
        }
        entry.Upper = EqBridgeIntensityCode(area.value(QLatin1String("Shindo1")).toString());
        entry.Lower = EqBridgeIntensityCode(area.value(QLatin1String("Shindo2")).toString());
        if (entry.Upper.isEmpty() || entry.Lower.isEmpty()) {
            return AMapping.Fail(QStringLiteral("WarnArea '%1' has an unknown intensity '%2' / '%3'")
                                     .arg(name, Shown(area.value(QLatin1String("Shindo1"))),
                                          Shown(area.value(QLatin1String("Shindo2")))));
        }
        entry.Arrival = area.value(QLatin1String("Time")).toString();
        if (!IsDigits(entry.Arrival, 6) && entry.Arrival != QLatin1String("//////")) {
            return AMapping.Fail(
                QStringLiteral("WarnArea '%1' has a Time '%2' that is not HHMMSS").arg(name, entry.Arrival.left(20)));
        }
        const QString type = area.value(QLatin1String("Type")).toString();
        const QString arrive = area.value(QLatin1String("Arrive")).toString();
        QChar warning;
        if (type == QStringLiteral("警報")) {
            warning = QLatin1Char('1');
        } else if (type == QStringLiteral("予報")) {
            warning = QLatin1Char('0');
        }
        QChar arrival;
        if (arrive.contains(QLatin1String("PLUM"))) {
            arrival = QLatin1Char('9');
        } else if (arrive.contains(QStringLiteral("既に到達"))) {
            arrival = QLatin1Char('1');
        } else if (arrive.contains(QStringLiteral("未到達"))) {
            arrival = QLatin1Char('0');
        }
        if (warning.isNull() || arrival.isNull()) {
            return AMapping.Fail(
                QStringLiteral("WarnArea '%1' has an unknown Type '%2' or Arrive '%3'").arg(name, type, arrive));
        }
        entry.Flags = QString(warning) + arrival;
        AOut.append(entry);
    }
    return true;
}

// Puts the report into its lines; false (with the reason) when a column does not take it.
bool Compose(const TReport& AReport, TMapping& AMapping)
{
    TEqBridgeMapped& r = AMapping.Result;
    for (const QDateTime& time : {AReport.Announced, AReport.Origin}) {
        if (time.date().year() < 2000 || time.date().year() > 2099) {
            return AMapping.Fail(QStringLiteral("a time outside the years 2000 to 2099"));
        }
    }
    // The receivers read the digits only; a position off the northern and eastern
    // hemispheres would be taken for one in Japan.
    if (std::fabs(AReport.Latitude) > 90.0 || std::fabs(AReport.Longitude) > 180.0) {
        return AMapping.Fail(QStringLiteral("impossible position %1, %2").arg(AReport.Latitude).arg(AReport.Longitude));
    }
    if (AReport.Latitude < 0.0 || AReport.Longitude < 0.0) {
        return AMapping.Fail(QStringLiteral("position %1, %2 is south or west of the receivers' range")
                                 .arg(AReport.Latitude)
                                 .arg(AReport.Longitude));
    }
    TEqTelegram01Fields& f = r.Fields;
    f.Type = AReport.TypeCode;
    f.TrainType = r.IsDrill ? QStringLiteral("01") : QStringLiteral("00");
    f.PresentTime = TelegramTime(AReport.Announced);
    f.OccurrenceTime = TelegramTime(AReport.Origin);
    f.EqId = QStringLiteral("ND") + r.EventId;
    f.ReportKind = r.IsFinal ? QStringLiteral("9") : QStringLiteral("0");
    f.Serial = r.Serial;
    f.Latitude = ComposeEqLatitude(AReport.Latitude).value_or(QString());
    f.Longitude = ComposeEqLongitude(AReport.Longitude).value_or(QString());
    f.Depth = AReport.Depth;
    f.Magnitude = AReport.Magnitude;
    f.Accuracy = AReport.Accuracy;
    f.AreaCodes.clear();
    for (const TEqAreaForecast& e : r.Forecasts) {
        // Areas only forecast are left out, so the receiver never takes them for a warning of its area.
        if (e.IsWarning() && !f.AreaCodes.contains(e.AreaCode)) {
            f.AreaCodes << e.AreaCode;
        }
    }
    const std::optional<QString> line01 = ComposeEqTelegram01(f);
    if (!line01) {
        return AMapping.Fail(QStringLiteral("the report does not fit the type-01 columns"));
    }
    if (!r.Forecasts.isEmpty()) {
        const std::optional<QString> line11 = ComposeEqTelegram11(f.EqId, r.IsFinal, r.Serial, r.Forecasts);
        if (!line11) {
            return AMapping.Fail(QStringLiteral("the area forecast does not fit the type-11 columns"));
        }
        if (line11->size() > MaxLineBytes) {
            return AMapping.Fail(QStringLiteral("an area forecast longer than a line may be"));
        }
        r.Line11 = *line11;
    }
    // A control character in the name would split the line on the wire.
    QString name = AReport.EpicName;
    for (QChar& c : name) {
        if (c.category() == QChar::Other_Control) {
            c = QLatin1Char(' ');
        }
    }
    name = name.trimmed();
    if (!name.isEmpty()) {
        const std::optional<QString> line10 =
            ComposeEqTelegram10(f.EqId, r.Serial, AReport.EpicCode, name, f.ReportKind.at(0));
        if (!line10 || line10->toUtf8().size() > MaxLineBytes) {
            return AMapping.Fail(QStringLiteral("Hypocenter name does not fit a line"));
        }
        r.Line10 = *line10;
    }
    r.Line01 = *line01;
    r.Outcome = eboForward;
    return true;
}

bool SerialOf(const QJsonValue& AValue, TMapping& AMapping)
{
    const std::optional<double> serial = Number(AValue);
    if (serial && *serial == std::floor(*serial) && *serial >= 1 && *serial <= 99) {
        AMapping.Result.Serial = static_cast<int>(*serial);
        return true;
    }
    return AMapping.Fail(QStringLiteral("Serial '%1' is not a number from 1 to 99").arg(Shown(AValue)));
}

bool EventIdOf(const QJsonValue& AValue, TMapping& AMapping)
{
    const QString eventId = AValue.isDouble() ? QString::number(AValue.toInteger()) : AValue.toString();
    if (!IsDigits(eventId, 14)) {
        return AMapping.Fail(QStringLiteral("EventID '%1' is not 14 digits").arg(eventId.left(40)));
    }
    AMapping.Result.EventId = eventId;
    return true;
}

bool MapRelay(const QJsonObject& m, qint64 AShiftSecs, TMapping& AMapping)
{
    TEqBridgeMapped& r = AMapping.Result;
    r.Format = ebfRelay;
    // Known early, so that a replay keeps the spacing even of messages it does not serve.
    const std::optional<QDateTime> announced = FeedTime(m.value(QLatin1String("AnnouncedTime")));
    if (announced) {
        r.AnnouncedMs = announced->toMSecsSinceEpoch();
    }
    if (!EventIdOf(m.value(QLatin1String("EventID")), AMapping) ||
        !SerialOf(m.value(QLatin1String("Serial")), AMapping)) {
        return false;
    }
    const QString status = m.value(QLatin1String("Issue")).toObject().value(QLatin1String("Status")).toString();
    if (status == QStringLiteral("試験")) {
        return AMapping.Fail(QStringLiteral("a test message (Issue.Status 試験)"));
    }
    const std::optional<bool> cancelFlag = Flag(m, "isCancel");
    const std::optional<bool> training = Flag(m, "isTraining");
    const QString original = m.value(QLatin1String("OriginalText")).toString();
    TCodeFormat code;
    if (!original.trimmed().isEmpty() &&
        !ParseCodeFormat(original, r.EventId, cancelFlag.value_or(false), code, AMapping)) {
        return false;
    }
    if (code.Status == QLatin1String("30")) {
        return AMapping.Fail(QStringLiteral("a test message (code-format status 30)"));
    }
    r.IsDrill = training.value_or(false) || status == QStringLiteral("訓練") || code.Status == QLatin1String("01") ||
                code.Status == QLatin1String("11");
    if (cancelFlag.value_or(false) || code.TypeCode == QLatin1String("39")) {
        if (!announced) {
            return AMapping.Fail(QStringLiteral("cancel without a readable AnnouncedTime"));
        }
        r.Outcome = eboCancel;
        r.Reason = QStringLiteral("cancel");
        return true;
    }
    if (!cancelFlag) {
        return AMapping.Fail(QStringLiteral("isCancel is missing"));
    }
    if (!training) {
        return AMapping.Fail(QStringLiteral("isTraining is missing"));
    }
    r.IsWarning = Flag(m, "isWarn").value_or(false);
    r.IsAssumed = Flag(m, "isAssumption").value_or(false);
    r.IsFinal = Flag(m, "isFinal").value_or(false);

    TReport report;
    const std::optional<QDateTime> origin = FeedTime(m.value(QLatin1String("OriginTime")));
    if (!announced || !origin) {
        return AMapping.Fail(
            QStringLiteral("AnnouncedTime '%1' or OriginTime '%2' is not yyyy/MM/dd HH:mm:ss")
                .arg(Shown(m.value(QLatin1String("AnnouncedTime"))), Shown(m.value(QLatin1String("OriginTime")))));
    }
    report.Announced = announced->addSecs(AShiftSecs);
    report.Origin = origin->addSecs(AShiftSecs);

    const std::optional<double> latitude = Number(m, "Latitude");
    const std::optional<double> longitude = Number(m, "Longitude");
    const std::optional<double> depth = Number(m, "Depth");
    // The feed spells it "Magunitude"; the correct spelling is taken as well.
    std::optional<double> magnitude = Number(m, "Magunitude");
    if (!magnitude) {
        magnitude = Number(m, "Magnitude");
    }
    if (!latitude || !longitude || !depth || !magnitude) {
        return AMapping.Fail(QStringLiteral("Latitude, Longitude, Depth or Magunitude is missing or not a number"));
    }
    report.Latitude = *latitude;
    report.Longitude = *longitude;
    const qint32 depthKm = RoundHalfEven(*depth);
    if (depthKm < 0 || depthKm > 999) {
        return AMapping.Fail(QStringLiteral("Depth %1 is not 0 to 999 km").arg(*depth));
    }
    const qint32 magTenths = RoundHalfEven(*magnitude * 10.0);
    if (magTenths < 0 || magTenths > 99) {
        return AMapping.Fail(QStringLiteral("Magunitude %1 is not 0.0 to 9.9").arg(*magnitude));
    }
    report.Depth = QStringLiteral("%1").arg(depthKm, 3, 10, QLatin1Char('0'));
    report.Magnitude = QStringLiteral("%1").arg(magTenths, 2, 10, QLatin1Char('0'));
    if (!original.trimmed().isEmpty()) {
        report.TypeCode = code.TypeCode;
        report.Accuracy = code.Accuracy;
        report.EpicCode = code.EpicCode;
        r.Forecasts = code.Forecasts;
    } else {
        if (!AccuracyFromTexts(m, report.Accuracy, AMapping) ||
            !ForecastsFromWarnArea(m.value(QLatin1String("WarnArea")).toArray(), r.Forecasts, AMapping)) {
            return false;
        }
    }
    report.EpicName = m.value(QLatin1String("Hypocenter")).toString();
    return Compose(report, AMapping);
}

// P2P intensities: 10 per class, 45/50/55/60 for 5弱..6強, 99 "or more", -1 unknown.
QString P2PIntensityCode(const QJsonValue& AValue)
{
    const std::optional<double> value = Number(AValue);
    if (!value) {
        return {};
    }
    switch (static_cast<int>(std::lround(*value))) {
    case -1:
    case 99:
        return QStringLiteral("//");
    case 0:
        return QStringLiteral("00");
    case 10:
        return QStringLiteral("01");
    case 20:
        return QStringLiteral("02");
    case 30:
        return QStringLiteral("03");
    case 40:
        return QStringLiteral("04");
    case 45:
        return QStringLiteral("5-");
    case 50:
        return QStringLiteral("5+");
    case 55:
        return QStringLiteral("6-");
    case 60:
        return QStringLiteral("6+");
    case 70:
        return QStringLiteral("07");
    default:
        return {};
    }
}

bool MapP2P(const QJsonObject& m, qint64 AShiftSecs, TMapping& AMapping)
{
    TEqBridgeMapped& r = AMapping.Result;
    r.Format = ebfP2P;
    const QJsonObject issue = m.value(QLatin1String("issue")).toObject();
    const std::optional<QDateTime> announced = FeedTime(issue.value(QLatin1String("time")));
    if (announced) {
        r.AnnouncedMs = announced->toMSecsSinceEpoch();
    }
    if (!EventIdOf(issue.value(QLatin1String("eventId")), AMapping) ||
        !SerialOf(issue.value(QLatin1String("serial")), AMapping)) {
        return false;
    }
    if (Flag(m, "test").value_or(false)) {
        return AMapping.Fail(QStringLiteral("a test message (test true)"));
    }
    if (!announced) {
        return AMapping.Fail(QStringLiteral("issue.time '%1' is not yyyy/MM/dd HH:mm:ss")
                                 .arg(Shown(issue.value(QLatin1String("time")))));
    }
    if (Flag(m, "cancelled").value_or(false)) {
        r.Outcome = eboCancel;
        r.Reason = QStringLiteral("cancel");
        return true;
    }
    const QJsonObject quake = m.value(QLatin1String("earthquake")).toObject();
    const QJsonObject hypo = quake.value(QLatin1String("hypocenter")).toObject();
    const std::optional<QDateTime> origin = FeedTime(quake.value(QLatin1String("originTime")));
    if (!origin) {
        return AMapping.Fail(QStringLiteral("earthquake.originTime '%1' is not yyyy/MM/dd HH:mm:ss")
                                 .arg(Shown(quake.value(QLatin1String("originTime")))));
    }
    r.IsWarning = true; // code 556 carries warnings only
    r.IsAssumed = quake.value(QLatin1String("condition")).toString().contains(QStringLiteral("仮定震源"));
    r.IsFinal = Flag(m, "isFinal").value_or(false);

    TReport report;
    report.Announced = announced->addSecs(AShiftSecs);
    report.Origin = origin->addSecs(AShiftSecs);
    const std::optional<double> latitude = Number(hypo, "latitude");
    const std::optional<double> longitude = Number(hypo, "longitude");
    const std::optional<double> depth = Number(hypo, "depth");
    const std::optional<double> magnitude = Number(hypo, "magnitude");
    if (!latitude || !longitude || !depth || !magnitude) {
        return AMapping.Fail(QStringLiteral("hypocenter latitude, longitude, depth or magnitude is missing"));
    }
    // P2P writes -200 for an unknown position, -1 for an unknown depth or magnitude.
    if (*latitude <= -200.0 || *longitude <= -200.0) {
        return AMapping.Fail(QStringLiteral("unknown position"));
    }
    report.Latitude = *latitude;
    report.Longitude = *longitude;
    const qint32 depthKm = RoundHalfEven(*depth);
    const qint32 magTenths = RoundHalfEven(*magnitude * 10.0);
    if (depthKm > 999 || (depthKm < 0 && depthKm != -1)) {
        return AMapping.Fail(QStringLiteral("depth %1 is not 0 to 999 km").arg(*depth));
    }
    if (magTenths > 99 || (magTenths < 0 && magTenths != -10)) {
        return AMapping.Fail(QStringLiteral("magnitude %1 is not 0.0 to 9.9").arg(*magnitude));
    }
    report.Depth = depthKm < 0 ? QStringLiteral("///") : QStringLiteral("%1").arg(depthKm, 3, 10, QLatin1Char('0'));
    report.Magnitude =
        magTenths < 0 ? QStringLiteral("//") : QStringLiteral("%1").arg(magTenths, 2, 10, QLatin1Char('0'));
    report.Accuracy = r.IsAssumed ? QStringLiteral("118//") : QStringLiteral("222//");
    report.EpicName = hypo.value(QLatin1String("name")).toString();

    for (const QJsonValue value : m.value(QLatin1String("areas")).toArray()) {
        const QJsonObject area = value.toObject();
        const QString name = area.value(QLatin1String("name")).toString();
        TEqAreaForecast entry;
        entry.AreaCode = EqBridgeAreaCode(name);
        if (entry.AreaCode.isEmpty()) {
            return AMapping.Fail(QStringLiteral("areas names an unknown area '%1'").arg(name.left(40)));
        }
        entry.Upper = P2PIntensityCode(area.value(QLatin1String("scaleTo")));
        entry.Lower = P2PIntensityCode(area.value(QLatin1String("scaleFrom")));
        if (entry.Upper.isEmpty() || entry.Lower.isEmpty()) {
            return AMapping.Fail(QStringLiteral("area '%1' has an unknown scale %2 / %3")
                                     .arg(name, Shown(area.value(QLatin1String("scaleFrom"))),
                                          Shown(area.value(QLatin1String("scaleTo")))));
        }
        const QJsonValue arrival = area.value(QLatin1String("arrivalTime"));
        if (arrival.isNull() || arrival.isUndefined()) {
            entry.Arrival = QStringLiteral("//////");
        } else if (const std::optional<QDateTime> time = FeedTime(arrival)) {
            entry.Arrival = time->addSecs(AShiftSecs).toString(QStringLiteral("HHmmss"));
        } else {
            return AMapping.Fail(
                QStringLiteral("area '%1' has an unreadable arrivalTime '%2'").arg(name, Shown(arrival)));
        }
        // The kind code is JMA's pair of flags: warning, then not arrived (0), arrived (1) or PLUM (9).
        entry.Flags = area.value(QLatin1String("kindCode")).toString();
        if (!IsDigits(entry.Flags, 2)) {
            return AMapping.Fail(
                QStringLiteral("area '%1' has a kindCode '%2' that is not two digits").arg(name, entry.Flags.left(10)));
        }
        r.Forecasts.append(entry);
    }
    return Compose(report, AMapping);
}

bool Map(const QByteArray& AJson, qint64 AShiftSecs, TMapping& AMapping)
{
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(AJson, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return AMapping.Fail(
            QStringLiteral("not JSON: %1 at offset %2").arg(parseError.errorString()).arg(parseError.offset));
    }
    if (!document.isObject()) {
        return AMapping.Fail(QStringLiteral("not a JSON object"));
    }
    const QJsonObject m = document.object();
    const QJsonValue type = m.value(QLatin1String("type"));
    const QJsonValue code = m.value(QLatin1String("code"));
    if (type.isString()) {
        const QString kind = type.toString();
        if (kind == QLatin1String("jma_eew")) {
            return MapRelay(m, AShiftSecs, AMapping);
        }
        // Heartbeats, pongs and the relay's other channels are no early warning of JMA.
        return AMapping.Ignore(kind.left(40), QStringLiteral("type '%1'").arg(kind.left(40)));
    }
    if (code.isDouble()) {
        if (code.toInteger() == 556) {
            return MapP2P(m, AShiftSecs, AMapping);
        }
        return AMapping.Ignore(QStringLiteral("code %1").arg(code.toInteger()),
                               QStringLiteral("code %1 is no early warning").arg(code.toInteger()));
    }
    // The relay's HTTP form has no "type".
    if (m.contains(QLatin1String("EventID")) && m.contains(QLatin1String("AnnouncedTime"))) {
        return MapRelay(m, AShiftSecs, AMapping);
    }
    return AMapping.Fail(QStringLiteral("neither a relay message nor a P2P record"));
}

} // namespace

QString EqBridgeIntensityCode(const QString& AText)
{
    const QString t = AText.normalized(QString::NormalizationForm_KC).trimmed();
    static const QStringList classes = {QStringLiteral("0"),   QStringLiteral("1"),   QStringLiteral("2"),
                                        QStringLiteral("3"),   QStringLiteral("4"),   QStringLiteral("5弱"),
                                        QStringLiteral("5強"), QStringLiteral("6弱"), QStringLiteral("6強"),
                                        QStringLiteral("7")};
    static const QStringList codes = {
        QStringLiteral("00"), QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("03"), QStringLiteral("04"),
        QStringLiteral("5-"), QStringLiteral("5+"), QStringLiteral("6-"), QStringLiteral("6+"), QStringLiteral("07")};
    if (t == QStringLiteral("不明") || t == QLatin1String("//")) {
        return QStringLiteral("//");
    }
    const qsizetype i = classes.indexOf(t);
    return i < 0 ? QString() : codes.at(i);
}

TEqBridgeMapped MapEqBridgeMessage(const QByteArray& AJson, qint64 AShiftSecs)
{
    TMapping mapping;
    Map(AJson, AShiftSecs, mapping);
    return mapping.Result;
}
