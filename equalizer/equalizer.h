// Ten-band graphic equalizer: the band gains, their modal dialog (IDD_DIALOG3)
// and their application to the decoder.
#pragma once

#include "common/resource.h"
#include "platform/win32.h"

#define EQ_BAND_COUNT 10

// Controls of the equalizer dialog (numbers in resource.h).
#define EQ_LAUNCH IDC_EQ_ENABLE // "Lancer": push-like check box, on/off
#define EQ_ZERO IDC_EQ_ZERO
#define EQ_VALUE_LABEL IDC_EQ_VALUE
#define EQ_FIRST_BAND_LABEL IDC_EQ_BAND_LABEL // 10 labels, "60" .. "16K"
#define EQ_FIRST_SLIDER IDC_EQ_BAND           // 10 band sliders, 60 Hz first

// Gains in tenths of a decibel, 60 Hz band first. Loaded at start-up by
// load_settings (as stored, unclamped); changed by the dialog's sliders and Zero.
extern int eq_bands[EQ_BAND_COUNT];
// Non-zero: the bands are applied; 0: the decoder gets a flat response.
// Loaded at start-up by load_settings; flipped by the dialog's "Lancer".
extern int eq_active;
// The modal dialog's procedure (IDD_DIALOG3): ten band sliders, "Lancer",
// "Zéro"; the bands are saved to the settings file when it closes.
INT_PTR CALLBACK equalizer_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
