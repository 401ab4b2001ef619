// Command-line parser: arbitrary arguments (the input split at NUL bytes) give a
// usable server name, a port in range and a connection id of the allowed alphabet.
#include "FuzzCheck.h"
#include "config/VeskCommandLine.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize)
{
    QStringList arguments;
    const char* begin = reinterpret_cast<const char*>(AData);
    const char* end = begin + ASize;
    for (const char* p = begin; p <= end; ++p) {
        if (p == end || *p == '\0') {
            arguments << QString::fromUtf8(begin, p - begin);
            begin = p + 1;
        }
    }

    TVeskCommandLine commandLine;
    Check(commandLine.LoadCommandLineOption(arguments, nullptr), "the options always load");
    const int port = commandLine.GetServerPort();
    Check(port >= 1 && port <= 65535, "the port is in range");
    const QString conId = commandLine.GetServerConId();
    Check(!conId.isEmpty(), "there is a connection id");
    // The id goes into the connection request line: nothing in it may end or split that line.
    for (const QChar c : conId) {
        Check(c.unicode() >= 0x20 && c != QLatin1Char(':'), "the id fits in the request line");
    }
    Check(commandLine.GetServerConId() == conId, "the id stays the same");
    (void)commandLine.GetServerName();
    for (const char* option : {"DebugOnLocal", "EqServer", "EqServerPort", "ConId"}) {
        (void)TVeskCommandLine::FindOption(arguments, QString::fromLatin1(option));
    }
    return 0;
}
