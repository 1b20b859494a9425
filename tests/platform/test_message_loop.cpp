// The message loop: posting from other threads, timers, the dialog keyboard
// interface, closing, modal dialogs and the context menu, all of which must
// keep posted messages and timers flowing.
#include "window_fixture.h"

#include "platform/qt/desktop/desktop.h"
#include "platform/qt/user/user.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <thread>

namespace {

int count_commands(WORD id, WORD code = BN_CLICKED) {
    int count = 0;
    for (const Received& r : received_of(WM_COMMAND)) {
        if (LOWORD(r.wparam) == id && HIWORD(r.wparam) == code) {
            ++count;
        }
    }
    return count;
}

} // namespace

TEST_F(MainWindowTest, MessagesPostedFromAnotherThreadArriveInOrder) {
    std::thread poster([this] {
        for (int i = 0; i < 200; ++i) {
            PostMessageA(dialog, WM_APP + 1, static_cast<WPARAM>(i), 0);
        }
    });
    poster.join();
    ASSERT_TRUE(wait_for(WM_APP + 1, 200));
    std::vector<Received> posted = received_of(WM_APP + 1);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(posted[static_cast<std::size_t>(i)].wparam, static_cast<WPARAM>(i));
    }
    EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(&posted), WM_APP, 0, 0));
}

TEST_F(MainWindowTest, TimerTicksAreCoalescedAndStopWhenKilled) {
    EXPECT_EQ(SetTimer(dialog, 7, 10, nullptr), 7u);
    // Qt runs but nobody takes messages: the ticks do not pile up.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 150) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    EXPECT_TRUE(received_of(WM_TIMER).empty());
    ASSERT_TRUE(wait_for(WM_TIMER, 1));
    EXPECT_EQ(received_of(WM_TIMER).size(), 1u);
    EXPECT_EQ(received_of(WM_TIMER)[0].wparam, 7u);
    ASSERT_TRUE(wait_for(WM_TIMER, 4));
    EXPECT_TRUE(KillTimer(dialog, 7));
    std::size_t ticks = received_of(WM_TIMER).size();
    EXPECT_TRUE(stays([&] { return received_of(WM_TIMER).size() == ticks; }, 50));
    EXPECT_FALSE(KillTimer(dialog, 7));
    // Setting an existing timer again restarts its period.
    SetTimer(dialog, 8, 30, nullptr);
    SetTimer(dialog, 8, 10000, nullptr);
    EXPECT_TRUE(stays([&] { return received_of(WM_TIMER).size() == ticks; }, 60));
    KillTimer(dialog, 8);
}

TEST_F(MainWindowTest, EscapeAndEnterBecomeDialogCommands) {
    QTest::keyClick(widget(1020), Qt::Key_Escape);
    ASSERT_TRUE(wait_for(WM_COMMAND, 1));
    EXPECT_EQ(count_commands(IDCANCEL), 1);

    // Enter with the list box focused: the default command, Play's identifier 1.
    SetFocus(item(1020));
    QTest::keyClick(widget(1020), Qt::Key_Return);
    ASSERT_TRUE(wait_for(WM_COMMAND, 2));
    EXPECT_EQ(count_commands(1), 1);

    // Enter on a focused push button is that button's command.
    SetFocus(item(1005));
    QTest::keyClick(widget(1005), Qt::Key_Return);
    ASSERT_TRUE(wait_for(WM_COMMAND, 3));
    EXPECT_EQ(count_commands(1005), 1);
    EXPECT_EQ(count_commands(1), 1);
}

