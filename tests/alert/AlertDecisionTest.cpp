#include "AlertTestSupport.h"
#include "alert/EqAlertDecision.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace AlertTest;

namespace {

// A stand-in for the forecast library that records its arguments.
struct TFakeForecast
{
    int32_t Code = 0;
    double Sis = 5.2;
    double PSec = 3.5;
    double SSec = 12.25;
    bool Called = false;
    double Args[7] = {};
    int32_t Depth = 0;

    TForecastFunc Func()
    {
        return [this](double epiLat, double epiLng, int32_t depth, double mag, double locLat, double locLng,
                      double gAmp, double* sis, double* pSec, double* sSec) {
            Called = true;
            Args[0] = epiLat;
            Args[1] = epiLng;
            Args[3] = mag;
            Args[4] = locLat;
            Args[5] = locLng;
            Args[6] = gAmp;
            Depth = depth;
            *sis = Sis;
            *pSec = PSec;
            *sSec = SSec;
            return Code;
        };
    }
};

TLocationInfo Tokyo()
{
    return TLocationInfo{35.689, 139.692, 1.2, QStringLiteral("350")};
}

TAlertConditions DefaultConditions()
{
    TAlertConditions c;
    c.UseJmaDrill = false;
    c.DataAccuracy = 1;
    c.UseDepth = false;
    c.UseSIScale = true;
    c.SIScaleIndex = 5;
    c.SIScaleThreshold = 50;
    c.SIScaleLabel = QStringLiteral("震度５弱");
    c.UseMg = false;
    c.MomentMgPosition = 9;
    c.UseOrCondition = false;
    return c;
}

} // namespace

TEST(CalculateEqEffect, SuccessPassesTelegramAndLocationAndLogsTheLine)
{
    TCapturedLog log;
    TFakeForecast fake;
    const TEqAlertDecision decision(log.Logger(), fake.Func());
    double sis = -1.0;
    double sec = -1.0;
    ASSERT_TRUE(decision.CalculateEqEffect(Eq01(), Tokyo(), sis, sec));
    EXPECT_DOUBLE_EQ(sis, 5.2);
    EXPECT_DOUBLE_EQ(sec, 12.25);
    EXPECT_DOUBLE_EQ(fake.Args[0], 32.7);
    EXPECT_DOUBLE_EQ(fake.Args[1], 130.8);
    EXPECT_EQ(fake.Depth, 10);
    EXPECT_DOUBLE_EQ(fake.Args[3], 6.5);
    EXPECT_DOUBLE_EQ(fake.Args[4], 35.689);
    EXPECT_DOUBLE_EQ(fake.Args[5], 139.692);
    EXPECT_DOUBLE_EQ(fake.Args[6], 1.2);
    EXPECT_EQ(log.Lines(), QStringList({
                               "==> CalculateEqEffect()",
                               "ELat: 32.70,ELng: 130.80,Depth: 010, Mg: 6.50,LLat: 35.69,LLng: 139.69,GAmp: 1.200,"
                               "CRet: 0,SIS: 5.20, PSec: 3.50,SSec: 12.25",
                               "<== CalculateEqEffect()",
                           }));
}

TEST(CalculateEqEffect, FailureCodesLogTheirTextAndLeaveOutputsAtZero)
{
    struct TCase
    {
        int32_t Code;
        QString Text; // empty: no line after the values line
    };
    const TCase cases[] = {
        {1, QStringLiteral("不正なデータが指定されました。")},
        {2, QStringLiteral("震央距離エラー")},
        {3, QStringLiteral("断層最短距離エラー")},
        {4, QStringLiteral("最大速度エラー(基盤基準: S波速度 600m/s)")},
        {7, QString()},
        {-1, QString()},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Code);
        TCapturedLog log;
        TFakeForecast fake;
        fake.Code = c.Code;
        fake.Sis = 9.87; // whatever the library left there is logged, not used
        const TEqAlertDecision decision(log.Logger(), fake.Func());
        double sis = 1.0;
        double sec = 1.0;
        EXPECT_FALSE(decision.CalculateEqEffect(Eq01(), Tokyo(), sis, sec));
        EXPECT_EQ(sis, 0.0);
        EXPECT_EQ(sec, 0.0);
        QStringList expected{"==> CalculateEqEffect()",
                             QString::asprintf("ELat: 32.70,ELng: 130.80,Depth: 010, Mg: 6.50,LLat: 35.69,LLng: "
                                               "139.69,GAmp: 1.200,CRet: %d,SIS: 9.87, PSec: 3.50,SSec: 12.25",
                                               c.Code)};
        if (!c.Text.isEmpty()) {
            expected << c.Text;
        }
        expected << "<== CalculateEqEffect()";
        EXPECT_EQ(log.Lines(), expected);
    }
}

