// The playlist list box: lines and their selection through insertions and
// deletions, the packed range, the caret, mouse and keyboard selection,
// double-click notification and subclassing, on the real main window.
#include "window_fixture.h"

#include <QAbstractScrollArea>
#include <QScrollBar>
#include <QTest>

#include <string>

namespace {

class ListBoxTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        list = item(1020);
        ASSERT_NE(list, nullptr);
    }
    LRESULT send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
        return SendMessageA(list, message, wparam, lparam);
    }
    void add(int count) {
        for (int i = 0; i < count; ++i) {
            std::string text = "line " + std::to_string(i);
            send(LB_INSERTSTRING, static_cast<WPARAM>(send(LB_GETCOUNT)),
                 reinterpret_cast<LPARAM>(text.c_str()));
        }
    }
    std::string text(int index) {
        char buffer[64] = {};
        send(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer));
        return buffer;
    }
    std::string selection() {
        std::string marks;
        for (int i = 0; i < send(LB_GETCOUNT); ++i) {
            marks += send(LB_GETSEL, static_cast<WPARAM>(i)) ? 'x' : '.';
        }
        return marks;
    }
    // The centre of a line in the list area's coordinates.
    QPoint line_point(int index) {
        RECT rect;
        send(LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect));
        return QPoint((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    }

    HWND list = nullptr;
};

} // namespace

TEST_F(ListBoxTest, SelectionTravelsWithItsLineThroughInsertionsAndDeletions) {
    add(6);
    send(LB_SETSEL, TRUE, 1);
    send(LB_SETSEL, TRUE, 2);
    send(LB_SETSEL, TRUE, 4);
    EXPECT_EQ(selection(), ".xx.x.");
    // Moving lines 1-2 up as the playlist does: delete the line above, insert it below.
    std::string above = text(0);
    send(LB_DELETESTRING, 0);
    EXPECT_EQ(selection(), "xx.x.");
    send(LB_INSERTSTRING, 2, reinterpret_cast<LPARAM>(above.c_str()));
    EXPECT_EQ(selection(), "xx..x.");
    EXPECT_EQ(text(0), "line 1");
    EXPECT_EQ(text(2), "line 0");
    EXPECT_EQ(send(LB_GETSELCOUNT), 3);
    EXPECT_EQ(send(LB_DELETESTRING, 6), LB_ERR);
    EXPECT_EQ(send(LB_INSERTSTRING, 8, reinterpret_cast<LPARAM>("x")), LB_ERR);
    EXPECT_EQ(send(LB_DELETESTRING, 0), 5);
    EXPECT_EQ(selection(), "x..x.");
    send(LB_RESETCONTENT);
    EXPECT_EQ(send(LB_GETCOUNT), 0);
    EXPECT_EQ(send(LB_GETSELCOUNT), 0);
}

TEST_F(ListBoxTest, RangeSelectionTakesSixteenBitHalvesAndMinusOneMeansEveryLine) {
    send(LB_SELITEMRANGE, TRUE, MAKELPARAM(0, 0xFFFF)); // empty: nothing to select
    EXPECT_EQ(send(LB_GETSELCOUNT), 0);
    add(8);
    send(LB_SELITEMRANGE, TRUE, MAKELPARAM(2, 5));
    EXPECT_EQ(selection(), "..xxxx..");
    send(LB_SELITEMRANGE, FALSE, MAKELPARAM(3, 4));
    EXPECT_EQ(selection(), "..x..x..");
    send(LB_SELITEMRANGE, TRUE, MAKELPARAM(0, 0xFFFF));
    EXPECT_EQ(send(LB_GETSELCOUNT), 8);
    send(LB_SETSEL, FALSE, -1);
    EXPECT_EQ(selection(), "........");
    send(LB_SETSEL, TRUE, -1);
    EXPECT_EQ(selection(), "xxxxxxxx");
}

