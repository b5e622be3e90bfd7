// The installation run as a table of steps. It knows no window: every line, question and error goes to the
// host. Each row says whether the window may close meanwhile (the protected stretch) and where the row lies
// against the commit: before it a run that ends is undone, after it nothing is; adding a step is one row.
#include "install/run/InstallRun.h"

#include <windows.h>

#include <chrono>
#include <exception>
#include <memory>
#include <optional>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/FileIO.h"
#include "common/HandlesWin.h"
#include "common/IniFile.h"
#include "common/StrUtils.h"
#include "common/TH_Common_Const.h"
#include "install/files/Copies.h"
#include "install/files/Folders.h"
#include "install/files/Processes.h"
#include "install/files/TargetFolder.h"
#include "install/files/Walks.h"
#include "install/record/InstallRecord.h"
#include "install/record/InstalledFiles.h"
#include "install/run/DiskSpace.h"
#include "install/run/RunFiles.h"
#include "install/run/ProtectedRows.h"
#include "install/run/RunJournal.h"
#include "install/run/RunLock.h"
#include "install/run/RunRecord.h"
#include "install/run/RunStop.h"
#include "install/run/RunTransaction.h"
#include "install/steps/DatabaseServer.h"
#include "install/steps/Fonts.h"
#include "install/steps/ReleasePackage.h"
#include "install/trust/Elevation.h"
#include "install/trust/FolderAccess.h"
#include "install/trust/Links.h"
#include "install/trust/TargetAccess.h"
#include "support/Shortcut.h"
#include "win/SystemLibrary.h"