TEST(CalculateEqEffect, UndecodableFieldsArePassedAsZero)
{
    TCapturedLog log;
    TFakeForecast fake;
    fake.Code = 1;
    const TEqAlertDecision decision(log.Logger(), fake.Func());
    TEq01Fields f;
    f.Mag = QStringLiteral("//");
    f.Depth = QStringLiteral("///");
    double sis = 0.0;
    double sec = 0.0;
    EXPECT_FALSE(decision.CalculateEqEffect(Eq01(f), Tokyo(), sis, sec));
    EXPECT_EQ(fake.Args[3], 0.0);
    EXPECT_EQ(fake.Depth, 0);
    ASSERT_GE(log.Lines().size(), 2);
    EXPECT_TRUE(log.Lines()[1].startsWith("ELat: 32.70,ELng: 130.80,Depth: 000, Mg: 0.00,"))
        << log.Lines()[1].toStdString();
}

TEST(CalculateEqEffect, SuccessWithoutFiniteValuesIsNoEstimate)
{
    for (const double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        TCapturedLog log;
        TFakeForecast fake;
        fake.SSec = bad;
        const TEqAlertDecision decision(log.Logger(), fake.Func());
        double sis = 1.0;
        double sec = 1.0;
        EXPECT_FALSE(decision.CalculateEqEffect(Eq01(), Tokyo(), sis, sec));
        EXPECT_EQ(sis, 0.0);
        EXPECT_EQ(sec, 0.0);
    }
}

TEST(CalculateEqEffect, MissingForecastFunctionFailsWithoutCrash)
{
    TCapturedLog log;
    const TEqAlertDecision decision(log.Logger(), TForecastFunc());
    double sis = 1.0;
    double sec = 1.0;
    EXPECT_FALSE(decision.CalculateEqEffect(Eq01(), Tokyo(), sis, sec));
    EXPECT_TRUE(log.Lines().contains("<37> calcForecast is not available."));
    // Also without a logger.
    const TEqAlertDecision quiet(nullptr, TForecastFunc());
    EXPECT_FALSE(quiet.CalculateEqEffect(Eq01(), Tokyo(), sis, sec));
}