TEST_F(ListBoxTest, LongListsBeyondSixteenBitsAreSelectedWholeByMinusOneOrTheWideRange) {
    send(WM_SETREDRAW, FALSE);
    for (int i = 0; i < 70000; ++i) {
        send(LB_INSERTSTRING, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>("x"));
    }
    send(WM_SETREDRAW, TRUE);
    send(LB_SELITEMRANGE, TRUE, MAKELPARAM(0, 69999));
    EXPECT_EQ(send(LB_GETSELCOUNT), (69999 & 0xFFFF) + 1); // the last line wrapped to 4463
    send(LB_SETSEL, TRUE, -1);
    EXPECT_EQ(send(LB_GETSELCOUNT), 70000);
    EXPECT_NE(send(LB_GETSEL, 69999), 0);
    send(LB_SETSEL, FALSE, -1);
    send(LB_SELITEMRANGEEX, 0, 69999);
    EXPECT_EQ(send(LB_GETSELCOUNT), 70000);
    EXPECT_NE(send(LB_GETSEL, 69999), 0);
}

TEST_F(ListBoxTest, TheWideRangeLeavesAnchorAndCaretWhereSetSelPutsThem) {
    add(8);
    send(LB_SETSEL, TRUE, 2); // a line selected alone takes the anchor and the caret
    EXPECT_EQ(send(LB_GETANCHORINDEX), 2);
    EXPECT_EQ(send(LB_GETCARETINDEX), 2);
    send(LB_SELITEMRANGEEX, 4, 6);
    EXPECT_EQ(selection(), "..x.xxx.");
    send(LB_SELITEMRANGEEX, 5, 4); // first above last: the range is deselected
    EXPECT_EQ(selection(), "..x...x.");
    send(LB_SELITEMRANGEEX, 0, 7);
    EXPECT_EQ(selection(), "xxxxxxxx");
    EXPECT_EQ(send(LB_GETANCHORINDEX), 2);
    EXPECT_EQ(send(LB_GETCARETINDEX), 2);
}

TEST_F(ListBoxTest, CaretIsKeptApartFromTheSelection) {
    add(5);
    send(LB_SETSEL, TRUE, 3);
    EXPECT_EQ(send(LB_GETCURSEL), 3); // selecting a line puts the caret on it
    send(LB_SETCARETINDEX, 1, 0);
    EXPECT_EQ(send(LB_GETCURSEL), 1);
    EXPECT_EQ(send(LB_GETCARETINDEX), 1);
    EXPECT_EQ(selection(), "...x.");
    send(LB_SELITEMRANGE, TRUE, MAKELPARAM(0, 4));
    EXPECT_EQ(send(LB_GETCURSEL), 1); // a range leaves the caret alone
    EXPECT_EQ(send(LB_SETCARETINDEX, 9, 0), LB_ERR);
    send(LB_DELETESTRING, 4);
    send(LB_DELETESTRING, 3);
    send(LB_DELETESTRING, 2);
    send(LB_DELETESTRING, 1);
    EXPECT_EQ(send(LB_GETCURSEL), 0); // the caret stays within the lines
}

TEST_F(ListBoxTest, LongListScrollsToTheCaretAndShowsItsScrollBar) {
    add(100);
    platform_test_settle();
    auto* box = qobject_cast<QAbstractScrollArea*>(platform_test_widget(list)->parentWidget());
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->verticalScrollBar()->isVisible());
    EXPECT_EQ(send(LB_GETTOPINDEX), 0);
    send(LB_SETCARETINDEX, 99, 0);
    platform_test_settle();
    EXPECT_GT(send(LB_GETTOPINDEX), 50);
    EXPECT_EQ(box->verticalScrollBar()->value(), send(LB_GETTOPINDEX));
    LRESULT found = send(LB_ITEMFROMPOINT, 0, MAKELPARAM(5, 1));
    EXPECT_EQ(HIWORD(found), 0); // inside the list
    EXPECT_EQ(LOWORD(found), send(LB_GETTOPINDEX));
    send(LB_RESETCONTENT);
    platform_test_settle();
    EXPECT_FALSE(box->verticalScrollBar()->isVisible());
}

