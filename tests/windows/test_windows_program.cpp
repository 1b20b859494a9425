// The real melodiane.exe, started in an empty folder and ended the ways
// Windows ends a program: WM_CLOSE from its close button, and the end of the
// session (WM_QUERYENDSESSION, then WM_ENDSESSION), which sends no WM_CLOSE.
// Its exit status, the files it leaves byte for byte as the Linux build
// writes them (paths aside), and what it plays, captured by SDL's disk driver.
#include "common/resource.h"
#include "vbmp3/signal.h"

#include <gtest/gtest.h>

#include "windows/real_program.h"

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace real_program;

namespace {

// What the Linux build writes at its first start in an empty folder.
const char first_start_settings[] =
    "[Init]\r\nvolume=50\r\nbalance=100\r\nrepeat=0\r\n"
    "fontfacename=Arial\r\nfontheight=-12\r\n"
    "fontclipprecision=0\r\nfontescapement=0\r\nfontitalic=0\r\n"
    "fontorientation=0\r\nfontoutprecision=0\r\n"
    "fontpitchandfamily=0\r\nfontquality=0\r\nfontstrikeout=0\r\n"
    "fontunderline=0\r\nfontweight=400\r\nfontwidth=0\r\n"
    "eq0=0\r\neq1=0\r\neq2=0\r\neq3=0\r\neq4=0\r\neq5=0\r\neq6=0\r\n"
    "eq7=0\r\neq8=0\r\neq9=0\r\nactivateeq=0\r\n";

// A capture of SDL's disk driver: interleaved stereo 32-bit floats.
std::vector<float> read_capture(const fs::path& path) {
    std::string bytes = read_file(path);
    std::vector<float> samples(bytes.size() / sizeof(float));
    memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    return samples;
}

class WindowsProgram : public TempFolderTest {
  protected:
    void TearDown() override {
        program.reset();
        TempFolderTest::TearDown();
    }

    void copy_fixture(const char* fixture, const char* name) {
        const char* fixtures = std::getenv("MELODIANE_FIXTURES");
        ASSERT_NE(fixtures, nullptr);
        fs::copy_file(fs::path(fixtures) / fixture, dir / name);
    }

    // Starts the program in the test folder and waits until its window is
    // up and its settings are written (the last step of its start).
    void start() {
        program.emplace(dir);
        ASSERT_TRUE(program->started()) << "cannot start " << program_path();
        window = program->opened();
        ASSERT_NE(window, nullptr) << "the main window never opened";
        // Then its start is over: it waits for input in its message loop.
        EXPECT_EQ(WaitForInputIdle(program->handle(), 60000), 0u);
    }

    // The lines the program writes for the two fixtures below.
    std::string expected_playlist() {
        std::string folder = dir.string();
        return "#EXTM3U\r\n#EXTINF:1,un\r\n" + folder + "\\un.mp3\r\n" +
               "#EXTINF:3,Artiste Un - Chanson claire\r\n" + folder + "\\deux.mp3\r\n";
    }

    void give_playlist() {
        copy_fixture("no_tag.mp3", "un.mp3");
        copy_fixture("cbr_44k_stereo_v23.mp3", "deux.mp3");
        // Bare relative names: written back as full paths with titles, so
        // the file shows whether the program saved it.
        std::ofstream(dir / "Froulard.m3u", std::ios::binary) << "un.mp3\r\ndeux.mp3\r\n";
    }

    std::optional<Program> program;
    HWND window = nullptr;
};

} // namespace

TEST_F(WindowsProgram, FirstStartWritesTheSettingsAsLinuxAndTheCloseButtonEndsWithZero) {
    start();
    EXPECT_EQ(read_file(dir / "Froulard.ini"), first_start_settings);
    EXPECT_FALSE(fs::exists(dir / "Froulard.m3u")); // written only at close

    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program->ended(), 0);
    EXPECT_EQ(read_file(dir / "Froulard.m3u"), "#EXTM3U\r\n");
    EXPECT_EQ(read_file(dir / "Froulard.ini"), first_start_settings);
}

TEST_F(WindowsProgram, ThePlaylistIsSavedAtCloseAsLinuxWritesIt) {
    give_playlist();
    start();
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program->ended(), 0);
    EXPECT_EQ(read_file(dir / "Froulard.m3u"), expected_playlist());
    EXPECT_EQ(read_file(dir / "Froulard.ini"), first_start_settings);
}

TEST_F(WindowsProgram, TheSessionsEndSavesAsTheCloseDoes) {
    give_playlist();
    start();
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL,
                                    60000, &answer));
    EXPECT_NE(answer, 0u) << "the program refused to let the session end";
    // A session end called off leaves the program as it was: the message has
    // been handled when the call returns, and the window is still there.
    SendMessageTimeoutA(window, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF, SMTO_NORMAL, 60000,
                        &answer);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(read_file(dir / "Froulard.m3u"), "un.mp3\r\ndeux.mp3\r\n");

    SendMessageTimeoutA(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 60000,
                        &answer);
    EXPECT_EQ(program->ended(), 0);
    EXPECT_EQ(read_file(dir / "Froulard.m3u"), expected_playlist());
    EXPECT_EQ(read_file(dir / "Froulard.ini"), first_start_settings);
}

TEST_F(WindowsProgram, JouerPlaysThePlaylistsTwoTracksWithoutAGap) {
    // One tone cut in two between frames: heard whole only if the second
    // track's first samples follow the first's last ones.
    copy_fixture("gapless_a.mp3", "a.mp3");
    copy_fixture("gapless_b.mp3", "b.mp3");
    std::ofstream(dir / "Froulard.m3u", std::ios::binary) << "a.mp3\r\nb.mp3\r\n";
    fs::path capture = dir / "capture.raw";
    // The program inherits this process's environment.
    SetEnvironmentVariableA("SDL_AUDIODRIVER", "disk");
    SetEnvironmentVariableA("SDL_DISKAUDIOFILE", capture.string().c_str());
    start();
    SetEnvironmentVariableA("SDL_AUDIODRIVER", "dummy");
    SetEnvironmentVariableA("SDL_DISKAUDIOFILE", nullptr);

    SendMessageA(GetDlgItem(window, IDC_PLAY), BM_CLICK, 0, 0);
    std::vector<float> s;
    size_t first = 0;
    size_t last = 0;
    auto heard = [&] {
        s = read_capture(capture);
        audible_span(s, 0.01, &first, &last);
        return first < last ? (last - first) / 44100.0 : 0.0;
    };
    EXPECT_TRUE(wait_for([&] { return heard() > 2.45; }, 60000))
        << "heard " << heard() << " s of the 2.5 s tone";
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program->ended(), 0);

    EXPECT_NEAR(heard(), 2.5, 0.05);                  // the whole tone, once
    EXPECT_LT(longest_silence(s, first, last), 441u); // under 10 ms anywhere in the tone
}
