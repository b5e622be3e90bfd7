// The demo installation medium as the build lays it out, its stand-in programs and release scripts started
// the way the installation run starts them, and the variations the end-to-end cases build from it.
#include <gtest/gtest.h>

#include <msxml2.h>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "MediumBuilder.h"
#include "WizardDriver.h"
#include "win/ComPtr.h"

using namespace e2e;

namespace {

// Every file the run copies or starts by name, spelled as the run spells it.
const std::vector<std::pair<std::wstring, std::vector<std::wstring>>> MediumFiles = {
    {L"", {L"Setup.exe", L"Tessaro-Holter.msi"}},
    {L"Settings", {L"holter.ini"}},
    {L"DTAfb", {L"T12.FDB"}},
    {L"Firebird",
     {L"aliases.conf", L"firebird.conf", L"fbclient.Dll", L"ib_util.Dll", L"icudt30.Dll", L"icuin30.Dll",
      L"icuuc30.Dll", L"msvcp80.Dll", L"msvcr80.Dll", L"msvcp71.Dll", L"msvcr71.Dll", L"firebird.msg",
      L"gbak.exe", L"gds32.dll"}},
    {L"Firebird\\intl", {L"fbintl.conf", L"fbintl.dll"}},
    {L"Firebird\\udf", {L"fbudf.dll", L"ib_udf.dll", L"fbudf.sql", L"ib_udf.sql", L"ib_udf2.sql"}},
    {L"UDF", {L"Compare.Dll", L"PosStr.Dll", L"ProcessingECG.Dll", L"SDecision.Dll"}},
    {L"FTDIDriverInstall", {L"FTDIDriverInstall.exe"}},
    {L"Updater", {L"ReleaseInfo", L"Updater.exe.cfg"}},
};
const std::vector<std::wstring> Fonts = {L"ARIAL.TTF",  L"ARIALN.TTF", L"COUR.TTF",   L"MICROSS.TTF",
                                         L"TAHOMA.TTF", L"TIMES.TTF",  L"verdana.TTF"};
const std::vector<std::wstring> PackageFiles = {L"Install.cmd", L"Files\\Shell.exe", L"Files\\version.txt"};

// The DOM document the installer edits the release file with: MSXML 3.0 through IXMLDOMDocument2.
constexpr CLSID DomDocument30 = {
    0xF6D90F11, 0x9C73, 0x11D3, {0xB3, 0x2E, 0x00, 0xC0, 0x4F, 0x99, 0x0B, 0xB4}};
constexpr IID DomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

class TBstr {
public:
    explicit TBstr(const wchar_t* text = nullptr) : FValue(text ? ::SysAllocString(text) : nullptr) {}
    TBstr(const TBstr&) = delete;
    TBstr& operator=(const TBstr&) = delete;
    ~TBstr() { ::SysFreeString(FValue); }
    BSTR Get() const noexcept { return FValue; }
    BSTR* Put() noexcept {
        ::SysFreeString(FValue);
        FValue = nullptr;
        return &FValue;
    }
    std::wstring Text() const {
        return FValue ? std::wstring(FValue, ::SysStringLen(FValue)) : std::wstring();
    }

private:
    BSTR FValue;
};

// What a test needs to know of "ReleaseInfo": the values of some nodes, none for a node that is missing.
struct TReleaseInfo {
    std::optional<std::wstring> Version, Level, Product, Comment;
};

TReleaseInfo LoadReleaseInfo(const std::wstring& path) {
    TComInit com;
    TComPtr<IXMLDOMDocument2> document;
    HRESULT result =
        ::CoCreateInstance(DomDocument30, nullptr, CLSCTX_INPROC_SERVER, DomDocument2, document.PutVoid());
    if (FAILED(result))
        throw TDriverError(L"no MSXML 3.0 DOM document, error " + std::to_wstring(result));
    document->put_async(VARIANT_FALSE);
    VARIANT language;
    ::VariantInit(&language);
    language.vt = VT_BSTR;
    language.bstrVal = ::SysAllocString(L"XPath");
    TBstr property(L"SelectionLanguage");
    document->setProperty(property.Get(), language);
    ::VariantClear(&language);

    VARIANT file;
    ::VariantInit(&file);
    file.vt = VT_BSTR;
    file.bstrVal = ::SysAllocString(path.c_str());
    VARIANT_BOOL loaded = VARIANT_FALSE;
    result = document->load(file, &loaded);
    ::VariantClear(&file);
    if (FAILED(result) || loaded != VARIANT_TRUE)
        throw TDriverError(L"MSXML cannot load \"" + path + L"\"");

    auto text = [&](const wchar_t* query) -> std::optional<std::wstring> {
        TBstr xpath(query);
        TComPtr<IXMLDOMNode> node;
        if (document->selectSingleNode(xpath.Get(), node.Put()) != S_OK || !node)
            return std::nullopt;
        TBstr value;
        node->get_text(value.Put());
        return value.Text();
    };
    return {text(L"/ROOT/Version"), text(L"/ROOT/Level"), text(L"/ROOT/@Product"), text(L"/comment()")};
}

// The name as the folder spells it; empty when there is no such entry.
std::wstring NameOnDisk(const std::wstring& path) {
    WIN32_FIND_DATAW found{};
    TUniqueFind search(::FindFirstFileW(path.c_str(), &found));
    return search ? std::wstring(found.cFileName) : std::wstring();
}

std::vector<std::wstring> Entries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    TUniqueFind search(::FindFirstFileW(JoinPath(folder, L"*").c_str(), &found));
    for (bool more = search.Valid(); more; more = ::FindNextFileW(search.Get(), &found)) {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    }
    return names;
}

