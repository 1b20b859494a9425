// Window handles over Qt widgets. Internal to the Qt platform layer.
//
// A window is an HWND__ record that outlives its widget: handles are never
// reused, so a stale handle is simply no longer a window (IsWindow false).
// Every window's built-in procedure hands its messages to the widget's view,
// whose class gives the control its normal behaviour; subclassing replaces
// HWND__::proc. Everything here runs on the
// user-interface thread, except window_alive_any_thread.
#pragma once

#include "platform/win_controls.h"
#include "platform/win_gdi.h"
#include "platform/win_user.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <string>
#include <vector>

enum class WindowKind { dialog, button, group_box, static_text, list_box, trackbar, other };

// What every widget behind a handle does for the layer.
class WindowView {
  public:
    virtual ~WindowView() = default;
    HWND handle = nullptr; // the window this widget is, set by window_create
    // The class's own handling of a message (view_class_proc's); Windows'
    // default for what the class does not handle.
    virtual LRESULT message(UINT message, WPARAM wparam, LPARAM lparam);
    // Shows the window text (already converted from UTF-8).
    virtual void show_text(const QString& text);
    // Applies the font given by WM_SETFONT.
    virtual void show_font(const QFont& font, bool redraw);
    // Performs Qt's own handling of an input event the procedure passed on.
    virtual void deliver_input(QEvent* event);
};

struct HWND__ {
    WindowKind kind = WindowKind::other;
    QPointer<QWidget> widget;   // the window itself; null once destroyed
    WindowView* view = nullptr; // the same object as widget, valid while widget is
    QPointer<QWidget> client;   // where client coordinates are measured
    HWND parent = nullptr;      // a control's dialog
    HWND owner = nullptr;       // a dialog's owner
    int id = 0;
    DWORD style = 0;
    DWORD ex_style = 0;
    WNDPROC proc = nullptr;        // current procedure, replaced by subclassing
    DLGPROC dialog_proc = nullptr; // dialogs: the program's dialog procedure
    LONG_PTR user_data = 0;
    LONG_PTR dialog_user = 0;
    bool alive = true;
    std::string text; // UTF-8
    HFONT font = nullptr;
    std::vector<HWND> children; // controls in template order

    // Dialogs
    int base_x = 0; // dialog base units in pixels
    int base_y = 0;
    int default_id = IDOK;
    bool ended = false;
    INT_PTR result = 0;
};

// Registers a new window for widget, whose view (the same object) gets its
// messages through view_class_proc; the widget's destruction ends it.
HWND window_create(WindowKind kind, QWidget* widget, WindowView* view);

// The window a widget (or its nearest registered ancestor) belongs to.
HWND window_from_widget(const QWidget* widget);

// IsWindow, safe from any thread.
bool window_alive_any_thread(HWND window);

// Every dialog still open, oldest first.
std::vector<HWND> windows_alive_dialogs();

// Destroys every window still open (tests start afresh).
void windows_destroy_all();

// The last visible and enabled dialog a window owns, or null.
HWND window_owned_popup(HWND owner);

// The dialog (top-level window) a window belongs to, or null.
HWND window_top_level(HWND window);

// Whether input to the window is refused (it or its dialog is disabled).
bool window_input_blocked(HWND window);

// Sends a notification to a control's dialog.
LRESULT window_notify_parent(HWND control, UINT message, WPARAM wparam, LPARAM lparam);

// Windows' MulDiv: value * numerator / denominator rounded half away from zero.
int mul_div(int value, int numerator, int denominator);

// The QFont behind a font handle (the application font for null).
QFont font_to_qfont(HFONT font);

// The font a dialog template names, in points (Arial falls back to its
// metric-compatible Liberation Sans when absent).
HFONT font_for_template(const std::string& face, int points, int weight, bool italic);

// The built-in window procedure of every class: the message goes to the
// window's view, or to DefWindowProcA once the widget is gone.
LRESULT CALLBACK view_class_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Each time window is shown it is placed whole inside the work area of its
// owner's screen (its own without an owner), centred on the owner first when
// centre_on_owner is set; a window the user may resize is shrunk to fit.
void window_keep_inside_work_area(QWidget* window, bool centre_on_owner);

// A message a control class does not implement: reported as a critical
// message of the logging category below, which the program's run shows on
// its error output and the tests' library turns into a failure.
inline constexpr char unimplemented_category[] = "melodiane.platform.unimplemented";
void window_unimplemented(HWND window, UINT message);
