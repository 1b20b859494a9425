// Shared fixture of the program's tests: every test runs the real start-up
// (the main dialog from IDD_DIALOG1 with main_dialog_proc, then
// initialise_app) in a fresh temporary directory, drives the real dialog and
// the real decoder, and ends with the real shutdown (WM_CLOSE).
//
// The program itself starts once per process; the fixture makes that safe to
// repeat by closing through the real shutdown, releasing what the playlist
// still holds and putting every global back to its start value before the
// next start.
//
//   TEST_F(AppTest, ...)      the program is already running, started in an
//                             empty directory.
//   TEST_F(ColdAppTest, ...)  the directory is ready but nothing runs yet:
//                             write files there (settings, Froulard.m3u), then
//                             call start().
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/main_window.h"
#include "app/resource.h"
#include "equalizer/equalizer.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "playback/player.h"
#include "playlist/playlist.h"
#include "playlist_files/playlist_files.h"
#include "vbmp3/vbmp3.h"

namespace fs = std::filesystem;

class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        enter_temp_dir();
        start();
    }

    void TearDown() override {
        if (running) {
            close();
        }
        release_playlist();
        platform_test_reset();
        fs::current_path(previous_dir);
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    // ---- Life cycle ----

    // A fresh, empty temporary directory becomes the current directory.
    void enter_temp_dir() {
        platform_test_init();
        previous_dir = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "melodiane-XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        ASSERT_NE(mkdtemp(name.data()), nullptr);
        dir = fs::canonical(name.data());
        fs::current_path(dir);
    }

    // The real start-up, as WinMain runs it.
    void start() {
        reset_globals();
        app_instance = platform_test_instance();
        main_dialog = CreateDialogParamA(app_instance, MAKEINTRESOURCEA(IDD_DIALOG1), nullptr,
                                         main_dialog_proc, 0);
        ASSERT_NE(main_dialog, nullptr);
        initialise_app();
        running = true;
        pump_for(0);
    }

    // The real shutdown: WM_CLOSE, then the message loop runs until the quit
    // message. Returns the loop's exit status.
    int close() {
        running = false;
        PostMessageA(main_dialog, WM_CLOSE, 0, 0);
        return run_message_loop();
    }

    // WinMain's message loop, until the quit message; returns its parameter.
    int run_message_loop() {
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) != 0) {
            if (main_dialog != nullptr && IsDialogMessageA(main_dialog, &message)) {
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        return (int)message.wParam;
    }

    // ---- Waiting ----

    // Dispatches timers, posted messages and input for about ms milliseconds.
    void pump_for(int ms) {
        platform_test_process_events(ms);
    }

    // Dispatches until the condition holds; false after timeout_ms without it.
    bool pump_until(const std::function<bool()>& condition, int timeout_ms = 10000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            pump_for(5);
        }
        return true;
    }

    // ---- The main window ----

    HWND item(int id) {
        return GetDlgItem(main_dialog, id);
    }

    std::string text(int id) {
        return window_text(item(id));
    }

    static std::string window_text(HWND window) {
        char buffer[512] = "";
        GetWindowTextA(window, buffer, sizeof buffer);
        return buffer;
    }

    int slider(int id) {
        return (int)SendMessageA(item(id), TBM_GETPOS, 0, 0);
    }

    int slider_max(int id) {
        return (int)SendMessageA(item(id), TBM_GETRANGEMAX, 0, 0);
    }

    // A real mouse click on a control of the main window.
    void click(int id) {
        platform_test_click(item(id));
        pump_for(0);
    }

    // The playlist's lines, as the list box shows them.
    std::vector<std::string> lines() {
        std::vector<std::string> result;
        HWND list = item(MAIN_LIST);
        int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
        for (int i = 0; i < count; i++) {
            char buffer[512] = "";
            SendMessageA(list, LB_GETTEXT, i, (LPARAM)buffer);
            result.push_back(buffer);
        }
        return result;
    }

    std::vector<int> selected_lines() {
        std::vector<int> result;
        HWND list = item(MAIN_LIST);
        int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
        for (int i = 0; i < count; i++) {
            if (SendMessageA(list, LB_GETSEL, i, 0) > 0) {
                result.push_back(i);
            }
        }
        return result;
    }

    // Line of the current entry, or -1.
    int current_line() {
        int line = 0;
        for (PlaylistEntry* e = playlist_head; e != nullptr; e = e->next, line++) {
            if (e == current_entry) {
                return line;
            }
        }
        return -1;
    }

    static int decoder_state() {
        return vbmp3_getState(nullptr);
    }

    // ---- Files ----

    // Absolute path of a fixture file (tests/fixtures).
    static std::string fixture(const std::string& name) {
        const char* root = std::getenv("MELODIANE_FIXTURES");
        return (fs::path(root != nullptr ? root : "tests/fixtures") / name).string();
    }

    // Copies fixture MP3s into the test directory, under new names when given
    // as "fixture=name", and adds them at the end of the playlist in one batch
    // (as "Ajouter" would).
    void add_fixtures(std::initializer_list<std::string> specs) {
        std::string names;
        for (const std::string& spec : specs) {
            std::string source = spec;
            std::string target = spec;
            size_t equals = spec.find('=');
            if (equals != std::string::npos) {
                source = spec.substr(0, equals);
                target = spec.substr(equals + 1);
            }
            fs::copy_file(fixture(source), dir / target, fs::copy_options::overwrite_existing);
            names += target;
            names += '\0';
        }
        names += '\0';
        std::string directory = dir.string() + "/";
        add_files((int)SendMessageA(item(MAIN_LIST), LB_GETCOUNT, 0, 0), directory.c_str(),
                  names.data());
        pump_for(0);
    }

    std::string path_in_dir(const std::string& name) {
        return (dir / name).string();
    }

    std::string read_file(const std::string& name) {
        std::ifstream in(dir / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    void write_file(const std::string& name, const std::string& content) {
        std::ofstream out(dir / name, std::ios::binary);
        out << content;
    }

    bool file_exists(const std::string& name) {
        return fs::exists(dir / name);
    }

    fs::path dir;
    bool running = false;

  private:
    static void reset_globals() {
        main_dialog = nullptr;
        current_entry = nullptr;
        playlist_head = nullptr;
        elapsed_seconds = 0;
        stop_reason = STOP_REASON_PLAYING;
        seek_dragging = 0;
        ctrl_down = 0;
        menu_tracking = 0;
        context_menu = nullptr;
        list_prev_proc = nullptr;
        eq_active = 0;
        for (int& band : eq_bands) {
            band = 0;
        }
        program_dir[0] = '\0';
    }

    // The program ends holding its playlist; a test process goes on.
    static void release_playlist() {
        PlaylistEntry* entry = playlist_head;
        while (entry != nullptr) {
            PlaylistEntry* next = entry->next;
            release_entry(entry);
            entry = next;
        }
        playlist_head = nullptr;
        current_entry = nullptr;
    }

    fs::path previous_dir;
};

// The directory is ready, the program not started: call start() yourself.
class ColdAppTest : public AppTest {
  protected:
    void SetUp() override {
        enter_temp_dir();
    }
};
