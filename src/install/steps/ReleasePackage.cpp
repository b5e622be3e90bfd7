// The release packages step: the packages and the updater's files copied from the medium, the newest
// package's own script run, and the installed level written into "ReleaseInfo" through the MSXML DOM.
#include "install/steps/ReleasePackage.h"

#include <windows.h>
#include <msxml2.h>

#include <cerrno>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>
#include <utility>
#include <vector>

#include "common/Error.h"
#include "common/FileIO.h"
#include "common/ErrorWin.h"
#include "common/StrUtils.h"
#include "install/files/Copies.h"
#include "install/trust/FolderAccess.h"
#include "install/files/Folders.h"
#include "install/files/HeldFolders.h"
#include "install/files/Processes.h"
#include "install/files/Walks.h"
#include "install/trust/Links.h"
#include "install/files/FilesInUse.h"
#include "install/steps/PackageChoice.h"
#include "install/files/TargetFolder.h"
#include "install/run/RunStop.h"
#include "install/trust/TargetAccess.h"
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
    if (FAILED(Ole::VariantChangeType(converted.Put(), &source, 0, VT_I4)))
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
        text.assign(reason, Ole::SysStringLen(reason));
        Ole::SysFreeString(reason);
    }
    while (!text.empty() && std::iswspace(text.back()))
        text.pop_back();
    long line = 0;
    if (SUCCEEDED(error->get_line(&line)) && line > 0)
        text = L"строка " + std::to_wstring(line) + (text.empty() ? L"" : L": " + LowerFirst(text));
    return text;
}

// A DOM document that takes no document type and fetches nothing from outside what it is given: every user
// may write "ReleaseInfo", and an entity of theirs must not make an elevated process read a file or reach a
// share of their choosing with its credentials.
TComPtr<IXMLDOMDocument2> GuardedDocument() {
    TComPtr<IXMLDOMDocument2> document;
    CheckHResult(Ole::CoCreateInstance(DomDocumentClass, nullptr, CLSCTX_INPROC_SERVER, DomDocument2Interface,
                                       document.PutVoid()),
                 L"не удалось создать документ XML (MSXML)");
    CheckHResult(document->put_async(VARIANT_FALSE), L"не удалось настроить чтение XML");
    VARIANT prohibit;
    Ole::VariantInit(&prohibit);
    prohibit.vt = VT_BOOL;
    prohibit.boolVal = VARIANT_TRUE;
    CheckHResult(document->setProperty(TBstr(L"ProhibitDTD").Get(), prohibit),
                 L"не удалось настроить чтение XML");
    CheckHResult(document->put_resolveExternals(VARIANT_FALSE), L"не удалось настроить чтение XML");
    CheckHResult(document->put_validateOnParse(VARIANT_FALSE), L"не удалось настроить чтение XML");
    return document;
}

// Loads the document from the bytes of "ReleaseInfo", read through the folder's gateway (the parser would
// open the name itself, following anything); false where it is no XML document, with the parser's reason in
// `why`. Raises TError when the file cannot be read.
bool LoadReleaseInfo(IXMLDOMDocument2* document, TTargetFolder& folder, std::wstring& why) {
    const std::wstring fileName = folder.Full(ReleaseInfoName);
    const TFileBytes file = folder.Read(ReleaseInfoName, TTargetFolder::TUse::Change);
    if (file.Status != TReadStatus::Ok)
        throw TError(L"не удалось прочитать " + Quoted(fileName) + L": " + file.Error);
    const std::string& bytes = file.Bytes;
    SAFEARRAY* array = Ole::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (!array)
        throw TError(L"не хватило памяти, чтобы прочитать " + Quoted(fileName));
    void* data = nullptr;
    if (SUCCEEDED(Ole::SafeArrayAccessData(array, &data))) {
        std::memcpy(data, bytes.data(), bytes.size());
        Ole::SafeArrayUnaccessData(array);
    }
    VARIANT content;
    Ole::VariantInit(&content);
    content.vt = VT_ARRAY | VT_UI1;
    content.parray = array;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT result = document->load(content, &loaded);
    Ole::VariantClear(&content);
    CheckHResult(result == S_FALSE ? S_OK : result, L"не удалось прочитать " + Quoted(fileName));
    if (loaded == VARIANT_TRUE)
        return true;
    why = ParseErrorReason(document);
    return false;
}

