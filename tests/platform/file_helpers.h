// Files for the platform tests: a scratch directory, whole-file reads and
// writes, and running a step without root's right to ignore permissions.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

inline std::string read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline bool exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// The user that permission checks apply to when the tests run as root.
static const uid_t unprivileged_id = 65534;

// A scratch directory that the unprivileged user may write into.
struct ScratchDir {
    QTemporaryDir dir;
    ScratchDir() {
        if (geteuid() == 0 && chown(path().c_str(), unprivileged_id, unprivileged_id) != 0)
            ADD_FAILURE() << "cannot hand the scratch directory over";
    }
    std::string path() const {
        return dir.path().toStdString();
    }
    std::string file(const std::string& name) const {
        return path() + "/" + name;
    }
    // The names in the directory, hidden ones included.
    std::string listing() const {
        QStringList names =
            QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                           QDir::Name);
        return names.join(' ').toStdString();
    }
};

// Runs the step as an ordinary user: root ignores the permissions that a
// read-only file or directory sets, so as root the step runs in a child
// process that has given root up. Returns the step's result.
inline bool as_ordinary_user(const std::function<bool()>& step) {
    if (geteuid() != 0)
        return step();
    pid_t child = fork();
    if (child == 0) {
        if (setgid(unprivileged_id) != 0 || setuid(unprivileged_id) != 0)
            _exit(2);
        _exit(step() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1)
        ADD_FAILURE() << "the step could not run as an ordinary user";
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
