#include "app/console/VeskHeadlessPrinter.h"

#include "defines/EqHistory.h"
#include "logging/VeskLogging.h"

#include <cmath>

TVeskJsonLine& TVeskJsonLine::Add(const char* Key, const QString& Value)
{
    FItems.emplace_back(QString::fromUtf8(Key), Quote(Value));
    return *this;
}

TVeskJsonLine& TVeskJsonLine::Add(const char* Key, qint64 Value)
{
    FItems.emplace_back(QString::fromUtf8(Key), QString::number(Value));
    return *this;
}

TVeskJsonLine& TVeskJsonLine::Add(const char* Key, double Value)
{
    FItems.emplace_back(QString::fromUtf8(Key), Number(Value));
    return *this;
}

TVeskJsonLine& TVeskJsonLine::Add(const char* Key, bool Value)
{
    FItems.emplace_back(QString::fromUtf8(Key), Value ? QStringLiteral("true") : QStringLiteral("false"));
    return *this;
}

TVeskJsonLine& TVeskJsonLine::AddObject(const char* Key, const TVeskJsonLine& Inner)
{
    FItems.emplace_back(QString::fromUtf8(Key), Inner.ToString());
    return *this;
}

TVeskJsonLine& TVeskJsonLine::AddPair(const char* Key, double First, double Second)
{
    FItems.emplace_back(QString::fromUtf8(Key),
                        QLatin1Char('[') + Number(First) + QLatin1Char(',') + Number(Second) + QLatin1Char(']'));
    return *this;
}

QString TVeskJsonLine::ToString() const
{
    QString out = QStringLiteral("{");
    for (std::size_t i = 0; i < FItems.size(); ++i) {
        if (i > 0) {
            out += QLatin1Char(',');
        }
        out += Quote(FItems[i].first) + QLatin1Char(':') + FItems[i].second;
    }
    return out + QLatin1Char('}');
}

QString TVeskJsonLine::Quote(const QString& Text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : Text) {
        switch (c.unicode()) {
        case u'"':
            out += QStringLiteral("\\\"");
            break;
        case u'\\':
            out += QStringLiteral("\\\\");
            break;
        case u'\n':
            out += QStringLiteral("\\n");
            break;
        case u'\r':
            out += QStringLiteral("\\r");
            break;
        case u'\t':
            out += QStringLiteral("\\t");
            break;
        default:
            // DEL and C1 too: valid JSON either way, and a terminal showing the output is left alone.
            if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F)) {
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            } else {
                out += c;
            }
        }
    }
    return out + QLatin1Char('"');
}

QString TVeskJsonLine::Number(double Value)
{
    // JSON has no NaN or infinity.
    if (!std::isfinite(Value)) {
        return QStringLiteral("null");
    }
    return QString::number(Value, 'g', 10);
}

QString TVeskHeadlessPrinter::StatusName(TServerCommStatus Status)
{
    switch (Status) {
    case scsDisconnected:
        return QStringLiteral("disconnected");
    case scsConnected:
        return QStringLiteral("connected");
    case scsWaiting:
        return QStringLiteral("waiting");
    }
    return QString::number(int(Status));
}

void TVeskHeadlessPrinter::Print(const TVeskJsonLine& Line)
{
    const QByteArray utf8 = Line.ToString().toUtf8() + '\n';
    std::fwrite(utf8.constData(), 1, std::size_t(utf8.size()), FOut);
    std::fflush(FOut);
}

void TVeskHeadlessPrinter::EqAlertStarted(TAlertKind Kind, const TEqTelegram01& Eq01Teleg, double EstSIScale,
                                          double EstSWaveSec, bool IsWarning,
                                          const std::optional<TEqAreaForecast>& AJma)
{
    TVeskJsonLine line;
    line.Add("event", "alert")
        .Add("kind", AlertKindName(Kind))
        .Add("eq_id", Eq01Teleg.GetEqId())
        .Add("telegram_no", Eq01Teleg.GetTelegNo())
        .Add("warning", IsWarning)
        .Add("intensity", EstSIScale)
        .Add("class", TSeismicIntensityScale::GetScaleAsString(EstSIScale))
        .Add("s_sec", EstSWaveSec)
        .Add("occurrence", TelegramTimeText(Eq01Teleg.GetOccurrenceTime()))
        .AddPair("epicentre", Eq01Teleg.GetEpicLat(), Eq01Teleg.GetEpicLong())
        .Add("depth", Eq01Teleg.GetEpicDepth())
        .Add("magnitude", Eq01Teleg.GetMagnitude());
    if (AJma) {
        TVeskJsonLine jma;
        jma.Add("area", AJma->AreaCode)
            .Add("from", JmaAreaIntensityText(AJma->Lower))
            .Add("to", JmaAreaIntensityText(AJma->Upper));
        if (AJma->HasArrivalTime()) {
            jma.Add("arrival", JmaAreaArrivalText(*AJma));
        }
        if (AJma->IsPlum()) {
            jma.Add("plum", true);
        }
        line.AddObject("jma", jma);
    }
    Print(line);
}

