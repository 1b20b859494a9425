// Trackbars: range packing and clamping, and the notifications a mouse drag,
// a channel click and key steps send to the dialog, driven with real input.
#include "slider_thumb.h"
#include "window_fixture.h"

#include <QTest>

namespace {

class TrackbarTest : public MainWindowTest {
  protected:
    LRESULT send(HWND slider, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
        return SendMessageA(slider, message, wparam, lparam);
    }
    // The codes (low words) of the scroll notifications received, in order.
    std::vector<int> codes(UINT message) {
        std::vector<int> found;
        for (const Received& r : received_of(message)) {
            found.push_back(LOWORD(r.wparam));
        }
        return found;
    }
};

} // namespace

TEST_F(TrackbarTest, RangeHalvesAreUnsignedAndPositionsAreClamped) {
    HWND time = item(1041);
    send(time, TBM_SETRANGE, FALSE, MAKELPARAM(0, 60000));
    EXPECT_EQ(send(time, TBM_GETRANGEMIN), 0);
    EXPECT_EQ(send(time, TBM_GETRANGEMAX), 60000);
    send(time, TBM_SETPOS, TRUE, 70000);
    EXPECT_EQ(send(time, TBM_GETPOS), 60000);
    send(time, TBM_SETPOS, TRUE, -5);
    EXPECT_EQ(send(time, TBM_GETPOS), 0);
    send(time, TBM_SETRANGE, FALSE, MAKELPARAM(10, 20));
    EXPECT_EQ(send(time, TBM_GETPOS), 10);
    send(time, TBM_SETPOS, TRUE, 15);
    send(time, TBM_SETRANGEMAX, TRUE, 12);
    EXPECT_EQ(send(time, TBM_GETPOS), 12);
    send(time, TBM_SETRANGEMIN, TRUE, 13);
    EXPECT_EQ(send(time, TBM_GETPOS), 13);
    EXPECT_TRUE(received.empty()); // messages from the program notify nothing
}

TEST_F(TrackbarTest, MouseDragTracksThenEndsWithPositionAndEndTrack) {
    HWND balance = item(1043);
    send(balance, TBM_SETRANGE, FALSE, MAKELPARAM(0, 200));
    send(balance, TBM_SETPOS, TRUE, 100);
    platform_test_settle();
    QWidget* widget = platform_test_widget(balance);
    QPoint start = thumb_centre(balance);
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(widget, start + QPoint(10, 0));
    QTest::mouseMove(widget, start + QPoint(25, 0));
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, start + QPoint(25, 0));
    ASSERT_TRUE(wait_for(WM_HSCROLL, 4));
    std::vector<int> seen = codes(WM_HSCROLL);
    std::vector<int> expected = {TB_THUMBTRACK, TB_THUMBTRACK, TB_THUMBPOSITION, TB_ENDTRACK};
    EXPECT_EQ(seen, expected);
    int position = static_cast<int>(send(balance, TBM_GETPOS));
    EXPECT_GT(position, 100);
    std::vector<Received> notes = received_of(WM_HSCROLL);
    EXPECT_EQ(HIWORD(notes[1].wparam), position); // the drag carries the position
    EXPECT_EQ(HIWORD(notes[2].wparam), position);
    EXPECT_EQ(reinterpret_cast<HWND>(notes[0].lparam), balance);
    EXPECT_EQ(GetFocus(), balance); // clicking a trackbar focuses it
}

TEST_F(TrackbarTest, ChannelClickPagesTowardsThePointer) {
    HWND volume = item(1042);
    send(volume, TBM_SETRANGE, FALSE, MAKELPARAM(0, 100));
    send(volume, TBM_SETPOS, TRUE, 50);
    platform_test_settle();
    QWidget* widget = platform_test_widget(volume);
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier,
                      QPoint(widget->width() - 4, widget->height() / 2));
    ASSERT_TRUE(wait_for(WM_HSCROLL, 2));
    std::vector<int> expected = {TB_PAGEDOWN, TB_ENDTRACK};
    EXPECT_EQ(codes(WM_HSCROLL), expected);
    EXPECT_EQ(send(volume, TBM_GETPOS), 70); // a page is a fifth of the range
}

TEST_F(TrackbarTest, KeyStepsNotifyEachStepThenEndTrackOnRelease) {
    HWND volume = item(1042);
    send(volume, TBM_SETRANGE, FALSE, MAKELPARAM(0, 100));
    send(volume, TBM_SETPOS, TRUE, 50);
    SetFocus(volume);
    QWidget* widget = platform_test_widget(volume);
    QTest::keyClick(widget, Qt::Key_Right);
    QTest::keyClick(widget, Qt::Key_Left);
    QTest::keyClick(widget, Qt::Key_Left);
    QTest::keyClick(widget, Qt::Key_PageUp);
    QTest::keyClick(widget, Qt::Key_End);
    ASSERT_TRUE(wait_for(WM_HSCROLL, 10));
    std::vector<int> expected = {TB_LINEDOWN, TB_ENDTRACK, TB_LINEUP,   TB_ENDTRACK, TB_LINEUP,
                                 TB_ENDTRACK, TB_PAGEUP,   TB_ENDTRACK, TB_BOTTOM,   TB_ENDTRACK};
    EXPECT_EQ(codes(WM_HSCROLL), expected);
    EXPECT_EQ(send(volume, TBM_GETPOS), 100);
    received.clear();
    QTest::keyClick(widget, Qt::Key_Right); // already at the maximum: no step, only the end
    ASSERT_TRUE(wait_for(WM_HSCROLL, 1));
    EXPECT_EQ(codes(WM_HSCROLL), std::vector<int>{TB_ENDTRACK});
}

static INT_PTR CALLBACK equalizer_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return recording_proc(window, message, wparam, lparam);
}

TEST_F(TrackbarTest, VerticalTrackbarHasItsMinimumAtTheTop) {
    HWND equalizer =
        CreateDialogParamA(nullptr, MAKEINTRESOURCEA(IDD_DIALOG3), dialog, equalizer_proc, 0);
    ASSERT_NE(equalizer, nullptr);
    HWND band = GetDlgItem(equalizer, 1044);
    send(band, TBM_SETRANGE, FALSE, MAKELPARAM(0, 200));
    send(band, TBM_SETPOS, TRUE, 100);
    platform_test_pump_until([&] { return platform_test_widget(equalizer)->isActiveWindow(); },
                             2000);
    SetFocus(band);
    QWidget* widget = platform_test_widget(band);
    QTest::keyClick(widget, Qt::Key_Down);
    ASSERT_TRUE(wait_for(WM_VSCROLL, 2));
    EXPECT_EQ(send(band, TBM_GETPOS), 101);
    std::vector<int> expected = {TB_LINEDOWN, TB_ENDTRACK};
    EXPECT_EQ(codes(WM_VSCROLL), expected);
    // Dragging the thumb upwards lowers the position.
    received.clear();
    QPoint start = thumb_centre(band);
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(widget, start - QPoint(0, 30));
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, start - QPoint(0, 30));
    ASSERT_TRUE(wait_for(WM_VSCROLL, 3));
    EXPECT_LT(send(band, TBM_GETPOS), 101);
    EXPECT_EQ(codes(WM_VSCROLL).back(), TB_ENDTRACK);
    DestroyWindow(equalizer);
}