TEST_F(ListBoxTest, MouseSelectsAsAnExtendedSelectionListBox) {
    add(6);
    platform_test_settle();
    QWidget* area = platform_test_widget(list);
    QTest::mouseClick(area, Qt::LeftButton, Qt::NoModifier, line_point(1));
    platform_test_pump_until([&] { return selection() == ".x...."; }, 1000);
    EXPECT_EQ(selection(), ".x....");
    EXPECT_EQ(GetFocus(), list);
    QTest::mouseClick(area, Qt::LeftButton, Qt::ShiftModifier, line_point(3));
    platform_test_pump_until([&] { return selection() == ".xxx.."; }, 1000);
    EXPECT_EQ(selection(), ".xxx..");
    QTest::mouseClick(area, Qt::LeftButton, Qt::ControlModifier, line_point(5));
    platform_test_pump_until([&] { return selection() == ".xxx.x"; }, 1000);
    EXPECT_EQ(selection(), ".xxx.x");
    QTest::mouseClick(area, Qt::LeftButton, Qt::ControlModifier, line_point(2));
    platform_test_pump_until([&] { return selection() == ".x.x.x"; }, 1000);
    EXPECT_EQ(selection(), ".x.x.x");
    EXPECT_EQ(send(LB_GETCURSEL), 2);
    QTest::keyClick(area, Qt::Key_Down);
    platform_test_pump_until([&] { return selection() == "...x.."; }, 1000);
    EXPECT_EQ(selection(), "...x..");
    QTest::keyClick(area, Qt::Key_Down, Qt::ShiftModifier);
    platform_test_pump_until([&] { return selection() == "...xx."; }, 1000);
    EXPECT_EQ(selection(), "...xx.");
    EXPECT_EQ(send(LB_GETCURSEL), 4);
}

