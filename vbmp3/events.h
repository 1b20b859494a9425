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

// The program is pumping now. Program's thread.
void events_pumped();
// True when a position event waits and the program has not pumped for a
// second and a half: it does not pump on a clock of its own, so it must be
// woken. A program that does (the player shows positions on a one-second
// timer that pumps) is then woken once a second, not twice. Any thread.
bool events_position_overdue();
