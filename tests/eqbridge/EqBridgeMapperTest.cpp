// Feed messages mapped onto telegram lines, read back through the receiver's
// own telegram records.

#include "EqBridgeMapper.h"
#include "EqBridge.h"

#include "defines/VeskDefines.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

namespace {

const QString NotoOriginal = QStringLiteral(
    "37 03 00 240101161024 C11 240101161009 ND20240101161010 NCN005 JD////////////// JN/// 390 N375 E1372 010 74 07 "
    "RK66554 RT10/// RC0//// EBI 390 S07// ////// 11 391 S6+6- ////// 11 9999=");

// The fifth report on the 2024 Noto earthquake, a forecast naming areas 390 and 391.
QJsonObject NotoForecast()
{
    return QJsonObject{
        {"type", "jma_eew"},
        {"Title", QStringLiteral("緊急地震速報（予報）")},
        {"Issue", QJsonObject{{"Source", QStringLiteral("大阪")}, {"Status", QStringLiteral("通常")}}},
        {"EventID", "20240101161010"},
        {"Serial", 5},
        {"AnnouncedTime", "2024/01/01 16:10:24"},
        {"OriginTime", "2024/01/01 16:10:09"},
        {"Hypocenter", QStringLiteral("石川県能登地方")},
        {"Latitude", 37.5},
        {"Longitude", 137.2},
        {"Magunitude", 7.4},
        {"Depth", 10},
        {"Accuracy", QJsonObject{{"Epicenter", QStringLiteral("IPF 法（5 点以上）")},
                                 {"Depth", QStringLiteral("IPF 法（5 点以上）")},
                                 {"Magnitude", QStringLiteral("防災科研システム")}}},
        {"WarnArea", QJsonArray{}},
        {"isSea", false},
        {"isTraining", false},
        {"isAssumption", false},
        {"isWarn", false},
        {"isFinal", false},
        {"isCancel", false},
        {"OriginalText", NotoOriginal},
    };
}

QByteArray Json(const QJsonObject& AObject)
{
    return QJsonDocument(AObject).toJson(QJsonDocument::Compact);
}

QByteArray Noto(const std::function<void(QJsonObject&)>& AChange)
{
    QJsonObject m = NotoForecast();
    AChange(m);
    return Json(m);
}

const QString NotoLine = QStringLiteral("013700240101161024240101161009ND20240101161010005N375E13720107466554390391");

} // namespace

// Every column of the forecast as the receiver's telegram model reads it.
TEST(EqBridgeMapper, NotoForecastGivesTheExactType01Line)
{
    const TEqBridgeMapped mapped = MapEqBridgeMessage(Json(NotoForecast()));
    ASSERT_EQ(mapped.Outcome, eboForward) << qPrintable(mapped.Reason);
    EXPECT_EQ(mapped.Line01, NotoLine);

    const TEqTelegram01 t(mapped.Line01);
    EXPECT_EQ(t.GetHeader(), "01");
    EXPECT_EQ(t.GetType(), "37");
    EXPECT_EQ(t.GetTrainType(), "00");
    EXPECT_EQ(t.GetPresentTime(), "240101161024");
    EXPECT_EQ(t.GetOccurrenceTime(), "240101161009");
    EXPECT_EQ(t.GetEqId(), "ND20240101161010");
    EXPECT_EQ(t.GetTelegNo(), 5);
    EXPECT_TRUE(t.GetEpicLatNorth());
    EXPECT_DOUBLE_EQ(t.GetEpicLat(), 37.5);
    EXPECT_TRUE(t.GetEpicLongEast());
    EXPECT_DOUBLE_EQ(t.GetEpicLong(), 137.2);
    EXPECT_EQ(t.GetEpicDepth(), 10);
    EXPECT_DOUBLE_EQ(t.GetMagnitude(), 7.4);
    EXPECT_EQ(t.GetRk1(), 6);
    EXPECT_EQ(t.GetRk2(), 6);
    EXPECT_EQ(t.GetRk3(), 5);
    EXPECT_EQ(t.GetRk4(), 5);
    EXPECT_EQ(t.GetRk5(), 4);
    EXPECT_EQ(t.GetNumOfAreaCode(), 2);
    EXPECT_EQ(t.GetAreaCode(0), "390");
    EXPECT_EQ(t.GetAreaCode(1), "391");
    EXPECT_TRUE(t.IsTargetAreaOfWarning(QStringLiteral("391")));
    EXPECT_FALSE(t.IsTargetAreaOfWarning(QStringLiteral("380")));

    const TEqTelegram10 n(mapped.Line10);
    EXPECT_EQ(n.GetHeader(), "10");
    EXPECT_EQ(n.GetEqId(), "ND20240101161010");
    EXPECT_EQ(n.GetTelegNo(), 5);
    EXPECT_EQ(n.GetEpicCode(), "390");
    EXPECT_EQ(n.GetEpicName(), QStringLiteral("石川県能登地方"));
}