TEST_F(MainWindowTest, ButtonsClickWithMouseAndSpaceAndTheRepeatSwitchToggles) {
    QTest::mouseClick(widget(1013), Qt::LeftButton);
    ASSERT_TRUE(wait_for(WM_COMMAND, 1));
    EXPECT_EQ(count_commands(1013), 1);
    std::vector<Received> commands = received_of(WM_COMMAND);
    EXPECT_EQ(reinterpret_cast<HWND>(commands[0].lparam), item(1013));

    SetFocus(item(1002));
    QTest::keyClick(widget(1002), Qt::Key_Space);
    ASSERT_TRUE(wait_for(WM_COMMAND, 2));
    EXPECT_EQ(count_commands(1002), 1);

    EXPECT_EQ(IsDlgButtonChecked(dialog, 1018), 0u);
    QTest::mouseClick(widget(1018), Qt::LeftButton);
    ASSERT_TRUE(wait_for(WM_COMMAND, 3));
    EXPECT_EQ(IsDlgButtonChecked(dialog, 1018), 1u);
    SendMessageA(item(1018), BM_SETCHECK, BST_UNCHECKED, 0);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 1018), 0u);

    // A disabled button takes no clicks.
    EnableWindow(item(1013), FALSE);
    EXPECT_FALSE(IsWindowEnabled(item(1013)));
    QTest::mouseClick(widget(1013), Qt::LeftButton);
    platform_test_settle();
    EXPECT_EQ(count_commands(1013), 1);
}

TEST_F(MainWindowTest, CloseButtonAsksTheProcedureAndUnhandledCloseCancels) {
    platform_test_widget(dialog)->close();
    ASSERT_TRUE(wait_for(WM_CLOSE, 1));
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(count_commands(IDCANCEL), 0);

    handle_close = false;
    platform_test_widget(dialog)->close();
    ASSERT_TRUE(wait_for(WM_COMMAND, 1));
    EXPECT_EQ(count_commands(IDCANCEL), 1);
    EXPECT_TRUE(IsWindow(dialog));
}

// ===== Modal dialogs =====

static bool owner_enabled_inside = true;
static HWND about_owner = nullptr;

static INT_PTR CALLBACK about_proc(HWND window, UINT message, WPARAM wparam, LPARAM) {
    if (message == WM_INITDIALOG) {
        owner_enabled_inside = IsWindowEnabled(about_owner);
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wparam) == IDCANCEL) {
        EndDialog(window, 2);
        return TRUE;
    }
    return FALSE;
}

TEST_F(MainWindowTest, ModalDialogDisablesItsOwnerWhileTimersKeepTicking) {
    about_owner = dialog;
    SetTimer(dialog, 1, 10, nullptr);
    std::thread poster([this] { PostMessageA(dialog, WM_APP + 2, 0, 0); });
    QWidget* owner_button = widget(1013);
    bool owner_was_enabled = true;
    std::size_t ticks_at_escape = 0;
    QTimer::singleShot(150, [&] {
        owner_was_enabled = IsWindowEnabled(dialog);
        QTest::mouseClick(owner_button, Qt::LeftButton); // refused: the owner is disabled
        ticks_at_escape = received_of(WM_TIMER).size();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    });
    INT_PTR result = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_DIALOG2), dialog, about_proc, 0);
    poster.join();
    EXPECT_EQ(result, 2);
    EXPECT_FALSE(owner_enabled_inside);
    EXPECT_FALSE(owner_was_enabled);
    EXPECT_TRUE(IsWindowEnabled(dialog));
    EXPECT_GE(ticks_at_escape, 3u);
    EXPECT_EQ(received_of(WM_APP + 2).size(), 1u);
    platform_test_settle();
    EXPECT_EQ(count_commands(1013), 0);
    KillTimer(dialog, 1);
}

// ===== Context menu =====

TEST_F(MainWindowTest, PopupMenuChoiceReachesTheOwnerWhileTimersTick) {
    HMENU menu = LoadMenuA(nullptr, MAKEINTRESOURCEA(IDR_MENU1));
    ASSERT_NE(menu, nullptr);
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(GetSubMenu(menu, 1), nullptr);
    SetTimer(dialog, 1, 10, nullptr);
    QStringList texts;
    QTimer::singleShot(150, [&] {
        auto* shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(shown, nullptr);
        for (QAction* action : shown->actions()) {
            texts << action->text();
        }
        QAction* sort = shown->actions().at(4);
        QTest::mouseClick(shown, Qt::LeftButton, Qt::NoModifier,
                          shown->actionGeometry(sort).center());
    });
    POINT at = {20, 20};
    ClientToScreen(item(1020), &at);
    EXPECT_TRUE(TrackPopupMenu(popup, TPM_LEFTBUTTON, at.x, at.y, 0, dialog, nullptr));
    EXPECT_GE(received_of(WM_TIMER).size(), 3u); // ticks while the menu was open
    EXPECT_EQ(texts, QStringList({"Jouer", "", "Haut", "Bas", "Trier", "Al\u00e9atoire", "Effacer",
                                  "", "Tout"}));
    ASSERT_TRUE(wait_for(WM_COMMAND, 1));
    EXPECT_EQ(LOWORD(received_of(WM_COMMAND)[0].wparam), 1010);
    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_FALSE(DestroyMenu(menu));
    KillTimer(dialog, 1);
}

