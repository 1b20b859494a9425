// The desktop's ways to drive the player from outside its window: on Linux
// the MPRIS 2 interface on the session bus (the shell's player controls, and
// the media keys through them); on Windows the media keys, also while another
// window has the focus. Each way in presses one of the main window's buttons
// by posting its WM_COMMAND (BN_CLICKED) to the window, so it runs exactly
// what a click runs; a button that is disabled, or a window behind a modal
// dialog, takes nothing.
//
// Without a session bus, or with the keys held by another program, the player
// works as before and says nothing.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/win_types.h"
#endif

// The player's status, as the desktop shows it.
#define MEDIA_STOPPED 0 // nothing open
#define MEDIA_PLAYING 1
#define MEDIA_PAUSED 2 // also a track opened and not yet played

// What the controls show of the player, filled by the program on request.
typedef struct {
    int status;        // MEDIA_*
    const void* track; // identifies the current entry; null without one
    int can_next;      // "Suivante" would change the current entry
    int can_previous;  // "Précédente" would
    int length;        // the current entry's duration in seconds, 0 when unknown
    int position;      // seconds heard of the open track
} MEDIA_STATE;

typedef void (*MEDIA_STATE_READER)(MEDIA_STATE* state);

// The main window's controls the desktop reaches, by identifier.
typedef struct {
    int play;  // plays the current entry from its start, or resumes
    int pause; // pauses, or resumes when paused
    int stop;
    int previous;
    int next;
    int title; // the static showing the current entry's title
} MEDIA_CONTROLS;

// Offers the window's player to the desktop. read_state is called on the
// window's thread whenever the layer needs the player's state (to answer, to
// choose what Play/Pause presses, to tell the desktop what changed); call
// once the window shows the player's start state.
void media_controls_start(HWND window, const MEDIA_CONTROLS* controls,
                          MEDIA_STATE_READER read_state);
