// The INI reader and writer, and the text encodings under them.
#include <climits>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "common/Error.h"
#include "common/IniFile.h"
#include "common/TextCodec.h"

namespace {

const std::string Utf8Mark = "\xEF\xBB\xBF";
const std::string Utf16Mark = "\xFF\xFE";

TIniFile Parse(std::wstring_view text) {
    return TIniFile::FromBytes(WideToUtf8(text).insert(0, Utf8Mark));
}

TEST(TextCodec, RoundTripsTextOutsideTheBasicPlaneInBothUnicodeForms) {
    const std::wstring text = L"Пульс \U0001F493 ok";
    EXPECT_EQ(Utf8ToWide(WideToUtf8(text)), text);
    EXPECT_EQ(Utf16LeToWide(WideToUtf16Le(text)), text);
    EXPECT_EQ(WideToUtf16Le(L"\U0001F493"), std::string("\x3D\xD8\x93\xDC", 4));
}

TEST(TextCodec, MalformedBytesBecomeReplacementCharactersAndTheRestSurvives) {
    EXPECT_EQ(Utf8ToWide("a\xC3(b\xE2\x82"), L"a\uFFFD(b\uFFFD");
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"
                         "x"),
              L"\uFFFD\uFFFDx");                      // overlong "/"
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), L"\uFFFD"); // encoded surrogate
    EXPECT_EQ(Utf16LeToWide(std::string("\x00\xD8"
                                        "A\x00"
                                        "B",
                                        5)),
              L"\uFFFDA\uFFFD");
    EXPECT_EQ(Cp1251ToWide("\x98\xC0\xFF"), L"\uFFFDАя");
    EXPECT_EQ(WideToCp1251(L"Ёё№Ω"), "\xA8\xB8\xB9?");
}

TEST(IniRead, DecodesEachEncodingWithACyrillicValue) {
    const std::wstring text = L"[options]\r\nLanguageSetting=Русский\r\n";
    const TIniFile utf16 = TIniFile::FromBytes(Utf16Mark + WideToUtf16Le(text));
    const TIniFile utf8 = TIniFile::FromBytes(Utf8Mark + WideToUtf8(text));
    const TIniFile ansi = TIniFile::FromBytes(WideToCp1251(text));
    EXPECT_EQ(utf16.Encoding(), TTextEncoding::Utf16Le);
    EXPECT_EQ(utf8.Encoding(), TTextEncoding::Utf8);
    EXPECT_EQ(ansi.Encoding(), TTextEncoding::Ansi);
    for (const TIniFile* ini : {&utf16, &utf8, &ansi})
        EXPECT_EQ(ini->ReadString(L"options", L"LanguageSetting", L""), L"Русский");
}

TEST(IniRead, FollowsTheProfileStringRules) {
    const TIniFile ini = Parse(L"top=before any section\n"
                               L"[Опции]\n"
                               L"  Ключ  =   значение с пробелом   \n"
                               L"; FilterType=9\n"
                               L"FilterType=1\n"
                               L"filtertype=2\n"
                               L"quoted=\"  a b  \"\n"
                               L"single='x'\n"
                               L"mismatched=\"x'\n"
                               L"lonequote=\"\n"
                               L"empty=\n"
                               L"novalue\n"
                               L"[опции]\n"
                               L"second=section of the same name\n");
    EXPECT_EQ(ini.ReadString(L"ОПЦИИ", L"КЛЮЧ", L"?"), L"значение с пробелом");
    EXPECT_EQ(ini.ReadString(L" опции ", L"filterTYPE", L"?"), L"1");
    EXPECT_EQ(ini.ReadString(L"Опции", L"quoted", L"?"), L"  a b  ");
    EXPECT_EQ(ini.ReadString(L"Опции", L"single", L"?"), L"x");
    EXPECT_EQ(ini.ReadString(L"Опции", L"mismatched", L"?"), L"\"x'");
    EXPECT_EQ(ini.ReadString(L"Опции", L"lonequote", L"?"), L"\"");
    EXPECT_EQ(ini.ReadString(L"Опции", L"empty", L"?"), L"");
    EXPECT_EQ(ini.ReadString(L"Опции", L"novalue", L"?"), L"?");
    EXPECT_EQ(ini.ReadString(L"Опции", L"; FilterType", L"?"), L"?");
    EXPECT_EQ(ini.ReadString(L"Опции", L"second", L"?"), L"?");
    EXPECT_EQ(ini.ReadString(L"", L"top", L"?"), L"?");
    EXPECT_EQ(ini.ReadString(L"missing", L"FilterType", L"def"), L"def");
}

