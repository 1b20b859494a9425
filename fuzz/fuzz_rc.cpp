// Fuzz target of the resource script reader. The input is the script; what
// follows its first NUL byte, if any, is the text of every file it includes
// (the reader bounds the nesting). The program's own lookups by name and by
// number then run over what was read.
#include "platform/qt/resources/rc_script.h"

#include <cstdint>
#include <optional>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

static void look_up(const RcName& name) {
    static const char* const wanted[] = {
        reinterpret_cast<const char*>(std::uintptr_t{101}),
        reinterpret_cast<const char*>(std::uintptr_t{0}),
        "#101",
        "#",
        "IDD_DIALOG1",
        "",
    };
    for (const char* w : wanted)
        rc_name_matches(name, w);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t split = input.find('\0');
    std::string script = input.substr(0, split);
    std::optional<std::string> included;
    if (split != std::string::npos)
        included = input.substr(split + 1);
    RcScript result = parse_rc_script(script, [&included](const std::string&) { return included; });
    for (const RcDialog& dialog : result.dialogs) {
        look_up(dialog.name);
        for (const RcControl& control : dialog.controls)
            look_up(control.text);
    }
    for (const RcMenu& menu : result.menus)
        look_up(menu.name);
    for (const RcFile& file : result.files)
        look_up(file.name);
    return 0;
}
