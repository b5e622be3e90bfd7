// The package's deferred custom action: it starts a program of ours (Setup.exe beside the package, or the
// suite's registered uninstaller) with the command line the package prepared in CustomActionData, waits for
// it, and makes its exit code the action's result. Windows Installer's own actions that start a program log
// only that it failed, not its code; an administrator reading a /l*v log of a computer that failed needs the
// code, so this action writes it there itself.
//
// Setup.exe runs as SYSTEM from wherever the package lies, a share others may write to. When the package is
// signed, Setup.exe is started only when it carries a signature by the same certificate, checked on a handle
// that shares neither writing nor deleting and held until it ends, so that what runs is what was checked; an
// unsigned package vouches for nothing, and starts Setup.exe as it is.
//
// The installer's log is written in the system's ANSI code page: the lines are in Latin letters and digits,
// which survive any code page. The package carries this library: it uses no C++ library strings, which alone
// would make it fifteen times larger.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

namespace {

// A growing text on the process heap; a failed allocation leaves it as it was, which at worst shortens a
// line of the log.
class TText {
public:
    TText() = default;
    TText(const TText&) = delete;
    TText& operator=(const TText&) = delete;
    ~TText() {
        if (FData)
            ::HeapFree(::GetProcessHeap(), 0, FData);
    }

    const wchar_t* Get() const { return FData ? FData : L""; }
    wchar_t* Data() { return FData; }
    DWORD Length() const { return FLength; }

    // Room for `length` characters and the terminator; the text is cut to `length`.
    bool Resize(DWORD length) {
        if (length + 1 > FCapacity) {
            void* grown = FData ? ::HeapReAlloc(::GetProcessHeap(), 0, FData, (length + 1) * sizeof(wchar_t))
                                : ::HeapAlloc(::GetProcessHeap(), 0, (length + 1) * sizeof(wchar_t));
            if (!grown)
                return false;
            FData = static_cast<wchar_t*>(grown);
            FCapacity = length + 1;
        }
        FLength = length;
        FData[length] = L'\0';
        return true;
    }
    TText& Add(const wchar_t* text, DWORD count) {
        const DWORD start = FLength;
        if (Resize(start + count))
            ::CopyMemory(FData + start, text, count * sizeof(wchar_t));
        return *this;
    }
    TText& Add(const wchar_t* text) { return Add(text, static_cast<DWORD>(::lstrlenW(text))); }
    TText& Add(const TText& text) { return Add(text.Get(), text.Length()); }
    TText& AddNumber(DWORD number) {
        wchar_t digits[16];
        int at = 16;
        do {
            digits[--at] = static_cast<wchar_t>(L'0' + number % 10);
            number /= 10;
        } while (number);
        return Add(digits + at, static_cast<DWORD>(16 - at));
    }

private:
    wchar_t* FData = nullptr;
    DWORD FLength = 0;
    DWORD FCapacity = 0;
};

bool ReadProperty(MSIHANDLE install, const wchar_t* name, TText& value) {
    DWORD size = 0;
    wchar_t empty[1] = L"";
    const UINT first = ::MsiGetPropertyW(install, name, empty, &size);
    if (first == ERROR_SUCCESS)
        return value.Resize(0);
    if (first != ERROR_MORE_DATA || !value.Resize(size))
        return false;
    size += 1;
    if (::MsiGetPropertyW(install, name, value.Data(), &size) != ERROR_SUCCESS)
        return false;
    return value.Resize(size);
}

// One line in the installer's log. The text goes in as a record field, never as the template, so that a
// folder name with brackets in it is not read as a property reference.
void Log(MSIHANDLE install, const TText& text) {
    const MSIHANDLE record = ::MsiCreateRecord(1);
    if (!record)
        return;
    ::MsiRecordSetStringW(record, 0, L"TessaroHolter: [1]");
    ::MsiRecordSetStringW(record, 1, text.Get());
    ::MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
    ::MsiCloseHandle(record);
}

// The program a command line starts: the text between its leading pair of double quotes, or its first word.
void ProgramOf(const TText& commandLine, TText& program) {
    const wchar_t* text = commandLine.Get();
    const wchar_t* start = text;
    wchar_t end = L' ';
    if (*start == L'"') {
        ++start;
        end = L'"';
    }
    const wchar_t* stop = start;
    while (*stop && *stop != end)
        ++stop;
    program.Resize(0);
    if (end == L'"' && *stop != L'"')
        return;
    program.Add(start, static_cast<DWORD>(stop - start));
}

enum class TMissing { Fails, Succeeds };

// The leaf certificate of a file's Authenticode signature, as the system verifies it (the file open as
// `file`); null when it carries none. `intact` tells whether the signature matches the file: its digest and
// signature hold, whatever the trust in its chain (the same for two files signed with one certificate).
PCCERT_CONTEXT SignerOf(const wchar_t* path, HANDLE file, bool& intact) {
    WINTRUST_FILE_INFO info{};
    info.cbStruct = sizeof info;
    info.pcwszFilePath = path;
    info.hFile = file;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_DATA data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &info;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
    const LONG result = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    intact = result == ERROR_SUCCESS || result == CERT_E_UNTRUSTEDROOT ||
             result == CERT_E_UNTRUSTEDTESTROOT || result == CERT_E_CHAINING || result == CERT_E_EXPIRED;
    PCCERT_CONTEXT signer = nullptr;
    if (result != TRUST_E_NOSIGNATURE && data.hWVTStateData)
        if (CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(data.hWVTStateData))
            if (CRYPT_PROVIDER_SGNR* first = ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0))
                if (first->csCertChain > 0 && first->pasCertChain && first->pasCertChain[0].pCert)
                    signer = ::CertDuplicateCertificateContext(first->pasCertChain[0].pCert);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return signer;
}