TEST_F(ListBoxTest, ATypedCharacterMovesToTheNextLineStartingWithIt) {
    const char* lines[] = {"Alpha",
                           "bravo",
                           "Beta",
                           "charlie",
                           "\xC3\x89"
                           "cho",
                           "alto"};
    for (const char* line : lines) {
        send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }
    for (int i = 6; i < 39; ++i) {
        std::string line = "x " + std::to_string(i);
        send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
    send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Omega"));
    platform_test_settle();
    QWidget* area = platform_test_widget(list);
    QTest::mouseClick(area, Qt::LeftButton, Qt::NoModifier, line_point(0));
    platform_test_pump_until([&] { return send(LB_GETSEL, 0) == 1; }, 1000);
    // From the caret onwards, case folded, wrapping; the line found becomes
    // the caret, the anchor and the only line selected, scrolled into view.
    struct {
        Qt::Key key;
        const char* text;
        Qt::KeyboardModifiers modifiers;
        int caret;
    } const steps[] = {
        {Qt::Key_B, "b", Qt::NoModifier, 1},       {Qt::Key_B, "B", Qt::ShiftModifier, 2},
        {Qt::Key_B, "b", Qt::NoModifier, 1},       {Qt::Key_A, "a", Qt::NoModifier, 5},
        {Qt::Key_A, "a", Qt::NoModifier, 0},       {Qt::Key_Eacute, "\u00e9", Qt::NoModifier, 4},
        {Qt::Key_O, "o", Qt::NoModifier, 39},      {Qt::Key_Q, "q", Qt::NoModifier, 39},
        {Qt::Key_C, "c", Qt::ControlModifier, 39}, {Qt::Key_C, "c", Qt::NoModifier, 3},
    };
    int step = 0;
    for (const auto& s : steps) {
        QTest::sendKeyEvent(QTest::Click, area, s.key, QString::fromUtf8(s.text), s.modifiers);
        platform_test_pump_until([&] { return send(LB_GETCARETINDEX) == s.caret; }, 1000);
        platform_test_settle();
        EXPECT_EQ(send(LB_GETCARETINDEX), s.caret) << "step " << step;
        EXPECT_EQ(send(LB_GETSELCOUNT), 1) << "step " << step;
        EXPECT_EQ(send(LB_GETSEL, static_cast<WPARAM>(s.caret)), 1) << "step " << step;
        int top = static_cast<int>(send(LB_GETTOPINDEX));
        RECT rect;
        send(LB_GETITEMRECT, static_cast<WPARAM>(s.caret), reinterpret_cast<LPARAM>(&rect));
        EXPECT_TRUE(top <= s.caret && rect.bottom <= area->height()) << "step " << step;
        ++step;
    }
    // Shift with an arrow selects from the anchor the search left.
    QTest::keyClick(area, Qt::Key_Down, Qt::ShiftModifier);
    platform_test_pump_until([&] { return send(LB_GETSELCOUNT) == 2; }, 1000);
    EXPECT_EQ(send(LB_GETSEL, 3), 1);
    EXPECT_EQ(send(LB_GETSEL, 4), 1);
}

TEST_F(ListBoxTest, DoubleClickNotifiesTheDialog) {
    add(3);
    platform_test_settle();
    // A user's double-click: a click, then the second press that Qt reports as a double-click.
    QTest::mouseClick(platform_test_widget(list), Qt::LeftButton, Qt::NoModifier, line_point(2));
    QTest::mouseDClick(platform_test_widget(list), Qt::LeftButton, Qt::NoModifier, line_point(2));
    auto double_clicked = [&] {
        for (const Received& r : received_of(WM_COMMAND)) {
            if (LOWORD(r.wparam) == 1020 && HIWORD(r.wparam) == LBN_DBLCLK &&
                reinterpret_cast<HWND>(r.lparam) == list) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(platform_test_pump_until(double_clicked, 1000));
    EXPECT_EQ(send(LB_GETCURSEL), 2);
}

// ===== Subclassing =====

static WNDPROC previous_proc = nullptr;
static std::vector<Received> subclass_saw;

static LRESULT CALLBACK subclass_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_RBUTTONDOWN ||
        message == WM_RBUTTONUP || message == WM_LBUTTONDBLCLK) {
        subclass_saw.push_back({window, message, wparam, lparam});
    }
    if (message == WM_KEYDOWN && wparam == VK_CONTROL) {
        return 0; // taken, as the playlist's subclass does
    }
    return CallWindowProcA(previous_proc, window, message, wparam, lparam);
}

TEST_F(ListBoxTest, InputReachesTheSubclassProcedureWhichPassesTheRestOn) {
    add(4);
    platform_test_settle();
    subclass_saw.clear();
    previous_proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(list, GWLP_WNDPROC));
    ASSERT_NE(previous_proc, nullptr);
    SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclass_proc));
    EXPECT_EQ(GetWindowLongPtrA(list, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(subclass_proc));
    QWidget* area = platform_test_widget(list);
    SetFocus(list);

    QTest::keyPress(area, Qt::Key_Control);
    QTest::keyRelease(area, Qt::Key_Control, Qt::NoModifier);
    QPoint at = line_point(2);
    QTest::mousePress(area, Qt::RightButton, Qt::NoModifier, at);
    QTest::mouseRelease(area, Qt::RightButton, Qt::NoModifier, at);
    QTest::keyClick(area, Qt::Key_End);
    ASSERT_TRUE(platform_test_pump_until([] { return subclass_saw.size() >= 6; }, 1000));

    EXPECT_EQ(subclass_saw[0].message, WM_KEYDOWN);
    EXPECT_EQ(subclass_saw[0].wparam, static_cast<WPARAM>(VK_CONTROL));
    EXPECT_EQ(subclass_saw[1].message, WM_KEYUP);
    EXPECT_EQ(subclass_saw[2].message, WM_RBUTTONDOWN);
    EXPECT_EQ(subclass_saw[3].message, WM_RBUTTONUP);
    EXPECT_EQ(LOWORD(subclass_saw[3].lparam), at.x());
    EXPECT_EQ(HIWORD(subclass_saw[3].lparam), at.y());
    EXPECT_EQ(subclass_saw[4].message, WM_KEYDOWN);
    EXPECT_EQ(subclass_saw[4].wparam, static_cast<WPARAM>(VK_END));
    // The original procedure gave End its meaning.
    EXPECT_EQ(send(LB_GETCURSEL), 3);

    // The point a right-click gives, in screen coordinates, finds its line.
    POINT screen = {LOWORD(subclass_saw[3].lparam), HIWORD(subclass_saw[3].lparam)};
    ClientToScreen(list, &screen);
    EXPECT_EQ(LBItemFromPt(list, screen, FALSE), 2);
    RECT client;
    GetClientRect(list, &client);
    POINT below = {5, client.bottom - 2};
    ClientToScreen(list, &below);
    EXPECT_EQ(LBItemFromPt(list, below, FALSE), -1); // below the last line
}
