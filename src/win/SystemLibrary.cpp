#include "win/SystemLibrary.h"

#include <map>
#include <mutex>
#include <string>

#include "common/StrUtils.h"

namespace {

// Not in the import libraries of old SDKs, and not on Windows 7 without KB2533623: looked up at run time.
using TSetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
constexpr DWORD SearchSystem32 = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32

std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH + 1] = L"";
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return {};
    return WithTrailingBackslash(std::wstring(folder, length));
}

HMODULE LoadFromSystem32(const wchar_t* name) {
    if (HMODULE module = ::LoadLibraryExW(name, nullptr, SearchSystem32))
        return module;
    // Only a system without the search flags is retried by the full path, which names the same file. Any
    // other failure stands: the retry's search for the library's own imports is the classic one, which may
    // reach the current folder.
    if (::GetLastError() != ERROR_INVALID_PARAMETER)
        return nullptr;
    const std::wstring folder = SystemFolder();
    if (folder.empty())
        return nullptr;
    return ::LoadLibraryExW((folder + name).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

struct TNoCaseLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const { return LessText(a, b); }
};

} // namespace

void RestrictLibrarySearch() noexcept {
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = reinterpret_cast<TSetDefaultDllDirectories>(
        reinterpret_cast<void*>(kernel ? ::GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr));
    if (!setDefault || !setDefault(SearchSystem32))
        ::SetDllDirectoryW(L"");
}

HMODULE SystemLibrary(const wchar_t* name) noexcept {
    static std::mutex guard;
    static std::map<std::wstring, HMODULE, TNoCaseLess> loaded;
    try {
        {
            const std::lock_guard lock(guard);
            const auto found = loaded.find(name);
            if (found != loaded.end())
                return found->second;
        }
        // Loaded outside the lock, so that a first look-up on one thread does not wait behind another
        // thread's loads. Two threads loading the same library get the same module; neither is ever freed.
        HMODULE module = LoadFromSystem32(name);
        // Kept: a library that was missing is asked for again, one that loaded stays for good.
        if (module) {
            const std::lock_guard lock(guard);
            loaded.emplace(name, module);
        }
        return module;
    } catch (...) {
        return nullptr;
    }
}

FARPROC SystemExport(const wchar_t* library, const char* name) noexcept {
    HMODULE module = SystemLibrary(library);
    return module ? ::GetProcAddress(module, name) : nullptr;
}

TLibraryPrefetch::TLibraryPrefetch(std::initializer_list<const wchar_t*> names) : FNames(names) {
    FThread.Reset(::CreateThread(nullptr, 0, Load, this, 0, nullptr));
}

TLibraryPrefetch::~TLibraryPrefetch() {
    if (FThread)
        ::WaitForSingleObject(FThread.Get(), INFINITE);
}

DWORD WINAPI TLibraryPrefetch::Load(LPVOID self) {
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    for (const wchar_t* name : static_cast<TLibraryPrefetch*>(self)->FNames)
        SystemLibrary(name);
    return 0;
}
