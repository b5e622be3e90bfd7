#include "install/InstalledFiles.h"

#include <windows.h>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include <cstdio>
#include <vector>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/FileIO.h"
#include "common/HandlesWin.h"
#include "install/FileUtils.h"

namespace {

bool Excluded(const std::wstring& relative) {
    TInstallRecord data;
    data.DataFolders = ClinicDataFolders();
    data.DataFolders.push_back(UninstallFolder);
    return InDataFolder(data, relative);
}

std::string Hex(const XXH128_hash_t& hash) {
    char text[33];
    std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(hash.high64),
                  static_cast<unsigned long long>(hash.low64));
    return text;
}

// The state's hash owner: freed however the hashing ends.
struct TXxhState {
    XXH3_state_t* State = XXH3_createState();
    TXxhState() = default;
    TXxhState(const TXxhState&) = delete;
    TXxhState& operator=(const TXxhState&) = delete;
    ~TXxhState() { XXH3_freeState(State); }
};

} // namespace

TTreeState ReadTreeState(const std::wstring& Target) {
    TTreeState state;
    std::wstring root = Target;
    while (root.size() > 3 && root.back() == L'\\')
        root.pop_back();
    WalkFiles(root, [&](const std::wstring& relative, const WIN32_FIND_DATAW& found) {
        if (Excluded(relative))
            return;
        state[relative] = {(static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow,
                           (static_cast<std::uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                               found.ftLastWriteTime.dwLowDateTime};
    });
    return state;
}

std::string HashFile(const std::wstring& Path) {
    TUniqueFile file(::CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        ThrowLastError(L"Не удалось открыть файл \"" + Path + L"\"");
    TXxhState hash;
    if (!hash.State || XXH3_128bits_reset(hash.State) != XXH_OK)
        throw TError(L"Не удалось начать подсчёт контрольной суммы");
    std::vector<char> buffer(1 << 20);
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
            ThrowLastError(L"Не удалось прочитать файл \"" + Path + L"\"");
        if (got == 0)
            break;
        XXH3_128bits_update(hash.State, buffer.data(), got);
    }
    return Hex(XXH3_128bits_digest(hash.State));
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

std::optional<TInstallRecord> ReadInstallRecord(const std::wstring& Target) {
    const std::wstring name = Target + InstallRecordName;
    const TFileBytes bytes = ReadWholeFile(name);
    if (bytes.Status == TReadStatus::NotFound)
        return std::nullopt;
    if (bytes.Status != TReadStatus::Ok)
        throw TError(L"Не удалось прочитать \"" + name + L"\": " + bytes.Error);
    return ParseInstallRecord(bytes.Bytes);
}

std::uint64_t RecordInstalledFiles(const std::wstring& Target, const TTreeState& Before,
                                   const std::vector<std::wstring>& OwnCopies) {
    const TTreeState after = ReadTreeState(Target);
    std::vector<TRecordedFile> put;
    for (const auto& [relative, state] : after) {
        const auto before = Before.find(relative);
        bool own = before == Before.end() || !(before->second == state);
        for (std::size_t i = 0; !own && i < OwnCopies.size(); ++i)
            own = SameText(OwnCopies[i], relative);
        if (own)
            put.push_back({relative, state.Size, HashFile(Target + relative)});
    }
    TInstallRecord record = ReadInstallRecord(Target).value_or(TInstallRecord{});
    MergeInstallRecord(record, put, ClinicDataFolders());
    EnsureDir(Target + UninstallFolder);
    ReplaceFileContents(Target + InstallRecordName, FormatInstallRecord(record));
    std::uint64_t bytes = 0;
    for (const TRecordedFile& file : record.Files)
        bytes += file.Size;
    return bytes;
}
