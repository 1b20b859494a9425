// Resource script reader: the preprocessor's lines and markers, tokens, then
// the statements app/melodiane.rc uses.
#include "platform/qt/resources/rc_script.h"

#include "platform/win32.h"

#include <cctype>
#include <cstdlib>
#include <string_view>

namespace {

enum class Kind { Number, Word, String, Punct, End };

struct Token {
    Kind kind;
    std::string text;
    long number = 0;
    int line = 0;
};

// Where the reader stopped, as parse_rc_script reports it.
struct Failure {
    std::string message;
};

[[noreturn]] void fail(const std::string& file, int line, const std::string& what) {
    throw Failure{file + ":" + std::to_string(line) + ": " + what};
}

// "# LINE "FILE" FLAGS...": the next line is LINE of FILE.
bool read_marker(std::string_view row, int& line, std::string& file) {
    if (row.size() < 4 || row[0] != '#' || row[1] != ' ' ||
        !std::isdigit(static_cast<unsigned char>(row[2]))) {
        return false;
    }
    std::size_t quote = row.find('"');
    std::size_t close = row.find('"', quote + 1);
    if (quote == std::string_view::npos || close == std::string_view::npos) {
        return false;
    }
    line = static_cast<int>(std::strtol(row.data() + 2, nullptr, 10));
    file = std::string(row.substr(quote + 1, close - quote - 1));
    return true;
}

void read_tokens(std::string_view row, const std::string& file, int line,
                 std::vector<Token>& tokens) {
    std::size_t i = 0;
    while (i < row.size()) {
        unsigned char c = static_cast<unsigned char>(row[i]);
        if (c == ' ' || c == '\t') {
            ++i;
        } else if (c == '"') {
            // Only plain strings: no escapes, no doubled quotes.
            std::size_t close = row.find('"', i + 1);
            std::string text(row.substr(i + 1, close - i - 1));
            if (close == std::string_view::npos || text.find('\\') != std::string::npos) {
                fail(file, line, "a string with an escape or no end");
            }
            tokens.push_back({Kind::String, text, 0, line});
            i = close + 1;
        } else if (std::isdigit(c)) {
            char* end = nullptr;
            long number = static_cast<long>(std::strtoul(row.data() + i, &end, 0));
            i = static_cast<std::size_t>(end - row.data());
            while (i < row.size() && (row[i] == 'L' || row[i] == 'U')) {
                ++i;
            }
            tokens.push_back({Kind::Number, "", number, line});
        } else if (std::isalpha(c) || c == '_') {
            std::size_t start = i;
            while (i < row.size() &&
                   (std::isalnum(static_cast<unsigned char>(row[i])) || row[i] == '_')) {
                ++i;
            }
            tokens.push_back({Kind::Word, std::string(row.substr(start, i - start)), 0, line});
        } else if (c == ',' || c == '|' || c == '+' || c == '(' || c == ')') {
            tokens.push_back({Kind::Punct, std::string(1, static_cast<char>(c)), 0, line});
            ++i;
        } else {
            fail(file, line, "the character '" + std::string(1, static_cast<char>(c)) + "'");
        }
    }
}

// The script's own tokens. The headers it includes may bring only
// definitions, which leave blank lines behind.
std::vector<Token> tokenize(const std::string& text, std::string& script_file) {
    std::vector<Token> tokens;
    std::string file;
    int line = 1;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        std::string_view row(text.data() + start, end - start);
        start = end + 1;
        if (!row.empty() && row.back() == '\r') {
            row.remove_suffix(1);
        }
        bool blank = row.find_first_not_of(" \t") == std::string_view::npos;
        if (read_marker(row, line, file)) {
            if (script_file.empty()) {
                script_file = file;
            }
            continue;
        }
        if (file != script_file && !blank) {
            fail(file, line, "more than definitions in an included file");
        }
        // The script's text is Windows-1252, which the program converts as it reads.
        if (file == script_file && row != "#pragma code_page(1252)") {
            if (!row.empty() && row[0] == '#') {
                fail(file, line, "a directive other than #pragma code_page(1252)");
            }
            read_tokens(row, file, line, tokens);
        }
        ++line;
    }
    tokens.push_back({Kind::End, "the end of the script", 0, line - 1});
    return tokens;
}

// The standard control statements: class, default style, whether text comes first.
struct ControlStatement {
    const char* keyword;
    const char* class_name;
    std::uint32_t style;
    bool has_text;
};

const ControlStatement control_statements[] = {
    {"LTEXT", "Static", SS_LEFT | WS_GROUP, true},
    {"CTEXT", "Static", SS_CENTER | WS_GROUP, true},
    {"PUSHBUTTON", "Button", BS_PUSHBUTTON | WS_TABSTOP, true},
    {"GROUPBOX", "Button", BS_GROUPBOX, true},
    {"LISTBOX", "ListBox", LBS_NOTIFY | WS_BORDER, false},
};

const std::uint32_t child_visible = WS_CHILD | WS_VISIBLE;

struct Parser {
    std::vector<Token> tokens;
    std::string file;
    std::size_t pos = 0;

    const Token& peek() const {
        return tokens[pos];
    }
    [[noreturn]] void fail_here(const std::string& expected) const {
        const Token& t = peek();
        std::string found = t.kind == Kind::Number ? std::to_string(t.number) : t.text;
        fail(file, t.line, expected + " expected, not '" + found + "'");
    }
    bool accept_word(const char* word) {
        if (peek().kind == Kind::Word && peek().text == word) {
            ++pos;
            return true;
        }
        return false;
    }
    bool accept(char punct) {
        if (peek().kind == Kind::Punct && peek().text[0] == punct) {
            ++pos;
            return true;
        }
        return false;
    }
    void expect(char punct) {
        if (!accept(punct)) {
            fail_here(std::string("'") + punct + "'");
        }
    }
    void expect_word(const char* word) {
        if (!accept_word(word)) {
            fail_here(word);
        }
    }
    std::string string() {
        if (peek().kind != Kind::String) {
            fail_here("a string");
        }
        return tokens[pos++].text;
    }

