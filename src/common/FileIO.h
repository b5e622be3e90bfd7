// The few file operations the shared modules need, behind one interface with a Windows and a POSIX
// implementation. Paths are Windows paths ("\" separators); the POSIX side maps them to "/".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class TReadStatus { Ok, NotFound, Failed };

struct TFileBytes {
    TReadStatus Status = TReadStatus::NotFound;
    std::string Bytes;
    std::wstring Error; // the system's reason when Status is Failed
};

// Whether a path names something, by what it accepts: a file (not a folder), a folder (a link to one
// included), or either.
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
bool PathExists(const std::wstring& path);
// The size of a file; nothing for a folder or a path that names nothing.
std::optional<std::uint64_t> FileSizeOf(const std::wstring& path);

// The whole content of a file. A file or folder that does not exist is NotFound, not Failed.
TFileBytes ReadWholeFile(const std::wstring& fileName);

// Replaces the file's content with `bytes` so that a failure at any point leaves either the old file or
// the complete new one: the bytes go to a temporary file beside it, reach the disk, and only then take
// the file's place. Throws TError naming the file when that is not possible.
void ReplaceFileContents(const std::wstring& fileName, std::string_view bytes);

// The full path the system makes of a path: relative ones against the current folder, "/" read as "\", "."
// and ".." parts resolved. The path as given where the system cannot.
std::wstring FullPathOf(const std::wstring& path);

// The running executable, and its folder ending in "\".
std::wstring ExecutablePath();
std::wstring ExecutableFolder();

// The folder part of a path, including its final "\" (empty when the path has none).
std::wstring ExtractFilePath(const std::wstring& fileName);
// The name part of a path, after its folder.
std::wstring ExtractFileName(const std::wstring& fileName);
