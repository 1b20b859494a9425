// Shared fixture of the program's tests: every test runs the real start-up
// (the main dialog from IDD_DIALOG1 with main_dialog_proc, then
// initialise_app) in a fresh temporary directory, drives the real dialog and
// the real decoder, and ends with the real shutdown (WM_CLOSE).
//
// It drives the program as the program drives its windows: messages sent or
// posted to the controls GetDlgItem finds (BM_CLICK, LB_*, TBM_*, WM_COMMAND,
// WM_CLOSE), results read back the same way, common dialogs answered through
// testing_dialogs.h. Nothing here names the toolkit under the windows; tests
// that need its own input (drags, right-clicks at a point, key sequences)
// live in tests/app_input.
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

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/main_window.h"
#include "common/resource.h"
#include "equalizer/equalizer.h"
#include "message_loop.h"
#include "platform/paths.h"
#include "platform/testing_dialogs.h"
#include "platform/win32.h"
#include "playback/player.h"
#include "playlist/playlist.h"
#include "playlist_files/playlist_files.h"
#include "vbmp3/vbmp3.h"

namespace fs = std::filesystem;

// The list line of current_entry, or -1 without one.
inline int line_of_current_entry() {
    int line = 0;
    for (PlaylistEntry* e = playlist_head; e != nullptr; e = e->next, line++) {
        if (e == current_entry) {
            return line;
        }
    }
    return -1;
}

