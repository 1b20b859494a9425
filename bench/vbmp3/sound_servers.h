// The sound servers the server benchmarks play on, each private to the run: the
// tests' PulseAudio (tests/vbmp3/pulse_server.h), or PipeWire as Debian 12's
// desktop runs it, the pipewire daemon, its session manager wireplumber and
// its PulseAudio server pipewire-pulse, on a private session bus. Both have
// a null sink "salon", the default, that parec can record. While a server
// exists, this process's clients (SDL's drivers, and what it starts) use it.
// Linux only.
#pragma once

#include "tests/vbmp3/pulse_server.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

// Processor seconds and context switches of a set of processes, every thread.
struct Usage {
    double cpu = 0.0; // seconds
    long wakeups = 0; // voluntary and involuntary context switches
};

// Another process's usage from /proc: run time and switches of its threads.
inline Usage process_usage(pid_t pid) {
    Usage usage;
    std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream sched(task.path() / "schedstat");
        double run_ns = 0;
        sched >> run_ns;
        usage.cpu += run_ns * 1e-9;
        std::ifstream status(task.path() / "status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
                line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) {
                usage.wakeups += std::stol(line.substr(line.find(':') + 1));
            }
        }
    }
    return usage;
}

inline Usage processes_usage(const std::vector<pid_t>& pids) {
    Usage total;
    for (pid_t pid : pids) {
        Usage one = process_usage(pid);
        total.cpu += one.cpu;
        total.wakeups += one.wakeups;
    }
    return total;
}

// Starts a program with extra environment variables, its output to a file
// (stdin from in_fd when not -1); -1 when it cannot be started.
inline pid_t spawn_program(const std::vector<std::string>& args,
                           const std::vector<std::string>& extra_env,
                           const std::filesystem::path& output, int in_fd = -1) {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<std::string> env_strings(extra_env);
    for (char** e = environ; *e != nullptr; e++) {
        env_strings.push_back(*e);
    }
    std::vector<char*> envp;
    for (std::string& e : env_strings) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (in_fd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, in_fd, 0);
    }
    pid_t pid = -1;
    int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? pid : -1;
}

inline void end_program(pid_t& pid) {
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
}

inline bool wait_for_condition(const std::function<bool()>& done, int seconds = 10) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A session bus of the run's own, in the environment while it exists: the
// peers' remote controls and wireplumber use it.
class PrivateBus {
  public:
    explicit PrivateBus(const std::filesystem::path& dir) {
        std::string address = "unix:path=" + (dir / "bus").string();
        pid_ = spawn_program({"dbus-daemon", "--session", "--nofork", "--address=" + address}, {},
                             dir / "bus.log");
        const char* before = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        had_before_ = before != nullptr;
        before_ = had_before_ ? before : "";
        if (pid_ > 0 && wait_for_condition([&] { return std::filesystem::exists(dir / "bus"); })) {
            setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
        }
    }
    ~PrivateBus() {
        end_program(pid_);
        if (had_before_) {
            setenv("DBUS_SESSION_BUS_ADDRESS", before_.c_str(), 1);
        } else {
            unsetenv("DBUS_SESSION_BUS_ADDRESS");
        }
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

  private:
    pid_t pid_ = -1;
    bool had_before_ = false;
    std::string before_;
};

class PipeWireServer {
  public:
    // pipewire, wireplumber, pipewire-pulse (Debian: pipewire, wireplumber,
    // pipewire-pulse), pactl and parec to make and record the sink.
    static bool installed() {
        return std::system("{ command -v pipewire && command -v wireplumber && "
                           "command -v pipewire-pulse && command -v pactl && command -v parec; } "
                           ">/dev/null 2>&1") == 0;
    }

