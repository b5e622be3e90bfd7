// The journal a run leaves in the target until its commit: its text form read back, a damaged or edited one
// refused so that the next run renames nothing outside the target, and the names the predecessors are kept
// under.
#include <gtest/gtest.h>

#include "common/TextCodec.h"
#include "install/RunJournal.h"

namespace {

TEST(RunJournal, ReadsBackWhatItWrote) {
    const TRunJournal open{L"1234-5a", false, L"DTAfb\\T12.FDB", L"DTAfb\\T12.FDB.20261209-220102.bak"};
    EXPECT_EQ(ParseRunJournal(FormatRunJournal(open)), open);
    const TRunJournal committed{L"77", true, L"", L""};
    EXPECT_EQ(ParseRunJournal(FormatRunJournal(committed)), committed);
}

TEST(RunJournal, RefusesWhatWouldLeadOutOfTheTargetOrIsNoJournal) {
    const std::string written = FormatRunJournal({L"1", false, L"", L""});
    const std::string head = written.substr(0, written.find("\r\n") + 2);
    struct TCase {
        std::string Text;
        bool Journal;
        bool Database; // its database line kept
    };
    const std::string run = "run\t12\r\n";
    const TCase cases[] = {
        {head + run + "database\tDTAfb\\T12.FDB\tDTAfb\\T12.FDB.bak\r\n", true, true},
        {head + run + "database\t..\\T12.FDB\t..\\T12.FDB.bak\r\n", true, false},
        {head + run + "database\tC:\\Windows\\x.dll\tC:\\Windows\\x.dll.bak\r\n", true, false},
        {head + run + "database\tDTAfb\\T12.FDB\tSettings\\T12.FDB.bak\r\n", true, false},
        {head + run + "database\tDTAfb\\T12.FDB\tDTAfb\\holter.ini\r\n", true, false},
        {head + run + "database\tDTAfb/T12.FDB\tDTAfb/T12.FDB.bak\r\n", true, false},
        {head + run + "database\tDTAfb\\T12.FDB\tDTAfb\\T12.FDB\r\n", true, false},
        {head + "run\t..\\x\r\n", false, false},
        {head + "run\t\r\n", false, false},
        {head, false, false},
        {run + head, false, false},
        {"", false, false},
    };
    for (const TCase& c : cases) {
        const auto journal = ParseRunJournal(c.Text);
        EXPECT_EQ(journal.has_value(), c.Journal) << c.Text;
        if (journal) {
            EXPECT_EQ(!journal->Database.empty(), c.Database) << c.Text;
        }
    }
}

TEST(RunJournal, PredecessorsAreKeptUnderNamesOfTheirRunAlone) {
    const std::wstring kept = KeptName(L"fbclient.Dll", L"42-7");
    EXPECT_EQ(OriginalOfKept(kept, L"42-7"), L"fbclient.Dll");
    EXPECT_EQ(OriginalOfKept(L"FBCLIENT.DLL.~TESSARO-42-7.PREV", L"42-7"), L"FBCLIENT.DLL");
    EXPECT_EQ(OriginalOfKept(kept, L"43-7"), L"") << "another run's";
    EXPECT_EQ(OriginalOfKept(L"fbclient.Dll.~tessaro-42-7.tmp", L"42-7"), L"") << "a half-made copy";
    EXPECT_EQ(OriginalOfKept(L".~tessaro-42-7.prev", L"42-7"), L"");
    EXPECT_EQ(OriginalOfKept(kept, L""), L"");
}

} // namespace
