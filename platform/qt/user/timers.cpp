// SetTimer and KillTimer: a QTimer per timer posts WM_TIMER, at most one
// pending at a time, as Windows coalesces them.
#include "platform/qt/user/user.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

struct WindowTimer {
    HWND window;
    UINT_PTR id;
    TIMERPROC proc;
    std::unique_ptr<QTimer> timer;
    bool pending = false; // a WM_TIMER of this timer waits in the queue
};

// UI thread only.
static std::vector<std::unique_ptr<WindowTimer>> timers;
static UINT_PTR next_thread_timer_id = 1;

static WindowTimer* find_timer(HWND window, UINT_PTR id) {
    for (auto& timer : timers) {
        if (timer->window == window && timer->id == id) {
            return timer.get();
        }
    }
    return nullptr;
}

static void on_timeout(WindowTimer* timer) {
    if (timer->pending) {
        return;
    }
    timer->pending = true;
    QueuedMessage queued;
    queued.msg.hwnd = timer->window;
    queued.msg.message = WM_TIMER;
    queued.msg.wParam = timer->id;
    queued.msg.lParam = reinterpret_cast<LPARAM>(timer->proc);
    queue_post(std::move(queued));
}

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse_ms, TIMERPROC proc) {
    if (window != nullptr && !IsWindow(window)) {
        return 0;
    }
    if (window == nullptr) {
        id = next_thread_timer_id++;
    }
    // Windows raises periods below 10 ms to 10 ms.
    int period = static_cast<int>(std::min<UINT>(std::max<UINT>(elapse_ms, 10), 0x7FFFFFFF));
    WindowTimer* timer = find_timer(window, id);
    if (timer == nullptr) {
        timers.push_back(std::make_unique<WindowTimer>());
        timer = timers.back().get();
        timer->window = window;
        timer->id = id;
        timer->timer = std::make_unique<QTimer>();
        QObject::connect(timer->timer.get(), &QTimer::timeout, [timer] { on_timeout(timer); });
    }
    timer->proc = proc;
    timer->timer->start(period);
    return id;
}

static void remove_timer(WindowTimer* timer) {
    queue_remove_timer(timer->window, timer->id);
    for (auto it = timers.begin(); it != timers.end(); ++it) {
        if (it->get() == timer) {
            timers.erase(it);
            return;
        }
    }
}

BOOL WINAPI KillTimer(HWND window, UINT_PTR id) {
    WindowTimer* timer = find_timer(window, id);
    if (timer == nullptr) {
        return FALSE;
    }
    remove_timer(timer);
    return TRUE;
}

void timer_message_taken(HWND window, UINT_PTR id) {
    WindowTimer* timer = find_timer(window, id);
    if (timer != nullptr) {
        timer->pending = false;
    }
}

void timers_kill_window(HWND window) {
    for (std::size_t i = timers.size(); i-- > 0;) {
        if (timers[i]->window == window) {
            remove_timer(timers[i].get());
        }
    }
}

void timers_kill_all() {
    while (!timers.empty()) {
        remove_timer(timers.back().get());
    }
}
