// Sample plug-in: appends every call it receives to the text file named by the
// environment variable ULX_SAMPLE_PLUGIN_OUT, one line per call, the entry name, a
// tab and the argument (telegram texts as UTF-8). Without the variable it does
// nothing. Written without Qt to show the interface needs none.
#define VPI_PLUGIN_IMPLEMENTATION
#include "VeskPlugInInterface.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string ToUtf8(const char16_t* AText)
{
    std::string out;
    if (!AText) {
        return out;
    }
    for (const char16_t* p = AText; *p; ++p) {
        char32_t c = *p;
        if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
            ++p;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD; // unpaired surrogate
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Opened and closed per call so every line is on disk when the call returns.
void Record(const char* AEntry, const std::string& AArgument)
{
    const char* path = std::getenv("ULX_SAMPLE_PLUGIN_OUT");
    if (!path || !*path) {
        return;
    }
    if (std::FILE* file = std::fopen(path, "ab")) {
        std::fprintf(file, "%s\t%s\n", AEntry, AArgument.c_str());
        std::fflush(file);
        std::fclose(file);
    }
}

} // namespace

VPI_EXPORT void VPI_CALL VpiMainFormCreate(TVpiWindowHandle MainFormHandle)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%p", MainFormHandle);
    Record("VpiMainFormCreate", buffer);
}

#ifndef ULX_SAMPLE_WITHOUT_DESTROY
VPI_EXPORT void VPI_CALL VpiMainFormDestroy(void)
{
    Record("VpiMainFormDestroy", std::string());
}
#endif

VPI_EXPORT void VPI_CALL VpiEq01Queued(const char16_t* Eq01Teleg)
{
    Record("VpiEq01Queued", ToUtf8(Eq01Teleg));
}

VPI_EXPORT void VPI_CALL VpiEq10Queued(const char16_t* Eq10Teleg)
{
    Record("VpiEq10Queued", ToUtf8(Eq10Teleg));
}

VPI_EXPORT TVpiBool VPI_CALL VpiDetermineAlert(const char16_t* Eq01Teleg)
{
    Record("VpiDetermineAlert", ToUtf8(Eq01Teleg));
    return 0;
}

VPI_EXPORT TVpiBool VPI_CALL VpiAlertNotice(const char16_t* Eq01Teleg)
{
    Record("VpiAlertNotice", ToUtf8(Eq01Teleg));
    return 0;
}

VPI_EXPORT const char16_t* VPI_CALL VpiLibraryName(void)
{
    return u"Ulmaro X sample plug-in";
}

VPI_EXPORT int32_t VPI_CALL VpiPlugInInterfaceVersion(void)
{
    return 1;
}
