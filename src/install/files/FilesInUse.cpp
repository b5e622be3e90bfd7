#include "install/files/FilesInUse.h"

#include <restartmanager.h>

#include <algorithm>
#include <cwchar>

#include "common/ErrorWin.h"
#include "install/files/InUseText.h"
#include "install/run/RunStop.h"
#include "common/FileReplaceWin.h"
#include "win/SystemLibrary.h"

namespace {

using TRmStartSession = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
using TRmEndSession = DWORD(WINAPI*)(DWORD);
using TRmRegisterResources = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*);
using TRmGetList = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, DWORD*);

template <typename T> T Export(const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(SystemExport(L"rstrtmgr.dll", name)));
}

// One Restart Manager session, ended however the query ends.
class TRmSession {
public:
    TRmSession() {
        const auto start = Export<TRmStartSession>("RmStartSession");
        FEnd = Export<TRmEndSession>("RmEndSession");
        wchar_t key[CCH_RM_SESSION_KEY + 1] = L"";
        FOpen = start && FEnd && start(&FHandle, 0, key) == ERROR_SUCCESS;
    }
    TRmSession(const TRmSession&) = delete;
    TRmSession& operator=(const TRmSession&) = delete;
    ~TRmSession() {
        if (FOpen)
            FEnd(FHandle);
    }
    bool Open() const noexcept { return FOpen; }
    DWORD Handle() const noexcept { return FHandle; }

private:
    TRmEndSession FEnd = nullptr;
    DWORD FHandle = 0;
    bool FOpen = false;
};

} // namespace

std::vector<std::wstring> ProgramsHolding(const std::wstring& path) {
    const auto registerResources = Export<TRmRegisterResources>("RmRegisterResources");
    const auto getList = Export<TRmGetList>("RmGetList");
    TRmSession session;
    if (!session.Open() || !registerResources || !getList)
        return {};
    LPCWSTR files[] = {path.c_str()};
    if (registerResources(session.Handle(), 1, files, 0, nullptr, 0, nullptr) != ERROR_SUCCESS)
        return {};
    std::vector<RM_PROCESS_INFO> processes(4);
    for (int attempt = 0; attempt < 4; ++attempt) {
        UINT needed = 0;
        UINT count = static_cast<UINT>(processes.size());
        DWORD reasons = 0;
        const DWORD result = getList(session.Handle(), &needed, &count, processes.data(), &reasons);
        if (result == ERROR_MORE_DATA) {
            processes.resize(needed + 1);
            continue;
        }
        if (result != ERROR_SUCCESS)
            return {};
        std::vector<std::wstring> names;
        for (UINT i = 0; i < count && i < processes.size(); ++i) {
            std::wstring name(processes[i].strAppName, wcsnlen(processes[i].strAppName, CCH_RM_MAX_APP_NAME));
            if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(std::move(name));
        }
        return names;
    }
    return {};
}

bool RetryInUse(IInstallHost& host, const std::wstring& path, DWORD code) {
    if (!MayBeInUse(code))
        return false;
    // No box and no wait when the session ends: the run stops here.
    RunStop().Check();
    const std::vector<std::wstring> programs = ProgramsHolding(path);
    // A refused access is a program's doing only where a program is found holding the file; otherwise the
    // file is one we may not write, which is the caller's own failure.
    if (code == ERROR_ACCESS_DENIED && programs.empty())
        return false;
    const TInUseAnswer answer = host.FileInUse(path, programs);
    // A session that ended while the box was up: the box's answer is no one's.
    RunStop().Check();
    switch (answer) {
    case TInUseAnswer::Retry:
        return true;
    case TInUseAnswer::Cancel:
        throw TCancelled(InUseText(path, programs));
    case TInUseAnswer::GiveUp:
        break;
    }
    throw TFileInUse(InUseText(path, programs), path, code);
}
