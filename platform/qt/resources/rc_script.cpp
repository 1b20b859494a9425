// Resource script reader: preprocessing (comments, #include, #define, #if),
// tokenising, then the resource statements.
#include "platform/qt/resources/rc_script.h"

#include "platform/win32.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstring>
#include <map>

// ===== Limits: the reader takes any input, so every recursion is bounded =====

static const int max_include_depth = 8;
static const int max_includes = 64; // in all: a file may include others many times
static const int max_condition_depth = 64;
static const int max_expression_depth = 64;
static const int max_define_depth = 16;
static const int max_menu_depth = 16;

// ===== Names every resource script may use without including them =====

struct Constant {
    const char* name;
    long value;
};

// A name the platform's Windows headers define takes its value from there;
// the others the program never uses are only written here.
#define KNOWN(name)                                                                                \
    { #name, (long)(name) }

static const Constant builtin_constants[] = {
    KNOWN(WS_OVERLAPPED),
    KNOWN(WS_POPUP),
    KNOWN(WS_CHILD),
    KNOWN(WS_MINIMIZE),
    KNOWN(WS_VISIBLE),
    KNOWN(WS_DISABLED),
    {"WS_CLIPSIBLINGS", 0x04000000L},
    {"WS_CLIPCHILDREN", 0x02000000L},
    {"WS_MAXIMIZE", 0x01000000L},
    KNOWN(WS_CAPTION),
    KNOWN(WS_BORDER),
    KNOWN(WS_DLGFRAME),
    KNOWN(WS_VSCROLL),
    KNOWN(WS_HSCROLL),
    KNOWN(WS_SYSMENU),
    KNOWN(WS_THICKFRAME),
    KNOWN(WS_GROUP),
    KNOWN(WS_TABSTOP),
    KNOWN(WS_MINIMIZEBOX),
    KNOWN(WS_MAXIMIZEBOX),
    KNOWN(WS_EX_DLGMODALFRAME),
    {"WS_EX_TOPMOST", 0x00000008L},
    {"WS_EX_TRANSPARENT", 0x00000020L},
    {"WS_EX_TOOLWINDOW", 0x00000080L},
    {"WS_EX_WINDOWEDGE", 0x00000100L},
    KNOWN(WS_EX_CLIENTEDGE),
    {"WS_EX_CONTEXTHELP", 0x00000400L},
    KNOWN(WS_EX_STATICEDGE),
    {"WS_EX_APPWINDOW", 0x00040000L},
    {"DS_ABSALIGN", 0x01L},
    {"DS_SYSMODAL", 0x02L},
    KNOWN(DS_3DLOOK),
    KNOWN(DS_FIXEDSYS),
    {"DS_NOFAILCREATE", 0x10L},
    {"DS_LOCALEDIT", 0x20L},
    KNOWN(DS_SETFONT),
    KNOWN(DS_MODALFRAME),
    {"DS_NOIDLEMSG", 0x100L},
    {"DS_SETFOREGROUND", 0x200L},
    {"DS_CONTROL", 0x400L},
    KNOWN(DS_CENTER),
    {"DS_CENTERMOUSE", 0x1000L},
    {"DS_CONTEXTHELP", 0x2000L},
    KNOWN(DS_SHELLFONT),
    KNOWN(SS_LEFT),
    KNOWN(SS_CENTER),
    KNOWN(SS_RIGHT),
    {"SS_ICON", 0x3L},
    {"SS_BLACKRECT", 0x4L},
    {"SS_GRAYRECT", 0x5L},
    {"SS_WHITERECT", 0x6L},
    {"SS_BLACKFRAME", 0x7L},
    {"SS_SIMPLE", 0xBL},
    {"SS_LEFTNOWORDWRAP", 0xCL},
    KNOWN(SS_BITMAP),
    {"SS_ETCHEDHORZ", 0x10L},
    {"SS_ETCHEDVERT", 0x11L},
    {"SS_ETCHEDFRAME", 0x12L},
    {"SS_NOPREFIX", 0x80L},
    KNOWN(SS_NOTIFY),
    KNOWN(SS_CENTERIMAGE),
    {"SS_RIGHTJUST", 0x400L},
    KNOWN(SS_REALSIZEIMAGE),
    KNOWN(SS_SUNKEN),
    KNOWN(BS_PUSHBUTTON),
    KNOWN(BS_DEFPUSHBUTTON),
    KNOWN(BS_CHECKBOX),
    KNOWN(BS_AUTOCHECKBOX),
    {"BS_RADIOBUTTON", 0x4L},
    {"BS_3STATE", 0x5L},
    {"BS_AUTO3STATE", 0x6L},
    KNOWN(BS_GROUPBOX),
    {"BS_AUTORADIOBUTTON", 0x9L},
    {"BS_PUSHBOX", 0xAL},
    {"BS_LEFTTEXT", 0x20L},
    {"BS_ICON", 0x40L},
    {"BS_BITMAP", 0x80L},
    {"BS_LEFT", 0x100L},
    {"BS_RIGHT", 0x200L},
    {"BS_CENTER", 0x300L},
    {"BS_TOP", 0x400L},
    {"BS_BOTTOM", 0x800L},
    {"BS_VCENTER", 0xC00L},
    KNOWN(BS_PUSHLIKE),
    {"BS_MULTILINE", 0x2000L},
    {"BS_NOTIFY", 0x4000L},
    {"BS_FLAT", 0x8000L},
    KNOWN(LBS_NOTIFY),
    KNOWN(LBS_SORT),
    {"LBS_NOREDRAW", 0x4L},
    KNOWN(LBS_MULTIPLESEL),
    {"LBS_OWNERDRAWFIXED", 0x10L},
    {"LBS_OWNERDRAWVARIABLE", 0x20L},
    KNOWN(LBS_HASSTRINGS),
    {"LBS_USETABSTOPS", 0x80L},
    KNOWN(LBS_NOINTEGRALHEIGHT),
    {"LBS_MULTICOLUMN", 0x200L},
    {"LBS_WANTKEYBOARDINPUT", 0x400L},
    KNOWN(LBS_EXTENDEDSEL),
    {"LBS_DISABLENOSCROLL", 0x1000L},
    {"LBS_NODATA", 0x2000L},
    {"LBS_NOSEL", 0x4000L},
    {"LBS_STANDARD", 0xA00003L},
    KNOWN(TBS_AUTOTICKS),
    KNOWN(TBS_VERT),
    KNOWN(TBS_HORZ),
    {"TBS_TOP", 0x4L},
    {"TBS_BOTTOM", 0x0L},
    {"TBS_LEFT", 0x4L},
    {"TBS_RIGHT", 0x0L},
    KNOWN(TBS_BOTH),
    KNOWN(TBS_NOTICKS),
    {"TBS_ENABLESELRANGE", 0x20L},
    {"TBS_FIXEDLENGTH", 0x40L},
    {"TBS_NOTHUMB", 0x80L},
    {"TBS_TOOLTIPS", 0x100L},
    {"TBS_REVERSED", 0x200L},
    {"TBS_DOWNISLEFT", 0x400L},
    {"ES_LEFT", 0x0L},
    {"ES_CENTER", 0x1L},
    {"ES_RIGHT", 0x2L},
    {"ES_MULTILINE", 0x4L},
    {"ES_AUTOHSCROLL", 0x80L},
    {"ES_READONLY", 0x800L},
    {"CBS_SIMPLE", 0x1L},
    {"CBS_DROPDOWN", 0x2L},
    {"CBS_DROPDOWNLIST", 0x3L},
    {"SBS_HORZ", 0x0L},
    {"SBS_VERT", 0x1L},
    KNOWN(IDOK),
    KNOWN(IDCANCEL),
    {"IDABORT", 3},
    {"IDRETRY", 4},
    {"IDIGNORE", 5},
    KNOWN(IDYES),
    KNOWN(IDNO),
    {"IDC_STATIC", -1},
    KNOWN(DEFAULT_CHARSET),
    KNOWN(ANSI_CHARSET),
    KNOWN(FW_NORMAL),
    KNOWN(FW_BOLD),
    {"LANG_NEUTRAL", 0},
    {"SUBLANG_NEUTRAL", 0},
    {"SUBLANG_DEFAULT", 1},
};

static std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

static bool same_word(const std::string& a, const char* b) {
    std::size_t n = std::strlen(b);
    if (a.size() != n) {
        return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

static bool is_identifier_start(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

static bool is_identifier_char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// ===== Tokens =====

enum class TokenKind { Number, Identifier, String, Punct };

struct Token {
    TokenKind kind;
    std::string text; // identifier, string contents, or the punctuation character
    long number = 0;
};

// Parses a number starting at text[i]; the suffixes L and U are dropped.
static long read_number(const std::string& text, std::size_t& i) {
    unsigned long value = 0;
    if (text[i] == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        i += 2;
        while (i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i]))) {
            char c = text[i++];
            int digit = std::isdigit(static_cast<unsigned char>(c))
                            ? c - '0'
                            : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
            value = value * 16 + static_cast<unsigned long>(digit);
        }
    } else {
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            value = value * 10 + static_cast<unsigned long>(text[i++] - '0');
        }
    }
    while (i < text.size() &&
           (text[i] == 'L' || text[i] == 'l' || text[i] == 'U' || text[i] == 'u')) {
        ++i;
    }
    return static_cast<long>(static_cast<std::uint32_t>(value));
}

