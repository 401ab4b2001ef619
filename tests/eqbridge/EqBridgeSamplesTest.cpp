// Real messages of both feeds and real JMA code-format telegrams mapped onto
// the served lines, read back through the receiver's telegram model and the
// area-forecast record.

#include "EqBridge.h"
#include "EqBridgeAreas.h"
#include "EqBridgeMapper.h"

#include "defines/EqTelegramLines.h"
#include "defines/VeskDefines.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cmath>

namespace {

const QString FeedsDir = QStringLiteral(ULX_REFERENCE_DIR "/feeds/");

QList<QJsonObject> ReadJsonLines(const QString& AName)
{
    QFile file(FeedsDir + AName);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(file.fileName());
    QList<QJsonObject> out;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.trimmed().isEmpty()) {
            out << QJsonDocument::fromJson(line).object();
        }
    }
    return out;
}

QByteArray Json(const QJsonObject& AObject)
{
    return QJsonDocument(AObject).toJson(QJsonDocument::Compact);
}

QString Tenths(double AValue, int ADigits)
{
    return QStringLiteral("%1").arg(std::lround(AValue * 10), ADigits, 10, QLatin1Char('0'));
}

QString TelegramTime(const QString& AFeedTime)
{
    // "2025/08/11 17:40:27" -> "250811174027"
    return QString(AFeedTime).remove(QRegularExpression(QStringLiteral("[/ :]"))).mid(2);
}

// The EBI entries of a code-format text, token by token.
QStringList EbiTokens(const QString& AText)
{
    QStringList tokens = AText.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    const qsizetype ebi = tokens.indexOf(QStringLiteral("EBI"));
    if (ebi < 0) {
        return {};
    }
    tokens = tokens.mid(ebi + 1);
    tokens.removeLast(); // 9999=
    return tokens;
}

// The area forecast of a served line against the EBI block it came from.
void ExpectForecastOfEbi(const TEqTelegram11& AForecast, const QStringList& AEbi)
{
    ASSERT_EQ(AForecast.GetNumOfEntries() * 4, AEbi.size());
    for (int i = 0; i < AForecast.GetNumOfEntries(); ++i) {
        SCOPED_TRACE(i);
        const TEqAreaForecast e = AForecast.GetEntry(i);
        EXPECT_EQ(e.AreaCode, AEbi[i * 4]);
        EXPECT_EQ(QStringLiteral("S") + e.Upper + e.Lower, AEbi[i * 4 + 1]);
        EXPECT_EQ(e.Arrival, AEbi[i * 4 + 2]);
        EXPECT_EQ(e.Flags, AEbi[i * 4 + 3]);
        EXPECT_EQ(AForecast.FindArea(e.AreaCode), e);
    }
}

// A relay message around a code-format telegram, with the fields the relay derives from it.
QJsonObject RelayAround(const QString& ATelegram)
{
    const QStringList t = ATelegram.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    const auto at = [&](const QString& APrefix) {
        for (const QString& token : t) {
            if (token.startsWith(APrefix)) {
                return token.mid(APrefix.size());
            }
        }
        return QString();
    };
    const auto feedTime = [](const QString& A) {
        return QStringLiteral("20%1/%2/%3 %4:%5:%6")
            .arg(A.mid(0, 2), A.mid(2, 2), A.mid(4, 2), A.mid(6, 2), A.mid(8, 2), A.mid(10, 2));
    };
    const QString ncn = at(QStringLiteral("NCN"));
    QJsonObject m{{"type", "jma_eew"},
                  {"Issue", QJsonObject{{"Source", QStringLiteral("東京")}, {"Status", QStringLiteral("通常")}}},
                  {"EventID", at(QStringLiteral("ND"))},
                  {"Serial", ncn.mid(1).toInt()},
                  {"AnnouncedTime", feedTime(t[3])},
                  {"OriginTime", feedTime(t[5])},
                  {"isTraining", false},
                  {"isCancel", t[0] == QLatin1String("39")},
                  {"isFinal", ncn.startsWith(QLatin1Char('9'))},
                  {"OriginalText", ATelegram}};
    const qsizetype lat = t.indexOf(QRegularExpression(QStringLiteral("^N\\d{3}$")));
    if (lat > 0) {
        m["Hypocenter"] = QStringLiteral("震央");
        m["Latitude"] = t[lat].mid(1).toInt() / 10.0;
        m["Longitude"] = t[lat + 1].mid(1).toInt() / 10.0;
        m["Depth"] = t[lat + 2].toInt();
        m["Magunitude"] = t[lat + 3].toInt() / 10.0;
    }
    return m;
}

} // namespace

