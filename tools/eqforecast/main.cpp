// eqforecast: what an earthquake means at a prefectural office or any location,
// computed by the eqFunction library the program uses; with --validate, how
// well those estimates match observed intensities.
#include "EqValidation.h"
#include "ToolArguments.h"
#include "defines/VeskDefines.h"
#include "eqfunction/eqFunction.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>

#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr const char* ProgramName = "eqforecast";

constexpr int ExitBadArguments = 2;

struct TForecastRow
{
    QString Name;
    bool IsOffice = false;
    double Latitude = 0.0;
    double Longitude = 0.0;
    double Amplification = 0.0;
};

[[noreturn]] void Fail(const QString& message)
{
    ToolArguments::Fail(ProgramName, message);
}

std::optional<TForecastRow> FindOffice(const QString& name)
{
    for (int i = 0; i < GetPrefOfficeCount(); ++i) {
        const TULPrefOfficeInfo& office = GetPrefOffice(i);
        if (office.PrefOfficeName == name || office.PrefName == name) {
            return TForecastRow{office.PrefOfficeName, true, office.Latitude, office.Longitude, office.GAmplification};
        }
    }
    return std::nullopt;
}

QJsonValue Rounded(double value)
{
    return std::round(value * 1000.0) / 1000.0;
}

// Scores every file and prints one line (or one JSON document) per run.
int RunValidation(const QStringList& files, bool json)
{
    QList<TEarthquakeValidation> validations;
    TValidationScore overall;
    for (const QString& file : files) {
        TObservedEarthquake quake;
        QString error;
        if (!LoadObservedEarthquake(file, quake, error)) {
            Fail(error);
        }
        validations.append(ValidateEarthquake(quake));
        overall.Add(validations.back().Score);
    }
    if (json) {
        QJsonArray earthquakes;
        for (const TEarthquakeValidation& validation : validations) {
            earthquakes.append(EarthquakeValidationToJson(validation));
        }
        QJsonObject root;
        root.insert(QStringLiteral("earthquakes"), earthquakes);
        root.insert(QStringLiteral("overall"), ValidationScoreToJson(overall));
        std::printf("%s\n", QJsonDocument(root).toJson(QJsonDocument::Compact).constData());
    } else {
        for (const TEarthquakeValidation& validation : validations) {
            std::printf("%s\n", qUtf8Printable(ValidationScoreText(validation.Earthquake.Name, validation.Score)));
        }
        std::printf("%s\n", qUtf8Printable(ValidationScoreText(
                                QStringLiteral("overall (%1 earthquakes)").arg(validations.size()), overall)));
    }
    return overall.Failed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("eqforecast"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Estimated JMA seismic intensity and P/S-wave seconds at a location.\n"
                       "With --validate FILE..., the estimates for observed-intensity files (one earthquake each)\n"
                       "scored per earthquake and overall: the share of offices within one class, the share\n"
                       "exact and the mean signed error, a class difference counted in steps of the list\n"
                       "0, 1, 2, 3, 4, 5-, 5+, 6-, 6+, 7.\n"
                       "Exit status: 0 all estimates made, 1 some result code not 0, 2 bad arguments or files."));
    parser.addHelpOption();
    const QCommandLineOption epicentreOpt(QStringLiteral("epicentre"), QStringLiteral("Epicentre, degrees."),
                                          QStringLiteral("LAT,LNG"));
    const QCommandLineOption depthOpt(QStringLiteral("depth"), QStringLiteral("Hypocentre depth, whole km."),
                                      QStringLiteral("KM"));
    const QCommandLineOption magnitudeOpt(QStringLiteral("magnitude"), QStringLiteral("JMA magnitude."),
                                          QStringLiteral("M"));
    const QCommandLineOption officeOpt(QStringLiteral("office"), QStringLiteral("Prefectural office (or prefecture)."),
                                       QStringLiteral("NAME"));
    const QCommandLineOption locationOpt(QStringLiteral("location"), QStringLiteral("Location, degrees."),
                                         QStringLiteral("LAT,LNG"));
    const QCommandLineOption ampOpt(QStringLiteral("amplification"),
                                    QStringLiteral("Ground amplification factor of the location."),
                                    QStringLiteral("A"));
    const QCommandLineOption allOpt(QStringLiteral("all-offices"), QStringLiteral("One row per prefectural office."));
    const QCommandLineOption jsonOpt(QStringLiteral("json"),
                                     QStringLiteral("One JSON object per row (with --validate, one for the run)."));
    const QCommandLineOption validateOpt(QStringLiteral("validate"),
                                         QStringLiteral("Score the estimates against the observed-intensity files "
                                                        "given as arguments."));
    parser.addOptions(
        {epicentreOpt, depthOpt, magnitudeOpt, officeOpt, locationOpt, ampOpt, allOpt, jsonOpt, validateOpt});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Observed-intensity file (--validate only)."),
                                 QStringLiteral("[FILE...]"));

    if (!parser.parse(QCoreApplication::arguments())) {
        Fail(QStringLiteral("引数が不正です: %1").arg(parser.errorText()));
    }
    if (parser.isSet(QStringLiteral("help"))) {
        parser.showHelp(0);
    }
    if (parser.isSet(validateOpt)) {
        for (const QCommandLineOption* other :
             {&epicentreOpt, &depthOpt, &magnitudeOpt, &officeOpt, &locationOpt, &ampOpt, &allOpt}) {
            if (parser.isSet(*other)) {
                Fail(QStringLiteral("--validate と --%1 は一緒に指定できません").arg(other->names().first()));
            }
        }
        if (parser.positionalArguments().isEmpty()) {
            Fail(QStringLiteral("--validate には観測震度のファイルを指定してください"));
        }
        return RunValidation(parser.positionalArguments(), parser.isSet(jsonOpt));
    }
    if (!parser.positionalArguments().isEmpty()) {
        Fail(QStringLiteral("余分な引数があります: \"%1\"").arg(parser.positionalArguments().join(QLatin1Char(' '))));
    }
    for (const QCommandLineOption* required : {&epicentreOpt, &depthOpt, &magnitudeOpt}) {
        if (!parser.isSet(*required)) {
            Fail(QStringLiteral("--%1 を指定してください").arg(required->names().first()));
        }
    }
    const int targets = int(parser.isSet(officeOpt)) + int(parser.isSet(locationOpt)) + int(parser.isSet(allOpt));
    if (targets != 1) {
        Fail(QStringLiteral("--office, --location, --all-offices のどれか一つを指定してください"));
    }
    if (parser.isSet(locationOpt) != parser.isSet(ampOpt)) {
        Fail(QStringLiteral("--location と --amplification は一緒に指定してください"));
    }

    const auto [epiLat, epiLng] =
        ToolArguments::ParsePoint(ProgramName, parser.value(epicentreOpt), QStringLiteral("epicentre"));
    bool depthOk = false;
    const int depth = parser.value(depthOpt).trimmed().toInt(&depthOk);
    if (!depthOk) {
        Fail(QStringLiteral("--depth は整数 (km) で指定してください: \"%1\"").arg(parser.value(depthOpt)));
    }
    const double magnitude =
        ToolArguments::ParseNumber(ProgramName, parser.value(magnitudeOpt), QStringLiteral("magnitude"));

    std::vector<TForecastRow> rows;
    if (parser.isSet(allOpt)) {
        for (int i = 0; i < GetPrefOfficeCount(); ++i) {
            const TULPrefOfficeInfo& office = GetPrefOffice(i);
            rows.push_back({office.PrefOfficeName, true, office.Latitude, office.Longitude, office.GAmplification});
        }
    } else if (parser.isSet(officeOpt)) {
        const std::optional<TForecastRow> office = FindOffice(parser.value(officeOpt));
        if (!office) {
            Fail(QStringLiteral("庁舎が見つかりません: \"%1\"").arg(parser.value(officeOpt)));
        }
        rows.push_back(*office);
    } else {
        const auto [lat, lng] =
            ToolArguments::ParsePoint(ProgramName, parser.value(locationOpt), QStringLiteral("location"));
        rows.push_back(
            {parser.value(locationOpt), false, lat, lng,
             ToolArguments::ParseNumber(ProgramName, parser.value(ampOpt), QStringLiteral("amplification"))});
    }

    const bool json = parser.isSet(jsonOpt);
    bool allOk = true;
    for (const TForecastRow& row : rows) {
        double intensity = 0.0;
        double pSec = 0.0;
        double sSec = 0.0;
        const int32_t code = calcForecast(epiLat, epiLng, depth, magnitude, row.Latitude, row.Longitude,
                                          row.Amplification, &intensity, &pSec, &sSec);
        allOk = allOk && code == 0;
        const QString label = TSeismicIntensityScale::GetScaleAsString(intensity);
        if (json) {
            QJsonObject object;
            object.insert(QStringLiteral("office"), row.IsOffice ? QJsonValue(row.Name) : QJsonValue());
            object.insert(QStringLiteral("code"), code);
            object.insert(QStringLiteral("intensity"), code == 0 ? Rounded(intensity) : QJsonValue());
            object.insert(QStringLiteral("class"), code == 0 ? QJsonValue(label) : QJsonValue());
            object.insert(QStringLiteral("p_sec"), code == 0 ? Rounded(pSec) : QJsonValue());
            object.insert(QStringLiteral("s_sec"), code == 0 ? Rounded(sSec) : QJsonValue());
            std::printf("%s\n", QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
        } else if (code == 0) {
            std::printf("%s: code 0, intensity %.2f (%s), P %.1f s, S %.1f s\n", qUtf8Printable(row.Name), intensity,
                        qUtf8Printable(label), pSec, sSec);
        } else {
            std::printf("%s: code %d, no estimate\n", qUtf8Printable(row.Name), code);
        }
    }
    return allOk ? 0 : 1;
}