bool SameCertificate(PCCERT_CONTEXT a, PCCERT_CONTEXT b) {
    if (!a || !b || a->cbCertEncoded != b->cbCertEncoded)
        return false;
    for (DWORD i = 0; i < a->cbCertEncoded; ++i)
        if (a->pbCertEncoded[i] != b->pbCertEncoded[i])
            return false;
    return true;
}

// A file opened for reading that no one may change, rename or delete while it is held.
HANDLE HoldForReading(const wchar_t* path) {
    return ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

// Whether `program` may be started for the package `package`: always when the package is unsigned; when it
// is signed, only with a signature of the same certificate that matches the file held as `held`.
bool SignedAsThePackage(MSIHANDLE install, const TText& package, const TText& program, HANDLE held) {
    const HANDLE packageFile = HoldForReading(package.Get());
    bool intact = false;
    const PCCERT_CONTEXT packageSigner =
        packageFile == INVALID_HANDLE_VALUE ? nullptr : SignerOf(package.Get(), packageFile, intact);
    if (packageFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(packageFile);
    if (!packageSigner) {
        TText line;
        Log(install, line.Add(L"the package is not signed: \"").Add(program).Add(L"\" is started unchecked"));
        return true;
    }
    const PCCERT_CONTEXT programSigner =
        held == INVALID_HANDLE_VALUE ? nullptr : SignerOf(program.Get(), held, intact);
    const bool same = programSigner && intact && SameCertificate(packageSigner, programSigner);
    ::CertFreeCertificateContext(packageSigner);
    if (programSigner)
        ::CertFreeCertificateContext(programSigner);
    TText line;
    line.Add(L"\"").Add(program);
    Log(install,
        line.Add(same ? L"\" carries the package's signature"
                      : L"\" does not carry a valid signature by the package's certificate: not started"));
    return same;
}

UINT RunAndReport(MSIHANDLE install, TMissing missing, bool checkSignature) {
    TText data;
    if (!ReadProperty(install, L"CustomActionData", data) || data.Length() == 0) {
        TText line;
        Log(install, line.Add(L"no command line was prepared for this action"));
        return ERROR_INSTALL_FAILURE;
    }
    // "<the package>|<command line>": no path holds a "|".
    TText package, commandLine;
    const wchar_t* text = data.Get();
    DWORD bar = 0;
    while (checkSignature && text[bar] && text[bar] != L'|')
        ++bar;
    if (checkSignature && text[bar] == L'|') {
        package.Add(text, bar);
        commandLine.Add(text + bar + 1);
    } else {
        commandLine.Add(data);
    }
    TText program;
    ProgramOf(commandLine, program);
    const DWORD attributes = program.Length() ? ::GetFileAttributesW(program.Get()) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const DWORD error = program.Length() ? ::GetLastError() : ERROR_BAD_PATHNAME;
        TText line;
        line.Add(L"\"").Add(program).Add(L"\" cannot be read (error ").AddNumber(error).Add(L")");
        if (missing == TMissing::Succeeds) {
            Log(install, line.Add(L": the suite's folder is gone, nothing is left to remove"));
            return ERROR_SUCCESS;
        }
        Log(install, line.Add(L"; the package starts Setup.exe from its own folder, which the computer's "
                              L"account must be allowed to read"));
        return ERROR_INSTALL_FAILURE;
    }

    // Held from its check to its end: what runs is what was checked.
    const HANDLE held = checkSignature ? HoldForReading(program.Get()) : INVALID_HANDLE_VALUE;
    if (checkSignature && package.Length() && !SignedAsThePackage(install, package, program, held)) {
        if (held != INVALID_HANDLE_VALUE)
            ::CloseHandle(held);
        return ERROR_INSTALL_FAILURE;
    }
    {
        TText line;
        Log(install, line.Add(L"starting ").Add(commandLine));
    }
    // Started from the system folder: a program that removes the suite must not find its own folder held as
    // the current one.
    wchar_t folder[MAX_PATH] = L"";
    const UINT folderLength = ::GetSystemDirectoryW(folder, MAX_PATH);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.Data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folderLength > 0 && folderLength < MAX_PATH ? folder : nullptr, &startup,
                          &process)) {
        const DWORD error = ::GetLastError();
        if (held != INVALID_HANDLE_VALUE)
            ::CloseHandle(held);
        TText line;
        Log(install,
            line.Add(L"\"").Add(program).Add(L"\" could not be started (error ").AddNumber(error).Add(L")"));
        return ERROR_INSTALL_FAILURE;
    }
    ::CloseHandle(process.hThread);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    if (held != INVALID_HANDLE_VALUE)
        ::CloseHandle(held);
    DWORD exitCode = 0;
    const BOOL known = ::GetExitCodeProcess(process.hProcess, &exitCode);
    const DWORD error = ::GetLastError();
    ::CloseHandle(process.hProcess);
    TText line;
    line.Add(L"\"").Add(program).Add(L"\" ");
    if (!known) {
        Log(install, line.Add(L"ended, its exit code cannot be read (error ").AddNumber(error).Add(L")"));
        return ERROR_INSTALL_FAILURE;
    }
    Log(install, line.Add(L"ended with exit code ").AddNumber(exitCode));
    return exitCode == 0 ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}

} // namespace

// Setup.exe from the package's folder: a file that cannot be read there fails the installation, and so does
// one without the signature a signed package asks for.
extern "C" __declspec(dllexport) UINT __stdcall InstallSuite(MSIHANDLE install) {
    return RunAndReport(install, TMissing::Fails, true);
}

// The registered uninstaller: when its file went with the suite's folder, there is nothing left to remove,
// and the package goes on to remove itself rather than stay behind for good.
extern "C" __declspec(dllexport) UINT __stdcall RemoveSuite(MSIHANDLE install) {
    return RunAndReport(install, TMissing::Succeeds, false);
}
