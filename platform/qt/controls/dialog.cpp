// Dialogs from templates: CreateDialogParamA, DialogBoxParamA, EndDialog,
// the dialog class procedure and IsDialogMessageA's keyboard interface.
#include "platform/qt/controls/controls.h"
#include "platform/qt/system/system.h"
#include "platform/qt/user/user.h"
#include "platform/qt/resources/resources.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>

#include <cctype>
#include <cstring>

namespace {

class DialogWidget : public QWidget, public WindowView, public AccessibleControls {
  public:
    DialogWidget(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {}

    LRESULT message(UINT message, WPARAM wparam, LPARAM lparam) override;

    std::vector<QWidget*> accessible_controls() const override {
        std::vector<QWidget*> controls;
        if (handle != nullptr && handle->alive) {
            for (HWND child : handle->children) {
                if (child->alive && child->widget) {
                    controls.push_back(child->widget);
                }
            }
        }
        return controls;
    }

    void show_text(const QString& text) override {
        setWindowTitle(text);
    }
    void deliver_input(QEvent* event) override {
        QWidget::event(event);
    }

  protected:
    bool event(QEvent* event) override {
        if (input_route(handle, this, event, false)) {
            return true;
        }
        // Activating a window disabled by a modal dialog brings that dialog forward.
        if (event->type() == QEvent::WindowActivate && handle != nullptr && handle->alive &&
            (handle->style & WS_DISABLED)) {
            HWND popup = window_owned_popup(handle);
            if (popup != nullptr && popup->widget) {
                popup->widget->activateWindow();
            }
        }
        return QWidget::event(event);
    }
    // The window manager's close button asks the procedure, like the system
    // menu's Close on Windows; a disabled window refuses it.
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        if (handle != nullptr && handle->alive && !window_input_blocked(handle)) {
            SendMessageA(handle, WM_CLOSE, 0, 0);
        }
    }
};

class OtherWidget : public QWidget, public WindowView {
  public:
    using QWidget::QWidget;
};

} // namespace

std::string control_text(const RcControl& control) {
    return control.text.is_number ? std::string() : control.text.text;
}

HWND other_create(QWidget* parent, const RcControl&) {
    auto* widget = new OtherWidget(parent);
    return window_create(WindowKind::other, widget, widget);
}

