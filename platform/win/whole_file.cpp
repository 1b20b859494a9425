// Whole-file reading, and replacement through a temporary file and a move
// (Win32), or in place where the folder takes no new file.
#include "platform/files/whole_file.h"

#include <windows.h>

#include <random>

struct AtomicFile {
    HANDLE handle;         // the temporary file, or the target itself when written in place
    std::string temp_path; // empty when written in place
    std::string target_path;
    DWORD target_attributes; // kept by the new file; INVALID_FILE_ATTRIBUTES for a new target
    bool failed;             // a write went wrong: the commit must not replace the target
    std::string in_place;    // written in place: the new content, held until the commit
};

// Longer names are cut in the temporary name so that it stays a legal name.
static const size_t max_base_in_temp_name = 200;
static const int temp_letters = 8;
// Another program (a virus scanner, the search indexer) may hold the target
// open for a moment; the move is tried again for about a second.
static const int move_attempts = 20;
static const DWORD move_retry_ms = 50;
// The attributes a replacement keeps; read-only targets are refused before.
static const DWORD kept_attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

static size_t last_separator(const std::string& path) {
    return path.find_last_of("\\/");
}

static std::string directory_of(const std::string& path) {
    size_t slash = last_separator(path);
    if (slash == std::string::npos)
        return ".";
    return path.substr(0, slash);
}

static std::string base_of(const std::string& path) {
    size_t slash = last_separator(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name that starts with the target's and never equals it, so a file left by
// a crash can never be taken for the real one.
static std::string temp_prefix(const std::string& base) {
    std::string prefix = ".";
    prefix.append(base, 0, max_base_in_temp_name);
    return prefix + ".tmp-";
}

// Not rand(): the program's shuffle owns that sequence.
static std::string temp_name(const std::string& directory, const std::string& base) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    static std::minstd_rand generator;
    static bool seeded = false;
    if (!seeded) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        generator.seed(static_cast<unsigned>(now.QuadPart) ^ GetCurrentProcessId());
        seeded = true;
    }
    std::string name = directory + "\\" + temp_prefix(base);
    for (int i = 0; i < temp_letters; i++)
        name += letters[generator() % (sizeof letters - 1)];
    return name;
}

// Removes the temporary files of this target that a killed writer left. A
// writer holds its temporary file open without sharing until it is moved or
// removed; the handle dies with the process, so a file that can be deleted is
// abandoned.
static void remove_abandoned(const std::string& directory, const std::string& base) {
    std::string prefix = temp_prefix(base);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "\\" + prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = found.cFileName;
        if (name.size() == prefix.size() + temp_letters &&
            name.compare(0, prefix.size(), prefix) == 0)
            DeleteFileA((directory + "\\" + name).c_str());
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

static bool write_all(HANDLE file, const char* data, size_t size) {
    while (size > 0) {
        DWORD chunk = size > 1u << 30 ? 1u << 30 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
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
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
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

    std::string directory = directory_of(target);
    std::string temp;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; attempt++) {
        temp = temp_name(directory, base_of(target));
        // No sharing: another writer's sweep cannot remove it while it is open.
        handle = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
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
            return new AtomicFile{target_handle, "", target, attributes, false, ""};
        if (target_handle != INVALID_HANDLE_VALUE)
            CloseHandle(target_handle);
        return nullptr;
    }
    if (target_handle != INVALID_HANDLE_VALUE)
        CloseHandle(target_handle);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    remove_abandoned(directory, base_of(target));
    return new AtomicFile{handle, temp, target, attributes, false, ""};
}

bool atomic_write(AtomicFile* file, const char* data, size_t size) {
    if (file->failed)
        return false;
    if (file->temp_path.empty())
        file->in_place.append(data, size);
    else if (!write_all(file->handle, data, size))
        file->failed = true;
    return !file->failed;
}

// Truncates the target, writes the new content and flushes it: the plain
// write, done only once the whole content is known.
static bool commit_in_place(AtomicFile* file) {
    LARGE_INTEGER start = {};
    bool ok = SetFilePointerEx(file->handle, start, nullptr, FILE_BEGIN) &&
              SetEndOfFile(file->handle) &&
              write_all(file->handle, file->in_place.data(), file->in_place.size()) &&
              FlushFileBuffers(file->handle);
    ok = CloseHandle(file->handle) && ok;
    delete file;
    return ok;
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

bool atomic_commit(AtomicFile* file) {
    if (file->temp_path.empty())
        return commit_in_place(file);
    bool ok = !file->failed && FlushFileBuffers(file->handle);
    ok = CloseHandle(file->handle) && ok;
    if (ok && file->target_attributes != INVALID_FILE_ATTRIBUTES && file->target_attributes != 0)
        SetFileAttributesA(file->temp_path.c_str(), file->target_attributes);
    ok = ok && move_over(file->temp_path, file->target_path);
    if (!ok)
        DeleteFileA(file->temp_path.c_str());
    delete file;
    return ok;
}

void atomic_abandon(AtomicFile* file) {
    CloseHandle(file->handle);
    if (!file->temp_path.empty())
        DeleteFileA(file->temp_path.c_str());
    delete file;
}
