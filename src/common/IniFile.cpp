// Reading follows what GetPrivateProfileStringW does with a file, so that the suite reads the same
// values from a file on every platform this code runs on.
#include "common/IniFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "common/Error.h"
#include "common/FileIO.h"
#include "common/StrUtils.h"

namespace {

bool IsBlank(wchar_t c) {
    // Ctrl-Z counts as a blank: old editors end files with it.
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f' || c == 0x1A;
}

std::wstring_view Trim(std::wstring_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::wstring_view StripQuotes(std::wstring_view value) {
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

bool BreaksLine(std::wstring_view text) {
    return text.find_first_of(std::wstring_view(L"\r\n\0", 3)) != std::wstring_view::npos;
}

} // namespace

std::optional<std::int32_t> ParseIniInteger(std::wstring_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    unsigned base = 10;
    if (i < text.size() && text[i] == L'$') {
        base = 16, ++i;
    } else if (i + 1 < text.size() && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X')) {
        base = 16, i += 2;
    }
    if (i == text.size())
        return std::nullopt;
    // Hexadecimal covers the full 32 bits ($FFFFFFFF is -1); decimal must fit the signed range.
    const std::uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    std::uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const wchar_t c = text[i];
        unsigned digit;
        if (c >= L'0' && c <= L'9')
            digit = static_cast<unsigned>(c - L'0');
        else if (base == 16 && c >= L'a' && c <= L'f')
            digit = static_cast<unsigned>(c - L'a' + 10);
        else if (base == 16 && c >= L'A' && c <= L'F')
            digit = static_cast<unsigned>(c - L'A' + 10);
        else
            return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return std::nullopt;
    }
    std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
    if (negative)
        bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
}

std::optional<double> ParseIniFloat(std::wstring_view text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (wchar_t c : text) {
        if (c <= 0 || c >= 0x80)
            return std::nullopt;
        narrow.push_back(static_cast<char>(c));
    }
    std::string_view digits = narrow;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
        if (!digits.empty() && digits.front() == '-')
            return std::nullopt;
    }
    if (digits.empty())
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::wstring_view TIniFile::TLine::Value() const {
    return Trim(std::wstring_view(Text).substr(ValueOffset));
}

TIniFile::TLine TIniFile::ParseLine(std::wstring text) {
    TLine line;
    line.Text = std::move(text);
    const std::wstring_view body = Trim(line.Text);
    if (body.empty() || body.front() == L';')
        return line;
    if (body.front() == L'[') {
        const auto close = body.rfind(L']');
        if (close != std::wstring_view::npos) {
            line.Kind = TLineKind::Section;
            line.Name = Trim(body.substr(1, close - 1));
            return line;
        }
    }
    // A line without "=" names no value; the service answers such a key with the default.
    const auto equals = line.Text.find(L'=');
    if (equals == std::wstring::npos)
        return line;
    line.Kind = TLineKind::Key;
    line.Name = Trim(std::wstring_view(line.Text).substr(0, equals));
    line.ValueOffset = equals + 1;
    while (line.ValueOffset < line.Text.size() && IsBlank(line.Text[line.ValueOffset]))
        ++line.ValueOffset;
    return line;
}

void TIniFile::ParseText(std::wstring_view text) {
    FLines.clear();
    std::size_t start = 0;
    while (start < text.size()) {
        // CR LF, LF and a lone CR each end one line, as for the profile-string service; otherwise a lone CR
        // would join two lines into one value that the suite's programs read as two.
        const std::size_t end = std::min(text.find_first_of(L"\r\n", start), text.size());
        std::size_t next = end;
        if (next < text.size())
            next += text.substr(next, 2) == L"\r\n" ? 2 : 1;
        FLines.push_back(ParseLine(std::wstring(text.substr(start, end - start))));
        start = next;
    }
}

TIniFile::TIniFile(std::wstring fileName) : FFileName(std::move(fileName)) {
    TFileBytes file = ReadWholeFile(FFileName);
    if (file.Status == TReadStatus::Failed) {
        FLoadError = file.Error;
        FLoadFailed = true;
        return;
    }
    TDecodedText decoded = DecodeText(file.Bytes);
    FEncoding = decoded.Encoding;
    ParseText(decoded.Text);
}

TIniFile TIniFile::FromBytes(std::string_view bytes) {
    TIniFile ini;
    TDecodedText decoded = DecodeText(bytes);
    ini.FEncoding = decoded.Encoding;
    ini.ParseText(decoded.Text);
    return ini;
}

std::optional<TIniFile::TRange> TIniFile::FindSection(std::wstring_view section) const {
    section = Trim(section);
    if (section.empty())
        return std::nullopt;
    // As with the service, only the first section of a name counts.
    for (std::size_t i = 0; i < FLines.size(); ++i) {
        if (FLines[i].Kind != TLineKind::Section || !SameText(FLines[i].Name, section))
            continue;
        std::size_t end = i + 1;
        while (end < FLines.size() && FLines[end].Kind != TLineKind::Section)
            ++end;
        return TRange{i + 1, end, i};
    }
    return std::nullopt;
}

const TIniFile::TLine* TIniFile::FindKey(std::wstring_view section, std::wstring_view key) const {
    const auto range = FindSection(section);
    key = Trim(key);
    if (!range || key.empty())
        return nullptr;
    for (std::size_t i = range->Begin; i < range->End; ++i)
        if (FLines[i].Kind == TLineKind::Key && SameText(FLines[i].Name, key))
            return &FLines[i];
    return nullptr;
}

std::wstring TIniFile::ReadString(std::wstring_view section, std::wstring_view key,
                                  std::wstring_view def) const {
    const TLine* line = FindKey(section, key);
    if (line)
        return std::wstring(StripQuotes(line->Value()).substr(0, MaxValueLength));
    // The service drops the default's trailing spaces, all of them as its documentation says (Wine keeps one
    // of a default that is nothing but spaces); a trailing tab stays.
    while (!def.empty() && def.back() == L' ')
        def.remove_suffix(1);
    return std::wstring(def.substr(0, MaxValueLength));
}

std::int32_t TIniFile::ReadInteger(std::wstring_view section, std::wstring_view key, std::int32_t def) const {
    const TLine* line = FindKey(section, key);
    if (!line)
        return def;
    return ParseIniInteger(ReadString(section, key, L"")).value_or(def);
}

bool TIniFile::ReadBool(std::wstring_view section, std::wstring_view key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

double TIniFile::ReadFloat(std::wstring_view section, std::wstring_view key, double def) const {
    const TLine* line = FindKey(section, key);
    if (!line)
        return def;
    return ParseIniFloat(ReadString(section, key, L"")).value_or(def);
}

void TIniFile::WriteString(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || key.empty() || BreaksLine(section) || BreaksLine(key) || BreaksLine(value) ||
        key.find(L'=') != std::wstring_view::npos || key.front() == L'[' || key.front() == L';')
        throw TError(L"Недопустимая запись в INI-файл: [" + std::wstring(section) + L"] " +
                     std::wstring(key));

    std::wstring text = std::wstring(key) + L"=" + std::wstring(value);
    const auto range = FindSection(section);
    if (!range) {
        if (!FLines.empty() && !Trim(FLines.back().Text).empty())
            FLines.push_back(ParseLine(L""));
        FLines.push_back(ParseLine(L"[" + std::wstring(section) + L"]"));
        FLines.push_back(ParseLine(std::move(text)));
        return;
    }
    for (std::size_t i = range->Begin; i < range->End; ++i) {
        TLine& line = FLines[i];
        if (line.Kind == TLineKind::Key && SameText(line.Name, key)) {
            // The key keeps its spelling and the layout before the value.
            line = ParseLine(line.Text.substr(0, line.ValueOffset) + std::wstring(value));
            return;
        }
    }
    // After the section's last non-blank line, so that blank lines keep separating it from the next one.
    std::size_t at = range->End;
    while (at > range->Begin && Trim(FLines[at - 1].Text).empty())
        --at;
    FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(at), ParseLine(std::move(text)));
}

