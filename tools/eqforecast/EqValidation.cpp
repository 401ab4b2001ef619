#include "EqValidation.h"

#include "defines/VeskDefines.h"
#include "eqfunction/eqFunction.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>
#include <limits>

namespace {

// The ten JMA classes in order, as the observed files and GetScale write them.
constexpr double IntensityClasses[] = {0.0, 1.0, 2.0, 3.0, 4.0, 5.0, 5.5, 6.0, 6.5, 7.0};

bool Fail(QString& AError, const QString& AFileName, const QString& AMessage)
{
    AError = QStringLiteral("%1: %2").arg(AFileName, AMessage);
    return false;
}

} // namespace

bool LoadObservedEarthquake(const QString& AFileName, TObservedEarthquake& AQuake, QString& AError)
{
    QFile file(AFileName);
    if (!file.open(QIODevice::ReadOnly)) {
        return Fail(AError, AFileName, QStringLiteral("読めません: %1").arg(file.errorString()));
    }
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return Fail(AError, AFileName, QStringLiteral("読めません: %1").arg(file.errorString()));
    }
    return ParseObservedEarthquake(text, AFileName, AQuake, AError);
}

bool ParseObservedEarthquake(const QByteArray& AText, const QString& AFileName, TObservedEarthquake& AQuake,
                             QString& AError)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(AText, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        return Fail(AError, AFileName,
                    QStringLiteral("JSON オブジェクトではありません (%1, 位置 %2)")
                        .arg(parseError.errorString())
                        .arg(parseError.offset));
    }
    const QJsonObject root = document.object();
    const QJsonObject quake = root.value(QStringLiteral("quake")).toObject();
    for (const char* key : {"lat", "lng", "depth", "magnitude"}) {
        if (!quake.value(QLatin1String(key)).isDouble()) {
            return Fail(AError, AFileName, QStringLiteral("quake.%1 がないか数値ではありません").arg(key));
        }
    }
    const double depth = quake.value(QStringLiteral("depth")).toDouble();
    if (depth != std::trunc(depth) || std::fabs(depth) > std::numeric_limits<std::int32_t>::max()) {
        return Fail(AError, AFileName, QStringLiteral("quake.depth が整数 (km) ではありません"));
    }
    if (!root.value(QStringLiteral("observed")).isObject()) {
        return Fail(AError, AFileName, QStringLiteral("observed がないかオブジェクトではありません"));
    }
    const QJsonObject observed = root.value(QStringLiteral("observed")).toObject();

    TObservedEarthquake result;
    result.FileName = AFileName;
    result.Name = quake.value(QStringLiteral("name")).toString(QFileInfo(AFileName).completeBaseName());
    result.Latitude = quake.value(QStringLiteral("lat")).toDouble();
    result.Longitude = quake.value(QStringLiteral("lng")).toDouble();
    result.DepthKm = std::int32_t(depth);
    result.Magnitude = quake.value(QStringLiteral("magnitude")).toDouble();

    for (auto it = observed.begin(); it != observed.end(); ++it) {
        bool known = false;
        for (int row = 0; row < GetPrefOfficeCount() && !known; ++row) {
            known = GetPrefOffice(row).PrefOfficeName == it.key();
        }
        if (!known) {
            return Fail(AError, AFileName, QStringLiteral("庁舎表にない庁舎です: \"%1\"").arg(it.key()));
        }
        if (!it.value().isDouble() || IntensityClassIndex(it.value().toDouble()) < 0) {
            return Fail(AError, AFileName,
                        QStringLiteral("%1 の観測震度が 0,1,2,3,4,5,5.5,6,6.5,7 のどれでもありません").arg(it.key()));
        }
    }
    for (int row = 0; row < GetPrefOfficeCount(); ++row) {
        const TULPrefOfficeInfo& office = GetPrefOffice(row);
        const QJsonValue value = observed.value(office.PrefOfficeName);
        if (!value.isUndefined()) {
            result.Offices.append(
                {office.PrefOfficeName, office.Latitude, office.Longitude, office.GAmplification, value.toDouble()});
        }
    }
    AQuake = result;
    return true;
}

int IntensityClassIndex(double AClass)
{
    for (int i = 0; i < int(std::size(IntensityClasses)); ++i) {
        if (AClass == IntensityClasses[i]) {
            return i;
        }
    }
    return -1;
}

