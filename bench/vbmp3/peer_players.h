// Debian's other players, run as peers on the sound server in the
// environment, each with a folder of its own for its settings: mpg123 in its
// remote-control mode (-R, commands on its standard input), audacious without
// a window (-H) and qmmp on Qt's offscreen platform, both driven by their own
// command lines as a desktop's keys would. For comparison only.
#pragma once

#include "sound_servers.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

class PeerPlayer {
  public:
    // The peers that can be measured: their names, in order.
    static const std::vector<std::string>& names() {
        static const std::vector<std::string> all = {"mpg123", "audacious", "qmmp"};
        return all;
    }

    static bool installed(const std::string& name) {
        return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
    }

    // Starts playing file; null when the player could not be started.
    static std::unique_ptr<PeerPlayer> start(const std::string& name, const std::string& file,
                                             const std::filesystem::path& dir) {
        auto peer = std::unique_ptr<PeerPlayer>(new PeerPlayer(name, dir / name));
        if (!peer->launch(file)) {
            return nullptr;
        }
        return peer;
    }

    ~PeerPlayer() {
        if (input_ >= 0) {
            command("QUIT");
            close(input_);
        }
        end_program(pid_);
    }

    PeerPlayer(const PeerPlayer&) = delete;
    PeerPlayer& operator=(const PeerPlayer&) = delete;

    pid_t pid() const {
        return pid_;
    }

    void pause() {
        control("PAUSE", "--pause");
    }

    void stop() {
        control("STOP", "--stop");
    }

  private:
    PeerPlayer(const std::string& name, const std::filesystem::path& home)
        : name_(name), home_(home) {
        std::filesystem::create_directories(home_ / "run");
        std::filesystem::permissions(home_ / "run", std::filesystem::perms::owner_all);
        env_ = {"HOME=" + home_.string(), "XDG_CONFIG_HOME=" + (home_ / "config").string(),
                "XDG_RUNTIME_DIR=" + (home_ / "run").string(), "QT_QPA_PLATFORM=offscreen"};
    }

    bool launch(const std::string& file) {
        if (name_ == "mpg123") {
            int ends[2];
            if (pipe(ends) != 0) {
                return false;
            }
            pid_ = spawn_program({"mpg123", "-R", "-o", "pulse"}, env_, home_ / "log", ends[0]);
            close(ends[0]);
            input_ = ends[1];
            return pid_ > 0 && command("LOAD " + file);
        }
        std::vector<std::string> args = {name_};
        if (name_ == "audacious") {
            args.push_back("-H");
        }
        args.push_back(file);
        pid_ = spawn_program(args, env_, home_ / "log");
        return pid_ > 0;
    }

    bool command(const std::string& line) {
        std::string text = line + "\n";
        return write(input_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }

    // mpg123 takes the command on its input; the others are told by a second
    // start of theirs, which passes the option to the running one and ends.
    void control(const std::string& line, const std::string& option) {
        if (input_ >= 0) {
            command(line);
            return;
        }
        pid_t teller = spawn_program({name_, option}, env_, home_ / "control.log");
        if (teller > 0) {
            waitpid(teller, nullptr, 0);
        }
    }

    std::string name_;
    std::filesystem::path home_;
    std::vector<std::string> env_;
    pid_t pid_ = -1;
    int input_ = -1; // mpg123's standard input
};
