// What the tests that start the real program share on both systems: waiting
// with a deadline, reading the files it writes, and knowing that its start
// has ended by the settings it then writes.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

namespace real_program {

namespace fs = std::filesystem;

// Generous: a loaded machine may take seconds to start the program.
inline const int deadline_ms = 60000;

inline std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool wait_for(const std::function<bool()>& done, int timeout_ms = deadline_ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// The start has written the settings in folder, its last step.
inline bool settings_written(const fs::path& folder) {
    return read_file(folder / "Froulard.ini").find("activateeq=0\r\n") != std::string::npos;
}

} // namespace real_program
