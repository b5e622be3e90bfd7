// The release packages step: the packages and the updater's files copied from the medium, the newest
// package's own script run, and the installed level written into "ReleaseInfo" through the MSXML DOM.
#include "install/ReleasePackage.h"

#include <windows.h>
#include <msxml2.h>

#include <cerrno>
#include <cwchar>
#include <cwctype>
#include <string>
#include <utility>
#include <vector>

#include "common/Error.h"
#include "common/FileIO.h"
#include "common/ErrorWin.h"
#include "common/StrUtils.h"
#include "install/Copies.h"
#include "install/Folders.h"
#include "install/Processes.h"
#include "install/Walks.h"
#include "install/FilesInUse.h"
#include "install/PackageChoice.h"
#include "install/RunCopies.h"
#include "win/ComPtr.h"

namespace {

// The version-independent DOM document of MSXML 3 ("Msxml2.DOMDocument"), which every Windows since XP
// carries, and its document interface.
constexpr CLSID DomDocumentClass = {
    0xF6D90F11, 0x9C73, 0x11D3, {0xB3, 0x2E, 0x00, 0xC0, 0x4F, 0x99, 0x0B, 0xB4}};
constexpr IID DomDocument2Interface = {
    0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

constexpr wchar_t ReleaseInfoName[] = L"ReleaseInfo";
// In English, as the suite's updater and its installers have always reported them
// (docs/design.md#deliberate-texts); what follows the colon is ours, in Russian.
constexpr wchar_t ReleaseInfoMissing[] = L"Release info file does not exist";
constexpr wchar_t ReleaseInfoError[] = L"Cannot get release information, error: ";
constexpr wchar_t UnknownVersion[] = L"unknown release file version";

// Puts the process's current folder back on the target however the script step ends, so that nothing of
// the package folder stays held by the process.
class TCurrentFolderAfter {
public:
    explicit TCurrentFolderAfter(std::wstring folder) : FFolder(std::move(folder)) {}
    TCurrentFolderAfter(const TCurrentFolderAfter&) = delete;
    TCurrentFolderAfter& operator=(const TCurrentFolderAfter&) = delete;
    ~TCurrentFolderAfter() { ::SetCurrentDirectoryW(FFolder.c_str()); }

private:
    std::wstring FFolder;
};

TComPtr<IXMLDOMNode> SelectNode(IXMLDOMNode* from, const wchar_t* path) {
    TComPtr<IXMLDOMNode> node;
    CheckHResult(from->selectSingleNode(TBstr(path).Get(), node.Put()),
                 L"не удалось найти элемент " + Quoted(path));
    return node;
}

// The typed value as a whole number; false for anything that is not one.
bool ReadInteger(const VARIANT& value, long& result) {
    if (value.vt == VT_BSTR) {
        const wchar_t* text = value.bstrVal ? value.bstrVal : L"";
        while (std::iswspace(*text))
            ++text;
        wchar_t* end = nullptr;
        errno = 0;
        result = std::wcstol(text, &end, 10);
        if (end == text || errno == ERANGE)
            return false;
        while (std::iswspace(*end))
            ++end;
        return *end == L'\0';
    }
    TVariant converted;
    VARIANT source = value; // read only; the API merely lacks the const
    if (FAILED(::VariantChangeType(converted.Put(), &source, 0, VT_I4)))
        return false;
    result = converted.Get().lVal;
    return true;
}

// The parser's own account of what is wrong and where, as far as it gives one.
std::wstring ParseErrorReason(IXMLDOMDocument2* document) {
    TComPtr<IXMLDOMParseError> error;
    if (FAILED(document->get_parseError(error.Put())) || !error)
        return {};
    std::wstring text;
    BSTR reason = nullptr;
    if (SUCCEEDED(error->get_reason(&reason)) && reason) {
        text.assign(reason, ::SysStringLen(reason));
        ::SysFreeString(reason);
    }
    while (!text.empty() && std::iswspace(text.back()))
        text.pop_back();
    long line = 0;
    if (SUCCEEDED(error->get_line(&line)) && line > 0)
        text = L"строка " + std::to_wstring(line) + (text.empty() ? L"" : L": " + LowerFirst(text));
    return text;
}

void ChangeLevel(const std::wstring& fileName, const std::wstring& Level) {
    TComPtr<IXMLDOMDocument2> document;
    CheckHResult(::CoCreateInstance(DomDocumentClass, nullptr, CLSCTX_INPROC_SERVER, DomDocument2Interface,
                                    document.PutVoid()),
                 L"не удалось создать документ XML (MSXML)");
    CheckHResult(document->put_async(VARIANT_FALSE), L"не удалось настроить чтение XML");
    // Whitespace between the elements belongs to the file the updater keeps; it is written back as it was.
    CheckHResult(document->put_preserveWhiteSpace(VARIANT_TRUE), L"не удалось настроить чтение XML");
    VARIANT_BOOL loaded = VARIANT_FALSE;
    CheckHResult(document->load(TVariant(fileName).Get(), &loaded),
                 L"не удалось прочитать " + Quoted(fileName));
    if (loaded != VARIANT_TRUE) {
        const std::wstring reason = ParseErrorReason(document.Get());
        throw TError(Quoted(fileName) + L" — не документ XML" + (reason.empty() ? L"" : L", " + reason));
    }

    TComPtr<IXMLDOMElement> element;
    CheckHResult(document->get_documentElement(element.Put()), L"не удалось прочитать " + Quoted(fileName));
    if (!element)
        throw TError(L"в " + Quoted(fileName) + L" нет ни одного элемента");
    const TComPtr<IXMLDOMNode> root = SelectNode(element.Get(), L"/ROOT");
    if (!root)
        throw TError(L"нет элемента «/ROOT»");

    long version = 0;
    if (const TComPtr<IXMLDOMNode> node = SelectNode(root.Get(), L"Version")) {
        TVariant value;
        CheckHResult(node->get_nodeTypedValue(value.Put()), L"не удалось прочитать элемент «Version»");
        if (!ReadInteger(value.Get(), version))
            version = -1;
    }
    if (version != 1)
        throw TError(UnknownVersion);

    const TComPtr<IXMLDOMNode> level = SelectNode(root.Get(), L"Level");
    if (!level)
        throw TError(L"нет элемента «Level»");
    CheckHResult(level->put_nodeTypedValue(TVariant(Level).Get()), L"не удалось записать элемент «Level»");
    CheckHResult(document->save(TVariant(fileName).Get()), L"не удалось сохранить " + Quoted(fileName));
}

} // namespace

std::wstring FileNotCopiedText(const std::wstring& file, const std::wstring& reason) {
    return L"Файл " + Quoted(file) + L" не скопирован: " + LowerFirst(reason);
}

std::wstring PackageFailedText(const std::wstring& package, std::int32_t exitCode) {
    return L"Пакет выпуска " + Quoted(package) + L" не установлен: сценарий завершился с кодом " +
           std::to_wstring(exitCode);
}

TPackageOutcome InstallReleasePackage(IInstallHost& Host, const std::wstring& Source,
                                      const std::wstring& Target, const std::wstring& TrimmedPath,
                                      TRunCopies* Run) {
    // A file of the suite's that a running program holds (the updater, the shell) is not passed over
    // silently: the user closes the program, or the run stops.
    const TInUseRetry inUse = [&Host](const std::wstring& file, DWORD code) {
        return RetryInUse(Host, file, code);
    };
    ULONGLONG started = ::GetTickCount64();
    const auto took = [&started] {
        const auto now = ::GetTickCount64();
        return std::to_wstring(now - std::exchange(started, now)) + L" мс";
    };
    // "Backup" and "backup" are one folder on Windows.
    if (Run)
        Run->MakeFolder(Target + L"backup");
    else
        EnsureDir(Target + L"backup");
    std::vector<TCopyFailure> failed = CopyDirTree(Source + L"backup", Target + L"backup", inUse, Run);
    for (TCopyFailure& file :
         CopyDirTree(Source + L"Updater", WithoutTrailingBackslash(TrimmedPath), inUse, Run))
        failed.push_back(std::move(file));
    // A file that did not arrive goes on to the script and the updater as it is, but not unsaid: the run
    // names it and does not count as complete.
    for (const TCopyFailure& file : failed) {
        Host.AddLine(FileNotCopiedText(file.Path, file.Reason));
        if (!file.Detail.empty())
            Host.Trace(file.Detail);
    }
    Host.Trace(L"Пакеты и файлы программы обновления скопированы: " + took());
    if (Run) {
        FinishRunCopies(*Run);
        Host.Trace(L"Скопированные файлы записаны на диск: " + took());
    }
    SetReadOnlyAttr(Target + ReleaseInfoName, false);
    SetReadOnlyAttr(Target + L"Updater.exe.cfg", false);

    const std::wstring store = Target + L"backup\\";
    std::vector<std::wstring> packages;
    GetSubDirList(store, packages);
    SortPackageList(packages);
    const std::wstring chosen = packages[NewestPackage(packages, store)];

    TPackageOutcome outcome;
    outcome.Package = chosen.substr(store.size());
    outcome.FilesNotCopied = failed.size();
    // The run's commit: its copies are on the disk and the package to install is known. What the script does,
    // and everything after it, is not undone.
    if (Run && Run->Transaction())
        Run->Transaction()->Commit();
    {
        TCurrentFolderAfter restore(Target);
        ::SetCurrentDirectoryW((chosen + L"\\").c_str());
        outcome.ExitCode = ExecAndWait(chosen + L"\\Install.cmd", L"", SW_HIDE);
    }
    Host.Trace(L"Сценарий установки пакета " + Quoted(outcome.Package) + L" завершился с кодом " +
               std::to_wstring(outcome.ExitCode));
    // A level recorded for a package that did not install would keep the updater from ever offering it again.
    if (outcome.ExitCode != 0) {
        Host.AddLine(PackageFailedText(outcome.Package, outcome.ExitCode));
        return outcome;
    }
    WriteReleaseLevel(Target, PackageLevelText(chosen));
    return outcome;
}

namespace {
std::wstring NodeText(IXMLDOMNode* root, const wchar_t* name) {
    TComPtr<IXMLDOMNode> node;
    if (FAILED(root->selectSingleNode(TBstr(name).Get(), node.Put())) || !node)
        return {};
    BSTR text = nullptr;
    if (FAILED(node->get_text(&text)) || !text)
        return {};
    std::wstring value(text, ::SysStringLen(text));
    ::SysFreeString(text);
    return value;
}
} // namespace

TReleaseInfo ReadReleaseInfo(const std::wstring& Folder) {
    TComInit com;
    TReleaseInfo info;
    TComPtr<IXMLDOMDocument2> document;
    if (FAILED(::CoCreateInstance(DomDocumentClass, nullptr, CLSCTX_INPROC_SERVER, DomDocument2Interface,
                                  document.PutVoid())))
        return info;
    document->put_async(VARIANT_FALSE);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(document->load(TVariant(Folder + ReleaseInfoName).Get(), &loaded)) || loaded != VARIANT_TRUE)
        return info;
    TComPtr<IXMLDOMElement> element;
    if (FAILED(document->get_documentElement(element.Put())) || !element)
        return info;
    info.Version = TrimControl(NodeText(element.Get(), L"/ROOT/Version"));
    info.Level = TrimControl(NodeText(element.Get(), L"/ROOT/Level"));
    return info;
}

void WriteReleaseLevel(const std::wstring& Folder, const std::wstring& Level) {
    // The wizard's thread has COM already (S_FALSE then); either way this call's own count is given back.
    TComInit com;
    const std::wstring fileName = Folder + ReleaseInfoName;
    if (!FileExists(fileName))
        throw TError(ReleaseInfoMissing);
    try {
        ChangeLevel(fileName, Level);
    } catch (const TError& error) {
        throw TError(ReleaseInfoError + error.Message());
    }
}
