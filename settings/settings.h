// The settings file: program_dir followed by "Froulard.ini", one section
// "Init", 27 keys, read and written only through the profile functions.
#pragma once

#include "platform/win32.h"

#define SETTINGS_FILE_NAME "Froulard.ini"
#define SETTINGS_SECTION "Init"

// Assembles program_dir followed by SETTINGS_FILE_NAME into a MAX_PATH buffer.
void settings_path(char* path);

// Start-up: fixes program_dir, applies the font, volume, balance, repeat and
// equalizer from the file (defaults for missing keys), then writes every key
// back in the fixed order, the file being replaced once with all of them. Needs the main window;
// runs before the default playlist is read.
void load_settings(void);
// Main window close: writes the default playlist, then "volume", "balance" and
// "repeat" from the controls. A playlist that cannot be written shows the
// warning box when user_present, and is passed over silently otherwise (a
// close by a signal or the session's end, which nobody is there to answer).
void save_settings_on_close(int user_present);

// Writes what the settings file was given since the last flush, at once
// (load_settings has the profile functions keep a burst in memory).
void flush_settings(void);

// Fills the whole record from the file: face cut to 31 characters, byte fields
// keep their low 8 bits, lfCharSet always 0.
void read_font_settings(LOGFONTA* font, const char* path);
// Writes the 13 font keys (byte fields as 0..255).
void write_font_settings(const LOGFONTA* font, const char* path);
// Writes eq0..eq9 and "activateeq".
void write_equalizer_settings(const char* path);
// write_equalizer_settings on settings_path; run when the equalizer dialog closes.
void save_equalizer_settings(void);
