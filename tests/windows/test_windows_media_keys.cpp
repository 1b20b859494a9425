// The media keys with the real melodiane.exe: the program holds them as hot
// keys, so they reach it while another window has the focus, and each one
// presses the button it stands for; where another program holds them first,
// the WM_APPCOMMAND a focused window receives does the same.
#include <gtest/gtest.h>

#include "windows/real_program.h"

#include <windows.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <thread>

#include "common/resource.h"

namespace fs = std::filesystem;
using namespace real_program;

namespace {

// A one-minute track of pure 64 kbit/s frames (no tag, no header frame), so
// nothing ends by itself while a test looks: its name is its title.
void write_track(const fs::path& path) {
    const char* fixtures = std::getenv("MELODIANE_FIXTURES");
    std::string frames = read_file(fs::path(fixtures ? fixtures : "") / "cbr_no_info.mp3");
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < 20; i++) {
        out << frames;
    }
}

const UINT media_keys[] = {VK_MEDIA_PLAY_PAUSE, VK_MEDIA_NEXT_TRACK, VK_MEDIA_PREV_TRACK,
                           VK_MEDIA_STOP};

class WindowsMediaKeys : public TempFolderTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
        write_track(dir / "premier.mp3");
        write_track(dir / "second.mp3");
        std::ofstream(dir / "Froulard.m3u", std::ios::binary) << "premier.mp3\r\nsecond.mp3\r\n";
    }

    void TearDown() override {
        program.reset();
        for (UINT i = 0; i < sizeof media_keys / sizeof media_keys[0]; i++) {
            UnregisterHotKey(nullptr, (int)i + 1);
        }
        TempFolderTest::TearDown();
    }

    // Starts the program and waits for its window, open once the start-up
    // has written the settings (its last step).
    void start() {
        program.emplace(dir);
        ASSERT_TRUE(program->started());
        window = program->opened();
        ASSERT_NE(window, nullptr);
        // Answered by the program's message loop, so the start-up is over.
        DWORD_PTR answer = 0;
        ASSERT_TRUE(SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, deadline_ms, &answer));
    }

    int close() {
        PostMessageA(window, WM_CLOSE, 0, 0);
        return program->ended();
    }

    std::string text(int id) {
        char buffer[256] = "";
        GetWindowTextA(GetDlgItem(window, id), buffer, sizeof buffer);
        return buffer;
    }

    bool shows(int id, const std::string& expected) {
        return wait_for([&] { return text(id) == expected; });
    }

    // The time label counts the open track's seconds: it plays.
    bool plays() {
        return wait_for([&] {
            std::string time = text(IDC_TIME_LABEL);
            return time.find(" / 1:00") != std::string::npos && time.rfind("0:00 ", 0) != 0;
        });
    }

    // A key as the system delivers a registered hot key: its virtual-key
    // code in lParam's high word.
    void hot_key(UINT key) {
        PostMessageA(window, WM_HOTKEY, 0, MAKELPARAM(0, key));
    }

    void app_command(int command) {
        PostMessageA(window, WM_APPCOMMAND, (WPARAM)window,
                     MAKELPARAM(0, command | FAPPCOMMAND_KEY));
    }

    std::optional<Program> program;
    HWND window = nullptr;
};

} // namespace

TEST_F(WindowsMediaKeys, TheKeysAreTheProgramsAndPressItsButtons) {
    start();
    // Held by the program: no other program can have them.
    for (UINT i = 0; i < sizeof media_keys / sizeof media_keys[0]; i++) {
        EXPECT_FALSE(RegisterHotKey(nullptr, (int)i + 1, MOD_NOREPEAT, media_keys[i]))
            << "key " << media_keys[i];
    }
    ASSERT_EQ(text(IDC_TITLE_LABEL), "premier");
    ASSERT_EQ(text(IDC_TIME_LABEL), "1:00");

    // Play/Pause from a stopped player presses "Jouer"; the position runs.
    hot_key(VK_MEDIA_PLAY_PAUSE);
    EXPECT_TRUE(plays());
    // Playing, it presses "Pauser": the position stops (the label, redrawn
    // each second while playing, stays the same for two).
    hot_key(VK_MEDIA_PLAY_PAUSE);
    std::string paused;
    EXPECT_TRUE(wait_for([&] {
        paused = text(IDC_TIME_LABEL);
        Sleep(2000);
        return text(IDC_TIME_LABEL) == paused;
    }));
    // Next from a paused track plays the next entry from its start.
    hot_key(VK_MEDIA_NEXT_TRACK);
    EXPECT_TRUE(shows(IDC_TITLE_LABEL, "second"));
    EXPECT_TRUE(plays());
    hot_key(VK_MEDIA_PREV_TRACK);
    EXPECT_TRUE(shows(IDC_TITLE_LABEL, "premier"));
    hot_key(VK_MEDIA_STOP);
    EXPECT_TRUE(shows(IDC_TIME_LABEL, "1:00"));
    EXPECT_EQ(close(), 0);
}

TEST_F(WindowsMediaKeys, KeysAnotherProgramHoldsArriveAsAppCommands) {
    for (UINT i = 0; i < sizeof media_keys / sizeof media_keys[0]; i++) {
        ASSERT_TRUE(RegisterHotKey(nullptr, (int)i + 1, MOD_NOREPEAT, media_keys[i]));
    }
    start();
    app_command(APPCOMMAND_MEDIA_NEXTTRACK);
    EXPECT_TRUE(shows(IDC_TITLE_LABEL, "second"));
    EXPECT_EQ(text(IDC_TIME_LABEL), "1:00"); // stopped, Next only shows the entry
    app_command(APPCOMMAND_MEDIA_PLAY);
    EXPECT_TRUE(plays());
    app_command(APPCOMMAND_MEDIA_PREVIOUSTRACK);
    EXPECT_TRUE(shows(IDC_TITLE_LABEL, "premier"));
    app_command(APPCOMMAND_MEDIA_STOP);
    EXPECT_TRUE(shows(IDC_TIME_LABEL, "1:00"));
    EXPECT_EQ(close(), 0);
}
