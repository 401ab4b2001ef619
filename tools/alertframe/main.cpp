// alertframe: the alert map frame a user would see for an earthquake, drawn by
// the program's own forecast, alert timing and drawing, written as a PNG.
#include "ToolArguments.h"
#include "alert/AlertTiming.h"
#include "alertview/AlertMap.h"
#include "defines/EqTelegramLines.h"
#include "defines/VeskDefines.h"
#include "eqfunction/eqFunction.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

namespace {

constexpr const char* ProgramName = "alertframe";

constexpr int ExitFailed = 1;
constexpr int ExitBadArguments = 2;

[[noreturn]] void Fail(const QString& message, int status = ExitBadArguments)
{
    ToolArguments::Fail(ProgramName, message, status);
}

// A fixed-width field of tenths, as the telegram carries it; nothing when it does not fit.
std::optional<QString> Tenths(double value, int width)
{
    const long long tenths = std::llround(value * 10.0);
    if (tenths < 0 || QString::number(tenths).size() > width) {
        return std::nullopt;
    }
    return QStringLiteral("%1").arg(tenths, width, 10, QLatin1Char('0'));
}

QJsonValue Rounded(double value)
{
    return std::round(value * 1000.0) / 1000.0;
}

class TFixedClock : public TAlertClock
{
public:
    explicit TFixedClock(qint64 Now) : FNow(Now) {}
    qint64 NowLocalMSecs() const override { return FNow; }

private:
    qint64 FNow;
};

} // namespace

