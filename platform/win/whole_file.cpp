// Whole-file reading, and replacement through a temporary file and a move
// (Win32), or in place where the folder takes no new file.
#include "platform/files/whole_file.h"

#include "platform/files/replacement.h"

#include <windows.h>

#include <malloc.h>

#include <random>

// Another program (a virus scanner, the search indexer) may hold the target
// open for a moment; the move is tried again for about a second.
static const int move_attempts = 20;
static const DWORD move_retry_ms = 50;
// The attributes a replacement keeps; read-only targets are refused before.
static const DWORD kept_attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
static const char separators[] = "\\/";

static HANDLE handle_of(NativeFile file) {
    return reinterpret_cast<HANDLE>(file);
}

static NativeFile native_file(HANDLE handle) {
    return reinterpret_cast<NativeFile>(handle);
}

// Not rand(): the program's shuffle owns that sequence.
static std::string temp_name(const std::string& directory, const std::string& base) {
    static std::minstd_rand generator;
    static bool seeded = false;
    if (!seeded) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        generator.seed(static_cast<unsigned>(now.QuadPart) ^ GetCurrentProcessId());
        seeded = true;
    }
    uint64_t random = (static_cast<uint64_t>(generator()) << 31) ^ generator();
    return path_in(directory, temp_prefix(base) + temp_suffix(random), '\\');
}

// Removes the temporary files of this target that a killed writer left. A
// writer holds its temporary file open without sharing until it is moved or
// removed; the handle dies with the process, so a file that can be deleted is
// abandoned.
static void remove_abandoned(const std::string& directory, const std::string& base) {
    std::string prefix = temp_prefix(base);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path_in(directory, prefix + "*", '\\').c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = found.cFileName;
        if (is_temp_name(name, prefix))
            DeleteFileA(path_in(directory, name, '\\').c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// The path a plain open would write to: symbolic links and junctions followed.
static std::string final_path(HANDLE file, const std::string& path) {
    char buffer[MAX_PATH * 4];
    DWORD length = GetFinalPathNameByHandleA(file, buffer, sizeof buffer, VOLUME_NAME_DOS);
    if (length == 0 || length >= sizeof buffer)
        return path;
    return std::string(buffer, length);
}

bool read_whole_file(const char* path, std::string* content, bool* exists) {
    content->clear();
    *exists = false;
    HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    // Only a disk file is read: a device (NUL, COM1) or a pipe may never end.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return false;
    }
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
            CloseHandle(file);
            return false;
        }
        if (got == 0)
            break;
        content->append(chunk, got);
    }
    CloseHandle(file);
    *exists = true;
    return true;
}

bool file_stamp(const char* path, std::string* stamp) {
    stamp->clear();
    // No access asked for: the file's information only, whoever holds it open.
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION information;
    bool ok = GetFileInformationByHandle(file, &information) != 0;
    CloseHandle(file);
    if (!ok)
        return false;
    DWORD parts[] = {information.dwVolumeSerialNumber,
                     information.nFileIndexHigh,
                     information.nFileIndexLow,
                     information.nFileSizeHigh,
                     information.nFileSizeLow,
                     information.ftLastWriteTime.dwHighDateTime,
                     information.ftLastWriteTime.dwLowDateTime};
    for (DWORD part : parts)
        *stamp += std::to_string(part) + ":";
    return true;
}

static OVERLAPPED at_offset(uint64_t offset) {
    OVERLAPPED position = {};
    position.Offset = static_cast<DWORD>(offset);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return position;
}

void release_free_memory() {
    _heapmin();
}

bool native_write_at(NativeFile file, uint64_t offset, const char* data, size_t size) {
    while (size > 0) {
        DWORD chunk = size > 1u << 30 ? 1u << 30 : static_cast<DWORD>(size);
        DWORD written = 0;
        OVERLAPPED position = at_offset(offset);
        if (!WriteFile(handle_of(file), data, chunk, &written, &position) || written == 0)
            return false;
        data += written;
        offset += written;
        size -= written;
    }
    return true;
}

bool native_read_at(NativeFile file, uint64_t offset, char* data, size_t size) {
    while (size > 0) {
        DWORD chunk = size > 1u << 30 ? 1u << 30 : static_cast<DWORD>(size);
        DWORD got = 0;
        OVERLAPPED position = at_offset(offset);
        if (!ReadFile(handle_of(file), data, chunk, &got, &position) || got == 0)
            return false;
        data += got;
        offset += got;
        size -= got;
    }
    return true;
}

AtomicFile* atomic_begin(const char* path) {
    std::string target = path;
    if (target.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    // Refused exactly when a plain open for writing would be (a read-only
    // file, a folder); opening without truncation changes nothing. Kept open
    // for a write in place.
    HANDLE target_handle = CreateFileA(target.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD attributes = 0;
    if (target_handle == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND)
            return nullptr;
    } else {
        // Writing into a device is not a replacement.
        if (GetFileType(target_handle) != FILE_TYPE_DISK) {
            CloseHandle(target_handle);
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        target = final_path(target_handle, target);
        BY_HANDLE_FILE_INFORMATION information;
        if (GetFileInformationByHandle(target_handle, &information))
            attributes = information.dwFileAttributes & kept_attributes;
    }

    std::string directory = directory_of(target, separators);
    std::string temp;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; attempt++) {
        temp = temp_name(directory, base_of(target, separators));
        // No sharing: another writer's sweep cannot remove it while it is open.
        handle = CreateFileA(temp.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE)
            break;
        DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS)
            continue;
        // The folder refuses a new name but the file itself may be written:
        // a plain write would succeed, so the file is written in place.
        // Other failures (a full disk) keep the old file whole.
        if (error == ERROR_ACCESS_DENIED && target_handle != INVALID_HANDLE_VALUE)
            return new AtomicFile{
                native_file(target_handle), "", target, directory, attributes, false, "", 0, ""};
        if (target_handle != INVALID_HANDLE_VALUE)
            CloseHandle(target_handle);
        return nullptr;
    }
    if (target_handle != INVALID_HANDLE_VALUE)
        CloseHandle(target_handle);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    remove_abandoned(directory, base_of(target, separators));
    return new AtomicFile{
        native_file(handle), temp, target, directory, attributes, false, "", 0, ""};
}

bool native_rewrite(NativeFile file, const std::string& content) {
    LARGE_INTEGER start = {};
    bool ok = SetFilePointerEx(handle_of(file), start, nullptr, FILE_BEGIN) &&
              SetEndOfFile(handle_of(file)) &&
              native_write_at(file, 0, content.data(), content.size()) &&
              FlushFileBuffers(handle_of(file));
    return CloseHandle(handle_of(file)) && ok;
}

static bool move_over(const std::string& from, const std::string& to) {
    for (int attempt = 0; attempt < move_attempts; attempt++) {
        if (MoveFileExA(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        DWORD error = GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)
            return false;
        Sleep(move_retry_ms);
    }
    return false;
}

bool native_publish(const AtomicFile& file, bool ok) {
    ok = ok && FlushFileBuffers(handle_of(file.file));
    ok = CloseHandle(handle_of(file.file)) && ok;
    if (ok && file.attributes != 0)
        SetFileAttributesA(file.temp_path.c_str(), file.attributes);
    ok = ok && move_over(file.temp_path, file.target_path);
    if (!ok)
        DeleteFileA(file.temp_path.c_str());
    return ok;
}

void native_close(NativeFile file) {
    CloseHandle(handle_of(file));
}

void native_remove(const std::string& path) {
    DeleteFileA(path.c_str());
}