// A string literal starting at the opening quote; "" stands for one quote, and
// backslash escapes (\n, \t, \xhh, \ooo, ...) for one character.
static std::string read_string(const std::string& text, std::size_t& i) {
    std::string out;
    ++i;
    while (i < text.size()) {
        char c = text[i++];
        if (c == '"') {
            if (i < text.size() && text[i] == '"') {
                out += '"';
                ++i;
                continue;
            }
            return out;
        }
        if (c == '\\' && i < text.size()) {
            char e = text[i];
            switch (e) {
            case 'n':
                out += '\n';
                ++i;
                continue;
            case 't':
                out += '\t';
                ++i;
                continue;
            case 'r':
                out += '\r';
                ++i;
                continue;
            case 'a':
                out += '\b';
                ++i;
                continue;
            case '\\':
                out += '\\';
                ++i;
                continue;
            case '0':
            case '1':
            case '2':
            case '3':
            case '4':
            case '5':
            case '6':
            case '7': {
                int value = 0;
                int digits = 0;
                while (i < text.size() && digits < 3 && text[i] >= '0' && text[i] <= '7') {
                    value = value * 8 + (text[i++] - '0');
                    ++digits;
                }
                out += static_cast<char>(value);
                continue;
            }
            case 'x': {
                ++i;
                int value = 0;
                int digits = 0;
                while (i < text.size() && digits < 2 &&
                       std::isxdigit(static_cast<unsigned char>(text[i]))) {
                    char h = text[i++];
                    value =
                        value * 16 + (std::isdigit(static_cast<unsigned char>(h))
                                          ? h - '0'
                                          : std::toupper(static_cast<unsigned char>(h)) - 'A' + 10);
                    ++digits;
                }
                out += static_cast<char>(value);
                continue;
            }
            default:
                break;
            }
        }
        out += c;
    }
    return out;
}

