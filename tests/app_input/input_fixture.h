// The program's tests that give the toolkit's own input to the real widgets
// (Linux only): key presses, mouse drags on a slider, clicks and right-clicks
// at a point of the list box, the pop-up menu. Everything else comes from the
// shared fixture.
#pragma once

#include "../app/app_fixture.h"
#include "../platform/slider_thumb.h"

#include "platform/testing.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QWidget>

#include <initializer_list>

// A real mouse click in the middle of a window.
inline void mouse_click(HWND window) {
    QTest::mouseClick(platform_test_widget(window), Qt::LeftButton);
    loop_settle();
}

// Whether a dialog is on screen.
inline bool shown(HWND dialog) {
    return IsWindow(dialog) && platform_test_widget(dialog)->window()->isVisible();
}

// A real key press and release on a window (it gets the focus first).
inline void key(HWND window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    SetFocus(window);
    QTest::keyClick(platform_test_widget(window), key, modifiers);
    loop_settle();
}

// Presses the mouse on a slider's thumb and moves it by each offset in turn
// (pixels from the press), letting the loop settle between them; the button
// is released at the last offset unless release is false.
inline void drag_slider(HWND slider, std::initializer_list<QPoint> offsets, bool release = true) {
    QWidget* widget = platform_test_widget(slider);
    QPoint start = thumb_centre(slider);
    QPoint at = start;
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, start);
    loop_settle();
    for (const QPoint& offset : offsets) {
        at = start + offset;
        QTest::mouseMove(widget, at);
        loop_settle();
    }
    if (release) {
        QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, at);
        loop_settle();
    }
}

// The centre of a playlist line, in the coordinates of the list box's widget.
inline QPoint line_point(int line) {
    RECT rect = {};
    SendMessageA(GetDlgItem(main_dialog, IDC_PLAYLIST), LB_GETITEMRECT, line, (LPARAM)&rect);
    return QPoint((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

inline void click_line(int line, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::mouseClick(platform_test_widget(GetDlgItem(main_dialog, IDC_PLAYLIST)), Qt::LeftButton,
                      modifiers, line_point(line));
    loop_settle();
}

// A user's double-click on a line: a click, then the second press that Qt
// reports as a double-click.
inline void mouse_double_click_line(int line) {
    QWidget* list = platform_test_widget(GetDlgItem(main_dialog, IDC_PLAYLIST));
    QTest::mouseClick(list, Qt::LeftButton, Qt::NoModifier, line_point(line));
    QTest::mouseDClick(list, Qt::LeftButton, Qt::NoModifier, line_point(line));
    loop_settle();
}

// A right-click at a point of the list box's widget; returns once any menu
// it opened has closed and its choice has been handled.
inline void right_click_at(QPoint point) {
    QTest::mouseClick(platform_test_widget(GetDlgItem(main_dialog, IDC_PLAYLIST)), Qt::RightButton,
                      Qt::NoModifier, point);
    loop_settle();
}

// Clicks the menu item with that identifier.
inline void choose_menu_item(QMenu* menu, int id) {
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator() && action->data().toInt() == id) {
            QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                              menu->actionGeometry(action).center());
            return;
        }
    }
    ADD_FAILURE() << "no menu item " << id;
    menu->close();
}
