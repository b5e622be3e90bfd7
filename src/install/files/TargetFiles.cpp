// The files below the suite's folder, opened, made, renamed, changed and removed relative to the folders its
// gateway holds (TargetFolder.cpp), and the walks through them.
#include "install/files/TargetFolder.h"

#include <algorithm>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/FileReplaceWin.h"
#include "common/StrUtils.h"
#include "install/files/FilesInUse.h"
#include "install/files/Folders.h"
#include "install/files/TargetNames.h"
#include "install/run/RunStop.h"
#include "install/trust/LinkPolicy.h"
#include "install/trust/Links.h"

namespace {

using namespace TargetNames;

// How deep below the suite's folder a walk goes: deeper than the suite's own folders ever are, while any user
// may nest folders without end in "DTAfb" and "Settings".
constexpr std::size_t DeepestWalk = 64;

bool SetDisposition(HANDLE file) {
    FILE_DISPOSITION_INFO dispose{TRUE};
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof dispose) != 0;
}

DWORD SetAttributes(HANDLE file, DWORD attributes) {
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    return ::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) ? 0 : ::GetLastError();
}

DWORD WriteAll(HANDLE file, std::string_view bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD put = 0;
        if (!::WriteFile(file, bytes.data() + done, chunk, &put, nullptr))
            return ::GetLastError();
        done += put;
    }
    return ::FlushFileBuffers(file) ? 0 : ::GetLastError();
}

} // namespace

bool TTargetFolder::IsFile(std::wstring_view Relative) {
    return Open(Relative, 0, ShareAll, TUse::Read).Valid();
}

bool TTargetFolder::IsFolder(std::wstring_view Relative) {
    const auto [folder, name] = Split(Relative);
    const THeld* held = Held(folder, false);
    return held && OpenInFolder(held->Handle.Get(), name, 0, ShareAll, true).Valid();
}

TUniqueFile TTargetFolder::CreateNew(std::wstring_view Relative, DWORD Access, DWORD* Error) {
    const auto [folder, name] = Split(Relative);
    return CreateInFolder(MakeFolder(folder), name, Access, FILE_SHARE_READ, false, nullptr, Error);
}

TUniqueFile TTargetFolder::CreateBeside(std::wstring_view Relative, std::wstring& Temporary) {
    const auto [folder, name] = Split(Relative);
    const THeld* held = Held(folder, false);
    DWORD code = ERROR_PATH_NOT_FOUND;
    for (int attempt = 0; held && attempt < 8; ++attempt) {
        const std::wstring random = RandomHex(16);
        if (random.empty())
            break;
        const std::wstring temporary = name + L".~tessaro-" + random + L".tmp";
        // Shared, so that a new file can take its name while its handle stays open for a later flush, and be
        // read (a package's script) or even replaced by others meanwhile.
        TUniqueFile file = CreateInFolder(held->Handle.Get(), temporary, GENERIC_WRITE | DELETE, ShareAll,
                                          false, nullptr, &code);
        if (file) {
            Temporary = Joined(folder, temporary);
            return file;
        }
        if (code != ERROR_ALREADY_EXISTS && code != ERROR_FILE_EXISTS)
            break;
    }
    const std::wstring message =
        L"Не удалось создать файл " + Quoted(Full(Bare(Relative))) + L": " + SystemErrorText(code);
    if (MayBeInUse(code))
        throw TFileInUse(message, Full(Bare(Relative)), code);
    throw TSystemError(message, code);
}

DWORD TTargetFolder::Rename(HANDLE File, std::wstring_view NewRelative, bool Replace) {
    const auto [folder, name] = Split(NewRelative);
    const THeld* held = Held(folder, false);
    return held ? RenameInFolder(File, held->Handle.Get(), name, Replace) : ERROR_PATH_NOT_FOUND;
}

DWORD TTargetFolder::AlsoName(HANDLE File, std::wstring_view NewRelative) {
    const auto [folder, name] = Split(NewRelative);
    const THeld* held = Held(folder, false);
    return held ? AlsoNameInFolder(File, held->Handle.Get(), name) : ERROR_PATH_NOT_FOUND;
}

