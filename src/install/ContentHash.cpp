#include "install/ContentHash.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

#include <cstdio>

#include "common/Error.h"

struct TContentHash::TState {
    XXH3_state_t* Hash = XXH3_createState();
    ~TState() { XXH3_freeState(Hash); }
};

TContentHash::TContentHash() : FState(std::make_unique<TState>()) {
    if (!FState->Hash || XXH3_128bits_reset(FState->Hash) != XXH_OK)
        throw TError(L"Не удалось начать подсчёт контрольной суммы");
}

TContentHash::~TContentHash() = default;

void TContentHash::Add(const void* bytes, std::size_t size) noexcept {
    XXH3_128bits_update(FState->Hash, bytes, size);
}

std::string TContentHash::Hex() const {
    const XXH128_hash_t hash = XXH3_128bits_digest(FState->Hash);
    char text[33];
    std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(hash.high64),
                  static_cast<unsigned long long>(hash.low64));
    return text;
}