TEST(IniRead, ALoneCarriageReturnEndsALineAsCrLfAndLfDo) {
    struct TCase {
        const wchar_t *Text, *Section, *Key, *Expected;
    };
    const TCase cases[] = {
        {L"[x]\r\nPath=v1\ra=v2\r\n", L"x", L"Path", L"v1"},
        {L"[x]\r\nPath=v1\ra=v2\r\n", L"x", L"a", L"v2"},
        {L"[ECG]\ra;b=v1\r\n", L"ECG", L"a;b", L"v1"},
        {L"[ECG]\r\n; comment\ra=v2\r\n", L"ECG", L"a", L"v2"},
        {L"[x]\n\rk=1\n\r", L"x", L"k", L"1"},
        {L"[x]\r\r\nk=\"q\"\r", L"x", L"k", L"q"},
    };
    for (const TCase& c : cases) {
        const TIniFile utf8 = Parse(c.Text);
        const TIniFile utf16 = TIniFile::FromBytes(Utf16Mark + WideToUtf16Le(c.Text));
        const TIniFile ansi = TIniFile::FromBytes(WideToCp1251(c.Text));
        for (const TIniFile* ini : {&utf8, &utf16, &ansi})
            EXPECT_EQ(ini->ReadString(c.Section, c.Key, L"?"), c.Expected) << WideToUtf8(c.Text);
    }
}

TEST(IniRead, DefaultLosesItsTrailingSpaces) {
    const TIniFile ini = Parse(L"[s]\nk= v  \n");
    EXPECT_EQ(ini.ReadString(L"s", L"missing", L"<d>  "), L"<d>");
    EXPECT_EQ(ini.ReadString(L"missing", L"k", L" one two  "), L" one two");
    EXPECT_EQ(ini.ReadString(L"s", L"missing", L"   "), L"");
    EXPECT_EQ(ini.ReadString(L"s", L"k", L"<d>  "), L"v");
    EXPECT_EQ(ini.ReadString(L"s", L"missing", std::wstring(3000, L'д') + L"  ").size(), 2047u);
}

TEST(IniRead, CutsLongValuesAndDefaultsTo2047Characters) {
    const std::wstring longValue(5000, L'ж');
    const TIniFile ini = Parse(L"[s]\nlong=" + longValue + L"\nquoted=\"" + longValue + L"\"\n");
    EXPECT_EQ(ini.ReadString(L"s", L"long", L""), longValue.substr(0, 2047));
    EXPECT_EQ(ini.ReadString(L"s", L"quoted", L""), longValue.substr(0, 2047));
    EXPECT_EQ(ini.ReadString(L"s", L"missing", longValue).size(), 2047u);
}

TEST(IniRead, MissingFileReadsAsEmpty) {
    TScratchFolder scratch;
    const TIniFile ini(WidePath(scratch / "nowhere" / "holter.ini"));
    EXPECT_EQ(ini.ReadInteger(L"options", L"HardwareType", 1), 1);
}

TEST(IniRead, DamagedBytesNeverStopTheRead) {
    const TIniFile utf8 = TIniFile::FromBytes(Utf8Mark + "[s]\n\xFF\xFE bad=\xC3\nk=v\n");
    EXPECT_EQ(utf8.ReadString(L"s", L"k", L""), L"v");
    const TIniFile utf16 =
        TIniFile::FromBytes(Utf16Mark + WideToUtf16Le(L"[s]\nk=v\n") + std::string(1, '\0'));
    EXPECT_EQ(utf16.ReadString(L"s", L"k", L""), L"v");
}

TEST(IniConvert, IntegersAcceptDecimalAndHexadecimalWithin32Bits) {
    EXPECT_EQ(ParseIniInteger(L"0x10"), 16);
    EXPECT_EQ(ParseIniInteger(L"0X1f"), 31);
    EXPECT_EQ(ParseIniInteger(L"$FF"), 255);
    EXPECT_EQ(ParseIniInteger(L"-$10"), -16);
    EXPECT_EQ(ParseIniInteger(L"+7"), 7);
    EXPECT_EQ(ParseIniInteger(L"007"), 7);
    EXPECT_EQ(ParseIniInteger(L"-2147483648"), INT_MIN);
    EXPECT_EQ(ParseIniInteger(L"2147483647"), INT_MAX);
    EXPECT_EQ(ParseIniInteger(L"$FFFFFFFF"), -1);
    for (const wchar_t* bad : {L"", L"abc", L"true", L"0x", L"$", L"-", L"1.5", L"12 3", L"2147483648",
                               L"-2147483649", L"0x100000000", L"99999999999999999999", L"١٢"})
        EXPECT_EQ(ParseIniInteger(bad), std::nullopt) << WideToUtf8(bad);
}

TEST(IniConvert, FloatsTakeOnlyThePointWhateverTheLocale) {
    EXPECT_EQ(ParseIniFloat(L"1.5"), 1.5);
    EXPECT_EQ(ParseIniFloat(L"+0.25"), 0.25);
    EXPECT_EQ(ParseIniFloat(L"-2.5e1"), -25.0);
    EXPECT_EQ(ParseIniFloat(L"3"), 3.0);
    for (const wchar_t* bad : {L"", L"1,5", L"abc", L"inf", L"nan", L"1e999", L"+-1", L"1.5x", L"１"})
        EXPECT_EQ(ParseIniFloat(bad), std::nullopt) << WideToUtf8(bad);
}

