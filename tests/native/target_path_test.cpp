#include <gtest/gtest.h>

#include "app/TargetPath.h"

TEST(TargetPath, TrimsBlanksAndControlCharactersAndAddsOneBackslash) {
    EXPECT_EQ(CheckTargetPath(L"  D:\\Data  ").Path, L"D:\\Data\\");
    EXPECT_EQ(CheckTargetPath(L"\t\r\nD:\\Data\\\x1f").Path, L"D:\\Data\\");
    EXPECT_EQ(CheckTargetPath(L"C:\\Dedira\\").Path, L"C:\\Dedira\\");
    // Blanks inside the path belong to it.
    EXPECT_EQ(CheckTargetPath(L" C:\\Программы\\Мой Дедира ").Path, L"C:\\Программы\\Мой Дедира\\");
}

TEST(TargetPath, RefusesEmptyEntries) {
    for (const wchar_t* entry : {L"", L"   ", L"\t \x01 "}) {
        const TPathCheck check = CheckTargetPath(entry);
        EXPECT_EQ(check.Verdict, TPathVerdict::Empty) << entry;
        EXPECT_TRUE(check.Path.empty());
    }
}

TEST(TargetPath, LengthAloneDecidesARoot) {
    EXPECT_EQ(CheckTargetPath(L"C:").Verdict, TPathVerdict::Root);
    EXPECT_EQ(CheckTargetPath(L"C:\\").Verdict, TPathVerdict::Root);
    EXPECT_EQ(CheckTargetPath(L"ab\\").Verdict, TPathVerdict::Root);
    EXPECT_EQ(CheckTargetPath(L"C:").Path, L"C:\\"); // written back before the refusal
    const TPathCheck shortest = CheckTargetPath(L"D:\\x");
    EXPECT_EQ(shortest.Verdict, TPathVerdict::Accepted);
    EXPECT_EQ(shortest.Path, L"D:\\x\\");
    EXPECT_EQ(CheckTargetPath(L"Prog").Path, L"Prog\\");
    EXPECT_EQ(CheckTargetPath(L"Prog").Verdict, TPathVerdict::Accepted);
}
