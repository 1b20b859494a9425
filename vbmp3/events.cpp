#include "vbmp3/events.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>

static std::mutex queue_lock;
// Waiting events, oldest first; guarded by queue_lock.
static std::deque<PendingEvent> queue;
// Set by the program's thread, read by the library's threads.
static std::atomic<void (*)(void)> wakeup_function{nullptr};
// When the program last pumped, in steady-clock ticks (0: never).
static std::atomic<std::chrono::steady_clock::rep> last_pump{0};
static const auto pump_overdue = std::chrono::milliseconds(1500);

void events_post(const PendingEvent& event) {
    std::lock_guard<std::mutex> hold(queue_lock);
    if (event.type == 2) {
        for (PendingEvent& waiting : queue) {
            if (waiting.type == 2 && waiting.track == event.track) {
                waiting = event;
                return;
            }
        }
    }
    queue.push_back(event);
}

bool events_take(PendingEvent* event) {
    std::lock_guard<std::mutex> hold(queue_lock);
    if (queue.empty()) {
        return false;
    }
    *event = queue.front();
    queue.pop_front();
    return true;
}

void events_clear() {
    std::lock_guard<std::mutex> hold(queue_lock);
    queue.clear();
}

void events_set_wakeup(void (*wakeup)(void)) {
    wakeup_function.store(wakeup);
}

void events_wake() {
    void (*wakeup)(void) = wakeup_function.load();
    if (wakeup) {
        wakeup();
    }
}

void events_pumped() {
    last_pump.store(std::chrono::steady_clock::now().time_since_epoch().count());
}

bool events_position_overdue() {
    {
        std::lock_guard<std::mutex> hold(queue_lock);
        if (std::none_of(queue.begin(), queue.end(),
                         [](const PendingEvent& e) { return e.type == 2; })) {
            return false;
        }
    }
    std::chrono::steady_clock::time_point pumped{
        std::chrono::steady_clock::duration(last_pump.load())};
    return std::chrono::steady_clock::now() - pumped >= pump_overdue;
}