std::uint32_t BigEndian(const std::string& bytes, size_t at, size_t size) {
    std::uint32_t value = 0;
    for (size_t i = 0; i < size && at + i < bytes.size(); ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// The full name (name 4, Windows platform, Unicode) from a TrueType file's naming table; empty when none.
// The font step asks GDI's GetFontResourceInfoW for it, which Wine does not implement.
std::wstring FullName(const std::string& font) {
    size_t tables = BigEndian(font, 4, 2);
    for (size_t record = 12; record < 12 + tables * 16 && record + 16 <= font.size(); record += 16) {
        if (font.compare(record, 4, "name") != 0)
            continue;
        size_t table = BigEndian(font, record + 8, 4);
        size_t count = BigEndian(font, table + 2, 2);
        size_t strings = table + BigEndian(font, table + 4, 2);
        for (size_t entry = table + 6; entry < table + 6 + count * 12; entry += 12) {
            if (BigEndian(font, entry, 2) != 3 || BigEndian(font, entry + 2, 2) != 1 ||
                BigEndian(font, entry + 6, 2) != 4)
                continue;
            size_t length = BigEndian(font, entry + 8, 2);
            size_t at = strings + BigEndian(font, entry + 10, 2);
            std::wstring name;
            for (size_t i = 0; i + 1 < length && at + i + 1 < font.size(); i += 2)
                name += static_cast<wchar_t>(BigEndian(font, at + i, 2));
            return name;
        }
    }
    return {};
}

struct TFileState {
    std::string Bytes;
    DWORD Attributes;
    bool operator==(const TFileState&) const = default;
};

// Every file below `folder` by its relative name, with its content and its read-only and hidden bits.
void Snapshot(const std::wstring& folder, const std::wstring& prefix,
              std::map<std::wstring, TFileState>& files) {
    for (const std::wstring& name : Entries(folder)) {
        std::wstring path = JoinPath(folder, name);
        DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            Snapshot(path, prefix + name + L"\\", files);
        else
            files[prefix + name] = {ReadFileBytes(path),
                                    attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)};
    }
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return text;
}

// Starts a program as the installation run does (own console, given show command) and waits for its end;
// no value when it cannot be started.
std::optional<DWORD> RunAndWait(std::wstring commandLine, const std::wstring& folder = {},
                                WORD show = SW_HIDE) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &info))
        return std::nullopt;
    TUniqueHandle process(info.hProcess);
    TUniqueHandle thread(info.hThread);
    if (::WaitForSingleObject(process.Get(), 60000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.Get(), 1);
        throw TDriverError(L"still running after a minute: " + commandLine);
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process.Get(), &code);
    return code;
}

