// The user's dialog font: chosen with the font dialog, kept in the settings
// file, sent to the controls of each dialog.
#include "settings/font.h"

#include <cstring>

#include "common/globals.h"
#include "common/resource.h"
#include "settings/settings.h"

// Scalable TrueType screen fonts of the record's (ANSI) script, opening on
// the stored font; no effects, so no underline, strikeout or colour choice.
#define FONT_DIALOG_FLAGS                                                                          \
    (CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_SCALABLEONLY | CF_TTONLY | CF_SELECTSCRIPT)

void set_main_window_font(const LOGFONTA* font) {
    HFONT handle = CreateFontIndirectA(font);
    // Every control from "Pauser" to the list's group box, then "Jouer";
    // an identifier with no control in the main window is skipped.
    for (int id = IDC_PAUSE; id <= IDC_LIST_GROUP; id++) {
        HWND control = GetDlgItem(main_dialog, id);
        if (control != nullptr) {
            SendMessageA(control, WM_SETFONT, (WPARAM)handle, TRUE);
        }
    }
    SendMessageA(GetDlgItem(main_dialog, IDC_PLAY), WM_SETFONT, (WPARAM)handle, TRUE);
}

void apply_dialog_font(HWND dialog, const FontControl* controls, int count) {
    char path[MAX_PATH];
    settings_path(path);
    LOGFONTA font;
    read_font_settings(&font, path);
    HFONT handle = CreateFontIndirectA(&font);
    for (int i = 0; i < count; i++) {
        SendMessageA(GetDlgItem(dialog, controls[i].id), WM_SETFONT, (WPARAM)handle,
                     controls[i].redraw);
    }
}

void choose_font(void) {
    char path[MAX_PATH];
    settings_path(path);
    LOGFONTA font;
    read_font_settings(&font, path);

    CHOOSEFONTA choice;
    memset(&choice, 0, sizeof choice);
    choice.lStructSize = sizeof choice;
    choice.hwndOwner = main_dialog;
    choice.lpLogFont = &font;
    choice.Flags = FONT_DIALOG_FLAGS;
    choice.rgbColors = 0;
    choice.nFontType = SCREEN_FONTTYPE;

    if (ChooseFontA(&choice) != 0) {
        // Whatever script the user picked, the font is made for ANSI text.
        font.lfCharSet = ANSI_CHARSET;
        set_main_window_font(&font);
        write_font_settings(&font, path);
        flush_settings();
    }
    InvalidateRect(main_dialog, nullptr, TRUE);
}