// Messages that are served: the line each must give.
TEST(EqBridgeMapper, ServedMessagesTable)
{
    struct TCase
    {
        const char* Name;
        QByteArray Json;
        QString Line01;
        QString Line10;
        qint64 ShiftSecs = 0;
        std::optional<QString> Line11 = std::nullopt; // checked when given
    };
    const QString original = NotoOriginal;
    const std::vector<TCase> cases = {
        {"warning: only areas flagged as under a warning", Noto([&](QJsonObject& m) {
             m["isWarn"] = true;
             m["OriginalText"] =
                 QString(original).replace(QStringLiteral("S6+6- ////// 11"), QStringLiteral("S6+6- ////// 00"));
         }),
         QStringLiteral("013700240101161024240101161009ND20240101161010005N375E13720107466554390"),
         QStringLiteral("10ND20240101161010005390石川県能登地方")},
        {"drill by its flag", Noto([](QJsonObject& m) { m["isTraining"] = true; }),
         QStringLiteral("013701240101161024240101161009ND20240101161010005N375E13720107466554390391"),
         QStringLiteral("10ND20240101161010005390石川県能登地方")},
        {"drill by its status", Noto([](QJsonObject& m) {
             m["Issue"] = QJsonObject{{"Status", QStringLiteral("訓練")}};
         }),
         QStringLiteral("013701240101161024240101161009ND20240101161010005N375E13720107466554390391"),
         QStringLiteral("10ND20240101161010005390石川県能登地方")},
        {"assumed source with magnitude and depth as given", Noto([](QJsonObject& m) {
             m["isAssumption"] = true;
             m["Serial"] = 2;
             m["Latitude"] = 37.2;
             m["Longitude"] = 136.9;
             m["Magunitude"] = 1.0;
             m["Depth"] = 10;
             m["Hypocenter"] = QStringLiteral("能登半島沖");
             m["OriginalText"] = QStringLiteral("37 03 00 240101161024 C11 240101161009 ND20240101161010 NCN002 "
                                                "JD////////////// JN/// 485 N372 E1369 010 10 05 RK11/8/ RT01/// "
                                                "RC0//// EBI 390 S5+5- ////// 10 9999=");
         }),
         QStringLiteral("013700240101161024240101161009ND20240101161010002N372E13690101011/8/390"),
         QStringLiteral("10ND20240101161010002485能登半島沖")},
        {"final report", Noto([](QJsonObject& m) { m["isFinal"] = true; }),
         QStringLiteral("013700240101161024240101161009ND20240101161010905N375E13720107466554390391"),
         QStringLiteral("10ND20240101161010905390石川県能登地方")},
        {"no code-format text: accuracy from the texts, areas by name", Noto([](QJsonObject& m) {
             m.remove("OriginalText");
             m.remove("type"); // and the HTTP form
             m["WarnArea"] = QJsonArray{QJsonObject{{"Chiiki", QStringLiteral("石川県能登")},
                                                    {"Shindo1", QStringLiteral("6強")},
                                                    {"Shindo2", QStringLiteral("5弱")},
                                                    {"Time", "//////"},
                                                    {"Type", QStringLiteral("警報")},
                                                    {"Arrive", QStringLiteral("既に到達と予測")}},
                                        QJsonObject{{"Chiiki", QStringLiteral("石川県加賀")},
                                                    {"Shindo1", QStringLiteral("不明")},
                                                    {"Shindo2", QStringLiteral("4")},
                                                    {"Time", "161031"},
                                                    {"Type", QStringLiteral("予報")},
                                                    {"Arrive", QStringLiteral("未到達")}}};
         }),
         QStringLiteral("010000240101161024240101161009ND20240101161010005N375E137201074442//390"),
         QStringLiteral("10ND20240101161010005///石川県能登地方"), 0,
         QStringLiteral("11ND202401011610100053906+5-//////11391//0416103100")},
        {"times moved across midnight", Json(NotoForecast()),
         QStringLiteral("013700240102001024240102001009ND20240101161010005N375E13720107466554390391"),
         QStringLiteral("10ND20240101161010005390石川県能登地方"), 8 * 3600},
        {"a line feed in the name does not split the line",
         Noto([](QJsonObject& m) { m["Hypocenter"] = QStringLiteral("石川県\n能登地方"); }), NotoLine,
         QStringLiteral("10ND20240101161010005390石川県 能登地方")},
        {"no epicentre name: no type-10 line", Noto([](QJsonObject& m) { m["Hypocenter"] = QStringLiteral(" "); }),
         NotoLine, QString()},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TEqBridgeMapped mapped = MapEqBridgeMessage(c.Json, c.ShiftSecs);
        ASSERT_EQ(mapped.Outcome, eboForward) << qPrintable(mapped.Reason);
        EXPECT_EQ(mapped.Line01, c.Line01);
        EXPECT_EQ(mapped.Line10, c.Line10);
        if (c.Line11) {
            EXPECT_EQ(mapped.Line11, *c.Line11);
        }
        EXPECT_EQ(TEqTelegram01(mapped.Line01).GetNumOfAreaCode() * 3 + 68, mapped.Line01.size());
    }
}

