// Qt key and mouse events as window messages, and their return to Qt.
#include "platform/qt/user/user.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

// The virtual-key code of a Qt key, or 0 for keys the program never sees.
static WPARAM virtual_key(const QKeyEvent* event) {
    int key = event->key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        return static_cast<WPARAM>('A' + (key - Qt::Key_A));
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        if (event->modifiers() & Qt::KeypadModifier) {
            return static_cast<WPARAM>(0x60 + (key - Qt::Key_0)); // VK_NUMPAD0...
        }
        return static_cast<WPARAM>('0' + (key - Qt::Key_0));
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return static_cast<WPARAM>(0x70 + (key - Qt::Key_F1)); // VK_F1...
    }
    switch (key) {
    case Qt::Key_Backspace:
        return 0x08;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Shift:
        return VK_SHIFT;
    case Qt::Key_Control:
        return VK_CONTROL;
    case Qt::Key_Alt:
        return VK_MENU;
    case Qt::Key_Pause:
        return 0x13;
    case Qt::Key_CapsLock:
        return 0x14;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_PageUp:
        return VK_PRIOR;
    case Qt::Key_PageDown:
        return VK_NEXT;
    case Qt::Key_End:
        return VK_END;
    case Qt::Key_Home:
        return VK_HOME;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Print:
        return 0x2C;
    case Qt::Key_Insert:
        return 0x2D;
    case Qt::Key_Delete:
        return VK_DELETE;
    case Qt::Key_Meta:
        return 0x5B; // VK_LWIN
    case Qt::Key_Menu:
        return 0x5D; // VK_APPS
    case Qt::Key_NumLock:
        return 0x90;
    case Qt::Key_ScrollLock:
        return 0x91;
    case Qt::Key_Asterisk:
        return 0x6A; // VK_MULTIPLY
    case Qt::Key_Plus:
        return (event->modifiers() & Qt::KeypadModifier) ? 0x6B : 0xBB; // VK_ADD, VK_OEM_PLUS
    case Qt::Key_Comma:
        return 0xBC;
    case Qt::Key_Minus:
        return (event->modifiers() & Qt::KeypadModifier) ? 0x6D : 0xBD;
    case Qt::Key_Period:
        return (event->modifiers() & Qt::KeypadModifier) ? 0x6E : 0xBE;
    case Qt::Key_Slash:
        return (event->modifiers() & Qt::KeypadModifier) ? 0x6F : 0xBF;
    default:
        return 0;
    }
}

static unsigned modifier_flags(Qt::KeyboardModifiers modifiers) {
    unsigned flags = 0;
    if (modifiers & Qt::ShiftModifier) {
        flags |= MK_SHIFT;
    }
    if (modifiers & Qt::ControlModifier) {
        flags |= MK_CONTROL;
    }
    return flags;
}

static bool route_key(HWND window, QWidget* receiver, QKeyEvent* event) {
    bool press = event->type() == QEvent::KeyPress;
    if (!press && event->isAutoRepeat()) {
        return true; // Windows repeats key-downs without key-ups
    }
    if (window_input_blocked(window)) {
        return true;
    }
    WPARAM vk = virtual_key(event);
    if (vk == 0) {
        return false;
    }
    bool alt = (event->modifiers() & Qt::AltModifier) != 0 && vk != VK_MENU;
    QueuedMessage queued;
    queued.msg.hwnd = window;
    queued.msg.message =
        press ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
    queued.msg.wParam = vk;
    LPARAM lparam = 1 | static_cast<LPARAM>((event->nativeScanCode() & 0xFF) << 16);
    if (press && event->isAutoRepeat()) {
        lparam |= 1L << 30;
    }
    if (!press) {
        lparam |= 3L << 30;
    }
    queued.msg.lParam = lparam;
    queued.event.reset(event->clone());
    queued.target = receiver;
    queued.modifiers = modifier_flags(event->modifiers());
    queue_post(std::move(queued));
    return true;
}

