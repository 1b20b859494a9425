// Running part of a program test as an ordinary user, for whom file
// permissions bind. Root ignores them, so under root the process acts as the
// user nobody (effective user and group) until the test returns; any other
// user is an ordinary user already, and nothing changes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

// nobody and nogroup on Debian.
inline constexpr uid_t ordinary_user_id = 65534;
inline constexpr gid_t ordinary_group_id = 65534;

// Makes a file or folder the ordinary user's own, as a user's files are.
inline void give_to_ordinary_user(const std::filesystem::path& path) {
    if (geteuid() == 0 && chown(path.c_str(), ordinary_user_id, ordinary_group_id) != 0) {
        ADD_FAILURE() << "cannot hand " << path << " over";
    }
}

// From here on the process acts as the ordinary user.
inline bool become_ordinary_user() {
    if (geteuid() != 0) {
        return true;
    }
    return setegid(ordinary_group_id) == 0 && seteuid(ordinary_user_id) == 0;
}

// Back to root when the test started as root.
inline void return_from_ordinary_user() {
    if (getuid() == 0 && (seteuid(0) != 0 || setegid(0) != 0)) {
        ADD_FAILURE() << "cannot return to root";
    }
}
