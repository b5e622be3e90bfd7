// The installation run, step by step. It knows no window: every line, question and error goes to the host.
#include "install/run/InstallRun.h"

#include <windows.h>

#include <chrono>
#include <exception>
#include <functional>
#include <optional>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/FileIO.h"
#include "common/HandlesWin.h"
#include "common/IniFile.h"
#include "common/StrUtils.h"
#include "common/TH_Common_Const.h"
#include "install/steps/DatabaseServer.h"
#include "install/run/DiskSpace.h"
#include "install/files/Copies.h"
#include "install/files/Folders.h"
#include "install/files/Processes.h"
#include "install/steps/Fonts.h"
#include "install/record/InstallRecord.h"
#include "install/record/InstalledFiles.h"
#include "install/trust/Links.h"
#include "install/steps/ReleasePackage.h"
#include "install/files/RunCopies.h"
#include "install/run/RunFiles.h"
#include "install/run/RunJournal.h"
#include "install/run/RunLock.h"
#include "install/run/RunStop.h"
#include "install/run/RunRecord.h"
#include "install/run/RunTransaction.h"
#include "install/run/RunLogFile.h"
#include "install/trust/TargetAccess.h"
#include "install/files/Walks.h"
#include "support/Shortcut.h"

namespace {

// The trimmed target made absolute against the current folder (still the wizard's own here): later steps
// change the current folder, and a relative target would then point somewhere else.
std::wstring AbsoluteTarget(const std::wstring& trimmed) {
    return trimmed.empty() ? trimmed : WithTrailingBackslash(FullPathOf(trimmed));
}

// Writes how long a step took to the run's record, however the step ends.
class TStepTimer {
public:
    TStepTimer(IProgress& progress, std::wstring step)
        : FProgress(progress), FStep(std::move(step)), FStart(std::chrono::steady_clock::now()) {}
    TStepTimer(const TStepTimer&) = delete;
    TStepTimer& operator=(const TStepTimer&) = delete;
    ~TStepTimer() {
        try {
            const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - FStart);
            FProgress.Trace(FStep + L": " + std::to_wstring(elapsed.count()) + L" мс");
        } catch (...) {
            // The record of a duration is not worth an error of its own.
        }
    }

private:
    IProgress& FProgress;
    std::wstring FStep;
    std::chrono::steady_clock::time_point FStart;
};

// Writes the run's keys into one of its settings files (RunSettingKeys), each with what it held first in the
// run's journal, so that an undo puts back those keys alone, in the file as it is by then: whatever the
// suite's programs write there meanwhile (they save their settings as they close) stays.
void WriteSettings(const std::wstring& target, const wchar_t* file, TRunTransaction& transaction) {
    const std::wstring path = target + file;
    TIniFile ini(path);
    const bool added = !FileExists(path);
    std::vector<TJournalSetting> keys;
    for (const TSettingKey& key : RunSettingKeys)
        if (std::wstring_view(key.File) == file)
            keys.push_back({file, key.Section, key.Key, ini.RawValue(key.Section, key.Key), key.Value});
    transaction.ChangingSettings(file, added, keys);
    for (const TJournalSetting& key : keys)
        ini.WriteString(key.Section, key.Key, key.Written);
    ini.UpdateFile();
}

