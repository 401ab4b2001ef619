#include "alert/EqAlertDecision.h"

#include "logging/VeskLogging.h"

#include <charconv>
#include <cmath>

namespace {

const QString CalcName = QStringLiteral("CalculateEqEffect()");
const QString FilterName = QStringLiteral("IsAlertableEqTeleg()");

QString ForecastErrorText(int32_t Code)
{
    switch (Code) {
    case 1:
        return QStringLiteral("不正なデータが指定されました。");
    case 2:
        return QStringLiteral("震央距離エラー");
    case 3:
        return QStringLiteral("断層最短距離エラー");
    case 4:
        return QStringLiteral("最大速度エラー(基盤基準: S波速度 600m/s)");
    default:
        return QString();
    }
}

} // namespace

QString AlertRejectReasonName(TAlertRejectReason Reason)
{
    switch (Reason) {
    case arrNone:
        return QString();
    case arrDrill:
        return QStringLiteral("drill");
    case arrAccuracy:
        return QStringLiteral("accuracy");
    case arrDeep:
        return QStringLiteral("deep");
    case arrConditions:
        return QStringLiteral("conditions");
    case arrForecast:
        return QStringLiteral("forecast");
    case arrOccurrenceTime:
        return QStringLiteral("occurrence_time");
    case arrUnknownCancel:
        return QStringLiteral("unknown_cancel");
    case arrError:
        return QStringLiteral("error");
    }
    return QString();
}

TEqAlertDecision::TEqAlertDecision(TVeskLogger* ALogger, TForecastFunc AForecast)
    : FLogger(TVeskLogger::OrNull(ALogger)), FForecast(std::move(AForecast))
{}

QString TEqAlertDecision::EqIdWithTelegNo(const QString& EqId, qint32 TelegNo)
{
    return EqId + QLatin1Char('-') + QString::asprintf("%.3d", TelegNo);
}

QString TEqAlertDecision::ShortestDecimal(float Value)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof(buf), Value);
    return QString::fromLatin1(buf, res.ptr - buf);
}

QString TEqAlertDecision::ShortestDecimal(double Value)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof(buf), Value);
    return QString::fromLatin1(buf, res.ptr - buf);
}

QString TEqAlertDecision::FixedTwo(double Value)
{
    return QString::asprintf("%.2f", Value);
}

bool TEqAlertDecision::CalculateEqEffect(const TEqTelegram01& Eq01Teleg, const TLocationInfo& Location,
                                         double& EstSIScale, double& EstSWaveSec) const
{
    FLogger->EnterMethod(CalcName);
    EstSIScale = 0.0;
    EstSWaveSec = 0.0;

    const double epiLat = Eq01Teleg.GetEpicLat();
    const double epiLng = Eq01Teleg.GetEpicLong();
    const int32_t depth = Eq01Teleg.GetEpicDepth();
    const double mag = Eq01Teleg.GetMagnitude();
    // Defined starting values, so the log line never shows uninitialised memory
    // when the library leaves an out-value untouched.
    double sis = 0.0;
    double pSec = 0.0;
    double sSec = 0.0;
    int32_t code = -1;
    if (FForecast) {
        code = FForecast(epiLat, epiLng, depth, mag, Location.Latitude, Location.Longitude, Location.GAmplifier, &sis,
                         &pSec, &sSec);
    } else {
        FLogger->Send(vmtCaught, QStringLiteral("calcForecast is not available."));
    }

    // "%f" of the log formats prints two decimals.
    FLogger->Send(QString::asprintf(
        "ELat: %.2f,ELng: %.2f,Depth: %.3d, Mg: %.2f,LLat: %.2f,LLng: %.2f,GAmp: %.3f,CRet: "
        "%d,SIS: %.2f, PSec: %.2f,SSec: %.2f",
        epiLat, epiLng, depth, mag, Location.Latitude, Location.Longitude, Location.GAmplifier, code, sis, pSec, sSec));

    if (code == 0) {
        // A success code with values that are not numbers is no estimate either:
        // such values would turn into a class and a countdown nobody can trust.
        if (!std::isfinite(sis) || !std::isfinite(sSec)) {
            FLogger->Send(vmtWarning, QStringLiteral("Forecast values are not finite."));
            FLogger->ExitMethod(CalcName);
            return false;
        }
        EstSIScale = sis;
        EstSWaveSec = sSec;
        FLogger->ExitMethod(CalcName);
        return true;
    }
    const QString text = ForecastErrorText(code);
    if (!text.isEmpty()) {
        FLogger->Send(text);
    }
    FLogger->ExitMethod(CalcName);
    return false;
}

