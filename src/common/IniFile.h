// An INI file held in memory: read with the rules of the Windows profile-string service, changed, and
// written back with every other line, the encoding and the byte-order mark as they were.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/TextCodec.h"

class TIniFile {
public:
    // The profile-string service hands out at most this many characters (a 2048-character buffer).
    static constexpr std::size_t MaxValueLength = 2047;

    TIniFile() = default;
    // Loads the file. A missing or unreadable file reads as empty, as it does for the profile-string
    // service; an unreadable one is remembered so that UpdateFile never overwrites it.
    explicit TIniFile(std::wstring fileName);
    static TIniFile FromBytes(std::string_view bytes);

    const std::wstring& FileName() const noexcept { return FFileName; }
    TTextEncoding Encoding() const noexcept { return FEncoding; }

    // Section and key names match without regard to case; enclosing quotation marks are removed; the
    // result is cut to MaxValueLength. A missing section or key gives `def` without its trailing spaces; a
    // present empty value gives "". CR LF, LF and a lone CR each end a line.
    std::wstring ReadString(std::wstring_view section, std::wstring_view key, std::wstring_view def) const;
    // Decimal, or hexadecimal after "0x", "0X" or "$", optionally signed; anything else gives `def`.
    std::int32_t ReadInteger(std::wstring_view section, std::wstring_view key, std::int32_t def) const;
    // An integer: 0 is false, any other is true; a text that is no integer gives `def`.
    bool ReadBool(std::wstring_view section, std::wstring_view key, bool def) const;
    // "." as the decimal point whatever the user's locale; anything else gives `def`.
    double ReadFloat(std::wstring_view section, std::wstring_view key, double def) const;

    // Replaces the value in place, or adds the key at the end of its section (the section at the end of
    // the file). Throws TError for names or values that would break the file's lines.
    void WriteString(std::wstring_view section, std::wstring_view key, std::wstring_view value);
    void WriteInteger(std::wstring_view section, std::wstring_view key, std::int32_t value);
    void WriteBool(std::wstring_view section, std::wstring_view key, bool value);

    // The key's value as its line holds it, quotation marks and all; nothing where the key is missing.
    std::optional<std::wstring> RawValue(std::wstring_view section, std::wstring_view key) const;
    // Takes the key's line out; false where there was none.
    bool DeleteKey(std::wstring_view section, std::wstring_view key);
    // Whether any section holds a key.
    bool HasKeys() const;

    // The file's bytes: lines ended by CR LF, in the encoding (and with the mark) it was loaded with.
    std::string ToBytes() const;
    // Writes the file back safely (see ReplaceFileContents). Throws TError when it cannot, also when the
    // file existed but could not be read, since writing then would destroy what it holds.
    void UpdateFile() const;

private:
    enum class TLineKind { Other, Section, Key };
    struct TLine {
        std::wstring Text;
        TLineKind Kind = TLineKind::Other;
        std::wstring Name;           // section or key name, blanks removed
        std::size_t ValueOffset = 0; // for keys: where the value begins in Text
        std::wstring_view Value() const;
    };
    struct TRange {
        std::size_t Begin, End; // lines of a section's body
        std::size_t Header;     // line of the section header
    };

    static TLine ParseLine(std::wstring text);
    void ParseText(std::wstring_view text);
    std::optional<TRange> FindSection(std::wstring_view section) const;
    const TLine* FindKey(std::wstring_view section, std::wstring_view key) const;

    std::wstring FFileName;
    TTextEncoding FEncoding = TTextEncoding::Ansi;
    std::wstring FLoadError;
    bool FLoadFailed = false;
    std::vector<TLine> FLines;
};

// Value conversions, shared with readers that have the text already.
std::optional<std::int32_t> ParseIniInteger(std::wstring_view text);
std::optional<double> ParseIniFloat(std::wstring_view text);
