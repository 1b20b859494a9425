// Reader for the Windows resource script (.rc) the dialogs, menus and images
// are described in. Internal to the Qt platform layer.
//
// It understands what a resource editor writes: #include, #define, #if
// families, DIALOG and DIALOGEX with STYLE, EXSTYLE, CAPTION and FONT, the
// standard control statements and CONTROL, MENU with POPUP, MENUITEM and
// SEPARATOR, and BITMAP and ICON file lines. Text stays in the bytes it is given
// (the program's UTF-8: the layer converts the script first). Any input is accepted: what it cannot
// make sense of is skipped, never trusted.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// A resource or control text given either as a number or as a name.
struct RcName {
    bool is_number = false;
    long number = 0;
    std::string text;
};

struct RcControl {
    std::string class_name; // "Button", "Static", "ListBox", "msctls_trackbar32", ...
    RcName text;
    int id = 0;
    std::uint32_t style = 0;
    std::uint32_t ex_style = 0;
    int x = 0, y = 0, width = 0, height = 0;
};

struct RcDialog {
    RcName name;
    bool extended = false;
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
    bool grayed = false;
    bool checked = false;
    std::vector<RcMenuItem> items; // a pop-up's own items
};

struct RcMenu {
    RcName name;
    std::vector<RcMenuItem> items;
};

// A resource stored in a file of its own: BITMAP, ICON.
struct RcFile {
    RcName name;
    std::string type; // upper case: "BITMAP", "ICON"
    std::string file;
};

struct RcScript {
    std::vector<RcDialog> dialogs;
    std::vector<RcMenu> menus;
    std::vector<RcFile> files;
};

// Reads the text of an included file by the name the script gives, or nothing
// when there is no such file (system headers, for example).
using RcIncludeReader = std::function<std::optional<std::string>(const std::string& name)>;

RcScript parse_rc_script(const std::string& text, const RcIncludeReader& read_include);

// Whether a resource name asked for by a program (an integer resource or a
// name, "#123" meaning the number 123) designates the given name.
bool rc_name_matches(const RcName& name, const char* wanted);
