// The folder claim's way of bringing the running window forward: a second
// claim of the folder, as a second start makes it, restores and activates the
// window the first one named. (The real program's starts are tested in
// tests/app/test_one_instance.cpp.)
#include "common/resource.h"
#include "platform/testing.h"
#include "platform/win32.h"

#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

static INT_PTR CALLBACK shown_proc(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        ShowWindow(window, SW_SHOW);
        return TRUE;
    }
    return FALSE;
}

TEST(FolderInstance, ASecondClaimOfTheFolderBringsTheMinimisedWindowForward) {
    platform_test_init();
    std::string pattern = (fs::temp_directory_path() / "melodiane-claim-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    ASSERT_NE(mkdtemp(name.data()), nullptr);
    std::string directory = std::string(name.data()) + "/";

    ASSERT_EQ(folder_instance_claim(directory.c_str()), 1);
    HWND window = CreateDialogParamA(platform_test_instance(), MAKEINTRESOURCEA(IDD_DIALOG1),
                                     nullptr, shown_proc, 0);
    ASSERT_NE(window, nullptr);
    folder_instance_set_window(window);
    QWidget* main = platform_test_widget(window)->window();
    QWidget elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    main->showMinimized();
    ASSERT_TRUE(platform_test_pump_until([&] { return elsewhere.isActiveWindow(); }, 10000));

    // The second start waits for its request to be taken, which this
    // thread's loop does: it runs beside it.
    std::atomic<int> claimed{-1};
    std::thread second([&] { claimed = folder_instance_claim(directory.c_str()); });
    bool forward = platform_test_pump_until(
        [&] { return claimed != -1 && !main->isMinimized() && main->isActiveWindow(); }, 10000);
    second.join();
    EXPECT_EQ(claimed, 0);
    EXPECT_TRUE(forward);

    platform_test_reset();
    std::error_code ignored;
    fs::remove_all(name.data(), ignored);
}
