// A thousand rapid Next presses while one-second tracks end by themselves:
// every press moves exactly one entry and the player keeps playing; a stale
// end of a replaced track never moves the list a second time.
#include "app_fixture.h"

#include <random>

namespace {

const int entry_count = 5;

// What the main window's procedure did with each Next and each batch of
// decoder events, watched from a subclass of the main dialog.
struct Watch {
    WNDPROC dialog_proc = nullptr;
    int presses = 0;
    int bad_presses = 0;
    int ends = 0;
    int bad_events = 0;
};
Watch watch;

LRESULT CALLBACK watching_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    int before = line_of_current_entry();
    LRESULT result = CallWindowProcA(watch.dialog_proc, window, message, wparam, lparam);
    int after = line_of_current_entry();
    if (message == WM_COMMAND && LOWORD(wparam) == IDC_NEXT) {
        watch.presses++;
        if (after != (before + 1) % entry_count || vbmp3_getState(nullptr) != 1 ||
            elapsed_seconds != 0) {
            watch.bad_presses++;
        }
    } else if (message == WM_DECODER_EVENTS && after != before) {
        watch.ends++;
        if (after != (before + 1) % entry_count || vbmp3_getState(nullptr) != 1) {
            watch.bad_events++;
        }
    }
    return result;
}

// Runs the loop for ms: the presses' rhythm, not a wait for any state.
void hold_for(int ms) {
    loop_until([] { return false; }, ms);
}

} // namespace

TEST_F(AppTest, AThousandNextPressesWhileTracksEndEachMoveExactlyOneEntry) {
    add_fixtures({"no_tag.mp3=a.mp3", "no_tag.mp3=b.mp3", "no_tag.mp3=c.mp3", "no_tag.mp3=d.mp3",
                  "no_tag.mp3=e.mp3"});
    click(IDC_REPEAT);
    click(IDC_PLAY);
    watch = Watch();
    watch.dialog_proc = (WNDPROC)GetWindowLongPtrA(main_dialog, GWLP_WNDPROC);
    SetWindowLongPtrA(main_dialog, GWLP_WNDPROC, (LONG_PTR)watching_proc);

    std::mt19937 random(7);
    std::uniform_int_distribution<int> near_the_end(950, 1150); // a track lasts 1.08 s
    for (int press = 0; press < 1000; press++) {
        SendMessageA(item(IDC_NEXT), BM_CLICK, 0, 0);
        if (press % 50 == 49) {
            // The next press comes near this track's end, just before or
            // just after it.
            hold_for(near_the_end(random));
        } else {
            settle();
        }
    }
    ASSERT_TRUE(wait_until([] { return watch.presses == 1000; }, 5000));
    int ends_before = watch.ends;
    ASSERT_TRUE(wait_until([&] { return watch.ends >= ends_before + 3; }, 8000));

    SetWindowLongPtrA(main_dialog, GWLP_WNDPROC, (LONG_PTR)watch.dialog_proc);
    EXPECT_EQ(watch.bad_presses, 0);
    EXPECT_EQ(watch.bad_events, 0);
    EXPECT_GE(watch.ends, 3 + 10); // natural ends did happen during the presses
    EXPECT_EQ(decoder_state(), 1);
}
