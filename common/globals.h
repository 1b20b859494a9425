// The process-wide values every part of the program uses: the instance, the
// main dialog and the start directory.
#pragma once

#include "platform/win32.h"

#define DEFAULT_PLAYLIST_NAME "Froulard.m3u"

// The program's instance handle; stored first thing by WinMain, never changed.
extern HINSTANCE app_instance;
// The main dialog; null until its creation returns, never cleared afterwards.
extern HWND main_dialog;
// The start directory, ending in PATH_SEPARATOR; fixed once by load_settings
// and never changed. Empty (paths relative to the current directory) when the
// real one cannot hold the program's file names within MAX_PATH - 1 bytes,
// which on Linux, whose MAX_PATH is the system's path limit, practically
// never happens.
extern char program_dir[MAX_PATH];

// Writes the current directory, ending in PATH_SEPARATOR, into a MAX_PATH
// buffer (or the empty string when it cannot be had or leaves no room for the
// file names).
void read_start_directory(char* directory);
