// Turning the bytes of the suite's text files into wide text and back: UTF-8 and UTF-16LE with their
// byte-order marks, and the system's ANSI code page for files without a mark.
#pragma once

#include <string>
#include <string_view>

enum class TTextEncoding {
    Ansi,   // no mark; the system's ANSI code page
    Utf8,   // with the mark EF BB BF
    Utf16Le // with the mark FF FE
};

struct TDecodedText {
    std::wstring Text;
    TTextEncoding Encoding = TTextEncoding::Ansi;
};

// Picks the encoding by the byte-order mark and decodes the rest. Malformed input is never an error:
// each bad sequence becomes U+FFFD, so a damaged file still yields whatever text it holds.
TDecodedText DecodeText(std::string_view bytes);
// The bytes of a file in `encoding`, mark included.
std::string EncodeText(std::wstring_view text, TTextEncoding encoding);

std::wstring Utf8ToWide(std::string_view bytes);
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf16LeToWide(std::string_view bytes);
std::string WideToUtf16Le(std::wstring_view text);
std::wstring Cp1251ToWide(std::string_view bytes);
// Characters that Windows-1251 lacks become '?', as the system's own conversion does.
std::string WideToCp1251(std::wstring_view text);

// The system's ANSI code page: the active one on Windows, Windows-1251 elsewhere (the code page of the
// product's Russian systems). Implemented by the platform adapters.
std::wstring AnsiToWide(std::string_view bytes);
std::string WideToAnsi(std::wstring_view text);
