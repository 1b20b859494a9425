// The resource script reader: what a resource editor writes, and any input
// at all without failing.
#include "platform/qt/resources/rc_script.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <tuple>

static std::optional<std::string> no_includes(const std::string&) {
    return std::nullopt;
}

TEST(ResourceScript, ReadsDialogsControlsMenusAndFiles) {
    std::map<std::string, std::string> files = {
        {"ids.h",
         "#pragma once\n#define IDD_TEST 200\n#define IDC_A 10 /* first */\n"
         "#define IDC_B (IDC_A + 1)\n#ifdef APSTUDIO_INVOKED\n#define IDC_A 99\n#endif\n"}};
    auto reader = [&](const std::string& name) -> std::optional<std::string> {
        auto found = files.find(name);
        return found == files.end() ? std::nullopt : std::optional<std::string>(found->second);
    };
    const char* text =
        "#include \"ids.h\"\r\n"
        "#include <windows.h>\r\n"
        "LANGUAGE LANG_FRENCH, SUBLANG_FRENCH\r\n"
        "IDD_TEST DIALOGEX 1, 2, 100, 50\r\n"
        "STYLE DS_SETFONT | WS_POPUP | WS_CAPTION\r\n"
        "CAPTION \"Un \"\"essai\"\" \xE9t\xE9\"\r\n"
        "FONT 9, \"Arial\", 400, 0, 0x1\r\n"
        "BEGIN\r\n"
        "    PUSHBUTTON \"&Go\",IDC_A,1,2,3,4,NOT WS_TABSTOP | BS_DEFPUSHBUTTON\r\n"
        "    LISTBOX IDC_B,5,6,7,8,LBS_EXTENDEDSEL // a comment\r\n"
        "    CONTROL \"\",12,\"msctls_trackbar32\",TBS_VERT,9,10,11,12,WS_EX_STATICEDGE\r\n"
        "    LTEXT \"x\",-1,0,0,1,1\r\n"
        "END\r\n"
        "MENUNAME MENU\r\n"
        "BEGIN\r\n"
        "    POPUP \"Pop\"\r\n"
        "    BEGIN\r\n"
        "        MENUITEM \"One\", 1, GRAYED\r\n"
        "        MENUITEM SEPARATOR\r\n"
        "        MENUITEM \"Two\", IDC_B\r\n"
        "    END\r\n"
        "END\r\n"
        "1 VERSIONINFO FILEVERSION 1,0,0,1 BEGIN BLOCK \"x\" BEGIN VALUE \"a\", \"b\" END END\r\n"
        "PIC BITMAP \"pic.bmp\"\r\n";
    RcScript script = parse_rc_script(text, reader);
    ASSERT_EQ(script.dialogs.size(), 1u);
    const RcDialog& dialog = script.dialogs[0];
    EXPECT_TRUE(dialog.name.is_number);
    EXPECT_EQ(dialog.name.number, 200);
    EXPECT_TRUE(rc_name_matches(dialog.name, reinterpret_cast<const char*>(200)));
    EXPECT_TRUE(rc_name_matches(dialog.name, "#200"));
    EXPECT_EQ(dialog.width, 100);
    EXPECT_EQ(dialog.caption, "Un \"essai\" \xE9t\xE9");
    EXPECT_EQ(dialog.font_face, "Arial");
    EXPECT_EQ(dialog.font_points, 9);
    EXPECT_EQ(dialog.style, 0x40u | 0x80000000u | 0x00C00000u);
    ASSERT_EQ(dialog.controls.size(), 4u);
    const RcControl& button = dialog.controls[0];
    EXPECT_EQ(button.class_name, "Button");
    EXPECT_EQ(button.text.text, "&Go");
    EXPECT_EQ(button.id, 10);
    EXPECT_EQ(button.style,
              0x50000000u | 1u); // visible child, default push button, tab stop removed
    const RcControl& list = dialog.controls[1];
    EXPECT_EQ(list.class_name, "ListBox");
    EXPECT_EQ(list.id, 11);
    EXPECT_EQ(list.style, 0x50000000u | 0x00800000u | 0x1u | 0x800u); // LBS_NOTIFY, WS_BORDER kept
    EXPECT_EQ(dialog.controls[2].class_name, "msctls_trackbar32");
    EXPECT_EQ(dialog.controls[2].ex_style, 0x00020000u);
    EXPECT_EQ(dialog.controls[2].height, 12);
    EXPECT_EQ(dialog.controls[3].id, -1);
    EXPECT_EQ(dialog.controls[3].style & 0x00020000u, 0x00020000u); // LTEXT starts a group

    ASSERT_EQ(script.menus.size(), 1u);
    EXPECT_TRUE(rc_name_matches(script.menus[0].name, "menuname"));
    ASSERT_EQ(script.menus[0].items.size(), 1u);
    const RcMenuItem& popup = script.menus[0].items[0];
    EXPECT_TRUE(popup.popup);
    ASSERT_EQ(popup.items.size(), 3u);
    EXPECT_TRUE(popup.items[0].grayed);
    EXPECT_TRUE(popup.items[1].separator);
    EXPECT_EQ(popup.items[2].id, 11);
    ASSERT_EQ(script.files.size(), 1u);
    EXPECT_EQ(script.files[0].type, "BITMAP");
    EXPECT_EQ(script.files[0].file, "pic.bmp");
}

