// Compiled with the decoder library's include paths only, this must fail: a
// target reaches the headers of the libraries it links and no others.
#include "vbmp3/vbmp3.h"

#include "platform/win32.h"
