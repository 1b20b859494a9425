// Window handles: the registry, window data and subclassing, SendMessageA,
// DefWindowProcA, text, visibility, enabling, destruction, coordinates.
#include "platform/qt/user/user.h"

#include "platform/qt/system/system.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHash>
#include <QLoggingCategory>
#include <QThread>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_set>

// Every window ever made: records are kept so that stale handles stay safe
// to look at. UI thread only.
static std::vector<std::unique_ptr<HWND__>> all_windows;
static QHash<const QWidget*, HWND> window_of_widget;

// Live handles, for PostMessageA from other threads.
static std::mutex live_mutex;
static std::unordered_set<HWND> live_windows; // guarded by live_mutex
// The handle SendMessageA last found alive, so that the thousands of
// messages a command sends one list box in a row look it up once. UI thread
// only; cleared when that window dies.
static HWND last_sent_alive = nullptr;

LRESULT WindowView::message(UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(handle, message, wparam, lparam);
}

void WindowView::show_text(const QString&) {}

void WindowView::show_font(const QFont& font, bool redraw) {
    QWidget* widget = dynamic_cast<QWidget*>(this);
    if (widget != nullptr) {
        widget->setFont(font);
        if (redraw) {
            widget->update();
        }
    }
}

void WindowView::deliver_input(QEvent*) {}

static constexpr int dwlp_user = static_cast<int>(DWLP_USER);

static void mark_dead(HWND window) {
    if (!window->alive) {
        return;
    }
    window->alive = false;
    if (last_sent_alive == window) {
        last_sent_alive = nullptr;
    }
    if (window->widget) {
        window_of_widget.remove(window->widget.data());
    }
    std::lock_guard<std::mutex> lock(live_mutex);
    live_windows.erase(window);
}

HWND window_create(WindowKind kind, QWidget* widget, WindowView* view) {
    all_windows.push_back(std::make_unique<HWND__>());
    HWND window = all_windows.back().get();
    window->kind = kind;
    window->widget = widget;
    window->view = view;
    window->client = widget;
    window->proc = view_class_proc;
    view->handle = window;
    window_of_widget.insert(widget, window);
    // By the time Qt reports the destruction the QPointer is already null,
    // so the widget's own address is what leaves the map.
    QObject::connect(widget, &QObject::destroyed, [window, widget] {
        if (window->alive) {
            timers_kill_window(window);
        }
        mark_dead(window);
        if (window_of_widget.value(widget) == window) {
            window_of_widget.remove(widget);
        }
    });
    std::lock_guard<std::mutex> lock(live_mutex);
    live_windows.insert(window);
    return window;
}

HWND window_from_widget(const QWidget* widget) {
    for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        HWND window = window_of_widget.value(w, nullptr);
        if (window != nullptr) {
            return window;
        }
        if (w->isWindow()) {
            break;
        }
    }
    return nullptr;
}

bool window_alive_any_thread(HWND window) {
    std::lock_guard<std::mutex> lock(live_mutex);
    return live_windows.count(window) > 0;
}

std::vector<HWND> windows_alive_dialogs() {
    std::vector<HWND> dialogs;
    for (const auto& window : all_windows) {
        if (window->alive && window->kind == WindowKind::dialog) {
            dialogs.push_back(window.get());
        }
    }
    return dialogs;
}

void windows_destroy_all() {
    for (std::size_t i = 0; i < all_windows.size(); ++i) {
        HWND window = all_windows[i].get();
        if (window->alive && window->kind == WindowKind::dialog) {
            DestroyWindow(window);
        }
    }
}

HWND window_owned_popup(HWND owner) {
    HWND found = nullptr;
    for (const auto& window : all_windows) {
        if (window->alive && window->owner == owner && (window->style & WS_VISIBLE) &&
            !(window->style & WS_DISABLED)) {
            found = window.get();
        }
    }
    return found;
}

HWND window_top_level(HWND window) {
    while (window != nullptr && window->kind != WindowKind::dialog) {
        window = window->parent;
    }
    return window;
}

bool window_input_blocked(HWND window) {
    for (HWND w = window; w != nullptr; w = w->parent) {
        if (!w->alive || (w->style & WS_DISABLED) != 0) {
            return true;
        }
    }
    return false;
}

