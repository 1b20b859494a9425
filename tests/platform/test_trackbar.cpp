// Trackbars: range packing and clamping, and the notifications a mouse drag,
// a channel click, the wheel and key steps send to the dialog, driven with real input.
#include "slider_thumb.h"
#include "window_fixture.h"

#include <QCoreApplication>
#include <QTest>
#include <QWheelEvent>

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

TEST_F(TrackbarTest, RangeHalvesAreSignedAndPositionsAreClamped) {
    HWND time = item(1041);
    // TBM_SETRANGE's words are signed 16-bit values, as the real control
    // reads them; the one-end messages take the whole 32 bits.
    struct {
        UINT message;
        LPARAM range;
        int minimum, maximum;
    } const ranges[] = {
        {TBM_SETRANGE, MAKELPARAM(0, 32767), 0, 32767},
        {TBM_SETRANGE, MAKELPARAM(0, 32768), 0, -32768},
        {TBM_SETRANGE, MAKELPARAM(0, 40000), 0, -25536},
        {TBM_SETRANGE, MAKELPARAM(-10, 10), -10, 10},
        {TBM_SETRANGEMAX, 60000, -10, 60000},
        {TBM_SETRANGEMIN, 0, 0, 60000},
        {TBM_SETRANGEMAX, 2000000, 0, 2000000},
    };
    for (const auto& r : ranges) {
        send(time, r.message, FALSE, r.range);
        EXPECT_EQ(send(time, TBM_GETRANGEMIN), r.minimum) << r.range;
        EXPECT_EQ(send(time, TBM_GETRANGEMAX), r.maximum) << r.range;
    }
    send(time, TBM_SETPOS, TRUE, 2000001);
    EXPECT_EQ(send(time, TBM_GETPOS), 2000000);
    send(time, TBM_SETPOS, TRUE, -5);
    EXPECT_EQ(send(time, TBM_GETPOS), 0);
    send(time, TBM_SETRANGE, FALSE, MAKELPARAM(10, 20));
    EXPECT_EQ(send(time, TBM_GETPOS), 10);
    send(time, TBM_SETPOS, TRUE, 15);
    send(time, TBM_SETRANGEMAX, TRUE, 12);
    EXPECT_EQ(send(time, TBM_GETPOS), 12);
    send(time, TBM_SETRANGEMIN, TRUE, 13);
    EXPECT_EQ(send(time, TBM_GETPOS), 13);
    // A maximum below the minimum wins, as on Windows: the thumb sits there.
    send(time, TBM_SETRANGE, FALSE, MAKELPARAM(0, 40000));
    EXPECT_EQ(send(time, TBM_GETPOS), -25536);
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

TEST_F(TrackbarTest, AMessageTheClassDoesNotImplementEndsTheTestProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    HWND volume = item(1042);
    EXPECT_DEATH(send(volume, WM_USER + 4, 0, 5),
                 "message 0x0404 not implemented for control 1042");
}

// One turn of the wheel over the widget, in eighths of a degree (120 a notch).
static void turn_wheel(QWidget* widget, int delta, Qt::KeyboardModifiers modifiers = {}) {
    QPointF inside(widget->width() / 2.0, widget->height() / 2.0);
    QWheelEvent wheel(inside, widget->mapToGlobal(inside), QPoint(), QPoint(0, delta), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(widget, &wheel);
}

TEST_F(TrackbarTest, EachWheelNotchStepsALineAsAKeyStepDoes) {
    HWND volume = item(1042);
    send(volume, TBM_SETRANGE, FALSE, MAKELPARAM(0, 100));
    platform_test_settle();
    QWidget* widget = platform_test_widget(volume);
    // Away from the user is towards the minimum, as a scroll bar's line up.
    struct {
        int start;
        std::vector<int> deltas;
        int line;
        int end;
        std::vector<int> codes;
    } const cases[] = {
        {50, {120}, 1, 49, {TB_LINEUP, TB_ENDTRACK}},
        {50, {-120}, 1, 51, {TB_LINEDOWN, TB_ENDTRACK}},
        {50, {-240}, 5, 60, {TB_LINEDOWN, TB_ENDTRACK, TB_LINEDOWN, TB_ENDTRACK}},
        {50, {60, 30, 30}, 1, 49, {TB_LINEUP, TB_ENDTRACK}}, // a smooth wheel's parts add up
        {0, {120}, 1, 0, {}},                                // already at the minimum
        {99, {-360}, 1, 100, {TB_LINEDOWN, TB_ENDTRACK}},    // stops at the maximum
        {50, {60}, 1, 50, {}},                               // half a notch does nothing
    };
    for (const auto& c : cases) {
        send(volume, TBM_SETPOS, TRUE, c.start);
        send(volume, TBM_SETLINESIZE, 0, c.line);
        received.clear();
        for (int delta : c.deltas) {
            turn_wheel(widget, delta);
        }
        platform_test_settle();
        EXPECT_EQ(codes(WM_HSCROLL), c.codes) << c.start << " " << c.deltas.front();
        EXPECT_EQ(send(volume, TBM_GETPOS), c.end) << c.start << " " << c.deltas.front();
    }
    EXPECT_NE(GetFocus(), volume); // the wheel moves the slider under the pointer, unfocused
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
