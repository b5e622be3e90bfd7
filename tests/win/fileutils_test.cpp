// The file and process operations against the real file system and real processes under Wine.
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "RecordingHost.h"
#include "WinScratch.h"
#include "common/Error.h"
#include "common/TextCodec.h"
#include "install/files/ContentHash.h"
#include "install/files/ContentHashKernel.h"
#include "install/files/Copies.h"
#include "install/files/Folders.h"
#include "install/files/Processes.h"
#include "install/files/Walks.h"
#include "install/record/InstalledFiles.h"
#include "install/files/TargetFolder.h"

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

namespace {

constexpr std::size_t MiB = 1048576;

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const TError& error) {
        return WideToUtf8(error.Message());
    }
    return "<no error>";
}

// ---- CopyFileStream ----

TEST(CopyFileStream, EmptySourceGivesEmptyDestination) {
    TScratchDir dir;
    PutFile(dir / L"пусто.dat", "");
    EXPECT_TRUE(CopyFileStream(dir / L"пусто.dat", dir / L"копия пусто.dat"));
    EXPECT_TRUE(FileExists(dir / L"копия пусто.dat"));
    EXPECT_EQ(FileBytes(dir / L"копия пусто.dat"), "");
}

// The error names the file in «» and carries the system's code, which a line that names the file already
// gives alone.
TEST(CopyFileStream, RaisesNamingTheFileThatCannotBeOpenedOrCreated) {
    TScratchDir dir;
    PutFile(dir / L"есть.dat", "abc");
    const struct {
        std::wstring From, To, Named;
        unsigned long Code;
    } cases[] = {
        {dir / L"нет такого.dat", dir / L"копия.dat", dir / L"нет такого.dat", ERROR_FILE_NOT_FOUND},
        {dir / L"есть.dat", dir / L"Нет папки\\копия.dat", dir / L"Нет папки\\копия.dat",
         ERROR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        try {
            CopyFileStream(c.From, c.To);
            ADD_FAILURE() << "no error for " << WideToUtf8(c.To);
        } catch (const TSystemError& error) {
            EXPECT_EQ(error.Code(), c.Code) << WideToUtf8(error.Message());
            EXPECT_THAT(WideToUtf8(error.Message()),
                        AllOf(HasSubstr(WideToUtf8(L"«" + c.Named + L"»: ")),
                              HasSubstr(WideToUtf8(L"(код " + std::to_wstring(c.Code) + L")"))));
        }
        EXPECT_FALSE(FileExists(c.To));
    }
    EXPECT_THAT(FilesContaining(dir.Folder(), L"~tessaro"), IsEmpty());
}

TEST(CopyFileStream, CarriesTheWriteTimeAtTwoSecondGrain) {
    TScratchDir dir;
    PutFile(dir / L"источник.dat", "x");
    SetWriteTime(dir / L"источник.dat", LocalTimeToFileTime(2023, 5, 10, 10, 0, 7));
    ASSERT_TRUE(CopyFileStream(dir / L"источник.dat", dir / L"копия.dat"));
    const SYSTEMTIME arrived = LocalWriteTime(dir / L"копия.dat");
    EXPECT_EQ(arrived.wYear, 2023);
    EXPECT_EQ(arrived.wDay, 10);
    EXPECT_EQ(arrived.wHour, 10);
    EXPECT_EQ(arrived.wMinute, 0);
    EXPECT_EQ(arrived.wSecond, 6);
    EXPECT_EQ(arrived.wMilliseconds, 0);
}

class AtomicCopy : public ::testing::Test {
protected:
    void SetUp() override {
        PutFile(FSource, Pattern(FSourceSize, 1));
        SetWriteTime(FSource, LocalTimeToFileTime(2024, 2, 29, 23, 59, 58));
        PutFile(FDest, FOldBytes);
        SetWriteTime(FDest, FOldTime);
    }
    void ExpectDestinationAsBefore() {
        EXPECT_TRUE(FileBytes(FDest) == FOldBytes);
        EXPECT_TRUE(SameTime(WriteTime(FDest), FOldTime));
        EXPECT_THAT(FilesContaining(FDir.Folder(), L"~tessaro"), IsEmpty());
    }

    TScratchDir FDir;
    const std::size_t FSourceSize = 2 * MiB + 12345;
    const std::wstring FSource = FDir / L"Новая база.FDB";
    const std::wstring FDest = FDir / L"T12.FDB";
    const std::string FOldBytes = "данные пациентов, которые нельзя потерять";
    const FILETIME FOldTime = LocalTimeToFileTime(2001, 2, 3, 4, 5, 6);
};

TEST_F(AtomicCopy, ReplacesTheDestinationWithSourceBytesAndTime) {
    ASSERT_TRUE(CopyFileStream(FSource, FDest));
    EXPECT_TRUE(FileBytes(FDest) == Pattern(FSourceSize, 1));
    EXPECT_TRUE(SameTime(WriteTime(FDest), WriteTime(FSource)));
    EXPECT_THAT(FilesContaining(FDir.Folder(), L"~tessaro"), IsEmpty());
}

TEST_F(AtomicCopy, ReadOrWriteFailureHalfWayLeavesTheDestinationAsItWas) {
    {
        TFailingCopyIo failing(TFailingCopyIo::Reads, 1);
        EXPECT_FALSE(CopyFileStream(FSource, FDest));
    }
    ExpectDestinationAsBefore();
    {
        TFailingCopyIo failing(TFailingCopyIo::Writes, 2);
        EXPECT_FALSE(CopyFileStream(FSource, FDest));
    }
    ExpectDestinationAsBefore();
}

TEST_F(AtomicCopy, DestinationThatCannotBeReplacedRaisesNamingItAndStays) {
    {
        TUniqueFile held(::CreateFileW(FDest.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held.Valid());
        EXPECT_THAT(ErrorOf([&] { CopyFileStream(FSource, FDest); }), HasSubstr(WideToUtf8(FDest)));
    }
    ExpectDestinationAsBefore();

    ASSERT_TRUE(::SetFileAttributesW(FDest.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_THAT(ErrorOf([&] { CopyFileStream(FSource, FDest); }), HasSubstr(WideToUtf8(FDest)));
    ::SetFileAttributesW(FDest.c_str(), FILE_ATTRIBUTE_NORMAL);
    ExpectDestinationAsBefore();
}

// What another copy writes beside the same file (or a killed run left there) is not the copy's to remove:
// only the run that alone works in the folder removes what a killed one left (RunTransaction.h).
TEST_F(AtomicCopy, LeavesWhatOthersWriteBesideTheFile) {
    PutFile(FDest + L".~tessaro-4242.tmp", "half a database");
    PutFile(FDest + L".~tessaro-0123456789abcdef.tmp", "another copy under way");
    ASSERT_TRUE(CopyFileStream(FSource, FDest));
    EXPECT_THAT(FilesContaining(FDir.Folder(), L"~tessaro"),
                UnorderedElementsAre(L"T12.FDB.~tessaro-4242.tmp", L"T12.FDB.~tessaro-0123456789abcdef.tmp"));
}

// ---- The installation run's copies ----

// The state a walk of the folder finds the file in, as the run's record compares it.
TFileState WalkedState(const std::wstring& folder, const std::wstring& name) {
    const TTreeState tree = ReadTreeState(folder);
    const auto found = tree.find(name);
    return found == tree.end() ? TFileState{} : found->second;
}

// A record written on one PC is checked on another: the hash must not depend on the processor's routines,
// nor on the pieces a copy happens to feed it.
TEST(ContentHash, PlainAndSse2RoutinesAgreeWhateverThePieces) {
    const std::string bytes = Pattern(300000, 5);
    for (const std::size_t size : {0u, 1u, 16u, 17u, 129u, 240u, 241u, 1024u, 65536u, 300000u}) {
        for (const std::size_t piece : {7u, 64u, 4096u, 65536u}) {
            TContentHash plain(ContentHashPlain), sse2(ContentHashSse2);
            for (std::size_t at = 0; at < size; at += piece) {
                plain.Add(bytes.data() + at, std::min(piece, size - at));
                sse2.Add(bytes.data() + at, std::min(piece, size - at));
            }
            EXPECT_EQ(plain.Hex(), sse2.Hex()) << size << " bytes in pieces of " << piece;
        }
    }
    // XXH3-128 of nothing, high half first, as the install record stores it.
    EXPECT_EQ(TContentHash().Hex(), "99aa06d3014798d86001c324468d497f");
}

// A run's folder: its new files' flushes left to the end.
struct TRunFolder : TTargetFolder {
    explicit TRunFolder(const std::wstring& path) : TTargetFolder(path) { DelayFlushes(true); }
};

TCopyHow NotRemembered() {
    TCopyHow how;
    how.Remember = false;
    return how;
}

TEST(CopyForRun, NewFileIsInPlaceAtOnceAndItsHashAndStateAreThoseAWalkFindsLater) {
    TScratchDir dir;
    PutFile(dir / L"источник.dll", Pattern(3 * MiB + 7, 2));
    SetWriteTime(dir / L"источник.dll", LocalTimeToFileTime(2022, 1, 2, 3, 4, 5));
    ::CreateDirectoryW((dir / L"Цель").c_str(), nullptr);
    const std::wstring dest = dir / L"Цель\\новый.dll";
    TRunFolder run(dir / L"Цель");
    ASSERT_TRUE(CopyInto(run, dir / L"источник.dll", L"новый.dll"));
    // The content is there under its name before the run waited for any flush.
    EXPECT_TRUE(FileBytes(dest) == Pattern(3 * MiB + 7, 2));
    EXPECT_THAT(run.Flushes().Finish(), IsEmpty());
    EXPECT_EQ(run.Flushes().Pending(), 0u);

    const auto known = run.Hashes().find(L"новый.dll");
    ASSERT_NE(known, run.Hashes().end());
    EXPECT_EQ(known->second.Hash, HashFile(dest));
    EXPECT_TRUE(known->second.State == WalkedState(dir / L"Цель", L"новый.dll"));
    EXPECT_THAT(FilesContaining(dir / L"Цель", L"~tessaro"), IsEmpty());

    // Without Remember (the clinic's folder, kept out of the record) nothing is hashed.
    ASSERT_TRUE(CopyInto(run, dir / L"источник.dll", L"T12.FDB", nullptr, NotRemembered()));
    EXPECT_EQ(run.Hashes().count(L"T12.FDB"), 0u);
    EXPECT_THAT(run.Flushes().Finish(), IsEmpty());
}

// Copies at the edges of a chunk and of an early flush: every byte arrives and is hashed once, whatever the
// pieces the copy reads, writes and flushes it in.
TEST(CopyForRun, EveryByteArrivesAndIsHashedOnceAtTheEdgesOfChunksAndEarlyFlushes) {
    TScratchDir dir;
    ::CreateDirectoryW((dir / L"Цель").c_str(), nullptr);
    TRunFolder run(dir / L"Цель");
    constexpr std::size_t Chunk = 64 * 1024, EarlyFlush = 32 * MiB;
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, Chunk - 1, Chunk, Chunk + 1, EarlyFlush,
                                   EarlyFlush + 1, 2 * EarlyFlush + Chunk + 7}) {
        const std::string bytes = Pattern(size, 4);
        PutFile(dir / L"источник", bytes);
        const std::wstring name = L"копия " + std::to_wstring(size);
        ASSERT_TRUE(CopyInto(run, dir / L"источник", name)) << size;
        TContentHash whole;
        whole.Add(bytes.data(), bytes.size());
        EXPECT_EQ(run.Hashes()[name].Hash, whole.Hex()) << size;
        EXPECT_TRUE(FileBytes(dir / (L"Цель\\" + name)) == bytes) << size;
    }
    EXPECT_THAT(run.Flushes().Finish(), IsEmpty());
    EXPECT_THAT(FilesContaining(dir / L"Цель", L"~tessaro"), IsEmpty());
}

// A large copy that fails just after it handed its first bytes to an early flush leaves nothing behind by the
// time it returns: the early flush's handle of the file is closed before the file is removed.
TEST(CopyForRun, LargeCopyThatFailsAfterAnEarlyFlushLeavesNothingBehind) {
    TScratchDir dir;
    PutFile(dir / L"источник", Pattern(40 * MiB, 6));
    TRunFolder run(dir.Folder());
    {
        TFailingCopyIo failing(TFailingCopyIo::Writes, 32 * MiB / (64 * 1024));
        DWORD failure = 0;
        EXPECT_FALSE(CopyInto(run, dir / L"источник", L"копия", &failure));
        EXPECT_EQ(failure, DWORD{ERROR_DISK_FULL});
        EXPECT_THAT(FilesContaining(dir.Folder(), L"~tessaro"), IsEmpty());
    }
    EXPECT_FALSE(FileExists(dir / L"копия"));
    EXPECT_THAT(run.Flushes().Finish(), IsEmpty());
}

// A failed flush of a new file is found when the run waits for them all: it names the file, which goes, and
// the files flushed well stay.
TEST(CopyForRun, FailedLaterFlushIsReportedNamingTheFileWhichIsRemoved) {
    TScratchDir dir;
    PutFile(dir / L"a.dll", "first");
    PutFile(dir / L"b.dll", "second");
    TRunFolder run(dir.Folder());
    {
        TFailingCopyIo failing(TFailingCopyIo::Flushes, 1);
        ASSERT_TRUE(CopyInto(run, dir / L"a.dll", L"копия a.dll"));
        ASSERT_TRUE(CopyInto(run, dir / L"b.dll", L"копия b.dll"));
        EXPECT_THAT(ErrorOf([&] { run.FinishFlushes(); }),
                    AllOf(HasSubstr(WideToUtf8(dir / L"копия b.dll")), Not(HasSubstr("копия a.dll"))));
    }
    EXPECT_EQ(FileBytes(dir / L"копия a.dll"), "first");
    EXPECT_FALSE(FileExists(dir / L"копия b.dll"));
    EXPECT_THAT(FilesContaining(dir.Folder(), L"~tessaro"), IsEmpty());
    // Reported once: a later wait finds nothing more.
    EXPECT_THAT(run.Flushes().Finish(), IsEmpty());
}

// A run that stops before it waits lets go of its files without flushing them, and without waiting long.
TEST(CopyForRun, RunStoppedBeforeItsWaitLeavesItsCopiesInPlace) {
    TScratchDir dir;
    PutFile(dir / L"источник.dat", Pattern(MiB, 3));
    {
        TRunFolder run(dir.Folder());
        for (int i = 0; i < 20; ++i)
            ASSERT_TRUE(CopyInto(run, dir / L"источник.dat", L"копия " + std::to_wstring(i), nullptr,
                                 NotRemembered()));
    }
    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(FileBytes(dir / (L"копия " + std::to_wstring(i))) == Pattern(MiB, 3)) << i;
}

// What replaces a file reaches the disk before it takes the name: a flush that fails leaves the old file.
TEST_F(AtomicCopy, ReplacementForTheRunIsFlushedBeforeItTakesTheName) {
    TRunFolder run(FDir.Folder());
    const std::wstring name = FDest.substr(FDir.Folder().size());
    {
        TFailingCopyIo failing(TFailingCopyIo::Flushes, 0);
        DWORD failure = 0;
        EXPECT_FALSE(CopyInto(run, FSource, name, &failure));
        EXPECT_EQ(failure, DWORD{ERROR_IO_DEVICE});
        EXPECT_EQ(run.Flushes().Pending(), 0u);
    }
    ExpectDestinationAsBefore();
    EXPECT_TRUE(run.Hashes().empty());
    ASSERT_TRUE(CopyInto(run, FSource, name));
    EXPECT_EQ(run.Flushes().Pending(), 0u);
    EXPECT_TRUE(FileBytes(FDest) == Pattern(FSourceSize, 1));
    EXPECT_THAT(run.Flushes().Finish(), IsEmpty());
}

// ---- Folders ----

TEST(EnsureDir, CreatesOneLevelAndIsSilentWhenItCannot) {
    TScratchDir dir;
    EnsureDir(dir / L"Settings");
    EXPECT_TRUE(FolderExists(dir / L"Settings"));
    PutFile(dir / L"Settings\\holter.ini", "kept");
    EnsureDir(dir / L"Settings");
    EXPECT_EQ(FileBytes(dir / L"Settings\\holter.ini"), "kept");
    EnsureDir(dir / L"нет\\udf");
    EXPECT_FALSE(FolderExists(dir / L"нет"));
}

// A tree copied into a folder made for it, held as a run holds the suite's folder.
void CopyTreeTo(const std::wstring& source, const std::wstring& dest) {
    ASSERT_EQ(ForceDirectories(dest), 0u);
    TTargetFolder target(dest);
    CopyDirTree(target, source, L"");
}

TEST(CopyDirTree, CopiesHiddenFilesButNoHiddenFoldersIntoANewChain) {
    TScratchDir dir;
    const std::wstring source = dir / L"Пакет 1";
    ::CreateDirectoryW(source.c_str(), nullptr);
    PutFile(source + L"\\Install.cmd", "run");
    PutFile(source + L"\\скрытый.txt", "hidden");
    ::SetFileAttributesW((source + L"\\скрытый.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ::CreateDirectoryW((source + L"\\Вложенная папка").c_str(), nullptr);
    PutFile(source + L"\\Вложенная папка\\data.bin", "nested");
    ::CreateDirectoryW((source + L"\\Скрытая").c_str(), nullptr);
    PutFile(source + L"\\Скрытая\\secret.bin", "secret");
    ::SetFileAttributesW((source + L"\\Скрытая").c_str(), FILE_ATTRIBUTE_HIDDEN);

    const std::wstring dest = dir / L"Цель\\ещё уровень\\backup";
    CopyTreeTo(source, dest);
    EXPECT_EQ(FileBytes(dest + L"\\Install.cmd"), "run");
    EXPECT_EQ(FileBytes(dest + L"\\скрытый.txt"), "hidden");
    EXPECT_EQ(FileBytes(dest + L"\\Вложенная папка\\data.bin"), "nested");
    EXPECT_FALSE(FolderExists(dest + L"\\Скрытая"));
}

TEST(CopyDirTree, ReplacesSameNamesAndKeepsFilesOnlyInTheDestination) {
    TScratchDir dir;
    const std::wstring source = dir / L"src";
    const std::wstring dest = dir / L"dst";
    ::CreateDirectoryW(source.c_str(), nullptr);
    ::CreateDirectoryW(dest.c_str(), nullptr);
    PutFile(source + L"\\общий.cfg", "new");
    PutFile(dest + L"\\общий.cfg", "old");
    PutFile(dest + L"\\только здесь.cfg", "mine");
    PutFile(source + L"\\второй.cfg", "2");
    CopyTreeTo(source, dest);
    EXPECT_EQ(FileBytes(dest + L"\\общий.cfg"), "new");
    EXPECT_EQ(FileBytes(dest + L"\\только здесь.cfg"), "mine");

    CopyTreeTo(dir / L"нет источника", dir / L"пустая цель");
    EXPECT_TRUE(FolderExists(dir / L"пустая цель"));
}

// The attributes come along as CopyFileW brings them; a read-only file in the way is refused as Windows
// refuses it, which may mean that a program holds it, so it goes to the question first.
TEST(CopyDirTree, CarriesAttributesAndAsksAboutAReadOnlyFileInTheWay) {
    TScratchDir dir;
    const std::wstring source = dir / L"src";
    const std::wstring dest = dir / L"dst";
    ::CreateDirectoryW(source.c_str(), nullptr);
    PutFile(source + L"\\ReleaseInfo", "<ROOT/>");
    ::SetFileAttributesW((source + L"\\ReleaseInfo").c_str(),
                         FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    ::CreateDirectoryW(dest.c_str(), nullptr);
    TRunFolder run(dest);
    std::vector<std::wstring> asked;
    const TInUseRetry inUse = [&](const std::wstring& file, DWORD code) {
        asked.push_back(file + L" " + std::to_wstring(code));
        return false;
    };
    EXPECT_THAT(CopyDirTree(run, source, L"", inUse), IsEmpty());
    EXPECT_THAT(run.Flushes().Finish(), IsEmpty());
    EXPECT_EQ(FileBytes(dest + L"\\ReleaseInfo"), "<ROOT/>");
    EXPECT_EQ(::GetFileAttributesW((dest + L"\\ReleaseInfo").c_str()) &
                  (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN});
    EXPECT_THAT(asked, IsEmpty());

    // A file already there as the medium has it is left alone; one to be replaced by another content is
    // asked about, and, not to be tried again, named among those that did not arrive.
    EXPECT_THAT(CopyDirTree(run, source, L"", inUse), IsEmpty());
    EXPECT_THAT(asked, IsEmpty());
    ::SetFileAttributesW((source + L"\\ReleaseInfo").c_str(), FILE_ATTRIBUTE_NORMAL);
    PutFile(source + L"\\ReleaseInfo", "<ROOT><Level/></ROOT>");
    const std::vector<TCopyFailure> failed = CopyDirTree(run, source, L"", inUse);
    for (const std::wstring& file : {source + L"\\ReleaseInfo", dest + L"\\ReleaseInfo"})
        ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_THAT(asked, ElementsAre(L"ReleaseInfo " + std::to_wstring(ERROR_ACCESS_DENIED)));
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].Path, dest + L"\\ReleaseInfo");
    EXPECT_FALSE(failed[0].Reason.empty());
}

TEST(GetSubDirList, LeavesOutWithOutAnswerOnlyInItsExactSpelling) {
    TScratchDir dir;
    for (const wchar_t* name :
         {L"A", L"A\\WithOutAnswer", L"A\\Пакет 230101", L"A\\Скрытый", L"B", L"B\\withoutanswer"})
        ::CreateDirectoryW((dir / name).c_str(), nullptr);
    ::SetFileAttributesW((dir / L"A\\Скрытый").c_str(), FILE_ATTRIBUTE_HIDDEN);
    PutFile(dir / L"A\\file.txt", "");

    std::vector<std::wstring> list{L"already there"};
    GetSubDirList(dir / L"A\\", list);
    EXPECT_THAT(list, ElementsAre(L"already there", dir / L"A\\Пакет 230101"));
    list.clear();
    GetSubDirList(dir / L"B\\", list);
    EXPECT_THAT(list, ElementsAre(dir / L"B\\withoutanswer"));
}

TEST(ShellCopyDir, CopiesAFolderGivenWithTrailingBackslashes) {
    TScratchDir dir;
    ::CreateDirectoryW((dir / L"FTDIDriverInstall").c_str(), nullptr);
    PutFile(dir / L"FTDIDriverInstall\\FTDIDriverInstall.exe", "exe");
    ::CreateDirectoryW((dir / L"Цель").c_str(), nullptr);

    EXPECT_TRUE(ShellCopyDir(dir / L"FTDIDriverInstall\\", dir / L"Цель\\FTDIDriverInstall\\", nullptr));
    EXPECT_EQ(FileBytes(dir / L"Цель\\FTDIDriverInstall\\FTDIDriverInstall.exe"), "exe");
}

// Unattended, nobody answers the shell's question before it replaces a file: quietly it must not ask (a
// question here would leave the test waiting).
TEST(ShellCopyDir, QuietCopyReplacesWhatAnEarlierCopyLeft) {
    TScratchDir dir;
    ::CreateDirectoryW((dir / L"FTDIDriverInstall").c_str(), nullptr);
    PutFile(dir / L"FTDIDriverInstall\\FTDIDriverInstall.exe", "newer");
    ::CreateDirectoryW((dir / L"Цель").c_str(), nullptr);
    ::CreateDirectoryW((dir / L"Цель\\FTDIDriverInstall").c_str(), nullptr);
    PutFile(dir / L"Цель\\FTDIDriverInstall\\FTDIDriverInstall.exe", "older");
    PutFile(dir / L"Цель\\FTDIDriverInstall\\FTDIDriverInstall.ran", "kept");

    EXPECT_TRUE(ShellCopyDir(dir / L"FTDIDriverInstall", dir / L"Цель\\", nullptr, true));
    EXPECT_EQ(FileBytes(dir / L"Цель\\FTDIDriverInstall\\FTDIDriverInstall.exe"), "newer");
    EXPECT_EQ(FileBytes(dir / L"Цель\\FTDIDriverInstall\\FTDIDriverInstall.ran"), "kept");
}

// ---- Processes ----

// What the probe program saw: its own path, its command line, its current folder.
struct TProbeRecord {
    std::wstring Program, CommandLine, Folder;
};

class Processes : public ::testing::Test {
protected:
    void SetUp() override {
        ::SetEnvironmentVariableW(L"TESSARO_PROBE_OUT", FRecord.c_str());
        ::CreateDirectoryW((FDir / L"My Dir").c_str(), nullptr);
        ASSERT_TRUE(::CopyFileW(ProbeExe().c_str(), FProgram.c_str(), FALSE));
    }
    void TearDown() override { ::SetEnvironmentVariableW(L"TESSARO_PROBE_OUT", nullptr); }
    static std::wstring ProbeExe() { return ExecutableFolder() + L"cmdline_probe.exe"; }
    TProbeRecord Record() {
        const std::string bytes = FileBytes(FRecord);
        std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
        TProbeRecord record;
        std::wstring* fields[] = {&record.Program, &record.CommandLine, &record.Folder};
        std::size_t start = 0;
        for (std::wstring* field : fields) {
            const std::size_t end = text.find(L'\n', start);
            if (end == std::wstring::npos)
                break;
            *field = text.substr(start, end - start);
            start = end + 1;
        }
        ::DeleteFileW(FRecord.c_str());
        return record;
    }

    TScratchDir FDir;
    const std::wstring FRecord = FDir / L"probe record.txt";
    const std::wstring FProgram = FDir / L"My Dir\\prog.exe";
};

TEST_F(Processes, ExecAndWaitQuotesTheProgramAndStartsItInItsFolder) {
    // Unquoted, the system would try "<dir>\My.exe" first.
    ASSERT_TRUE(::CopyFileW(ProbeExe().c_str(), (FDir / L"My.exe").c_str(), FALSE));

    EXPECT_EQ(ExecAndWait(FProgram, L"", SW_HIDE), 0);
    TProbeRecord record = Record();
    EXPECT_EQ(record.Program, FProgram);
    EXPECT_EQ(record.CommandLine, L"\"" + FProgram + L"\" ");
    EXPECT_EQ(record.Folder, FDir / L"My Dir");

    EXPECT_EQ(ExecAndWait(FProgram, L"exit=7 \"второй аргумент\"", SW_HIDE), 7);
    EXPECT_EQ(Record().CommandLine, L"\"" + FProgram + L"\" exit=7 \"второй аргумент\"");
}

TEST_F(Processes, ExecAndWaitPassesLongLinesWholeAndRefusesOnesTheSystemCannotTake) {
    const std::wstring params = L"exit=3 " + std::wstring(5000, L'ж');
    EXPECT_EQ(ExecAndWait(FProgram, params, SW_HIDE), 3);
    EXPECT_EQ(Record().CommandLine, L"\"" + FProgram + L"\" " + params);

    EXPECT_EQ(ErrorOf([&] { ExecAndWait(FProgram, std::wstring(32768, L'x'), SW_HIDE); }),
              WideToUtf8(L"не смог создать процесс: " + FProgram));
    const std::wstring missing = FDir / L"нет\\Install.exe";
    EXPECT_EQ(ErrorOf([&] { ExecAndWait(missing, L"", SW_HIDE); }),
              WideToUtf8(L"не смог создать процесс: " + missing));
    EXPECT_FALSE(FileExists(FRecord));
}

// The package's script and the driver's installer take seconds: the run waits for their end.
TEST_F(Processes, WaitsForAProgramUntilItEnds) {
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(ExecAndWait(FProgram, L"sleep=400 exit=4", SW_HIDE), 4);
    EXPECT_GE(::GetTickCount64() - start, 390u);
    EXPECT_EQ(ExecProgram(L"\"" + FProgram + L"\" sleep=400 exit=6", SW_HIDE, true), 6);
}

TEST_F(Processes, ExecProgramTakesTheLineAsItStands) {
    const std::wstring line = L"\"" + FProgram + L"\" exit=5";
    EXPECT_EQ(ExecProgram(line, SW_HIDE, true), 5);
    TProbeRecord record = Record();
    EXPECT_EQ(record.CommandLine, line);
    wchar_t current[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, current);
    EXPECT_EQ(record.Folder, current);

    const std::wstring missing = L"\"" + FDir / L"FTDIDriverInstall\\FTDIDriverInstall.exe\"";
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(ExecProgram(missing, SW_HIDE, true), -1);
    EXPECT_EQ(ExecProgram(missing, SW_HIDE, false), -1);
    EXPECT_LT(::GetTickCount64() - start, 5000u);

    EXPECT_EQ(ExecProgram(line + L" " + std::wstring(32767, L'x'), SW_HIDE, true), -1);
    EXPECT_FALSE(FileExists(FRecord));
}

} // namespace
