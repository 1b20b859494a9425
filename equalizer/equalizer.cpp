// Ten-band equalizer: its dialog and its application to the decoder.
#include "equalizer/equalizer.h"

#include <cstdio>
#include <cstdlib>

#include "settings/font.h"
#include "settings/settings.h"
#include "vbmp3/vbmp3.h"

// Slider position p (0 at the top .. 200 at the bottom) is the gain 100 - p.
#define SLIDER_MAXIMUM 200
#define SLIDER_MIDDLE 100
#define SNAP_DISTANCE 10
#define BAND_LABEL_COUNT 10
#define VALUE_LABEL_SIZE 32

int eq_bands[EQ_BAND_COUNT];
int eq_active = 0;
// The ten band sliders of the open dialog; set by init_equalizer_dialog and
// valid only while the dialog is open.
static HWND eq_sliders[EQ_BAND_COUNT];

static void send_bands(const int* bands) {
    vbmp3_setEqualizer(bands);
}

static void send_flat(void) {
    static const int flat[EQ_BAND_COUNT] = {};
    send_bands(flat);
}

// The slider position of a gain. A stored gain may be any int, for which
// 100 - gain overflows; the slider would clamp it to its end all the same.
static int slider_position(int gain) {
    long long position = SLIDER_MIDDLE - (long long)gain;
    if (position < 0) {
        return 0;
    }
    if (position > SLIDER_MAXIMUM) {
        return SLIDER_MAXIMUM;
    }
    return (int)position;
}

static void init_equalizer_dialog(HWND dialog) {
    for (int i = 0; i < EQ_BAND_COUNT; i++) {
        eq_sliders[i] = GetDlgItem(dialog, EQ_FIRST_SLIDER + i);
        SendMessageA(eq_sliders[i], TBM_SETRANGE, FALSE, MAKELPARAM(0, SLIDER_MAXIMUM));
        SendMessageA(eq_sliders[i], TBM_SETPOS, TRUE, slider_position(eq_bands[i]));
    }
    // Any stored non-zero value counts as on.
    SendMessageA(GetDlgItem(dialog, EQ_LAUNCH), BM_SETCHECK,
                 eq_active != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    SetWindowTextA(GetDlgItem(dialog, EQ_VALUE_LABEL), "");

    FontControl controls[3 + BAND_LABEL_COUNT] = {
        {EQ_LAUNCH, TRUE}, {EQ_ZERO, TRUE}, {EQ_VALUE_LABEL, FALSE}};
    for (int i = 0; i < BAND_LABEL_COUNT; i++) {
        controls[3 + i] = {EQ_FIRST_BAND_LABEL + i, TRUE};
    }
    apply_dialog_font(dialog, controls, 3 + BAND_LABEL_COUNT);
}

// Index 0..9 of the window in eq_sliders, or -1 when it is none of them.
static int band_of_control(HWND window) {
    for (int i = 0; i < EQ_BAND_COUNT; i++) {
        if (eq_sliders[i] == window) {
            return i;
        }
    }
    return -1;
}

// Stores 100 - position as the band's gain and shows "[Pn] : +x.xdB" in label.
static void set_band_value(int band, int position, HWND label) {
    eq_bands[band] = SLIDER_MIDDLE - position;
    // "%+5.1fdB" of the gain in decibels, built from the integer tenths so
    // that the user's locale cannot change the decimal point.
    int tenths = eq_bands[band];
    char number[16];
    snprintf(number, sizeof number, "%c%d.%d", tenths < 0 ? '-' : '+', abs(tenths) / 10,
             abs(tenths) % 10);
    char text[VALUE_LABEL_SIZE];
    snprintf(text, sizeof text, "[P%d] : %5sdB", band, number);
    SetWindowTextA(label, text);
}

// "Lancer": switches the equalizer on or off and tells the decoder.
static void toggle_equalizer(void) {
    eq_active = eq_active == 0 ? 1 : 0;
    if (eq_active != 0) {
        send_bands(eq_bands);
    } else {
        send_flat();
    }
}

// "Zéro": every band to 0 dB; sent to the decoder when active.
static void zero_equalizer(HWND dialog) {
    SetWindowTextA(GetDlgItem(dialog, EQ_VALUE_LABEL), "0.0dB");
    for (int i = 0; i < EQ_BAND_COUNT; i++) {
        eq_bands[i] = 0;
        SendMessageA(GetDlgItem(dialog, EQ_FIRST_SLIDER + i), TBM_SETPOS, TRUE, SLIDER_MIDDLE);
    }
    if (eq_active != 0) {
        send_bands(eq_bands);
    }
}

// A band slider moved: the band is the focused slider's. Dragging snaps to
// 0 dB near the middle and reaches the decoder only on release.
static void band_notification(HWND dialog, int code) {
    int band = band_of_control(GetFocus());
    if (band < 0) {
        return;
    }
    HWND label = GetDlgItem(dialog, EQ_VALUE_LABEL);
    int position = (int)SendMessageA(eq_sliders[band], TBM_GETPOS, 0, 0);
    if (code == TB_THUMBTRACK) {
        if (position >= SLIDER_MIDDLE - SNAP_DISTANCE &&
            position <= SLIDER_MIDDLE + SNAP_DISTANCE) {
            SendMessageA(eq_sliders[band], TBM_SETPOS, TRUE, SLIDER_MIDDLE);
            position = SLIDER_MIDDLE;
        }
        set_band_value(band, position, label);
    } else if (code == TB_ENDTRACK) {
        set_band_value(band, position, label);
        if (eq_active != 0) {
            send_bands(eq_bands);
        }
    } else {
        set_band_value(band, position, label);
    }
}

INT_PTR CALLBACK equalizer_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        init_equalizer_dialog(dialog);
        return TRUE;
    case WM_COMMAND:
        // Only the two buttons: Enter and Esc (IDOK, IDCANCEL) leave the dialog open.
        if (LOWORD(wparam) == EQ_ZERO) {
            zero_equalizer(dialog);
            return TRUE;
        }
        if (LOWORD(wparam) == EQ_LAUNCH) {
            toggle_equalizer();
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        save_equalizer_settings();
        EndDialog(dialog, 0);
        return TRUE;
    case WM_VSCROLL:
        band_notification(dialog, LOWORD(wparam));
        return TRUE;
    default:
        return FALSE;
    }
}