// The document as the parser writes it out, in the encoding it declares.
std::string SavedBytes(IXMLDOMDocument2* document, const std::wstring& fileName) {
    TComPtr<IStream> stream;
    CheckHResult(Ole::CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()),
                 L"не удалось сохранить " + Quoted(fileName));
    VARIANT destination;
    Ole::VariantInit(&destination);
    destination.vt = VT_UNKNOWN;
    destination.punkVal = stream.Get();
    CheckHResult(document->save(destination), L"не удалось сохранить " + Quoted(fileName));
    HGLOBAL memory = nullptr;
    STATSTG stat{};
    CheckHResult(Ole::GetHGlobalFromStream(stream.Get(), &memory),
                 L"не удалось сохранить " + Quoted(fileName));
    CheckHResult(stream->Stat(&stat, STATFLAG_NONAME), L"не удалось сохранить " + Quoted(fileName));
    const void* bytes = ::GlobalLock(memory);
    if (!bytes)
        throw TError(L"не удалось сохранить " + Quoted(fileName));
    std::string saved(static_cast<const char*>(bytes), static_cast<std::size_t>(stat.cbSize.QuadPart));
    ::GlobalUnlock(memory);
    return saved;
}

void ChangeLevel(TTargetFolder& folder, const std::wstring& Level) {
    const std::wstring fileName = folder.Full(ReleaseInfoName);
    const TComPtr<IXMLDOMDocument2> document = GuardedDocument();
    // Whitespace between the elements belongs to the file the updater keeps; it is written back as it was.
    CheckHResult(document->put_preserveWhiteSpace(VARIANT_TRUE), L"не удалось настроить чтение XML");
    std::wstring reason;
    if (!LoadReleaseInfo(document.Get(), folder, reason))
        throw TError(Quoted(fileName) + L" — не документ XML" + (reason.empty() ? L"" : L", " + reason));

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
    folder.Rewrite(ReleaseInfoName, SavedBytes(document.Get(), fileName));
}

} // namespace