int main(int argc, char* argv[])
{
    // Draws into an image only: no display is needed or used.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("alertframe"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Draws the 500 x 500 alert frame of an earthquake at a location and prints one JSON line\n"
                       "{intensity, class, s_sec, countdown, arrived, scale}.\n"
                       "Exit status: 0 frame written, 1 no estimate or the file not written, 2 bad arguments."));
    parser.addHelpOption();
    const QCommandLineOption epicentreOpt(QStringLiteral("epicentre"), QStringLiteral("Epicentre, degrees N,E."),
                                          QStringLiteral("LAT,LNG"));
    const QCommandLineOption depthOpt(QStringLiteral("depth"), QStringLiteral("Hypocentre depth, whole km."),
                                      QStringLiteral("KM"));
    const QCommandLineOption magnitudeOpt(QStringLiteral("magnitude"), QStringLiteral("JMA magnitude."),
                                          QStringLiteral("M"));
    const QCommandLineOption officeOpt(QStringLiteral("office"),
                                       QStringLiteral("Prefectural office (or prefecture); default Tokyo."),
                                       QStringLiteral("NAME"));
    const QCommandLineOption locationOpt(QStringLiteral("location"), QStringLiteral("Location, degrees."),
                                         QStringLiteral("LAT,LNG"));
    const QCommandLineOption ampOpt(QStringLiteral("amplification"),
                                    QStringLiteral("Ground amplification factor of the location."),
                                    QStringLiteral("A"));
    const QCommandLineOption warningOpt(QStringLiteral("warning"), QStringLiteral("A warning-class alert."));
    const QCommandLineOption nameOpt(QStringLiteral("epicentre-name"), QStringLiteral("Name of the epicentre region."),
                                     QStringLiteral("TEXT"));
    const QCommandLineOption elapsedOpt(QStringLiteral("elapsed"),
                                        QStringLiteral("Seconds since the occurrence (default 0)."),
                                        QStringLiteral("SECONDS"));
    const QCommandLineOption occurredOpt(QStringLiteral("occurred"),
                                         QStringLiteral("Occurrence time (default: now, local clock)."),
                                         QStringLiteral("YYMMDDhhmmss"));
    const QCommandLineOption outOpt(QStringLiteral("out"), QStringLiteral("PNG file to write."),
                                    QStringLiteral("FILE.png"));
    const QCommandLineOption zoomOpt(QStringLiteral("zoom"),
                                     QStringLiteral("Map scale: auto (default), 1 (all of Japan), 2, 4 or 8."),
                                     QStringLiteral("auto|1|2|4|8"), QStringLiteral("auto"));
    const QCommandLineOption otherOpt(
        QStringLiteral("other"),
        QStringLiteral("Another active earthquake of the same occurrence time, drawn under this one (repeatable)."),
        QStringLiteral("LAT,LNG,DEPTH,M"));
    parser.addOptions({epicentreOpt, depthOpt, magnitudeOpt, officeOpt, locationOpt, ampOpt, warningOpt, nameOpt,
                       elapsedOpt, occurredOpt, outOpt, zoomOpt, otherOpt});

    if (!parser.parse(QCoreApplication::arguments())) {
        Fail(QStringLiteral("引数が不正です: %1").arg(parser.errorText()));
    }
    if (parser.isSet(QStringLiteral("help"))) {
        parser.showHelp(0);
    }
    if (!parser.positionalArguments().isEmpty()) {
        Fail(QStringLiteral("余分な引数があります: \"%1\"").arg(parser.positionalArguments().join(QLatin1Char(' '))));
    }
    for (const QCommandLineOption* required : {&epicentreOpt, &depthOpt, &magnitudeOpt, &outOpt}) {
        if (!parser.isSet(*required)) {
            Fail(QStringLiteral("--%1 を指定してください").arg(required->names().first()));
        }
    }
    if (parser.isSet(officeOpt) && parser.isSet(locationOpt)) {
        Fail(QStringLiteral("--office と --location は同時に指定できません"));
    }
    if (parser.isSet(locationOpt) != parser.isSet(ampOpt)) {
        Fail(QStringLiteral("--location と --amplification は一緒に指定してください"));
    }

    // The earthquake as a type-01 telegram carries it: tenths of degrees, whole km, tenths of magnitude.
    const auto [epiLat, epiLng] =
        ToolArguments::ParsePoint(ProgramName, parser.value(epicentreOpt), QStringLiteral("epicentre"));
    const std::optional<QString> latField = Tenths(epiLat, 3);
    const std::optional<QString> lngField = Tenths(epiLng, 4);
    if (!latField || !lngField) {
        Fail(QStringLiteral("--epicentre は北緯 0〜99.9 度、東経 0〜999.9 度で指定してください: \"%1\"")
                 .arg(parser.value(epicentreOpt)));
    }
    bool depthOk = false;
    const int depth = parser.value(depthOpt).trimmed().toInt(&depthOk);
    if (!depthOk || depth < 0 || depth > 999) {
        Fail(QStringLiteral("--depth は 0〜999 の整数 (km) で指定してください: \"%1\"").arg(parser.value(depthOpt)));
    }
    const std::optional<QString> magField =
        Tenths(ToolArguments::ParseNumber(ProgramName, parser.value(magnitudeOpt), QStringLiteral("magnitude")), 2);
    if (!magField) {
        Fail(QStringLiteral("--magnitude は 0〜9.9 で指定してください: \"%1\"").arg(parser.value(magnitudeOpt)));
    }
    const double elapsed = parser.isSet(elapsedOpt) ? ToolArguments::ParseNumber(ProgramName, parser.value(elapsedOpt),
                                                                                 QStringLiteral("elapsed"))
                                                    : 0.0;
    if (std::fabs(elapsed) > 1.0e6) {
        Fail(QStringLiteral("--elapsed が大きすぎます: \"%1\"").arg(parser.value(elapsedOpt)));
    }
    int zoom = TAlertMap::AutoZoom;
    if (const QString z = parser.value(zoomOpt).trimmed(); z != QStringLiteral("auto")) {
        bool zoomOk = false;
        zoom = z.toInt(&zoomOk);
        if (!zoomOk || (zoom != 1 && zoom != 2 && zoom != 4 && zoom != 8)) {
            Fail(QStringLiteral("--zoom は auto, 1, 2, 4, 8 のいずれかで指定してください: \"%1\"").arg(z));
        }
    }
    QVector<TAlertMapQuake> others;
    for (const QString& text : parser.values(otherOpt)) {
        const QStringList parts = text.split(QLatin1Char(','));
        QVector<double> v;
        for (const QString& part : parts) {
            bool ok = false;
            v << part.trimmed().toDouble(&ok);
            if (!ok) {
                v.clear();
                break;
            }
        }
        if (v.size() != 4 || v[0] < 0.0 || v[0] > 90.0 || v[1] < 0.0 || v[1] > 180.0 || v[2] < 0.0 || v[2] > 700.0 ||
            v[3] <= 0.0 || v[3] > 9.9) {
            Fail(QStringLiteral("--other は 緯度,経度,深さ(km),マグニチュード で指定してください: \"%1\"").arg(text));
        }
        TAlertMapQuake q;
        q.EqId = QStringLiteral("other%1").arg(others.size() + 1);
        q.EpicLat = v[0];
        q.EpicLong = v[1];
        q.DepthKm = static_cast<int>(v[2]);
        q.ElapsedSec = 0.0; // set once the elapsed time is known
        q.EstSIS = v[3];    // the magnitude until the forecast replaces it
        others << q;
    }
    QString occurred = VeskJapanNow().toString(QStringLiteral("yyMMddHHmmss"));
    if (parser.isSet(occurredOpt)) {
        occurred = parser.value(occurredOpt).trimmed();
        if (occurred.size() != 12 || !TAlertTiming::ParseOccurrenceTime(occurred)) {
            Fail(QStringLiteral("--occurred は YYMMDDhhmmss の日時で指定してください: \"%1\"").arg(occurred));
        }
    }

    TULPrefOfficeInfo location = GetDefaultPrefOffice();
    if (parser.isSet(officeOpt)) {
        const QString name = parser.value(officeOpt);
        bool found = false;
        for (int i = 0; i < GetPrefOfficeCount() && !found; ++i) {
            const TULPrefOfficeInfo& office = GetPrefOffice(i);
            if (office.PrefOfficeName == name || office.PrefName == name) {
                location = office;
                found = true;
            }
        }
        if (!found) {
            Fail(QStringLiteral("庁舎が見つかりません: \"%1\"").arg(name));
        }
    } else if (parser.isSet(locationOpt)) {
        const auto [lat, lng] =
            ToolArguments::ParsePoint(ProgramName, parser.value(locationOpt), QStringLiteral("location"));
        location.Latitude = static_cast<float>(lat);
        location.Longitude = static_cast<float>(lng);
        location.GAmplification = static_cast<float>(
            ToolArguments::ParseNumber(ProgramName, parser.value(ampOpt), QStringLiteral("amplification")));
    }

    const QString eqId = QStringLiteral("ND20") + occurred;
    TEqTelegram01Fields fields;
    fields.PresentTime = occurred;
    fields.OccurrenceTime = occurred;
    fields.EqId = eqId;
    fields.ReportKind = QStringLiteral(" ");
    fields.Latitude = QLatin1Char('N') + *latField;
    fields.Longitude = QLatin1Char('E') + *lngField;
    fields.Depth = QStringLiteral("%1").arg(depth, 3, 10, QLatin1Char('0'));
    fields.Magnitude = *magField;
    fields.Accuracy = QStringLiteral("33333");
    const std::optional<QString> line = ComposeEqTelegram01(fields);
    if (!line) {
        Fail(QStringLiteral("電文を組み立てられません"));
    }
    const TEqTelegram01 eq01(*line);
    const TEqTelegram10 eq10 =
        parser.isSet(nameOpt)
            ? TEqTelegram10(
                  ComposeEqTelegram10(eqId, 1, QStringLiteral("791"), parser.value(nameOpt)).value_or(QString()))
            : TEqTelegram10();

    double intensity = 0.0;
    double pSec = 0.0;
    double sSec = 0.0;
    const int32_t code =
        calcForecast(eq01.GetEpicLat(), eq01.GetEpicLong(), eq01.GetEpicDepth(), eq01.GetMagnitude(), location.Latitude,
                     location.Longitude, location.GAmplification, &intensity, &pSec, &sSec);
    if (code != 0) {
        Fail(QStringLiteral("震度を推定できません (calcForecast の結果 %1)").arg(code), ExitFailed);
    }

    const qint64 occurredMSecs = *TAlertTiming::ParseOccurrenceTime(occurred);
    const TFixedClock clock(occurredMSecs + std::llround(elapsed * 1000.0));
    TAlertTiming timing(nullptr, &clock);
    timing.SetIsIssuedWarning(parser.isSet(warningOpt));
    timing.SetEqInfo(location.Latitude, location.Longitude, eq01, eq10, static_cast<float>(intensity),
                     static_cast<float>(sSec));
    timing.StartAlert();
    const TAlertTick tick = timing.DoAlert();

    for (TAlertMapQuake& q : others) {
        double otherIntensity = 0.0;
        double otherP = 0.0;
        double otherS = 0.0;
        if (calcForecast(q.EpicLat, q.EpicLong, q.DepthKm, q.EstSIS, location.Latitude, location.Longitude,
                         location.GAmplification, &otherIntensity, &otherP, &otherS) != 0) {
            Fail(QStringLiteral("もう一つの地震の震度を推定できません: %1,%2").arg(q.EpicLat).arg(q.EpicLong),
                 ExitFailed);
        }
        q.EstSIS = otherIntensity;
        q.ElapsedSec = elapsed;
        q.SecondsLeft = std::max(0, static_cast<int>(std::floor(RoundHalfEven(otherS) - elapsed)));
        q.Arrived = elapsed >= RoundHalfEven(otherS);
    }

    TAlertMap map;
    if (map.LoadResult() != 0) {
        Fail(QStringLiteral("画像リソースが不足しています (結果 %1)").arg(map.LoadResult()), ExitFailed);
    }
    map.SetZoom(zoom);
    map.SetOtherQuakes(others);
    map.PaintFrame(timing, tick);
    const QString out = parser.value(outOpt);
    if (!map.Frame().save(out, "PNG")) {
        Fail(QStringLiteral("ファイルに書き込めません: \"%1\"").arg(out), ExitFailed);
    }

    QJsonObject object;
    object.insert(QStringLiteral("intensity"), Rounded(intensity));
    object.insert(QStringLiteral("class"), TSeismicIntensityScale::GetScaleAsString(intensity));
    object.insert(QStringLiteral("s_sec"), Rounded(sSec));
    object.insert(QStringLiteral("countdown"), tick.AdvanceSec);
    object.insert(QStringLiteral("arrived"), tick.Arrived);
    object.insert(QStringLiteral("scale"), map.Scale());
    std::printf("%s\n", QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
    return 0;
}
