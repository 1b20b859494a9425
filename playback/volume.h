// Volume and balance: the two sliders of the main window hold the state; the
// decoder gets the left and right levels made from them.
#pragma once

#include "platform/win32.h"

// Reads the volume (0..100) and balance (0..200, centre 100) sliders and sends
// the channel levels (0..100 each) to the decoder.
void apply_volume(void);
// Puts the balance slider of the dialog at the centre when it is within 10 of it.
void snap_balance(HWND dialog);