std::optional<std::wstring> TIniFile::RawValue(std::wstring_view section, std::wstring_view key) const {
    const TLine* line = FindKey(section, key);
    return line ? std::optional<std::wstring>(line->Value()) : std::nullopt;
}

bool TIniFile::DeleteKey(std::wstring_view section, std::wstring_view key) {
    const TLine* line = FindKey(section, key);
    if (!line)
        return false;
    FLines.erase(FLines.begin() + (line - FLines.data()));
    return true;
}

bool TIniFile::HasKeys() const {
    return std::any_of(FLines.begin(), FLines.end(),
                       [](const TLine& line) { return line.Kind == TLineKind::Key; });
}

void TIniFile::WriteInteger(std::wstring_view section, std::wstring_view key, std::int32_t value) {
    WriteString(section, key, std::to_wstring(value));
}

void TIniFile::WriteBool(std::wstring_view section, std::wstring_view key, bool value) {
    WriteString(section, key, value ? L"1" : L"0");
}

std::string TIniFile::ToBytes() const {
    std::wstring text;
    for (const TLine& line : FLines) {
        text += line.Text;
        text += L"\r\n";
    }
    return EncodeText(text, FEncoding);
}

void TIniFile::UpdateFile() const {
    if (FLoadFailed)
        throw TError(L"Не удалось прочитать файл " + Quoted(FFileName) + L": " + FLoadError);
    ReplaceFileContents(FFileName, ToBytes());
}
