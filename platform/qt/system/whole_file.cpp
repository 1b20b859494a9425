// Whole-file reading, and replacement through a temporary file and a rename
// (POSIX), or in place where the folder takes no new file.
#include "platform/files/whole_file.h"

#include "platform/files/replacement.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// The most links followed before giving up, as the kernel does (ELOOP).
static const int max_link_hops = 40;

// Whether a careful program may follow the link at path, whose status is
// link: as the kernel's protected_symlinks rule allows, a link that another
// user planted in a world-writable sticky folder (/tmp, a shared folder) is
// followed only when that folder's owner made it. The layer resolves links
// itself, so the kernel's own check never applies, and it is off on some systems.
static bool may_follow(const std::string& path, const struct stat& link) {
    if (link.st_uid == geteuid())
        return true;
    struct stat folder;
    if (stat(directory_of(path, "/").c_str(), &folder) != 0)
        return false;
    bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    return !shared || folder.st_uid == link.st_uid;
}

// The file a plain open would reach: symbolic links followed, even one that
// names a file not yet there. False for a loop of links (ELOOP) and for a
// link that must not be followed (EACCES: as a file that cannot be opened).
static bool resolve_links(std::string* path) {
    for (int hop = 0; hop < max_link_hops; hop++) {
        struct stat st;
        if (lstat(path->c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        if (!may_follow(*path, st)) {
            errno = EACCES;
            return false;
        }
        std::string link(static_cast<size_t>(st.st_size) + 256, '\0');
        ssize_t length = readlink(path->c_str(), link.data(), link.size());
        if (length <= 0)
            return false;
        link.resize(static_cast<size_t>(length));
        *path = link[0] == '/' ? link : path_in(directory_of(*path, "/"), link, '/');
    }
    errno = ELOOP;
    return false;
}

// The process's umask, read without changing it where the kernel tells it
// (changing it for a moment would race with another thread creating a file).
static mode_t current_umask() {
    FILE* status = fopen("/proc/self/status", "re");
    if (status != nullptr) {
        char line[256];
        unsigned int mask = 0;
        while (fgets(line, sizeof line, status) != nullptr) {
            if (sscanf(line, "Umask: %o", &mask) == 1) {
                fclose(status);
                return static_cast<mode_t>(mask);
            }
        }
        fclose(status);
    }
    mode_t mask = umask(022);
    umask(mask);
    return mask;
}

static std::string temp_name(const std::string& directory, const std::string& base) {
    return path_in(directory,
                   temp_prefix(base) + temp_suffix(QRandomGenerator::global()->generate64()), '/');
}

// Removes the temporary files of this target that a killed writer left. A
// writer holds a lock on its temporary file until it is renamed or removed;
// the lock dies with the process, so a file that can be locked is abandoned.
static void remove_abandoned(const std::string& directory, const std::string& base) {
    std::string prefix = temp_prefix(base);
    DIR* folder = opendir(directory.c_str());
    if (folder == nullptr)
        return;
    while (dirent* entry = readdir(folder)) {
        if (!is_temp_name(entry->d_name, prefix))
            continue;
        std::string path = path_in(directory, entry->d_name, '/');
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0)
            unlink(path.c_str());
        close(fd);
    }
    closedir(folder);
}

// True when path still names the file open on fd: another writer's sweep may
// have removed it between its creation and its lock.
static bool still_named(int fd, const std::string& path) {
    struct stat open_file, named;
    return fstat(fd, &open_file) == 0 && stat(path.c_str(), &named) == 0 &&
           open_file.st_dev == named.st_dev && open_file.st_ino == named.st_ino;
}

bool read_whole_file(const char* native_path, std::string* content, bool* exists) {
    content->clear();
    *exists = false;
    // Without O_NONBLOCK a named pipe would hold the caller until something
    // writes to it; only a regular file is read, since a device may never end.
    std::string path = native_path;
    if (!resolve_links(&path))
        return false;
    // A link put in the resolved file's place since is not followed.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR;
    struct stat status;
    int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || flags < 0 ||
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return false;
    }
    char chunk[65536];
    for (;;) {
        ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            close(fd);
            return false;
        }
        if (got == 0)
            break;
        content->append(chunk, static_cast<size_t>(got));
    }
    close(fd);
    *exists = true;
    return true;
}

