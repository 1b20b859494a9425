// A real sound server: a private PulseAudio with null sinks, whose monitors
// are recorded with parec. What plays is heard there; a server restarted, or a
// default sink changed, while nothing plays is used by the next play; a server
// that goes away while a track plays leaves it playing silently, and the next
// play is heard on the server started again.
#include "vbmp3/harness.h"
#include "vbmp3/signal.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

bool installed(const char* program) {
    std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// Starts a program with extra environment variables, its output to a file.
pid_t spawn(const std::vector<std::string>& args, const std::vector<std::string>& extra_env,
            const fs::path& output) {
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
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void end_process(pid_t& pid) {
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
}

bool socket_answers(const fs::path& path) {
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    bool answered = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return answered;
}

bool wait_for(const std::function<bool()>& done, int milliseconds = 10000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class SoundServer : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!installed("pulseaudio") || !installed("parec") || !installed("pactl")) {
            GTEST_SKIP() << "PulseAudio (pulseaudio, pulseaudio-utils) is not installed";
        }
        std::string pattern = (fs::temp_directory_path() / "melodiane-pulse-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        fs::create_directories(dir_ / "run");
        fs::permissions(dir_ / "run", fs::perms::owner_all);
        socket_ = dir_ / "native";
        // The clients (this test, parec, pactl) use this server and never start one of their own.
        std::ofstream(dir_ / "client.conf") << "autospawn = no\n";
        setenv("PULSE_SERVER", ("unix:" + socket_.string()).c_str(), 1);
        setenv("PULSE_CLIENTCONFIG", (dir_ / "client.conf").c_str(), 1);
        setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
        start_server();
        recorded.clear();
        on_event = nullptr;
        vbmp3_testing_useOutput(VBMP3_OUTPUT_DEVICE);
        vbmp3_testing_setTap(capture_tap, &capture_);
        ASSERT_NE(vbmp3_init(), 0);
        vbmp3_callback(record_event);
        const int flat[10] = {};
        vbmp3_setEqualizer(flat);
        vbmp3_setVolume(100, 100);
    }

    void TearDown() override {
        vbmp3_free();
        vbmp3_testing_setTap(nullptr, nullptr);
        end_process(recorder_);
        end_process(second_recorder_);
        end_process(server_);
        unsetenv("PULSE_SERVER");
        unsetenv("PULSE_CLIENTCONFIG");
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (!dir_.empty()) {
            std::error_code ignored;
            fs::remove_all(dir_, ignored);
        }
    }

    // A private server (root needs no --system: it runs as whoever starts
    // it), with two null sinks; "salon" is the default.
    void start_server() {
        fs::remove(socket_);
        server_ = spawn(
            {"pulseaudio", "--daemonize=no", "-n", "--use-pid-file=no", "--exit-idle-time=-1",
             "--disallow-exit", "--log-target=stderr", "--load=module-null-sink sink_name=salon",
             "--load=module-null-sink sink_name=cuisine",
             "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket_.string()},
            {"HOME=" + dir_.string(), "XDG_RUNTIME_DIR=" + (dir_ / "run").string(),
             "XDG_CONFIG_HOME=" + dir_.string()},
            dir_ / ("server" + std::to_string(++servers_) + ".log"));
        ASSERT_GT(server_, 0);
        ASSERT_TRUE(wait_for([this] { return socket_answers(socket_); }))
            << "the sound server did not start; see " << dir_;
        ASSERT_EQ(pactl("set-default-sink salon"), 0);
    }

    int pactl(const std::string& arguments) {
        return std::system(("pactl " + arguments + " >/dev/null 2>&1").c_str());
    }

    // Records a sink's monitor into a file of stereo floats at 44.1 kHz, from
    // the moment the function returns. A monitor read with a short latency
    // also keeps the null sink rendering in short steps, as a real device does.
    pid_t record(const std::string& sink, const fs::path& file) {
        pid_t pid = spawn({"parec", "--device=" + sink + ".monitor", "--raw", "--format=float32le",
                           "--rate=44100", "--channels=2", "--latency-msec=20"},
                          {}, file);
        EXPECT_TRUE(wait_for([&] { return fs::exists(file) && fs::file_size(file) > 0; }))
            << "parec records nothing";
        return pid;
    }

    // Loudest level of the fixtures' 440 Hz tone over tenths of a second of a recording.
    static double tone_heard(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<float> samples(bytes.size() / sizeof(float));
        if (!samples.empty()) {
            memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
        }
        const size_t window = 4410;
        double loudest = 0.0;
        for (size_t from = 0; from + window <= samples.size() / 2; from += window) {
            loudest = std::max(loudest, tone_level(samples, 0, from, from + window, 440.0, 44100));
        }
        return loudest;
    }

    // Plays the three-second tone; true once the recording holds it.
    bool play_and_hear(const fs::path& recording) {
        if (vbmp3_open(fixture("cbr_44k_stereo_v23.mp3").c_str(), record_) == 0) {
            return false;
        }
        vbmp3_play();
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (tone_heard(recording) <= 0.1) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            pump_for(50);
        }
        return true;
    }

    void stop_and_wait_until_closed() {
        vbmp3_close();
        // The device is closed once the output's thread has ended.
        ASSERT_TRUE(pump_until([] {
            for (const fs::directory_entry& task : fs::directory_iterator("/proc/self/task")) {
                std::ifstream comm(task.path() / "comm");
                std::string name;
                std::getline(comm, name);
                if (name == "vbmp3 output") {
                    return false;
                }
            }
            return true;
        }));
    }

    fs::path dir_;
    fs::path socket_;
    pid_t server_ = -1;
    pid_t recorder_ = -1;
    pid_t second_recorder_ = -1;
    int servers_ = 0;
    Capture capture_;
    char record_[VBMP3_OPEN_RECORD_SIZE] = {};
};

} // namespace