static std::vector<Token> tokenize(const std::string& text) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if ((c == 'L' || c == 'l') && i + 1 < text.size() && text[i + 1] == '"') {
            ++i; // wide-string prefix: same text
        } else if (c == '"') {
            tokens.push_back({TokenKind::String, read_string(text, i)});
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            Token t{TokenKind::Number, ""};
            t.number = read_number(text, i);
            tokens.push_back(t);
        } else if (is_identifier_start(c)) {
            std::size_t start = i;
            while (i < text.size() && is_identifier_char(text[i])) {
                ++i;
            }
            tokens.push_back({TokenKind::Identifier, text.substr(start, i - start)});
        } else {
            tokens.push_back({TokenKind::Punct, std::string(1, c)});
            ++i;
        }
    }
    return tokens;
}

// ===== Preprocessing =====

namespace {

struct Preprocessor {
    const RcIncludeReader& read_include;
    std::map<std::string, std::string> defines;
    // Values of defines worked out so far, so that names used again and
    // again (or defined through each other many times over) cost one
    // evaluation; forgotten whenever a definition changes.
    std::map<std::string, long> known_values;
    std::string body; // the script without directives and comments
    int includes = 0;

    explicit Preprocessor(const RcIncludeReader& reader) : read_include(reader) {}

    long value_of(const std::string& name, int depth);
    long evaluate(const std::string& text, int depth);
    bool condition(const std::string& text);
    void run(const std::string& text, int include_depth);
};

} // namespace