LRESULT window_notify_parent(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
    if (control->parent == nullptr) {
        return 0;
    }
    return SendMessageA(control->parent, message, wparam, lparam);
}

int mul_div(int value, int numerator, int denominator) {
    if (denominator == 0) {
        return -1;
    }
    long long product = static_cast<long long>(value) * numerator;
    long long half = std::llabs(static_cast<long long>(denominator)) / 2;
    bool negative = (product < 0) != (denominator < 0);
    long long magnitude =
        (std::llabs(product) + half) / std::llabs(static_cast<long long>(denominator));
    return static_cast<int>(negative ? -magnitude : magnitude);
}

Q_LOGGING_CATEGORY(unimplemented_messages, unimplemented_category)

void window_unimplemented(HWND window, UINT message) {
    qCCritical(unimplemented_messages, "message 0x%04x not implemented for control %d", message,
               window->id);
}

QWidget* platform_widget(HWND window) {
    return IsWindow(window) ? window->widget.data() : nullptr;
}

// ===== Procedures and messages =====

static bool is_input_message(UINT message) {
    return (message >= WM_KEYDOWN && message <= WM_SYSKEYUP) ||
           (message >= WM_MOUSEMOVE && message <= WM_MBUTTONDBLCLK);
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (!IsWindow(window)) {
        return 0;
    }
    switch (message) {
    case WM_SETTEXT:
        window->text = lparam != 0 ? reinterpret_cast<const char*>(lparam) : "";
        if (window->widget) {
            window->view->show_text(ansi_to_qstring(window->text.c_str()));
        }
        return TRUE;
    case WM_GETTEXT: {
        char* buffer = reinterpret_cast<char*>(lparam);
        if (buffer == nullptr || wparam == 0) {
            return 0;
        }
        std::size_t n = std::min<std::size_t>(window->text.size(), wparam - 1);
        std::memcpy(buffer, window->text.data(), n);
        buffer[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(window->text.size());
    case WM_SETFONT:
        window->font = reinterpret_cast<HFONT>(wparam);
        if (window->widget) {
            window->view->show_font(font_to_qfont(window->font), LOWORD(lparam) != 0);
        }
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(window->font);
    case WM_SETREDRAW:
        if (window->widget) {
            window->widget->setUpdatesEnabled(wparam != 0);
        }
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_CONTEXTMENU:
        // A control that does not take it passes it to its dialog.
        if (window->parent != nullptr) {
            return SendMessageA(window->parent, message, wparam, lparam);
        }
        return 0;
    default:
        // The menu key and Shift+F10 ask for the context menu, placed by
        // the window itself (coordinates -1, -1).
        if ((message == WM_KEYUP && wparam == VK_APPS) ||
            ((message == WM_KEYDOWN || message == WM_SYSKEYDOWN) && wparam == VK_F10 &&
             (input_modifier_keys() & MK_SHIFT))) {
            SendMessageA(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window),
                         MAKELPARAM(-1, -1));
            return 0;
        }
        if (is_input_message(message)) {
            input_default(window, message, wparam, lparam);
        }
        return 0;
    }
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (QCoreApplication::instance() != nullptr &&
        QThread::currentThread() != QCoreApplication::instance()->thread()) {
        // Like Windows, a message sent from another thread waits for the
        // window's own thread to handle it.
        LRESULT result = 0;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [&] { result = SendMessageA(window, message, wparam, lparam); },
            Qt::BlockingQueuedConnection);
        return result;
    }
    if (window == nullptr) {
        return 0;
    }
    if (window != last_sent_alive) {
        // Only this thread adds and removes live handles, so it reads the set
        // without the lock the other threads take.
        if (live_windows.count(window) == 0) {
            return 0;
        }
        last_sent_alive = window;
    }
    if (window->proc == nullptr) {
        return 0;
    }
    HiddenInput hidden;
    return window->proc(window, message, wparam, lparam);
}

LRESULT CALLBACK view_class_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (!window->widget) {
        return DefWindowProcA(window, message, wparam, lparam);
    }
    return window->view->message(message, wparam, lparam);
}

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wparam,
                               LPARAM lparam) {
    return proc != nullptr ? proc(window, message, wparam, lparam) : 0;
}