namespace {

constexpr wchar_t ScriptName[] = L"Install.cmd";
constexpr wchar_t Store[] = L"backup";
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool OnMedium(const std::wstring& source, const std::wstring& package) {
    return FolderExists(source + Store + L"\\" + package);
}

std::wstring InStore(const std::wstring& name) {
    return std::wstring(Store) + L"\\" + name;
}

// Why a package the medium did not bring may not run elevated; None when it may. `script`: its script, held
// open already, or null to open it here.
TTrustFault ForeignFault(TTargetFolder& target, const std::wstring& name, HANDLE script = nullptr) {
    IAccessFacts& facts = AccessFacts();
    HANDLE folder = nullptr;
    try {
        folder = target.FolderIfThere(InStore(name));
    } catch (const TForeignLink&) {
        return TTrustFault::Link;
    } catch (const TError&) {
        return TTrustFault::Unknown;
    }
    if (!folder)
        return TTrustFault::Unknown;
    TUniqueFile opened;
    if (!script) {
        DWORD code = 0;
        opened = OpenInFolder(folder, ScriptName, READ_CONTROL, ShareAll, false, &code);
        if (!opened)
            return code == ERROR_FILE_NOT_FOUND ? TTrustFault::Missing : TTrustFault::Unknown;
        script = opened.Get();
    }
    const std::wstring package = target.Full(InStore(name));
    return ForeignPackageFault(facts.Security(folder, package),
                               facts.Security(script, package + L"\\" + ScriptName), facts.SystemOwner());
}

// The chosen package's script, opened without following a link and held, shared for reading only, so that
// what runs is what was checked: the medium's own script, byte for byte, for a package of the medium's; for
// another (an elevated run's updater's package) one of the machine's that no one else may change. Invalid
// where there is no script; TError where there is one that must not run.
TUniqueFile VerifiedScript(TTargetFolder& target, const std::wstring& source, const std::wstring& name,
                           bool elevated) {
    DWORD code = 0;
    TUniqueFile script = target.Open(InStore(name) + L"\\" + ScriptName, GENERIC_READ | READ_CONTROL,
                                     FILE_SHARE_READ, TTargetFolder::TUse::Change, &code);
    if (!script) {
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
            return script;
        if (code == LinkInPlace || code == OtherNames || code == ERROR_ACCESS_DENIED)
            throw TError(ScriptNotTheMediumsText(name));
        ::SetLastError(code);
        ThrowLastError(L"Сценарий установки пакета " + Quoted(name) + L" не открыт");
    }
    if (OnMedium(source, name)) {
        std::string bytes;
        const TFileBytes medium = ReadWholeFile(source + InStore(name) + L"\\" + ScriptName);
        if (!ReadOpenFile(script.Get(), bytes) || medium.Status != TReadStatus::Ok || medium.Bytes != bytes)
            throw TError(ScriptNotTheMediumsText(name));
    } else if (elevated) {
        if (const TTrustFault fault = ForeignFault(target, name, script.Get()); fault != TTrustFault::None)
            throw TError(PackagePassedOverText(name, fault));
    }
    return script;
}

// The packages of the suite's folder an elevated run may choose from (full paths): the medium's, and those
// the machine's accounts alone may change; the others are named and passed over. Folders that are links are
// not packages.
std::vector<std::wstring> EligiblePackages(IInstallHost& host, const std::wstring& source,
                                           TTargetFolder& target, bool elevated) {
    std::vector<std::wstring> eligible;
    for (const TFolderEntry& entry : target.Entries(Store)) {
        if (!(entry.Attributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (entry.Attributes &
             (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_REPARSE_POINT)) ||
            entry.Name == L"WithOutAnswer")
            continue;
        const TTrustFault fault =
            elevated && !OnMedium(source, entry.Name) ? ForeignFault(target, entry.Name) : TTrustFault::None;
        if (fault == TTrustFault::None)
            eligible.push_back(target.Full(InStore(entry.Name)));
        else
            host.AddLine(PackagePassedOverText(entry.Name, fault));
    }
    return eligible;
}

} // namespace

TAfterPackageCopies& AfterPackageCopies() noexcept {
    static TAfterPackageCopies hook = nullptr;
    return hook;
}

std::wstring FileNotCopiedText(const std::wstring& file, const std::wstring& reason) {
    return L"Файл " + Quoted(file) + L" не скопирован: " + LowerFirst(reason);
}

std::wstring PackageNotWholeText(const std::wstring& file, const std::wstring& reason) {
    return L"Пакеты обновлений скопированы не полностью: файл «" + file + L"» не скопирован (" +
           LowerFirst(reason) + L"). Установка остановлена, прежние файлы комплекса будут восстановлены.";
}

std::wstring PackageFailedText(const std::wstring& package, std::int32_t exitCode) {
    return L"Пакет выпуска " + Quoted(package) + L" не установлен: сценарий завершился с кодом " +
           std::to_wstring(exitCode);
}

std::size_t CopyReleasePackages(IInstallHost& Host, const std::wstring& Source, TTargetFolder& Target,
                                bool Replaces) {
    // A file of the suite's that a running program holds (the updater, the shell) is not passed over
    // silently: the user closes the program, or the run stops.
    const TInUseRetry inUse = [&](const std::wstring& file, DWORD code) {
        return Target.RetryInUse(Host, Target.Full(file), code);
    };
    ULONGLONG started = ::GetTickCount64();
    const auto took = [&started] {
        const auto now = ::GetTickCount64();
        return std::to_wstring(now - std::exchange(started, now)) + L" мс";
    };
    // "Backup" and "backup" are one folder on Windows.
    std::vector<TCopyFailure> failed = CopyDirTree(Target, Source + Store, Store, inUse);
    for (TCopyFailure& file : CopyDirTree(Target, Source + L"Updater", L"", inUse))
        failed.push_back(std::move(file));
    // A file that did not arrive goes on to the script and the updater as it is, but not unsaid: the run
    // names it and does not count as complete.
    for (const TCopyFailure& file : failed) {
        Host.AddLine(FileNotCopiedText(file.Path, file.Reason));
        if (!file.Detail.empty())
            Host.Trace(file.Detail);
    }
    Host.Trace(L"Пакеты и файлы программы обновления скопированы: " + took());
    // Over an installation, half a package is never committed: the run stops and is undone, and the release
    // that was there stays whole rather than two side by side.
    if (!failed.empty() && Replaces)
        throw TError(PackageNotWholeText(failed.front().Path, failed.front().Reason));
    PassRunPoint(L"package-copies");
    Target.FinishFlushes();
    Host.Trace(L"Скопированные файлы записаны на диск: " + took());
    return failed.size();
}

TChosenPackage ChooseReleasePackage(IInstallHost& Host, const std::wstring& Source, TTargetFolder& Target,
                                    bool Elevated) {
    if (AfterPackageCopies())
        AfterPackageCopies()(Target.Path());
    // The suite's programs write these, whoever runs them.
    Target.SetReadOnly(ReleaseInfoName, false);
    Target.SetReadOnly(L"Updater.exe.cfg", false);
    if (Elevated)
        GrantUsersTheirFiles(Host, Target);
    std::vector<std::wstring> eligible = EligiblePackages(Host, Source, Target, Elevated);
    SortPackageList(eligible);
    const std::wstring store = Target.Full(std::wstring(Store) + L"\\");
    TChosenPackage chosen;
    chosen.Folder = eligible[NewestPackage(eligible, store)];
    chosen.Name = chosen.Folder.substr(store.size());
    // The script that runs is the one checked: held from here to its end, shared for reading only.
    chosen.Script = VerifiedScript(Target, Source, chosen.Name, Elevated);
    return chosen;
}

TPackageOutcome RunReleasePackage(IInstallHost& Host, TTargetFolder& Target, TChosenPackage& Package) {
    TPackageOutcome outcome;
    outcome.Package = Package.Name;
    const std::wstring scriptPath = Package.Folder + L"\\" + ScriptName;
    {
        // The script may rename files into the folders the run held: they are let go of, and the run takes
        // and checks them again where it writes afterwards.
        Target.Release();
        TCurrentFolderAfter restore(Target.Path());
        // The program-start text, deliberate as in Processes.cpp.
        if (!Package.Script)
            throw TError(L"не смог создать процесс: " + scriptPath);
        ::SetCurrentDirectoryW((Package.Folder + L"\\").c_str());
        outcome.ExitCode = RunCommandScript(scriptPath, Package.Folder, SW_HIDE);
    }
    Package.Script.Reset();
    Host.Trace(L"Сценарий установки пакета " + Quoted(outcome.Package) + L" завершился с кодом " +
               std::to_wstring(outcome.ExitCode));
    // A level recorded for a package that did not install would keep the updater from ever offering it again.
    if (outcome.ExitCode != 0) {
        Host.AddLine(PackageFailedText(outcome.Package, outcome.ExitCode));
        return outcome;
    }
    WriteReleaseLevel(Target, PackageLevelText(Package.Folder));
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
    std::wstring value(text, Ole::SysStringLen(text));
    Ole::SysFreeString(text);
    return value;
}
} // namespace

