// The message queue, GetMessageA, PostMessageA, DispatchMessageA and the
// rule that keeps messages flowing while Qt runs a loop of its own.
#include "platform/qt/user/user.h"

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <deque>
#include <mutex>
#include <vector>

// The queue itself: filled from any thread, emptied on the UI thread.
static std::mutex queue_mutex;
static std::deque<QueuedMessage> queue; // guarded by queue_mutex
static std::atomic<bool> wake_pending{false};

// Loops running on the UI thread, innermost last: ours wait for a message,
// foreign ones are Qt's own (menus, Qt dialogs). UI thread only.
struct RunningLoop {
    QEventLoop* waiting; // ours; null for a foreign loop
    std::function<void()> end;
};
static std::vector<RunningLoop> loops;

// Recently taken input messages with their Qt events, so that DispatchMessageA
// can find the event of the message it is given. UI thread only.
static std::deque<QueuedMessage> recent_input;
static const std::size_t recent_input_kept = 16;
static QueuedMessage* current_input = nullptr;
static unsigned key_state = 0;

// Message times; started once, whichever thread posts first.
static const QElapsedTimer& clock_since_start() {
    static const QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock;
}

static void on_wake();

static void request_wake() {
    QCoreApplication* app = QCoreApplication::instance();
    // On the UI thread, with one of our loops waiting innermost (a timer firing
    // inside it), that loop just ends: no queued call and no second pass of
    // Qt's loop for it.
    if (app != nullptr && QThread::currentThread() == app->thread() && !loops.empty() &&
        loops.back().waiting != nullptr) {
        loops.back().waiting->quit();
        return;
    }
    if (wake_pending.exchange(true)) {
        return;
    }
    if (app != nullptr) {
        QMetaObject::invokeMethod(app, on_wake, Qt::QueuedConnection);
    }
}

static bool take_message(MSG* msg, bool quit_allowed) {
    QueuedMessage taken;
    {
        std::lock_guard<std::mutex> lock(queue_mutex);
        if (queue.empty() || (!quit_allowed && queue.front().msg.message == WM_QUIT)) {
            return false;
        }
        taken = std::move(queue.front());
        queue.pop_front();
    }
    *msg = taken.msg;
    if (msg->message == WM_TIMER) {
        timer_message_taken(msg->hwnd, msg->wParam);
    }
    if (taken.event) {
        key_state = taken.modifiers;
        recent_input.push_back(std::move(taken));
        if (recent_input.size() > recent_input_kept) {
            recent_input.pop_front();
        }
    }
    return true;
}

// Inside a foreign loop nobody calls GetMessageA: deliver what is queued.
static void dispatch_queued() {
    MSG msg;
    while (take_message(&msg, false)) {
        DispatchMessageA(&msg);
    }
}

static void on_wake() {
    wake_pending = false;
    if (loops.empty()) {
        return; // the next GetMessageA finds the messages
    }
    if (loops.back().waiting != nullptr) {
        loops.back().waiting->quit();
        return;
    }
    dispatch_queued();
    // A quit message ends the foreign loop, so that it reaches the program's loop.
    bool quit_pending;
    {
        std::lock_guard<std::mutex> lock(queue_mutex);
        quit_pending = !queue.empty() && queue.front().msg.message == WM_QUIT;
    }
    if (quit_pending && !loops.empty() && loops.back().waiting == nullptr && loops.back().end) {
        loops.back().end();
    }
}

void queue_post(QueuedMessage message) {
    message.msg.time = static_cast<DWORD>(clock_since_start().elapsed());
    {
        std::lock_guard<std::mutex> lock(queue_mutex);
        queue.push_back(std::move(message));
    }
    request_wake();
}

bool queue_wait(MSG* msg, int timeout_ms) {
    QElapsedTimer elapsed;
    elapsed.start();
    for (;;) {
        if (take_message(msg, true)) {
            return true;
        }
        int remaining = -1;
        if (timeout_ms >= 0) {
            remaining = timeout_ms - static_cast<int>(elapsed.elapsed());
            if (remaining <= 0) {
                return false;
            }
        }
        QEventLoop loop;
        QTimer deadline;
        if (remaining >= 0) {
            deadline.setSingleShot(true);
            QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
            deadline.start(remaining);
        }
        loops.push_back({&loop, {}});
        bool empty;
        {
            std::lock_guard<std::mutex> lock(queue_mutex);
            empty = queue.empty();
        }
        if (empty) {
            loop.exec();
        }
        loops.pop_back();
    }
}

