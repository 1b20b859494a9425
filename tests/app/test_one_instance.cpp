// One program per settings folder, with the real program on the off-screen
// platform: a second start in a folder where the program runs leaves at once
// with status 0 and leaves both files alone, programs in different folders
// run side by side, and a killed program's folder takes a new start at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "app/real_program.h"

using namespace real_program;

namespace {

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

class OneInstance : public TempFolderTest {
  protected:
    fs::path folder(const std::string& name) {
        fs::create_directory(dir / name);
        return dir / name;
    }
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