TReleaseInfo ReadReleaseInfo(TTargetFolder& Folder) {
    TComInit com;
    TReleaseInfo info;
    try {
        const TComPtr<IXMLDOMDocument2> document = GuardedDocument();
        std::wstring reason;
        if (!LoadReleaseInfo(document.Get(), Folder, reason))
            return info;
        TComPtr<IXMLDOMElement> element;
        if (FAILED(document->get_documentElement(element.Put())) || !element)
            return info;
        info.Version = TrimControl(NodeText(element.Get(), L"/ROOT/Version"));
        info.Level = TrimControl(NodeText(element.Get(), L"/ROOT/Level"));
    } catch (const TError&) {
        // A file that cannot be read records no release.
    }
    return info;
}

void WriteReleaseLevel(TTargetFolder& Folder, const std::wstring& Level) {
    // The wizard's thread has COM already (S_FALSE then); either way this call's own count is given back.
    TComInit com;
    if (!Folder.IsFile(ReleaseInfoName))
        throw TError(ReleaseInfoMissing);
    try {
        ChangeLevel(Folder, Level);
    } catch (const TError& error) {
        throw TError(ReleaseInfoError + error.Message());
    }
}

void WriteReleaseLevel(const std::wstring& Folder, const std::wstring& Level) {
    TTargetFolder folder(Folder);
    WriteReleaseLevel(folder, Level);
}
