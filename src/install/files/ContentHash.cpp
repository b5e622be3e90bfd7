#include "install/files/ContentHash.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/HandlesWin.h"
#include "common/StrUtils.h"
#include "install/files/ContentHashKernel.h"

namespace {
// Windows XP still runs on processors without SSE2 (the Athlon XP, the Pentium III).
const TContentHashKernel& Kernel() noexcept {
    static const TContentHashKernel& chosen =
        ::IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) ? ContentHashSse2 : ContentHashPlain;
    return chosen;
}
} // namespace

struct TContentHash::TState {
    const TContentHashKernel& Kernel;
    void* Hash;
    explicit TState(const TContentHashKernel& kernel) : Kernel(kernel), Hash(kernel.Create()) {}
    TState(const TState&) = delete;
    TState& operator=(const TState&) = delete;
    ~TState() { Kernel.Free(Hash); }
};

TContentHash::TContentHash() : TContentHash(Kernel()) {}

TContentHash::TContentHash(const TContentHashKernel& kernel) : FState(std::make_unique<TState>(kernel)) {
    if (!FState->Hash)
        throw TError(L"Не удалось начать подсчёт контрольной суммы");
}

TContentHash::~TContentHash() = default;

void TContentHash::Add(const void* bytes, std::size_t size) noexcept {
    FState->Kernel.Add(FState->Hash, bytes, size);
}

std::string TContentHash::Hex() const {
    std::uint64_t high = 0, low = 0;
    FState->Kernel.Digest(FState->Hash, &high, &low);
    char text[33];
    std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(high),
                  static_cast<unsigned long long>(low));
    return text;
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
