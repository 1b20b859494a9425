// Player controller: the transport commands of the main window, track
// navigation through the playlist, and the decoder's end-of-track handling.
// All of it is global state and free functions on the user-interface thread.
#pragma once

// Why the open track will stop or has stopped (stop_reason).
#define STOP_REASON_PLAYING 0   // playing, or ended by itself
#define STOP_REASON_USER 1      // stopped by the user
#define STOP_REASON_SWITCHING 2 // switching to another entry

// Playing position in whole seconds. Written by decoder_event (position
// reports), reset_position (0) and end_seek (the released slider position).
extern int elapsed_seconds;
// One of STOP_REASON_*. The commands here set 1 or 2 before they close a track
// or open another; clear_playlist and delete_selected set 1 when they close it;
// only start_playback sets it back to 0, right before the track plays.
extern int stop_reason;
// 1 while the user drags the time slider: set by the main window's slider
// routing on thumb tracking, cleared by end_seek.
extern int seek_dragging;

// The main dialog's one-second timer; its ticks arrive there as WM_TIMER.
// Started by start_playback and every resume, killed by stop and pause.
constexpr unsigned position_timer = 1;
constexpr unsigned position_timer_period = 1000; // ms

// The decoder's state (one of VBMP3_STATE_*), asked afresh at every decision
// and never cached.
int decoder_state(void);

// Commands of the main window.
void play_command(void);     // "Jouer": resume when paused, else the current entry from 0
void pause_command(void);    // "Pauser": pause or resume
void stop_playback(void);    // "Stopper": close the track, position back to 0
void next_command(void);     // "Suivante"
void previous_command(void); // "Précédente"
// Plays the entry at a list line (the caller passes a line below the count).
void play_at_index(int index);
// "Ouvrir": the open dialog replaces the playlist, then its first entry plays.
void open_and_play(void);

// The decoder's event handler, registered at start-up: type 2 reports the
// position in seconds, type 4 the end of the open track. The result is unused.
int decoder_event(int type, int value);
