// The settings file: every key, read at start-up and written back at once,
// then in parts when the main window, the equalizer or the font dialog closes.
#include "settings/settings.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "common/globals.h"
#include "common/resource.h"
#include "equalizer/equalizer.h"
#include "playback/volume.h"
#include "playlist_files/playlist_files.h"
#include "settings/font.h"
#include "vbmp3/vbmp3.h"

#define DEFAULT_VOLUME 50
#define DEFAULT_BALANCE 100
#define DEFAULT_FACE_NAME "Arial"
#define DEFAULT_FONT_HEIGHT (-12)
#define DEFAULT_FONT_WEIGHT 400

static int read_int(const char* key, int default_value, const char* path) {
    // The profile reader accepts a leading minus sign; its result is unsigned.
    return (int)GetPrivateProfileIntA(SETTINGS_SECTION, key, default_value, path);
}

static void write_int(const char* key, int value, const char* path) {
    char text[16];
    snprintf(text, sizeof text, "%d", value);
    WritePrivateProfileStringA(SETTINGS_SECTION, key, text, path);
}

// Ends a burst of writes: the file is replaced once, with all of them.
void flush_settings(void) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr);
}

// program_dir always leaves room for the program's file names (globals.h).
void settings_path(char* path) {
    strcpy(path, program_dir);
    strcat(path, SETTINGS_FILE_NAME);
}

// The twelve numeric font keys in file order after "fontfacename". Byte fields
// keep only the low 8 bits of what is stored; the others are 32-bit.
struct FontKey {
    const char* name;
    size_t offset; // of the field in LOGFONTA
    int is_byte;   // a BYTE field, else a LONG
    int default_value;
};

static const FontKey font_keys[] = {
    {"fontheight", offsetof(LOGFONTA, lfHeight), 0, DEFAULT_FONT_HEIGHT},
    {"fontclipprecision", offsetof(LOGFONTA, lfClipPrecision), 1, 0},
    {"fontescapement", offsetof(LOGFONTA, lfEscapement), 0, 0},
    {"fontitalic", offsetof(LOGFONTA, lfItalic), 1, 0},
    {"fontorientation", offsetof(LOGFONTA, lfOrientation), 0, 0},
    {"fontoutprecision", offsetof(LOGFONTA, lfOutPrecision), 1, 0},
    {"fontpitchandfamily", offsetof(LOGFONTA, lfPitchAndFamily), 1, 0},
    {"fontquality", offsetof(LOGFONTA, lfQuality), 1, 0},
    {"fontstrikeout", offsetof(LOGFONTA, lfStrikeOut), 1, 0},
    {"fontunderline", offsetof(LOGFONTA, lfUnderline), 1, 0},
    {"fontweight", offsetof(LOGFONTA, lfWeight), 0, DEFAULT_FONT_WEIGHT},
    {"fontwidth", offsetof(LOGFONTA, lfWidth), 0, 0},
};

void read_font_settings(LOGFONTA* font, const char* path) {
    memset(font, 0, sizeof *font);
    // Read whole, then cut at a character boundary: the profile functions cut bytes.
    char face[MAX_PATH];
    GetPrivateProfileStringA(SETTINGS_SECTION, "fontfacename", DEFAULT_FACE_NAME, face, sizeof face,
                             path);
    text_cut(face, sizeof font->lfFaceName - 1);
    strcpy(font->lfFaceName, face);
    for (const FontKey& key : font_keys) {
        int value = read_int(key.name, key.default_value, path);
        char* field = (char*)font + key.offset;
        if (key.is_byte) {
            *(BYTE*)field = (BYTE)(value & 0xFF);
        } else {
            *(LONG*)field = value;
        }
    }
    font->lfCharSet = ANSI_CHARSET;
}

void write_font_settings(const LOGFONTA* font, const char* path) {
    WritePrivateProfileStringA(SETTINGS_SECTION, "fontfacename", font->lfFaceName, path);
    for (const FontKey& key : font_keys) {
        const char* field = (const char*)font + key.offset;
        write_int(key.name, key.is_byte ? *(const BYTE*)field : (int)*(const LONG*)field, path);
    }
}

void write_equalizer_settings(const char* path) {
    for (int i = 0; i < EQ_BAND_COUNT; i++) {
        char key[8];
        snprintf(key, sizeof key, "eq%d", i);
        write_int(key, eq_bands[i], path);
    }
    write_int("activateeq", eq_active, path);
}

void save_equalizer_settings(void) {
    char path[MAX_PATH];
    settings_path(path);
    write_equalizer_settings(path);
    flush_settings();
}

void load_settings(void) {
    char path[MAX_PATH];
    // The file is read once and written once per burst, not at every key.
    profile_defer_writes();
    read_start_directory(program_dir);
    settings_path(path);

    LOGFONTA font;
    read_font_settings(&font, path);
    set_main_window_font(&font);

    int volume = read_int("volume", DEFAULT_VOLUME, path);
    int balance = read_int("balance", DEFAULT_BALANCE, path);
    HWND volume_slider = GetDlgItem(main_dialog, IDC_VOLUME_SLIDER);
    HWND balance_slider = GetDlgItem(main_dialog, IDC_BALANCE_SLIDER);
    SendMessageA(volume_slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, 100));
    SendMessageA(balance_slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, 200));
    // The sliders clamp a stored value outside their range; the file keeps it.
    SendMessageA(volume_slider, TBM_SETPOS, TRUE, volume);
    SendMessageA(balance_slider, TBM_SETPOS, TRUE, balance);
    SendMessageA(GetDlgItem(main_dialog, IDC_TIME_SLIDER), TBM_SETPOS, TRUE, 0);
    apply_volume();

    int repeat = read_int("repeat", 0, path);
    SendMessageA(GetDlgItem(main_dialog, IDC_REPEAT), BM_SETCHECK,
                 repeat != 0 ? BST_CHECKED : BST_UNCHECKED, 0);

    eq_active = read_int("activateeq", 0, path);
    for (int i = 0; i < EQ_BAND_COUNT; i++) {
        char key[8];
        snprintf(key, sizeof key, "eq%d", i);
        eq_bands[i] = read_int(key, 0, path);
    }
    if (eq_active != 0) {
        vbmp3_setEqualizer(eq_bands);
    }

    // Everything is written back at once, in a fixed order, as it was read.
    write_int("volume", volume, path);
    write_int("balance", balance, path);
    write_int("repeat", repeat, path);
    write_font_settings(&font, path);
    write_equalizer_settings(path);
    flush_settings();
}

void save_settings_on_close(int user_present) {
    char playlist_path[MAX_PATH];
    strcpy(playlist_path, program_dir);
    strcat(playlist_path, DEFAULT_PLAYLIST_NAME);
    if (user_present) {
        write_m3u(playlist_path);
    } else {
        write_m3u_file(playlist_path);
    }

    char path[MAX_PATH];
    settings_path(path);
    write_int("volume",
              (int)SendMessageA(GetDlgItem(main_dialog, IDC_VOLUME_SLIDER), TBM_GETPOS, 0, 0),
              path);
    write_int("balance",
              (int)SendMessageA(GetDlgItem(main_dialog, IDC_BALANCE_SLIDER), TBM_GETPOS, 0, 0),
              path);
    write_int("repeat", IsDlgButtonChecked(main_dialog, IDC_REPEAT) != 0 ? 1 : 0, path);
    flush_settings();
}
