// Reader for the resource script (.rc) the dialogs, menus and images are
// described in, as the C preprocessor leaves it: names replaced by numbers,
// with its line markers. Internal to the Qt platform layer.
//
// It takes exactly what app/melodiane.rc uses and fails on anything else: the
// build runs it over the script (platform/entry/rc_check.cpp) and stops at the
// first line it does not take, so a script that reaches the program reads
// whole. Text stays in the bytes it is given (the program's UTF-8: the layer
// converts the script first).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A resource or control text given either as a number or as a name.
struct RcName {
    bool is_number = false;
    long number = 0;
    std::string text;
};

struct RcControl {
    std::string class_name; // "Button", "Static", "ListBox", "msctls_trackbar32"
    RcName text;
    int id = 0;
    std::uint32_t style = 0;
    std::uint32_t ex_style = 0;
    int x = 0, y = 0, width = 0, height = 0;
};

struct RcDialog {
    RcName name;
    int x = 0, y = 0, width = 0, height = 0;
    std::uint32_t style = 0;
    std::uint32_t ex_style = 0;
    std::string caption;
    bool has_font = false;
    int font_points = 8;
    std::string font_face;
    int font_weight = 0;
    bool font_italic = false;
    std::vector<RcControl> controls;
};

struct RcMenuItem {
    std::string text;
    int id = 0;
    bool separator = false;
    bool popup = false;
    std::vector<RcMenuItem> items; // a pop-up's own items
};

struct RcMenu {
    RcName name;
    std::vector<RcMenuItem> items;
};

// A resource stored in a file of its own: BITMAP, ICON.
struct RcFile {
    RcName name;
    std::string type; // "BITMAP", "ICON"
    std::string file;
};

struct RcScript {
    std::vector<RcDialog> dialogs;
    std::vector<RcMenu> menus;
    std::vector<RcFile> files;
};

// Reads the preprocessed script into *script. On the first thing outside the
// subset it stops, leaves *script empty and returns "FILE:LINE: what" (the
// line in the script before preprocessing); otherwise returns "".
std::string parse_rc_script(const std::string& text, RcScript* script);

// Whether a resource name asked for by a program (an integer resource or a
// name, "#123" meaning the number 123) designates the given name.
bool rc_name_matches(const RcName& name, const char* wanted);
