// Outside Windows the ANSI code page is that of the product's Russian systems.
#include "common/TextCodec.h"

std::wstring AnsiToWide(std::string_view bytes) {
    return Cp1251ToWide(bytes);
}
std::string WideToAnsi(std::wstring_view text) {
    return WideToCp1251(text);
}