static HMENU menu_to_destroy = nullptr;

static void CALLBACK destroy_menu_tick(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    DestroyMenu(menu_to_destroy);
}

TEST_F(MainWindowTest, DestroyingAnOpenMenuClosesItAndTrackingReturnsZero) {
    menu_to_destroy = LoadMenuA(nullptr, MAKEINTRESOURCEA(IDR_MENU1));
    ASSERT_NE(menu_to_destroy, nullptr);
    SetTimer(nullptr, 0, 50, destroy_menu_tick);
    POINT at = {20, 20};
    ClientToScreen(item(1020), &at);
    EXPECT_FALSE(TrackPopupMenu(GetSubMenu(menu_to_destroy, 0), TPM_LEFTBUTTON, at.x, at.y, 0,
                                item(1020), nullptr));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    platform_test_settle();
    EXPECT_TRUE(received_of(WM_COMMAND).empty());
}

static void CALLBACK quit_tick(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    PostQuitMessage(3);
}

TEST_F(MainWindowTest, QuitMessageClosesAnOpenMenuAndReachesTheLoop) {
    HMENU menu = LoadMenuA(nullptr, MAKEINTRESOURCEA(IDR_MENU1));
    SetTimer(nullptr, 0, 50, quit_tick);
    EXPECT_FALSE(TrackPopupMenu(GetSubMenu(menu, 0), TPM_LEFTBUTTON, 10, 10, 0, dialog, nullptr));
    EXPECT_TRUE(platform_test_pump_until([] { return platform_test_quit_code() == 3; }, 1000));
    DestroyMenu(menu);
}

TEST_F(MainWindowTest, QtDialogsRunModalWhileTimersAndPostedMessagesFlow) {
    SetTimer(dialog, 1, 10, nullptr);
    QDialog box(platform_test_widget(dialog));
    bool owner_enabled = true;
    std::size_t ticks = 0;
    QTimer::singleShot(150, [&] {
        owner_enabled = IsWindowEnabled(dialog);
        ticks = received_of(WM_TIMER).size();
        std::thread([this] { PostMessageA(dialog, WM_APP + 3, 0, 0); }).join();
    });
    std::size_t posted_while_open = 0;
    QTimer::singleShot(250, [&] {
        posted_while_open = received_of(WM_APP + 3).size();
        box.accept();
    });
    EXPECT_EQ(platform_exec_modal(&box, item(1020)), QDialog::Accepted);
    EXPECT_EQ(posted_while_open, 1u);
    EXPECT_FALSE(owner_enabled);
    EXPECT_TRUE(IsWindowEnabled(dialog));
    EXPECT_GE(ticks, 3u);
    EXPECT_EQ(received_of(WM_APP + 3).size(), 1u);
    KillTimer(dialog, 1);
}

TEST_F(MainWindowTest, CloseRequestClosesTheModalDialogBeforeTheMainWindow) {
    about_owner = dialog;
    std::size_t closes_while_modal = 99;
    QTimer::singleShot(100, [] { platform_close_request(); });
    INT_PTR result = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_DIALOG2), dialog, about_proc, 0);
    closes_while_modal = received_of(WM_ENDSESSION).size();
    EXPECT_EQ(result, 2); // closed through its cancel command
    EXPECT_EQ(closes_while_modal, 0u);
    // The main window ends as at the end of a Windows session.
    ASSERT_TRUE(wait_for(WM_ENDSESSION, 1));
    EXPECT_EQ(received_of(WM_ENDSESSION).front().wparam, static_cast<WPARAM>(TRUE));
}
