// Events waiting for delivery: posted by the library's threads, taken by
// vbmp3_pump on the program's thread.
#pragma once

#include <cstdint>

struct PendingEvent {
    int type;
    int value;
    uint64_t track; // the track it belongs to
    uint64_t epoch; // the track's play or seek it belongs to
};

// Queues an event. A position event replaces a position still waiting for the
// same track, so the queue stays short when nobody pumps. Any thread.
void events_post(const PendingEvent& event);
// Takes the oldest event; false when none waits. Any thread.
bool events_take(PendingEvent* event);
// Drops every waiting event. Any thread.
void events_clear();

// The program's wakeup function (null: none). Any thread.
void events_set_wakeup(void (*wakeup)(void));
// Calls the wakeup function, if any. Call it with no library lock held.
void events_wake();
