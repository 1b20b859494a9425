// Profile (INI) files with the semantics of the Windows profile functions:
// names compared without regard to case, the first of repeated sections and
// keys winning, values trimmed of blanks and of one pair of surrounding quotes.
// Every write replaces the file whole, at once or, once the program asks for
// it, at the end of a burst of writes; every read sees the file as it is now,
// or as the burst has it. The same on both platforms.
#include "platform/profile.h"

#include "platform/files/file_text.h"
#include "platform/files/whole_file.h"

#include "codepage/utf8.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// One line of the file as offsets into its content.
struct ProfileLine {
    size_t begin;    // first byte of the line
    size_t end;      // just past its line feed (or the end of the file)
    bool is_section; // "[name]"
    bool has_value;  // "name=value"; a line without '=' names a key with no value
    std::string_view name;
    std::string_view value;
};

// ---- Reading and parsing ---------------------------------------------------

// Blanks as the profile functions trim them (Ctrl-Z included).
static bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1A';
}

static std::string_view trim(std::string_view text) {
    while (!text.empty() && is_blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Letters compared without regard to case, as the profile functions compare
// them: ASCII and the letters of Windows-1252, in the program's UTF-8.
static char32_t fold(char32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return c + 0x20;
    if (c == 0x160 || c == 0x152 || c == 0x17D)
        return c + 1;
    if (c == 0x178)
        return 0xFF;
    return c;
}

// The character at text[*at] (a byte that is no sequence stands for itself).
static char32_t next_character(std::string_view text, size_t* at) {
    char32_t code_point = 0;
    size_t size = utf8_decode(text.data() + *at, text.size() - *at, &code_point);
    if (size == 0) {
        code_point = static_cast<unsigned char>(text[*at]);
        size = 1;
    }
    *at += size;
    return code_point;
}

static bool same_name(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (fold(next_character(a, &i)) != fold(next_character(b, &j)))
            return false;
    }
    return i == a.size() && j == b.size();
}

// The whole file as the program's text (file_text.h); false when it is there
// but cannot be read.
static bool read_profile(const char* path, std::string* content, bool* exists) {
    if (!path) {
        content->clear();
        *exists = false;
        return false;
    }
    if (!read_whole_file(path, content, exists))
        return false;
    file_bytes_to_text(content);
    return true;
}

static std::vector<ProfileLine> parse_profile(const std::string& content) {
    std::vector<ProfileLine> lines;
    size_t pos = 0;
    while (pos < content.size()) {
        size_t feed = content.find('\n', pos);
        size_t end = feed == std::string::npos ? content.size() : feed + 1;
        std::string_view text = trim(std::string_view(content).substr(pos, end - pos));
        ProfileLine line{pos, end, false, false, {}, {}};
        size_t close_bracket = text.rfind(']');
        if (!text.empty() && text.front() == '[' && close_bracket != std::string_view::npos) {
            line.is_section = true;
            line.name = trim(text.substr(1, close_bracket - 1));
        } else if (!text.empty()) {
            size_t equals = text.find('=');
            line.name = trim(text.substr(0, equals));
            if (equals != std::string_view::npos) {
                line.has_value = true;
                line.value = trim(text.substr(equals + 1));
            }
        }
        lines.push_back(line);
        pos = end;
    }
    return lines;
}

// The lines [*first, *last) of the first section with that name, *first
// being its header; false when there is none. Lines before any header form
// the section with the empty name.
static bool find_section(const std::vector<ProfileLine>& lines, std::string_view section,
                         size_t* first, size_t* last) {
    section = trim(section);
    size_t start = 0;
    bool found = section.empty();
    for (size_t i = 0; i < lines.size() && !found; i++) {
        if (lines[i].is_section && same_name(lines[i].name, section)) {
            start = i;
            found = true;
        }
    }
    if (!found)
        return false;
    size_t end = section.empty() ? 0 : start + 1;
    while (end < lines.size() && !lines[end].is_section)
        end++;
    *first = start;
    *last = end;
    return true;
}

// The first line in [first, last) that names the key, or last.
static size_t find_key(const std::vector<ProfileLine>& lines, size_t first, size_t last,
                       std::string_view key) {
    key = trim(key);
    for (size_t i = first; i < last; i++) {
        if (!lines[i].is_section && !lines[i].name.empty() && same_name(lines[i].name, key))
            return i;
    }
    return last;
}

// ---- The file kept in memory ----------------------------------------------
//
// Once the program asks for it (profile_defer_writes), the file last read or
// written is kept in memory between calls: a read finds it there while the
// file on disk is still the one it was read from (or while a burst holds
// writes not yet made), and a write only changes it there. The burst is
// written once, atomically, by the flush form of WritePrivateProfileStringA
// (all four arguments null), which the program calls at the end of each
// burst, or at the latest when the process exits. Its first write already
// starts the replacement, so a file that cannot be written is refused then,
// as a write made at once would be.

struct CachedProfile {
    std::string path;  // as the caller names it
    std::string stamp; // of the file when read or last written (file_stamp)
    bool exists;
    std::string content;
    std::vector<ProfileLine> lines; // of content, when parsed is set
    bool parsed;
    AtomicFile* pending; // the replacement a burst will commit; null when none
};

static bool deferring = false;
// Never freed: the flush at exit needs it after other objects are gone.
static CachedProfile* cached = nullptr;

// Writes the burst under way, if any. False when it could not be written;
// the file is then as it was before the burst.
static bool flush_profile() {
    if (cached == nullptr || cached->pending == nullptr)
        return true;
    AtomicFile* file = cached->pending;
    cached->pending = nullptr;
    std::string bytes = file_bytes_of_text(cached->content, false);
    bool ok = atomic_write(file, bytes.data(), bytes.size());
    ok = ok ? atomic_commit(file) : (atomic_abandon(file), false);
    if (!ok) {
        // What the disk holds is read again next time.
        cached->path.clear();
        return false;
    }
    file_stamp(cached->path.c_str(), &cached->stamp);
    cached->exists = true;
    return true;
}

static void flush_at_exit() {
    flush_profile();
}

// The content of the file at path: *content null when it does not exist;
// false when it is there but cannot be read. Without deferred writes the
// file is read afresh at every call.
static bool profile_content(const char* path, const std::string** content) {
    static std::string fresh;
    *content = nullptr;
    if (!deferring) {
        bool exists = false;
        if (!read_profile(path, &fresh, &exists))
            return false;
        *content = exists ? &fresh : nullptr;
        return true;
    }
    if (cached == nullptr) {
        cached = new CachedProfile{"", "", false, "", {}, false, nullptr};
        std::atexit(flush_at_exit);
    }
    bool same_file = path != nullptr && cached->path == path;
    std::string stamp;
    if (!same_file ||
        (cached->pending == nullptr && (!file_stamp(path, &stamp) || stamp != cached->stamp))) {
        // Another file's burst is written before this one is read.
        flush_profile();
        cached->path.clear();
        std::string now;
        if (path == nullptr || !file_stamp(path, &now))
            now.clear();
        cached->parsed = false;
        if (!read_profile(path, &cached->content, &cached->exists))
            return false;
        cached->path = path;
        cached->stamp = now;
    }
    *content = cached->exists ? &cached->content : nullptr;
    return true;
}

// Keeps the edited content for the burst, starting the replacement at its first write.
static bool defer_profile(const char* path, std::string edited) {
    if (cached->pending == nullptr) {
        cached->pending = atomic_begin(path);
        if (cached->pending == nullptr)
            return false;
    }
    cached->content = std::move(edited);
    cached->parsed = false;
    cached->exists = true;
    return true;
}

// The lines of content: parsed once for the file kept in memory, at every
// call otherwise (into scratch).
static const std::vector<ProfileLine>& lines_of(const std::string& content,
                                                std::vector<ProfileLine>* scratch) {
    if (cached == nullptr || &content != &cached->content) {
        *scratch = parse_profile(content);
        return *scratch;
    }
    if (!cached->parsed) {
        cached->lines = parse_profile(cached->content);
        cached->parsed = true;
    }
    return cached->lines;
}

// ---- Answers into the caller's buffer --------------------------------------

// Copies at most size - 1 bytes and a NUL; returns the count copied.
static DWORD copy_text(std::string_view text, LPSTR buffer, DWORD size) {
    size_t count = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return static_cast<DWORD>(count);
}

// The names as NUL-terminated strings closed by one more NUL; when they do
// not fit, the last one that begins is cut and closed by two NULs and the
// result is size - 2, as Windows answers.
static DWORD copy_names(const std::vector<std::string_view>& names, LPSTR buffer, DWORD size) {
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    size_t used = 0;
    for (std::string_view name : names) {
        if (used + name.size() + 2 > size) {
            size_t room = size - 2 > used ? size - 2 - used : 0;
            std::memcpy(buffer + used, name.data(), room);
            buffer[size - 2] = '\0';
            buffer[size - 1] = '\0';
            return size - 2;
        }
        std::memcpy(buffer + used, name.data(), name.size());
        used += name.size();
        buffer[used++] = '\0';
    }
    buffer[used] = '\0';
    return static_cast<DWORD>(used);
}

// A value read from the file: one pair of matching surrounding quotes removed,
// and nothing past a NUL byte, since the caller sees a C string.
static std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value.substr(0, std::min(value.size(), value.find('\0')));
}

DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_value,
                                      LPSTR buffer, DWORD size, LPCSTR path) {
    if (!buffer || size == 0)
        return 0;
    // Trailing blanks of the default are dropped, as Windows documents.
    std::string_view fallback = default_value ? default_value : "";
    while (!fallback.empty() && is_blank(fallback.back()))
        fallback.remove_suffix(1);

    const std::string* content = nullptr;
    if (!profile_content(path, &content) || content == nullptr)
        return copy_text(fallback, buffer, size);
    std::vector<ProfileLine> scratch;
    const std::vector<ProfileLine>& lines = lines_of(*content, &scratch);

    std::vector<std::string_view> names;
    if (!section) {
        for (const ProfileLine& line : lines) {
            if (line.is_section)
                names.push_back(line.name);
        }
        return copy_names(names, buffer, size);
    }
    size_t first = 0, last = 0;
    if (!find_section(lines, section, &first, &last))
        return key ? copy_text(fallback, buffer, size) : copy_names(names, buffer, size);
    if (!key) {
        for (size_t i = first; i < last; i++) {
            if (!lines[i].is_section && !lines[i].name.empty())
                names.push_back(lines[i].name);
        }
        return copy_names(names, buffer, size);
    }
    size_t found = find_key(lines, first, last, key);
    if (found == last || !lines[found].has_value)
        return copy_text(fallback, buffer, size);
    return copy_text(unquote(lines[found].value), buffer, size);
}