namespace {

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The trimmed target made absolute against the current folder (still the wizard's own here): later steps
// change the current folder, and a relative target would then point somewhere else.
std::wstring AbsoluteTarget(const std::wstring& trimmed) {
    return trimmed.empty() ? trimmed : WithTrailingBackslash(FullPathOf(trimmed));
}

// What the run's steps share. The suite's folder's gateway and the transaction exist from the row that holds
// the folder on; the rows after it may count on them.
struct TRunContext {
    TRunContext(IInstallHost& host, const TInstallOptions& options)
        : Host(host), Options(options), Source(options.SourceFolder),
          Target(AbsoluteTarget(TrimControl(options.TargetText))),
          Elevated(options.Elevated ? options.Elevated() : ProcessIsElevated()) {}

    IInstallHost& Host;
    const TInstallOptions& Options;
    const std::wstring& Source;
    const std::wstring Target; // ending in "\"
    const bool Elevated;
    std::optional<TRunLock> Lock;
    std::vector<std::wstring> MadeLevels; // the target and the levels above it the run made, shallowest first
    std::unique_ptr<TTargetFolder> Folder;
    std::unique_ptr<TRunTransaction> Transaction;
    TTreeState Before;
    std::size_t DriverNotCopied = 0;
    std::size_t PackageFilesNotCopied = 0;
    TChosenPackage Chosen;
    TPackageOutcome Package;
    bool Registered = false;
    std::optional<TLibraryPrefetch> Libraries;
};

enum class TStepEnd {
    Next,    // the run goes on
    Stopped, // the step said why on the host
    Busy,    // another run works in the folder
};

// Writes how long a step took to the run's record, however the step ends.
class TStepTimer {
public:
    TStepTimer(IProgress& progress, const wchar_t* step)
        : FProgress(progress), FStep(step), FStart(std::chrono::steady_clock::now()) {}
    TStepTimer(const TStepTimer&) = delete;
    TStepTimer& operator=(const TStepTimer&) = delete;
    ~TStepTimer() {
        if (!FStep)
            return;
        try {
            const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - FStart);
            FProgress.Trace(std::wstring(FStep) + L": " + std::to_wstring(elapsed.count()) + L" мс");
        } catch (...) {
            // The record of a duration is not worth an error of its own.
        }
    }

private:
    IProgress& FProgress;
    const wchar_t* FStep;
    std::chrono::steady_clock::time_point FStart;
};

// Any user may have made the folder, or a level above it, a link before the first installation: nothing is
// made, written or run through it.
TStepEnd RefuseLinkedTarget(TRunContext& run) {
    if (const std::wstring foreign = ForeignLevelOfTarget(run.Target); !foreign.empty()) {
        run.Host.ShowError(ForeignTargetText(foreign));
        run.Host.AddLine(ForeignLinkLine(foreign));
        return TStepEnd::Stopped;
    }
    return TStepEnd::Next;
}

// One run at a time in a folder, from before anything is made or read there to the run's end: a second one
// would undo the first's work under it.
TStepEnd TakeRunLock(TRunContext& run) {
    run.Lock.emplace(run.Target);
    if (!run.Lock->Held()) {
        const std::wstring text = RunBusyText(run.Target);
        run.Host.ShowError(text);
        run.Host.AddLine(text);
        return TStepEnd::Busy;
    }
    PassRunPoint(L"locked");
    return TStepEnd::Next;
}

// With an administrator's rights the folder becomes the administrators', as Program Files is: a folder where
// that cannot hold (an ordinary user could rename a level above it, or its disk keeps no rights) is refused
// before anything is made there.
TStepEnd RefuseUnprotectable(TRunContext& run) {
    const std::wstring refusal = run.Elevated ? TargetRefusal(run.Target) : std::wstring();
    if (refusal.empty())
        return TStepEnd::Next;
    run.Host.ShowError(refusal);
    run.Host.AddLine(TargetRefusalLine(run.Target));
    return TStepEnd::Stopped;
}

// Every missing level, as users expect of an installer ("C:\Программы и данные\Дедира\" on a PC without
// "Программы и данные"); the box and the log say which level failed and why. With an administrator's rights
// each is made with the administrators' list, never made first and closed after.
TStepEnd MakeTarget(TRunContext& run) {
    if (FolderExists(run.Target))
        return TStepEnd::Next;
    std::wstring level;
    if (const DWORD code = run.Elevated ? MakeAdminFolders(run.Target, &level, &run.MadeLevels)
                                        : ForceDirectories(run.Target, &level, &run.MadeLevels)) {
        run.Host.ShowError(std::wstring(RunText::DirCreateError) + L"\r\n" + Quoted(level) + L": " +
                           SystemErrorText(code));
        run.Host.AddLine(RunText::DirCreateError);
        return TStepEnd::Stopped;
    }
    run.Host.AddLine(RunText::DirCreated);
    // A level someone made meanwhile was not checked before: every level is there now.
    return RefuseUnprotectable(run);
}

// From here on everything below the folder goes through its gateway. With an administrator's rights a folder
// that is not the machine's is taken over (also one someone else made first, between the look and the
// making), and the journal and the record are read only from an uninstaller's folder of the administrators':
// one that is not is moved aside, with what it holds, and made anew.
TStepEnd HoldTarget(TRunContext& run) {
    if (run.Elevated)
        EnableOwnershipPrivileges();
    run.Folder = std::make_unique<TTargetFolder>(run.Target, run.Elevated ? WRITE_DAC | WRITE_OWNER : 0);
    run.Folder->OnPassedOver = [&host = run.Host](const std::wstring& link) {
        host.Trace(PassedOverLinkText(link));
    };
    run.Transaction = std::make_unique<TRunTransaction>(run.Host, *run.Folder);
    if (!run.Elevated)
        return TStepEnd::Next;
    TakeOverTarget(run.Host, *run.Folder);
    const TAdminFolder uninstall = EnsureAdminFolder(*run.Folder, UninstallFolder);
    if (!uninstall.MovedAside.empty()) {
        run.Host.AddLine(FolderMovedAsideLine(run.Folder->Full(UninstallFolder)));
        run.Host.Trace(FolderMovedAsideText(run.Folder->Full(UninstallFolder), uninstall.Fault,
                                            run.Folder->Full(uninstall.MovedAside)));
    }
    return TStepEnd::Next;
}

// A run killed before its commit left its predecessors kept: they go back first.
TStepEnd RecoverKilledRun(TRunContext& run) {
    if (RecoverInterruptedRun(run.Host, *run.Folder, run.Elevated))
        return TStepEnd::Next;
    run.Host.ShowError(RunText::NotRecovered);
    run.Host.AddLine(RunText::NotRecoveredLine);
    return TStepEnd::Stopped;
}

// Room for what the run adds; and what the folder holds before the run: what differs afterwards is what the
// run put there. Over an installation, a package that arrives in part stops the run: the previous release
// stays whole.
TStepEnd PlanTheRun(TRunContext& run) {
    run.Transaction->SetReplacesInstallation(run.Folder->IsFile(InstallRecordName) ||
                                             run.Folder->IsFile(L"ReleaseInfo"));
    if (!EnoughSpace(run.Host, run.Options, run.Target, run.Elevated))
        return TStepEnd::Stopped;
    run.Before = ReadTreeState(*run.Folder);
    return TStepEnd::Next;
}

// Writes the run's keys into one of its settings files (RunSettingKeys), each with what it held first in the
// run's journal, so that an undo puts back those keys alone, in the file as it is by then: whatever the
// suite's programs write there meanwhile (they save their settings as they close) stays. A settings file with
// other names is not written through.
void WriteSettings(TRunContext& run, const wchar_t* file) {
    TTargetFolder& folder = *run.Folder;
    const TFileBytes bytes = folder.Read(file, TTargetFolder::TUse::Change);
    if (bytes.Status == TReadStatus::Failed)
        throw TError(L"Файл " + Quoted(folder.Full(file)) + L" не изменён: " + bytes.Error);
    TIniFile ini = TIniFile::FromBytes(bytes.Bytes);
    std::vector<TJournalSetting> keys;
    for (const TSettingKey& key : RunSettingKeys)
        if (std::wstring_view(key.File) == file)
            keys.push_back({file, key.Section, key.Key, ini.RawValue(key.Section, key.Key), key.Value});
    run.Transaction->ChangingSettings(file, bytes.Status == TReadStatus::NotFound, keys);
    for (const TJournalSetting& key : keys)
        ini.WriteString(key.Section, key.Key, key.Written);
    folder.Replace(file, ini.ToBytes());
}

// From here until the commit a run that ends is undone. A target created just now has no settings folder
// yet, and the settings file goes into it.
TStepEnd BeginTransaction(TRunContext& run) {
    // What the rows after the commit load at their first call (MSXML for the release information, COM and
    // the shell for the link) loads beside the copies instead.
    run.Libraries.emplace(
        std::initializer_list<const wchar_t*>{L"ole32.dll", L"oleaut32.dll", L"msxml3.dll", L"shell32.dll"});
    run.Folder->DelayFlushes(true);
    run.Transaction->Begin(run.Elevated);
    run.Folder->MakeFolder(std::wstring(SettingsDir));
    WriteSettings(run, HolterIni);
    PassRunPoint(L"settings-written");
    return TStepEnd::Next;
}

TStepEnd SettingsLine(TRunContext& run) {
    run.Host.CompleteLine(run.Host.AddStepLine(RunText::SettingsStep), RunText::Done);
    return TStepEnd::Next;
}

TStepEnd DeployDatabase(TRunContext& run) {
    if (DeployDatabaseServer(run.Host, run.Source, *run.Folder, run.Options.WindowsIndex, *run.Transaction) ==
        TDeployResult::Stopped)
        return TStepEnd::Stopped;
    PassRunPoint(L"server-files");
    return TStepEnd::Next;
}

// Written once; the suite counts on from what it finds, so an existing file (or anything of that name) is
// never touched. And, for the edition, "btooth.ini".
TStepEnd WriteCounter(TRunContext& run) {
    const std::wstring name = std::wstring(SettingsDir) + L"lastnum.dta";
    const auto bytes = LastNumContent(DaysSince1899(LocalNow()));
    DWORD code = 0, written = 0;
    const TUniqueFile file = run.Folder->CreateNew(name, GENERIC_WRITE, &code);
    if (file)
        run.Transaction->Added(name, false);
    if (!file ? code != ERROR_ALREADY_EXISTS && code != ERROR_FILE_EXISTS
              : !::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
                    written != bytes.size())
        run.Host.Trace(L"Файл " + Quoted(run.Folder->Full(name)) + L" не записан: " +
                       SystemErrorText(file ? ::GetLastError() : code));
    if (run.Options.Edition)
        WriteSettings(run, BtoothIni);
    return TStepEnd::Next;
}

TStepEnd InstallFontsStep(TRunContext& run) {
    PassRunPoint(L"fonts");
    if (!run.Elevated) {
        run.Host.AddLine(RunText::FontsNotElevated);
        return TStepEnd::Next;
    }
    try {
        InstallFonts(run.Host, run.Source);
    } catch (const TError& error) {
        run.Host.Trace(L"Установка шрифтов прервана: " + error.Message());
    } catch (const std::exception&) {
        run.Host.Trace(L"Установка шрифтов прервана");
    }
    return TStepEnd::Next;
}

// The suite's folder keeps a copy of the installer, through its gateway like every copy of the run; what
// counts is what the folder holds afterwards (a file a program holds stays as it was). Returns how many of
// its files did not arrive.
std::size_t CopyDriverIntoTarget(TRunContext& run, const std::wstring& driverSource) {
    constexpr wchar_t Folder[] = L"FTDIDriverInstall";
    std::size_t notCopied = 0;
    CopyDirTree(*run.Folder, driverSource, Folder);
    WalkFiles(driverSource, [&](const std::wstring& relative, const WIN32_FIND_DATAW&) {
        const std::wstring copied = std::wstring(Folder) + L"\\" + relative;
        if (!SameContentAs(*run.Folder, driverSource + L"\\" + relative, copied)) {
            run.Host.AddLine(FileNotCopiedText(run.Folder->Full(copied), RunText::DriverNotCopied));
            ++notCopied;
        }
    });
    return notCopied;
}

TStepEnd InstallDriver(TRunContext& run) {
    if (!run.Options.InstallDriver || !run.Host.AskYesNo(RunText::DriverQuestion))
        return TStepEnd::Next;
    // Whatever the question let anyone do to the folders meanwhile.
    run.Folder->Recheck();
    const std::wstring driverSource = run.Source + L"FTDIDriverInstall";
    const bool onMedium = FolderExists(driverSource);
    if (onMedium)
        run.DriverNotCopied = CopyDriverIntoTarget(run, driverSource);
    run.Host.AddLine(RunText::DriverStarted);
    // What runs is never the target's copy, which a program may hold or a library planted beside: a copy of
    // the medium's folder made for this start alone, in a private folder no one else may write.
    std::wstring why;
    const std::wstring copy =
        onMedium ? PrivateCopyOf(driverSource, L"TessaroDriver-", run.Elevated, why) : L"";
    const std::wstring program = (copy.empty() ? driverSource + L"\\" : copy) + L"FTDIDriverInstall.exe";
    const std::int32_t exitCode =
        copy.empty() ? -1 : ExecProgram(L"\"" + program + L"\"", SW_HIDE, true, copy);
    if (!copy.empty())
        RemovePrivateFolder(copy);
    if (exitCode == -1) {
        // The list names the medium's installer; the log where it was to start from, and why not.
        run.Host.AddLine(RunText::DriverNotStarted + Quoted(L"FTDIDriverInstall\\FTDIDriverInstall.exe"));
        run.Host.Trace(L"Установщик драйвера " + Quoted(program) + L" не запустился");
        if (!why.empty())
            run.Host.Trace(L"Копия установщика драйвера не сделана: " + why);
        return TStepEnd::Next;
    }
    // The installer's codes are its maker's to interpret: the run only records them.
    run.Host.Trace(L"Установщик драйвера " + Quoted(program) + L" завершился с кодом " +
                   std::to_wstring(exitCode));
    run.Host.AddLine(RunText::DriverDone);
    return TStepEnd::Next;
}

TStepEnd CopyPackages(TRunContext& run) {
    run.PackageFilesNotCopied =
        CopyReleasePackages(run.Host, run.Source, *run.Folder, run.Transaction->ReplacesInstallation());
    run.Chosen = ChooseReleasePackage(run.Host, run.Source, *run.Folder, run.Elevated);
    return TStepEnd::Next;
}

// The run's commit: its copies are on the disk and the package to install is known. What the script does,
// and everything after it, is not undone, and the clinic's database stays kept beside the medium's.
TStepEnd Commit(TRunContext& run) {
    run.Transaction->Commit();
    return TStepEnd::Next;
}

TStepEnd RunPackage(TRunContext& run) {
    run.Package = RunReleasePackage(run.Host, *run.Folder, run.Chosen);
    run.Package.FilesNotCopied = run.PackageFilesNotCopied;
    return TStepEnd::Next;
}

TStepEnd MakeShortcut(TRunContext& run) {
    std::wstring linkPath;
    CreateShortcut(run.Target + run.Options.ShellExe, 0, L"", L"", L"",
                   run.Options.ProductDescription + L" \"" + run.Options.ProductName + L"\"",
                   run.Options.ProductName, linkPath);
    run.Host.Trace(linkPath.empty() ? L"Ярлык на рабочем столе не создан: папка рабочего стола не найдена"
                                    : L"Ярлык на рабочем столе: " + Quoted(linkPath));
    return TStepEnd::Next;
}

TStepEnd Register(TRunContext& run) {
    run.Registered = RecordAndRegister(run.Host, run.Options, *run.Folder, run.Before, run.Elevated);
    run.Transaction->Finish();
    return TStepEnd::Next;
}

// Where a row lies against the commit.
enum class TPhase {
    Prepare, // nothing is written into the folder yet: nothing to undo
    Undone,  // a run that ends here is undone, and a stop asked for before the row stops it
    Commit,  // the commit itself: a stop asked for before it undoes the run
    After,   // nothing is undone any more
};

struct TRunStep {
    TStepEnd (*Run)(TRunContext&);
    TPhase Phase;
    bool Protected;      // the window refuses to close while the row runs
    const wchar_t* Time; // the name its duration is recorded under; null: none
};

constexpr TRunStep InstallSteps[] = {
    {&RefuseLinkedTarget, TPhase::Prepare, false, nullptr},
    {&TakeRunLock, TPhase::Prepare, false, nullptr},
    {&RefuseUnprotectable, TPhase::Prepare, false, nullptr},
    {&MakeTarget, TPhase::Prepare, false, nullptr},
    {&HoldTarget, TPhase::Prepare, false, nullptr},
    {&RecoverKilledRun, TPhase::Prepare, false, nullptr},
    {&PlanTheRun, TPhase::Prepare, false, nullptr},
    {&BeginTransaction, TPhase::Undone, false, nullptr},
    {&SettingsLine, TPhase::Undone, true, nullptr},
    {&DeployDatabase, TPhase::Undone, true, L"База данных и файлы сервера"},
    {&WriteCounter, TPhase::Undone, true, nullptr},
    {&InstallFontsStep, TPhase::Undone, false, L"Шрифты"},
    {&InstallDriver, TPhase::Undone, false, L"Драйвер интерфейсного блока"},
    {&CopyPackages, TPhase::Undone, false, L"Пакеты выпуска"},
    {&Commit, TPhase::Commit, false, nullptr},
    {&RunPackage, TPhase::After, false, L"Сценарий пакета выпуска и сведения о выпуске"},
    {&MakeShortcut, TPhase::After, false, nullptr},
    {&Register, TPhase::After, false, nullptr},
};

// How far a run got before it ended, for its outcome: whether it had committed, and what its undo achieved.
struct TRunReach {
    bool Committed = false;
    std::optional<TUndo> Undo;
};

// Undoes a run that ends before its commit, however it ends (a step that stops it, an error, the user's
// cancel, the session's end): the copies let go of their files first, then the transaction puts everything
// back. After the commit the journal goes at the run's end, however it ends. `Reach` learns which it was.
class TUndoUnlessCommitted {
public:
    TUndoUnlessCommitted(TRunContext& run, TRunReach& reach) : FRun(run), FReach(reach) {}
    TUndoUnlessCommitted(const TUndoUnlessCommitted&) = delete;
    TUndoUnlessCommitted& operator=(const TUndoUnlessCommitted&) = delete;
    ~TUndoUnlessCommitted() {
        if (!FRun.Transaction->Open()) {
            FReach.Committed = FReach.Committed || FRun.Transaction->Committed();
            FRun.Transaction->Finish();
            return;
        }
        try {
            FRun.Folder->Flushes().Abandon();
            FReach.Undo = FRun.Transaction->RollBack();
        } catch (...) {
            // What stayed kept is named in the journal, which the next run reads first.
            FReach.Undo = TUndo::NotWhole;
        }
    }

private:
    TRunContext& FRun;
    TRunReach& FReach;
};

TOutcome RunSteps(TRunContext& run, TRunReach& reach) {
    std::optional<TUndoUnlessCommitted> undo;
    TProtectedRows stretch(run.Host);
    for (const TRunStep& step : InstallSteps) {
        if (step.Phase != TPhase::Prepare && !undo)
            undo.emplace(run, reach);
        stretch.Set(step.Protected);
        if (step.Phase == TPhase::Undone || step.Phase == TPhase::Commit)
            RunStop().Check();
        if (run.Folder)
            run.Folder->Recheck();
        const TStepTimer timer(run.Host, step.Time);
        if (const TStepEnd end = step.Run(run); end != TStepEnd::Next)
            return end == TStepEnd::Busy ? TOutcome::Busy : TOutcome::Stopped;
    }
    return run.Package.ExitCode == 0 && run.Package.FilesNotCopied == 0 && run.DriverNotCopied == 0 &&
                   run.Registered
               ? TOutcome::Completed
               : TOutcome::Incomplete;
}

} // namespace

