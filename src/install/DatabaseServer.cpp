// The database deployment: the database file first, then the server's files group by group.
#include "install/DatabaseServer.h"

#include <windows.h>

#include <chrono>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/FileIO.h"
#include "common/StrUtils.h"
#include "install/Copies.h"
#include "install/Folders.h"
#include "install/FilesInUse.h"
#include "install/RunCopies.h"

namespace {

constexpr wchar_t Done[] = L"Завершено";
constexpr wchar_t Failed[] = L"ОШИБКА!!!";
std::wstring SizeText(const std::wstring& path) {
    const std::optional<std::uint64_t> size = FileSizeOf(path);
    return size ? std::to_wstring(*size) + L" байт" : L"размер неизвестен";
}

// Copies one file under its own step line: true when it arrived. Errors that name a file go on to the caller,
// leaving the line without its ending.
bool CopyStep(IInstallHost& Host, std::size_t Line, const std::wstring& Name, const std::wstring& From,
              const std::wstring& To, TRunCopies* Run, bool Remember) {
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
            return Run ? CopyForRun(From, To, *Run, Remember, &failure) : CopyFileStream(From, To, &failure);
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

// The database holds the clinic's recordings: the medium's empty one must never take its place unseen.
// The existing file is renamed beside itself first and given back its name if the copy does not arrive.
bool DeployDatabase(IInstallHost& Host, const std::wstring& Source, const std::wstring& Target,
                    std::wstring& Kept, TRunCopies* Run) {
    const TDeployFile database = DatabaseFile();
    const std::wstring dest = Target + database.Dest;
    const std::size_t line = Host.AddStepLine(CopyStepText(database.Name));

    std::wstring kept;
    if (FileExists(dest)) {
        const std::wstring folder = ExtractFilePath(dest);
        const std::wstring name = dest.substr(folder.size());
        const TLocalTime now = DeployClock()();
        int attempt = 0;
        do
            kept = folder + BackupFileName(name, now, attempt++);
        while (PathExists(kept) && attempt < 100);
        // In the run's journal before the rename: a run killed after it gives the database back next time.
        if (Run && Run->Transaction())
            Run->Transaction()->KeepDatabase(dest, kept);
        // The database server holding the file is the usual case of a reinstall over a suite in use.
        while (!::MoveFileExW(dest.c_str(), kept.c_str(), MOVEFILE_WRITE_THROUGH)) {
            const DWORD code = ::GetLastError();
            if (RetryInUse(Host, dest, code))
                continue;
            Host.Trace(L"Прежнюю базу данных не удалось переименовать: " + SystemErrorText(code));
            Host.CompleteLine(line, Failed);
            return false;
        }
    }
    auto giveBack = [&] {
        if (!kept.empty() && !::MoveFileExW(kept.c_str(), dest.c_str(), MOVEFILE_WRITE_THROUGH))
            Host.AddLine(L"Прежняя база данных сохранена: " + Quoted(kept));
    };

    bool copied = false;
    try {
        // On the disk before it takes the name, even where the clinic's has made way for it: the suite never
        // finds a database under that name that is not whole.
        copied = CopyStep(Host, line, database.Name, Source + database.Source, dest, nullptr, false);
    } catch (...) {
        giveBack();
        throw;
    }
    if (!copied)
        giveBack();
    else if (!kept.empty())
        Host.AddLine(L"Прежняя база данных сохранена: " + Quoted(kept));
    if (copied)
        Kept = kept;
    // A first database is the run's own: a run undone takes it away again.
    if (copied && kept.empty() && Run && Run->Transaction())
        Run->Transaction()->AddedFile(dest);
    return copied;
}

} // namespace

TDeployClock& DeployClock() noexcept {
    static TDeployClock clock = &LocalNow;
    return clock;
}

void RestoreDatabase(IProgress& Host, const std::wstring& Target, const std::wstring& Kept) {
    const std::wstring dest = Target + DatabaseFile().Dest;
    if (::MoveFileExW(Kept.c_str(), dest.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        Host.AddLine(L"Прежняя база данных возвращена на место: " + Quoted(dest));
    else
        Host.Trace(L"Прежнюю базу данных не удалось вернуть на место: " + SystemErrorText(::GetLastError()));
}

TDeployResult DeployDatabaseServer(IInstallHost& Host, const std::wstring& Source, const std::wstring& Target,
                                   int WindowsIndex, std::wstring* KeptDatabase, TRunCopies* Run) {
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

    std::wstring kept;
    if (!DeployDatabase(Host, Source, Target, kept, Run))
        return TDeployResult::Stopped;
    if (KeptDatabase)
        *KeptDatabase = kept;

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
