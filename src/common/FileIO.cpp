// Path helpers shared by both platforms.
#include "common/FileIO.h"

std::wstring ExtractFilePath(const std::wstring& fileName) {
    const auto cut = fileName.find_last_of(L"\\/:");
    return cut == std::wstring::npos ? std::wstring() : fileName.substr(0, cut + 1);
}

std::wstring ExtractFileName(const std::wstring& fileName) {
    return fileName.substr(ExtractFilePath(fileName).size());
}