DWORD TTargetFolder::Remove(std::wstring_view Relative) {
    const auto [folder, name] = Split(Relative);
    const THeld* held = Held(folder, false);
    if (!held)
        return 0;
    DWORD code = 0;
    const TUniqueFile file =
        OpenInFolder(held->Handle.Get(), name, DELETE | FILE_WRITE_ATTRIBUTES, ShareAll, false, &code);
    if (!file)
        return IsMissing(code) ? 0 : code;
    TObjectInfo info;
    if (!InfoOf(file.Get(), info, &code))
        return code;
    // Where Wine followed a Unix link, the file the handle names is elsewhere: it is not removed.
    if (!SameText(FinalPathOf(file.Get()), held->Final + L"\\" + name))
        return LinkInPlace;
    if (info.Attributes & FILE_ATTRIBUTE_READONLY) {
        // The attribute is the file's, wherever its other names lie (a hard link any user may make in
        // "DTAfb" or "Settings" of a read-only file elsewhere): such a file is left as it is.
        if (info.Names > 1)
            return OtherNames;
        SetAttributes(file.Get(),
                      (info.Attributes & ~DWORD{FILE_ATTRIBUTE_READONLY}) | FILE_ATTRIBUTE_ARCHIVE);
    }
    return SetDisposition(file.Get()) ? 0 : ::GetLastError();
}

DWORD TTargetFolder::RemoveFolder(std::wstring_view Relative) {
    Release(Relative);
    const auto [folder, name] = Split(Relative);
    const THeld* held = Held(folder, false);
    if (!held)
        return 0;
    DWORD code = 0;
    const TUniqueFile entry = OpenInFolder(held->Handle.Get(), name, DELETE, ShareAll, true, &code);
    if (!entry)
        return IsMissing(code) ? 0 : code;
    TObjectInfo info;
    if (!InfoOf(entry.Get(), info, &code))
        return code;
    if ((info.Attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !SameText(FinalPathOf(entry.Get()), held->Final + L"\\" + name))
        return LinkInPlace;
    // A folder that is not empty stays: the system refuses.
    return SetDisposition(entry.Get()) ? 0 : ::GetLastError();
}

std::wstring TTargetFolder::MoveAside(std::wstring_view Relative, DWORD* Error) {
    Release(Relative);
    const auto [folder, name] = Split(Relative);
    const THeld* held = Held(folder, false);
    DWORD code = ERROR_PATH_NOT_FOUND;
    TUniqueFile entry;
    if (held)
        entry = OpenEntryInFolder(held->Handle.Get(), name, DELETE, ShareAll, &code);
    // Where Wine followed a Unix link, the handle names what it leads to, outside: that is not moved.
    if (entry && !SameText(FinalPathOf(entry.Get()), held->Final + L"\\" + name)) {
        entry.Reset();
        code = LinkInPlace;
    }
    for (int attempt = 0; entry && attempt < 8; ++attempt) {
        const std::wstring random = RandomHex(8);
        if (random.empty())
            break;
        const std::wstring aside = Joined(folder, name + L".~tessaro-" + random);
        code = Rename(entry.Get(), aside, false);
        if (code == 0)
            return aside;
        if (code != ERROR_ALREADY_EXISTS && code != ERROR_FILE_EXISTS)
            break;
    }
    if (Error)
        *Error = code;
    return {};
}

DWORD TTargetFolder::SetReadOnly(std::wstring_view Relative, bool ReadOnly) {
    DWORD code = 0;
    const TUniqueFile file = Open(Relative, FILE_WRITE_ATTRIBUTES, ShareAll, TUse::Change, &code);
    TObjectInfo info;
    if (!file || !InfoOf(file.Get(), info, &code))
        return code;
    const DWORD attributes = ReadOnly ? info.Attributes | FILE_ATTRIBUTE_READONLY
                                      : info.Attributes & ~DWORD{FILE_ATTRIBUTE_READONLY};
    // "Normal" is valid only alone.
    return SetAttributes(file.Get(), attributes & ~DWORD{FILE_ATTRIBUTE_NORMAL});
}

TFileBytes TTargetFolder::Read(std::wstring_view Relative, TUse Use) {
    TFileBytes result;
    DWORD code = 0;
    const TUniqueFile file = Open(Relative, GENERIC_READ, ShareAll, Use, &code);
    if (file && ReadOpenFile(file.Get(), result.Bytes, &code)) {
        result.Status = TReadStatus::Ok;
        return result;
    }
    result.Bytes.clear();
    result.Status = IsMissing(code) ? TReadStatus::NotFound : TReadStatus::Failed;
    result.Error = TargetErrorText(code);
    return result;
}

TUniqueFile TTargetFolder::Replace(std::wstring_view Relative, std::string_view Bytes) {
    const std::wstring full = Full(Bare(Relative));
    const auto fail = [&](DWORD code) -> TSystemError {
        return TSystemError(L"Не удалось записать файл " + Quoted(full) + L": " + TargetErrorText(code),
                            code);
    };
    // A file with another name, or a link, at the name is not renamed over: it is not the file it seems. Nor
    // is a read-only file, which Windows refuses to replace and Wine replaces all the same.
    DWORD code = 0;
    TObjectInfo info;
    if (!Open(Relative, 0, ShareAll, TUse::Change, &code, &info) && !IsMissing(code))
        throw fail(code);
    if (!code && (info.Attributes & FILE_ATTRIBUTE_READONLY))
        throw fail(ERROR_ACCESS_DENIED);
    std::wstring temporary;
    TUniqueFile file = CreateBeside(Relative, temporary);
    if ((code = WriteAll(file.Get(), Bytes)) == 0 && (code = Rename(file.Get(), Relative, true)) == 0 &&
        ::FlushFileBuffers(file.Get()))
        return file;
    code = code ? code : ::GetLastError();
    SetDisposition(file.Get());
    throw fail(code);
}

void TTargetFolder::Rewrite(std::wstring_view Relative, std::string_view Bytes) {
    DWORD code = 0;
    const TUniqueFile file = Open(Relative, GENERIC_WRITE, FILE_SHARE_READ, TUse::Change, &code);
    LARGE_INTEGER start{};
    if (!file || !::SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN) || !::SetEndOfFile(file.Get()) ||
        (code = WriteAll(file.Get(), Bytes)) != 0) {
        code = code ? code : ::GetLastError();
        throw TSystemError(L"Не удалось записать файл " + Quoted(Full(Bare(Relative))) + L": " +
                               TargetErrorText(code),
                           code);
    }
}

