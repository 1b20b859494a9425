// One program per settings folder, with the real program on the off-screen
// platform: a second start in a folder where the program runs leaves at once
// with status 0 and leaves both files alone, programs in different folders
// run side by side, and a killed program's folder takes a new start at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {

// Generous: a loaded machine may take seconds to start a Qt program.
const int deadline_ms = 20000;

bool wait_for(const std::function<bool()>& done, int timeout_ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What a file is: its content, inode and modification time. A rewrite by
// replacement changes the inode, one in place the time.
struct FileState {
    std::string content;
    ino_t inode = 0;
    long long modified_ns = 0;

    static FileState of(const fs::path& path) {
        FileState state;
        struct stat info;
        if (stat(path.c_str(), &info) == 0) {
            state.content = read_file(path);
            state.inode = info.st_ino;
            state.modified_ns = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
        }
        return state;
    }
    bool operator==(const FileState&) const = default;
};

// The real program, started with a folder as its working directory.
class Program {
  public:
    explicit Program(const fs::path& folder) : folder_(folder) {
        const char* argv[] = {"sh",   "-c",           "cd \"$1\" && exec \"$2\"",
                              "sh",   folder.c_str(), MELODIANE_BINARY,
                              nullptr};
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (posix_spawn(&pid_, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) !=
            0) {
            pid_ = -1;
        }
    }
    ~Program() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The main window is open once the start-up has written the settings.
    bool opened() {
        return wait_for(
            [&] {
                return read_file(folder_ / "Froulard.ini").find("activateeq=0") !=
                       std::string::npos;
            },
            deadline_ms);
    }

    bool running() {
        return pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == 0;
    }

    // Waits for the program to end on its own; its exit status, or -1.
    int ended() {
        bool done = wait_for([&] { return waitpid(pid_, &status_, WNOHANG) == pid_; }, deadline_ms);
        pid_ = -1;
        return done && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }

    // The close request (SIGTERM: the program closes as its close button does).
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

class OneInstance : public ::testing::Test {
  protected:
    void SetUp() override {
        root = make_temp_dir();
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    static fs::path make_temp_dir() {
        std::string pattern = (fs::temp_directory_path() / "melodiane-one-XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        return mkdtemp(name.data()) != nullptr ? fs::path(name.data()) : fs::path();
    }

    fs::path folder(const std::string& name) {
        fs::create_directory(root / name);
        return root / name;
    }

    fs::path root;
};

} // namespace

TEST_F(OneInstance, ASecondStartInTheFolderLeavesAtOnceAndTouchesNeitherFile) {
    fs::path dir = folder("musique");
    std::string playlist = "#EXTM3U\r\n#EXTINF:1,Un - Titre\r\n/nulle/part/un.mp3\r\n";
    std::ofstream(dir / "Froulard.m3u", std::ios::binary) << playlist;
    std::ofstream(dir / "Froulard.ini", std::ios::binary) << "[Init]\r\nvolume=30\r\n";
    Program first(dir);
    ASSERT_TRUE(first.opened());
    FileState settings = FileState::of(dir / "Froulard.ini");
    FileState list = FileState::of(dir / "Froulard.m3u");

    Program second(dir);
    EXPECT_EQ(second.ended(), 0);
    EXPECT_TRUE(FileState::of(dir / "Froulard.ini") == settings);
    EXPECT_TRUE(FileState::of(dir / "Froulard.m3u") == list);
    // Nothing is left in the folder by the guard.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Froulard.ini", "Froulard.m3u"}));

    // The first program runs on and still writes its files when it closes.
    ASSERT_TRUE(first.running());
    fs::remove(dir / "Froulard.m3u");
    EXPECT_EQ(first.close(), 0);
    EXPECT_EQ(read_file(dir / "Froulard.m3u"), playlist);
}

TEST_F(OneInstance, ProgramsInDifferentFoldersRunSideBySide) {
    fs::path one = folder("un");
    fs::path two = folder("deux");
    Program first(one);
    Program second(two);
    ASSERT_TRUE(first.opened());
    ASSERT_TRUE(second.opened());
    EXPECT_TRUE(first.running());
    EXPECT_TRUE(second.running());
    EXPECT_EQ(first.close(), 0);
    EXPECT_EQ(second.close(), 0);
    EXPECT_EQ(read_file(one / "Froulard.m3u"), "#EXTM3U\r\n");
    EXPECT_EQ(read_file(two / "Froulard.m3u"), "#EXTM3U\r\n");
}

TEST_F(OneInstance, AKilledProgramsFolderTakesTheNextStartAtOnce) {
    fs::path dir = folder("musique");
    Program killed(dir);
    ASSERT_TRUE(killed.opened());
    killed.kill_now();
    // The next start writes the settings afresh once its window is open.
    fs::remove(dir / "Froulard.ini");

    Program next(dir);
    ASSERT_TRUE(next.opened());
    EXPECT_TRUE(next.running());
    EXPECT_EQ(next.close(), 0);
    EXPECT_EQ(read_file(dir / "Froulard.m3u"), "#EXTM3U\r\n");
}
