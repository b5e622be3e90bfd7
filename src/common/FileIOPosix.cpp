// POSIX side of the file operations, used by the native build and its tests.
#include "common/FileIO.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "common/Error.h"
#include "common/StrUtils.h"
#include "common/TextCodec.h"

namespace {

std::string NativePath(const std::wstring& fileName) {
    std::string path = WideToUtf8(fileName);
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

std::wstring ErrnoText(int code) {
    return Utf8ToWide(std::strerror(code));
}

class TFd {
public:
    explicit TFd(int fd) noexcept : FFd(fd) {}
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    ~TFd() { Close(); }
    int Get() const noexcept { return FFd; }
    int Close() noexcept {
        int result = 0;
        if (FFd >= 0)
            result = ::close(FFd);
        FFd = -1;
        return result;
    }

private:
    int FFd;
};

[[noreturn]] void ThrowWriteError(const std::wstring& fileName, int code) {
    throw TError(L"Не удалось записать файл " + Quoted(fileName) + L": " + ErrnoText(code));
}

} // namespace

namespace {
bool StatOf(const std::wstring& path, struct stat& info) {
    return ::stat(NativePath(path).c_str(), &info) == 0;
}
} // namespace

bool FileExists(const std::wstring& path) {
    struct stat info {};
    return StatOf(path, info) && !S_ISDIR(info.st_mode);
}

bool FolderExists(const std::wstring& path) {
    struct stat info {};
    return StatOf(path, info) && S_ISDIR(info.st_mode);
}

bool PathExists(const std::wstring& path) {
    struct stat info {};
    return StatOf(path, info);
}

std::optional<std::uint64_t> FileSizeOf(const std::wstring& path) {
    struct stat info {};
    if (!StatOf(path, info) || S_ISDIR(info.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

TFileBytes ReadWholeFile(const std::wstring& fileName) {
    TFileBytes result;
    TFd fd(::open(NativePath(fileName).c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        const int code = errno;
        result.Status = (code == ENOENT || code == ENOTDIR) ? TReadStatus::NotFound : TReadStatus::Failed;
        result.Error = ErrnoText(code);
        return result;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            result.Status = TReadStatus::Failed;
            result.Error = ErrnoText(errno);
            result.Bytes.clear();
            return result;
        }
        if (got == 0)
            break;
        result.Bytes.append(buffer, static_cast<std::size_t>(got));
    }
    result.Status = TReadStatus::Ok;
    return result;
}

void ReplaceFileContents(const std::wstring& fileName, std::string_view bytes) {
    static std::atomic<unsigned> counter{0};
    const std::string target = NativePath(fileName);
    const std::string temp =
        target + "." + std::to_string(::getpid()) + "." + std::to_string(counter.fetch_add(1)) + ".tmp";
    TFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.Get() < 0)
        ThrowWriteError(fileName, errno);
    auto fail = [&](int code) {
        fd.Close();
        ::unlink(temp.c_str());
        ThrowWriteError(fileName, code);
    };
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd.Get(), bytes.data() + done, bytes.size() - done);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        done += static_cast<std::size_t>(put);
    }
    if (::fsync(fd.Get()) != 0)
        fail(errno);
    if (fd.Close() != 0)
        fail(errno);
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int code = errno;
        ::unlink(temp.c_str());
        ThrowWriteError(fileName, code);
    }
}

// Windows paths have no meaning of their own here: the portable code's tests give full paths.
std::wstring FullPathOf(const std::wstring& path) {
    return path;
}

std::wstring ExecutablePath() {
    std::string path(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0)
        return {};
    path.resize(static_cast<std::size_t>(length));
    std::wstring wide = Utf8ToWide(path);
    for (wchar_t& c : wide)
        if (c == L'/')
            c = L'\\';
    return wide;
}

std::wstring ExecutableFolder() {
    const std::wstring path = ExecutablePath();
    return path.empty() ? L".\\" : ExtractFilePath(path);
}
