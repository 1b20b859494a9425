// The real program, started in an empty directory on the off-screen platform
// and closed with a close request (SIGTERM, which the platform turns into
// closing the main window): exit status 0 and the files it leaves.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

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

class EndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "melodiane-e2e-XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        ASSERT_NE(mkdtemp(name.data()), nullptr);
        dir = name.data();
    }

    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    // Starts the program, given these arguments, with the test directory as
    // its working directory.
    void start(const std::vector<std::string>& arguments = {}) {
        std::vector<const char*> argv = {"sh", "-c",        "cd \"$1\" && shift && exec \"$@\"",
                                         "sh", dir.c_str(), MELODIANE_BINARY};
        for (const std::string& argument : arguments)
            argv.push_back(argument.c_str());
        argv.push_back(nullptr);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        ASSERT_EQ(posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv.data()),
                              environ),
                  0);
    }

    // Waits until the main window has opened: it writes the settings then.
    bool opened() {
        return wait_for(
            [&] {
                return read_file(dir / "Froulard.ini").find("activateeq=0") != std::string::npos;
            },
            15000);
    }

    // Sends the close request and returns the exit status, or -1.
    int close() {
        kill(pid, SIGTERM);
        int status = 0;
        bool ended = wait_for([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 15000);
        pid = -1;
        return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    bool running() {
        return pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0;
    }

    fs::path dir;
    pid_t pid = -1;
};

} // namespace

TEST_F(EndToEnd, FirstStartInAnEmptyDirectoryWritesItsFilesAndExitsWithZero) {
    start();
    ASSERT_TRUE(wait_for([&] { return fs::exists(dir / "Froulard.ini"); }, 15000));
    std::string settings = read_file(dir / "Froulard.ini");
    ASSERT_TRUE(wait_for(
        [&] {
            settings = read_file(dir / "Froulard.ini");
            return settings.find("activateeq=0\r\n") != std::string::npos;
        },
        5000));
    EXPECT_EQ(settings.rfind("[Init]\r\nvolume=50\r\nbalance=100\r\nrepeat=0\r\n", 0), 0u);
    EXPECT_FALSE(fs::exists(dir / "Froulard.m3u")); // written only at close
    ASSERT_TRUE(running());

    EXPECT_EQ(close(), 0);
    EXPECT_EQ(read_file(dir / "Froulard.m3u"), "#EXTM3U\r\n");
    EXPECT_EQ(read_file(dir / "Froulard.ini"), settings);
}

TEST_F(EndToEnd, ASecondStartKeepsThePlaylistAndTheSettings) {
    const char* fixtures = std::getenv("MELODIANE_FIXTURES");
    ASSERT_NE(fixtures, nullptr);
    fs::copy_file(fs::path(fixtures) / "no_tag.mp3", dir / "un.mp3");
    std::string playlist =
        "#EXTM3U\r\n#EXTINF:1,Un - Titre\r\n" + (dir / "un.mp3").string() + "\r\n";
    std::ofstream(dir / "Froulard.m3u", std::ios::binary) << playlist;
    std::ofstream(dir / "Froulard.ini", std::ios::binary) << "[Init]\r\nvolume=30\r\nrepeat=1\r\n";
    start();
    ASSERT_TRUE(opened());
    EXPECT_EQ(close(), 0);
    EXPECT_EQ(read_file(dir / "Froulard.m3u"), playlist);
    std::string settings = read_file(dir / "Froulard.ini");
    EXPECT_NE(settings.find("\r\nvolume=30\r\n"), std::string::npos);
    EXPECT_NE(settings.find("\r\nrepeat=1\r\n"), std::string::npos);
}

TEST_F(EndToEnd, ArgumentsAreIgnoredEvenThoseQtWouldRead) {
    start({"-platform", "nonexistent", "-style", "foo", "-reverse", "--unknown", "x"});
    ASSERT_TRUE(opened());
    ASSERT_TRUE(running());
    EXPECT_EQ(close(), 0);
    EXPECT_EQ(read_file(dir / "Froulard.m3u"), "#EXTM3U\r\n");
}
