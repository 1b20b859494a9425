// Volume and balance: channel levels from the two sliders.
#include "playback/volume.h"

#include "common/globals.h"
#include "common/resource.h"
#include "vbmp3/vbmp3.h"

#define BALANCE_CENTRE 100
#define BALANCE_SNAP 10

void apply_volume(void) {
    int volume = (int)SendMessageA(GetDlgItem(main_dialog, IDC_VOLUME_SLIDER), TBM_GETPOS, 0, 0);
    int balance = (int)SendMessageA(GetDlgItem(main_dialog, IDC_BALANCE_SLIDER), TBM_GETPOS, 0, 0);
    int left_factor = 100;
    int right_factor = balance;
    if (balance > BALANCE_CENTRE) {
        left_factor = 200 - balance;
        right_factor = 100;
    }
    vbmp3_setVolume(volume * left_factor / 100, volume * right_factor / 100);
}

void snap_balance(HWND dialog) {
    HWND slider = GetDlgItem(dialog, IDC_BALANCE_SLIDER);
    int balance = (int)SendMessageA(slider, TBM_GETPOS, 0, 0);
    if (balance >= BALANCE_CENTRE - BALANCE_SNAP && balance <= BALANCE_CENTRE + BALANCE_SNAP) {
        SendMessageA(slider, TBM_SETPOS, TRUE, BALANCE_CENTRE);
    }
}
