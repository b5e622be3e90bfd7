// The XXH3 routines behind TContentHash, compiled twice: as the target's plain i686 code, and with SSE2 for
// the processors that have it (five times as fast under the 32-bit build; every x86_64 processor has SSE2,
// and there the two are the same code). Both give the same hash for the same bytes. A state is only ever
// handed to the routines of the set that made it.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct TContentHashKernel {
    void* (*Create)(); // a state reset for a new hash; null without memory
    void (*Free)(void* state);
    void (*Add)(void* state, const void* bytes, size_t size);
    void (*Digest)(const void* state, uint64_t* high, uint64_t* low);
};

extern const TContentHashKernel ContentHashPlain;
extern const TContentHashKernel ContentHashSse2;