bool file_stamp(const char* native_path, std::string* stamp) {
    struct stat st;
    if (stat(native_path, &st) != 0) {
        stamp->clear();
        return false;
    }
    *stamp = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" +
             std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
             std::to_string(st.st_mtim.tv_nsec) + ":" + std::to_string(st.st_ctim.tv_sec) + "." +
             std::to_string(st.st_ctim.tv_nsec);
    return true;
}

void release_free_memory() {
    malloc_trim(0);
}

static void close_file(int fd) {
    if (fd >= 0)
        close(fd);
}

bool native_write_at(NativeFile file, uint64_t offset, const char* data, size_t size) {
    int fd = static_cast<int>(file);
    while (size > 0) {
        ssize_t written = pwrite(fd, data, size, static_cast<off_t>(offset));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        offset += static_cast<uint64_t>(written);
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool native_read_at(NativeFile file, uint64_t offset, char* data, size_t size) {
    int fd = static_cast<int>(file);
    while (size > 0) {
        ssize_t got = pread(fd, data, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        data += got;
        offset += static_cast<uint64_t>(got);
        size -= static_cast<size_t>(got);
    }
    return true;
}

// Owner and group can only be kept where the user may set them (the group
// when the user belongs to it); the permissions are kept regardless.
static void keep_owner(int fd, const struct stat& st) {
    if (fchown(fd, st.st_uid, st.st_gid) == 0)
        return;
    int ignored = fchown(fd, static_cast<uid_t>(-1), st.st_gid);
    (void)ignored;
}

AtomicFile* atomic_begin(const char* native_path) {
    std::string target = native_path;
    if (target.empty()) {
        errno = ENOENT;
        return nullptr;
    }
    if (!resolve_links(&target))
        return nullptr;

    struct stat st;
    bool existed = stat(target.c_str(), &st) == 0;
    int target_fd = -1;
    if (existed) {
        // Only a regular file is replaced; a plain open would also refuse a
        // directory, and writing into a device or pipe is not a replacement.
        if (!S_ISREG(st.st_mode)) {
            errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
            return nullptr;
        }
        // Refused exactly when a plain open for writing would be; opening
        // without truncation changes nothing. Kept open for a write in place.
        target_fd = open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
        if (target_fd < 0)
            return nullptr;
    }

    std::string directory = directory_of(target, "/");
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; attempt++) {
        temp = temp_name(directory, base_of(target, "/"));
        // Private while it is written, whatever the target's permissions:
        // another user must not open it and keep reading it.
        fd = open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
        if (fd < 0 && errno != EEXIST) {
            // The folder refuses a new name but the file itself may be
            // written: a plain write would succeed, so the file is written in
            // place. Other failures (a full disk) keep the old file whole.
            if (target_fd >= 0 && (errno == EACCES || errno == EPERM))
                return new AtomicFile{target_fd, "", target, directory, 0, false, "", 0, ""};
            close_file(target_fd);
            return nullptr;
        }
        if (fd >= 0 && (flock(fd, LOCK_EX) != 0 || !still_named(fd, temp))) {
            close(fd);
            fd = -1;
        }
    }
    close_file(target_fd);
    if (fd < 0)
        return nullptr;
    remove_abandoned(directory, base_of(target, "/"));
    if (existed)
        keep_owner(fd, st);
    // The permissions the file takes on at the rename: the target's, or
    // those a plain create would give.
    mode_t mode = existed ? st.st_mode & 07777 : 0666 & ~current_umask();
    return new AtomicFile{fd, temp, target, directory, mode, false, "", 0, ""};
}

bool native_rewrite(NativeFile file, const std::string& content) {
    int fd = static_cast<int>(file);
    bool ok = ftruncate(fd, 0) == 0 && native_write_at(file, 0, content.data(), content.size()) &&
              fsync(fd) == 0;
    return close(fd) == 0 && ok;
}

bool native_publish(const AtomicFile& file, bool ok) {
    int fd = static_cast<int>(file.file);
    ok = ok && fchmod(fd, static_cast<mode_t>(file.attributes)) == 0 && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(file.temp_path.c_str(), file.target_path.c_str()) == 0;
    if (!ok) {
        unlink(file.temp_path.c_str());
        return false;
    }
    // The rename itself reaches the disk with the directory.
    int dir = open(file.directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

void native_close(NativeFile file) {
    close(static_cast<int>(file));
}

void native_remove(const std::string& path) {
    unlink(path.c_str());
}
