// The user's dialog font: stored only in the settings file and read from it
// again whenever a dialog needs it.
#pragma once

#include "platform/win32.h"

// A control that receives the font, and whether it is redrawn at once.
struct FontControl {
    int id;
    BOOL redraw;
};

// "Fonte": the font dialog opens on the stored font; a chosen font goes to the
// main window at once and to the settings file. The window is repainted either way.
void choose_font(void);
// Reads the stored font, creates it and sends it to the listed controls in order.
void apply_dialog_font(HWND dialog, const FontControl* controls, int count);
// Creates the font and sends it, redrawn, to the main window's controls 1001
// to 1027 (those that exist) and then 1.
void set_main_window_font(const LOGFONTA* font);
