#pragma once

#include "config/VeskConfParams.h"
#include "config/include/VeskPlugInInterface.h"

#include <QString>

#include <memory>

class QLibrary;
class TVeskLogger;

// The optional plug-in library described by UlmaroXCust.cnf: loads it, resolves the
// eight entry points, drops the ones the file does not switch on, and calls them for
// the main window. Main thread only.
class TVeskPlugIn
{
public:
    TVeskPlugIn();
    ~TVeskPlugIn(); // Unload()
    TVeskPlugIn(const TVeskPlugIn&) = delete;
    TVeskPlugIn& operator=(const TVeskPlugIn&) = delete;

    // Reads ADataFolder + "/UlmaroXCust.cnf" and loads the library it names. A name
    // without a folder is looked up in AProgramFolder first (the program's folder
    // when empty), then by the platform's library search. Answers whether the
    // library was loaded and its entry points looked up; without the file nothing
    // happens.
    bool LoadParamsFromExtConfFile(const QString& ADataFolder, TVeskLogger* ALogger,
                                   const QString& AProgramFolder = QString());

    // Each call is made only when the entry is resolved and switched on.
    void CallMainFormCreate(TVpiWindowHandle AMainFormHandle) const;
    void CallEq01Queued(const QString& ATelegram) const;
    void CallEq10Queued(const QString& ATelegram) const;
    void CallMainFormDestroy() const;

    // Shutdown: calls VpiMainFormDestroy when set, unloads the library and frees the
    // extension settings. Safe to call more than once.
    void Unload();

    bool IsLoadedExtParams() const { return FIsLoadedExtParams; }
    bool IsLibraryLoaded() const { return FPiDllHandle != nullptr; }
    const TVeskConfParams* ExtParams() const { return FExtParams.get(); }

    TVpiMainFormCreate FOnMainFormCreate = nullptr;
    TVpiMainFormDestroy FOnMainFormDestroy = nullptr;
    TVpiEq01Queued FOnEq01Queued = nullptr;
    TVpiEq10Queued FOnEq10Queued = nullptr;
    TVpiDetermineAlert FOnDetermineAlert = nullptr;
    TVpiAlertNotice FOnAlertNotice = nullptr;
    TVpiLibraryName FVpiLibraryName = nullptr;
    TVpiPlugInInterfaceVersion FVpiPlugInInterfaceVersion = nullptr;

private:
    void ClearEntryPoints();
    bool LoadPlugInLibrary(const QString& ALibrary, const QString& AProgramFolder, QString* AReason);

    std::unique_ptr<TVeskConfParams> FExtParams;
    std::unique_ptr<QLibrary> FPiDllHandle;
    bool FIsLoadedExtParams = false;
};
