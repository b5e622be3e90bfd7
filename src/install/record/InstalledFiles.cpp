#include "install/record/InstalledFiles.h"

#include <windows.h>

#include <vector>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/FileIO.h"
#include "common/HandlesWin.h"
#include "common/StrUtils.h"
#include "install/files/ContentHash.h"
#include "install/files/TargetFolder.h"
#include "install/trust/TargetAccess.h"

TTreeState ReadTreeState(TTargetFolder& Target) {
    TTreeState state;
    Target.WalkFiles(
        L"",
        [&](const std::wstring& relative, const TFolderEntry& found) {
            state[relative] = {found.Size, found.WriteTime};
        },
        [](const std::wstring& relative) { return !NeverRecorded(relative); });
    return state;
}

TTreeState ReadTreeState(const std::wstring& Folder) {
    TTargetFolder folder(Folder);
    return ReadTreeState(folder);
}

bool SameContent(const std::wstring& A, const std::wstring& B) {
    const std::optional<std::uint64_t> a = FileSizeOf(A);
    if (!a || a != FileSizeOf(B))
        return false;
    try {
        return HashFile(A) == HashFile(B);
    } catch (const TError&) {
        return false;
    }
}

std::optional<TInstallRecord> ReadInstallRecord(TTargetFolder& Target, bool Verified) {
    const TFileBytes bytes = Verified ? ReadFromAdminFolder(Target, UninstallFolder, InstallRecordFile)
                                      : Target.Read(InstallRecordName);
    if (bytes.Status == TReadStatus::NotFound)
        return std::nullopt;
    if (bytes.Status != TReadStatus::Ok)
        throw TError(L"Не удалось прочитать " + Quoted(Target.Full(InstallRecordName)) + L": " + bytes.Error);
    return ParseInstallRecord(bytes.Bytes);
}

namespace {
std::string HashOf(TTargetFolder& target, const std::wstring& relative) {
    DWORD code = 0;
    const TUniqueFile file = target.Open(relative, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         TTargetFolder::TUse::Read, &code);
    if (!file)
        throw TError(L"Не удалось открыть файл " + Quoted(target.Full(relative)) + L": " +
                     TargetErrorText(code));
    return HashOpenFile(file.Get(), target.Full(relative));
}
} // namespace

std::uint64_t RecordInstalledFiles(TTargetFolder& Target, const TTreeState& Before,
                                   const std::vector<std::wstring>& OwnCopies, bool Verified) {
    const TTreeState after = ReadTreeState(Target);
    std::vector<TRecordedFile> put;
    for (const auto& [relative, state] : after) {
        const auto before = Before.find(relative);
        bool own = before == Before.end() || !(before->second == state);
        for (std::size_t i = 0; !own && i < OwnCopies.size(); ++i)
            own = SameText(OwnCopies[i], relative);
        if (!own)
            continue;
        // A copy hashed as it was written, unchanged since (a package's script may have written it anew).
        const auto known = Target.Hashes().find(relative);
        put.push_back({relative, state.Size,
                       known != Target.Hashes().end() && known->second.State == state
                           ? known->second.Hash
                           : HashOf(Target, relative)});
    }
    TInstallRecord record = ReadInstallRecord(Target, Verified).value_or(TInstallRecord{});
    MergeInstallRecord(record, put, ClinicDataFolders());
    if (!Verified)
        Target.MakeFolder(UninstallFolder);
    Target.Replace(InstallRecordName, FormatInstallRecord(record));
    std::uint64_t bytes = 0;
    for (const TRecordedFile& file : record.Files)
        bytes += file.Size;
    return bytes;
}