// Written once; the suite counts on from what it finds, so an existing file is never touched.
void WriteLastNum(const std::wstring& target, IProgress& progress, TRunTransaction& transaction) {
    const std::wstring settings = target + std::wstring(SettingsDir);
    const std::wstring fileName = settings + L"lastnum.dta";
    if (!FolderExists(settings) || PathExists(fileName))
        return;
    const auto bytes = LastNumContent(DaysSince1899(LocalNow()));
    TUniqueFile file(::CreateFileW(fileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file ||
        !::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        progress.Trace(L"Файл " + Quoted(fileName) + L" не записан: " + SystemErrorText(::GetLastError()));
    if (file)
        transaction.AddedFile(fileName);
}

// Returns how many copies into the target did not arrive (its own copy of the installer's folder).
std::size_t InstallDriver(IInstallHost& host, const std::wstring& source, const std::wstring& target,
                          const TRunCopies& copies, bool elevated) {
    if (!host.AskYesNo(RunText::DriverQuestion))
        return 0;
    const std::wstring driverSource = source + L"FTDIDriverInstall";
    // The shell's copy knows nothing of links: the folder it writes into must be the suite's own.
    copies.CheckFolder(target + L"FTDIDriverInstall");
    // The suite's folder keeps a copy of the installer, onto the target itself: the shell then puts the
    // folder inside it, and merges into it on a second run. Its question before replacing the installer of a
    // first run would wait forever in an unattended run.
    std::size_t notCopied = 0;
    if (FolderExists(driverSource)) {
        // What counts is what the folder holds afterwards: Wine's shell reports success where a file that a
        // program holds stayed as it was.
        ShellCopyDir(driverSource, target, static_cast<HWND>(host.OwnerWindow()), host.Unattended());
        WalkFiles(driverSource, [&](const std::wstring& relative, const WIN32_FIND_DATAW&) {
            const std::wstring copied = target + L"FTDIDriverInstall\\" + relative;
            if (!SameContent(driverSource + L"\\" + relative, copied)) {
                host.AddLine(FileNotCopiedText(copied, RunText::DriverNotCopied));
                ++notCopied;
            }
        });
    }
    host.AddLine(RunText::DriverStarted);
    // What runs is never the target's copy, which a program may hold or a library planted beside: a copy of
    // the medium's folder made for this start alone, in a private folder no one else may write.
    std::wstring why;
    const std::wstring copy = FolderExists(driverSource)
                                  ? PrivateCopyOf(driverSource, L"TessaroDriver-", elevated, why)
                                  : std::wstring();
    const std::wstring program = (copy.empty() ? driverSource + L"\\" : copy) + L"FTDIDriverInstall.exe";
    const std::int32_t exitCode =
        copy.empty() ? -1 : ExecProgram(L"\"" + program + L"\"", SW_HIDE, true, copy);
    if (!copy.empty())
        RemovePrivateFolder(copy);
    if (exitCode == -1) {
        // The list names the medium's installer; the log where it was to start from, and why not.
        host.AddLine(RunText::DriverNotStarted + Quoted(L"FTDIDriverInstall\\FTDIDriverInstall.exe"));
        host.Trace(L"Установщик драйвера " + Quoted(program) + L" не запустился");
        if (!why.empty())
            host.Trace(L"Копия установщика драйвера не сделана: " + why);
        return notCopied;
    }
    // The installer's codes are its maker's to interpret: the run only records them.
    host.Trace(L"Установщик драйвера " + Quoted(program) + L" завершился с кодом " +
               std::to_wstring(exitCode));
    host.AddLine(RunText::DriverDone);
    return notCopied;
}

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
    TUndoUnlessCommitted(TRunCopies& copies, TRunTransaction& transaction, TRunReach& reach)
        : FCopies(copies), FTransaction(transaction), FReach(reach) {}
    TUndoUnlessCommitted(const TUndoUnlessCommitted&) = delete;
    TUndoUnlessCommitted& operator=(const TUndoUnlessCommitted&) = delete;
    ~TUndoUnlessCommitted() {
        if (!FTransaction.Open()) {
            FReach.Committed = FReach.Committed || FTransaction.Committed();
            FTransaction.Finish();
            return;
        }
        try {
            FCopies.Abandon();
            FReach.Undo = FTransaction.RollBack();
        } catch (...) {
            // What stayed kept is named in the journal, which the next run reads first.
            FReach.Undo = TUndo::NotWhole;
        }
    }

private:
    TRunCopies& FCopies;
    TRunTransaction& FTransaction;
    TRunReach& FReach;
};

} // namespace

bool ProcessIsElevated() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw))
        return false;
    TUniqueHandle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!::GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof elevation, &size))
        return false;
    return elevation.TokenIsElevated != 0;
}