TRunOutcome RunInstallation(IInstallHost& Host, const TInstallOptions& Options) {
    TRunContext run(Host, Options);
    TRunReach reach;
    TRunOutcome outcome;
    try {
        outcome.Kind = RunSteps(run, reach);
    } catch (const TForeignLink& link) {
        // The line says where the run stopped; the box says why.
        Host.AddLine(link.Line());
        outcome.Reason = link.Message();
    } catch (const TCancelled& cancelled) {
        outcome = {TOutcome::Cancelled, cancelled.Message()};
    } catch (const TError& error) {
        outcome.Reason = error.Message();
    } catch (const std::exception& error) {
        outcome.Reason = UnexpectedErrorText(error.what());
    } catch (...) {
        outcome.Reason = UnexpectedErrorText(nullptr);
    }
    // A run that stopped (a step's failure, or an error) is told by how far it got; a cancel stays one,
    // whatever its undo achieved: its own lines and box say that.
    if (outcome.Kind == TOutcome::Stopped)
        outcome.Kind = reach.Undo
                           ? (*reach.Undo == TUndo::NotWhole ? TOutcome::NotFullyUndone : TOutcome::Undone)
                       : reach.Committed ? TOutcome::Stopped
                                         : TOutcome::Refused;
    // A first installation undone whole leaves no folder of its own either: the levels it made go, deepest
    // first, once the run has let go of them (each only where it is empty and no link).
    if (reach.Undo && *reach.Undo != TUndo::NotWhole && !run.MadeLevels.empty()) {
        run.Transaction.reset();
        run.Folder.reset();
        for (auto level = run.MadeLevels.rbegin(); level != run.MadeLevels.rend(); ++level)
            RemoveFolderUnlessLink(*level);
    }
    return outcome;
}