static bool route_mouse(HWND window, QWidget* receiver, QMouseEvent* event) {
    if (window_input_blocked(window)) {
        return true;
    }
    UINT message;
    int kind = event->type() == QEvent::MouseButtonPress     ? 0
               : event->type() == QEvent::MouseButtonRelease ? 1
                                                             : 2;
    if (event->type() == QEvent::MouseMove) {
        message = WM_MOUSEMOVE;
    } else if (event->button() == Qt::LeftButton) {
        message = WM_LBUTTONDOWN + static_cast<UINT>(kind);
    } else if (event->button() == Qt::RightButton) {
        message = WM_RBUTTONDOWN + static_cast<UINT>(kind);
    } else if (event->button() == Qt::MiddleButton) {
        message = WM_MBUTTONDOWN + static_cast<UINT>(kind);
    } else {
        return true; // buttons Windows has no message for here
    }
    WPARAM keys = modifier_flags(event->modifiers());
    if (event->buttons() & Qt::LeftButton) {
        keys |= MK_LBUTTON;
    }
    if (event->buttons() & Qt::RightButton) {
        keys |= MK_RBUTTON;
    }
    if (event->buttons() & Qt::MiddleButton) {
        keys |= MK_MBUTTON;
    }
    QWidget* client = window->client ? window->client.data() : receiver;
    QPoint at = client->mapFromGlobal(event->globalPosition().toPoint());
    QueuedMessage queued;
    queued.msg.hwnd = window;
    queued.msg.message = message;
    queued.msg.wParam = keys;
    queued.msg.lParam = MAKELPARAM(static_cast<short>(at.x()), static_cast<short>(at.y()));
    queued.msg.pt = {event->globalPosition().toPoint().x(), event->globalPosition().toPoint().y()};
    queued.event.reset(event->clone());
    queued.target = receiver;
    queued.modifiers = modifier_flags(event->modifiers());
    queue_post(std::move(queued));
    return true;
}

bool input_route_wheel(HWND window, QWidget* receiver, QWheelEvent* event) {
    if (window == nullptr || !window->alive) {
        return false;
    }
    if (window_input_blocked(window)) {
        return true;
    }
    // Away from the user is positive on both sides; a turn along the other
    // axis (a tilt, or Shift on some desktops) counts as well.
    QPoint angle = event->angleDelta();
    int delta = angle.y() != 0 ? angle.y() : angle.x();
    if (delta == 0) {
        return true;
    }
    WPARAM keys = modifier_flags(event->modifiers());
    QPoint global = event->globalPosition().toPoint();
    QueuedMessage queued;
    queued.msg.hwnd = window;
    queued.msg.message = WM_MOUSEWHEEL;
    queued.msg.wParam = MAKEWPARAM(keys, static_cast<WORD>(static_cast<short>(delta)));
    queued.msg.lParam = MAKELPARAM(static_cast<short>(global.x()), static_cast<short>(global.y()));
    queued.msg.pt = {global.x(), global.y()};
    queued.event.reset(event->clone());
    queued.target = receiver;
    queued.modifiers = modifier_flags(event->modifiers());
    queue_post(std::move(queued));
    return true;
}

bool input_route(HWND window, QWidget* receiver, QEvent* event, bool take_mouse) {
    if (window == nullptr || !window->alive) {
        return false;
    }
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        return route_key(window, receiver, static_cast<QKeyEvent*>(event));
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        if (!take_mouse) {
            return window_input_blocked(window);
        }
        return route_mouse(window, receiver, static_cast<QMouseEvent*>(event));
    case QEvent::Wheel:
        return window_input_blocked(window);
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return drop_route(window, event);
    default:
        return false;
    }
}

void input_default(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    QueuedMessage* input = queue_current_input();
    if (input == nullptr || input->delivered || input->msg.hwnd != window ||
        input->msg.message != message || input->msg.wParam != wparam ||
        input->msg.lParam != lparam || !input->target) {
        return;
    }
    WindowView* view = dynamic_cast<WindowView*>(input->target.data());
    if (view == nullptr) {
        return;
    }
    input->delivered = true;
    view->deliver_input(input->event.get());
}

QString input_typed_text(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    QueuedMessage* input = queue_current_input();
    if (input == nullptr || input->msg.hwnd != window || input->msg.message != message ||
        input->msg.wParam != wparam || input->msg.lParam != lparam || !input->event ||
        input->event->type() != QEvent::KeyPress) {
        return QString();
    }
    return static_cast<const QKeyEvent*>(input->event.get())->text();
}

short WINAPI GetKeyState(int key) {
    unsigned held = input_modifier_keys();
    bool down =
        (key == VK_SHIFT && (held & MK_SHIFT)) || (key == VK_CONTROL && (held & MK_CONTROL));
    return down ? static_cast<short>(0x8000) : 0;
}

unsigned input_modifier_keys() {
    return queue_key_state();
}