// Removes /* */ and // comments, keeping string literals and line breaks.
static std::string strip_comments(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '"') {
            std::size_t start = i++;
            while (i < text.size() && text[i] != '"' && text[i] != '\n') {
                i += (text[i] == '\\' && i + 1 < text.size() && text[i + 1] != '\n') ? 2 : 1;
            }
            if (i < text.size() && text[i] == '"') {
                ++i;
            }
            out.append(text, start, i - start);
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
            while (i < text.size() && text[i] != '\n') {
                ++i;
            }
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            i += 2;
            while (i < text.size() &&
                   !(text[i] == '*' && i + 1 < text.size() && text[i + 1] == '/')) {
                if (text[i] == '\n') {
                    out += '\n';
                }
                ++i;
            }
            i = std::min(text.size(), i + 2);
            out += ' ';
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

namespace {

// Evaluates constant expressions over a token list: numbers, names, unary
// - ~ ! NOT, binary * / + - & | and parentheses.
struct Evaluator {
    Evaluator(const std::vector<Token>& list, std::size_t start,
              std::function<long(const std::string&)> find)
        : tokens(list), pos(start), lookup(std::move(find)) {}

    const std::vector<Token>& tokens;
    std::size_t pos;
    std::function<long(const std::string&)> lookup;
    int depth = 0;

    bool at(const char* punct) const {
        return pos < tokens.size() && tokens[pos].kind == TokenKind::Punct &&
               tokens[pos].text == punct;
    }

    long primary() {
        if (pos >= tokens.size() || depth >= max_expression_depth) {
            return 0;
        }
        ++depth;
        long result = 0;
        const Token& t = tokens[pos];
        if (t.kind == TokenKind::Number) {
            ++pos;
            result = t.number;
        } else if (t.kind == TokenKind::Identifier) {
            ++pos;
            if (same_word(t.text, "NOT")) {
                result = ~primary();
            } else if (same_word(t.text, "defined")) {
                bool paren = at("(");
                if (paren) {
                    ++pos;
                }
                if (pos < tokens.size() && tokens[pos].kind == TokenKind::Identifier) {
                    result = lookup("defined " + tokens[pos].text);
                    ++pos;
                }
                if (paren && at(")")) {
                    ++pos;
                }
            } else {
                result = lookup(t.text);
            }
        } else if (t.kind == TokenKind::Punct && t.text == "(") {
            ++pos;
            result = binary();
            if (at(")")) {
                ++pos;
            }
        } else if (t.kind == TokenKind::Punct &&
                   (t.text == "-" || t.text == "~" || t.text == "!" || t.text == "+")) {
            ++pos;
            long operand = primary();
            result = t.text == "-"   ? static_cast<long>(0UL - static_cast<unsigned long>(operand))
                     : t.text == "~" ? ~operand
                     : t.text == "!" ? !operand
                                     : operand;
        }
        --depth;
        return result;
    }

    // The binary operators' levels, loosest first: a level's operands are the
    // next level's, the last level's are primaries.
    enum Level { or_level, and_level, additive_level, multiplicative_level, primary_level };

    // The operator of a level at pos, or null. A doubled & or | (the logical
    // operators) belongs to none.
    const char* operator_at(int level) const {
        static const char* const operators[primary_level][2] = {
            {"|", nullptr}, {"&", nullptr}, {"+", "-"}, {"*", "/"}};
        for (const char* op : operators[level]) {
            if (op == nullptr || !at(op)) {
                continue;
            }
            bool doubled = (level == or_level || level == and_level) && pos + 1 < tokens.size() &&
                           tokens[pos + 1].text == op;
            if (!doubled) {
                return op;
            }
        }
        return nullptr;
    }

    // Arithmetic wraps around as unsigned; a division by zero, or one that
    // overflows, leaves the left operand.
    static long apply(char op, long lhs, long rhs) {
        unsigned long a = static_cast<unsigned long>(lhs);
        unsigned long b = static_cast<unsigned long>(rhs);
        switch (op) {
        case '*':
            return static_cast<long>(a * b);
        case '/':
            return rhs != 0 && !(rhs == -1 && lhs == LONG_MIN) ? lhs / rhs : lhs;
        case '+':
            return static_cast<long>(a + b);
        case '-':
            return static_cast<long>(a - b);
        case '&':
            return lhs & rhs;
        default:
            return lhs | rhs;
        }
    }

    // The expression at pos from this level down.
    long binary(int level = or_level) {
        if (level == primary_level) {
            return primary();
        }
        long value = binary(level + 1);
        while (const char* op = operator_at(level)) {
            ++pos;
            long rhs = binary(level + 1);
            value = apply(op[0], value, rhs);
        }
        return value;
    }
};

long Preprocessor::value_of(const std::string& name, int depth) {
    if (name.rfind("defined ", 0) == 0) {
        return defines.count(name.substr(8)) ? 1 : 0;
    }
    auto found = defines.find(name);
    if (found != defines.end()) {
        auto known = known_values.find(name);
        if (known != known_values.end()) {
            return known->second;
        }
        // A definition that leads back to itself, or too deep, counts as 0.
        known_values[name] = 0;
        long value = depth < max_define_depth ? evaluate(found->second, depth + 1) : 0;
        known_values[name] = value;
        return value;
    }
    for (const Constant& constant : builtin_constants) {
        if (name == constant.name) {
            return constant.value;
        }
    }
    return 0;
}

long Preprocessor::evaluate(const std::string& text, int depth) {
    std::vector<Token> tokens = tokenize(text);
    Evaluator evaluator(tokens, 0,
                        [this, depth](const std::string& name) { return value_of(name, depth); });
    return evaluator.binary();
}

bool Preprocessor::condition(const std::string& text) {
    return evaluate(text, 0) != 0;
}

void Preprocessor::run(const std::string& text, int include_depth) {
    std::string source = strip_comments(text);
    // Each entry: whether this level's lines are kept, whether a branch of it was taken.
    struct Level {
        bool active;
        bool taken;
    };
    std::vector<Level> levels;
    std::size_t start = 0;
    while (start <= source.size()) {
        std::size_t end = source.find('\n', start);
        if (end == std::string::npos) {
            end = source.size();
        }
        std::string line = source.substr(start, end - start);
        // Continued lines join the next one.
        while (!line.empty() &&
               (line.back() == '\\' ||
                (line.back() == '\r' && line.size() > 1 && line[line.size() - 2] == '\\')) &&
               end < source.size()) {
            if (line.back() == '\r') {
                line.pop_back();
            }
            line.pop_back(); // the backslash
            std::size_t next = source.find('\n', end + 1);
            if (next == std::string::npos) {
                next = source.size();
            }
            line += source.substr(end + 1, next - end - 1);
            end = next;
        }
        start = end + 1;

        std::size_t first = line.find_first_not_of(" \t\r");
        bool active = levels.empty() || levels.back().active;
        if (first == std::string::npos || line[first] != '#') {
            if (active) {
                body += line;
                body += '\n';
            }
            continue;
        }
        std::size_t word_start = line.find_first_not_of(" \t", first + 1);
        if (word_start == std::string::npos) {
            continue;
        }
        std::size_t word_end = word_start;
        while (word_end < line.size() && is_identifier_char(line[word_end])) {
            ++word_end;
        }
        std::string directive = line.substr(word_start, word_end - word_start);
        std::string rest = line.substr(word_end);
        bool parent_active = levels.empty() || levels.back().active;

        if (directive == "if" || directive == "ifdef" || directive == "ifndef") {
            if (levels.size() >= static_cast<std::size_t>(max_condition_depth)) {
                levels.push_back({false, true});
                continue;
            }
            bool value = false;
            if (parent_active) {
                if (directive == "if") {
                    value = condition(rest);
                } else {
                    std::vector<Token> tokens = tokenize(rest);
                    bool defined = !tokens.empty() && defines.count(tokens[0].text) > 0;
                    value = directive == "ifdef" ? defined : !defined;
                }
            }
            levels.push_back({parent_active && value, value});
        } else if (directive == "elif") {
            if (!levels.empty()) {
                Level& level = levels.back();
                bool outer = levels.size() < 2 || levels[levels.size() - 2].active;
                bool value = outer && !level.taken && condition(rest);
                level.active = value;
                level.taken = level.taken || value;
            }
        } else if (directive == "else") {
            if (!levels.empty()) {
                Level& level = levels.back();
                bool outer = levels.size() < 2 || levels[levels.size() - 2].active;
                level.active = outer && !level.taken;
                level.taken = true;
            }
        } else if (directive == "endif") {
            if (!levels.empty()) {
                levels.pop_back();
            }
        } else if (!active) {
            continue;
        } else if (directive == "define") {
            std::vector<Token> tokens = tokenize(rest);
            if (tokens.empty() || tokens[0].kind != TokenKind::Identifier) {
                continue;
            }
            std::size_t name_at = rest.find(tokens[0].text);
            std::size_t after = name_at + tokens[0].text.size();
            if (after < rest.size() && rest[after] == '(') {
                continue; // function-like macros mean nothing to resources
            }
            defines[tokens[0].text] = rest.substr(after);
            known_values.clear();
        } else if (directive == "undef") {
            std::vector<Token> tokens = tokenize(rest);
            if (!tokens.empty()) {
                defines.erase(tokens[0].text);
                known_values.clear();
            }
        } else if (directive == "include") {
            std::size_t open = rest.find_first_of("\"<");
            if (open == std::string::npos || include_depth >= max_include_depth ||
                includes >= max_includes) {
                continue;
            }
            ++includes;
            std::size_t close = rest.find_first_of("\">", open + 1);
            if (close == std::string::npos) {
                continue;
            }
            std::optional<std::string> included =
                read_include(rest.substr(open + 1, close - open - 1));
            if (included) {
                run(*included, include_depth + 1);
            }
        }
    }
}

// ===== Statements =====

struct Parser {
    std::vector<Token> tokens;
    std::size_t pos = 0;
    Preprocessor& pre;

    Parser(std::vector<Token> list, Preprocessor& preprocessor)
        : tokens(std::move(list)), pre(preprocessor) {}

    bool done() const {
        return pos >= tokens.size();
    }
    bool at_punct(const char* p) const {
        return !done() && tokens[pos].kind == TokenKind::Punct && tokens[pos].text == p;
    }
    bool at_word(const char* w) const {
        return !done() && tokens[pos].kind == TokenKind::Identifier &&
               same_word(tokens[pos].text, w);
    }
    bool accept_punct(const char* p) {
        if (at_punct(p)) {
            ++pos;
            return true;
        }
        return false;
    }
    bool accept_word(const char* w) {
        if (at_word(w)) {
            ++pos;
            return true;
        }
        return false;
    }
    bool at_begin() const {
        return at_word("BEGIN") || at_punct("{");
    }
    bool at_end() const {
        return at_word("END") || at_punct("}");
    }

    // The expression at pos from this level down; a style's terms stop at its |.
    long expression(int level = Evaluator::or_level) {
        Evaluator evaluator(tokens, pos,
                            [this](const std::string& name) { return pre.value_of(name, 0); });
        long value = evaluator.binary(level);
        if (evaluator.pos == pos && !done()) {
            ++evaluator.pos; // never stand still on a token that is no expression
        }
        pos = evaluator.pos;
        return value;
    }

    // A style: the default bits, then each term sets bits, or clears them after NOT.
    std::uint32_t style(std::uint32_t value) {
        do {
            bool clear = accept_word("NOT");
            long bits = expression(Evaluator::and_level);
            if (clear) {
                value &= ~static_cast<std::uint32_t>(bits);
            } else {
                value |= static_cast<std::uint32_t>(bits);
            }
        } while (accept_punct("|"));
        return value;
    }

    std::string string_or_word() {
        if (done()) {
            return {};
        }
        return tokens[pos++].text;
    }

    RcName name() {
        RcName result;
        if (done()) {
            return result;
        }
        const Token& t = tokens[pos];
        if (t.kind == TokenKind::Identifier && pre.defines.count(t.text)) {
            result.is_number = true;
            result.number = expression();
        } else if (t.kind == TokenKind::Number || at_punct("-")) {
            result.is_number = true;
            result.number = expression();
        } else {
            result.text = t.text;
            ++pos;
        }
        return result;
    }

    void skip_block() {
        int depth = 0;
        while (!done()) {
            if (at_begin()) {
                ++depth;
            } else if (at_end()) {
                --depth;
                if (depth <= 0) {
                    ++pos;
                    return;
                }
            }
            ++pos;
        }
    }

    void skip_load_options() {
        static const char* const options[] = {"DISCARDABLE", "PRELOAD", "LOADONCALL",
                                              "MOVEABLE",    "FIXED",   "PURE",
                                              "IMPURE",      "SHARED",  "NONSHARED"};
        bool again = true;
        while (again) {
            again = false;
            for (const char* option : options) {
                if (accept_word(option)) {
                    again = true;
                }
            }
        }
    }

    int integer() {
        return static_cast<int>(expression());
    }

    // "x, y, width, height", in dialog units, into a control or a dialog.
    template <typename Item> void placement(Item& item) {
        item.x = integer();
        accept_punct(",");
        item.y = integer();
        accept_punct(",");
        item.width = integer();
        accept_punct(",");
        item.height = integer();
    }
    void control(RcDialog& dialog);
    void dialog(RcScript& script, RcName name, bool extended);
    void menu_items(std::vector<RcMenuItem>& items, int depth);
    void run(RcScript& script);
};

// The standard control statements: class, default style, whether text comes first.
struct ControlStatement {
    const char* keyword;
    const char* class_name;
    std::uint32_t style;
    bool has_text;
};

static const std::uint32_t ws_tabstop = 0x00010000;
static const std::uint32_t ws_group = 0x00020000;
static const std::uint32_t ws_border = 0x00800000;
static const std::uint32_t ws_child_visible = 0x50000000;

static const ControlStatement control_statements[] = {
    {"LTEXT", "Static", 0x0 | ws_group, true},
    {"CTEXT", "Static", 0x1 | ws_group, true},
    {"RTEXT", "Static", 0x2 | ws_group, true},
    {"ICON", "Static", 0x3, true},
    {"PUSHBUTTON", "Button", 0x0 | ws_tabstop, true},
    {"DEFPUSHBUTTON", "Button", 0x1 | ws_tabstop, true},
    {"CHECKBOX", "Button", 0x2 | ws_tabstop, true},
    {"AUTOCHECKBOX", "Button", 0x3 | ws_tabstop, true},
    {"RADIOBUTTON", "Button", 0x4, true},
    {"STATE3", "Button", 0x5 | ws_tabstop, true},
    {"AUTO3STATE", "Button", 0x6 | ws_tabstop, true},
    {"GROUPBOX", "Button", 0x7, true},
    {"AUTORADIOBUTTON", "Button", 0x9, true},
    {"PUSHBOX", "Button", 0xA | ws_tabstop, true},
    {"LISTBOX", "ListBox", 0x1 | ws_border, false},
    {"EDITTEXT", "Edit", ws_border | ws_tabstop, false},
    {"COMBOBOX", "ComboBox", 0x1 | ws_tabstop, false},
    {"SCROLLBAR", "ScrollBar", 0x0, false},
};

// Class keywords a CONTROL statement may give instead of a quoted name.
static std::string class_from_word(const std::string& word) {
    static const char* const classes[] = {"Button", "Static",   "ListBox",
                                          "Edit",   "ComboBox", "ScrollBar"};
    for (const char* name : classes) {
        if (same_word(word, name)) {
            return name;
        }
    }
    if (same_word(word, "TRACKBAR_CLASS") || same_word(word, "TRACKBAR_CLASSA")) {
        return "msctls_trackbar32";
    }
    if (same_word(word, "WC_LISTBOX") || same_word(word, "WC_LISTBOXA")) {
        return "ListBox";
    }
    return word;
}

void Parser::control(RcDialog& dialog) {
    RcControl control;
    std::size_t start = pos;
    if (accept_word("CONTROL")) {
        control.text = name();
        accept_punct(",");
        control.id = integer();
        accept_punct(",");
        control.class_name = class_from_word(string_or_word());
        accept_punct(",");
        control.style = style(ws_child_visible);
        accept_punct(",");
        placement(control);
        if (accept_punct(",")) {
            control.ex_style = style(0);
        }
        if (accept_punct(",")) {
            expression(); // help identifier
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
            control.text = name();
            accept_punct(",");
        }
        control.id = integer();
        accept_punct(",");
        placement(control);
        control.style = ws_child_visible | statement.style;
        if (accept_punct(",")) {
            control.style = style(control.style);
        }
        if (accept_punct(",")) {
            control.ex_style = style(0);
        }
        if (accept_punct(",")) {
            expression();
        }
        dialog.controls.push_back(control);
        return;
    }
    if (pos == start) {
        ++pos; // an unknown statement: skip its first token and try again
    }
}

void Parser::dialog(RcScript& script, RcName name, bool extended) {
    RcDialog dialog;
    dialog.name = std::move(name);
    dialog.extended = extended;
    skip_load_options();
    placement(dialog);
    if (accept_punct(",")) {
        expression(); // help identifier
    }
    // A template without STYLE gets the resource compiler's default.
    dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    while (!done() && !at_begin()) {
        if (accept_word("STYLE")) {
            dialog.style = style(0);
        } else if (accept_word("EXSTYLE")) {
            dialog.ex_style = style(0);
        } else if (accept_word("CAPTION")) {
            dialog.caption = string_or_word();
        } else if (accept_word("FONT")) {
            dialog.has_font = true;
            dialog.font_points = integer();
            accept_punct(",");
            dialog.font_face = string_or_word();
            if (accept_punct(",")) {
                dialog.font_weight = integer();
            }
            if (accept_punct(",")) {
                dialog.font_italic = integer() != 0;
            }
            if (accept_punct(",")) {
                expression(); // character set
            }
        } else if (accept_word("LANGUAGE")) {
            expression();
            accept_punct(",");
            expression();
        } else if (accept_word("MENU") || accept_word("CLASS")) {
            ++pos;
        } else {
            ++pos; // CHARACTERISTICS, VERSION and anything unknown
        }
    }
    if (!at_begin()) {
        return;
    }
    ++pos;
    while (!done() && !at_end()) {
        control(dialog);
    }
    ++pos;
    script.dialogs.push_back(std::move(dialog));
}

void Parser::menu_items(std::vector<RcMenuItem>& items, int depth) {
    if (!at_begin()) {
        return;
    }
    ++pos;
    while (!done() && !at_end()) {
        RcMenuItem item;
        if (accept_word("POPUP")) {
            item.popup = true;
            item.text = string_or_word();
            while (accept_punct(",")) {
                if (at_word("GRAYED") || at_word("INACTIVE")) {
                    item.grayed = true;
                }
                ++pos;
            }
            if (depth < max_menu_depth) {
                menu_items(item.items, depth + 1);
            } else {
                skip_block();
            }
            items.push_back(std::move(item));
        } else if (accept_word("MENUITEM")) {
            if (accept_word("SEPARATOR")) {
                item.separator = true;
            } else {
                item.text = string_or_word();
                accept_punct(",");
                item.id = integer();
                while (accept_punct(",") || at_word("GRAYED") || at_word("CHECKED") ||
                       at_word("INACTIVE") || at_word("MENUBARBREAK") || at_word("MENUBREAK") ||
                       at_word("HELP")) {
                    if (at_word("GRAYED") || at_word("INACTIVE")) {
                        item.grayed = true;
                    } else if (at_word("CHECKED")) {
                        item.checked = true;
                    }
                    if (!done()) {
                        ++pos;
                    }
                }
            }
            items.push_back(std::move(item));
        } else if (at_begin()) {
            skip_block();
        } else {
            ++pos;
        }
    }
    if (!done()) {
        ++pos;
    }
}

void Parser::run(RcScript& script) {
    while (!done()) {
        if (accept_word("LANGUAGE")) {
            expression();
            accept_punct(",");
            expression();
            continue;
        }
        if (accept_word("STRINGTABLE")) {
            while (!done() && !at_begin()) {
                ++pos;
            }
            skip_block();
            continue;
        }
        if (at_begin()) {
            skip_block();
            continue;
        }
        std::size_t start = pos;
        RcName resource = name();
        if (done()) {
            break;
        }
        const Token& type = tokens[pos];
        if (type.kind != TokenKind::Identifier) {
            if (pos == start) {
                ++pos;
            }
            continue;
        }
        ++pos;
        if (same_word(type.text, "DIALOG") || same_word(type.text, "DIALOGEX")) {
            dialog(script, std::move(resource), same_word(type.text, "DIALOGEX"));
        } else if (same_word(type.text, "MENU")) {
            RcMenu menu;
            menu.name = std::move(resource);
            skip_load_options();
            while (!done() && !at_begin() &&
                   (at_word("LANGUAGE") || at_word("CHARACTERISTICS") || at_word("VERSION"))) {
                ++pos;
                expression();
                if (accept_punct(",")) {
                    expression();
                }
            }
            menu_items(menu.items, 0);
            script.menus.push_back(std::move(menu));
        } else if (same_word(type.text, "BITMAP") || same_word(type.text, "ICON") ||
                   same_word(type.text, "CURSOR")) {
            skip_load_options();
            if (!done() && tokens[pos].kind != TokenKind::Punct) {
                script.files.push_back({std::move(resource), upper(type.text), tokens[pos].text});
                ++pos;
            }
        } else {
            // Any other resource: its statements up to a block, or a file name.
            while (!done() && !at_begin() && tokens[pos].kind != TokenKind::String) {
                ++pos;
            }
            if (at_begin()) {
                skip_block();
            } else if (!done()) {
                ++pos;
            }
        }
    }
}

} // namespace

RcScript parse_rc_script(const std::string& text, const RcIncludeReader& read_include) {
    Preprocessor pre(read_include);
    pre.run(text, 0);
    Parser parser(tokenize(pre.body), pre);
    RcScript script;
    parser.run(script);
    return script;
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