TEST_F(SoundServer, PlayIsHeardOnTheDefaultSink) {
    recorder_ = record("salon", dir_ / "salon.raw");
    ASSERT_GT(recorder_, 0);
    EXPECT_TRUE(play_and_hear(dir_ / "salon.raw"));
}

TEST_F(SoundServer, ServerRestartedWhileStoppedIsUsedByTheNextPlay) {
    recorder_ = record("salon", dir_ / "before.raw");
    ASSERT_TRUE(play_and_hear(dir_ / "before.raw"));
    stop_and_wait_until_closed();
    end_process(recorder_);
    end_process(server_);
    start_server();
    recorder_ = record("salon", dir_ / "after.raw");
    EXPECT_TRUE(play_and_hear(dir_ / "after.raw")) << "not heard on the restarted server";
}

TEST_F(SoundServer, DefaultSinkChangedWhileStoppedIsUsedByTheNextPlay) {
    recorder_ = record("salon", dir_ / "salon.raw");
    second_recorder_ = record("cuisine", dir_ / "cuisine.raw");
    ASSERT_TRUE(play_and_hear(dir_ / "salon.raw"));
    stop_and_wait_until_closed();
    ASSERT_EQ(pactl("set-default-sink cuisine"), 0);
    EXPECT_TRUE(play_and_hear(dir_ / "cuisine.raw")) << "not heard on the new default sink";
}

TEST_F(SoundServer, ServerGoneWhilePlayingIsUsedAgainFromTheNextPlay) {
    recorder_ = record("salon", dir_ / "before.raw");
    ASSERT_TRUE(play_and_hear(dir_ / "before.raw"));
    end_process(recorder_);
    end_process(server_);
    // The track goes on, silently, taken by the library's own thread.
    EXPECT_TRUE(pump_until([this] {
        std::lock_guard<std::mutex> hold(capture_.lock);
        return capture_.thread == "vbmp3 output";
    })) << "the lost server was not noticed";
    EXPECT_EQ(vbmp3_getState(nullptr), 1);
    start_server();
    recorder_ = record("salon", dir_ / "after.raw");
    EXPECT_TRUE(play_and_hear(dir_ / "after.raw")) << "not heard on the restarted server";
}
