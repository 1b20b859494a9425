// The real program on Linux, started by the tests with a folder as its
// working directory on the off-screen platform, and ended as the desktop
// ends it: the close request (SIGTERM) or a kill.
#pragma once

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "started_program.h"
#include "temp_folder.h"

extern char** environ;

namespace real_program {

class Program {
  public:
    // Starts the program in folder with these arguments; a test's own choice
    // of platform or sound driver in the environment stands.
    explicit Program(const fs::path& folder, const std::vector<std::string>& arguments = {})
        : folder_(folder) {
        std::string dir = folder.string();
        std::vector<const char*> argv = {"sh", "-c",        "cd \"$1\" && shift && exec \"$@\"",
                                         "sh", dir.c_str(), MELODIANE_BINARY};
        for (const std::string& argument : arguments)
            argv.push_back(argument.c_str());
        argv.push_back(nullptr);
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        if (posix_spawn(&pid_, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv.data()),
                        environ) != 0) {
            pid_ = -1;
        }
    }
    ~Program() {
        if (pid_ > 0) {
            kill_now();
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const {
        return pid_ > 0;
    }

    // The main window is open once the start has written the settings.
    bool opened() {
        return wait_for([&] { return settings_written(folder_); });
    }

    bool running() {
        return pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == 0;
    }

    // Waits for the program to end on its own; its exit status, or -1.
    int ended() {
        bool done = wait_for([&] { return waitpid(pid_, &status_, WNOHANG) == pid_; });
        pid_ = -1;
        return done && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }

    // The close request: the program closes as its close button does.
    int close() {
        kill(pid_, SIGTERM);
        return ended();
    }

    void kill_now() {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    fs::path folder_;
    pid_t pid_ = -1;
    int status_ = 0;
};

} // namespace real_program
