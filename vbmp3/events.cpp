#include "vbmp3/events.h"

#include <atomic>
#include <deque>
#include <mutex>

static std::mutex queue_lock;
// Waiting events, oldest first; guarded by queue_lock.
static std::deque<PendingEvent> queue;
// Set by the program's thread, read by the library's threads.
static std::atomic<void (*)(void)> wakeup_function{nullptr};

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
