/*
 * Plug-in interface of Ulmaro X.
 *
 * A plug-in is a shared library named by "PlugInLibrary" in the section "Ext_Conf" of
 * UlmaroXCust.cnf in the data folder. The program resolves the entry points below by
 * their plain names and calls an entry only when the library exports it and the
 * matching switch of the file is non-zero ("OnMainFormCreate", "OnMainFormDestroy",
 * "OnEq01Queued", "OnEq10Queued", "OnDetermineAlert", "OnAlertNotice").
 *
 * Texts are UTF-16, zero-terminated, and valid only during the call: copy what you
 * keep. Every entry runs on a thread of the plug-in's own, one call at a time and in
 * the order of the events; the queued-telegram entries are called after the program
 * has decided the telegram (and shown its alert), so the plug-in can neither change
 * nor delay that decision. An exception leaving an entry is logged and otherwise
 * ignored. A call that does not return holds up only the plug-in's later calls; at
 * shutdown the program waits about two seconds for the plug-in, then exits without
 * unloading it.
 *
 * Linux and 64-bit Windows: plain extern "C" functions. 32-bit Windows: stdcall,
 * exported under the undecorated name (use a .def file).
 *
 * This header needs no Qt; it compiles as C11 and as C++.
 */
#ifndef VESK_PLUGIN_INTERFACE_H
#define VESK_PLUGIN_INTERFACE_H

#include <stdint.h>

#ifdef __cplusplus
#define VPI_EXTERN_C extern "C"
#else
#include <uchar.h>
#define VPI_EXTERN_C
#endif

#if defined(_WIN32) && !defined(_WIN64)
#define VPI_CALL __stdcall
#else
#define VPI_CALL
#endif

#if defined(_WIN32)
#define VPI_EXPORT VPI_EXTERN_C __declspec(dllexport)
#else
#define VPI_EXPORT VPI_EXTERN_C __attribute__((visibility("default")))
#endif

/* Handle of the program's main window (HWND on Windows, the native window id elsewhere). */
typedef void* TVpiWindowHandle;
/* 32-bit boolean: 0 is false, any other value true. */
typedef int32_t TVpiBool;

/* Once at start-up, with the main window. */
typedef void(VPI_CALL* TVpiMainFormCreate)(TVpiWindowHandle MainFormHandle);
/* Once at shutdown; the library is unloaded right after it. */
typedef void(VPI_CALL* TVpiMainFormDestroy)(void);
/* Every type-01 telegram taken from the queue, complete text. */
typedef void(VPI_CALL* TVpiEq01Queued)(const char16_t* Eq01Teleg);
/* Every type-10 telegram taken from the queue, complete text. */
typedef void(VPI_CALL* TVpiEq10Queued)(const char16_t* Eq10Teleg);
/* Resolved, not called by this version of the program. */
typedef TVpiBool(VPI_CALL* TVpiDetermineAlert)(const char16_t* Eq01Teleg);
typedef TVpiBool(VPI_CALL* TVpiAlertNotice)(const char16_t* Eq01Teleg);
typedef const char16_t*(VPI_CALL* TVpiLibraryName)(void);
typedef int32_t(VPI_CALL* TVpiPlugInInterfaceVersion)(void);

/* Prototypes for plug-in authors: define VPI_PLUGIN_IMPLEMENTATION before including. */
#ifdef VPI_PLUGIN_IMPLEMENTATION
VPI_EXPORT void VPI_CALL VpiMainFormCreate(TVpiWindowHandle MainFormHandle);
VPI_EXPORT void VPI_CALL VpiMainFormDestroy(void);
VPI_EXPORT void VPI_CALL VpiEq01Queued(const char16_t* Eq01Teleg);
VPI_EXPORT void VPI_CALL VpiEq10Queued(const char16_t* Eq10Teleg);
VPI_EXPORT TVpiBool VPI_CALL VpiDetermineAlert(const char16_t* Eq01Teleg);
VPI_EXPORT TVpiBool VPI_CALL VpiAlertNotice(const char16_t* Eq01Teleg);
VPI_EXPORT const char16_t* VPI_CALL VpiLibraryName(void);
VPI_EXPORT int32_t VPI_CALL VpiPlugInInterfaceVersion(void);
#endif

#endif /* VESK_PLUGIN_INTERFACE_H */
