// The resource script reader: the script as the program reads it agrees with
// what the Windows resource compiler builds from it, and anything beyond the
// statements the script uses is refused at its line.
#include "platform/qt/resources/rc_script.h"
#include "platform/qt/resources/resources.h"
#include "platform/testing.h"
#include "platform/win32.h"

#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <tuple>

namespace {

// The dialog templates of a compiled resource file (.res), as Windows reads them.
struct Bytes {
    std::string data;
    std::size_t at = 0;

    std::uint16_t word() {
        std::uint16_t value = 0;
        std::memcpy(&value, data.data() + at, 2);
        at += 2;
        return value;
    }
    std::uint32_t dword() {
        std::uint32_t value = word();
        return value | static_cast<std::uint32_t>(word()) << 16;
    }
    std::int16_t coordinate() {
        return static_cast<std::int16_t>(word());
    }
    void align() {
        at = (at + 3) & ~std::size_t(3);
    }
    // A string or, after 0xFFFF, a number: the text in UTF-8 or the number.
    RcName name() {
        RcName result;
        if (word() == 0xFFFF) {
            result.is_number = true;
            result.number = word();
            return result;
        }
        at -= 2;
        std::u16string text;
        while (std::uint16_t c = word()) {
            text += static_cast<char16_t>(c);
        }
        result.text = QString::fromStdU16String(text).toStdString();
        return result;
    }
};

std::string class_of(const RcName& name) {
    static const char* const atoms[] = {"Button",  "Edit",      "Static",
                                        "ListBox", "ScrollBar", "ComboBox"};
    return name.is_number ? atoms[name.number - 0x80] : name.text;
}

RcDialog read_template(Bytes bytes) {
    RcDialog dialog;
    bytes.at += 8; // version, signature, help identifier
    dialog.ex_style = bytes.dword();
    dialog.style = bytes.dword();
    int count = bytes.word();
    dialog.x = bytes.coordinate();
    dialog.y = bytes.coordinate();
    dialog.width = bytes.coordinate();
    dialog.height = bytes.coordinate();
    bytes.name(); // menu
    bytes.name(); // class
    dialog.caption = bytes.name().text;
    dialog.font_points = bytes.word();
    dialog.font_weight = bytes.word();
    dialog.font_italic = (bytes.word() & 0xFF) != 0;
    dialog.font_face = bytes.name().text;
    for (int i = 0; i < count; ++i) {
        bytes.align();
        RcControl control;
        bytes.at += 4; // help identifier
        control.ex_style = bytes.dword();
        control.style = bytes.dword();
        control.x = bytes.coordinate();
        control.y = bytes.coordinate();
        control.width = bytes.coordinate();
        control.height = bytes.coordinate();
        control.id = static_cast<int>(bytes.dword());
        control.class_name = class_of(bytes.name());
        control.text = bytes.name();
        bytes.at += bytes.word(); // creation data
        dialog.controls.push_back(control);
    }
    return dialog;
}

std::vector<RcDialog> read_res(const std::string& data) {
    std::vector<RcDialog> dialogs;
    Bytes bytes{data};
    while (bytes.at + 8 <= data.size()) {
        std::size_t start = bytes.at;
        std::uint32_t size = bytes.dword();
        std::uint32_t header = bytes.dword();
        RcName type = bytes.name();
        RcName name = bytes.name();
        bytes.at = start + header;
        if (type.is_number && type.number == 5) { // RT_DIALOG
            dialogs.push_back(read_template(Bytes{data.substr(bytes.at, size)}));
            dialogs.back().name = name;
        }
        bytes.at += size;
        bytes.align();
    }
    return dialogs;
}

bool same_class(std::string a, std::string b) {
    auto lower = [](std::string& text) {
        for (char& c : text) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    };
    lower(a);
    lower(b);
    return a == b;
}

} // namespace