bool TEqAlertDecision::IsAlertableEqTeleg(const TEqTelegram01& Eq01Teleg, double SIScale,
                                          const TAlertConditions& Conditions, TAlertRejectReason* Reason,
                                          bool APlumAtHome) const
{
    auto reject = [&](TAlertRejectReason Why) {
        if (Reason) {
            *Reason = Why;
        }
        FLogger->ExitMethod(FilterName);
        return false;
    };

    FLogger->EnterMethod(FilterName);
    FLogger->Send(QStringLiteral("対象EQ ID"), EqIdWithTelegNo(Eq01Teleg.GetEqId(), Eq01Teleg.GetTelegNo()));
    const int rk1 = Eq01Teleg.GetRk1();
    const int rk2 = Eq01Teleg.GetRk2();
    const int rk3 = Eq01Teleg.GetRk3();
    FLogger->Send(QStringLiteral("精度-震央"), rk1);
    FLogger->Send(QStringLiteral("精度-深さ"), rk2);
    FLogger->Send(QStringLiteral("精度-MwMg"), rk3);
    FLogger->Send(QStringLiteral("条件精度"), Conditions.DataAccuracy);
    FLogger->Send(QStringLiteral("気象庁訓練報"), Conditions.UseJmaDrill);

    if (Eq01Teleg.GetTrainType() == QLatin1String("01") && !Conditions.UseJmaDrill) {
        return reject(arrDrill);
    }

    // Only index 0 accepts one-point data; anything else (also no selection) asks
    // for the recommended two points.
    if (Conditions.DataAccuracy != 0 && (rk1 < 2 || rk2 < 2 || rk3 < 2)) {
        if (!APlumAtHome) {
            FLogger->Send(QStringLiteral("通報対象外-精度未満の為"));
            return reject(arrAccuracy);
        }
        // The hypocentre's accuracy says nothing of a forecast made from observed shaking.
        FLogger->Send(QStringLiteral("精度条件の適用外-所在地はPLUM法による予測の為"));
    }

    const int depth = Eq01Teleg.GetEpicDepth();
    FLogger->Send(QStringLiteral("深発地震の使用"), Conditions.UseDepth);
    FLogger->Send(QStringLiteral("震源深さ"), depth);
    if (!Conditions.UseDepth && depth > 150) {
        FLogger->Send(QStringLiteral("通報対象外-深発地震の為"));
        return reject(arrDeep);
    }

    if (Conditions.UseSIScale) {
        FLogger->Send(QStringLiteral("震度判定の使用"), true);
    }
    if (Conditions.UseMg) {
        FLogger->Send(QStringLiteral("MwMg判定の使用"), true);
    }

    int enabled = 0;
    int met = 0;
    if (Conditions.UseSIScale) {
        ++enabled;
        FLogger->Send(QStringLiteral("予測震度"), FixedTwo(SIScale) + QStringLiteral(" (") +
                                                      TSeismicIntensityScale::GetScaleAsString(SIScale) +
                                                      QLatin1Char(')'));
        FLogger->Send(QStringLiteral("条件震度"), QString::number(Conditions.SIScaleThreshold) + QStringLiteral(" (") +
                                                      Conditions.SIScaleLabel + QLatin1Char(')'));
        // Without a selected class the condition cannot be met.
        if (Conditions.SIScaleThreshold >= 0 &&
            TSeismicIntensityScale::GetScaleAsInteger(SIScale) >= Conditions.SIScaleThreshold) {
            ++met;
        }
    }
    if (Conditions.UseMg) {
        ++enabled;
        const float minimum = static_cast<float>(Conditions.MomentMgPosition) * 0.5f;
        const double magnitude = Eq01Teleg.GetMagnitude();
        FLogger->Send(QStringLiteral("条件MwMg"), ShortestDecimal(minimum));
        FLogger->Send(QStringLiteral("MwMg"), ShortestDecimal(magnitude));
        if (magnitude >= static_cast<double>(minimum)) {
            ++met;
        }
    }

    FLogger->Send(QStringLiteral("Or条件判定の使用"), Conditions.UseOrCondition);
    const bool result = Conditions.UseOrCondition ? met > 0 : (enabled > 0 && met == enabled);
    FLogger->Send(QStringLiteral("IsAlertableEqTeleg result:"), result);
    if (Reason) {
        *Reason = result ? arrNone : arrConditions;
    }
    FLogger->ExitMethod(FilterName);
    return result;
}
