// Ten-band graphic equalizer: the band gains, their modal dialog (IDD_DIALOG3)
// and their application to the decoder.
#pragma once

#include "app/resource.h"
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
// Loaded at start-up by load_settings; flipped by toggle_equalizer.
extern int eq_active;
// The ten band sliders of the open dialog; set by init_equalizer_dialog and
// valid only while the dialog is open.
extern HWND eq_sliders[EQ_BAND_COUNT];

INT_PTR CALLBACK equalizer_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
void init_equalizer_dialog(HWND dialog);
// Index 0..9 of the window in eq_sliders, or -1 when it is none of them.
int band_of_control(HWND window);
// Stores 100 - position as the band's gain and shows "[Pn] : +x.xdB" in label.
void set_band_value(int band, int position, HWND label);
// "Lancer": switches the equalizer on or off and tells the decoder.
void toggle_equalizer(void);
// "Zéro": every band to 0 dB; sent to the decoder when active.
void zero_equalizer(HWND dialog);