// ===== Window data =====

LONG_PTR WINAPI GetWindowLongPtrA(HWND window, int index) {
    if (!IsWindow(window)) {
        return 0;
    }
    switch (index) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(window->proc);
    case GWLP_USERDATA:
        return window->user_data;
    case GWLP_ID:
        return window->id;
    case GWL_STYLE:
        return static_cast<LONG>(window->style);
    case GWL_EXSTYLE:
        return static_cast<LONG>(window->ex_style);
    case dwlp_user:
        return window->kind == WindowKind::dialog ? window->dialog_user : 0;
    default:
        return 0;
    }
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    if (!IsWindow(window)) {
        return 0;
    }
    LONG_PTR previous = GetWindowLongPtrA(window, index);
    switch (index) {
    case GWLP_WNDPROC:
        if (value != 0) {
            window->proc = reinterpret_cast<WNDPROC>(value);
        }
        break;
    case GWLP_USERDATA:
        window->user_data = value;
        break;
    case GWLP_ID:
        window->id = static_cast<int>(value);
        break;
    case dwlp_user:
        if (window->kind == WindowKind::dialog) {
            window->dialog_user = value;
        }
        break;
    default:
        return 0; // styles are fixed once a window exists
    }
    return previous;
}

// The 32-bit forms cannot carry a procedure address in a 64-bit program;
// as on 64-bit Windows they only reach the 32-bit values.
LONG WINAPI GetWindowLongA(HWND window, int index) {
    if (index == GWLP_WNDPROC || index == dwlp_user) {
        return 0;
    }
    return static_cast<LONG>(GetWindowLongPtrA(window, index));
}

LONG WINAPI SetWindowLongA(HWND window, int index, LONG value) {
    if (index == GWLP_WNDPROC || index == dwlp_user) {
        return 0;
    }
    return static_cast<LONG>(SetWindowLongPtrA(window, index, value));
}

// ===== Handles, text, state =====

BOOL WINAPI IsWindow(HWND window) {
    if (window == nullptr) {
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(live_mutex);
    return live_windows.count(window) > 0 ? TRUE : FALSE;
}

HWND WINAPI GetDlgItem(HWND dialog, int id) {
    if (!IsWindow(dialog)) {
        return nullptr;
    }
    for (HWND child : dialog->children) {
        if (child->alive && child->id == id) {
            return child;
        }
    }
    return nullptr;
}

int WINAPI GetDlgCtrlID(HWND window) {
    return IsWindow(window) && window->parent != nullptr ? window->id : 0;
}

HWND WINAPI GetParent(HWND window) {
    if (!IsWindow(window)) {
        return nullptr;
    }
    return window->parent != nullptr ? window->parent : window->owner;
}

int WINAPI GetClassNameA(HWND window, LPSTR buffer, int size) {
    if (!IsWindow(window) || buffer == nullptr || size <= 0) {
        return 0;
    }
    const char* name = "";
    switch (window->kind) {
    case WindowKind::dialog:
        name = "#32770"; // the dialog class
        break;
    case WindowKind::button:
    case WindowKind::group_box:
        name = "Button";
        break;
    case WindowKind::static_text:
        name = "Static";
        break;
    case WindowKind::list_box:
        name = WC_LISTBOXA;
        break;
    case WindowKind::trackbar:
        name = TRACKBAR_CLASSA;
        break;
    case WindowKind::other:
        break;
    }
    int n = std::min(static_cast<int>(std::strlen(name)), size - 1);
    std::memcpy(buffer, name, static_cast<std::size_t>(n));
    buffer[n] = '\0';
    return n;
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) {
    if (!IsWindow(window)) {
        return FALSE;
    }
    return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0;
}

int WINAPI GetWindowTextA(HWND window, LPSTR buffer, int size) {
    if (!IsWindow(window) || buffer == nullptr || size <= 0) {
        return 0;
    }
    return static_cast<int>(SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(size),
                                         reinterpret_cast<LPARAM>(buffer)));
}

