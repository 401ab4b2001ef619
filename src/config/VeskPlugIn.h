#pragma once

#include "config/VeskConfParams.h"
#include "config/include/VeskPlugInInterface.h"

#include <QString>

#include <functional>
#include <memory>

class QLibrary;
class TVeskSerialWorker;
class TVeskLogger;

// The optional plug-in library described by UlmaroXCust.cnf: loads it, resolves the
// eight entry points, drops the ones the file does not switch on, and calls them.
//
// The plug-in is foreign code that may throw, block or crash, so no entry runs on
// the caller's thread: every Call* hands the call to a thread of the plug-in's own
// and returns at once. Calls run there one at a time, in the order they were made;
// an exception is caught at the call and logged with its text, and the program goes
// on as if the entry were absent. A plug-in that blocks holds up only later plug-in
// calls (beyond MaxPendingCalls further telegrams are not passed to it, and logged);
// a plug-in that crashes the process does so only after the program has decided
// the telegram and shown its alert, since the dispatcher passes each telegram on
// after its decision. Unload waits for the outstanding calls and the destroy entry
// for at most the unload budget; a plug-in still busy after that is abandoned,
// left loaded and never called again, so the shutdown finishes.
class TVeskPlugIn
{
public:
    static constexpr int MaxPendingCalls = 1000;
    static constexpr int DefaultUnloadBudgetMs = 2000;

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

    // Each call is queued only when the entry is resolved and switched on; it runs
    // later on the plug-in thread (see above).
    void CallMainFormCreate(TVpiWindowHandle AMainFormHandle);
    void CallEq01Queued(const QString& ATelegram);
    void CallEq10Queued(const QString& ATelegram);
    void CallMainFormDestroy();

    // Waits until every queued call has returned; false when ATimeoutMs passed first.
    bool WaitForCalls(int ATimeoutMs);

    // Shutdown: queues VpiMainFormDestroy when set, waits for the plug-in thread for at
    // most the unload budget, then unloads the library and frees the extension
    // settings. Safe to call more than once.
    void Unload();
    void SetUnloadBudgetMs(int AMilliseconds) { FUnloadBudgetMs = AMilliseconds; }
    // The last Unload gave up on a plug-in that did not return in time.
    bool WasAbandoned() const { return FAbandoned; }

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
    void Post(const char* AEntry, std::function<void()> ACall);

    TVeskLogger* FLogger = nullptr;
    std::unique_ptr<TVeskSerialWorker> FWorker;
    std::unique_ptr<TVeskConfParams> FExtParams;
    std::unique_ptr<QLibrary> FPiDllHandle;
    int FUnloadBudgetMs = DefaultUnloadBudgetMs;
    bool FIsLoadedExtParams = false;
    bool FAbandoned = false;
    bool FDropping = false; // the last call was dropped
};