// Every relay sample, in its WebSocket form and in its HTTP form (no "type"):
// each column of the served lines against the message, the area forecast
// against both the EBI block and the relay's own "WarnArea" reading of it.
TEST(EqBridgeSamples, RelayMessagesColumnByColumn)
{
    const QList<QJsonObject> messages = ReadJsonLines(QStringLiteral("wolfx_jma_eew.jsonl"));
    ASSERT_EQ(messages.size(), 3);
    for (const QJsonObject& m : messages) {
        const QString original = m.value("OriginalText").toString();
        SCOPED_TRACE(original.toStdString());
        QJsonObject http = m;
        http.remove("type");
        const TEqBridgeMapped mapped = MapEqBridgeMessage(Json(m));
        ASSERT_EQ(mapped.Outcome, eboForward) << qPrintable(mapped.Reason);
        const TEqBridgeMapped fromHttp = MapEqBridgeMessage(Json(http));
        EXPECT_EQ(fromHttp.Line01, mapped.Line01);
        EXPECT_EQ(fromHttp.Line11, mapped.Line11);
        EXPECT_EQ(fromHttp.Line10, mapped.Line10);

        const QStringList tokens = original.split(u' ');
        const TEqTelegram01 t(mapped.Line01);
        EXPECT_EQ(t.GetType(), tokens[0]);
        EXPECT_EQ(t.GetTrainType(), "00");
        EXPECT_EQ(t.GetPresentTime(), TelegramTime(m.value("AnnouncedTime").toString()));
        EXPECT_EQ(t.GetOccurrenceTime(), TelegramTime(m.value("OriginTime").toString()));
        EXPECT_EQ(t.GetEqId(), QStringLiteral("ND") + m.value("EventID").toString());
        EXPECT_EQ(t.GetTelegNo(), m.value("Serial").toInt());
        EXPECT_EQ(t.GetTelegram().mid(46, 1), m.value("isFinal").toBool() ? "9" : "0");
        EXPECT_EQ(t.GetEpicLatStr(), QStringLiteral("N") + Tenths(m.value("Latitude").toDouble(), 3));
        EXPECT_EQ(t.GetEpicLongStr(), QStringLiteral("E") + Tenths(m.value("Longitude").toDouble(), 4));
        EXPECT_EQ(t.GetEpicDepth(), m.value("Depth").toInt());
        EXPECT_EQ(t.GetMagnitudeStr(), Tenths(m.value("Magunitude").toDouble(), 2));
        const QString rk = tokens.filter(QRegularExpression(QStringLiteral("^RK"))).first().mid(2);
        EXPECT_EQ(t.GetTelegram().mid(63, 5), rk);

        const QJsonArray warnAreas = m.value("WarnArea").toArray();
        const QStringList ebi = EbiTokens(original);
        QStringList warned;
        for (qsizetype i = 0; i + 3 < ebi.size(); i += 4) {
            if (ebi[i + 3].startsWith(u'1')) {
                warned << ebi[i];
            }
        }
        EXPECT_EQ(t.GetAreaCodeList(), warned.join(QString()));
        EXPECT_EQ(mapped.IsWarning, m.value("isWarn").toBool());

        const TEqTelegram10 n(mapped.Line10);
        EXPECT_EQ(n.GetEqId(), t.GetEqId());
        EXPECT_EQ(n.GetTelegNo(), t.GetTelegNo());
        EXPECT_EQ(n.GetEpicCode(), tokens[tokens.indexOf(t.GetEpicLatStr()) - 1]);
        EXPECT_EQ(n.GetEpicName(), m.value("Hypocenter").toString());

        if (ebi.isEmpty()) {
            EXPECT_TRUE(mapped.Line11.isEmpty());
            EXPECT_TRUE(warnAreas.isEmpty());
            continue;
        }
        const TEqTelegram11 f(mapped.Line11);
        EXPECT_EQ(f.GetHeader(), "11");
        EXPECT_EQ(f.GetEqId(), t.GetEqId());
        EXPECT_EQ(f.GetTelegNo(), t.GetTelegNo());
        EXPECT_EQ(f.IsFinal(), m.value("isFinal").toBool());
        ExpectForecastOfEbi(f, ebi);
        ASSERT_EQ(f.GetNumOfEntries(), warnAreas.size());
        for (int i = 0; i < f.GetNumOfEntries(); ++i) {
            const TEqAreaForecast e = f.GetEntry(i);
            const QJsonObject a = warnAreas[i].toObject();
            EXPECT_EQ(EqBridgeAreaName(e.AreaCode), a.value("Chiiki").toString());
            EXPECT_EQ(JmaAreaIntensityText(e.Upper), a.value("Shindo1").toString());
            EXPECT_EQ(JmaAreaIntensityText(e.Lower), a.value("Shindo2").toString());
            EXPECT_EQ(e.Arrival, a.value("Time").toString());
            EXPECT_EQ(e.IsWarning(), a.value("Type").toString() == QStringLiteral("警報"));
            EXPECT_EQ(e.HasArrived(), a.value("Arrive").toString() == QStringLiteral("既に到達と予測"));
        }
        // The relay's reading of the block gives the same line where the code-format text is missing.
        QJsonObject withoutText = m;
        withoutText.remove("OriginalText");
        const TEqBridgeMapped fromNames = MapEqBridgeMessage(Json(withoutText));
        ASSERT_EQ(fromNames.Outcome, eboForward) << qPrintable(fromNames.Reason);
        EXPECT_EQ(fromNames.Line11, mapped.Line11);
        EXPECT_EQ(TEqTelegram01(fromNames.Line01).GetAreaCodeList(), t.GetAreaCodeList());
    }
}