// The full log of the filter for each way it can end.
TEST(IsAlertableEqTeleg, LogsEveryValueItLooksAt)
{
    const QStringList head{
        "==> IsAlertableEqTeleg()",   "対象EQ ID(Value=ND20160414212634-005)",
        "精度-震央(Value=3)",         "精度-深さ(Value=3)",
        "精度-MwMg(Value=3)",         "条件精度(Value=1)",
        "気象庁訓練報(Expression=0)",
    };
    const QStringList depth{"深発地震の使用(Expression=0)", "震源深さ(Value=10)"};
    const QStringList conditions{
        "震度判定の使用(Expression=-1)",  "MwMg判定の使用(Expression=-1)", "予測震度(Value=5.20 (５強))",
        "条件震度(Value=50 (震度５弱))",  "条件MwMg(Value=4.5)",           "MwMg(Value=6.5)",
        "Or条件判定の使用(Expression=0)",
    };
    const QString exit = "<== IsAlertableEqTeleg()";

    struct TCase
    {
        const char* Name;
        TEq01Fields Fields;
        double SIScale;
        bool Expected;
        TAlertRejectReason Reason;
        QStringList Lines;
    };
    TEq01Fields drill;
    drill.TrainType = "01";
    TEq01Fields inaccurate;
    inaccurate.Accuracy = "31333";
    TEq01Fields deep;
    deep.Depth = "151";
    const TCase cases[] = {
        {"accepted",
         {},
         5.2,
         true,
         arrNone,
         head + depth + conditions + QStringList{"IsAlertableEqTeleg result:(Expression=-1)", exit}},
        {"drill", drill, 5.2, false, arrDrill, head + QStringList{exit}},
        {"accuracy", inaccurate, 5.2, false, arrAccuracy,
         QStringList(head).replaceInStrings("精度-深さ(Value=3)", "精度-深さ(Value=1)") +
             QStringList{"通報対象外-精度未満の為", exit}},
        {"deep", deep, 5.2, false, arrDeep,
         head + QStringList{"深発地震の使用(Expression=0)", "震源深さ(Value=151)", "通報対象外-深発地震の為", exit}},
        {"conditions",
         {},
         4.49,
         false,
         arrConditions,
         head + depth +
             QStringList(conditions).replaceInStrings("予測震度(Value=5.20 (５強))", "予測震度(Value=4.49 (４))") +
             QStringList{"IsAlertableEqTeleg result:(Expression=0)", exit}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TCapturedLog log;
        const TEqAlertDecision decision(log.Logger(), TForecastFunc());
        TAlertConditions cond = DefaultConditions();
        cond.UseMg = true;
        TAlertRejectReason reason = arrError;
        EXPECT_EQ(decision.IsAlertableEqTeleg(Eq01(c.Fields), c.SIScale, cond, &reason), c.Expected);
        EXPECT_EQ(reason, c.Reason);
        EXPECT_EQ(log.Lines(), c.Lines);
    }
}

TEST(IsAlertableEqTeleg, DecisionTable)
{
    struct TCase
    {
        const char* Name;
        TEq01Fields Fields;
        double SIScale;
        TAlertConditions Conditions;
        bool Expected;
        TAlertRejectReason Reason;
    };
    const TAlertConditions base = DefaultConditions();
    auto with = [&](auto Change) {
        TAlertConditions c = base;
        Change(c);
        return c;
    };
    auto fields = [](auto Change) {
        TEq01Fields f;
        Change(f);
        return f;
    };
    const auto noConditions = with([](TAlertConditions& c) { c.UseSIScale = false; });
    const auto noConditionsOr = with([](TAlertConditions& c) {
        c.UseSIScale = false;
        c.UseOrCondition = true;
    });
    const auto mgOnly = with([](TAlertConditions& c) {
        c.UseSIScale = false;
        c.UseMg = true;
        c.MomentMgPosition = 9;
    });
    const auto both = with([](TAlertConditions& c) { c.UseMg = true; });
    const auto bothOr = with([](TAlertConditions& c) {
        c.UseMg = true;
        c.UseOrCondition = true;
    });
    const TCase cases[] = {
        {"both disabled, AND", {}, 7.0, noConditions, false, arrConditions},
        {"both disabled, OR", {}, 7.0, noConditionsOr, false, arrConditions},
        {"4.99 reaches 5-", {}, 4.99, base, true, arrNone},
        {"4.49 stays below 5-", {}, 4.49, base, false, arrConditions},
        {"M4.5 meets minimum 4.5", fields([](TEq01Fields& f) { f.Mag = "45"; }), 0.0, mgOnly, true, arrNone},
        {"M4.4 misses minimum 4.5", fields([](TEq01Fields& f) { f.Mag = "44"; }), 0.0, mgOnly, false, arrConditions},
        {"slider 19 is M9.5", fields([](TEq01Fields& f) { f.Mag = "94"; }), 0.0, with([](TAlertConditions& c) {
             c.UseSIScale = false;
             c.UseMg = true;
             c.MomentMgPosition = 19;
         }),
         false, arrConditions},
        {"undecodable accuracy digit", fields([](TEq01Fields& f) { f.Accuracy = "33/33"; }), 7.0, base, false,
         arrAccuracy},
        {"one-point data accepted at index 0", fields([](TEq01Fields& f) { f.Accuracy = "11133"; }), 7.0,
         with([](TAlertConditions& c) { c.DataAccuracy = 0; }), true, arrNone},
        {"no accuracy selection asks for two points", fields([](TEq01Fields& f) { f.Accuracy = "11133"; }), 7.0,
         with([](TAlertConditions& c) { c.DataAccuracy = -1; }), false, arrAccuracy},
        {"depth 150 passes", fields([](TEq01Fields& f) { f.Depth = "150"; }), 7.0, base, true, arrNone},
        {"depth 151 rejected", fields([](TEq01Fields& f) { f.Depth = "151"; }), 7.0, base, false, arrDeep},
        {"depth 151 with deep quakes on", fields([](TEq01Fields& f) { f.Depth = "151"; }), 7.0,
         with([](TAlertConditions& c) { c.UseDepth = true; }), true, arrNone},
        {"OR: intensity met, magnitude not", fields([](TEq01Fields& f) { f.Mag = "30"; }), 6.0, bothOr, true, arrNone},
        {"AND: intensity met, magnitude not", fields([](TEq01Fields& f) { f.Mag = "30"; }), 6.0, both, false,
         arrConditions},
        {"drill accepted when drills are on", fields([](TEq01Fields& f) { f.TrainType = "01"; }), 7.0,
         with([](TAlertConditions& c) { c.UseJmaDrill = true; }), true, arrNone},
        {"drill rejected before accuracy", fields([](TEq01Fields& f) {
             f.TrainType = "01";
             f.Accuracy = "11111";
         }),
         7.0, base, false, arrDrill},
        {"no class selected never meets the intensity condition",
         {},
         7.0,
         with([](TAlertConditions& c) {
             c.SIScaleIndex = -1;
             c.SIScaleThreshold = -1;
             c.SIScaleLabel.clear();
         }),
         false,
         arrConditions},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TCapturedLog log;
        const TEqAlertDecision decision(log.Logger(), TForecastFunc());
        TAlertRejectReason reason = arrError;
        EXPECT_EQ(decision.IsAlertableEqTeleg(Eq01(c.Fields), c.SIScale, c.Conditions, &reason), c.Expected);
        EXPECT_EQ(reason, c.Reason);
    }
}

TEST(IsAlertableEqTeleg, TextForms)
{
    EXPECT_EQ(TEqAlertDecision::EqIdWithTelegNo("ND1", -1), "ND1--001");
    EXPECT_EQ(TEqAlertDecision::EqIdWithTelegNo("ND1", 12), "ND1-012");
    EXPECT_EQ(TEqAlertDecision::ShortestDecimal(0.0f), "0");
    EXPECT_EQ(TEqAlertDecision::ShortestDecimal(9.5f), "9.5");
    EXPECT_EQ(TEqAlertDecision::ShortestDecimal(6.6), "6.6");
    EXPECT_EQ(AlertRejectReasonName(arrDeep), "deep");
    EXPECT_EQ(AlertRejectReasonName(arrForecast), "forecast");
}
