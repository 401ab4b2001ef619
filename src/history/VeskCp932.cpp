#include "history/VeskCp932.h"

#include <QStringEncoder>

#include <optional>

namespace {

// Byte widths of code points in code page 932 (Microsoft's table, as on the target systems).
class TCp932Counter
{
public:
    TCp932Counter() { FEncoder.emplace("windows-31j"); }

    // Bytes of one code point, or 0 when the code page has no such character.
    int Width(QStringView CodePoint)
    {
        if (!FEncoder->isValid()) {
            // No converter on this system: ASCII and half-width katakana take one byte, the rest two.
            const char32_t u = CodePoint.size() == 1 ? CodePoint[0].unicode() : 0x10000;
            if (u >= 0xD800 && u <= 0xDFFF) {
                return 0;
            }
            return (u < 0x80 || (u >= 0xFF61 && u <= 0xFF9F)) ? 1 : 2;
        }
        const QByteArray bytes = FEncoder->encode(CodePoint);
        if (FEncoder->hasError() || bytes.isEmpty()) {
            // The error mark is sticky and resetState() drops the converter: start afresh.
            FEncoder.emplace("windows-31j");
            return 0;
        }
        return int(bytes.size());
    }

private:
    std::optional<QStringEncoder> FEncoder;
};

template <typename F>
void ForEachCodePoint(const QString& Value, F&& Fn)
{
    for (qsizetype i = 0; i < Value.size();) {
        const qsizetype len =
            (Value[i].isHighSurrogate() && i + 1 < Value.size() && Value[i + 1].isLowSurrogate()) ? 2 : 1;
        if (!Fn(QStringView(Value).sliced(i, len))) {
            return;
        }
        i += len;
    }
}

} // namespace

namespace Cp932 {

int ByteLength(const QString& Value)
{
    TCp932Counter counter;
    int total = 0;
    ForEachCodePoint(Value, [&](QStringView cp) {
        total += qMax(1, counter.Width(cp));
        return true;
    });
    return total;
}

QString CutToBytes(const QString& Value, int MaxBytes)
{
    TCp932Counter counter;
    QString result;
    int total = 0;
    ForEachCodePoint(Value, [&](QStringView cp) {
        const int width = counter.Width(cp);
        if (total + qMax(1, width) > MaxBytes) {
            return false;
        }
        if (width == 0) {
            result += u'?';
        } else {
            result += cp;
        }
        total += qMax(1, width);
        return true;
    });
    return result;
}

} // namespace Cp932