    // Numbers joined by + and | (+ binding tighter), as the names become.
    long primary() {
        if (accept('(')) {
            long value = expression();
            expect(')');
            return value;
        }
        if (peek().kind != Kind::Number) {
            fail_here("a number");
        }
        return tokens[pos++].number;
    }
    long sum() {
        long value = primary();
        while (accept('+')) {
            value += primary();
        }
        return value;
    }
    long expression() {
        long value = sum();
        while (accept('|')) {
            value |= sum();
        }
        return value;
    }
    int integer() {
        return static_cast<int>(expression());
    }
    int next_integer() {
        expect(',');
        return integer();
    }
    std::uint32_t style() {
        return static_cast<std::uint32_t>(expression());
    }

    RcName name() {
        RcName result;
        if (peek().kind == Kind::Word) {
            result.text = tokens[pos++].text;
        } else {
            result.is_number = true;
            result.number = expression();
        }
        return result;
    }

    // "x, y, width, height", in dialog units, into a control or a dialog.
    template <typename Item> void placement(Item& item) {
        item.x = integer();
        item.y = next_integer();
        item.width = next_integer();
        item.height = next_integer();
    }

    void control(RcDialog& dialog) {
        RcControl control;
        if (accept_word("CONTROL")) {
            control.text.text = string();
            control.id = next_integer();
            expect(',');
            control.class_name = string();
            expect(',');
            control.style = child_visible | style();
            expect(',');
            placement(control);
            if (accept(',')) {
                control.ex_style = style();
            }
            dialog.controls.push_back(control);
            return;
        }
        for (const ControlStatement& statement : control_statements) {
            if (!accept_word(statement.keyword)) {
                continue;
            }
            control.class_name = statement.class_name;
            if (statement.has_text) {
                control.text.text = string();
                expect(',');
            }
            control.id = integer();
            expect(',');
            placement(control);
            control.style = child_visible | statement.style;
            if (accept(',')) {
                control.style |= style();
                if (accept(',')) {
                    control.ex_style = style();
                }
            }
            dialog.controls.push_back(control);
            return;
        }
        fail_here("a control statement");
    }

    void dialog(RcScript& script, RcName name) {
        RcDialog dialog;
        dialog.name = std::move(name);
        placement(dialog);
        // A template without STYLE gets the resource compiler's default.
        dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        while (!accept_word("BEGIN")) {
            if (accept_word("STYLE")) {
                dialog.style = style();
            } else if (accept_word("CAPTION")) {
                dialog.caption = string();
            } else if (accept_word("FONT")) {
                dialog.has_font = true;
                dialog.font_points = integer();
                expect(',');
                dialog.font_face = string();
                dialog.font_weight = next_integer();
                dialog.font_italic = next_integer() != 0;
                next_integer(); // the character set
            } else {
                fail_here("STYLE, CAPTION, FONT or BEGIN");
            }
        }
        while (!accept_word("END")) {
            control(dialog);
        }
        script.dialogs.push_back(std::move(dialog));
    }

    void menu_items(std::vector<RcMenuItem>& items) {
        expect_word("BEGIN");
        while (!accept_word("END")) {
            RcMenuItem item;
            if (accept_word("POPUP")) {
                item.popup = true;
                item.text = string();
                menu_items(item.items);
            } else if (accept_word("MENUITEM")) {
                if (accept_word("SEPARATOR")) {
                    item.separator = true;
                } else {
                    item.text = string();
                    item.id = next_integer();
                }
            } else {
                fail_here("POPUP, MENUITEM or END");
            }
            items.push_back(std::move(item));
        }
    }

    void run(RcScript& script) {
        while (peek().kind != Kind::End) {
            if (accept_word("LANGUAGE")) {
                name();
                expect(',');
                name();
                continue;
            }
            RcName resource = name();
            if (accept_word("DIALOGEX")) {
                dialog(script, std::move(resource));
            } else if (accept_word("MENU")) {
                RcMenu menu;
                menu.name = std::move(resource);
                menu_items(menu.items);
                script.menus.push_back(std::move(menu));
            } else if (peek().text == "BITMAP" || peek().text == "ICON") {
                std::string type = tokens[pos++].text;
                script.files.push_back({std::move(resource), type, string()});
            } else {
                fail_here("DIALOGEX, MENU, BITMAP or ICON");
            }
        }
    }
};

std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

} // namespace

std::string parse_rc_script(const std::string& text, RcScript* script) {
    *script = RcScript();
    try {
        Parser parser;
        parser.tokens = tokenize(text, parser.file);
        parser.run(*script);
    } catch (const Failure& failure) {
        *script = RcScript();
        return failure.message;
    }
    return {};
}

bool rc_name_matches(const RcName& name, const char* wanted) {
    std::uintptr_t value = reinterpret_cast<std::uintptr_t>(wanted);
    if ((value >> 16) == 0) {
        return name.is_number && static_cast<std::uintptr_t>(name.number & 0xFFFF) == value;
    }
    if (wanted[0] == '#') {
        return name.is_number && std::to_string(name.number & 0xFFFF) == wanted + 1;
    }
    return !name.is_number && upper(name.text) == upper(wanted);
}
