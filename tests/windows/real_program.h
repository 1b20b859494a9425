// What the tests of the real melodiane.exe share: the program beside the test
// program, waiting with a deadline, and finding its window once it started.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

namespace real_program {

namespace fs = std::filesystem;

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

inline fs::path program_path() {
    char own[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, own, sizeof own);
    return fs::path(std::string(own, length)).parent_path() / "melodiane.exe";
}

// Starts the program in folder, as a double-click there would.
inline bool start_in(const fs::path& folder, PROCESS_INFORMATION* process) {
    std::string program = program_path().string();
    std::string command = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.string().c_str(), &startup, process) != FALSE;
}

struct WindowSearch {
    DWORD process;
    HWND found;
};

inline BOOL CALLBACK match_main_window(HWND window, LPARAM data) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char title[32] = "";
    GetWindowTextA(window, title, sizeof title);
    if (owner == search->process && IsWindowVisible(window) && strcmp(title, "Melodiane") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The main window of a program started in folder, once it is shown and the
// start has written the settings (its last step); null if that never comes.
inline HWND started_window(DWORD process, const fs::path& folder) {
    WindowSearch search = {process, nullptr};
    bool shown = wait_for([&] {
        EnumWindows(match_main_window, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    });
    bool written =
        shown && wait_for([&] {
            return read_file(folder / "Froulard.ini").find("activateeq=0\r\n") != std::string::npos;
        });
    return written ? search.found : nullptr;
}

} // namespace real_program