    PipeWireServer() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "melodiane-pipewire-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            dir_ = pattern;
            std::filesystem::create_directories(dir_ / "run");
            std::filesystem::permissions(dir_ / "run", std::filesystem::perms::owner_all);
            std::ofstream(dir_ / "client.conf") << "autospawn = no\n";
        }
        socket_ = dir_ / "run" / "pulse" / "native";
        setenv("PULSE_SERVER", ("unix:" + socket_.string()).c_str(), 1);
        setenv("PULSE_CLIENTCONFIG", (dir_ / "client.conf").c_str(), 1);
        setenv("PIPEWIRE_RUNTIME_DIR", (dir_ / "run").c_str(), 1);
    }

    ~PipeWireServer() {
        for (pid_t& recorder : recorders_) {
            end_program(recorder);
        }
        for (auto it = servers_.rbegin(); it != servers_.rend(); ++it) {
            end_program(*it);
        }
        bus_.reset();
        unsetenv("PULSE_SERVER");
        unsetenv("PULSE_CLIENTCONFIG");
        unsetenv("PIPEWIRE_RUNTIME_DIR");
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    PipeWireServer(const PipeWireServer&) = delete;
    PipeWireServer& operator=(const PipeWireServer&) = delete;

    const std::filesystem::path& dir() const {
        return dir_;
    }

    // The server's three processes.
    std::vector<pid_t> pids() const {
        return servers_;
    }

    // True once the PulseAudio side answers and the null sink is the default.
    bool start() {
        bus_ = std::make_unique<PrivateBus>(dir_);
        std::vector<std::string> env = {"HOME=" + dir_.string(),
                                        "XDG_RUNTIME_DIR=" + (dir_ / "run").string(),
                                        "XDG_CONFIG_HOME=" + (dir_ / "config").string(),
                                        "XDG_STATE_HOME=" + (dir_ / "state").string()};
        servers_.push_back(spawn_program({"pipewire"}, env, dir_ / "pipewire.log"));
        if (!wait_for_condition([&] { return std::filesystem::exists(dir_ / "run/pipewire-0"); })) {
            return false;
        }
        servers_.push_back(spawn_program({"wireplumber"}, env, dir_ / "wireplumber.log"));
        servers_.push_back(spawn_program({"pipewire-pulse"}, env, dir_ / "pipewire-pulse.log"));
        return wait_for_condition([&] { return pactl("info") == 0; }) &&
               pactl("load-module module-null-sink sink_name=salon") == 0 &&
               wait_for_condition([&] { return pactl("set-default-sink salon") == 0; });
    }

    int pactl(const std::string& arguments) {
        return std::system(("pactl " + arguments + " >/dev/null 2>&1").c_str());
    }

    // As PulseServer::record.
    bool record(const std::string& sink, const std::filesystem::path& file, int latency_ms) {
        pid_t pid = spawn_program({"parec", "--device=" + sink + ".monitor", "--raw",
                                   "--format=float32le", "--rate=44100", "--channels=2",
                                   "--latency-msec=" + std::to_string(latency_ms)},
                                  {}, file);
        recorders_.push_back(pid);
        return pid > 0 && wait_for_condition([&] {
                   return std::filesystem::exists(file) && std::filesystem::file_size(file) > 0;
               });
    }

  private:
    std::filesystem::path dir_;
    std::filesystem::path socket_;
    std::unique_ptr<PrivateBus> bus_;
    std::vector<pid_t> servers_;
    std::vector<pid_t> recorders_;
};

enum class ServerKind { pulseaudio, pipewire };

// One of the two servers, started; null (and why) when it cannot be.
class SoundServer {
  public:
    static std::unique_ptr<SoundServer> start(ServerKind kind, std::string* why) {
        auto server = std::unique_ptr<SoundServer>(new SoundServer);
        if (kind == ServerKind::pulseaudio) {
            if (!PulseServer::installed()) {
                *why = "PulseAudio (pulseaudio, pulseaudio-utils) is not installed";
                return nullptr;
            }
            server->pulse_ = std::make_unique<PulseServer>();
            if (!server->pulse_->start()) {
                *why = "the private PulseAudio server did not start";
                return nullptr;
            }
        } else {
            if (!PipeWireServer::installed()) {
                *why = "PipeWire (pipewire, pipewire-pulse, wireplumber) is not installed";
                return nullptr;
            }
            server->pipewire_ = std::make_unique<PipeWireServer>();
            if (!server->pipewire_->start()) {
                *why = "the private PipeWire server did not start";
                return nullptr;
            }
        }
        return server;
    }

    std::vector<pid_t> pids() const {
        return pulse_ ? std::vector<pid_t>{pulse_->pid()} : pipewire_->pids();
    }

    const std::filesystem::path& dir() const {
        return pulse_ ? pulse_->dir() : pipewire_->dir();
    }

    bool record(const std::string& sink, const std::filesystem::path& file, int latency_ms) {
        return pulse_ ? pulse_->record(sink, file, latency_ms)
                      : pipewire_->record(sink, file, latency_ms);
    }

  private:
    SoundServer() = default;
    std::unique_ptr<PulseServer> pulse_;
    std::unique_ptr<PipeWireServer> pipewire_;
};
