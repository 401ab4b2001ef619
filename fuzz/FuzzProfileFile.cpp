// Profile-file reader: any bytes parse, every section and key the file names reads
// back, and the file written from a parsed document parses to the same document.
#include "FuzzCheck.h"
#include "config/VeskProfileFile.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize)
{
    const QByteArray bytes(reinterpret_cast<const char*>(AData), qsizetype(ASize));
    TVeskProfileFile profile;
    profile.LoadFromBytes(bytes);

    // Names as a reader would ask for them: every "[section]" and "key=" in the text.
    const QString text = QString::fromUtf8(bytes);
    QString section = QStringLiteral("Location");
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            section = trimmed.mid(1, trimmed.size() - 2);
            (void)profile.HasSection(section);
        } else if (const qsizetype eq = trimmed.indexOf(QLatin1Char('=')); eq > 0) {
            const QString key = trimmed.left(eq);
            const QString value = profile.ReadString(section, key);
            Check(value.size() <= TVeskProfileFile::MaxValueLength, "values are cut to the limit");
            Check(profile.HasKey(section, key) || value.isEmpty(), "a value comes from a key");
        }
    }

    // Written and read again, the document is a fixed point.
    const QByteArray written = profile.ToBytes();
    TVeskProfileFile reread;
    reread.LoadFromBytes(written);
    Check(reread.ToBytes() == written, "the written file reads back the same");

    // An update lands where the reader finds it: in a section the file has, and in a new one.
    for (const QString& name : {section, QStringLiteral("FuzzSection")}) {
        if (name == QLatin1String("FuzzSection") || profile.HasSection(name)) {
            profile.WriteString(name, QStringLiteral("FuzzKey"), QStringLiteral("value"));
            Check(profile.ReadString(name, QStringLiteral("FuzzKey")) == QLatin1String("value"),
                  "a written key reads back");
        }
    }
    return 0;
}
