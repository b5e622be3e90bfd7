// The INI reader against the system's profile-string service on generated files: for every query both
// must give the same text, and after the writer has set a key the service must see that key changed and
// nothing else. The files keep to what Windows and Wine read alike:
// - names vary in case only where they are plain ASCII (Wine folds A to Z only, Windows other letters too);
// - no default is blank only or in quotation marks (Wine answers "   " with " " and strips the marks);
// - no value in quotation marks holds exactly 2047 characters (Wine then drops the last of them);
// - no line without "=" or starting with ";" uses a name that is asked for (Wine takes both for keys);
// - no section or key name asked for is empty, and the only blanks are spaces and tabs.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/FileIO.h"
#include "common/IniFile.h"
#include "common/TextCodec.h"

namespace {

// Our own generator (splitmix64), so that a seed gives the same files with every compiler and library.
class TRandom {
public:
    explicit TRandom(std::uint64_t seed) : FState(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (FState += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }
    bool Percent(unsigned p) { return Below(100) < p; }
    template <class T, std::size_t N> const T& Pick(const T (&items)[N]) { return items[Below(N)]; }

private:
    std::uint64_t FState;
};

const wchar_t* const SectionNames[] = {L"options", L"ECG",   L"x",    L"Other", L"a b",
                                       L"Tail.1",  L"Опции", L"Café", L"設定"};
const wchar_t* const KeyNames[] = {
    L"Path", L"a",     L"a;b",  L"FilterType", L"LanguageSetting", L"key with blanks", L"k.1",
    L"Ключ", L"Größe", L"名前", L"x[1]"};
// Lines without "=": names that no query uses.
const wchar_t* const LooseLines[] = {L"just words", L"ЛишняяСтрока", L"orphan line"};
const wchar_t* const Words[] = {L"v1",
                                L"C:\\Program Files\\Тессаро-Холтер\\",
                                L"0x10",
                                L"$FF",
                                L"a=b",
                                L"; semi",
                                L"[not a section]",
                                L"ENG",
                                L"Русский",
                                L"naïve",
                                L"汉字",
                                L"\U0001F493",
                                L"x y",
                                L"'",
                                L"\"",
                                L"=",
                                L"#",
                                L"1.5"};
const wchar_t* const Defaults[] = {L"<d>", L"<d>  ", L"", L"one two  ", L" lead", L"Значение по умолчанию "};
const wchar_t Quotes[] = {L'"', L'\''};

bool IsAscii(std::wstring_view text) {
    for (wchar_t c : text)
        if (c >= 0x80)
            return false;
    return true;
}

wchar_t AsciiLower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
}

std::wstring_view TrimBlanks(std::wstring_view s) {
    while (!s.empty() && (s.front() == L' ' || s.front() == L'\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == L' ' || s.back() == L'\t'))
        s.remove_suffix(1);
    return s;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
    a = TrimBlanks(a), b = TrimBlanks(b);
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

class TFileMaker {
public:
    explicit TFileMaker(TRandom& random) : R(random) {}

    std::wstring Blanks(unsigned percent) {
        std::wstring out;
        while (R.Percent(percent))
            out += R.Percent(70) ? L' ' : L'\t';
        return out;
    }
    // ASCII names come in any case; the others only as written.
    std::wstring Variant(const wchar_t* name) {
        std::wstring out = name;
        if (IsAscii(out) && R.Percent(50))
            for (wchar_t& c : out)
                if (R.Percent(50))
                    c = c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : AsciiLower(c);
        return out;
    }
    std::wstring LineEnd() {
        const std::size_t roll = R.Below(100);
        return roll < 70 ? L"\r\n" : roll < 85 ? L"\n" : L"\r";
    }
    std::wstring Value() {
        std::wstring content;
        if (R.Percent(4)) {
            const std::size_t lengths[] = {2045, 2046, 2047, 2048, 2049, 2500, 4100};
            content.assign(R.Pick(lengths), R.Percent(50) ? L'z' : L'ж');
            if (R.Percent(30))
                content[R.Below(content.size())] = L'=';
        } else {
            for (std::size_t n = R.Below(5); n > 0; --n) {
                content += R.Pick(Words);
                if (n > 1)
                    content += Blanks(40);
            }
        }
        if (R.Percent(20)) {
            const wchar_t quote = R.Pick(Quotes);
            std::wstring inner = Blanks(20) + content + Blanks(20);
            if (inner.size() == TIniFile::MaxValueLength)
                inner += L'z';
            content = quote + inner + quote;
        }
        return Blanks(30) + content + Blanks(30);
    }

    std::wstring Text(std::vector<std::wstring>& sections, std::vector<std::wstring>& keys) {
        std::wstring text;
        auto line = [&](const std::wstring& body) { text += body + LineEnd(); };
        auto keyLine = [&] {
            const wchar_t* key = R.Pick(KeyNames);
            keys.push_back(key);
            line(Blanks(15) + Variant(key) + Blanks(25) + L"=" + Value());
        };
        for (std::size_t n = R.Percent(20) ? 1 + R.Below(2) : 0; n > 0; --n)
            keyLine(); // before any section
        for (std::size_t s = 1 + R.Below(5); s > 0; --s) {
            const wchar_t* section = R.Pick(SectionNames);
            sections.push_back(section);
            line(Blanks(15) + L"[" + Blanks(15) + Variant(section) + Blanks(15) + L"]" + Blanks(15));
            for (std::size_t n = R.Below(7); n > 0; --n) {
                const std::size_t roll = R.Below(100);
                if (roll < 65)
                    keyLine();
                else if (roll < 78)
                    line(Blanks(20) + L";" +
                         (R.Percent(50) ? Variant(R.Pick(KeyNames)) + L"=" + Value()
                                        : std::wstring(L" comment")));
                else if (roll < 92)
                    line(Blanks(30));
                else
                    line(Blanks(20) + R.Pick(LooseLines) + Blanks(20));
            }
        }
        // The last line may end without a line end.
        if (R.Percent(25) && !text.empty()) {
            text.pop_back();
            if (!text.empty() && text.back() == L'\r')
                text.pop_back();
        }
        return text;
    }

    // Mostly names the file has, sometimes any other.
    std::wstring Name(const std::vector<std::wstring>& used, const wchar_t* const* pool,
                      std::size_t poolSize) {
        const wchar_t* name =
            !used.empty() && R.Percent(75) ? used[R.Below(used.size())].c_str() : pool[R.Below(poolSize)];
        return Blanks(10) + Variant(name) + Blanks(10);
    }

private:
    TRandom& R;
};

struct TQuery {
    std::wstring Section, Key, Default;
};

std::wstring ServiceRead(const std::wstring& file, const TQuery& q) {
    wchar_t buffer[TIniFile::MaxValueLength + 1];
    ::GetPrivateProfileStringW(q.Section.c_str(), q.Key.c_str(), q.Default.c_str(), buffer,
                               TIniFile::MaxValueLength + 1, file.c_str());
    return buffer;
}

// Control characters and long runs made readable for the failure report.
std::string Shown(std::wstring_view text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t run = 1;
        while (i + run < text.size() && text[i + run] == text[i])
            ++run;
        if (run > 8) {
            out += text[i] + (L"{x" + std::to_wstring(run) + L"}");
            i += run - 1;
            continue;
        }
        switch (text[i]) {
        case L'\r':
            out += L"\\r";
            break;
        case L'\n':
            out += L"\\n";
            break;
        case L'\t':
            out += L"\\t";
            break;
        default:
            out += text[i];
        }
    }
    return WideToUtf8(out);
}

// Lines, with CR LF, LF and a lone CR each ending one.
std::size_t LineCount(std::wstring_view text) {
    std::size_t lines = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            ++i;
        if (text[i] == L'\r' || text[i] == L'\n')
            ++lines;
    }
    return lines + (!text.empty() && text.back() != L'\r' && text.back() != L'\n' ? 1 : 0);
}

bool EveryLineEndsInCrLf(std::wstring_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool crWithoutLf = text[i] == L'\r' && (i + 1 == text.size() || text[i + 1] != L'\n');
        const bool lfWithoutCr = text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r');
        if (crWithoutLf || lfWithoutCr)
            return false;
    }
    return text.empty() || text.ends_with(L"\r\n");
}

void PutFile(const std::wstring& file, const std::string& bytes) {
    const HANDLE h = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(h);
    ASSERT_EQ(written, bytes.size());
}

TEST(IniDiff, ReaderAndWriterAgreeWithTheProfileStringServiceOnGeneratedFiles) {
    constexpr int Files = 3000;
    constexpr int QueriesPerFile = 8;
    const std::wstring folder = ExecutableFolder() + L"ini_diff\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);

    TRandom random(20240611);
    TFileMaker maker(random);
    const TTextEncoding encodings[] = {TTextEncoding::Ansi, TTextEncoding::Utf8, TTextEncoding::Utf16Le};
    int queries = 0, found = 0, readMismatches = 0, writeMismatches = 0;
    std::string readReport, writeReport;
    auto note = [](int& counter, std::string& report, const std::string& what) {
        if (++counter <= 6)
            report += what + "\n";
    };

    for (int n = 0; n < Files; ++n) {
        std::vector<std::wstring> sections, keys;
        const std::wstring text = maker.Text(sections, keys);
        const TTextEncoding encoding = random.Pick(encodings);
        const std::wstring file = folder + L"f" + std::to_wstring(n) + L".ini";
        PutFile(file, EncodeText(text, encoding));
        const std::string fileShown = "file " + std::to_string(n) + " (encoding " +
                                      std::to_string(static_cast<int>(encoding)) + "): " + Shown(text);

        std::vector<TQuery> batch;
        std::vector<std::wstring> before;
        const TIniFile ini(file);
        for (int q = 0; q < QueriesPerFile; ++q) {
            TQuery query{maker.Name(sections, SectionNames, std::size(SectionNames)),
                         maker.Name(keys, KeyNames, std::size(KeyNames)), random.Pick(Defaults)};
            if (random.Percent(3))
                query.Default = std::wstring(3000, L'д');
            const std::wstring service = ServiceRead(file, query);
            const std::wstring ours = ini.ReadString(query.Section, query.Key, query.Default);
            ++queries;
            found += ini.ReadString(query.Section, query.Key, L"\uE000") != L"\uE000" ? 1 : 0;
            if (service != ours)
                note(readMismatches, readReport,
                     fileShown + "\n  [" + Shown(query.Section) + "] " + Shown(query.Key) + " default \"" +
                         Shown(query.Default) + "\": service \"" + Shown(service) + "\", ours \"" +
                         Shown(ours) + "\"");
            batch.push_back(std::move(query));
            before.push_back(service);
        }

        // Set one key, mostly one that the queries ask for; an ANSI file takes ASCII names only.
        const TQuery& target = batch[random.Below(batch.size())];
        std::wstring section = random.Percent(80) ? target.Section : maker.Variant(random.Pick(SectionNames));
        std::wstring key = random.Percent(80) ? target.Key : maker.Variant(random.Pick(KeyNames));
        if (encoding == TTextEncoding::Ansi && (!IsAscii(section) || !IsAscii(key)))
            section = L"options", key = L"FilterType";
        const std::wstring value = L"w" + std::to_wstring(n);
        TIniFile writer(file);
        writer.WriteString(section, key, value);
        // What UpdateFile would write, without its flush to the disk for each of the files.
        const std::string written = writer.ToBytes();
        PutFile(file, written);

        const std::wstring after = DecodeText(written).Text;
        if (!EveryLineEndsInCrLf(after) || LineCount(after) < LineCount(text) ||
            LineCount(after) > LineCount(text) + 3)
            note(writeMismatches, writeReport, fileShown + "\n  written back as: " + Shown(after));
        for (std::size_t q = 0; q < batch.size(); ++q) {
            const bool isTarget = SameName(batch[q].Section, section) && SameName(batch[q].Key, key);
            const std::wstring expected = isTarget ? value : before[q];
            const std::wstring service = ServiceRead(file, batch[q]);
            if (service != expected)
                note(writeMismatches, writeReport,
                     fileShown + "\n  after [" + Shown(section) + "] " + Shown(key) + "=" + Shown(value) +
                         ": [" + Shown(batch[q].Section) + "] " + Shown(batch[q].Key) + " service \"" +
                         Shown(service) + "\", expected \"" + Shown(expected) + "\"");
        }
        ::DeleteFileW(file.c_str());
    }
    ::RemoveDirectoryW(folder.c_str());

    std::printf("%d files, %d queries (%d find a key): %d read and %d write disagreements\n", Files, queries,
                found, readMismatches, writeMismatches);
    EXPECT_EQ(readMismatches, 0) << readReport;
    EXPECT_EQ(writeMismatches, 0) << writeReport;
    EXPECT_GT(found, queries / 5) << "too few queries name a key that the file holds";
}

} // namespace
