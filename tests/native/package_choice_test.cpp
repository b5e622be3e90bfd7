// Which release package is installed and what level it records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Error.h"
#include "install/steps/PackageChoice.h"

namespace {

const std::wstring Store = L"C:\\Программы\\Dedira\\backup\\";

std::wstring NewestOf(std::vector<std::wstring> names) {
    for (auto& name : names)
        name = Store + name;
    SortPackageList(names);
    return names.at(NewestPackage(names, Store)).substr(Store.size());
}

std::wstring MessageOf(auto&& call) {
    try {
        call();
    } catch (const TError& error) {
        return error.Message();
    }
    return L"(no error)";
}

} // namespace

TEST(PackageChoice, DateKeyReadsDayMonthYearAsYearMonthDay) {
    EXPECT_EQ(PackageDateKey(Store + L"R010321"), 210301);
    EXPECT_EQ(PackageDateKey(Store + L"R311220"), 201231);
    EXPECT_EQ(PackageDateKey(L"000000"), 0);
    EXPECT_EQ(PackageDateKey(L"Выпуск 250199"), 990125);
}

TEST(PackageChoice, NameWithoutSixDigitsAtItsEndIsRefusedByName) {
    for (const std::wstring name : {L"R01032a", L"R-10321", L"R+10321", L"R 10321", L"WithOutAnswer",
                                    L"12345", L"R０10321" /* full-width digit */}) {
        const std::wstring message = MessageOf([&] { PackageDateKey(Store + name); });
        EXPECT_NE(message.find(L"«" + Store + name + L"»"), std::wstring::npos) << message;
        EXPECT_NE(message.find(L"ДДММГГ"), std::wstring::npos);
    }
}

TEST(PackageChoice, NewestDateWinsAndTheFirstInSortOrderWinsATie) {
    EXPECT_EQ(NewestOf({L"R311220", L"R010321"}), L"R010321");
    EXPECT_EQ(NewestOf({L"R010321", L"R311220"}), L"R010321");
    // A later day of an earlier year loses to any day of a later year.
    EXPECT_EQ(NewestOf({L"R311219", L"R010120", L"R150619"}), L"R010120");
    // Equal dates: order without regard to case decides, whatever order the folder listing had.
    EXPECT_EQ(NewestOf({L"b010321", L"A010321", L"R311220"}), L"A010321");
    EXPECT_EQ(NewestOf({L"в010321", L"Б010321"}), L"Б010321");
    EXPECT_EQ(NewestOf({L"R010321"}), L"R010321");
}

TEST(PackageChoice, EveryEntryIsCheckedNotOnlyTheChosenOne) {
    std::vector<std::wstring> list = {Store + L"R010321", Store + L"Старый"};
    const std::wstring message = MessageOf([&] { NewestPackage(list, Store); });
    EXPECT_NE(message.find(Store + L"Старый"), std::wstring::npos) << message;
}

TEST(PackageChoice, EmptyStoreIsRefusedNamingTheFolder) {
    const std::wstring message = MessageOf([] { NewestPackage({}, Store); });
    EXPECT_NE(message.find(L"«" + Store + L"»"), std::wstring::npos) << message;
    EXPECT_NE(message.find(L"нет ни одного пакета"), std::wstring::npos) << message;
}

TEST(PackageChoice, SortIgnoresCaseOfLatinAndCyrillicLetters) {
    std::vector<std::wstring> list = {L"b", L"C", L"a", L"ель", L"Дом", L"ЖУК", L"Äc", L"äb", L"Ab"};
    SortPackageList(list);
    const std::vector<std::wstring> expected = {L"a",  L"Ab",  L"b",   L"C",  L"äb",
                                                L"Äc", L"Дом", L"ель", L"ЖУК"};
    EXPECT_EQ(list, expected);
}

TEST(PackageChoice, LevelTextIsTheFolderNameWithoutItsFirstCharacter) {
    EXPECT_EQ(PackageLevelText(Store + L"R010321"), L"010321");
    EXPECT_EQ(PackageLevelText(Store + L"Rel 2.5_010321"), L"el 2.5_010321");
    EXPECT_EQ(PackageLevelText(L"D:/media/backup/X311220"), L"311220");
    EXPECT_EQ(PackageLevelText(Store + L"R010321\\"), L"010321");
    EXPECT_EQ(PackageLevelText(L"R"), L"");
}
