// The journal a run leaves in the target until its end: its text form read back, every line an edited or
// damaged journal could hold refused unless it is in the form the run writes (so that the next run renames,
// writes or removes nothing else), and the names of what a run keeps and leaves half-made.
#include <gtest/gtest.h>

#include "common/TextCodec.h"
#include "install/run/RunJournal.h"

namespace {

const std::wstring RunId = L"0f3a9c2e7b114d5a";
const std::string Hash = "0123456789abcdef0123456789abcdef";

TEST(RunJournal, ReadsBackWhatItWrote) {
    TRunJournal full;
    full.Run = RunId;
    full.Database = TJournalDatabase{TJournalDatabase::TStage::Swapping,
                                     L"DTAfb\\T12.FDB.20261209-220102.bak", 123456789012u, Hash};
    full.Settings = {{L"Settings\\holter.ini", L"options", L"FilterType", L"\"5\" ; мой фильтр", L"0"},
                     {L"Settings\\holter.ini", L"options", L"HardwareType", std::nullopt, L"1"},
                     {L"btooth.ini", L"Common", L"Disk", L"", L"I"}};
    full.AddedSettingsFiles = {L"btooth.ini"};
    full.Leftovers = {KeptName(L"Программа\\Shell.exe", RunId)};
    full.Kept = {L"fbclient.Dll", L"Программа\\Shell.exe"};
    const TRunJournal copying{L"77", false, TJournalDatabase{}, {}, {}, {}, {}, true};
    const TRunJournal committed{L"1234-5a", true, std::nullopt, {}, {}, {}, {}, true};
    for (const TRunJournal& journal : {full, copying, committed})
        EXPECT_EQ(ParseRunJournal(FormatRunJournal(journal)), journal) << FormatRunJournal(journal);
}

// Each line alone after the heading and the run's id: whether the journal keeps it.
TEST(RunJournal, TakesEachLineOnlyInTheFormTheRunWritesIt) {
    const std::string written = FormatRunJournal({L"1", false, std::nullopt, {}, {}, {}, {}, true});
    const std::string head =
        written.substr(0, written.find("\r\n") + 2) + "run\t" + WideToUtf8(RunId) + "\r\nkept-list\r\n";
    const std::string run = WideToUtf8(RunId);
    struct TCase {
        std::string Line;
        bool Kept;
    };
    const TCase cases[] = {
        // The database: its stage, the clinic's dated name in "DTAfb\" exactly, the copy's size and hash.
        {"database\tcopying\t-\t-\t-", true},
        {"database\tcopying\t-\t42\t" + Hash, true},
        {"database\tswapping\tDTAfb\\T12.FDB.20261209-220102.bak\t42\t" + Hash, true},
        {"database\tswapping\tDTAfb\\T12.FDB.20261209-220102-7.bak\t42\t" + Hash, true},
        {"database\tswapping\t-\t42\t" + Hash, true},
        {"database\tcopying\tDTAfb\\T12.FDB.20261209-220102.bak\t42\t" + Hash, false},
        {"database\tswapping\tDTAfb\\T12.FDB.bak\t42\t" + Hash, false},
        {"database\tswapping\tDTAfb\\T12.FDB.20261209-220102-1.bak\t42\t" + Hash, false},
        {"database\tswapping\tDTAfb\\T12.FDB.20261209-220102-101.bak\t42\t" + Hash, false},
        {"database\tswapping\tDTAfb\\holter.ini\t42\t" + Hash, false},
        {"database\tswapping\tSettings\\T12.FDB.20261209-220102.bak\t42\t" + Hash, false},
        {"database\tswapping\t..\\DTAfb\\T12.FDB.20261209-220102.bak\t42\t" + Hash, false},
        {"database\tswapping\tC:\\Windows\\T12.FDB.20261209-220102.bak\t42\t" + Hash, false},
        {"database\tswapping\tDTAfb/T12.FDB.20261209-220102.bak\t42\t" + Hash, false},
        {"database\tswapping\tdtafb\\t12.fdb.20261209-220102.bak\t42\t" + Hash, false},
        {"database\tcopying\t-\t-42\t" + Hash, false},
        {"database\tcopying\t-\t42\t" + Hash.substr(1), false},
        {"database\tcopying\t-\t42\tABCDEF0123456789ABCDEF0123456789", false},
        {"database\tcopying\t-\t42\t-", false},
        {"database\tcopying\t-\t-\t" + Hash, false},
        {"database\tdone\t-\t-\t-", false},
        // An earlier run's form: the database and its dated name, the copy not known.
        {"database\tDTAfb\\T12.FDB\tDTAfb\\T12.FDB.20261209-220102.bak", true},
        {"database\tDTAfb\\T12.FDB\tDTAfb\\T12.FDB.bak", false},
        {"database\t..\\T12.FDB\t..\\T12.FDB.20261209-220102.bak", false},
        {"database\tDTAfb\\T12.FDB\tDTAfb\\holter.ini", false},
        // The settings keys the run writes, with what they held: a value that fits on an INI line.
        {"setting\tSettings\\holter.ini\toptions\tFilterType\t=5\t0", true},
        {"setting\tSettings\\holter.ini\toptions\tHardwareType\t-\t1", true},
        {"setting\tbtooth.ini\tCommon\tDisk\t=\tI", true},
        {"setting\tSettings\\holter.ini\toptions\tLanguageSetting\t=ENG\t0", false},
        {"setting\tSettings\\holter.ini\toptions\tFilterType\t=5\t7", false},
        {"setting\tSettings\\lang.ini\toptions\tFilterType\t=5\t0", false},
        {"setting\tC:\\Windows\\win.ini\toptions\tFilterType\t=5\t0", false},
        {"setting\tbtooth.ini\toptions\tFilterType\t=5\t0", false},
        {"setting\tSettings\\holter.ini\toptions\tFilterType\t5\t0", false},
        {"setting\tSettings\\holter.ini\toptions\tFilterType\t=5\x01[x]\t0", false},
        {"setting\tSettings\\holter.ini\toptions\tFilterType\t=" + std::string(2048, 'x') + "\t0", false},
        {"setting\tSettings\\holter.ini\toptions\tFilterType\t=" + std::string(2047, 'x') + "\t0", true},
        {"added\tbtooth.ini", true},
        {"added\tSettings\\holter.ini", true},
        {"added\tShell.exe", false},
        // Predecessors of this run's, of a file of the suite's.
        {"leftover\t" + WideToUtf8(KeptName(L"fbclient.Dll", RunId)), true},
        {"leftover\t" + WideToUtf8(KeptName(L"udf\\fbudf.dll", RunId)), true},
        {"leftover\t" + WideToUtf8(KeptName(L"fbclient.Dll", L"another")), false},
        {"leftover\tfbclient.Dll", false},
        {"leftover\t" + WideToUtf8(KeptName(L"DTAfb\\T12.FDB", RunId)), false},
        {"leftover\t" + WideToUtf8(KeptName(L"Settings\\holter.ini", RunId)), false},
        {"leftover\t" + WideToUtf8(KeptName(L"Uninstall\\Setup.exe", RunId)), false},
        {"leftover\t" + WideToUtf8(KeptName(L"..\\Windows\\x.dll", RunId)), false},
        {"leftover\t" + WideToUtf8(KeptName(L"C:\\Windows\\x.dll", RunId)), false},
        {"leftover\t" + WideToUtf8(KeptName(L"udf/fbudf.dll", RunId)), false},
        // The files whose predecessors were kept: files of the suite's, nowhere else.
        {"kept\tfbclient.Dll", true},
        {"kept\tbackup\\R010321\\Files\\Shell.exe", true},
        {"kept\tDTAfb\\T12.FDB", false},
        {"kept\tdtafb.\\T12.FDB", false},
        {"kept\tSettings\\holter.ini", false},
        {"kept\tUninstall\\Setup.exe", false},
        {"kept\t..\\Windows\\x.dll", false},
        {"kept\tC:\\Windows\\x.dll", false},
        {"kept\t\\\\server\\share\\x.dll", false},
        {"kept\tudf/fbudf.dll", false},
        {"kept\tSHELL~1.EXE", false},
        {"kept\tudf\\fbudf.dll ", false},
        {"kept\t", false},
        {"kept\tfbclient.Dll\textra", false},
    };
    for (const TCase& c : cases) {
        const auto journal = ParseRunJournal(head + c.Line + "\r\n");
        ASSERT_TRUE(journal.has_value()) << c.Line;
        const bool kept = journal->Database || !journal->Settings.empty() ||
                          !journal->AddedSettingsFiles.empty() || !journal->Leftovers.empty() ||
                          !journal->Kept.empty();
        EXPECT_EQ(kept, c.Kept) << c.Line;
    }
    // An earlier run's database line reads as a commit whose copy is not known: no copy is taken for its own.
    const auto earlier =
        ParseRunJournal(head + "database\tDTAfb\\T12.FDB\tDTAfb\\T12.FDB.20261209-220102.bak\r\n");
    ASSERT_TRUE(earlier && earlier->Database);
    EXPECT_EQ(earlier->Database->Stage, TJournalDatabase::TStage::Swapping);
    EXPECT_FALSE(earlier->Database->Size.has_value());
}

// A run lists what it keeps; an earlier wizard's journal lists nothing, and says so by leaving out the line
// that starts the list: its run's kept files are then found by their names. A kept file listed twice, the
// second time as it is appended, counts once.
TEST(RunJournal, KeptFilesAreListedOnceAndAnEarlierJournalSaysItListsNone) {
    TRunJournal journal{RunId, false, std::nullopt, {}, {}, {}, {L"fbclient.Dll"}, true};
    const std::string written = FormatRunJournal(journal);
    const auto appended = ParseRunJournal(written + KeptLine(L"udf\\fbudf.dll") + KeptLine(L"FBCLIENT.DLL"));
    ASSERT_TRUE(appended.has_value());
    EXPECT_TRUE(appended->KeptListed);
    EXPECT_EQ(appended->Kept, (std::vector<std::wstring>{L"fbclient.Dll", L"udf\\fbudf.dll"}));
    // Cut off in the middle of an appended line, as a power cut leaves it: the part names no kept file, and
    // the next run puts nothing back for it.
    const auto cut = ParseRunJournal(written + "kept\tudf\\fbu");
    ASSERT_TRUE(cut.has_value());
    EXPECT_EQ(cut->Kept, (std::vector<std::wstring>{L"fbclient.Dll", L"udf\\fbu"}));
    const std::string earlier = written.substr(0, written.find("kept-list"));
    const auto old = ParseRunJournal(earlier);
    ASSERT_TRUE(old.has_value());
    EXPECT_FALSE(old->KeptListed);
    EXPECT_TRUE(old->Kept.empty());
}

TEST(RunJournal, NoJournalWithoutItsHeadingAndARunId) {
    const std::string written = FormatRunJournal({L"1", false, std::nullopt, {}, {}, {}, {}, true});
    const std::string head = written.substr(0, written.find("\r\n") + 2);
    for (const std::string& text :
         {head + "run\t..\\x\r\n", head + "run\t\r\n", head, "run\t12\r\n" + head, std::string()})
        EXPECT_FALSE(ParseRunJournal(text).has_value()) << text;
}

TEST(RunJournal, NamesOfWhatARunKeepsAndLeavesHalfMade) {
    const std::wstring kept = KeptName(L"fbclient.Dll", L"42-7");
    EXPECT_EQ(OriginalOfKept(kept, L"42-7"), L"fbclient.Dll");
    EXPECT_EQ(OriginalOfKept(L"FBCLIENT.DLL.~TESSARO-42-7.PREV", L"42-7"), L"FBCLIENT.DLL");
    EXPECT_EQ(OriginalOfKept(kept, L"43-7"), L"") << "another run's";
    EXPECT_EQ(OriginalOfKept(L"fbclient.Dll.~tessaro-42-7.tmp", L"42-7"), L"") << "a half-made copy";
    EXPECT_EQ(OriginalOfKept(L".~tessaro-42-7.prev", L"42-7"), L"");
    EXPECT_EQ(OriginalOfKept(kept, L""), L"");

    EXPECT_EQ(DatabaseCopyName(RunId), L"DTAfb\\T12.FDB.~tessaro-" + RunId + L".new");
    struct TCase {
        std::wstring Name;
        bool Temporary;
    };
    const TCase cases[] = {
        {L"fbclient.Dll.~tessaro-0f3a9c2e7b114d5a.tmp", true},
        {L"T12.FDB.~tessaro-" + RunId + L".new", true},
        {L"T12.FDB.~tessaro-" + RunId + L".new.~tessaro-0011223344556677.tmp", true},
        {L"holter.ini.~TESSARO-4242.TMP", true},
        {L"fbclient.Dll.~tessaro-" + RunId + L".new", false},
        {KeptName(L"fbclient.Dll", RunId), false},
        {L"fbclient.Dll.~tessaro-.tmp", false},
        {L"fbclient.Dll.~tessaro-a b.tmp", false},
        {L".~tessaro-4242.tmp", false},
        {L"Отчёт.tmp", false},
        {L"T12.FDB.20261209-220102.bak", false},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(IsRunTemporaryName(c.Name), c.Temporary) << WideToUtf8(c.Name);
}

} // namespace