static bool same_class(const std::string& name, const char* wanted) {
    return name.size() == std::strlen(wanted) &&
           std::equal(name.begin(), name.end(), wanted, [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

static HWND create_control(QWidget* parent, const RcControl& control) {
    if (same_class(control.class_name, "Button")) {
        return button_create(parent, control);
    }
    if (same_class(control.class_name, "Static")) {
        return static_create(parent, control);
    }
    if (same_class(control.class_name, WC_LISTBOXA)) {
        return list_box_create(parent, control);
    }
    if (same_class(control.class_name, TRACKBAR_CLASSA)) {
        return trackbar_create(parent, control);
    }
    return other_create(parent, control);
}

static bool is_push_button(HWND window) {
    DWORD type = window->style & 0x0F;
    return window->kind == WindowKind::button &&
           (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

// The next control that takes the focus with Tab, in template order.
static HWND next_tab_stop(HWND dialog, HWND from, bool backwards) {
    const std::vector<HWND>& controls = dialog->children;
    int count = static_cast<int>(controls.size());
    int start = backwards ? count : -1;
    for (int i = 0; i < count; ++i) {
        if (controls[static_cast<std::size_t>(i)] == from) {
            start = i;
        }
    }
    for (int step = 1; step <= count; ++step) {
        int i = ((backwards ? start - step : start + step) % count + count) % count;
        HWND control = controls[static_cast<std::size_t>(i)];
        if (control->alive && (control->style & WS_TABSTOP) && (control->style & WS_VISIBLE) &&
            !(control->style & WS_DISABLED)) {
            return control;
        }
    }
    return nullptr;
}

static Qt::WindowFlags window_flags(DWORD style, bool owned) {
    Qt::WindowFlags flags = (owned ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint;
    if ((style & WS_CAPTION) == WS_CAPTION) {
        flags |= Qt::WindowTitleHint;
    }
    if (style & WS_SYSMENU) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (style & WS_MINIMIZEBOX) {
            flags |= Qt::WindowMinimizeButtonHint;
        }
        if (style & WS_MAXIMIZEBOX) {
            flags |= Qt::WindowMaximizeButtonHint;
        }
    }
    return flags;
}

// Builds the dialog and its controls and runs WM_INITDIALOG; the dialog is
// not shown.
static HWND create_dialog(const RcDialog& templ, HWND owner, DLGPROC proc, LPARAM init_param) {
    QWidget* owner_widget = owner != nullptr ? owner->widget.data() : nullptr;
    accessible_install();
    auto* widget =
        new DialogWidget(owner_widget, window_flags(templ.style, owner_widget != nullptr));
    HWND dialog = window_create(WindowKind::dialog, widget, widget);
    dialog->owner = owner;
    dialog->style = templ.style & ~static_cast<DWORD>(WS_VISIBLE);
    dialog->ex_style = templ.ex_style;
    dialog->dialog_proc = proc;
    dialog->text = templ.caption;
    widget->show_text(ansi_to_qstring(templ.caption.c_str()));

    // Dialog units: a quarter of the font's average letter width across,
    // an eighth of its height down, as Windows measures them.
    dialog->font = (templ.style & DS_SETFONT) && templ.has_font
                       ? font_for_template(templ.font_face, templ.font_points, templ.font_weight,
                                           templ.font_italic)
                       : font_for_template("MS Shell Dlg", 8, 0, false);
    QFont font = font_to_qfont(dialog->font);
    widget->setFont(font);
    QFontMetrics metrics(font);
    int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    dialog->base_x = (letters / 26 + 1) / 2;
    dialog->base_y = metrics.height();
    auto x_pixels = [dialog](int units) { return mul_div(units, dialog->base_x, 4); };
    auto y_pixels = [dialog](int units) { return mul_div(units, dialog->base_y, 8); };

    QSize size(std::max(0, x_pixels(templ.width)), std::max(0, y_pixels(templ.height)));
    widget->setFixedSize(size);
    QPoint origin =
        owner != nullptr && owner->client ? owner->client->mapToGlobal(QPoint(0, 0)) : QPoint();
    QPoint at = origin + QPoint(x_pixels(templ.x), y_pixels(templ.y));
    if (templ.style & DS_CENTER) {
        QRect area = owner_widget != nullptr
                         ? owner_widget->frameGeometry()
                         : QGuiApplication::primaryScreen()->availableGeometry();
        at = area.center() - QPoint(size.width() / 2, size.height() / 2);
    }
    widget->move(at);
    window_keep_inside_work_area(widget, false);

    for (const RcControl& control : templ.controls) {
        HWND child = create_control(widget, control);
        child->parent = dialog;
        child->id = control.id;
        child->style = control.style;
        child->ex_style = control.ex_style;
        child->font = dialog->font;
        QWidget* child_widget = child->widget;
        child_widget->setGeometry(x_pixels(control.x), y_pixels(control.y), x_pixels(control.width),
                                  y_pixels(control.height));
        child_widget->setVisible((control.style & WS_VISIBLE) != 0);
        if (control.style & WS_DISABLED) {
            child_widget->setEnabled(false);
        }
        child->view->show_font(font, false);
        dialog->children.push_back(child);
        if (is_push_button(child) && (control.style & 0x0F) == BS_DEFPUSHBUTTON &&
            dialog->default_id == IDOK) {
            dialog->default_id = control.id;
        }
    }
    // The first control of the template lies on top of the others.
    for (HWND child : dialog->children) {
        child->widget->lower();
    }

    HWND first = next_tab_stop(dialog, nullptr, false);
    LRESULT focus =
        SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), init_param);
    if (focus != 0 && IsWindow(dialog) && IsWindow(first)) {
        SetFocus(first);
    }
    return dialog;
}

// The program's dialog procedure first, then Windows' default dialog handling.
LRESULT DialogWidget::message(UINT message, WPARAM wparam, LPARAM lparam) {
    HWND window = handle; // the widget may go with the dialog procedure's DestroyWindow
    if (window->dialog_proc != nullptr) {
        INT_PTR handled = window->dialog_proc(window, message, wparam, lparam);
        if (handled != 0 || !IsWindow(window)) {
            return handled;
        }
    }
    switch (message) {
    case WM_INITDIALOG:
        return 0;
    case WM_CLOSE:
        // A dialog closes through its cancel command.
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, IDCANCEL)));
        return 0;
    default:
        return DefWindowProcA(window, message, wparam, lparam);
    }
}

