// One program per settings folder, with the real melodiane.exe: a second
// start in a folder where it runs restores the running window and ends with
// status 0, touching neither file; programs in different folders run side by
// side; a program ended by TerminateProcess leaves its folder free at once.
#include <gtest/gtest.h>

#include "windows/real_program.h"

#include <windows.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

namespace fs = std::filesystem;
using namespace real_program;

namespace {

class WindowsOneInstance : public TempFolderTest {
  protected:
    fs::path folder(const char* name) {
        fs::create_directories(dir / name);
        return dir / name;
    }
};

} // namespace

TEST_F(WindowsOneInstance, ASecondStartRestoresTheRunningWindowAndTouchesNeitherFile) {
    fs::path dir = folder("musique");
    std::string playlist = "#EXTM3U\r\n#EXTINF:1,Un - Titre\r\nZ:\\nulle\\part\\un.mp3\r\n";
    std::ofstream(dir / "Froulard.m3u", std::ios::binary) << playlist;
    Program first(dir);
    HWND window = first.opened();
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(wait_for([&] { return IsIconic(window) != FALSE; }, deadline_ms));
    std::string settings = read_file(dir / "Froulard.ini");
    fs::file_time_type written = fs::last_write_time(dir / "Froulard.ini");

    // The same folder reached through another spelling of its path.
    std::string upper = dir.string();
    for (char& c : upper) {
        c = (char)toupper((unsigned char)c);
    }
    Program second(fs::path(upper + "\\"));
    EXPECT_EQ(second.ended(), 0);
    EXPECT_TRUE(wait_for([&] { return IsIconic(window) == FALSE; }, deadline_ms));
    EXPECT_EQ(read_file(dir / "Froulard.ini"), settings);
    EXPECT_EQ(fs::last_write_time(dir / "Froulard.ini"), written);
    EXPECT_EQ(read_file(dir / "Froulard.m3u"), playlist);

    ASSERT_TRUE(first.running());
    fs::remove(dir / "Froulard.m3u");
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.ended(), 0);
    EXPECT_EQ(read_file(dir / "Froulard.m3u"), playlist);
}

TEST_F(WindowsOneInstance, ProgramsInDifferentFoldersRunSideBySide) {
    Program first(folder("un"));
    Program second(folder("deux"));
    HWND one = first.opened();
    HWND two = second.opened();
    ASSERT_NE(one, nullptr);
    ASSERT_NE(two, nullptr);
    PostMessageA(one, WM_CLOSE, 0, 0);
    PostMessageA(two, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.ended(), 0);
    EXPECT_EQ(second.ended(), 0);
}

TEST_F(WindowsOneInstance, AnEndedProgramsFolderTakesTheNextStartAtOnce) {
    fs::path dir = folder("musique");
    Program ended(dir);
    ASSERT_NE(ended.opened(), nullptr);
    ended.terminate();
    fs::remove(dir / "Froulard.ini");

    Program next(dir);
    HWND window = next.opened();
    ASSERT_NE(window, nullptr);
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(next.ended(), 0);
}
