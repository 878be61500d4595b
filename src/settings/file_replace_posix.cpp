#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "base/path_rules.h"
#include "settings/file_replace.h"

namespace ziv {

namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t count = ::write(fd, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            if (count == 0) {
                errno = EIO;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

// A link to the settings file stays a link: the file it points at is the
// one replaced.
std::string ReplacedPath(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            std::string result(real);
            std::free(real);
            return result;
        }
    }
    return path;
}

// Opens a fresh temporary file beside target; its name starts with a dot so
// that one left by a power cut does not clutter the directory listing.
int CreateTemporary(const std::string& target, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    const std::string dir = DirectoryPart(target);
    const std::string base = FileNamePart(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = dir + "." + base + "." + std::to_string(::getpid()) + "." +
                   std::to_string(counter++) + ".tmp";
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// The new file takes the old one's mode, and its owner and group when the
// program may set them (it runs as root); otherwise the file becomes the
// writer's, as any save would.
bool CopyPermissions(int fd, const struct stat& old) {
    if (::fchmod(fd, old.st_mode & 07777) != 0) {
        return false;
    }
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
        // A refusal is expected for an ordinary user; the cast alone
        // does not silence a fortified fchown.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        }
    }
    return true;
}

void SyncDirectoryOf(const std::string& path) {
    const std::string part = DirectoryPart(path);
    const std::string dir = part.empty() ? "." : part;
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);  // the rename is done; this only hastens its way to the disk
        ::close(fd);
    }
}

}  // namespace

std::string_view NewFileLineEnding() {
    return "\n";
}

TReadResult ReadWholeFile(const std::string& path, std::string& content) {
    content.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT ? TReadResult::Missing : TReadResult::Failed;
    }
    char buffer[8192];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            ::close(fd);
            return TReadResult::Failed;
        }
        if (count == 0) {
            break;
        }
        content.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);
    return TReadResult::Read;
}

bool ReplaceFileContent(const std::string& path, std::string_view content,
                        const TWriteBytes& writeBytes) {
    const std::string target = ReplacedPath(path);
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    // The rename would replace a file that may not be written to (one the
    // operator made read-only to freeze the settings, or another user's);
    // such a file is refused, as writing it in place would be.
    if (existed && ((old.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)) {
        return false;
    }
    std::string tempPath;
    const int fd = CreateTemporary(target, tempPath);
    if (fd < 0) {
        return false;
    }
    bool ok = !existed || CopyPermissions(fd, old);
    ok = ok && (writeBytes ? writeBytes(fd, content) : WriteAll(fd, content));
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tempPath.c_str());
        return false;
    }
    SyncDirectoryOf(target);
    return true;
}

}  // namespace ziv