std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

// Runs a package's script from the suite's copy of "backup", in the package's folder, as the run does.
std::optional<DWORD> RunPackage(const std::wstring& suite, const std::wstring& package) {
    std::wstring folder = JoinPath(JoinPath(suite, medium::Backup), package);
    return RunAndWait(Quoted(JoinPath(folder, L"Install.cmd")) + L" ", folder + L"\\");
}

class MediumTest : public ::testing::Test {
protected:
    void SetUp() override {
        FMedium = ReadOptions().Medium;
        ASSERT_FALSE(FMedium.empty()) << "give the medium folder: --medium=<folder> or TESSARO_MEDIUM";
        // Blanks and Cyrillic letters, as in the folders clinics choose.
        FScratch = TempPath(L"tessaro medium тест");
        RemoveTree(FScratch);
    }
    void TearDown() override { RemoveTree(FScratch); }

    std::wstring MediumPath(const std::wstring& relative) const { return JoinPath(FMedium, relative); }
    std::wstring Scratch(const std::wstring& relative) const { return JoinPath(FScratch, relative); }

    std::wstring FMedium;
    std::wstring FScratch;
};

TEST_F(MediumTest, HoldsEveryFileTheRunLooksForSpelledAsItSpellsThem) {
    for (const auto& [folder, names] : MediumFiles)
        for (const std::wstring& name : names)
            EXPECT_EQ(ToUtf8(NameOnDisk(MediumPath(JoinPath(folder, name)))), ToUtf8(name))
                << "in " << ToUtf8(folder);
    for (const std::wstring& font : Fonts)
        EXPECT_EQ(ToUtf8(NameOnDisk(MediumPath(L"fonts\\" + font))), ToUtf8(font));

    // The run picks the newest of the dated packages; anything else in "backup" would change its choice.
    std::set<std::wstring> packages;
    for (const std::wstring& name : Entries(MediumPath(medium::Backup)))
        packages.insert(name);
    EXPECT_EQ(packages,
              (std::set<std::wstring>{medium::NewestPackage, medium::OlderPackage, medium::WithOutAnswer}));
    for (const std::wstring& package : packages)
        for (const std::wstring& file : PackageFiles)
            EXPECT_TRUE(FileExists(MediumPath(JoinPath(JoinPath(medium::Backup, package), file))))
                << ToUtf8(package) << "\\" << ToUtf8(file);
}

TEST_F(MediumTest, FontsAreTrueTypeWithSevenNamesThatGdiKnows) {
    TUniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc);
    std::set<std::wstring> names;
    for (const std::wstring& font : Fonts) {
        std::wstring path = MediumPath(L"fonts\\" + font);
        std::string bytes = ReadFileBytes(path);
        EXPECT_EQ(bytes.substr(0, 4), std::string("\0\1\0\0", 4)) << ToUtf8(font) << " is no TrueType file";
        std::wstring name = FullName(bytes);
        EXPECT_FALSE(name.empty()) << ToUtf8(font);
        names.insert(name);

        // GDI takes the file and then knows the face by that name.
        ASSERT_EQ(::AddFontResourceExW(path.c_str(), FR_PRIVATE, nullptr), 1) << ToUtf8(font);
        LOGFONTW wanted{};
        wanted.lfHeight = -16;
        lstrcpynW(wanted.lfFaceName, name.c_str(), LF_FACESIZE);
        TUniqueFont handle(::CreateFontIndirectW(&wanted));
        wchar_t face[LF_FACESIZE] = L"";
        {
            TSelectObject selected(dc.Get(), handle.Get());
            ::GetTextFaceW(dc.Get(), LF_FACESIZE, face);
        }
        ::RemoveFontResourceExW(path.c_str(), FR_PRIVATE, nullptr);
        EXPECT_EQ(ToUtf8(face), ToUtf8(name)) << ToUtf8(font);
    }
    EXPECT_EQ(names.size(), Fonts.size()) << "two fonts share a name";
}

