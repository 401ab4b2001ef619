#include "defines/VeskDefines.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

QDateTime VeskJapanNow()
{
    return QDateTime::currentDateTimeUtc().addSecs(9 * 3600);
}

std::optional<qint32> VeskStrToInt(QStringView Field)
{
    qsizetype i = 0;
    const qsizetype n = Field.size();
    while (i < n && Field[i] == u' ') {
        ++i;
    }
    bool negative = false;
    if (i < n && (Field[i] == u'-' || Field[i] == u'+')) {
        negative = Field[i] == u'-';
        ++i;
    }
    if (i >= n) {
        return std::nullopt;
    }
    qint64 value = 0;
    for (; i < n; ++i) {
        const char16_t c = Field[i].unicode();
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + (c - u'0');
        if (value > qint64(2147483648LL)) {
            return std::nullopt;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > qint64(2147483647LL) || value < qint64(-2147483648LL)) {
        return std::nullopt;
    }
    return static_cast<qint32>(value);
}

qint32 RoundHalfEven(double Value)
{
    if (std::isnan(Value)) {
        return 0;
    }
    double rounded = std::round(Value);
    if (std::fabs(Value - std::trunc(Value)) == 0.5) {
        rounded = 2.0 * std::round(Value / 2.0);
    }
    if (rounded >= double(std::numeric_limits<qint32>::max())) {
        return std::numeric_limits<qint32>::max();
    }
    if (rounded <= double(std::numeric_limits<qint32>::min())) {
        return std::numeric_limits<qint32>::min();
    }
    return static_cast<qint32>(rounded);
}

namespace {

// Every text of one or two printable ASCII characters and every three-digit
// text, built once as constant strings over one never-resized buffer.
class TShortFieldTexts
{
public:
    static constexpr char16_t First = 0x20;
    static constexpr int Printable = 0x7F - 0x20;

    TShortFieldTexts()
    {
        FStorage.resize(std::size_t(Printable + 2 * Printable * Printable + 3 * 1000));
        char16_t* out = FStorage.data();
        auto add = [&](std::initializer_list<char16_t> Chars) {
            const char16_t* begin = out;
            for (const char16_t c : Chars) {
                *out++ = c;
            }
            return QString::fromRawData(reinterpret_cast<const QChar*>(begin), qsizetype(Chars.size()));
        };
        F1.reserve(Printable);
        for (int a = 0; a < Printable; ++a) {
            F1.push_back(add({char16_t(First + a)}));
        }
        F2.reserve(std::size_t(Printable * Printable));
        for (int a = 0; a < Printable; ++a) {
            for (int b = 0; b < Printable; ++b) {
                F2.push_back(add({char16_t(First + a), char16_t(First + b)}));
            }
        }
        F3.reserve(1000);
        for (int n = 0; n < 1000; ++n) {
            F3.push_back(add({char16_t(u'0' + n / 100), char16_t(u'0' + n / 10 % 10), char16_t(u'0' + n % 10)}));
        }
    }

    const QString* Find(QStringView Field) const
    {
        auto printable = [](QChar c) { return c.unicode() >= First && c.unicode() < First + Printable; };
        auto digit = [](QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; };
        switch (Field.size()) {
        case 1:
            return printable(Field[0]) ? &F1[Field[0].unicode() - First] : nullptr;
        case 2:
            return printable(Field[0]) && printable(Field[1])
                       ? &F2[std::size_t((Field[0].unicode() - First) * Printable + (Field[1].unicode() - First))]
                       : nullptr;
        case 3:
            return digit(Field[0]) && digit(Field[1]) && digit(Field[2])
                       ? &F3[std::size_t((Field[0].unicode() - u'0') * 100 + (Field[1].unicode() - u'0') * 10 +
                                         (Field[2].unicode() - u'0'))]
                       : nullptr;
        default:
            return nullptr;
        }
    }

private:
    std::vector<char16_t> FStorage;
    std::vector<QString> F1, F2, F3;
};

// UTF-16 offset of every code point, or nothing when the line has no surrogate
// pairs (then code point n is simply UTF-16 unit n).
QVector<int> CodePointOffsets(const QString& Line)
{
    bool hasPairs = false;
    const char16_t* units = reinterpret_cast<const char16_t*>(Line.constData());
    for (qsizetype i = 0, n = Line.size(); i < n; ++i) {
        if ((units[i] & 0xF800) == 0xD800) {
            hasPairs = true;
            break;
        }
    }
    QVector<int> offsets;
    if (!hasPairs) {
        return offsets;
    }
    offsets.reserve(Line.size());
    for (int i = 0; i < Line.size();) {
        offsets.append(i);
        if (Line[i].isHighSurrogate() && i + 1 < Line.size() && Line[i + 1].isLowSurrogate()) {
            i += 2;
        } else {
            ++i;
        }
    }
    return offsets;
}

// Characters Start..Start+Length-1 (1-based; Length < 0: to the end), clipped to the line.
QStringView ColumnOf(const QString& Line, const QVector<int>& Offsets, int Start, int Length)
{
    const qsizetype count = Offsets.isEmpty() ? Line.size() : Offsets.size();
    const qsizetype begin = Start - 1;
    if (begin < 0 || begin >= count) {
        return {};
    }
    const qsizetype end = Length < 0 ? count : std::min<qsizetype>(count, begin + Length);
    if (Offsets.isEmpty()) {
        return QStringView(Line).sliced(begin, end - begin);
    }
    const qsizetype from = Offsets[begin];
    const qsizetype to = end < count ? Offsets[end] : Line.size();
    return QStringView(Line).sliced(from, to - from);
}

qsizetype CodePointCount(const QString& Line, const QVector<int>& Offsets)
{
    return Offsets.isEmpty() ? Line.size() : Offsets.size();
}

// A number cut off by the end of the line is no number: "7" of a cut "72" is not magnitude 0.7.
qint32 IntColumnOf(const QString& Line, const QVector<int>& Offsets, int Start, int Length, qint32 Failure)
{
    if (Start + Length - 1 > CodePointCount(Line, Offsets)) {
        return Failure;
    }
    return VeskStrToInt(ColumnOf(Line, Offsets, Start, Length)).value_or(Failure);
}

// Built when the program loads, so the first telegram does not pay for it.
const TShortFieldTexts GShortFieldTexts;

} // namespace

QString VeskFieldText(QStringView Field)
{
    if (const QString* text = GShortFieldTexts.Find(Field)) {
        return *text;
    }
    return Field.toString();
}

QStringView TEqTelegram01::ColumnView(int Start, int Length) const
{
    return ColumnOf(FTelegram, FCodePointOffsets, Start, Length);
}

qint32 TEqTelegram01::IntColumn(int Start, int Length, qint32 Failure) const
{
    return IntColumnOf(FTelegram, FCodePointOffsets, Start, Length, Failure);
}

void TEqTelegram01::SetTelegram(const QString& Telegram)
{
    FTelegram = Telegram;
    FCodePointOffsets = CodePointOffsets(Telegram);
    const qsizetype length = CodePointCount(FTelegram, FCodePointOffsets);
    FNumOfAreaCode = length > 68 ? static_cast<int>((length - 68) / 3) : 0;
}

QString TEqTelegram01::GetAreaCode(int Index) const
{
    if (Index < 0 || Index >= FNumOfAreaCode) {
        return QString();
    }
    return Column(69 + 3 * Index, 3);
}

bool TEqTelegram01::IsTargetAreaOfWarning(const QString& AreaCode) const
{
    // Every code has three characters (3 to 6 UTF-16 units), so nothing else can equal one.
    if (AreaCode.size() < 3 || AreaCode.size() > 6) {
        return false;
    }
    for (int i = 0; i < FNumOfAreaCode; ++i) {
        if (ColumnView(69 + 3 * i, 3) == AreaCode) {
            return true;
        }
    }
    return false;
}

void TEqTelegram10::SetTelegram(const QString& Telegram)
{
    FTelegram = Telegram;
    FCodePointOffsets = CodePointOffsets(Telegram);
}

QString TEqTelegram10::Column(int Start, int Length) const
{
    return VeskFieldText(ColumnOf(FTelegram, FCodePointOffsets, Start, Length));
}

qint32 TEqTelegram10::GetTelegNo() const
{
    return IntColumnOf(FTelegram, FCodePointOffsets, 20, 2, -1);
}

namespace {

struct TScaleClass
{
    double Scale;
    int Code;
    const char16_t* ShortLabel;
    const char16_t* Label;
    quint8 Red, Green, Blue;
};

constexpr std::array<TScaleClass, 10> ScaleClasses{{
    {0.0, 0, u"0", u"０", 255, 255, 255},
    {1.0, 10, u"1", u"１", 242, 242, 255},
    {2.0, 20, u"2", u"２", 0, 170, 255},
    {3.0, 30, u"3", u"３", 0, 65, 255},
    {4.0, 40, u"4", u"４", 250, 230, 150},
    {5.0, 50, u"5-", u"５弱", 255, 230, 0},
    {5.5, 55, u"5+", u"５強", 255, 153, 0},
    {6.0, 60, u"6-", u"６弱", 255, 40, 0},
    {6.5, 65, u"6+", u"６強", 165, 0, 33},
    {7.0, 70, u"7", u"７", 180, 0, 104},
}};

// Lower bounds of classes 1 .. 7; a value equal to a bound belongs to the upper class.
constexpr std::array<double, 9> ScaleThresholds{0.5, 1.5, 2.5, 3.5, 4.5, 5.0, 5.5, 6.0, 6.5};

const TScaleClass& ClassOf(double AValue)
{
    std::size_t index = 0;
    // NaN fails every comparison and stays in class 0, as do negative values.
    while (index < ScaleThresholds.size() && AValue >= ScaleThresholds[index]) {
        ++index;
    }
    return ScaleClasses[index];
}

} // namespace

double TSeismicIntensityScale::GetScale(double AValue)
{
    return ClassOf(AValue).Scale;
}

int TSeismicIntensityScale::GetScaleAsInteger(double AValue)
{
    return ClassOf(AValue).Code;
}

QString TSeismicIntensityScale::GetScaleAsShortString(double AValue)
{
    return QString::fromUtf16(ClassOf(AValue).ShortLabel);
}

QString TSeismicIntensityScale::GetScaleAsString(double AValue)
{
    return QString::fromUtf16(ClassOf(AValue).Label);
}

quint32 TSeismicIntensityScale::GetScaleColor(double AValue)
{
    const TScaleClass& c = ClassOf(AValue);
    return 0xFF000000u | (quint32(c.Red) << 16) | (quint32(c.Green) << 8) | quint32(c.Blue);
}

quint32 TSeismicIntensityScale::GetScaleColorAsTColor(double AValue)
{
    const TScaleClass& c = ClassOf(AValue);
    return (quint32(c.Blue) << 16) | (quint32(c.Green) << 8) | quint32(c.Red);
}

static_assert(TSeismicIntensityScale::ClassCount == int(ScaleClasses.size()));

int TSeismicIntensityScale::GetClassAsInteger(int AIndex)
{
    return ScaleClasses[std::size_t(std::clamp(AIndex, 0, ClassCount - 1))].Code;
}

QString TSeismicIntensityScale::GetClassAsString(int AIndex)
{
    return QString::fromUtf16(ScaleClasses[std::size_t(std::clamp(AIndex, 0, ClassCount - 1))].Label);
}
