// Paths and UTF-8 files as the program's ANSI text, through Windows' own
// conversions. The ANSI code page is the one the A functions will read the
// paths in (Windows-1252 on a Western system).
#include "platform/files/native_text.h"

#include <windows.h>

std::string native_path(const char* path) {
    return path;
}

// UTF-16 of UTF-8 bytes; strict: false when they are not valid UTF-8.
static bool widen_utf8(std::string_view utf8, bool strict, std::wstring* wide) {
    wide->clear();
    if (utf8.empty())
        return true;
    DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
    int size = static_cast<int>(utf8.size());
    int count = MultiByteToWideChar(CP_UTF8, flags, utf8.data(), size, nullptr, 0);
    if (count <= 0)
        return false;
    wide->resize(static_cast<size_t>(count));
    MultiByteToWideChar(CP_UTF8, flags, utf8.data(), size, wide->data(), count);
    return true;
}

// One character (one or two UTF-16 units) in the ANSI code page; false, with
// nothing appended, when it has none. No best fit: "é" never quietly becomes "e".
static bool append_ansi(const wchar_t* units, int count, std::string* ansi) {
    char bytes[8];
    BOOL defaulted = FALSE;
    int written = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units, count, bytes,
                                      sizeof bytes, nullptr, &defaulted);
    if (written <= 0 || defaulted)
        return false;
    ansi->append(bytes, static_cast<size_t>(written));
    return true;
}

bool utf8_to_ansi(std::string_view utf8, bool lenient, std::string* ansi,
                  std::vector<size_t>* lossy_offsets) {
    std::wstring wide;
    if (!widen_utf8(utf8, true, &wide) && (!lenient || !widen_utf8(utf8, false, &wide)))
        return false;
    ansi->reserve(ansi->size() + wide.size());
    for (size_t at = 0; at < wide.size();) {
        wchar_t unit = wide[at];
        if (unit < 0x80) {
            *ansi += static_cast<char>(unit);
            at++;
            continue;
        }
        int count =
            IS_HIGH_SURROGATE(unit) && at + 1 < wide.size() && IS_LOW_SURROGATE(wide[at + 1]) ? 2
                                                                                              : 1;
        if (!append_ansi(wide.data() + at, count, ansi)) {
            lossy_offsets->push_back(ansi->size());
            *ansi += '?';
        }
        at += static_cast<size_t>(count);
    }
    return true;
}