void TTargetFolder::Walk(const THeld& Folder, const std::wstring& Relative, std::size_t Depth,
                         const TVisit& Visit, const std::function<bool(const std::wstring&)>& Into) {
    std::vector<TFolderEntry> entries;
    if (!ListFolder(Folder.Handle.Get(), entries))
        return;
    for (const TFolderEntry& entry : entries) {
        const std::wstring relative = Joined(Relative, entry.Name);
        const bool link = (entry.Attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsLinkTag(entry.ReparseTag);
        if (!(entry.Attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (link)
                PassedOver(Full(relative));
            else
                Visit(relative, entry);
            continue;
        }
        if ((entry.Attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) || (Into && !Into(relative)))
            continue;
        if (Depth >= DeepestWalk) {
            PassedOver(Full(relative));
            continue;
        }
        try {
            bool missing = false;
            const THeld below =
                OpenLevel(Folder, relative, entry.Name, false, FILE_SHARE_READ | FILE_SHARE_WRITE, missing);
            if (!missing)
                Walk(below, relative, Depth + 1, Visit, Into);
        } catch (const TForeignLink&) {
            PassedOver(Full(relative));
        } catch (const TFileInUse&) {
            // Held by another program for writing: what it holds is not the run's to walk.
        }
    }
}

std::vector<TFolderEntry> TTargetFolder::Entries(std::wstring_view Relative) {
    std::vector<TFolderEntry> entries;
    if (const HANDLE folder = FolderIfThere(Relative))
        ListFolder(folder, entries);
    return entries;
}

void TTargetFolder::WalkFiles(std::wstring_view Relative, const TVisit& Visit,
                              const std::function<bool(const std::wstring&)>& Into) {
    if (const THeld* start = Held(Relative, false))
        Walk(*start, Bare(Relative), 0, Visit, Into);
}

bool TTargetFolder::RetryInUse(IInstallHost& Host, const std::wstring& Path, DWORD Code) {
    if (!::RetryInUse(Host, Path, Code))
        return false;
    // Whatever the pause let anyone do to the folders, the retry goes through none swapped meanwhile.
    PassRunPoint(L"in-use");
    Recheck();
    return true;
}

void TTargetFolder::FinishFlushes() {
    const std::vector<TFlushFailure> failures = FFlushes.Finish();
    if (failures.empty())
        return;
    std::wstring text = L"Не удалось записать на диск:";
    for (const TFlushFailure& failure : failures) {
        // A new file whose content may not be what was written goes; a package's file may have come
        // read-only from the medium, which the removal clears first.
        Remove(failure.Relative);
        text += L"\r\n" + Quoted(Full(failure.Relative)) + L" — " + SystemErrorText(failure.Code);
    }
    throw TError(text);
}