TEST_F(MediumTest, ReleaseInfoLoadsAndTheUpdaterSettingsAreReadOnly) {
    TReleaseInfo info = LoadReleaseInfo(MediumPath(medium::ReleaseInfo));
    EXPECT_EQ(info.Version, L"1");
    EXPECT_TRUE(info.Level.has_value());
    // Content the installer has to keep when it records the level.
    EXPECT_EQ(info.Product, L"Тессаро-Холтер");
    EXPECT_TRUE(info.Comment.has_value());

    EXPECT_TRUE(::GetFileAttributesW(MediumPath(medium::UpdaterSettings).c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(::GetFileAttributesW(MediumPath(medium::ReleaseInfo).c_str()) & FILE_ATTRIBUTE_READONLY);
}

TEST_F(MediumTest, DriverInstallerRecordsEachStartBesideItself) {
    std::wstring folder = Scratch(L"Комплекс\\FTDIDriverInstall");
    CopyTree(MediumPath(L"FTDIDriverInstall"), folder);
    std::wstring exe = JoinPath(folder, L"FTDIDriverInstall.exe");
    std::wstring record = JoinPath(folder, medium::DriverRecord);

    EXPECT_EQ(RunAndWait(Quoted(exe)), 0u);
    std::string first = ReadFileBytes(record);
    EXPECT_EQ(first.rfind(ToUtf8(Quoted(exe)) + "\t0\t", 0), 0u) << first;
    EXPECT_TRUE(first.ends_with("\r\n"));

    EXPECT_EQ(RunAndWait(Quoted(exe), {}, SW_SHOWNORMAL), 0u);
    std::string both = ReadFileBytes(record);
    EXPECT_EQ(both.rfind(first, 0), 0u);
    EXPECT_NE(both.find("\t1\t", first.size()), std::string::npos) << both;
}

TEST_F(MediumTest, EachPackageScriptPutsItsFilesIntoTheSuiteFolder) {
    std::wstring suite = Scratch(L"Тессаро Холтер");
    CopyTree(MediumPath(medium::Backup), JoinPath(suite, medium::Backup));

    EXPECT_EQ(RunPackage(suite, medium::OlderPackage), 0u);
    EXPECT_EQ(Trimmed(ReadFileBytes(JoinPath(suite, medium::PackageVersion))), ToUtf8(medium::OlderPackage));
    EXPECT_EQ(RunPackage(suite, medium::NewestPackage), 0u);
    EXPECT_EQ(Trimmed(ReadFileBytes(JoinPath(suite, medium::PackageVersion))), ToUtf8(medium::NewestPackage));
    EXPECT_EQ(ReadFileBytes(JoinPath(suite, medium::Shell)),
              ReadFileBytes(MediumPath(L"backup\\R010321\\Files\\Shell.exe")));
    EXPECT_EQ(ReadFileBytes(JoinPath(suite, medium::PackageLog)), "R311220\r\nR010321\r\n");
}

TEST_F(MediumTest, BuilderCopiesEveryFileWithItsContentAndAttributes) {
    TMediumBuilder builder(FMedium, Scratch(L"носитель"));
    std::map<std::wstring, TFileState> original, copy;
    Snapshot(FMedium, L"", original);
    Snapshot(builder.Folder(), L"", copy);
    EXPECT_GE(original.size(), 45u);
    EXPECT_TRUE(original == copy);
    EXPECT_EQ(copy[medium::UpdaterSettings].Attributes, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

TEST_F(MediumTest, BuilderRemovesAndChangesFilesOfItsCopyOnly) {
    TMediumBuilder builder(FMedium, Scratch(L"носитель"));
    builder.RemoveFile(L"fonts\\TAHOMA.TTF")
        .RemoveFolder(L"FTDIDriverInstall")
        .WriteFile(medium::UpdaterSettings, "changed")
        .WriteFile(L"DTAfb\\Новая папка\\notes.txt", "new")
        .SetHidden(L"backup\\R311220", true);

    EXPECT_FALSE(FileExists(builder.Path(L"fonts\\TAHOMA.TTF")));
    EXPECT_TRUE(FileExists(builder.Path(L"fonts\\TIMES.TTF")));
    EXPECT_FALSE(FolderExists(builder.Path(L"FTDIDriverInstall")));
    EXPECT_EQ(ReadFileBytes(builder.Path(medium::UpdaterSettings)), "changed");
    EXPECT_TRUE(::GetFileAttributesW(builder.Path(medium::UpdaterSettings).c_str()) &
                FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ReadFileBytes(builder.Path(L"DTAfb\\Новая папка\\notes.txt")), "new");
    EXPECT_TRUE(::GetFileAttributesW(builder.Path(L"backup\\R311220").c_str()) & FILE_ATTRIBUTE_HIDDEN);

    EXPECT_TRUE(FileExists(MediumPath(L"fonts\\TAHOMA.TTF")));
    EXPECT_TRUE(FolderExists(MediumPath(L"FTDIDriverInstall")));
    EXPECT_NE(ReadFileBytes(MediumPath(medium::UpdaterSettings)), "changed");

    // A second builder on the same folder starts from the medium again, read-only files and all.
    TMediumBuilder again(FMedium, builder.Folder());
    EXPECT_TRUE(FileExists(again.Path(L"fonts\\TAHOMA.TTF")));
    EXPECT_FALSE(FolderExists(again.Path(L"DTAfb\\Новая папка")));
}

TEST_F(MediumTest, BuilderReleaseInfoVariationsStayWellFormed) {
    TMediumBuilder builder(FMedium, Scratch(L"носитель"));
    builder.SetReleaseVersion("2");
    TReleaseInfo info = LoadReleaseInfo(builder.Path(medium::ReleaseInfo));
    EXPECT_EQ(info.Version, L"2");
    EXPECT_EQ(info.Level, LoadReleaseInfo(MediumPath(medium::ReleaseInfo)).Level);
    EXPECT_EQ(info.Product, L"Тессаро-Холтер");
    EXPECT_TRUE(info.Comment.has_value());

    builder.RemoveReleaseElement("Level");
    info = LoadReleaseInfo(builder.Path(medium::ReleaseInfo));
    EXPECT_FALSE(info.Level.has_value());
    EXPECT_EQ(info.Version, L"2");
    EXPECT_THROW(builder.RemoveReleaseElement("Level"), TDriverError);
}

TEST_F(MediumTest, BuilderEmptiesBackupAndAddsPackagesThatWorkOrCannotStart) {
    TMediumBuilder builder(FMedium, Scratch(L"носитель"));
    builder.EmptyBackup();
    EXPECT_TRUE(FolderExists(builder.Path(medium::Backup)));
    EXPECT_TRUE(Entries(builder.Path(medium::Backup)).empty());

    builder.AddPackage(L"R050521").AddPackageWithoutScript(L"R010125");
    std::wstring suite = Scratch(L"Тессаро Холтер");
    CopyTree(builder.Path(medium::Backup), JoinPath(suite, medium::Backup));
    EXPECT_EQ(RunPackage(suite, L"R050521"), 0u);
    EXPECT_EQ(Trimmed(ReadFileBytes(JoinPath(suite, medium::PackageVersion))), "R050521");
    EXPECT_TRUE(FileExists(JoinPath(suite, medium::Shell)));

    EXPECT_TRUE(FileExists(builder.Path(L"backup\\R010125\\Files\\version.txt")));
    EXPECT_EQ(RunPackage(suite, L"R010125"), std::nullopt);
}

} // namespace
