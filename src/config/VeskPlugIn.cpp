#include "config/VeskPlugIn.h"

#include "config/VeskAppSettings.h"
#include "defines/VeskSerialWorker.h"
#include "logging/VeskLogging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include <exception>
#include <type_traits>

namespace {

const QString kLoadName = QStringLiteral("LoadParamsFromExtConfFile()");

bool HasFolder(const QString& AName)
{
    return AName.contains(QLatin1Char('/')) || AName.contains(QLatin1Char('\\'));
}

} // namespace

TVeskPlugIn::TVeskPlugIn() = default;

TVeskPlugIn::~TVeskPlugIn()
{
    Unload();
}

void TVeskPlugIn::ClearEntryPoints()
{
    FOnMainFormCreate = nullptr;
    FOnMainFormDestroy = nullptr;
    FOnEq01Queued = nullptr;
    FOnEq10Queued = nullptr;
    FOnDetermineAlert = nullptr;
    FOnAlertNotice = nullptr;
    FVpiLibraryName = nullptr;
    FVpiPlugInInterfaceVersion = nullptr;
}

bool TVeskPlugIn::LoadParamsFromExtConfFile(const QString& ADataFolder, TVeskLogger* ALogger,
                                            const QString& AProgramFolder)
{
    Unload();
    ALogger = TVeskLogger::OrNull(ALogger);
    FLogger = ALogger;
    ALogger->EnterMethod(kLoadName);
    auto finish = [this, ALogger] {
        ALogger->ExitMethod(kLoadName);
        return FIsLoadedExtParams;
    };

    const QString path = ADataFolder + QLatin1Char('/') + TVeskAppSettings::GetAppCustConfName();
    if (!QFileInfo::exists(path)) {
        return finish();
    }
    ALogger->Send(vmtNotable, QStringLiteral("Detect extented configuration file."));
    FExtParams = std::make_unique<TVeskConfParams>();
    FExtParams->SetConfFilePath(path);
    if (!FExtParams->LoadExtParams()) {
        return finish();
    }

    try {
        const QString library = FExtParams->Item(QStringLiteral("PlugInLibrary")).value_or(TVeskParamItem{}).AsString();
        QString reason;
        if (!LoadPlugInLibrary(library, AProgramFolder, &reason)) {
            ALogger->Send(vmtWarning, QStringLiteral("Failed to load plug-in library."));
            ALogger->Send(vmtWarning, QStringLiteral("Plug-in library"), reason);
            return finish();
        }
        ALogger->Send(vmtPlain, QStringLiteral("Success to load plug-in library."));

        auto isOn = [this](const char* ASwitch) {
            const auto item = FExtParams->Item(QString::fromLatin1(ASwitch));
            return item && item->AsBoolean();
        };
        // Resolves an export, announces it, and drops it again when its switch is off.
        auto resolve = [this, ALogger, &isOn](auto& AField, const char* AExport, const char* ASwitch,
                                              const char* ALoadedText) {
            using TEntry = std::remove_reference_t<decltype(AField)>;
            AField = reinterpret_cast<TEntry>(FPiDllHandle->resolve(AExport));
            if (!AField) {
                return;
            }
            ALogger->Send(vmtPlain, QString::fromLatin1(ALoadedText));
            if (!isOn(ASwitch)) {
                AField = nullptr;
                ALogger->Send(vmtNotable,
                              QStringLiteral("This event handler has been disabled by the configuration filee."));
            }
        };
        resolve(FOnMainFormCreate, "VpiMainFormCreate", "OnMainFormCreate", "Loaded: Form create event handler.");
        resolve(FOnMainFormDestroy, "VpiMainFormDestroy", "OnMainFormDestroy", "Loaded: Form destroy event handler.");
        resolve(FOnEq01Queued, "VpiEq01Queued", "OnEq01Queued", "Loaded: Telegram 01 ueued event handler.");
        resolve(FOnEq10Queued, "VpiEq10Queued", "OnEq10Queued", "Loaded: Telegram 10 ueued event handler.");
        resolve(FOnDetermineAlert, "VpiDetermineAlert", "OnDetermineAlert", "Loaded: Determine alert event handler.");
        resolve(FOnAlertNotice, "VpiAlertNotice", "OnAlertNotice", "Loaded: Alert event handler.");

        FVpiLibraryName = reinterpret_cast<TVpiLibraryName>(FPiDllHandle->resolve("VpiLibraryName"));
        FVpiPlugInInterfaceVersion =
            reinterpret_cast<TVpiPlugInInterfaceVersion>(FPiDllHandle->resolve("VpiPlugInInterfaceVersion"));
        FIsLoadedExtParams = true;
        FWorker = std::make_unique<TVeskSerialWorker>(std::size_t(MaxPendingCalls));
    } catch (const std::exception& e) {
        ALogger->Send(vmtCaught, kLoadName, QString::fromLocal8Bit(e.what()));
        FIsLoadedExtParams = false;
    }
    return finish();
}

