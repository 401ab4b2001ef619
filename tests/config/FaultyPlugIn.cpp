// A plug-in that misbehaves in its type-01 entry, for the tests of the program's
// isolation from it. Each entry first appends its name and argument to the file
// named by ULX_FAULTY_PLUGIN_OUT; then, by the build's definition:
//   ULX_FAULT_THROW  every entry throws std::runtime_error("faulty plug-in <entry>");
//   ULX_FAULT_BLOCK  VpiEq01Queued never returns;
//   ULX_FAULT_ABORT  VpiEq01Queued aborts the process;
//   ULX_FAULT_PRINT  every entry prints a line (one that looks like an event) to standard output;
//   ULX_FAULT_EXIT   VpiEq01Queued ends the process with exit(3);
//   ULX_FAULT_THREAD VpiMainFormCreate starts a thread of its own that runs until the process ends.
#define VPI_PLUGIN_IMPLEMENTATION
#include "VeskPlugInInterface.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

void Record(const char* AEntry, const char16_t* AText = nullptr)
{
    const char* path = std::getenv("ULX_FAULTY_PLUGIN_OUT");
    if (!path || !*path) {
        return;
    }
    std::string text;
    for (const char16_t* p = AText; p && *p; ++p) {
        text += *p < 0x80 ? char(*p) : '?';
    }
    if (std::FILE* file = std::fopen(path, "ab")) {
        std::fprintf(file, "%s\t%s\n", AEntry, text.c_str());
        std::fclose(file);
    }
}

void Fail([[maybe_unused]] const char* AEntry)
{
#ifdef ULX_FAULT_THROW
    throw std::runtime_error(std::string("faulty plug-in ") + AEntry);
#endif
#ifdef ULX_FAULT_PRINT
    std::printf("{\"event\":\"plug-in\",\"entry\":\"%s\"} partial", AEntry);
    std::printf("\n");
    std::fflush(stdout);
#endif
}

} // namespace

VPI_EXPORT void VPI_CALL VpiMainFormCreate(TVpiWindowHandle)
{
    Record("VpiMainFormCreate");
    Fail("VpiMainFormCreate");
#ifdef ULX_FAULT_THREAD
    // Its code must stay mapped as long as the thread runs.
    std::thread([] {
        static volatile unsigned ticks = 0;
        for (;;) {
            ticks = ticks + 1;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }).detach();
#endif
}

VPI_EXPORT void VPI_CALL VpiMainFormDestroy(void)
{
    Record("VpiMainFormDestroy");
    Fail("VpiMainFormDestroy");
}

VPI_EXPORT void VPI_CALL VpiEq01Queued(const char16_t* Eq01Teleg)
{
    Record("VpiEq01Queued", Eq01Teleg);
    Fail("VpiEq01Queued");
#ifdef ULX_FAULT_BLOCK
    for (;;) {
        std::this_thread::sleep_for(std::chrono::hours(1));
    }
#endif
#ifdef ULX_FAULT_ABORT
    std::abort();
#endif
#ifdef ULX_FAULT_EXIT
    std::exit(3);
#endif
}

VPI_EXPORT void VPI_CALL VpiEq10Queued(const char16_t* Eq10Teleg)
{
    Record("VpiEq10Queued", Eq10Teleg);
    Fail("VpiEq10Queued");
}

VPI_EXPORT const char16_t* VPI_CALL VpiLibraryName(void)
{
    return u"faulty test plug-in";
}

VPI_EXPORT int32_t VPI_CALL VpiPlugInInterfaceVersion(void)
{
    return 1;
}
