#include "install/files/ContentHash.h"

#include <windows.h>

#include <cstdio>

#include "common/Error.h"
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
