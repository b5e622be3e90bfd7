// What the program carries in its own image: the string table and the data resources (the skin's images,
// the information document).
#pragma once

#include <string>
#include <string_view>

// String resource `Id`, at most 254 characters; empty when there is none.
std::wstring GetResText(unsigned Id);

// The bytes of the data resource `name` (RT_RCDATA), mapped for the program's lifetime; empty when the
// program has none of that name.
std::string_view ResourceBytes(const wchar_t* name);
