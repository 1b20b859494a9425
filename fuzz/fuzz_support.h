// What the fuzz targets share: a private working directory for the files an
// input becomes, removed when the process ends. It lies in memory
// (/dev/shm) where there is one, since the profile and playlist writers flush
// every file to disk.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fuzz_support {

inline std::filesystem::path& work_dir_storage() {
    static std::filesystem::path dir;
    return dir;
}

// Creates the working directory once and returns it (without a final
// separator).
inline const std::filesystem::path& work_dir() {
    std::filesystem::path& dir = work_dir_storage();
    if (!dir.empty())
        return dir;
    std::error_code error;
    std::filesystem::path base = "/dev/shm";
    if (!std::filesystem::is_directory(base, error))
        base = std::filesystem::temp_directory_path();
    std::string pattern = (base / "melodiane-fuzz-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) {
        perror("mkdtemp");
        abort();
    }
    dir = name.data();
    atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(work_dir_storage(), ignored);
    });
    return dir;
}

// Writes the bytes to a file of the working directory; returns its full path.
inline std::string write_input(const char* name, const unsigned char* data, size_t size) {
    std::string path = (work_dir() / name).string();
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) {
        perror(path.c_str());
        abort();
    }
    if (size > 0 && fwrite(data, 1, size, file) != size)
        abort();
    fclose(file);
    return path;
}

// Aborts with a message, so that the fuzzer keeps the input.
[[noreturn]] inline void fail(const char* what) {
    fprintf(stderr, "fuzz invariant broken: %s\n", what);
    abort();
}

} // namespace fuzz_support