TEST(IniConvert, TypedReadersFallBackToTheDefault) {
    const TIniFile ini = Parse(L"[s]\nb1=2\nb2=true\nb3=0\ni=\"0x10\"\nf=1,5\nempty=\n");
    EXPECT_TRUE(ini.ReadBool(L"s", L"b1", false));
    EXPECT_FALSE(ini.ReadBool(L"s", L"b2", false));
    EXPECT_TRUE(ini.ReadBool(L"s", L"b2", true));
    EXPECT_FALSE(ini.ReadBool(L"s", L"b3", true));
    EXPECT_EQ(ini.ReadInteger(L"s", L"i", 0), 16);
    EXPECT_EQ(ini.ReadInteger(L"s", L"empty", 5), 5);
    EXPECT_EQ(ini.ReadFloat(L"s", L"f", 1.0), 1.0);
}

TEST(IniWrite, KeepsLayoutAndEncodingAndAddsWhatIsMissing) {
    TScratchFolder scratch;
    const auto file = scratch / "holter.ini";
    const std::wstring before = L"; настройки комплекса\r\n"
                                L"[Other]\r\n"
                                L"Name=Холтер\r\n"
                                L"\r\n"
                                L"[options]\r\n"
                                L"  filtertype = 5\r\n"
                                L"LanguageSetting=ENG\r\n"
                                L"\r\n"
                                L"[Tail]\r\n"
                                L"x=1"; // no line end at the very end
    WriteBytes(file, Utf16Mark + WideToUtf16Le(before));

    TIniFile ini(WidePath(file));
    ini.WriteInteger(L"OPTIONS", L"FilterType", 0);
    ini.WriteInteger(L"options", L"HardwareType", 1);
    ini.WriteString(L"Новая", L"Ключ", L"значение");
    ini.UpdateFile();

    const std::wstring after = L"; настройки комплекса\r\n"
                               L"[Other]\r\n"
                               L"Name=Холтер\r\n"
                               L"\r\n"
                               L"[options]\r\n"
                               L"  filtertype = 0\r\n"
                               L"LanguageSetting=ENG\r\n"
                               L"HardwareType=1\r\n"
                               L"\r\n"
                               L"[Tail]\r\n"
                               L"x=1\r\n"
                               L"\r\n"
                               L"[Новая]\r\n"
                               L"Ключ=значение\r\n";
    EXPECT_EQ(ReadBytes(file), Utf16Mark + WideToUtf16Le(after));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.Path()), {}), 1)
        << "the temporary file stays behind";
}

TEST(IniWrite, LinesEndedByALoneCrStaySeparateAndEndInCrLf) {
    TIniFile ini = TIniFile::FromBytes("[x]\r\nPath=v1\ra=v2\r\n; comment\r[y]\rb=1\n\rc=2\r");
    ini.WriteString(L"x", L"a", L"new");
    ini.WriteString(L"y", L"d", L"4");
    const std::string after = "[x]\r\nPath=v1\r\na=new\r\n; comment\r\n[y]\r\nb=1\r\n\r\nc=2\r\nd=4\r\n";
    EXPECT_EQ(ini.ToBytes(), after);
    EXPECT_EQ(TIniFile::FromBytes(after).ReadString(L"x", L"Path", L"?"), L"v1");
}

TEST(IniWrite, NewFileIsAnsiWithCrLf) {
    TScratchFolder scratch;
    const auto file = scratch / "new.ini";
    TIniFile ini(WidePath(file));
    ini.WriteInteger(L"options", L"FilterType", 0);
    ini.WriteString(L"options", L"Имя", L"Я");
    ini.UpdateFile();
    EXPECT_EQ(ReadBytes(file), "[options]\r\nFilterType=0\r\n\xC8\xEC\xFF=\xDF\r\n");
}

TEST(IniWrite, FailuresLeaveTheOldFileAlone) {
    TScratchFolder scratch;
    TIniFile missingFolder(WidePath(scratch / "no" / "such" / "holter.ini"));
    missingFolder.WriteInteger(L"options", L"FilterType", 0);
    EXPECT_THROW(missingFolder.UpdateFile(), TError);

    // A file that exists but cannot be read must not be replaced by the few keys written here.
    std::filesystem::create_directories(scratch / "holter.ini");
    TIniFile unreadable(WidePath(scratch / "holter.ini"));
    unreadable.WriteInteger(L"options", L"FilterType", 0);
    EXPECT_THROW(unreadable.UpdateFile(), TError);
    EXPECT_TRUE(std::filesystem::is_directory(scratch / "holter.ini"));

    TIniFile ini;
    EXPECT_THROW(ini.WriteString(L"options", L"Key", L"one\r\n[injected]"), TError);
    EXPECT_THROW(ini.WriteString(L"options", L"a=b", L"1"), TError);
    EXPECT_THROW(ini.WriteString(L"", L"key", L"1"), TError);
    EXPECT_EQ(ini.ToBytes(), "");
}

} // namespace
