#include "app/CopyFaultTestSeam.h"

#include <windows.h>

#include <string>
#include <vector>

#include "install/CopyFileApi.h"

namespace {

std::wstring GFailingName;

std::wstring Environment(const wchar_t* name) {
    const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0)
        return {};
    std::wstring value(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(name, value.data(), size);
    value.resize(length < size ? length : 0);
    return value;
}

bool NamesFailingFile(HANDLE file) {
    const DWORD needed = ::GetFinalPathNameByHandleW(file, nullptr, 0, FILE_NAME_NORMALIZED);
    if (needed == 0)
        return false;
    std::vector<wchar_t> path(needed + 1);
    const DWORD length =
        ::GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    if (length == 0 || length >= path.size())
        return false;
    const std::wstring full(path.data(), length);
    const std::size_t slash = full.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? full : full.substr(slash + 1);
    return ::CompareStringOrdinal(name.c_str(), -1, GFailingName.c_str(), -1, TRUE) == CSTR_EQUAL;
}

BOOL WINAPI FailingRead(HANDLE file, LPVOID buffer, DWORD wanted, LPDWORD got, LPOVERLAPPED overlapped) {
    if (!NamesFailingFile(file))
        return ::ReadFile(file, buffer, wanted, got, overlapped);
    LARGE_INTEGER position{};
    if (::SetFilePointerEx(file, LARGE_INTEGER{}, &position, FILE_CURRENT) && position.QuadPart == 0 &&
        wanted > 1)
        return ::ReadFile(file, buffer, wanted / 2, got, overlapped);
    if (got)
        *got = 0;
    ::SetLastError(ERROR_CRC);
    return FALSE;
}

} // namespace

void ApplyCopyFaultSeam() {
    GFailingName = Environment(L"TESSARO_E2E_FAIL_READ");
    if (!GFailingName.empty())
        CopyFileApi().Read = &FailingRead;
}