UINT WINAPI GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT default_value, LPCSTR path) {
    char text[64];
    if (GetPrivateProfileStringA(section, key, "", text, sizeof text, path) == 0)
        return static_cast<UINT>(default_value);
    // Leading blanks, an optional sign, then decimal digits up to the first
    // other character; no digits give 0. Large values wrap as on Windows.
    const char* p = text;
    while (*p == ' ' || *p == '\t')
        p++;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        p++;
    UINT value = 0;
    while (*p >= '0' && *p <= '9')
        value = value * 10 + static_cast<UINT>(*p++ - '0');
    return negative ? 0u - value : value;
}

// ---- Writing ---------------------------------------------------------------

static const char line_end[] = "\r\n";

// The line ending an existing line already has, kept when the line is rewritten.
static std::string_view ending_of(const std::string& content, const ProfileLine& line) {
    std::string_view text = std::string_view(content).substr(line.begin, line.end - line.begin);
    if (text.size() >= 2 && text.substr(text.size() - 2) == "\r\n")
        return "\r\n";
    if (!text.empty() && text.back() == '\n')
        return "\n";
    return "";
}

// The new content, or false when the write changes nothing.
static bool edit_profile(const std::string& content, const std::vector<ProfileLine>& lines,
                         std::string_view section, LPCSTR key, LPCSTR value, std::string* result) {
    size_t first = 0, last = 0;
    bool has_section = find_section(lines, section, &first, &last);
    std::string_view whole(content);

    if (!has_section) {
        if (!key || !value)
            return false;
        *result = content;
        if (!result->empty() && result->back() != '\n')
            *result += line_end;
        *result += "[" + std::string(trim(section)) + "]" + line_end;
        *result += std::string(trim(key)) + "=" + value + line_end;
        return true;
    }
    size_t section_begin = first < lines.size() ? lines[first].begin : content.size();
    size_t section_end = last < lines.size() ? lines[last].begin : content.size();
    if (!key) {
        // Removing a section takes its header and every line up to the next one.
        *result =
            std::string(whole.substr(0, section_begin)) + std::string(whole.substr(section_end));
        return true;
    }
    size_t found = find_key(lines, first, last, key);
    if (found != last) {
        const ProfileLine& line = lines[found];
        std::string replacement;
        if (value)
            replacement =
                std::string(line.name) + "=" + value + std::string(ending_of(content, line));
        *result = std::string(whole.substr(0, line.begin)) + replacement +
                  std::string(whole.substr(line.end));
        return true;
    }
    if (!value)
        return false;
    // A new key goes after the last non-blank line of its section, so blank
    // lines that separate it from the next section stay where they were.
    size_t after = first;
    for (size_t i = first; i < last; i++) {
        if (!lines[i].name.empty() || lines[i].is_section)
            after = i;
    }
    size_t insert_at = lines.empty() || last == first ? section_begin : lines[after].end;
    std::string added;
    if (insert_at > 0 && content[insert_at - 1] != '\n')
        added = line_end;
    added += std::string(trim(key)) + "=" + value + line_end;
    *result =
        std::string(whole.substr(0, insert_at)) + added + std::string(whole.substr(insert_at));
    return true;
}

static bool replace_profile(const char* path, const std::string& content) {
    AtomicFile* file = atomic_begin(path);
    if (!file)
        return false;
    std::string bytes = file_bytes_of_text(content, false);
    if (!atomic_write(file, bytes.data(), bytes.size())) {
        atomic_abandon(file);
        return false;
    }
    return atomic_commit(file);
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path) {
    // All four null: the burst under way is written now, as Windows flushes its cache.
    if (!section && !key && !value && !path)
        return flush_profile() ? TRUE : FALSE;
    if (!section || !path)
        return FALSE;
    const std::string* content = nullptr;
    // A file that is there but cannot be read is never overwritten: its
    // other settings would be lost.
    if (!profile_content(path, &content))
        return FALSE;
    static const std::string none;
    const std::string& old = content ? *content : none;
    std::vector<ProfileLine> scratch;
    std::string edited;
    if (!edit_profile(old, lines_of(old, &scratch), section, key, value, &edited))
        return TRUE;
    if (!deferring)
        return replace_profile(path, edited) ? TRUE : FALSE;
    return defer_profile(path, std::move(edited)) ? TRUE : FALSE;
}

void profile_defer_writes(void) {
    deferring = true;
}
