// Files dropped on the main window, on Windows: the real main dialog (the
// resource script built into this test program) and the program's start-up,
// then WM_DROPFILES with a drop made as the shell makes it (DROPFILES in
// global memory), read through the real DragQueryFileA and the real folder
// functions.
#include "app/app.h"
#include "app/main_window.h"
#include "common/resource.h"
#include "platform/win32.h"
#include "playlist/playlist.h"
#include "vbmp3/vbmp3.h"

#include <gtest/gtest.h>

#include "temp_folder.h"

#include <shlobj.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class WindowsDrop : public TempFolderTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
        ASSERT_TRUE(SetCurrentDirectoryA(dir.string().c_str()));
        app_instance = GetModuleHandleA(nullptr);
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        main_dialog = CreateDialogParamA(app_instance, MAKEINTRESOURCEA(IDD_DIALOG1), nullptr,
                                         main_dialog_proc, 0);
        ASSERT_NE(main_dialog, nullptr);
        initialise_app();
    }

    void TearDown() override {
        if (main_dialog != nullptr) {
            SendMessageA(main_dialog, WM_CLOSE, 0, 0);
            pump_until([] { return false; }, 50);
        }
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        SetCurrentDirectoryA(temp);
        TempFolderTest::TearDown();
    }

    // The program's loop, until done() or timeout_ms.
    static bool pump_until(const std::function<bool()>& done, int timeout_ms) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (!done()) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (!IsDialogMessageA(main_dialog, &message)) {
                    TranslateMessage(&message);
                    DispatchMessageA(&message);
                }
            }
            if (std::chrono::steady_clock::now() > deadline) {
                return done();
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        return true;
    }

    // A drop of wide names, as the shell makes it, posted as a drop arrives.
    static void post_drop(const std::vector<std::wstring>& paths) {
        size_t size = sizeof(DROPFILES) + sizeof(wchar_t);
        for (const std::wstring& path : paths) {
            size += (path.size() + 1) * sizeof(wchar_t);
        }
        HGLOBAL memory = GlobalAlloc(GHND, size);
        auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
        files->pFiles = sizeof(DROPFILES);
        files->fWide = TRUE;
        auto* out = reinterpret_cast<wchar_t*>(files + 1);
        for (const std::wstring& path : paths) {
            memcpy(out, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
            out += path.size() + 1;
        }
        GlobalUnlock(memory);
        PostMessageA(main_dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    }

    static int line_count() {
        return (int)SendMessageA(GetDlgItem(main_dialog, IDC_PLAYLIST), LB_GETCOUNT, 0, 0);
    }

    static std::vector<std::string> entry_paths() {
        std::vector<std::string> result;
        for (PlaylistEntry* entry = playlist_head; entry != nullptr; entry = entry->next) {
            result.push_back(entry->path);
        }
        return result;
    }

    // An untagged MP3 at a path in the test folder.
    fs::path mp3(const fs::path& relative) {
        fs::path path = dir / relative;
        fs::create_directories(path.parent_path());
        fs::copy_file(fs::path(std::getenv("MELODIANE_FIXTURES")) / "no_tag.mp3", path,
                      fs::copy_options::overwrite_existing);
        return path;
    }

    std::string in_dir(const std::string& relative) {
        return dir.string() + "\\" + relative;
    }
};

} // namespace

TEST_F(WindowsDrop, FilesPlaylistsAndFoldersAreAppendedInTheOrderDropped) {
    fs::path deux = mp3("deux.mp3");
    mp3("album\\b.mp3");
    mp3("album\\A.mp3");
    mp3("album\\Sous\\x.mp3");
    fs::path hidden = mp3("album\\cachee.mp3");
    SetFileAttributesW(hidden.wstring().c_str(), FILE_ATTRIBUTE_HIDDEN);
    fs::path list = dir / "liste.m3u";
    FILE* file = _wfopen(list.wstring().c_str(), L"wb");
    fputs("#EXTM3U\r\ndeux.mp3\r\n", file);
    fclose(file);
    fs::path text = dir / "notes.txt";
    fclose(_wfopen(text.wstring().c_str(), L"wb"));

    post_drop({deux.wstring(), text.wstring(), (dir / "album").wstring(), list.wstring()});
    ASSERT_TRUE(pump_until([] { return line_count() == 5; }, 30000));
    EXPECT_EQ(entry_paths(), (std::vector<std::string>{
                                 in_dir("deux.mp3"), in_dir("album\\A.mp3"), in_dir("album\\b.mp3"),
                                 in_dir("album\\Sous\\x.mp3"), in_dir("deux.mp3")}));
    EXPECT_EQ(current_entry, playlist_head);
}

// With UTF-8 as the program's code page, names in every script come whole.
TEST_F(WindowsDrop, NamesInEveryScriptComeWhole) {
    fs::path cafe = mp3(L"caf\u00e9.mp3");
    fs::path japanese = mp3(L"\u65e5\u672c.mp3");
    mp3(L"dossier\\\u0416.mp3");
    mp3(L"dossier\\\u0151.mp3");
    mp3(L"dossier\\\u20ac.mp3");

    post_drop({japanese.wstring(), cafe.wstring(), (dir / "dossier").wstring()});
    ASSERT_TRUE(pump_until([] { return line_count() == 5; }, 30000));
    pump_until([] { return false; }, 100);
    EXPECT_EQ(entry_paths(), (std::vector<std::string>{
                                 in_dir("\xE6\x97\xA5\xE6\x9C\xAC.mp3"), in_dir("caf\xC3\xA9.mp3"),
                                 in_dir("dossier\\\xC5\x91.mp3"), in_dir("dossier\\\xD0\x96.mp3"),
                                 in_dir("dossier\\\xE2\x82\xAC.mp3")}));
}
