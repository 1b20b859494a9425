// GetFocus and SetFocus over Qt's focus widget.
#include "platform/qt/user/user.h"

#include <QApplication>

// The window SetFocus last gave the focus to: while no window of the program
// is active (an off-screen test, a window not yet mapped), the focus it holds
// within its own window is still the focus.
static QPointer<QWidget> last_focused_window;

HWND WINAPI GetFocus(void) {
    QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr) {
        QWidget* top = QApplication::activeWindow();
        if (top == nullptr) {
            top = last_focused_window;
        }
        focus = top != nullptr ? top->focusWidget() : nullptr;
    }
    HWND window = focus != nullptr ? window_from_widget(focus) : nullptr;
    return IsWindow(window) ? window : nullptr;
}

HWND WINAPI SetFocus(HWND window) {
    HWND previous = GetFocus();
    if (window == nullptr) {
        if (QWidget* focus = QApplication::focusWidget()) {
            focus->clearFocus();
        }
        return previous;
    }
    if (!IsWindow(window) || !window->widget) {
        return nullptr;
    }
    QWidget* widget = window->widget;
    QWidget* top = widget->window();
    if (top->isVisible() && !top->isActiveWindow()) {
        top->activateWindow();
    }
    widget->setFocus(Qt::OtherFocusReason);
    last_focused_window = top;
    return previous;
}