TEST(EqBridgeSamples, RelayControlFramesAreIgnored)
{
    for (const QJsonObject& m : ReadJsonLines(QStringLiteral("wolfx_control.jsonl"))) {
        const TEqBridgeMapped mapped = MapEqBridgeMessage(Json(m));
        EXPECT_EQ(mapped.Outcome, eboIgnore);
        EXPECT_EQ(mapped.IgnoredKind, m.value("type").toString());
    }
}

// Every real code-format telegram as the relay would carry it: cancels become
// cancels, every EBI entry (PLUM ones included) reaches the area forecast,
// assumed-source placeholders stay as JMA sent them.
TEST(EqBridgeSamples, CodeFormatTelegrams)
{
    QFile file(FeedsDir + QStringLiteral("jma_code_telegrams.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    struct TBlock
    {
        QString Head;
        QString Text;
    };
    QList<TBlock> blocks;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (line.startsWith(QLatin1String("#### "))) {
            blocks.append({line, QString()});
        } else if (!line.startsWith(u'#') && !line.trimmed().isEmpty() && !blocks.isEmpty()) {
            blocks.last().Text += line.trimmed() + u' ';
        }
    }
    ASSERT_EQ(blocks.size(), 10);
    int cancels = 0;
    int plumEntries = 0;
    for (const TBlock& b : blocks) {
        SCOPED_TRACE(b.Head.toStdString());
        const QString text = b.Text.simplified();
        const QJsonObject m = RelayAround(text);
        const TEqBridgeMapped mapped = MapEqBridgeMessage(Json(m));
        const QRegularExpressionMatch ebiCount = QRegularExpression(QStringLiteral("EBI=(\\d+)")).match(b.Head);
        ASSERT_TRUE(ebiCount.hasMatch());
        if (text.startsWith(QLatin1String("39 "))) {
            ++cancels;
            EXPECT_EQ(mapped.Outcome, eboCancel) << qPrintable(mapped.Reason);
            EXPECT_EQ(mapped.EventId, m.value("EventID").toString());
            EXPECT_EQ(mapped.Serial, m.value("Serial").toInt());
            continue;
        }
        ASSERT_EQ(mapped.Outcome, eboForward) << qPrintable(mapped.Reason);
        const TEqTelegram01 t(mapped.Line01);
        EXPECT_EQ(t.GetType(), text.left(2));
        const QStringList tokens = text.split(u' ');
        const qsizetype lat = tokens.indexOf(t.GetEpicLatStr());
        ASSERT_GT(lat, 0);
        EXPECT_EQ(t.GetEpicLongStr(), tokens[lat + 1]);
        EXPECT_EQ(t.GetEpicDepthStr(), tokens[lat + 2]);
        EXPECT_EQ(t.GetMagnitudeStr(), tokens[lat + 3]);
        EXPECT_EQ(TEqTelegram10(mapped.Line10).GetEpicCode(), tokens[lat - 1]);
        const QStringList ebi = EbiTokens(text);
        EXPECT_EQ(ebi.size(), ebiCount.captured(1).toInt() * 4);
        if (ebi.isEmpty()) {
            EXPECT_TRUE(mapped.Line11.isEmpty());
            continue;
        }
        const TEqTelegram11 f(mapped.Line11);
        EXPECT_EQ(f.IsFinal(), m.value("isFinal").toBool());
        ExpectForecastOfEbi(f, ebi);
        for (int i = 0; i < f.GetNumOfEntries(); ++i) {
            plumEntries += f.GetEntry(i).IsPlum() ? 1 : 0;
        }
    }
    EXPECT_EQ(cancels, 2);
    EXPECT_EQ(plumEntries, 11 + 5); // the Noto final and the Kanagawa warning
}

// The type-36 report and an assumed source keep JMA's magnitude and depth as sent.
TEST(EqBridgeSamples, AssumedSourceKeepsJmasPlaceholders)
{
    const QString text = QStringLiteral(
        "37 03 00 240809195747 C11 240809195738 ND20240809195740 NCN003 JD////////////// JN/// 361 N354 E1392 010 10 "
        "04 RK11/8/ RT01/// RC0//// EBI 361 S0404 ////// 19 9999=");
    QJsonObject m = RelayAround(text);
    m["isAssumption"] = true;
    const TEqBridgeMapped mapped = MapEqBridgeMessage(Json(m));
    ASSERT_EQ(mapped.Outcome, eboForward) << qPrintable(mapped.Reason);
    const TEqTelegram01 t(mapped.Line01);
    EXPECT_DOUBLE_EQ(t.GetMagnitude(), 1.0);
    EXPECT_EQ(t.GetEpicDepth(), 10);
    EXPECT_EQ(t.GetAreaCodeList(), "361");
    const std::optional<TEqAreaForecast> area = TEqTelegram11(mapped.Line11).FindArea(u"361");
    ASSERT_TRUE(area);
    EXPECT_TRUE(area->IsPlum());
    EXPECT_EQ(area->Lower, "04");
}

// The P2P records give the lines the relay's message of the same report gives
// (the relay's form without its code-format text, built from the same values):
// every column but the two P2P does not carry (type code and accuracy).
TEST(EqBridgeSamples, P2PRecordsGiveTheRelaysLines)
{
    const QList<QJsonObject> records = ReadJsonLines(QStringLiteral("p2p_556.jsonl"));
    ASSERT_EQ(records.size(), 3);
    const QStringList classes = {"0", "1", "2", "3", "4", "5弱", "5強", "6弱", "6強", "7"};
    const QList<int> scales = {0, 10, 20, 30, 40, 45, 50, 55, 60, 70};
    const auto shindo = [&](const QJsonValue& AScale) {
        const int i = scales.indexOf(int(std::lround(AScale.toDouble())));
        return i < 0 ? QStringLiteral("不明") : classes[i];
    };
    for (const QJsonObject& p : records) {
        SCOPED_TRACE(p.value("id").toString().toStdString());
        const QJsonObject quake = p.value("earthquake").toObject();
        const QJsonObject hypo = quake.value("hypocenter").toObject();
        const QJsonObject issue = p.value("issue").toObject();
        QJsonArray warnAreas;
        for (const QJsonValue v : p.value("areas").toArray()) {
            const QJsonObject a = v.toObject();
            const QString kind = a.value("kindCode").toString();
            warnAreas.append(QJsonObject{
                {"Chiiki", a.value("name")},
                {"Shindo1", shindo(a.value("scaleTo"))},
                {"Shindo2", shindo(a.value("scaleFrom"))},
                {"Time", a.value("arrivalTime").isNull() ? QStringLiteral("//////")
                                                         : a.value("arrivalTime").toString().right(8).remove(u':')},
                {"Type", kind.startsWith(u'1') ? QStringLiteral("警報") : QStringLiteral("予報")},
                {"Arrive", kind.endsWith(u'9')   ? QStringLiteral("PLUM法による予測")
                           : kind.endsWith(u'1') ? QStringLiteral("既に到達と予測")
                                                 : QStringLiteral("未到達")}});
        }
        const QJsonObject relay{{"type", "jma_eew"},
                                {"Issue", QJsonObject{{"Status", QStringLiteral("通常")}}},
                                {"EventID", issue.value("eventId")},
                                {"Serial", issue.value("serial").toString().toInt()},
                                {"AnnouncedTime", issue.value("time")},
                                {"OriginTime", quake.value("originTime")},
                                {"Hypocenter", hypo.value("name")},
                                {"Latitude", hypo.value("latitude")},
                                {"Longitude", hypo.value("longitude")},
                                {"Depth", hypo.value("depth")},
                                {"Magunitude", hypo.value("magnitude")},
                                {"Accuracy", QJsonObject{{"Epicenter", QStringLiteral("IPF 法（2 点）")},
                                                         {"Depth", QStringLiteral("IPF 法（2 点）")},
                                                         {"Magnitude", QStringLiteral("防災科研システム")}}},
                                {"WarnArea", warnAreas},
                                {"isTraining", false},
                                {"isWarn", true},
                                {"isFinal", false},
                                {"isCancel", false}};
        const TEqBridgeMapped fromP2P = MapEqBridgeMessage(Json(p));
        const TEqBridgeMapped fromRelay = MapEqBridgeMessage(Json(relay));
        ASSERT_EQ(fromP2P.Outcome, eboForward) << qPrintable(fromP2P.Reason);
        ASSERT_EQ(fromRelay.Outcome, eboForward) << qPrintable(fromRelay.Reason);
        EXPECT_EQ(fromP2P.Format, ebfP2P);
        const TEqTelegram01 a(fromP2P.Line01);
        const TEqTelegram01 b(fromRelay.Line01);
        EXPECT_EQ(a.GetType(), "00");
        EXPECT_EQ(a.GetTelegram().mid(63, 5), "222//");
        EXPECT_EQ(a.GetTelegram().left(2) + a.GetTelegram().mid(4, 59) + a.GetAreaCodeList(),
                  b.GetTelegram().left(2) + b.GetTelegram().mid(4, 59) + b.GetAreaCodeList());
        EXPECT_GT(a.GetNumOfAreaCode(), 0);
        EXPECT_EQ(fromP2P.Line11, fromRelay.Line11);
        EXPECT_EQ(TEqTelegram11(fromP2P.Line11).GetNumOfEntries(), p.value("areas").toArray().size());
        EXPECT_EQ(fromP2P.Line10, fromRelay.Line10);
        // Merged by event and serial: whichever comes second is a duplicate.
        int served = 0;
        TEqBridge bridge([](const QString&) {}, [&](const QByteArray&) { ++served; });
        bridge.HandleMessage(Json(relay));
        bridge.HandleMessage(Json(p));
        EXPECT_EQ(served, 1);
        EXPECT_EQ(bridge.Duplicates(), 1);
    }
}

// P2P's own spellings: 99 for "or more", numeric strings, cancels, tests, unknown names.
TEST(EqBridgeSamples, P2PVariants)
{
    const QJsonObject noto = ReadJsonLines(QStringLiteral("p2p_556.jsonl")).at(1);
    const auto changed = [&](const std::function<void(QJsonObject&)>& AChange) {
        QJsonObject m = noto;
        AChange(m);
        return MapEqBridgeMessage(Json(m));
    };
    const auto firstArea = [](QJsonObject& m, const char* AKey, const QJsonValue& AValue) {
        QJsonArray areas = m["areas"].toArray();
        QJsonObject a = areas[0].toObject();
        a[AKey] = AValue;
        areas[0] = a;
        m["areas"] = areas;
    };
    TEqBridgeMapped r = changed([&](QJsonObject& m) { firstArea(m, "scaleTo", 99); });
    ASSERT_EQ(r.Outcome, eboForward) << qPrintable(r.Reason);
    EXPECT_EQ(TEqTelegram11(r.Line11).GetEntry(0).Upper, "//");
    EXPECT_EQ(TEqTelegram11(r.Line11).GetEntry(0).Lower, "6-");

    r = changed([](QJsonObject& m) { m["cancelled"] = true; });
    EXPECT_EQ(r.Outcome, eboCancel);
    EXPECT_EQ(r.Serial, 2);

    r = changed([](QJsonObject& m) {
        QJsonObject q = m["earthquake"].toObject();
        q["condition"] = QStringLiteral("仮定震源要素");
        m["earthquake"] = q;
    });
    ASSERT_EQ(r.Outcome, eboForward);
    EXPECT_TRUE(r.IsAssumed);
    EXPECT_EQ(r.Line01.mid(63, 5), "118//");

    struct TCase
    {
        const char* Name;
        std::function<void(QJsonObject&)> Change;
        const char* Reason;
    };
    const std::vector<TCase> drops = {
        {"test", [](QJsonObject& m) { m["test"] = true; }, "test message"},
        {"unknown area name", [&](QJsonObject& m) { firstArea(m, "name", QStringLiteral("能登")); }, "unknown area"},
        {"unknown scale", [&](QJsonObject& m) { firstArea(m, "scaleFrom", 42); }, "unknown scale"},
        {"kind code of one digit", [&](QJsonObject& m) { firstArea(m, "kindCode", "1"); }, "kindCode"},
        {"serial text",
         [](QJsonObject& m) {
             m["issue"] = QJsonObject{{"eventId", "20240101161010"}, {"serial", "x"}};
         },
         "Serial"},
        {"unknown position",
         [](QJsonObject& m) {
             QJsonObject q = m["earthquake"].toObject();
             QJsonObject h = q["hypocenter"].toObject();
             h["latitude"] = -200;
             q["hypocenter"] = h;
             m["earthquake"] = q;
         },
         "unknown position"},
    };
    for (const TCase& c : drops) {
        SCOPED_TRACE(c.Name);
        r = changed(c.Change);
        EXPECT_EQ(r.Outcome, eboDrop);
        EXPECT_TRUE(r.Reason.contains(QLatin1String(c.Reason))) << qPrintable(r.Reason);
    }
}
