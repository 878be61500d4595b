#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>

#include "settings/ansi_path_win32.h"
#include "settings/file_replace.h"

#include "base/windows_api.h"

namespace ziv {

namespace {

HANDLE HandleOf(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

bool WriteAll(int fd, std::string_view bytes) {
    const HANDLE file = HandleOf(fd);
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
            errno = EIO;
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

bool IsMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// A file the replace would go through although it may not be written to:
// one the operator made read-only to freeze the settings, or one the ACL
// denies the user (asked by opening it for writing, which changes nothing
// in it). Refused, as writing it in place would be.
bool MayReplace(const std::wstring& target, DWORD attributes) {
    if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        return false;
    }
    const HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

// Opens a fresh temporary file beside target, as a C runtime descriptor
// for the byte writer; its name starts with a dot, as on POSIX, and ends
// in ".tmp". stem is the name without that ending, for the backup.
int CreateTemporary(const std::wstring& target, std::wstring& stem) {
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = target.find_last_of(L"\\");
    const std::size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    for (int attempt = 0; attempt < 100; ++attempt) {
        stem = target.substr(0, nameStart) + L"." + target.substr(nameStart) + L"." +
               std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(counter++);
        const std::wstring path = stem + L".tmp";
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) {
                continue;
            }
            return -1;
        }
        const int fd =
            _open_osfhandle(reinterpret_cast<std::intptr_t>(file), _O_WRONLY | _O_BINARY);
        if (fd < 0) {
            CloseHandle(file);
            DeleteFileW(path.c_str());
        }
        return fd;
    }
    return -1;
}

// ReplaceFileW keeps the target's attributes, ACL and streams. It is two
// renames inside, the old file first going to the backup name: only with
// that name known can a failure between them give the old file back.
bool ReplaceExisting(const std::wstring& target, const std::wstring& stem) {
    const std::wstring temporary = stem + L".tmp";
    const std::wstring backup = stem + L".old";
    // A merge error (an ACL the volume cannot hold) must not cost the save.
    if (ReplaceFileW(target.c_str(), temporary.c_str(), backup.c_str(),
                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        DeleteFileW(backup.c_str());
        return true;
    }
    // The old file went to the backup name and the new one could not take
    // its place: the old one goes back. (With the other errors both files
    // kept their names.)
    if (GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
        MoveFileExW(backup.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    }
    return false;
}

}  // namespace

std::string_view NewFileLineEnding() {
    return "\r\n";
}

TReadResult ReadWholeFile(const std::string& path, std::string& content) {
    content.clear();
    // Shared for deletion too, so that a replace by another program is not
    // held up by this read.
    const HANDLE file = CreateFileW(ToWidePath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return IsMissing(GetLastError()) ? TReadResult::Missing : TReadResult::Failed;
    }
    char buffer[8192];
    TReadResult result = TReadResult::Read;
    for (;;) {
        DWORD count = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &count, nullptr)) {
            result = TReadResult::Failed;
            content.clear();
            break;
        }
        if (count == 0) {
            break;
        }
        content.append(buffer, count);
    }
    CloseHandle(file);
    return result;
}

bool ReplaceFileContent(const std::string& path, std::string_view content,
                        const TWriteBytes& writeBytes) {
    const std::wstring target = ToWidePath(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    if (existed ? !MayReplace(target, attributes) : !IsMissing(GetLastError())) {
        return false;
    }
    std::wstring stem;
    const int fd = CreateTemporary(target, stem);
    if (fd < 0) {
        return false;
    }
    bool ok = writeBytes ? writeBytes(fd, content) : WriteAll(fd, content);
    ok = ok && FlushFileBuffers(HandleOf(fd));
    ok = (_close(fd) == 0) && ok;
    const std::wstring temporary = stem + L".tmp";
    if (ok) {
        // A new file: nothing to keep, and one made meanwhile is replaced
        // as the POSIX rename would replace it.
        ok = existed ? ReplaceExisting(target, stem)
                     : MoveFileExW(temporary.c_str(), target.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    }
    if (!ok) {
        DeleteFileW(temporary.c_str());
    }
    return ok;
}

}  // namespace ziv
