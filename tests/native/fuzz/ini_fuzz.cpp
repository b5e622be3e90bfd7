// Any bytes as an INI file: reading never fails, and what is written reads back after a round trip.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/IniFile.h"
#include "common/TH_Common_Var.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TIniFile ini = TIniFile::FromBytes(bytes);
    ReadSettings(ini);
    ini.ReadFloat(L"options", L"Channel1Gain", 1.0);

    ini.WriteString(L"fuzz", L"key", L"value");
    ini.WriteInteger(L"options", L"FilterType", 0);
    const std::string written = ini.ToBytes();
    const TIniFile again = TIniFile::FromBytes(written);
    if (again.Encoding() != ini.Encoding() || again.ReadString(L"fuzz", L"key", L"") != L"value" ||
        again.ReadInteger(L"options", L"FilterType", -1) != 0)
        std::abort();
    // After one pass through the writer the file is stable: the writer changes nothing it did not set.
    if (again.ToBytes() != written)
        std::abort();
    return 0;
}
