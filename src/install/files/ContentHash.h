// The content hash the installation's record keeps of each file (128-bit XXH3, as hex), fed piece by piece,
// so that a copy can hash what it writes instead of reading the file again afterwards.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct TContentHashKernel;

class TContentHash {
public:
    // Throws TError when the hash's state cannot be had (no memory).
    TContentHash();
    // With the given set of routines rather than the one the processor runs fastest; for the tests.
    explicit TContentHash(const TContentHashKernel& kernel);
    TContentHash(const TContentHash&) = delete;
    TContentHash& operator=(const TContentHash&) = delete;
    ~TContentHash();

    void Add(const void* bytes, std::size_t size) noexcept;
    // The hash of everything added so far.
    std::string Hex() const;

private:
    struct TState;
    std::unique_ptr<TState> FState;
};

// The hash of a file's whole content; throws TError naming the file when it cannot be read.
std::string HashFile(const std::wstring& Path);
// The same through a file already open for reading, from its start; `Path` names it in the error.
std::string HashOpenFile(HANDLE File, const std::wstring& Path);
