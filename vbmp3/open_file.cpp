#include "vbmp3/open_file.h"

#include <sys/stat.h>

#ifdef _WIN32

FILE* open_regular_file(const char* path) {
    FILE* file = fopen(path, "rb");
    if (!file) {
        return nullptr;
    }
    struct _stat64 status;
    if (_fstat64(_fileno(file), &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG) {
        fclose(file);
        return nullptr;
    }
    return file;
}

#else

#include <fcntl.h>
#include <unistd.h>

FILE* open_regular_file(const char* path) {
    // Without O_NONBLOCK, opening a named pipe waits for a writer.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    struct stat status;
    int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || flags < 0 ||
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return nullptr;
    }
    FILE* file = fdopen(fd, "rb");
    if (!file) {
        close(fd);
    }
    return file;
}

#endif
