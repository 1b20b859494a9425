// The windowing core of the Qt platform layer: window handles, the message
// queue and loop, input, timers, focus, fonts, menus and the placement of
// windows. What every other area of the layer builds on; nothing of it is
// seen above the layer.
//
// A window is an HWND__ record that outlives its widget: handles are never
// reused, so a stale handle is simply no longer a window (IsWindow false).
// Every window's built-in procedure hands its messages to the widget's view,
// whose class gives the control its normal behaviour; subclassing replaces
// HWND__::proc. Everything here runs on the user-interface thread, except
// window_alive_any_thread and queue_post.
#pragma once

#include "platform/win_controls.h"
#include "platform/win_gdi.h"
#include "platform/win_user.h"

#include <QFont>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QDialog;
class QEvent;
class QWheelEvent;

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

// The built-in window procedure of every class: the message goes to the
// window's view, or to DefWindowProcA once the widget is gone.
LRESULT CALLBACK view_class_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

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

// A message a control class does not implement: reported as a critical
// message of the logging category below, which the program's run shows on
// its error output and the tests' library turns into a failure.
inline constexpr char unimplemented_category[] = "melodiane.platform.unimplemented";
void window_unimplemented(HWND window, UINT message);

// The Qt widget behind a window handle, or null.
QWidget* platform_widget(HWND window);

// ---- Placement (placement.cpp)

// Each time window is shown it is placed whole inside the work area of its
// owner's screen (its own without an owner), centred on the owner first when
// centre_on_owner is set; a window the user may resize is shrunk to fit.
void window_keep_inside_work_area(QWidget* window, bool centre_on_owner);

// ---- Fonts (window.cpp, font.cpp, logfont.cpp)

// Windows' MulDiv: value * numerator / denominator rounded half away from zero.
int mul_div(int value, int numerator, int denominator);

// The QFont behind a font handle (the application font for null).
QFont font_to_qfont(HFONT font);

// The font a dialog template names, in points (Arial falls back to its
// metric-compatible Liberation Sans when absent).
HFONT font_for_template(const std::string& face, int points, int weight, bool italic);

// LOGFONTA <-> QFont, with Windows' units: a negative lfHeight is the
// character height in pixels at 96 DPI, a positive one the cell height.
QFont logfont_to_qfont(const LOGFONTA& logfont);

// Fills every field the way the Windows font dialog returns them; the
// character set is ANSI.
void qfont_to_logfont(const QFont& font, LOGFONTA* logfont);

// ---- The message queue (message_queue.cpp)
//
// Posted messages, input turned into messages and WM_TIMER wait in one FIFO.
// Whoever runs the innermost loop takes them out: GetMessageA and the modal
// dialog loop wait in a QEventLoop that a new message ends; while a Qt loop of
// its own runs (a pop-up menu, a file dialog, a message box) the queue is
// emptied by dispatching each message, so decoder events and timers keep
// being delivered whatever is open.

struct QueuedMessage {
    MSG msg{};
    std::shared_ptr<QEvent> event; // the Qt input event the message stands for
    QPointer<QWidget> target;      // the widget that event was addressed to
    unsigned modifiers = 0;        // MK_SHIFT, MK_CONTROL when it was generated
    bool delivered = false;        // the Qt event has been handed to Qt
};

// Adds a message at the end of the queue and wakes the loop. Any thread.
void queue_post(QueuedMessage message);

// Takes the next message, running Qt's event loop while there is none.
// timeout_ms < 0 waits for ever; false when the time ran out.
bool queue_wait(MSG* msg, int timeout_ms);

// MK_SHIFT and MK_CONTROL as they were when the last input message taken
// from the queue was generated: what GetKeyState answers on Windows.
unsigned queue_key_state();

// Forgets every message waiting (tests start afresh).
void queue_clear();

// Removes pending WM_TIMER messages of one timer.
void queue_remove_timer(HWND window, UINT_PTR id);

// How many messages of that kind for that window wait in the queue.
std::size_t queue_count(HWND window, UINT message);

// The input message being dispatched, or null (also inside SendMessageA).
QueuedMessage* queue_current_input();

// Hides the input message being dispatched from the procedures a sent
// message reaches, for the lifetime of the object.
class HiddenInput {
  public:
    HiddenInput();
    ~HiddenInput();
    HiddenInput(const HiddenInput&) = delete;
    HiddenInput& operator=(const HiddenInput&) = delete;

  private:
    QueuedMessage* saved_;
};

// Marks a Qt loop of its own (QMenu::exec, QDialog::exec) for its lifetime:
// the queue is emptied by dispatching while it runs, and end is called when
// the program posts its quit message meanwhile.
class ForeignLoop {
  public:
    explicit ForeignLoop(std::function<void()> end);
    ~ForeignLoop();
    ForeignLoop(const ForeignLoop&) = delete;
    ForeignLoop& operator=(const ForeignLoop&) = delete;
};

// Ends every foreign loop running (closes the menus and Qt dialogs open).
void queue_end_foreign_loops();

// Runs a modal Qt dialog or message box owned by a window the way Windows runs
// common dialogs: the owner is disabled meanwhile, the program's timers and
// posted messages keep being dispatched, and a shutdown request ends it.
// Returns the dialog's exec() result.
int platform_exec_modal(QDialog* dialog, HWND owner);

// ---- Timers (timers.cpp)

// Called by the queue when a WM_TIMER message is taken, so that the timer may
// post the next one.
void timer_message_taken(HWND window, UINT_PTR id);

// Kills every timer of a window being destroyed.
void timers_kill_window(HWND window);

// Kills every timer (tests start afresh).
void timers_kill_all();

// ---- Input (input.cpp)
//
// A key or mouse event on a window's widget is not handled by Qt at once: it
// is posted to the message queue as WM_KEYDOWN, WM_LBUTTONDOWN, ... with a
// copy of the Qt event. The program's loop fetches it (IsDialogMessageA sees
// the keys first) and dispatches it to the window's current procedure; when
// that procedure passes it on to the class procedure, the copy is handed to
// Qt, which then does what it normally does with it.

// Takes a Qt input event addressed to receiver, a widget of window, into the
// message queue; true when Qt must not handle it now. Mouse events are taken
// only when take_mouse is set (controls whose procedures act on the mouse).
// Drag and drop events go to drop_route (below).
bool input_route(HWND window, QWidget* receiver, QEvent* event, bool take_mouse);

// Takes a wheel turn over receiver, a widget of window, into the message
// queue as WM_MOUSEWHEEL (for controls whose procedures act on the wheel).
bool input_route_wheel(HWND window, QWidget* receiver, QWheelEvent* event);

// Class procedures call this for input messages they leave to Qt: it delivers
// the Qt event the message was made from, when the message being handled is
// one the loop dispatched from real input.
void input_default(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The text the key typed, for a key-down message the loop dispatched from
// real input (the character a Windows TranslateMessage would have sent
// after it); empty otherwise.
QString input_typed_text(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// MK_SHIFT and MK_CONTROL as they were when the input message being handled
// was generated (what GetKeyState tells a Windows procedure).
unsigned input_modifier_keys();

// ---- Dropped files (drop_files.cpp)

// Takes a Qt drag or drop event addressed to a widget of window: accepted
// when the window, or the nearest window above it in its dialog, accepts
// files and is enabled; the drop then posts WM_DROPFILES to that window with
// the dropped files whose names are valid UTF-8. True when Qt must not handle
// the event itself.
bool drop_route(HWND window, QEvent* event);
