// What the tests of the real melodiane.exe share: the program beside the test
// program, started in a folder, and its window once it started.
#pragma once

#include <windows.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "started_program.h"
#include "temp_folder.h"

namespace real_program {

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
    bool written = shown && wait_for([&] { return settings_written(folder); });
    return written ? search.found : nullptr;
}

// The real program, started in a folder; ended by the test, or terminated
// when the test leaves it running.
class Program {
  public:
    explicit Program(const fs::path& folder) : folder_(folder) {
        if (!start_in(folder, &process_)) {
            process_ = {};
        }
    }
    ~Program() {
        if (process_.hProcess) {
            terminate();
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const {
        return process_.hProcess != nullptr;
    }
    HANDLE handle() const {
        return process_.hProcess;
    }

    // The main window, once the start has written the settings (its last step).
    HWND opened() {
        return started_window(process_.dwProcessId, folder_);
    }

    bool running() {
        return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
    }

    // Waits for the end; the exit status, or -1.
    int ended() {
        if (!process_.hProcess || WaitForSingleObject(process_.hProcess, deadline_ms) != 0) {
            return -1;
        }
        DWORD status = 0;
        GetExitCodeProcess(process_.hProcess, &status);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = {};
        return static_cast<int>(status);
    }

    void terminate() {
        TerminateProcess(process_.hProcess, 1);
        ended();
    }

  private:
    fs::path folder_;
    PROCESS_INFORMATION process_ = {};
};

} // namespace real_program
