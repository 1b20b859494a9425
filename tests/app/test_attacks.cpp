// The real program beside another local user (nobody, through setpriv, as
// the attacks were tried) and closed by a signal with nobody at the window:
// the close by SIGTERM saves what it can and shows no box, whatever stands in
// the playlist's place (a folder, a pipe, a link to a device, a link another
// user planted in a shared sticky folder, which is not followed); the other
// user can neither keep the program from starting, nor raise its window, nor
// make it use a folder they made.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/real_program.h"

using namespace real_program;

namespace {

// Starts a command as nobody; its process id, or -1.
pid_t start_as_other_user(const std::vector<std::string>& command) {
    std::vector<std::string> full = {"setpriv", "--reuid=nobody", "--regid=nogroup",
                                     "--clear-groups"};
    full.insert(full.end(), command.begin(), command.end());
    std::vector<char*> argv;
    for (std::string& part : full) {
        argv.push_back(part.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, "setpriv", nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    return pid;
}

// Runs a command as nobody; true when it succeeded.
bool run_as_other_user(const std::vector<std::string>& command) {
    pid_t pid = start_as_other_user(command);
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

void end(pid_t pid) {
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

std::string identity_of(const fs::path& folder) {
    struct stat st;
    stat(folder.c_str(), &st);
    return std::to_string(st.st_dev) + "-" + std::to_string(st.st_ino);
}

class Attacks : public TempFolderTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
        if (geteuid() != 0) {
            GTEST_SKIP() << "another user's files and processes need root";
        }
        // The other user must reach the test's folders, as a shared machine's.
        chmod(dir.c_str(), 0755);
        runtime = dir / "run";
        fs::create_directory(runtime);
        chmod(runtime.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("XDG_RUNTIME_DIR");
        unsetenv("TMPDIR");
        TempFolderTest::TearDown();
    }
    fs::path shared_folder(const std::string& name) {
        fs::path folder = dir / name;
        fs::create_directory(folder);
        chmod(folder.c_str(), 01777);
        return folder;
    }
    fs::path runtime;
};

} // namespace

TEST_F(Attacks, ACloseBySignalSavesWhatItCanAndShowsNoBox) {
    struct Case {
        const char* what;
        void (*plant)(const fs::path& folder, const fs::path& thesis);
    } cases[] = {
        {"the playlist is a folder",
         [](const fs::path& folder, const fs::path&) {
             fs::create_directory(folder / "Froulard.m3u");
         }},
        {"the playlist is a named pipe",
         [](const fs::path& folder, const fs::path&) {
             mkfifo((folder / "Froulard.m3u").c_str(), 0600);
         }},
        {"the playlist is a link to /dev/zero",
         [](const fs::path& folder, const fs::path&) {
             fs::create_symlink("/dev/zero", folder / "Froulard.m3u");
         }},
        {"another user linked the playlist to my private file",
         [](const fs::path& folder, const fs::path& thesis) {
             ASSERT_TRUE(run_as_other_user(
                 {"ln", "-s", thesis.string(), (folder / "Froulard.m3u").string()}));
         }},
    };
    fs::path thesis = dir / "thesis.txt";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(thesis, std::ios::binary) << "my thesis\r\n";
        chmod(thesis.c_str(), 0600);
        fs::path folder = shared_folder("partage");
        c.plant(folder, thesis);
        Program program(folder);
        ASSERT_TRUE(program.opened());
        std::string before = read_file(folder / "Froulard.ini");
        // The box would wait for ever: the close must end by itself.
        EXPECT_EQ(program.close(), 0);
        EXPECT_EQ(read_file(thesis), "my thesis\r\n");
        // The settings that the close writes were written after the failed playlist.
        EXPECT_NE(read_file(folder / "Froulard.ini").find("volume=50\r\n"), std::string::npos)
            << before;
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
}

TEST_F(Attacks, AnotherUserCannotKeepTheProgramFromStartingNorRaiseIt) {
    fs::path folder = dir / "musique";
    fs::create_directory(folder);
    std::string name = "melodiane-" + identity_of(folder);
    fs::path flag = shared_folder("drapeau") / "pris";
    // The ways the claim could be taken first, by one process of the other
    // user's: a lock on the start folder, and the abstract socket name the
    // program once used.
    pid_t squatter = start_as_other_user({"/usr/bin/python3", "-c",
                                          "import fcntl, os, socket, sys, time\n"
                                          "folder = os.open(sys.argv[1], os.O_RDONLY)\n"
                                          "fcntl.flock(folder, fcntl.LOCK_EX | fcntl.LOCK_NB)\n"
                                          "s = socket.socket(socket.AF_UNIX)\n"
                                          "s.bind('\\0' + sys.argv[2])\n"
                                          "s.listen()\n"
                                          "open(sys.argv[3], 'w').close()\n"
                                          "time.sleep(600)\n",
                                          folder.string(), name, flag.string()});
    ASSERT_GT(squatter, 0);
    ASSERT_TRUE(wait_for([&] { return fs::exists(flag); }));
    Program first(folder);
    ASSERT_TRUE(first.opened());
    // The program's socket: another user cannot connect to it.
    fs::path socket = runtime / (name + ".socket");
    EXPECT_TRUE(wait_for([&] { return fs::is_socket(socket); }));
    EXPECT_FALSE(run_as_other_user({"/usr/bin/python3", "-c",
                                    "import socket, sys\n"
                                    "socket.socket(socket.AF_UNIX).connect(sys.argv[1])\n",
                                    socket.string()}));
    // The claim holds for the user's own second start.
    Program second(folder);
    EXPECT_EQ(second.ended(), 0);
    EXPECT_TRUE(first.running());
    EXPECT_EQ(first.close(), 0);
    end(squatter);
}

TEST_F(Attacks, AFolderAnotherUserMadeForTheClaimIsNotUsed) {
    // Without a runtime folder the claim goes to one of the user's own in the
    // temporary folder; another user made that name first.
    unsetenv("XDG_RUNTIME_DIR");
    fs::path temp = shared_folder("tmp");
    setenv("TMPDIR", temp.c_str(), 1);
    fs::path taken = temp / ("melodiane-" + std::to_string(geteuid()));
    ASSERT_TRUE(run_as_other_user({"mkdir", "-m", "0777", taken.string()}));
    fs::path folder = dir / "musique";
    fs::create_directory(folder);
    Program program(folder);
    ASSERT_TRUE(program.opened());
    EXPECT_TRUE(fs::is_empty(taken));
    EXPECT_EQ(program.close(), 0);
    EXPECT_TRUE(fs::is_empty(taken));
}