UINT WINAPI IsDlgButtonChecked(HWND dialog, int id) {
    return static_cast<UINT>(SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0));
}

BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND button = GetDlgItem(dialog, id);
    if (button == nullptr) {
        return FALSE;
    }
    SendMessageA(button, BM_SETCHECK, check, 0);
    return TRUE;
}

BOOL WINAPI IsWindowEnabled(HWND window) {
    return IsWindow(window) && (window->style & WS_DISABLED) == 0;
}

// A disabled dialog keeps its look (Windows does not grey it) but takes no
// input; a disabled control is greyed by Qt.
BOOL WINAPI EnableWindow(HWND window, BOOL enable) {
    if (!IsWindow(window)) {
        return FALSE;
    }
    BOOL was_disabled = (window->style & WS_DISABLED) != 0;
    if (enable) {
        window->style &= ~static_cast<DWORD>(WS_DISABLED);
    } else {
        window->style |= WS_DISABLED;
    }
    if (window->kind != WindowKind::dialog && window->widget) {
        window->widget->setEnabled(enable != 0);
    }
    return was_disabled;
}

BOOL WINAPI ShowWindow(HWND window, int show) {
    if (!IsWindow(window) || !window->widget) {
        return FALSE;
    }
    BOOL was_visible = (window->style & WS_VISIBLE) != 0;
    QWidget* widget = window->widget;
    if (show == SW_HIDE) {
        window->style &= ~static_cast<DWORD>(WS_VISIBLE);
        widget->hide();
    } else {
        window->style |= WS_VISIBLE;
        widget->show();
        if (widget->isWindow()) {
            if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
                widget->raise();
            }
            widget->activateWindow();
        }
    }
    return was_visible;
}

BOOL WINAPI InvalidateRect(HWND window, const RECT*, BOOL) {
    if (window == nullptr) {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            top->update();
        }
        return TRUE;
    }
    if (!IsWindow(window) || !window->client) {
        return FALSE;
    }
    window->client->update();
    return TRUE;
}

BOOL WINAPI DestroyWindow(HWND window) {
    if (!IsWindow(window)) {
        return FALSE;
    }
    // Windows it owns go first, then the window and its controls.
    for (std::size_t i = 0; i < all_windows.size(); ++i) {
        HWND other = all_windows[i].get();
        if (other->alive && other->owner == window) {
            DestroyWindow(other);
        }
    }
    SendMessageA(window, WM_DESTROY, 0, 0);
    for (HWND child : window->children) {
        if (child->alive) {
            SendMessageA(child, WM_DESTROY, 0, 0);
            timers_kill_window(child);
            mark_dead(child);
        }
    }
    timers_kill_window(window);
    QPointer<QWidget> widget = window->widget;
    mark_dead(window);
    if (window->parent != nullptr) {
        auto& siblings = window->parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
    }
    if (widget) {
        widget->hide();
        widget->deleteLater();
    }
    return TRUE;
}

// ===== Coordinates =====

BOOL WINAPI ClientToScreen(HWND window, LPPOINT point) {
    if (!IsWindow(window) || !window->client || point == nullptr) {
        return FALSE;
    }
    QPoint global = window->client->mapToGlobal(QPoint(point->x, point->y));
    point->x = global.x();
    point->y = global.y();
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND window, LPPOINT point) {
    if (!IsWindow(window) || !window->client || point == nullptr) {
        return FALSE;
    }
    QPoint local = window->client->mapFromGlobal(QPoint(point->x, point->y));
    point->x = local.x();
    point->y = local.y();
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND window, LPRECT rect) {
    if (!IsWindow(window) || !window->client || rect == nullptr) {
        return FALSE;
    }
    rect->left = 0;
    rect->top = 0;
    rect->right = window->client->width();
    rect->bottom = window->client->height();
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND window, LPRECT rect) {
    if (!IsWindow(window) || !window->widget || rect == nullptr) {
        return FALSE;
    }
    QWidget* widget = window->widget;
    QRect r = widget->isWindow() ? widget->frameGeometry()
                                 : QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
    rect->left = r.left();
    rect->top = r.top();
    rect->right = r.left() + r.width();
    rect->bottom = r.top() + r.height();
    return TRUE;
}
