// The database deployment: the database file first, then the server's files group by group.
#include "install/steps/DatabaseServer.h"

#include <windows.h>

#include <chrono>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/FileIO.h"
#include "common/StrUtils.h"
#include "install/files/Copies.h"
#include "install/files/TargetFolder.h"
#include "install/run/RunStop.h"
#include "install/run/RunTransaction.h"
#include "install/trust/Links.h"

namespace {

constexpr wchar_t Done[] = L"Завершено";
constexpr wchar_t Failed[] = L"ОШИБКА!!!";
constexpr wchar_t FolderNotMade[] = L"Ошибка при создании каталога <DTAfb>!";

std::wstring SizeText(const std::wstring& path) {
    const std::optional<std::uint64_t> size = FileSizeOf(path);
    return size ? std::to_wstring(*size) + L" байт" : L"размер неизвестен";
}

// Copies one file under its own step line: true when it arrived. Errors that name a file go on to the caller,
// leaving the line without its ending.
bool CopyStep(IInstallHost& Host, TTargetFolder& Target, std::size_t Line, const std::wstring& Name,
              const std::wstring& From, const std::wstring& To, const TCopyHow& How = {}) {
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
        copied = RetryWhileInUse(Target, Host, [&] { return CopyInto(Target, From, To, &failure, How); });
    } catch (const TError& error) {
        record(error.Message());
        throw;
    }
    record(copied ? std::wstring(Done) : std::wstring(Failed) + L" " + SystemErrorText(failure));
    Host.CompleteLine(Line, copied ? Done : Failed);
    return copied;
}

// The database's folder, made where it is missing; false where it cannot be (a file in its place).
bool MakeDatabaseFolder(IInstallHost& Host, TTargetFolder& Target) {
    try {
        if (Target.FolderIfThere(DatabaseFolder))
            return true;
        Target.MakeFolder(DatabaseFolder);
    } catch (const TForeignLink&) {
        throw;
    } catch (const TFileInUse&) {
        throw;
    } catch (const TSystemError&) {
        Host.ShowError(FolderNotMade);
        Host.AddLine(FolderNotMade);
        return false;
    }
    Host.AddLine(L"Каталог <DTAfb> создан...");
    return true;
}

// The database holds the clinic's recordings: the medium's empty one must never take its place unseen, and
// the name must never hold a database that is not whole. The medium's is copied under a name of the run's,
// on the disk before anything else happens to it, and takes the database's name at the run's commit, when
// the clinic's takes its dated one (RunTransaction.h); until then the suite goes on with the clinic's.
bool DeployDatabase(IInstallHost& Host, const std::wstring& Source, TTargetFolder& Target,
                    TRunTransaction& Transaction) {
    const TDeployFile database = DatabaseFile();
    // A second name of another file, which any user could have made there, is never renamed at the commit.
    DWORD code = 0;
    if (!Target.Open(database.Dest, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     TTargetFolder::TUse::Change, &code) &&
        (code == LinkInPlace || code == OtherNames))
        throw TError(L"Базу данных " + Quoted(Target.Full(database.Dest)) + L" заменить нельзя: " +
                     TargetErrorText(code));
    const std::size_t line = Host.AddStepLine(CopyStepText(database.Name));
    Transaction.DatabaseCopyBegins();
    std::string hash;
    TCopyHow how;
    how.Remember = false;
    how.FlushNow = true; // beside the package copies, its flush slowed them several times over
    how.Hash = &hash;
    if (!CopyStep(Host, Target, line, database.Name, Source + database.Source, Transaction.DatabaseCopy(),
                  how))
        return false;
    Transaction.DatabaseCopied(FileSizeOf(Source + database.Source).value_or(0), hash);
    PassRunPoint(L"database-copied");
    return true;
}

} // namespace

TDeployResult DeployDatabaseServer(IInstallHost& Host, const std::wstring& Source, TTargetFolder& Target,
                                   int WindowsIndex, TRunTransaction& Transaction) {
    // The clinic's database is renamed and replaced in its folder: never in one a link leads to.
    if (!MakeDatabaseFolder(Host, Target) || !DeployDatabase(Host, Source, Target, Transaction))
        return TDeployResult::Stopped;
    for (const TDeployGroup& group : ServerFileGroups(WindowsIndex)) {
        if (!group.Folder.empty())
            Target.MakeFolder(group.Folder);
        for (const TDeployFile& file : group.Files) {
            const std::size_t line = Host.AddStepLine(CopyStepText(file.Name));
            if (!CopyStep(Host, Target, line, file.Name, Source + file.Source, file.Dest) &&
                group.FailureStops)
                return TDeployResult::Stopped;
        }
    }
    return TDeployResult::Completed;
}
