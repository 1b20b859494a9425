// Opening the files the library reads: tracks and the files it is asked about.
#pragma once

#include <cstdio>

// The regular file at a path (UTF-8, the program's text), opened for binary reading, or null.
// Anything else (a directory, a named pipe, a device) is refused without
// waiting: a pipe would hold the caller until something writes to it, and a
// device may never end.
FILE* open_regular_file(const char* path);