TEST(ResourceScript, TakesAnyInputWithoutFailing) {
    const char* nasty[] = {
        "",
        "\"unterminated",
        "/* unterminated comment",
        "#define A A\nX DIALOG A, A, A, A BEGIN END",
        "#define A B\n#define B A\nX DIALOG A,1,1,1 BEGIN CONTROL \"\",A,\"Button\",A,1,1,1,1 END",
        "#if\n#elif\n#else\n#else\n#endif\n#endif\n#endif",
        "X DIALOG 1,2,3,4 BEGIN",
        "X MENU BEGIN POPUP \"a\" BEGIN POPUP \"b\" BEGIN",
        "X DIALOGEX 1/0, -2147483648/-1, 0x, ((((((( BEGIN PUSHBUTTON , , , , END",
        "BEGIN END END END { } } }",
        "#include \"self.rc\"",
        "X BITMAP",
        "STRINGTABLE",
    };
    std::string deep(5000, '(');
    RcIncludeReader recursive = [](const std::string&) {
        return std::optional<std::string>("#include \"self.rc\"\n#include \"self.rc\"\n"
                                          "#include \"self.rc\"\n#include \"self.rc\"\n"
                                          "X DIALOG 1,1,1,1 BEGIN END\n");
    };
    for (const char* text : nasty) {
        parse_rc_script(text, recursive);
    }
    parse_rc_script("X DIALOG " + deep + " BEGIN END", no_includes);
    // Definitions that multiply: each name used four times by the one before.
    std::string chain;
    for (int i = 0; i < 40; ++i) {
        std::string next = "D" + std::to_string(i + 1);
        chain += "#define D" + std::to_string(i) + " (" + next + "|" + next + "|" + next + "|" +
                 next + ")\n";
    }
    parse_rc_script(chain + "X DIALOG D0, 1, 1, 1 BEGIN END", no_includes);
    std::string nested = "X MENU ";
    for (int i = 0; i < 2000; ++i) {
        nested += "BEGIN POPUP \"p\" ";
    }
    parse_rc_script(nested, no_includes);

    // Random bytes and random mixes of the script's own words.
    std::mt19937 random(12345);
    const char* words[] = {"BEGIN",    "END",     "DIALOG",     "DIALOGEX",   "MENU",    "POPUP",
                           "MENUITEM", "CONTROL", "PUSHBUTTON", "NOT",        "|",       ",",
                           "\"",       "(",       ")",          "-",          "#define", "#if",
                           "#endif",   "\n",      "1",          "0xFFFFFFFF", "X",       "STYLE",
                           "FONT",     "CAPTION", "SEPARATOR",  "BITMAP",     "{",       "}",
                           "\\",       "/*",      "*/"};
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        int length = static_cast<int>(random() % 200);
        for (int i = 0; i < length; ++i) {
            if (round % 2 == 0) {
                text += static_cast<char>(random() % 256);
            } else {
                text += words[random() % std::size(words)];
                text += ' ';
            }
        }
        parse_rc_script(text, no_includes);
    }
}

// The resource compiler of the Windows build, when it is installed, writes
// the script back with every style as a number: both readings must agree.
TEST(ResourceScript, AgreesWithTheWindowsResourceCompiler) {
    const char* source = std::getenv("MELODIANE_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    std::string app = std::string(source) + "/app";
    std::string output = testing::TempDir() + "melodiane_compiled.rc";
    std::string command = "cd '" + app +
                          "' && x86_64-w64-mingw32-windres -c 1252 melodiane.rc -O rc -o '" +
                          output + "'";
    if (std::system("command -v x86_64-w64-mingw32-windres >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no Windows resource compiler";
    }
    // A script the real resource compiler rejects is a failure, not a skip.
    ASSERT_EQ(std::system(command.c_str()), 0) << "the resource compiler rejects melodiane.rc";
    auto read = [](const std::string& path) -> std::optional<std::string> {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            return std::nullopt;
        }
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    RcScript ours = parse_rc_script(*read(app + "/melodiane.rc"), [&](const std::string& name) {
        return read(app + "/" + name);
    });
    RcScript theirs = parse_rc_script(*read(output), no_includes);
    ASSERT_EQ(ours.dialogs.size(), 3u);
    ASSERT_EQ(theirs.dialogs.size(), ours.dialogs.size());
    auto same = [](std::string a, std::string b) {
        for (char& c : a)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (char& c : b)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return a == b;
    };
    for (const RcDialog& a : ours.dialogs) {
        auto found =
            std::find_if(theirs.dialogs.begin(), theirs.dialogs.end(),
                         [&](const RcDialog& b) { return b.name.number == a.name.number; });
        ASSERT_NE(found, theirs.dialogs.end()) << a.name.number;
        const RcDialog& b = *found;
        EXPECT_EQ(a.style, b.style);
        EXPECT_EQ(a.caption, b.caption);
        EXPECT_EQ(a.font_face, b.font_face);
        EXPECT_EQ(a.font_points, b.font_points);
        ASSERT_EQ(a.controls.size(), b.controls.size());
        for (std::size_t c = 0; c < a.controls.size(); ++c) {
            const RcControl& x = a.controls[c];
            const RcControl& y = b.controls[c];
            SCOPED_TRACE(x.id);
            EXPECT_EQ(x.id, y.id);
            EXPECT_TRUE(same(x.class_name, y.class_name)) << x.class_name << " " << y.class_name;
            EXPECT_EQ(x.text.text, y.text.text);
            EXPECT_EQ(x.style, y.style);
            EXPECT_EQ(x.ex_style, y.ex_style);
            EXPECT_EQ(std::tie(x.x, x.y, x.width, x.height), std::tie(y.x, y.y, y.width, y.height));
        }
    }
}