void queue_clear() {
    std::lock_guard<std::mutex> lock(queue_mutex);
    queue.clear();
}

void queue_remove_timer(HWND window, UINT_PTR id) {
    std::lock_guard<std::mutex> lock(queue_mutex);
    for (auto it = queue.begin(); it != queue.end();) {
        if (it->msg.message == WM_TIMER && it->msg.hwnd == window && it->msg.wParam == id) {
            it = queue.erase(it);
        } else {
            ++it;
        }
    }
}

std::size_t queue_count(HWND window, UINT message) {
    std::lock_guard<std::mutex> lock(queue_mutex);
    std::size_t count = 0;
    for (const QueuedMessage& queued : queue) {
        if (queued.msg.message == message && queued.msg.hwnd == window) {
            count++;
        }
    }
    return count;
}

unsigned queue_key_state() {
    return key_state;
}

QueuedMessage* queue_current_input() {
    return current_input;
}

HiddenInput::HiddenInput() : saved_(current_input) {
    current_input = nullptr;
}

HiddenInput::~HiddenInput() {
    current_input = saved_;
}

ForeignLoop::ForeignLoop(std::function<void()> end) {
    loops.push_back({nullptr, std::move(end)});
    bool waiting;
    {
        std::lock_guard<std::mutex> lock(queue_mutex);
        waiting = !queue.empty();
    }
    if (waiting) {
        request_wake(); // messages posted before this loop began
    }
}

ForeignLoop::~ForeignLoop() {
    loops.pop_back();
    request_wake(); // the loop we return to may be ours, waiting
}

void queue_end_foreign_loops() {
    // Copies: ending a loop may run code that starts or ends others.
    std::vector<std::function<void()>> ends;
    for (const RunningLoop& loop : loops) {
        if (loop.waiting == nullptr && loop.end) {
            ends.push_back(loop.end);
        }
    }
    for (auto it = ends.rbegin(); it != ends.rend(); ++it) {
        (*it)();
    }
}

// ===== The Windows functions =====

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (window != nullptr && !window_alive_any_thread(window)) {
        return FALSE;
    }
    QueuedMessage queued;
    queued.msg.hwnd = window;
    queued.msg.message = message;
    queued.msg.wParam = wparam;
    queued.msg.lParam = lparam;
    queue_post(std::move(queued));
    return TRUE;
}

void WINAPI PostQuitMessage(int exit_code) {
    QueuedMessage queued;
    queued.msg.message = WM_QUIT;
    queued.msg.wParam = static_cast<WPARAM>(exit_code);
    queue_post(std::move(queued));
}

// The program fetches with no window or message filter, and so does this.
BOOL WINAPI GetMessageA(LPMSG msg, HWND, UINT, UINT) {
    queue_wait(msg, -1);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

// Characters travel inside the Qt key event and reach Qt with it, so there
// is no WM_CHAR to generate; key messages count as translated.
BOOL WINAPI TranslateMessage(const MSG* msg) {
    return msg != nullptr && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN);
}

static QueuedMessage* find_recent_input(const MSG* msg) {
    for (auto it = recent_input.rbegin(); it != recent_input.rend(); ++it) {
        const MSG& m = it->msg;
        if (m.hwnd == msg->hwnd && m.message == msg->message && m.wParam == msg->wParam &&
            m.lParam == msg->lParam && m.time == msg->time) {
            return &*it;
        }
    }
    return nullptr;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (msg == nullptr) {
        return 0;
    }
    if (msg->message == WM_TIMER && msg->lParam != 0) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
        return 0;
    }
    if (msg->hwnd == nullptr || !IsWindow(msg->hwnd)) {
        return 0;
    }
    QueuedMessage* saved = current_input;
    current_input = find_recent_input(msg);
    LRESULT result = msg->hwnd->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    current_input = saved;
    return result;
}

int platform_exec_modal(QDialog* dialog, HWND owner) {
    HWND top = window_top_level(owner);
    bool disable = top != nullptr && IsWindowEnabled(top);
    if (disable) {
        EnableWindow(top, FALSE);
    }
    int result;
    {
        QPointer<QDialog> guarded(dialog);
        ForeignLoop foreign([guarded] {
            if (guarded) {
                guarded->reject();
            }
        });
        result = dialog->exec();
    }
    if (disable && IsWindow(top)) {
        EnableWindow(top, TRUE);
    }
    return result;
}
