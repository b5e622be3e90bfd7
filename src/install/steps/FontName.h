// A TrueType or OpenType font's full name, read from the file's own name table: what the font step lists
// a font under where the system cannot tell the name itself.
#pragma once

#include <string>
#include <string_view>

// The full name (name ID 4, else the family name, ID 1) of the first font in the file, preferring the
// Windows records in US English, then any Windows or Unicode record, then a Macintosh one. Empty when the
// bytes hold no readable name table. Never reads outside the bytes, whatever they hold.
std::wstring FontFullName(std::string_view fontFile);