void TValidationScore::Add(const TOfficeScore& AOffice)
{
    ++Offices;
    if (AOffice.Code != 0) {
        ++Failed;
        return;
    }
    Within += std::abs(AOffice.Difference) <= 1 ? 1 : 0;
    Exact += AOffice.Difference == 0 ? 1 : 0;
    DifferenceSum += AOffice.Difference;
}

void TValidationScore::Add(const TValidationScore& AScore)
{
    Offices += AScore.Offices;
    Within += AScore.Within;
    Exact += AScore.Exact;
    Failed += AScore.Failed;
    DifferenceSum += AScore.DifferenceSum;
}

TEarthquakeValidation ValidateEarthquake(const TObservedEarthquake& AQuake)
{
    TEarthquakeValidation validation;
    validation.Earthquake = AQuake;
    for (const TObservedOffice& office : AQuake.Offices) {
        TOfficeScore score;
        score.Observed = office;
        double pSec = 0.0;
        double sSec = 0.0;
        score.Code = calcForecast(AQuake.Latitude, AQuake.Longitude, AQuake.DepthKm, AQuake.Magnitude, office.Latitude,
                                  office.Longitude, office.Amplification, &score.Intensity, &pSec, &sSec);
        if (score.Code == 0) {
            score.EstimatedClass = TSeismicIntensityScale::GetScale(score.Intensity);
            score.Difference = IntensityClassIndex(score.EstimatedClass) - IntensityClassIndex(office.ObservedClass);
        }
        validation.Score.Add(score);
        validation.Offices.append(score);
    }
    return validation;
}

QJsonObject ValidationScoreToJson(const TValidationScore& AScore)
{
    QJsonObject object;
    object.insert(QStringLiteral("offices"), AScore.Offices);
    object.insert(QStringLiteral("within"), AScore.Within);
    object.insert(QStringLiteral("exact"), AScore.Exact);
    object.insert(QStringLiteral("failed"), AScore.Failed);
    object.insert(QStringLiteral("within_share"), AScore.WithinShare());
    object.insert(QStringLiteral("exact_share"), AScore.ExactShare());
    object.insert(QStringLiteral("mean_error"), AScore.MeanError());
    return object;
}

QJsonObject EarthquakeValidationToJson(const TEarthquakeValidation& AValidation)
{
    QJsonObject object = ValidationScoreToJson(AValidation.Score);
    object.insert(QStringLiteral("file"), QFileInfo(AValidation.Earthquake.FileName).fileName());
    object.insert(QStringLiteral("name"), AValidation.Earthquake.Name);
    QJsonArray details;
    for (const TOfficeScore& office : AValidation.Offices) {
        const bool ok = office.Code == 0;
        QJsonObject row;
        row.insert(QStringLiteral("office"), office.Observed.Office);
        row.insert(QStringLiteral("observed"), office.Observed.ObservedClass);
        row.insert(QStringLiteral("code"), office.Code);
        row.insert(QStringLiteral("intensity"), ok ? QJsonValue(office.Intensity) : QJsonValue());
        row.insert(QStringLiteral("estimated"), ok ? QJsonValue(office.EstimatedClass) : QJsonValue());
        row.insert(QStringLiteral("difference"), ok ? QJsonValue(office.Difference) : QJsonValue());
        details.append(row);
    }
    object.insert(QStringLiteral("details"), details);
    return object;
}

QString ValidationScoreText(const QString& ALabel, const TValidationScore& AScore)
{
    QString text =
        QStringLiteral("%1: %2 offices, within ±1 class %3 (%4 %), exact %5 (%6 %), mean signed error %7 class")
            .arg(ALabel)
            .arg(AScore.Offices)
            .arg(AScore.Within)
            .arg(100.0 * AScore.WithinShare(), 0, 'f', 1)
            .arg(AScore.Exact)
            .arg(100.0 * AScore.ExactShare(), 0, 'f', 1)
            .arg(QString::asprintf("%+.2f", AScore.MeanError()));
    if (AScore.Failed > 0) {
        text += QStringLiteral(", no estimate %1").arg(AScore.Failed);
    }
    return text;
}
