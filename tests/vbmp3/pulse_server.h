// A private PulseAudio server for the tests and benchmarks that need a real
// sound server: its own folder and socket, two null sinks ("salon", the
// default, and "cuisine"), and parec recording their monitors. While it
// exists, this process's clients (SDL, and the pactl and parec it starts) use
// it and never start a server of their own. Linux only.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

class PulseServer {
  public:
    // pulseaudio, pactl and parec (Debian: pulseaudio, pulseaudio-utils).
    static bool installed() {
        return std::system("{ command -v pulseaudio && command -v pactl && command -v parec; } "
                           ">/dev/null 2>&1") == 0;
    }

    PulseServer() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "melodiane-pulse-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            dir_ = pattern;
            std::filesystem::create_directories(dir_ / "run");
            std::filesystem::permissions(dir_ / "run", std::filesystem::perms::owner_all);
            std::ofstream(dir_ / "client.conf") << "autospawn = no\n";
        }
        socket_ = dir_ / "native";
        setenv("PULSE_SERVER", ("unix:" + socket_.string()).c_str(), 1);
        setenv("PULSE_CLIENTCONFIG", (dir_ / "client.conf").c_str(), 1);
    }

    ~PulseServer() {
        for (pid_t& recorder : recorders_) {
            end(recorder);
        }
        stop();
        unsetenv("PULSE_SERVER");
        unsetenv("PULSE_CLIENTCONFIG");
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    const std::filesystem::path& dir() const {
        return dir_;
    }

    // The server's process, while it runs (else -1).
    pid_t pid() const {
        return server_;
    }

    // Starts the server; true once it answers. Root needs no --system: the
    // server runs as whoever starts it.
    bool start() {
        std::filesystem::remove(socket_);
        server_ = spawn(
            {"pulseaudio", "--daemonize=no", "-n", "--use-pid-file=no", "--exit-idle-time=-1",
             "--disallow-exit", "--log-target=stderr", "--load=module-null-sink sink_name=salon",
             "--load=module-null-sink sink_name=cuisine",
             "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket_.string()},
            {"HOME=" + dir_.string(), "XDG_RUNTIME_DIR=" + (dir_ / "run").string(),
             "XDG_CONFIG_HOME=" + dir_.string()},
            dir_ / ("server" + std::to_string(++starts_) + ".log"));
        return server_ > 0 && wait_for([this] { return answers(); }) &&
               pactl("set-default-sink salon") == 0;
    }

    // Ends the server, as a crash or a restart would.
    void stop() {
        end(server_);
    }

    // Runs pactl with the given arguments; its exit status.
    int pactl(const std::string& arguments) {
        return std::system(("pactl " + arguments + " >/dev/null 2>&1").c_str());
    }

    // Records a sink's monitor into a file of stereo floats at 44.1 kHz, from
    // the moment the function returns (true), in steps of latency_ms. A
    // monitor read with a short latency also keeps the null sink rendering in
    // short steps, as a real device does.
    bool record(const std::string& sink, const std::filesystem::path& file, int latency_ms = 20) {
        pid_t pid =
            spawn({"parec", "--device=" + sink + ".monitor", "--raw", "--format=float32le",
                   "--rate=44100", "--channels=2", "--latency-msec=" + std::to_string(latency_ms)},
                  {}, file);
        recorders_.push_back(pid);
        return pid > 0 && wait_for([&] {
                   return std::filesystem::exists(file) && std::filesystem::file_size(file) > 0;
               });
    }

    // Ends every recording.
    void stop_recording() {
        for (pid_t& recorder : recorders_) {
            end(recorder);
        }
        recorders_.clear();
    }

  private:
    // Starts a program with extra environment variables, its output to a
    // file. It is ended with this process, should a test abort.
    static pid_t spawn(const std::vector<std::string>& args,
                       const std::vector<std::string>& extra_env,
                       const std::filesystem::path& output) {
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
        // Between fork and exec, only calls that are safe in a copy of a
        // process with threads.
        pid_t pid = fork();
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd >= 0) {
                dup2(fd, 1);
                dup2(fd, 2);
            }
            execvpe(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        return pid;
    }

    static void end(pid_t& pid) {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }

    static bool wait_for(const std::function<bool()>& done) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    bool answers() const {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        strncpy(address.sun_path, socket_.c_str(), sizeof address.sun_path - 1);
        bool answered = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        return answered;
    }

    std::filesystem::path dir_;
    std::filesystem::path socket_;
    pid_t server_ = -1;
    std::vector<pid_t> recorders_;
    int starts_ = 0;
};
