// The thread's message queue under Qt's event loop. Internal to the Qt
// platform layer.
//
// Posted messages, input turned into messages and WM_TIMER wait in one FIFO.
// Whoever runs the innermost loop takes them out: GetMessageA and the modal
// dialog loop wait in a QEventLoop that a new message ends; while a Qt loop of
// its own runs (a pop-up menu, a file dialog, a message box) the queue is
// emptied by dispatching each message, so decoder events and timers keep
// being delivered whatever is open.
#pragma once

#include "platform/win_user.h"

#include <QPointer>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <memory>

class QEvent;

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

// Called by the queue when a WM_TIMER message is taken, so that the timer may
// post the next one.
void timer_message_taken(HWND window, UINT_PTR id);

// Kills every timer of a window being destroyed.
void timers_kill_window(HWND window);

// Kills every timer (tests start afresh).
void timers_kill_all();
