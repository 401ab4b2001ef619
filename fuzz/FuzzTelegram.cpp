// Telegram decoder: every field of a type-01 and a type-10 telegram, and the
// history row made from them, decoded from arbitrary text. The first byte picks
// how the rest becomes text: UTF-8 (invalid bytes replaced) or raw UTF-16 units,
// which include unpaired surrogates.
#include "FuzzCheck.h"
#include "defines/EqHistory.h"
#include "defines/VeskDefines.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QString TextOf(const std::uint8_t* AData, std::size_t ASize)
{
    if (ASize == 0) {
        return QString();
    }
    const char* rest = reinterpret_cast<const char*>(AData + 1);
    const qsizetype restSize = qsizetype(ASize - 1);
    if (AData[0] & 1) {
        return QString(reinterpret_cast<const QChar*>(rest), restSize / 2);
    }
    return QString::fromUtf8(rest, restSize);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize)
{
    const QString text = TextOf(AData, ASize);

    const TEqTelegram01 t01(text);
    volatile qsizetype sink = 0;
    sink = sink + t01.GetHeader().size() + t01.GetType().size() + t01.GetTrainType().size() +
           t01.GetPresentTime().size() + t01.GetOccurrenceTime().size() + t01.GetEqId().size() +
           t01.GetEpicLatStr().size() + t01.GetEpicLongStr().size() + t01.GetEpicDepthStr().size() +
           t01.GetMagnitudeStr().size() + t01.GetCertOfEpi().size() + t01.GetCertOfDepth().size() +
           t01.GetCertOfMg().size() + t01.GetCertOfJMA1().size() + t01.GetCertOfJMA2().size() +
           t01.GetAreaCodeList().size();
    sink = sink + t01.GetTelegNo() + t01.GetEpicDepth() + t01.GetRk1() + t01.GetRk2() + t01.GetRk3() + t01.GetRk4() +
           t01.GetRk5() + qsizetype(t01.GetEpicLat() + t01.GetEpicLong() + t01.GetMagnitude());
    sink = sink + (t01.GetEpicLatNorth() ? 1 : 0) + (t01.GetEpicLongEast() ? 1 : 0);
    // A field never holds more characters than its columns.
    Check(t01.GetEqId().size() <= 2 * 16, "the id has at most 16 characters");
    Check(t01.GetNumOfAreaCode() >= 0, "the area count is not negative");
    for (int i = -1; i <= t01.GetNumOfAreaCode(); ++i) {
        const QString code = t01.GetAreaCode(i);
        Check((i >= 0 && i < t01.GetNumOfAreaCode()) || code.isEmpty(), "no area code outside the list");
        sink = sink + (t01.IsTargetAreaOfWarning(code) ? 1 : 0);
    }
    sink = sink + (t01.IsTargetAreaOfWarning(text.left(6)) ? 1 : 0);

    const TEqTelegram10 t10(text);
    sink = sink + t10.GetHeader().size() + t10.GetEqId().size() + t10.GetTelegNo() + t10.GetEpicCode().size() +
           t10.GetEpicName().size();

    TEqHistory history;
    history.CopyFromEqTelegram(t01, t10, 5.2, 12.4);
    sink = sink + history.EqID.size() + history.EpicName.size() + history.OutgoingTime.size();
    sink = sink + (VeskStrToInt(text).value_or(0) != 0 ? 1 : 0);
    (void)sink;
    return 0;
}