namespace {

// A walk of the target passes over links anyone could have made; the run's record names each.
std::function<void(const std::wstring&)> LinkTrace(IProgress& host) {
    return [&host](const std::wstring& link) { host.Trace(PassedOverLinkText(link)); };
}

TOutcome RunSteps(IInstallHost& Host, const TInstallOptions& Options, TRunReach& reach) {
    const std::wstring target = AbsoluteTarget(TrimControl(Options.TargetText));
    const std::wstring& source = Options.SourceFolder;

    // Any user may have made the folder, or a level above it, a link before the first installation: nothing
    // is made, written or run through it.
    if (const std::wstring foreign = ForeignLevelOfTarget(target); !foreign.empty()) {
        Host.ShowError(ForeignTargetText(foreign));
        Host.AddLine(ForeignLinkLine(foreign));
        return TOutcome::Refused;
    }
    // One run at a time in a folder, from before anything is made or read there to the run's end: a second
    // one would undo the first's work under it.
    const TRunLock lock(target);
    if (!lock.Held()) {
        const std::wstring text = RunBusyText(target);
        Host.ShowError(text);
        Host.AddLine(text);
        return TOutcome::Busy;
    }
    PassRunPoint(L"locked");
    TRunTransaction transaction(Host, target);
    const bool elevated = Options.Elevated ? Options.Elevated() : ProcessIsElevated();
    // With an administrator's rights the folder becomes the administrators', as Program Files is: a folder
    // where that cannot hold (an ordinary user could rename a level above it, or its disk keeps no rights) is
    // refused before anything is made there.
    const auto refused = [&] {
        const std::wstring refusal = elevated ? TargetRefusal(target) : std::wstring();
        if (!refusal.empty()) {
            Host.ShowError(refusal);
            Host.AddLine(TargetRefusalLine(target));
        }
        return !refusal.empty();
    };
    if (refused())
        return TOutcome::Refused;
    if (!FolderExists(target)) {
        // Every missing level, as users expect of an installer ("C:\Программы и данные\Дедира\" on a PC
        // without "Программы и данные"); the box and the log say which level failed and why. With an
        // administrator's rights each is made with the administrators' list, never made first and closed
        // after.
        std::wstring level;
        std::vector<std::wstring> made;
        if (const DWORD code = elevated ? MakeAdminFolders(target, &level, &made)
                                        : ForceDirectories(target, &level, &made)) {
            Host.ShowError(std::wstring(RunText::DirCreateError) + L"\r\n" + Quoted(level) + L": " +
                           SystemErrorText(code));
            Host.AddLine(RunText::DirCreateError);
            return TOutcome::Refused;
        }
        Host.AddLine(RunText::DirCreated);
        for (const std::wstring& folder : made)
            transaction.AddedFolder(folder);
        // A level someone made meanwhile was not checked before: every level is there now.
        if (refused())
            return TOutcome::Refused;
    }
    // Also after the folder was made: one that someone else made first, between the look and the making, is
    // found here. A folder that is the machine's already is left as it is.
    if (elevated)
        TakeOverTarget(Host, target);
    if (elevated) {
        // The journal and the record are read only from an uninstaller's folder of the administrators'; one
        // that is not is moved aside, with what it holds, and made anew.
        TTargetGuard(target).CheckFolder(target + UninstallFolder);
        const TAdminFolder uninstall = EnsureAdminFolder(target + UninstallFolder);
        if (uninstall.Made && uninstall.MovedAside.empty())
            transaction.AddedFolder(target + UninstallFolder);
        if (!uninstall.MovedAside.empty()) {
            Host.AddLine(FolderMovedAsideLine(target + UninstallFolder));
            Host.Trace(FolderMovedAsideText(target + UninstallFolder, uninstall.Fault, uninstall.MovedAside));
        }
    }
    // A run killed before its commit left its predecessors kept: they go back first.
    if (!RecoverInterruptedRun(Host, target, elevated)) {
        Host.ShowError(RunText::NotRecovered);
        Host.AddLine(RunText::NotRecoveredLine);
        return TOutcome::Refused;
    }
    // Over an installation, a package that arrives in part stops the run: the previous release stays whole.
    transaction.SetReplacesInstallation(FileExists(target + InstallRecordName) ||
                                        FileExists(target + L"ReleaseInfo"));
    if (!EnoughSpace(Host, Options, target, elevated))
        return TOutcome::Refused;
    // What the folder holds before the run: what differs afterwards is what the run put there.
    const TTreeState before = ReadTreeState(target, LinkTrace(Host));
    TRunCopies copies;
    copies.SetTarget(target);
    copies.SetTransaction(&transaction);
    copies.OnForeignLink = LinkTrace(Host);
    // From here until the commit (the package step's copies on the disk) a run that ends is undone.
    TUndoUnlessCommitted undo(copies, transaction, reach);
    copies.CheckFolder(target + UninstallFolder);
    transaction.Begin(elevated);
    // A target created just now has no settings folder yet, and the settings file goes into it.
    copies.MakeFolder(target + std::wstring(SettingsDir));
    WriteSettings(target, HolterIni, transaction);
    PassRunPoint(L"settings-written");

    {
        TProtectedStretch stretch(Host);
        const std::size_t line = Host.AddStepLine(RunText::SettingsStep);
        Host.CompleteLine(line, RunText::Done);

        {
            TStepTimer timer(Host, L"База данных и файлы сервера");
            if (DeployDatabaseServer(Host, source, target, Options.WindowsIndex, &copies) ==
                TDeployResult::Stopped)
                return TOutcome::Stopped;
        }
        PassRunPoint(L"server-files");
        copies.CheckFolder(target + std::wstring(SettingsDir));
        WriteLastNum(target, Host, transaction);
        if (Options.Edition) {
            copies.CheckFolder(target);
            WriteSettings(target, BtoothIni, transaction);
        }
    }
    RunStop().Check();

    PassRunPoint(L"fonts");
    if (!elevated) {
        Host.AddLine(RunText::FontsNotElevated);
    } else {
        TStepTimer timer(Host, L"Шрифты");
        try {
            InstallFonts(Host, source);
        } catch (const TError& error) {
            Host.Trace(L"Установка шрифтов прервана: " + error.Message());
        } catch (const std::exception&) {
            Host.Trace(L"Установка шрифтов прервана");
        }
    }

    RunStop().Check();
    std::size_t driverNotCopied = 0;
    if (Options.InstallDriver) {
        TStepTimer timer(Host, L"Драйвер интерфейсного блока");
        driverNotCopied = InstallDriver(Host, source, target, copies, elevated);
    }
    RunStop().Check();
    TPackageOutcome package;
    {
        TStepTimer timer(Host, L"Пакеты выпуска и сведения о выпуске");
        package = InstallReleasePackage(Host, source, target, target, &copies, elevated);
    }
    // The package step committed the run before its script: from here on nothing is undone, and the clinic's
    // database stays kept beside the medium's.
    std::wstring linkPath;
    CreateShortcut(target + Options.ShellExe, 0, L"", L"", L"",
                   Options.ProductDescription + L" \"" + Options.ProductName + L"\"", Options.ProductName,
                   linkPath);
    Host.Trace(linkPath.empty() ? L"Ярлык на рабочем столе не создан: папка рабочего стола не найдена"
                                : L"Ярлык на рабочем столе: " + Quoted(linkPath));
    const bool registered = RecordAndRegister(Host, Options, target, before, elevated, copies.Hashes());
    transaction.Finish();

    return package.ExitCode == 0 && package.FilesNotCopied == 0 && driverNotCopied == 0 && registered
               ? TOutcome::Completed
               : TOutcome::Incomplete;
}

} // namespace

TRunOutcome RunInstallation(IInstallHost& Host, const TInstallOptions& Options) {
    TRunReach reach;
    TRunOutcome outcome;
    try {
        outcome.Kind = RunSteps(Host, Options, reach);
    } catch (const TForeignLink& link) {
        // The line says where the run stopped; the box says why.
        Host.AddLine(ForeignLinkLine(link.Link()));
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
    return outcome;
}
