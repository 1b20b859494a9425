// Start-up, the message loop and shutdown.
#pragma once

#include "common/globals.h"

// Runs once, right after the main dialog exists: decoder library, random seed,
// settings, default playlist, display. Ends the process with status 0 when the
// decoder library cannot be initialised.
void initialise_app(void);

// Fetches and dispatches messages until the quit message, giving the main
// dialog its keyboard navigation; returns the quit message's parameter.
int run_message_loop(void);

// Offers the player to the desktop's controls (the media keys, the shell's
// player controls); run once, after initialise_app.
void start_media_controls(void);