HWND WINAPI CreateDialogParamA(HINSTANCE, LPCSTR template_name, HWND owner, DLGPROC proc,
                               LPARAM init_param) {
    const RcDialog* templ = resources_find_dialog(template_name);
    if (templ == nullptr) {
        return nullptr;
    }
    HWND dialog = create_dialog(*templ, window_top_level(owner), proc, init_param);
    if (IsWindow(dialog) && (templ->style & WS_VISIBLE)) {
        ShowWindow(dialog, SW_SHOW);
    }
    return IsWindow(dialog) ? dialog : nullptr;
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE, LPCSTR template_name, HWND owner, DLGPROC proc,
                               LPARAM init_param) {
    const RcDialog* templ = resources_find_dialog(template_name);
    if (templ == nullptr) {
        return -1;
    }
    HWND top = window_top_level(owner);
    bool disable = top != nullptr && IsWindowEnabled(top);
    if (disable) {
        EnableWindow(top, FALSE);
    }
    HWND dialog = create_dialog(*templ, top, proc, init_param);
    if (IsWindow(dialog) && !dialog->ended) {
        ShowWindow(dialog, SW_SHOW);
    }
    while (IsWindow(dialog) && !dialog->ended) {
        MSG msg;
        queue_wait(&msg, -1);
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam)); // for the loop outside
            break;
        }
        if (!IsDialogMessageA(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    INT_PTR result = dialog->ended ? dialog->result : -1;
    if (disable && IsWindow(top)) {
        EnableWindow(top, TRUE);
    }
    if (IsWindow(dialog)) {
        DestroyWindow(dialog);
    }
    if (IsWindow(top) && top->widget && top->widget->isVisible()) {
        top->widget->activateWindow();
    }
    return result;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
    if (!IsWindow(dialog) || dialog->kind != WindowKind::dialog) {
        return FALSE;
    }
    dialog->ended = true;
    dialog->result = result;
    ShowWindow(dialog, SW_HIDE);
    PostMessageA(dialog, WM_NULL, 0, 0); // wakes a modal loop waiting for input
    return TRUE;
}

BOOL WINAPI IsDialogMessageA(HWND dialog, LPMSG msg) {
    if (!IsWindow(dialog) || msg == nullptr || !IsWindow(msg->hwnd) ||
        window_top_level(msg->hwnd) != dialog) {
        return FALSE;
    }
    if (msg->message == WM_KEYDOWN) {
        switch (msg->wParam) {
        case VK_TAB: {
            HWND focus = GetFocus();
            HWND next = next_tab_stop(dialog, focus, (input_modifier_keys() & MK_SHIFT) != 0);
            if (next != nullptr) {
                SetFocus(next);
                // Keyboard moves show the focus cue, as on Windows; Qt draws
                // it only in a window marked so, until the next mouse press.
                if (next->widget) {
                    next->widget->window()->setAttribute(Qt::WA_KeyboardFocusChange);
                    next->widget->window()->update();
                }
            }
            return TRUE;
        }
        case VK_RETURN: {
            HWND focus = GetFocus();
            if (focus != nullptr && focus->parent == dialog && is_push_button(focus)) {
                SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(focus->id, BN_CLICKED),
                             reinterpret_cast<LPARAM>(focus));
            } else {
                HWND button = GetDlgItem(dialog, dialog->default_id);
                if (button == nullptr || IsWindowEnabled(button)) {
                    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(dialog->default_id, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(button));
                }
            }
            return TRUE;
        }
        case VK_ESCAPE: {
            HWND button = GetDlgItem(dialog, IDCANCEL);
            if (button == nullptr || IsWindowEnabled(button)) {
                SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                             reinterpret_cast<LPARAM>(button));
            }
            return TRUE;
        }
        default:
            break;
        }
    }
    DispatchMessageA(msg);
    return TRUE;
}
