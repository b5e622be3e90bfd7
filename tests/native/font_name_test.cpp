// A font's full name from its own name table: real faces, the choice among records, and damaged files.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "install/steps/FontName.h"

namespace {

std::string HostFont(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void U16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value & 0xFF);
}
void U32(std::string& out, std::uint32_t value) {
    U16(out, static_cast<std::uint16_t>(value >> 16));
    U16(out, static_cast<std::uint16_t>(value & 0xFFFF));
}

struct TNameRecord {
    std::uint16_t Platform, Encoding, Language, Id;
    std::string Bytes;
};

std::string Be(const std::wstring& text) {
    std::string bytes;
    for (wchar_t c : text)
        U16(bytes, static_cast<std::uint16_t>(c));
    return bytes;
}

// A font file of one table, "name", holding the given records.
std::string FontWith(const std::vector<TNameRecord>& records) {
    std::string strings, table;
    U16(table, 0);
    U16(table, static_cast<std::uint16_t>(records.size()));
    U16(table, static_cast<std::uint16_t>(6 + 12 * records.size()));
    for (const TNameRecord& r : records) {
        for (std::uint16_t v : {r.Platform, r.Encoding, r.Language, r.Id})
            U16(table, v);
        U16(table, static_cast<std::uint16_t>(r.Bytes.size()));
        U16(table, static_cast<std::uint16_t>(strings.size()));
        strings += r.Bytes;
    }
    table += strings;
    std::string file;
    U32(file, 0x00010000);
    U16(file, 1);
    U16(file, 16);
    U16(file, 0);
    U16(file, 0);
    U32(file, 0x6E616D65);
    U32(file, 0);
    U32(file, 12 + 16);
    U32(file, static_cast<std::uint32_t>(table.size()));
    return file + table;
}

} // namespace

TEST(FontName, RealFacesGiveTheirFullNames) {
    const std::string sans = HostFont("/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf");
    ASSERT_GT(sans.size(), 10000u) << "fonts-liberation is not installed";
    EXPECT_EQ(FontFullName(sans), L"Liberation Sans");
    EXPECT_EQ(FontFullName(HostFont("/usr/share/fonts/truetype/liberation/LiberationSerif-Bold.ttf")),
              L"Liberation Serif Bold");
    EXPECT_EQ(FontFullName(HostFont("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf")),
              L"DejaVu Sans Bold");
}

TEST(FontName, WindowsUsEnglishRecordIsPreferred) {
    const std::string font = FontWith({
        {1, 0, 0, 4, "Mac Name"},
        {3, 1, 0x0419, 4, Be(L"Шрифт Полужирный")},
        {0, 3, 0, 4, Be(L"Unicode Name")},
        {3, 1, 0x0409, 4, Be(L"Font Bold")},
        {3, 1, 0x0409, 1, Be(L"Font")},
    });
    EXPECT_EQ(FontFullName(font), L"Font Bold");
    EXPECT_EQ(FontFullName(FontWith({{1, 0, 0, 4, "Mac Name"}, {3, 1, 0x0419, 4, Be(L"Шрифт")}})), L"Шрифт");
    EXPECT_EQ(FontFullName(FontWith({{1, 0, 0, 4, "Mac\xA5Name"}})), L"Mac?Name");
    // Without a full name the family serves; records of other platforms or names never do.
    EXPECT_EQ(FontFullName(FontWith({{3, 1, 0x0409, 1, Be(L"Family")}, {3, 1, 0x0409, 2, Be(L"Bold")}})),
              L"Family");
    EXPECT_EQ(FontFullName(FontWith({{2, 0, 0, 4, "ISO"}, {3, 1, 0x0409, 6, Be(L"PostScript")}})), L"");
}

TEST(FontName, FirstFontOfACollectionIsRead) {
    const std::string font = FontWith({{3, 1, 0x0409, 4, Be(L"Collected")}});
    std::string collection;
    U32(collection, 0x74746366);
    U32(collection, 0x00010000);
    U32(collection, 1);
    U32(collection, 16);
    std::string shifted = font;
    // The table offset in the font's directory counts from the start of the whole file.
    const std::uint32_t nameOffset = 16 + 12 + 16;
    shifted[20] = static_cast<char>(nameOffset >> 24);
    shifted[21] = static_cast<char>(nameOffset >> 16);
    shifted[22] = static_cast<char>(nameOffset >> 8);
    shifted[23] = static_cast<char>(nameOffset);
    EXPECT_EQ(FontFullName(collection + shifted), L"Collected");
}

TEST(FontName, DamagedFilesGiveNoNameAndNoCrash) {
    EXPECT_EQ(FontFullName(""), L"");
    EXPECT_EQ(FontFullName("not a font at all, just some text of some length"), L"");
    const std::string font = FontWith({{3, 1, 0x0409, 4, Be(L"Whole Name")}});
    // Cut anywhere: the name is either read whole or not at all.
    for (std::size_t size = 0; size < font.size(); ++size) {
        const std::wstring name = FontFullName(std::string_view(font).substr(0, size));
        EXPECT_TRUE(name.empty() || name == L"Whole Name") << size;
    }
    // A string that points past the end of the file.
    std::string wild = font;
    wild[12 + 16 + 6 + 10] = '\x7F';
    EXPECT_EQ(FontFullName(wild), L"");
}