// Messages that are not served, each with the reason it must give.
TEST(EqBridgeMapper, MessagesNotServedTable)
{
    struct TCase
    {
        const char* Name;
        QByteArray Json;
        TEqBridgeOutcome Outcome;
        const char* Reason; // a part of the reason
    };
    const QString original = NotoOriginal;
    const std::vector<TCase> cases = {
        {"cancel", Noto([](QJsonObject& m) { m["isCancel"] = true; }), eboCancel, "cancel"},
        {"heartbeat", R"({"type":"heartbeat","ver":"1","timestamp":1704093025000})", eboIgnore, "heartbeat"},
        {"not JSON", "{\"type\":\"jma_eew\",", eboDrop, "not JSON"},
        {"not an object", "[1,2]", eboDrop, "not a JSON object"},
        {"other channel of the relay", R"({"type":"cenc_eqlist"})", eboIgnore, "type 'cenc_eqlist'"},
        {"other P2P code", R"({"code":551,"issue":{}})", eboIgnore, "code 551"},
        {"neither form", R"({"EventId":"20240101161010"})", eboDrop, "neither"},
        {"southern position", Noto([](QJsonObject& m) { m["Latitude"] = -37.5; }), eboDrop, "south or west"},
        {"western position", Noto([](QJsonObject& m) { m["Longitude"] = -137.2; }), eboDrop, "south or west"},
        {"impossible position", Noto([](QJsonObject& m) { m["Latitude"] = 137.5; }), eboDrop, "impossible"},
        {"area intensity that JMA never writes", Noto([&](QJsonObject& m) {
             m["OriginalText"] = QString(original).replace(QStringLiteral("S6+6-"), QStringLiteral("S0606"));
         }),
         eboDrop, "malformed area entry"},
        {"area flags that are not two digits", Noto([&](QJsonObject& m) {
             m["OriginalText"] =
                 QString(original).replace(QStringLiteral("S6+6- ////// 11"), QStringLiteral("S6+6- ////// 1"));
         }),
         eboDrop, "malformed area entry"},
        {"arrival time that is not hhmmss", Noto([&](QJsonObject& m) {
             m["OriginalText"] =
                 QString(original).replace(QStringLiteral("S6+6- //////"), QStringLiteral("S6+6- 16:10:"));
         }),
         eboDrop, "malformed area entry"},
        {"code-format test status", Noto([&](QJsonObject& m) {
             m["OriginalText"] = QString(original).replace(QStringLiteral("37 03 00"), QStringLiteral("37 03 30"));
         }),
         eboDrop, "test message"},
        {"warning area of an unknown name", Noto([](QJsonObject& m) {
             m.remove("OriginalText");
             m["WarnArea"] = QJsonArray{QJsonObject{{"Chiiki", QStringLiteral("能登")},
                                                    {"Shindo1", "4"},
                                                    {"Shindo2", "4"},
                                                    {"Time", "//////"},
                                                    {"Type", QStringLiteral("警報")},
                                                    {"Arrive", QStringLiteral("未到達")}}};
         }),
         eboDrop, "unknown area"},
        {"warning area of an unknown intensity", Noto([](QJsonObject& m) {
             m.remove("OriginalText");
             m["WarnArea"] = QJsonArray{QJsonObject{{"Chiiki", QStringLiteral("石川県能登")},
                                                    {"Shindo1", QStringLiteral("5")},
                                                    {"Shindo2", "4"},
                                                    {"Time", "//////"},
                                                    {"Type", QStringLiteral("警報")},
                                                    {"Arrive", QStringLiteral("未到達")}}};
         }),
         eboDrop, "unknown intensity"},
        {"event id of 13 digits", Noto([](QJsonObject& m) { m["EventID"] = "2024010116101"; }), eboDrop,
         "not 14 digits"},
        {"serial 0", Noto([](QJsonObject& m) { m["Serial"] = 0; }), eboDrop, "Serial"},
        {"serial 100", Noto([](QJsonObject& m) { m["Serial"] = 100; }), eboDrop, "Serial"},
        {"serial 2.5", Noto([](QJsonObject& m) { m["Serial"] = 2.5; }), eboDrop, "Serial"},
        {"no cancel flag", Noto([](QJsonObject& m) { m.remove("isCancel"); }), eboDrop, "isCancel"},
        {"no drill flag", Noto([](QJsonObject& m) { m.remove("isTraining"); }), eboDrop, "isTraining"},
        {"test message", Noto([](QJsonObject& m) {
             m["Issue"] = QJsonObject{{"Status", QStringLiteral("試験")}};
         }),
         eboDrop, "test message"},
        {"time without seconds", Noto([](QJsonObject& m) { m["OriginTime"] = "2024/01/01 16:10"; }), eboDrop,
         "OriginTime"},
        {"no latitude", Noto([](QJsonObject& m) { m.remove("Latitude"); }), eboDrop, "Latitude"},
        {"magnitude null", Noto([](QJsonObject& m) { m["Magunitude"] = QJsonValue::Null; }), eboDrop, "Magunitude"},
        {"magnitude 10", Noto([](QJsonObject& m) { m["Magunitude"] = 10.0; }), eboDrop, "0.0 to 9.9"},
        {"depth 1000", Noto([](QJsonObject& m) { m["Depth"] = 1000; }), eboDrop, "0 to 999"},
        {"code-format text of another event", Noto([&](QJsonObject& m) {
             m["OriginalText"] =
                 QString(original).replace(QStringLiteral("ND20240101161010"), QStringLiteral("ND20240101161011"));
         }),
         eboDrop, "of event 20240101161011"},
        {"code-format text without accuracy",
         Noto([&](QJsonObject& m) { m["OriginalText"] = QString(original).remove(QStringLiteral("RK66554 ")); }),
         eboDrop, "no accuracy block"},
        {"code-format area entry cut short", Noto([](QJsonObject& m) {
             m["OriginalText"] = QStringLiteral("37 03 00 ND20240101161010 390 N375 E1372 RK66554 EBI 390 S07//");
         }),
         eboDrop, "malformed area entry"},
        {"unknown accuracy text", Noto([](QJsonObject& m) {
             m.remove("OriginalText");
             m["Accuracy"] = QJsonObject{{"Epicenter", "?"}, {"Depth", "?"}, {"Magnitude", "?"}};
         }),
         eboDrop, "unknown accuracy text"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TEqBridgeMapped mapped = MapEqBridgeMessage(c.Json);
        EXPECT_EQ(mapped.Outcome, c.Outcome) << qPrintable(mapped.Reason);
        EXPECT_TRUE(mapped.Reason.contains(QLatin1String(c.Reason))) << qPrintable(mapped.Reason);
        EXPECT_TRUE(mapped.Line01.isEmpty());
        EXPECT_TRUE(mapped.Line10.isEmpty());
    }
}

// One block per report ("11", "01", "10"), each report once; drops are logged, never served.
TEST(EqBridge, ServesEachReportOnceAndLogsWhatItDoesNotServe)
{
    QStringList log;
    QList<QByteArray> served;
    TEqBridge bridge([&](const QString& ALine) { log << ALine; }, [&](const QByteArray& A) { served << A; });

    bridge.HandleMessage(Json(NotoForecast()));
    bridge.HandleMessage(Json(NotoForecast()));
    bridge.HandleMessage(Noto([](QJsonObject& m) { m["Serial"] = 4; })); // older than the one served
    bridge.HandleMessage(Noto([](QJsonObject& m) {
        m["EventID"] = "20240101161500";
        m["OriginalText"] =
            QString(NotoOriginal).replace(QStringLiteral("ND20240101161010"), QStringLiteral("ND20240101161500"));
    }));
    bridge.HandleMessage("not json");
    bridge.HandleMessage(R"({"type":"heartbeat","ver":22})");
    bridge.HandleMessage(R"({"type":"pong","timestamp":1786879289054})");

    ASSERT_EQ(served.size(), 2);
    EXPECT_EQ(served[0], (QStringLiteral("11ND2024010116101000539007////////113916+6-//////11\n") + NotoLine +
                          QStringLiteral("\n10ND20240101161010005390石川県能登地方\n"))
                             .toUtf8());
    EXPECT_TRUE(served[1].startsWith("11ND20240101161500005")) << served[1].constData();
    EXPECT_EQ(bridge.Forwarded(), 2);
    EXPECT_EQ(bridge.Dropped(), 1);
    EXPECT_EQ(bridge.Duplicates(), 2);
    EXPECT_EQ(bridge.Ignored(), 2);
    EXPECT_EQ(log.filter(QStringLiteral("duplicate ND20240101161010 #5")).size(), 1) << qPrintable(log.join('\n'));
    EXPECT_EQ(log.filter(QStringLiteral("ND20240101161010 #4 not forwarded: older than #5")).size(), 1);
    EXPECT_EQ(log.filter(QStringLiteral("dropped: not JSON")).size(), 1);
    // Heartbeats and pongs are counted, never logged.
    EXPECT_TRUE(log.filter(QStringLiteral("heartbeat")).isEmpty());
    EXPECT_TRUE(log.filter(QStringLiteral("pong")).isEmpty());
}

// A cancel is the event's last served type-01 line with type "39" and the cancel's serial;
// it ends the event, so later reports of it are not served.
TEST(EqBridge, CancelIsServedAsTheLastReportWithType39)
{
    QStringList log;
    QList<QByteArray> served;
    TEqBridge bridge([&](const QString& ALine) { log << ALine; }, [&](const QByteArray& A) { served << A; });

    const QByteArray cancel = Noto([](QJsonObject& m) {
        m = QJsonObject{{"type", "jma_eew"},
                        {"Issue", QJsonObject{{"Source", QStringLiteral("大阪")}, {"Status", QStringLiteral("通常")}}},
                        {"EventID", "20240101161010"},
                        {"Serial", 6},
                        {"AnnouncedTime", "2024/01/01 16:10:40"},
                        {"isCancel", true},
                        {"OriginalText", QStringLiteral("39 03 10 240101161040 C11 240101161009 ND20240101161010 "
                                                        "NCN006 JD////////////// JN/// /// //// ///// /// // // "
                                                        "RK///// RT///// RC///// 9999=")}};
    });
    // Before any report of the event it cannot be composed: logged, not served.
    bridge.HandleMessage(cancel);
    EXPECT_TRUE(served.isEmpty());
    EXPECT_EQ(log.filter(QStringLiteral("cancel ND20240101161010 #6 not forwarded: no report")).size(), 1);

    bridge.HandleMessage(Json(NotoForecast()));
    bridge.HandleMessage(cancel);
    bridge.HandleMessage(cancel);                                        // the other feed's copy
    bridge.HandleMessage(Noto([](QJsonObject& m) { m["Serial"] = 7; })); // after the cancel
    ASSERT_EQ(served.size(), 2);
    const QString line = QString::fromUtf8(served[1]).chopped(1);
    QString expected = NotoLine;
    expected.replace(2, 2, QStringLiteral("39")).replace(47, 2, QStringLiteral("06"));
    EXPECT_EQ(line, expected);
    const TEqTelegram01 t(line);
    EXPECT_EQ(t.GetType(), "39");
    EXPECT_EQ(t.GetEqId(), "ND20240101161010");
    EXPECT_EQ(t.GetTelegNo(), 6);
    EXPECT_EQ(bridge.Cancels(), 1);
    EXPECT_EQ(log.filter(QStringLiteral("forward cancel ND20240101161010 #6")).size(), 1);
    EXPECT_EQ(log.filter(QStringLiteral("#7 not forwarded: the event was cancelled")).size(), 1);
    EXPECT_TRUE(bridge.CatchUp().isEmpty());
}

// Catch-up: the latest block of each event whose last report is under three minutes
// old, not cancelled, and not final for more than a minute.
TEST(EqBridge, CatchUpGivesTheLatestReportOfActiveEvents)
{
    qint64 now = 0;
    QList<QByteArray> served;
    TEqBridge bridge([](const QString&) {}, [&](const QByteArray& A) { served << A; }, [&] { return now; });
    EXPECT_TRUE(bridge.CatchUp().isEmpty());

    bridge.HandleMessage(Noto([](QJsonObject& m) { m["Serial"] = 4; }));
    bridge.HandleMessage(Json(NotoForecast()));
    ASSERT_EQ(served.size(), 2);
    EXPECT_EQ(bridge.CatchUp(), served[1]);

    now += 30'000;
    const auto other = [](QJsonObject& m) {
        m["EventID"] = "20240101161500";
        m["isFinal"] = true;
        m["OriginalText"] =
            QString(NotoOriginal).replace(QStringLiteral("ND20240101161010"), QStringLiteral("ND20240101161500"));
    };
    bridge.HandleMessage(Noto(other));
    ASSERT_EQ(served.size(), 3);
    EXPECT_EQ(bridge.CatchUp(), served[1] + served[2]) << "oldest event first";

    now += TEqBridge::FinalActiveMs + 1;
    EXPECT_EQ(bridge.CatchUp(), served[1]) << "final a minute ago";
    now = TEqBridge::ActiveMs - 1;
    EXPECT_EQ(bridge.CatchUp(), served[1]);
    now = TEqBridge::ActiveMs;
    EXPECT_TRUE(bridge.CatchUp().isEmpty()) << "three minutes without a report";
}
