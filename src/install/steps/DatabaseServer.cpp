// The database deployment: the database file first, then the server's files group by group.
#include "install/steps/DatabaseServer.h"

#include <windows.h>

#include <chrono>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/FileIO.h"
#include "common/StrUtils.h"
#include "install/files/Copies.h"
#include "install/files/Folders.h"
#include "install/files/FilesInUse.h"
#include "install/files/RunCopies.h"
#include "install/run/RunJournal.h"
#include "install/run/RunStop.h"
#include "install/run/UndoFiles.h"

namespace {

constexpr wchar_t Done[] = L"Завершено";
constexpr wchar_t Failed[] = L"ОШИБКА!!!";
std::wstring SizeText(const std::wstring& path) {
    const std::optional<std::uint64_t> size = FileSizeOf(path);
    return size ? std::to_wstring(*size) + L" байт" : L"размер неизвестен";
}

// Copies one file under its own step line: true when it arrived. Errors that name a file go on to the caller,
// leaving the line without its ending. `Hash`, where given, receives the content hash of the copy.
bool CopyStep(IInstallHost& Host, std::size_t Line, const std::wstring& Name, const std::wstring& From,
              const std::wstring& To, TRunCopies* Run, bool Remember, std::string* Hash = nullptr) {
    const auto started = std::chrono::steady_clock::now();
    auto record = [&](const std::wstring& outcome) {
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
        Host.Trace(CopyStepText(Name) + L" " + SizeText(From) + L", " + std::to_wstring(took.count()) +
                   L" мс: " + outcome);
    };
    bool copied = false;
    DWORD failure = 0;
    try {
        copied = RetryWhileInUse(Host, [&] {
            return Run ? CopyForRun(From, To, *Run, Remember, &failure)
                       : CopyFileStream(From, To, &failure, Hash);
        });
    } catch (const TError& error) {
        record(error.Message());
        throw;
    }
    record(copied ? std::wstring(Done) : std::wstring(Failed) + L" " + SystemErrorText(failure));
    Host.CompleteLine(Line, copied ? Done : Failed);
    return copied;
}

bool CopyFileWithLine(IInstallHost& Host, const TDeployFile& File, const std::wstring& Source,
                      const std::wstring& Target, TRunCopies* Run) {
    const std::size_t line = Host.AddStepLine(CopyStepText(File.Name));
    return CopyStep(Host, line, File.Name, Source + File.Source, Target + File.Dest, Run, true);
}

// The database holds the clinic's recordings: the medium's empty one must never take its place unseen, and
// the name must never hold a database that is not whole. The medium's is copied under a name of the run's,
// on the disk before anything else happens to it, and takes the database's name at the run's commit, when
// the clinic's takes its dated one (RunTransaction.h); until then the suite goes on with the clinic's.
bool DeployDatabase(IInstallHost& Host, const std::wstring& Source, const std::wstring& Target,
                    TRunCopies* Run) {
    const TDeployFile database = DatabaseFile();
    const std::wstring dest = Target + database.Dest;
    const std::size_t line = Host.AddStepLine(CopyStepText(database.Name));
    TRunTransaction* transaction = Run ? Run->Transaction() : nullptr;
    const std::wstring copy = transaction ? transaction->DatabaseCopy() : Target + DatabaseCopyName(L"0");
    if (transaction)
        transaction->DatabaseCopyBegins();
    std::string hash;
    if (!CopyStep(Host, line, database.Name, Source + database.Source, copy, nullptr, false, &hash))
        return false;
    if (transaction) {
        transaction->DatabaseCopied(FileSizeOf(copy).value_or(0), hash);
        PassRunPoint(L"database-copied");
        return true;
    }
    // Without a run (the step tried alone) the copy takes the name at once.
    std::wstring kept;
    if (FileExists(dest)) {
        const std::wstring folder = ExtractFilePath(dest);
        const TLocalTime now = DeployClock()();
        int attempt = 0;
        do
            kept = folder + BackupFileName(database.Name, now, attempt++);
        while (PathExists(kept) && attempt < 100);
    }
    try {
        SwapInDatabase(Host, dest, copy, kept);
    } catch (...) {
        RemoveFileNoFollow(copy);
        throw;
    }
    if (!kept.empty())
        Host.AddLine(L"Прежняя база данных сохранена: " + Quoted(kept));
    return true;
}

} // namespace

TDeployClock& DeployClock() noexcept {
    static TDeployClock clock = &LocalNow;
    return clock;
}

TDeployResult DeployDatabaseServer(IInstallHost& Host, const std::wstring& Source, const std::wstring& Target,
                                   int WindowsIndex, TRunCopies* Run) {
    const std::wstring databaseFolder = Target + DatabaseFolder;
    // The clinic's database is renamed and replaced in its folder: never in one a link leads to.
    if (Run)
        Run->CheckFolder(databaseFolder);
    if (!FolderExists(databaseFolder)) {
        if (::CreateDirectoryW(databaseFolder.c_str(), nullptr)) {
            if (Run && Run->Transaction())
                Run->Transaction()->AddedFolder(databaseFolder);
        } else {
            const std::wstring text = L"Ошибка при создании каталога <DTAfb>!";
            Host.ShowError(text);
            Host.AddLine(text);
            return TDeployResult::Stopped;
        }
        Host.AddLine(L"Каталог <DTAfb> создан...");
    }

    if (!DeployDatabase(Host, Source, Target, Run))
        return TDeployResult::Stopped;

    for (const TDeployGroup& group : ServerFileGroups(WindowsIndex)) {
        if (!group.Folder.empty()) {
            if (Run)
                Run->MakeFolder(Target + group.Folder);
            else
                EnsureDir(Target + group.Folder);
        }
        for (const TDeployFile& file : group.Files)
            if (!CopyFileWithLine(Host, file, Source, Target, Run) && group.FailureStops)
                return TDeployResult::Stopped;
    }
    return TDeployResult::Completed;
}
