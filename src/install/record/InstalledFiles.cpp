#include "install/record/InstalledFiles.h"

#include <windows.h>

#include <vector>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/FileIO.h"
#include "common/HandlesWin.h"
#include "common/StrUtils.h"
#include "install/files/ContentHash.h"
#include "install/files/Copies.h"
#include "install/files/Folders.h"
#include "install/trust/TargetAccess.h"
#include "install/files/Walks.h"

TTreeState ReadTreeState(const std::wstring& Target,
                         const std::function<void(const std::wstring&)>& OnForeignLink) {
    TTreeState state;
    WalkFiles(
        WithoutTrailingBackslash(Target),
        [&](const std::wstring& relative, const WIN32_FIND_DATAW& found) {
            if (NeverRecorded(relative))
                return;
            state[relative] = FileStateOf(found);
        },
        OnForeignLink);
    return state;
}

std::string HashFile(const std::wstring& Path) {
    TUniqueFile file(::CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        ThrowLastError(L"Не удалось открыть файл " + Quoted(Path));
    return HashOpenFile(file.Get(), Path);
}

std::string HashOpenFile(HANDLE File, const std::wstring& Path) {
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(File, start, nullptr, FILE_BEGIN))
        ThrowLastError(L"Не удалось прочитать файл " + Quoted(Path));
    TContentHash hash;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(File, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
            ThrowLastError(L"Не удалось прочитать файл " + Quoted(Path));
        if (got == 0)
            break;
        hash.Add(buffer.data(), got);
    }
    return hash.Hex();
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

std::optional<TInstallRecord> ReadInstallRecord(const std::wstring& Target, bool Verified) {
    const std::wstring name = Target + InstallRecordName;
    const TFileBytes bytes =
        Verified ? ReadFromAdminFolder(Target + UninstallFolder, InstallRecordFile) : ReadWholeFile(name);
    if (bytes.Status == TReadStatus::NotFound)
        return std::nullopt;
    if (bytes.Status != TReadStatus::Ok)
        throw TError(L"Не удалось прочитать " + Quoted(name) + L": " + bytes.Error);
    return ParseInstallRecord(bytes.Bytes);
}

std::uint64_t RecordInstalledFiles(const std::wstring& Target, const TTreeState& Before,
                                   const std::vector<std::wstring>& OwnCopies, const TKnownHashes& Known,
                                   const std::function<void(const std::wstring&)>& OnForeignLink,
                                   bool Verified) {
    const TTreeState after = ReadTreeState(Target, OnForeignLink);
    std::vector<TRecordedFile> put;
    for (const auto& [relative, state] : after) {
        const auto before = Before.find(relative);
        bool own = before == Before.end() || !(before->second == state);
        for (std::size_t i = 0; !own && i < OwnCopies.size(); ++i)
            own = SameText(OwnCopies[i], relative);
        if (!own)
            continue;
        const std::wstring path = Target + relative;
        // A copy hashed as it was written, unchanged since (a package's script may have written it anew).
        const auto known = Known.find(path);
        put.push_back(
            {relative, state.Size,
             known != Known.end() && known->second.State == state ? known->second.Hash : HashFile(path)});
    }
    TInstallRecord record = ReadInstallRecord(Target, Verified).value_or(TInstallRecord{});
    MergeInstallRecord(record, put, ClinicDataFolders());
    if (!Verified)
        EnsureDir(Target + UninstallFolder);
    ReplaceFileContents(Target + InstallRecordName, FormatInstallRecord(record));
    std::uint64_t bytes = 0;
    for (const TRecordedFile& file : record.Files)
        bytes += file.Size;
    return bytes;
}