bool TVeskPlugIn::LoadPlugInLibrary(const QString& ALibrary, const QString& AProgramFolder, QString* AReason)
{
    const QString name = ALibrary.trimmed();
    if (name.isEmpty()) {
        *AReason = QStringLiteral("No library named in PlugInLibrary.");
        return false;
    }
    auto library = std::make_unique<QLibrary>();
    QString programFolder = AProgramFolder;
    if (programFolder.isEmpty() && QCoreApplication::instance()) {
        programFolder = QCoreApplication::applicationDirPath();
    }
    bool loaded = false;
    if (!HasFolder(name) && !programFolder.isEmpty()) {
        const QString besideProgram = QDir(programFolder).filePath(name);
        if (QFileInfo(besideProgram).isFile()) {
            library->setFileName(besideProgram);
            loaded = library->load();
        }
    }
    if (!loaded) {
        library->setFileName(QDir::fromNativeSeparators(name));
        loaded = library->load();
    }
    if (!loaded) {
        *AReason = library->errorString();
        return false;
    }
    FPiDllHandle = std::move(library);
    return true;
}

void TVeskPlugIn::Post(const char* AEntry, std::function<void()> ACall)
{
    if (!FWorker) {
        return;
    }
    // The entry runs on the plug-in's thread; what it threw is logged there, under
    // the worker's lock, unless the worker was given up meanwhile.
    auto error = std::make_shared<QString>();
    TVeskLogger* logger = TVeskLogger::OrNull(FLogger);
    const bool posted = FWorker->Post(
        [call = std::move(ACall), error] {
            try {
                call();
            } catch (const std::exception& e) {
                *error = QString::fromLocal8Bit(e.what());
            } catch (...) {
                *error = QStringLiteral("unknown error");
            }
        },
        [logger, AEntry, error] {
            if (!error->isNull()) {
                logger->Send(vmtCaught, QString::fromLatin1(AEntry) + QStringLiteral("()"), *error);
            }
        });
    // Said once per run of dropped calls, so a stuck plug-in cannot flood the log.
    if (!posted && !FDropping) {
        TVeskLogger::OrNull(FLogger)->Send(vmtWarning,
                                           QStringLiteral("Plug-in call dropped: the plug-in is not returning."),
                                           QString::fromLatin1(AEntry));
    }
    FDropping = !posted;
}

void TVeskPlugIn::CallMainFormCreate(TVpiWindowHandle AMainFormHandle)
{
    if (auto entry = FOnMainFormCreate) {
        Post("VpiMainFormCreate", [entry, AMainFormHandle] { entry(AMainFormHandle); });
    }
}

void TVeskPlugIn::CallEq01Queued(const QString& ATelegram)
{
    if (auto entry = FOnEq01Queued) {
        // The call owns its copy; utf16() of it is zero-terminated and lives for the whole call.
        Post("VpiEq01Queued", [entry, text = ATelegram] { entry(reinterpret_cast<const char16_t*>(text.utf16())); });
    }
}

void TVeskPlugIn::CallEq10Queued(const QString& ATelegram)
{
    if (auto entry = FOnEq10Queued) {
        Post("VpiEq10Queued", [entry, text = ATelegram] { entry(reinterpret_cast<const char16_t*>(text.utf16())); });
    }
}

void TVeskPlugIn::CallMainFormDestroy()
{
    if (auto entry = FOnMainFormDestroy) {
        Post("VpiMainFormDestroy", [entry] { entry(); });
    }
}

bool TVeskPlugIn::WaitForCalls(int ATimeoutMs)
{
    return !FWorker || FWorker->WaitIdle(ATimeoutMs);
}

void TVeskPlugIn::Unload()
{
    CallMainFormDestroy();
    ClearEntryPoints();
    FAbandoned = false;
    if (FWorker) {
        FAbandoned = !FWorker->Stop(FUnloadBudgetMs);
        if (FAbandoned) {
            // Its code may still be running: the library stays loaded while the thread lives.
            TVeskLogger::OrNull(FLogger)->Send(
                vmtWarning, QStringLiteral("Plug-in did not return in time; left loaded."), qint64(FUnloadBudgetMs));
        }
        FWorker.reset();
    }
    // The library stays mapped: a plug-in may have started threads of its own,
    // which would crash the process in code that is gone (QLibrary's destructor
    // does not unload it).
    FPiDllHandle.reset();
    FExtParams.reset();
    FIsLoadedExtParams = false;
}