TVeskJsonLine TVeskHeadlessPrinter::ReportEvent(const char* AEvent, const TEqTelegram01& Eq01Teleg)
{
    TVeskJsonLine line;
    line.Add("event", AEvent).Add("eq_id", Eq01Teleg.GetEqId()).Add("telegram_no", Eq01Teleg.GetTelegNo());
    return line;
}

void TVeskHeadlessPrinter::EqAlertSkipped(const TEqTelegram01& Eq01Teleg)
{
    Print(ReportEvent("skip", Eq01Teleg));
}

void TVeskHeadlessPrinter::EqTelegramRejected(const TEqTelegram01& Eq01Teleg, TAlertRejectReason Reason)
{
    Print(ReportEvent("rejected", Eq01Teleg).Add("reason", AlertRejectReasonName(Reason)));
}

void TVeskHeadlessPrinter::EqEpicentreNamed(const TEqTelegram10& Eq10Teleg)
{
    Print(TVeskJsonLine()
              .Add("event", "epicentre_name")
              .Add("eq_id", Eq10Teleg.GetEqId())
              .Add("name", Eq10Teleg.GetEpicName()));
}

void TVeskHeadlessPrinter::ServerCommStatusChanged(TServerCommStatus Status)
{
    Print(TVeskJsonLine().Add("event", "status").Add("status", StatusName(Status)));
}

QString TVeskHeadlessPrinter::CountdownLine(const TEqTelegram01& Eq01Teleg, const TAlertTick& Tick,
                                            const QString& AName)
{
    // One multi-argument arg(): a "%" in the server's EQ id is text, never a place marker.
    // Control characters in it are escaped: they would drive the terminal.
    QString id = TEqAlertDecision::EqIdWithTelegNo(Eq01Teleg.GetEqId(), Eq01Teleg.GetTelegNo());
    if (!AName.trimmed().isEmpty()) {
        id += QLatin1Char(' ') + AName.trimmed();
    }
    id = VeskEscapeControlChars(id);
    const QString advance = QString::number(Tick.AdvanceSec);
    return Tick.Arrived ? QStringLiteral("%1  S波到達 (到達から %2 秒)  / S-wave arrived %2 s ago\n").arg(id, advance)
                        : QStringLiteral("%1  S波到達まで %2 秒 (経過 %3 秒)  / S-wave in %2 s (elapsed %3 s)\n")
                              .arg(id, advance, QString::number(Tick.ElapsedSec));
}

void TVeskHeadlessPrinter::AlertTicked(const TEqTelegram01& Eq01Teleg, const TAlertTick& Tick, const QString& AName)
{
    // For people watching a terminal; never on standard output.
    const QByteArray utf8 = CountdownLine(Eq01Teleg, Tick, AName).toUtf8();
    std::fwrite(utf8.constData(), 1, std::size_t(utf8.size()), FErr);
    std::fflush(FErr);
}

void TVeskHeadlessPrinter::AlertArrived(const TEqTelegram01& Eq01Teleg)
{
    Print(TVeskJsonLine().Add("event", "arrival").Add("eq_id", Eq01Teleg.GetEqId()));
}

void TVeskHeadlessPrinter::AlertRegistered(const TEqHistory& EqHistory, bool Inserted)
{
    if (Inserted) {
        TVeskJsonLine line;
        line.Add("event", "history").Add("eq_id", EqHistory.EqID).Add("telegram_no", EqHistory.TelegNo);
        if (EqHistory.Cancelled) {
            line.Add("cancelled", true);
        }
        Print(line);
    }
}

void TVeskHeadlessPrinter::EqCancelled(const TEqTelegram01& Eq01Teleg)
{
    Print(ReportEvent("cancel", Eq01Teleg));
}

void TVeskHeadlessPrinter::EqEnded(const TEqTelegram01& Eq01Teleg, TEqEndReason Reason)
{
    Print(ReportEvent("end", Eq01Teleg).Add("reason", EqEndReasonName(Reason)));
}

void TVeskHeadlessPrinter::UserWarning(const QString& AText)
{
    const QByteArray utf8 = (QStringLiteral("警告: ") + VeskEscapeControlChars(AText) + QLatin1Char('\n')).toUtf8();
    std::fwrite(utf8.constData(), 1, std::size_t(utf8.size()), FErr);
    std::fflush(FErr);
}

void TVeskHeadlessPrinter::InvalidLine(const QString& Line)
{
    Print(TVeskJsonLine().Add("event", "invalid").Add("line", Line));
}