// The resource compiler of the Windows build, when it is installed, builds
// the templates Windows reads: the program's reading of the script must be
// the same, style bit for style bit.
TEST(ResourceScript, AgreesWithTheWindowsResourceCompiler) {
    if (std::system("command -v x86_64-w64-mingw32-windres >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no Windows resource compiler";
    }
    const char* source = std::getenv("MELODIANE_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    std::string output = testing::TempDir() + "melodiane_compiled.res";
    std::string command = "cd '" + std::string(source) +
                          "/app' && x86_64-w64-mingw32-windres -c 1252 melodiane.rc -O res -o '" +
                          output + "'";
    // A script the real resource compiler rejects is a failure, not a skip.
    ASSERT_EQ(std::system(command.c_str()), 0) << "the resource compiler rejects melodiane.rc";
    std::ifstream file(output, std::ios::binary);
    std::vector<RcDialog> theirs = read_res(std::string(std::istreambuf_iterator<char>(file), {}));

    platform_test_init();
    const RcScript& ours = resources_script();
    ASSERT_EQ(ours.dialogs.size(), 3u);
    ASSERT_EQ(theirs.size(), ours.dialogs.size());
    for (const RcDialog& a : ours.dialogs) {
        auto found = std::find_if(theirs.begin(), theirs.end(), [&](const RcDialog& b) {
            return b.name.number == a.name.number;
        });
        ASSERT_NE(found, theirs.end()) << a.name.number;
        const RcDialog& b = *found;
        EXPECT_EQ(a.style, b.style);
        EXPECT_EQ(a.ex_style, b.ex_style);
        EXPECT_EQ(std::tie(a.x, a.y, a.width, a.height), std::tie(b.x, b.y, b.width, b.height));
        EXPECT_EQ(a.caption, b.caption);
        EXPECT_EQ(a.font_face, b.font_face);
        EXPECT_EQ(a.font_points, b.font_points);
        EXPECT_EQ(a.font_weight, b.font_weight);
        EXPECT_EQ(a.font_italic, b.font_italic);
        ASSERT_EQ(a.controls.size(), b.controls.size());
        for (std::size_t c = 0; c < a.controls.size(); ++c) {
            const RcControl& x = a.controls[c];
            const RcControl& y = b.controls[c];
            SCOPED_TRACE(x.id);
            EXPECT_EQ(x.id, y.id);
            EXPECT_TRUE(same_class(x.class_name, y.class_name))
                << x.class_name << " " << y.class_name;
            EXPECT_EQ(x.text.text, y.text.text);
            // windres leaves out a text statement's WS_GROUP when the
            // statement gives a style of its own (the equalizer's labels);
            // the layer keeps the Microsoft compiler's reading, which adds
            // the given style to the statement's own.
            std::uint32_t dropped = same_class(x.class_name, "Static") ? WS_GROUP : 0;
            EXPECT_EQ(x.style & ~dropped, y.style & ~dropped);
            EXPECT_EQ(x.ex_style, y.ex_style);
            EXPECT_EQ(std::tie(x.x, x.y, x.width, x.height), std::tie(y.x, y.y, y.width, y.height));
        }
    }
}

// What the build's check reports: the line of the script that holds what the
// reader does not take, whatever comes before it.
TEST(ResourceScript, RefusesWhatTheScriptDoesNotUseAtItsLine) {
    const std::string head = "# 0 \"app/x.rc\"\n"
                             "# 1 \"app/x.rc\"\n"
                             "#pragma code_page(1252)\n"
                             "# 1 \"common/ids.h\" 1\n"
                             "\n"
                             "# 3 \"app/x.rc\" 2\n"
                             "LANGUAGE LANG_FRENCH, SUBLANG_FRENCH\n"
                             "101 DIALOGEX 0, 0, 10, 10\n"
                             "STYLE 0x40L | 0x80000000L\n"
                             "BEGIN\n";
    const std::string tail = "END\n";
    struct Case {
        const char* text;
        const char* message; // empty when the text is taken
    };
    const Case cases[] = {
        {"    PUSHBUTTON \"a\",1,1,2,3,4\n    CONTROL \"\",1044 + 2,\"Static\",0x1 | (0x2),"
         "1,2,3,4,0x20000\n",
         ""},
        {"    EDITTEXT 1,1,2,3,4\n", "app/x.rc:7: a control statement expected, not 'EDITTEXT'"},
        {"    PUSHBUTTON \"a\",1,1,2,3,4,NOT WS_TABSTOP\n",
         "app/x.rc:7: a number expected, not 'NOT'"},
        {"    PUSHBUTTON \"a\",IDC_UNKNOWN,1,2,3,4\n",
         "app/x.rc:7: a number expected, not 'IDC_UNKNOWN'"},
        {"    PUSHBUTTON \"a\\n\",1,1,2,3,4\n", "app/x.rc:7: a string with an escape or no end"},
        {"    PUSHBUTTON \"a\",1,1,2,3,4 - 1\n", "app/x.rc:7: the character '-'"},
        {"#if 1\n", "app/x.rc:7: a directive other than #pragma code_page(1252)"},
        {"END\n1 VERSIONINFO\nBEGIN\n", "app/x.rc:8: DIALOGEX, MENU, BITMAP or ICON expected, "
                                        "not 'VERSIONINFO'"},
        {"# 1 \"common/ids.h\" 1\nint declared;\n", "common/ids.h:1: more than definitions in "
                                                    "an included file"},
        {"    PUSHBUTTON \"a\",1,1,2,3\n", "app/x.rc:8: ',' expected, not 'END'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        RcScript script;
        EXPECT_EQ(parse_rc_script(head + c.text + tail, &script), c.message);
        EXPECT_EQ(script.dialogs.size(), c.message[0] == '\0' ? 1u : 0u);
    }
}
