#include "EqBridgeMapper.h"

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

// A finite number; the feed sends numbers, a numeric string is taken as well.
std::optional<double> Number(const QJsonObject& AMessage, const char* AKey)
{
    const QJsonValue value = AMessage.value(QLatin1String(AKey));
    double number = 0.0;
    if (value.isDouble()) {
        number = value.toDouble();
    } else if (value.isString()) {
        bool ok = false;
        number = value.toString().trimmed().toDouble(&ok);
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

// "yyyy/MM/dd HH:mm:ss" in Japan time, kept as a clock reading without a zone.
std::optional<QDateTime> FeedTime(const QJsonObject& AMessage, const char* AKey)
{
    const QString text = AMessage.value(QLatin1String(AKey)).toString();
    QDateTime time = QDateTime::fromString(text, QStringLiteral("yyyy/MM/dd HH:mm:ss"));
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

// What the bridge takes from the code-format text.
struct TCodeFormat
{
    QString TypeCode = QStringLiteral("00");
    QString Accuracy;    // five characters of the RK block
    QString EpicCode;    // three characters before the latitude, "///" when absent
    QString WarnedAreas; // codes of the EBI areas under a warning, back to back
};

bool ParseCodeFormat(const QString& AText, const QString& AEventId, TCodeFormat& AOut, TMapping& AMapping)
{
    const QStringList tokens = AText.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (tokens.isEmpty()) {
        return AMapping.Fail(QStringLiteral("OriginalText is empty"));
    }
    if (IsDigits(tokens.first(), 2)) {
        AOut.TypeCode = tokens.first();
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
    if (AOut.Accuracy.isEmpty()) {
        return AMapping.Fail(QStringLiteral("OriginalText has no accuracy block (RK)"));
    }
    // EBI groups: area code, intensity, arrival time, two flags (first: 1 = warning).
    for (qsizetype i = ebi < 0 ? tokens.size() : ebi + 1; i < tokens.size(); i += 4) {
        if (!IsDigits(tokens.at(i), 3)) {
            break; // the next block or the end mark
        }
        if (i + 3 >= tokens.size() || !tokens.at(i + 1).startsWith(QLatin1Char('S')) || tokens.at(i + 3).size() != 2) {
            return AMapping.Fail(QStringLiteral("OriginalText has a malformed area entry at '%1'").arg(tokens.at(i)));
        }
        if (tokens.at(i + 3).at(0) == QLatin1Char('1')) {
            AOut.WarnedAreas += tokens.at(i);
        }
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

// Tenths of a coordinate with its hemisphere letter, in ADigits digits.
bool Coordinate(double AValue, QChar APositive, QChar ANegative, int ADigits, QString& AOut)
{
    const qint32 tenths = RoundHalfEven(std::fabs(AValue) * 10.0);
    if (tenths >= static_cast<qint32>(std::pow(10, ADigits))) {
        return false;
    }
    AOut = (AValue < 0 ? ANegative : APositive) + QStringLiteral("%1").arg(tenths, ADigits, 10, QLatin1Char('0'));
    return true;
}

bool Map(const QByteArray& AJson, qint64 AShiftSecs, TMapping& AMapping)
{
    TEqBridgeMapped& r = AMapping.Result;
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
    const QString type = m.value(QLatin1String("type")).toString();
    if (type == QLatin1String("heartbeat") || type == QLatin1String("pong")) {
        r.Outcome = eboIgnore;
        r.Reason = QStringLiteral("feed %1").arg(type);
        return false;
    }
    if (type != QLatin1String("jma_eew")) {
        return AMapping.Fail(QStringLiteral("type '%1' is not jma_eew").arg(type));
    }

    // Known early, so that a replay keeps the spacing even of messages it does not serve.
    if (const std::optional<QDateTime> issued = FeedTime(m, "AnnouncedTime")) {
        r.AnnouncedMs = issued->toMSecsSinceEpoch();
    }

    const QJsonValue eventValue = m.value(QLatin1String("EventID"));
    const QString eventId = eventValue.isDouble() ? QString::number(eventValue.toInteger()) : eventValue.toString();
    if (!IsDigits(eventId, 14)) {
        return AMapping.Fail(QStringLiteral("EventID '%1' is not 14 digits").arg(eventId));
    }
    r.EventId = eventId;
    const std::optional<double> serial = Number(m, "Serial");
    if (serial && *serial == std::floor(*serial) && *serial >= 1 && *serial <= 99) {
        r.Serial = static_cast<int>(*serial);
    } else {
        return AMapping.Fail(QStringLiteral("Serial '%1' is not a number from 1 to 99")
                                 .arg(m.value(QLatin1String("Serial")).toVariant().toString()));
    }

    const std::optional<bool> cancel = Flag(m, "isCancel");
    if (!cancel) {
        return AMapping.Fail(QStringLiteral("isCancel is missing"));
    }
    if (*cancel) {
        r.Outcome = eboCancel;
        r.Reason = QStringLiteral("cancel: the line format cannot carry it");
        return false;
    }
    const std::optional<bool> training = Flag(m, "isTraining");
    if (!training) {
        return AMapping.Fail(QStringLiteral("isTraining is missing"));
    }
    const QString status = m.value(QLatin1String("Issue")).toObject().value(QLatin1String("Status")).toString();
    if (status == QStringLiteral("試験")) {
        return AMapping.Fail(QStringLiteral("a test message (Issue.Status 試験)"));
    }
    r.IsDrill = *training || status == QStringLiteral("訓練");
    r.IsWarning = Flag(m, "isWarn").value_or(false);
    r.IsAssumed = Flag(m, "isAssumption").value_or(false);
    r.IsFinal = Flag(m, "isFinal").value_or(false);

    std::optional<QDateTime> announced = FeedTime(m, "AnnouncedTime");
    std::optional<QDateTime> origin = FeedTime(m, "OriginTime");
    if (!announced || !origin) {
        return AMapping.Fail(QStringLiteral("AnnouncedTime '%1' or OriginTime '%2' is not yyyy/MM/dd HH:mm:ss")
                                 .arg(m.value(QLatin1String("AnnouncedTime")).toString(),
                                      m.value(QLatin1String("OriginTime")).toString()));
    }
    announced = announced->addSecs(AShiftSecs);
    origin = origin->addSecs(AShiftSecs);
    for (const QDateTime& time : {*announced, *origin}) {
        if (time.date().year() < 2000 || time.date().year() > 2099) {
            return AMapping.Fail(QStringLiteral("a time outside the years 2000 to 2099"));
        }
    }

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
    QString latText;
    QString longText;
    if (!Coordinate(*latitude, QLatin1Char('N'), QLatin1Char('S'), 3, latText) ||
        !Coordinate(*longitude, QLatin1Char('E'), QLatin1Char('W'), 4, longText)) {
        return AMapping.Fail(QStringLiteral("position %1, %2 does not fit the columns").arg(*latitude).arg(*longitude));
    }
    const qint32 depthKm = RoundHalfEven(*depth);
    if (depthKm < 0 || depthKm > 999) {
        return AMapping.Fail(QStringLiteral("Depth %1 is not 0 to 999 km").arg(*depth));
    }
    const qint32 magTenths = RoundHalfEven(*magnitude * 10.0);
    if (magTenths < 0 || magTenths > 99) {
        return AMapping.Fail(QStringLiteral("Magunitude %1 is not 0.0 to 9.9").arg(*magnitude));
    }

    TCodeFormat code;
    const QString original = m.value(QLatin1String("OriginalText")).toString();
    if (!original.trimmed().isEmpty()) {
        if (!ParseCodeFormat(original, eventId, code, AMapping)) {
            return false;
        }
    } else {
        if (!AccuracyFromTexts(m, code.Accuracy, AMapping)) {
            return false;
        }
        code.EpicCode = QStringLiteral("///");
        for (const QJsonValue area : m.value(QLatin1String("WarnArea")).toArray()) {
            if (area.toObject().value(QLatin1String("Type")).toString() == QStringLiteral("警報")) {
                return AMapping.Fail(QStringLiteral("warning areas without codes (no OriginalText)"));
            }
        }
    }

    const QChar kind = r.IsFinal ? QLatin1Char('9') : QLatin1Char('0');
    const QString serialText = QStringLiteral("%1").arg(r.Serial, 2, 10, QLatin1Char('0'));
    r.Line01 = QStringLiteral("01") + code.TypeCode + (r.IsDrill ? QStringLiteral("01") : QStringLiteral("00")) +
               TelegramTime(*announced) + TelegramTime(*origin) + QStringLiteral("ND") + eventId + kind + serialText +
               latText + longText + QStringLiteral("%1").arg(depthKm, 3, 10, QLatin1Char('0')) +
               QStringLiteral("%1").arg(magTenths, 2, 10, QLatin1Char('0')) + code.Accuracy + code.WarnedAreas;
    // A control character in the name would split the line on the wire.
    QString name = m.value(QLatin1String("Hypocenter")).toString();
    for (QChar& c : name) {
        if (c.category() == QChar::Other_Control) {
            c = QLatin1Char(' ');
        }
    }
    name = name.trimmed();
    if (!name.isEmpty()) {
        r.Line10 = QStringLiteral("10ND") + eventId + kind + serialText + code.EpicCode + name;
        if (r.Line10.toUtf8().size() > MaxLineBytes) {
            return AMapping.Fail(QStringLiteral("Hypocenter name longer than a line may be"));
        }
    }
    r.Outcome = eboForward;
    return true;
}

} // namespace

TEqBridgeMapped MapEqBridgeMessage(const QByteArray& AJson, qint64 AShiftSecs)
{
    TMapping mapping;
    Map(AJson, AShiftSecs, mapping);
    return mapping.Result;
}
