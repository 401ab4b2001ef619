#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <cstdint>

// Scores the library's estimates against observed JMA intensities at the
// prefectural offices.
//
// A file describes one earthquake: "quake" holds the JMA hypocentre ("lat",
// "lng" in degrees, "depth" in whole km, "magnitude" Mj, "name"), "observed"
// maps office names of the office table to the observed class written as 0, 1,
// 2, 3, 4, 5 (5-), 5.5 (5+), 6 (6-), 6.5 (6+) or 7. Other keys are ignored.
//
// A class difference is counted in steps of the ordered list of the ten classes
// 0, 1, 2, 3, 4, 5-, 5+, 6-, 6+, 7: the estimate's position minus the observed
// one, so 5- against 4 is +1 and 6- against 5- is +2. The estimate's class is
// the one TSeismicIntensityScale gives its instrumental intensity.

struct TObservedOffice
{
    QString Office;
    double Latitude = 0.0;
    double Longitude = 0.0;
    double Amplification = 0.0;
    double ObservedClass = 0.0;
};

struct TObservedEarthquake
{
    QString FileName;
    QString Name;
    double Latitude = 0.0;
    double Longitude = 0.0;
    std::int32_t DepthKm = 0;
    double Magnitude = 0.0;
    // In the order of the office table.
    QList<TObservedOffice> Offices;
};

// False with a one-line message naming the file on an unreadable file, malformed
// JSON, a missing or non-numeric hypocentre value, an office not in the office
// table or an observed value that is not one of the ten classes.
bool LoadObservedEarthquake(const QString& AFileName, TObservedEarthquake& AQuake, QString& AError);
bool ParseObservedEarthquake(const QByteArray& AText, const QString& AFileName, TObservedEarthquake& AQuake,
                             QString& AError);

// Position of a class value (0, 1, 2, 3, 4, 5, 5.5, 6, 6.5, 7) in the ordered
// list of classes, -1 for any other value.
int IntensityClassIndex(double AClass);

struct TOfficeScore
{
    TObservedOffice Observed;
    std::int32_t Code = -1;
    double Intensity = 0.0;
    double EstimatedClass = 0.0;
    // Estimated minus observed class position; meaningful only when Code is 0.
    int Difference = 0;
};

// An office without an estimate (a non-zero result code) counts against the
// shares within one class and exact, and is left out of the mean error.
struct TValidationScore
{
    int Offices = 0;
    int Within = 0;
    int Exact = 0;
    int Failed = 0;
    int DifferenceSum = 0;

    void Add(const TOfficeScore& AOffice);
    void Add(const TValidationScore& AScore);
    double WithinShare() const { return Offices > 0 ? double(Within) / Offices : 0.0; }
    double ExactShare() const { return Offices > 0 ? double(Exact) / Offices : 0.0; }
    double MeanError() const { return Offices > Failed ? double(DifferenceSum) / (Offices - Failed) : 0.0; }
};

struct TEarthquakeValidation
{
    TObservedEarthquake Earthquake;
    QList<TOfficeScore> Offices;
    TValidationScore Score;
};

// Estimates every office of AQuake with calcForecast and scores the estimates.
TEarthquakeValidation ValidateEarthquake(const TObservedEarthquake& AQuake);

// "within", "exact", "failed", "offices" (counts), "within_share", "exact_share",
// "mean_error".
QJsonObject ValidationScoreToJson(const TValidationScore& AScore);
// The score of ValidationScoreToJson with "file", "name" and one "details" row
// per office ("office", "observed", "code", "intensity", "estimated", "difference").
QJsonObject EarthquakeValidationToJson(const TEarthquakeValidation& AValidation);
// One line: "<name>: <n> offices, within ±1 class ..., exact ..., mean signed error ...".
QString ValidationScoreText(const QString& ALabel, const TValidationScore& AScore);