// An absolute path of this system, for a file that need not exist:
// rooted("m/a.mp3") is "/m/a.mp3" on Linux, "C:\m\a.mp3" on Windows.
inline std::string rooted(std::string relative) {
    for (char& c : relative) {
        if (c == '/') {
            c = PATH_SEPARATOR;
        }
    }
#ifdef _WIN32
    return "C:\\" + relative;
#else
    return "/" + relative;
#endif
}

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
        testing_reset_dialogs();
        fs::current_path(previous_dir);
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    // ---- Life cycle ----

    // A fresh, empty temporary directory becomes the current directory.
    void enter_temp_dir() {
        loop_init();
        previous_dir = fs::current_path();
        dir = fs::canonical(make_temp_dir());
        fs::current_path(dir);
    }

    // A new directory of its own under the temporary directory; the random
    // name is drawn again when another process took it.
    static fs::path make_temp_dir() {
        std::random_device random;
        for (;;) {
            fs::path candidate =
                fs::temp_directory_path() / ("melodiane-" + std::to_string(random()));
            if (fs::create_directory(candidate)) {
                return candidate;
            }
        }
    }

    // The real start-up, as WinMain runs it.
    void start() {
        reset_globals();
        app_instance = loop_instance();
        main_dialog = CreateDialogParamA(app_instance, MAKEINTRESOURCEA(IDD_DIALOG1), nullptr,
                                         main_dialog_proc, 0);
        ASSERT_NE(main_dialog, nullptr);
        initialise_app();
        running = true;
        settle();
    }

    // The real shutdown: WM_CLOSE, then the message loop runs until the quit
    // message. Returns the loop's exit status. The playlist the program would
    // end holding is released, so that start() may run again.
    int close() {
        running = false;
        PostMessageA(main_dialog, WM_CLOSE, 0, 0);
        int status = run_message_loop();
        release_playlist();
        return status;
    }

    // ---- Waiting ----

    // Runs the message loop as the program does until nothing is waiting.
    static void settle() {
        loop_settle();
    }

    // Runs the message loop until the condition holds; false after deadline_ms.
    static bool wait_until(const std::function<bool()>& condition, int deadline_ms = 10000) {
        return loop_until(condition, deadline_ms);
    }

    // Runs the message loop for ms while the condition holds; false as soon as
    // it fails. For what must not happen; keep ms short.
    static bool stays(const std::function<bool()>& condition, int ms) {
        return !loop_until([&] { return !condition(); }, ms);
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

    // Clicks a button of the main window (BM_CLICK); returns once the click
    // has been handled (after any modal dialog it opened has closed).
    void click(int id) {
        click_window(item(id));
    }

    static void click_window(HWND button) {
        SendMessageA(button, BM_CLICK, 0, 0);
        settle();
    }

    // Runs script inside the next modal dialog's loop, with the dialog, once
    // it has the focus. The script may wait and click; a dialog it
    // leaves open is sent WM_CLOSE, so that a failed check cannot hang the
    // test. Call it, then click the button that opens the dialog.
    void in_next_modal(std::function<void(HWND dialog)> script) {
        modal_script() = std::move(script);
        SetTimer(nullptr, 0, 30, run_modal_script);
    }

    // The playlist's lines, as the list box shows them.
    std::vector<std::string> lines() {
        std::vector<std::string> result;
        HWND list = item(IDC_PLAYLIST);
        int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
        for (int i = 0; i < count; i++) {
            // Sized by the line: in UTF-8 a byte of a title that is no
            // character comes back as three.
            std::vector<char> buffer((size_t)SendMessageA(list, LB_GETTEXTLEN, i, 0) + 1, '\0');
            SendMessageA(list, LB_GETTEXT, i, (LPARAM)buffer.data());
            result.push_back(buffer.data());
        }
        return result;
    }

    std::vector<int> selected_lines() {
        std::vector<int> result;
        HWND list = item(IDC_PLAYLIST);
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
        return line_of_current_entry();
    }

    static int decoder_state() {
        return vbmp3_getState(nullptr);
    }

    // ---- The playlist list box ----

    // What a double-click on a line tells the main window: that line alone
    // selected, the caret on it, then LBN_DBLCLK.
    void double_click_line(int line) {
        HWND list = item(IDC_PLAYLIST);
        SendMessageA(list, LB_SETSEL, FALSE, -1);
        SendMessageA(list, LB_SETSEL, TRUE, line);
        SendMessageA(list, LB_SETCARETINDEX, line, 0);
        SendMessageA(main_dialog, WM_COMMAND, MAKEWPARAM(IDC_PLAYLIST, LBN_DBLCLK), (LPARAM)list);
        settle();
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
    void add_fixtures(std::initializer_list<std::string> files) {
        std::vector<std::string> names;
        for (const std::string& file : files) {
            std::string source = file;
            std::string target = file;
            size_t equals = file.find('=');
            if (equals != std::string::npos) {
                source = file.substr(0, equals);
                target = file.substr(equals + 1);
            }
            fs::copy_file(fixture(source), dir / target, fs::copy_options::overwrite_existing);
            names.push_back(target);
        }
        add_names(names);
    }

    // Adds files of the test directory at the end of the playlist in one batch.
    void add_names(const std::vector<std::string>& names) {
        std::string list;
        for (const std::string& name : names) {
            list += name;
            list += '\0';
        }
        list += '\0';
        std::string directory = dir.string() + PATH_SEPARATOR_STRING;
        add_files((int)SendMessageA(item(IDC_PLAYLIST), LB_GETCOUNT, 0, 0), directory.c_str(),
                  list.data());
        settle();
    }

    // Writes an MP3 of about 3 x copies seconds into the test directory: the
    // untagged constant-rate fixture cbr_no_info.mp3 repeated.
    void make_long_mp3(const std::string& name, int copies) {
        std::ifstream in(fixture("cbr_no_info.mp3"), std::ios::binary);
        std::string stream((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream out(dir / name, std::ios::binary);
        for (int i = 0; i < copies; i++) {
            out << stream;
        }
    }

    std::string path_in_dir(const std::string& name) {
        return (dir / name).string();
    }

    // The test directory as the program names a folder: ending in the separator.
    std::string dir_path() {
        return dir.string() + PATH_SEPARATOR_STRING;
    }

    std::string read_file(const std::string& name) {
        std::ifstream in(dir / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    void write_file(const std::string& name, const std::string& content) {
        std::ofstream out(dir / name, std::ios::binary);
        out << content;
    }

    // The value a settings file holds for a key, or "" when the key is missing.
    static std::string ini_value(const std::string& file, const std::string& key) {
        size_t at = file.find("\n" + key + "=");
        if (at == std::string::npos) {
            return std::string();
        }
        at += key.size() + 2;
        return file.substr(at, file.find_first_of("\r\n", at) - at);
    }

    bool file_exists(const std::string& name) {
        return fs::exists(dir / name);
    }

    fs::path dir;
    bool running = false;

  private:
    static std::function<void(HWND)>& modal_script() {
        static std::function<void(HWND)> script;
        return script;
    }

    static void CALLBACK run_modal_script(HWND, UINT, UINT_PTR id, DWORD) {
        HWND focus = GetFocus();
        HWND dialog = focus != nullptr ? GetParent(focus) : nullptr;
        if (dialog == nullptr || dialog == main_dialog) {
            return; // not open yet: the timer fires again
        }
        KillTimer(nullptr, id);
        std::function<void(HWND)> script = std::move(modal_script());
        modal_script() = nullptr;
        if (script) {
            script(dialog);
        }
        if (IsWindow(dialog)) {
            PostMessageA(dialog, WM_CLOSE, 0, 0);
        }
    }

    static void reset_globals() {
        main_dialog = nullptr;
        current_entry = nullptr;
        playlist_head = nullptr;
        elapsed_seconds = 0;
        stop_reason = STOP_REASON_PLAYING;
        seek_dragging = 0;
        eq_active = 0;
        for (int& band : eq_bands) {
            band = 0;
        }
        program_dir[0] = '\0';
        // The decoder keeps its levels and bands across vbmp3_free and
        // vbmp3_init; a new process would start flat at full level.
        static const int flat[EQ_BAND_COUNT] = {};
        vbmp3_setEqualizer(flat);
        vbmp3_setVolume(100, 100);
    }

    // The program ends holding its playlist; a test process goes on.
    static void release_playlist() {
        free_entries();
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
