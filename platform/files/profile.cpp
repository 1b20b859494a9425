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
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

// One line of the text, with what its parse found in it.
struct ProfileLine {
    std::string_view text; // the line with its line feed, if it has one
    bool is_section;       // "[name]"
    bool has_value;        // "name=value"; a line without '=' names a key with no value
    std::string_view name; // within text
    std::string_view value;
    uint64_t name_hash; // of the name folded (name_hash), to pass most lines by quickly
};

// A section: for a named one its header first, then its lines up to the next
// header. The lines before any header form the section with the empty name,
// always the first of the document, possibly empty.
struct ProfileSection {
    std::vector<ProfileLine> lines;
};

// The text parsed once, and edited line by line afterwards, so that a burst
// of writes to a large file costs one parse and one write.
struct ProfileDocument {
    std::string base;                // the text read; lines not rewritten are views into it
    std::deque<std::string> written; // the text of lines rewritten since (stable addresses)
    std::vector<ProfileSection> sections;
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

// The same for names that same_name finds the same (FNV-1a over the folded characters).
static uint64_t name_hash(std::string_view name) {
    uint64_t hash = 0xCBF29CE484222325u;
    for (size_t at = 0; at < name.size();) {
        hash ^= fold(next_character(name, &at));
        hash *= 0x100000001B3u;
    }
    return hash;
}

static bool names_match(const ProfileLine& line, std::string_view name, uint64_t hash) {
    return line.name_hash == hash && same_name(line.name, name);
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

static ProfileLine parse_line(std::string_view whole) {
    std::string_view text = trim(whole);
    ProfileLine line{whole, false, false, {}, {}, 0};
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
    line.name_hash = name_hash(line.name);
    return line;
}

// The lines of text, which must outlive them.
static std::vector<ProfileLine> parse_lines(std::string_view text) {
    std::vector<ProfileLine> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t feed = text.find('\n', pos);
        size_t end = feed == std::string_view::npos ? text.size() : feed + 1;
        lines.push_back(parse_line(text.substr(pos, end - pos)));
        pos = end;
    }
    return lines;
}

// Adds the lines of text, which must outlive them, to the end of the
// document; a header there begins a section.
static void add_lines(ProfileDocument* document, std::string_view text) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t feed = text.find('\n', pos);
        size_t end = feed == std::string_view::npos ? text.size() : feed + 1;
        ProfileLine line = parse_line(text.substr(pos, end - pos));
        if (line.is_section)
            document->sections.emplace_back();
        document->sections.back().lines.push_back(line);
        pos = end;
    }
}

// The document of the text, which it takes.
static void parse_document(std::string text, ProfileDocument* document) {
    document->base = std::move(text);
    document->written.clear();
    document->sections.assign(1, ProfileSection{});
    add_lines(document, document->base);
}

// The text of the document, with its lines in order.
static std::string text_of(const ProfileDocument& document) {
    size_t size = 0;
    for (const ProfileSection& section : document.sections) {
        for (const ProfileLine& line : section.lines)
            size += line.text.size();
    }
    std::string text;
    text.reserve(size);
    for (const ProfileSection& section : document.sections) {
        for (const ProfileLine& line : section.lines)
            text += line.text;
    }
    return text;
}

// The index in document->sections of the first section with that name;
// false when there is none. The empty name is always there.
static bool find_section(const ProfileDocument& document, std::string_view section, size_t* found) {
    section = trim(section);
    *found = 0;
    if (section.empty())
        return true;
    uint64_t hash = name_hash(section);
    for (size_t i = 1; i < document.sections.size(); i++) {
        if (names_match(document.sections[i].lines.front(), section, hash)) {
            *found = i;
            return true;
        }
    }
    return false;
}

// The index of the first line of the section that names the key, or its line count.
static size_t find_key(const ProfileSection& section, std::string_view key) {
    key = trim(key);
    uint64_t hash = name_hash(key);
    const std::vector<ProfileLine>& lines = section.lines;
    for (size_t i = 0; i < lines.size(); i++) {
        if (!lines[i].is_section && !lines[i].name.empty() && names_match(lines[i], key, hash))
            return i;
    }
    return lines.size();
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
    ProfileDocument document;
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
    std::string bytes = file_bytes_of_text(text_of(cached->document), false);
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

// The document of the file at path, and whether the file exists; false when
// it is there but cannot be read. Without deferred writes the file is read
// afresh at every call.
static bool profile_document(const char* path, ProfileDocument** document, bool* exists) {
    static ProfileDocument fresh;
    *document = nullptr;
    if (!deferring) {
        std::string text;
        if (!read_profile(path, &text, exists))
            return false;
        parse_document(std::move(text), &fresh);
        *document = &fresh;
        return true;
    }
    if (cached == nullptr) {
        cached = new CachedProfile{"", "", false, {}, nullptr};
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
        std::string text;
        if (!read_profile(path, &text, &cached->exists))
            return false;
        parse_document(std::move(text), &cached->document);
        cached->path = path;
        cached->stamp = now;
    }
    *document = &cached->document;
    *exists = cached->exists;
    return true;
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

    ProfileDocument* document = nullptr;
    bool exists = false;
    if (!profile_document(path, &document, &exists) || !exists)
        return copy_text(fallback, buffer, size);

    std::vector<std::string_view> names;
    if (!section) {
        for (size_t i = 1; i < document->sections.size(); i++)
            names.push_back(document->sections[i].lines.front().name);
        return copy_names(names, buffer, size);
    }
    size_t found_section = 0;
    if (!find_section(*document, section, &found_section))
        return key ? copy_text(fallback, buffer, size) : copy_names(names, buffer, size);
    const std::vector<ProfileLine>& lines = document->sections[found_section].lines;
    if (!key) {
        for (const ProfileLine& line : lines) {
            if (!line.is_section && !line.name.empty())
                names.push_back(line.name);
        }
        return copy_names(names, buffer, size);
    }
    size_t found = find_key(document->sections[found_section], key);
    if (found == lines.size() || !lines[found].has_value)
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
static std::string_view ending_of(const ProfileLine& line) {
    std::string_view text = line.text;
    if (text.size() >= 2 && text.substr(text.size() - 2) == "\r\n")
        return "\r\n";
    if (!text.empty() && text.back() == '\n')
        return "\n";
    return "";
}

// Where a write lands: the section and the key's line in it, when there.
struct ProfileTarget {
    bool has_section;
    size_t section;
    bool has_key;
    size_t line;
};

static ProfileTarget find_target(const ProfileDocument& document, std::string_view section,
                                 LPCSTR key) {
    ProfileTarget target{false, 0, false, 0};
    target.has_section = find_section(document, section, &target.section);
    if (target.has_section && key) {
        target.line = find_key(document.sections[target.section], key);
        target.has_key = target.line < document.sections[target.section].lines.size();
    }
    return target;
}

// Whether the write changes the text at all.
static bool write_changes(const ProfileTarget& target, LPCSTR key, LPCSTR value) {
    if (!target.has_section)
        return key && value;
    return !key || target.has_key || value;
}

// Gives the line new text (kept by the document) and parses it again.
static void rewrite_line(ProfileDocument* document, ProfileLine* line, std::string text) {
    document->written.push_back(std::move(text));
    *line = parse_line(document->written.back());
}

// Adds the text's lines to the end of the document.
static void append_text(ProfileDocument* document, std::string text) {
    document->written.push_back(std::move(text));
    add_lines(document, document->written.back());
}

// Replaces lines [at, at + count) of the section by the lines of text. Text
// that holds a header (from a key or value with a line feed or brackets)
// reorders the sections: the whole document is then parsed again.
static void splice_lines(ProfileDocument* document, size_t section, size_t at, size_t count,
                         std::string text) {
    std::vector<ProfileLine>& lines = document->sections[section].lines;
    document->written.push_back(std::move(text));
    std::vector<ProfileLine> added = parse_lines(document->written.back());
    bool adds_header = std::any_of(added.begin(), added.end(),
                                   [](const ProfileLine& line) { return line.is_section; });
    if (!adds_header) {
        lines.erase(lines.begin() + static_cast<ptrdiff_t>(at),
                    lines.begin() + static_cast<ptrdiff_t>(at + count));
        lines.insert(lines.begin() + static_cast<ptrdiff_t>(at), added.begin(), added.end());
        return;
    }
    std::string whole;
    for (size_t s = 0; s < document->sections.size(); s++) {
        const std::vector<ProfileLine>& each = document->sections[s].lines;
        for (size_t i = 0; i < each.size(); i++) {
            if (s == section && i == at)
                whole += document->written.back();
            if (s != section || i < at || i >= at + count)
                whole += each[i].text;
        }
        if (s == section && at == each.size())
            whole += document->written.back();
    }
    parse_document(std::move(whole), document);
}

// The last line of the document, if it has one.
static ProfileLine* last_line(ProfileDocument* document) {
    for (size_t s = document->sections.size(); s-- > 0;) {
        if (!document->sections[s].lines.empty())
            return &document->sections[s].lines.back();
    }
    return nullptr;
}

// Makes the write at the target, which write_changes said changes the text.
static void make_edit(ProfileDocument* document, const ProfileTarget& target,
                      std::string_view section, LPCSTR key, LPCSTR value) {
    if (!target.has_section) {
        ProfileLine* last = last_line(document);
        if (last != nullptr && last->text.back() != '\n')
            rewrite_line(document, last, std::string(last->text) + line_end);
        // Built by appending: GCC 12 at -O3 takes a literal joined to a
        // string for an overlapping copy (-Wrestrict).
        std::string text = "[";
        text.append(trim(section)).append("]").append(line_end);
        text.append(trim(key)).append("=").append(value).append(line_end);
        append_text(document, text);
        return;
    }
    if (!key) {
        // Removing a section takes its header and every line up to the next one.
        if (target.section == 0)
            document->sections.front().lines.clear();
        else
            document->sections.erase(document->sections.begin() +
                                     static_cast<ptrdiff_t>(target.section));
        return;
    }
    std::vector<ProfileLine>& lines = document->sections[target.section].lines;
    if (target.has_key) {
        const ProfileLine& line = lines[target.line];
        if (!value) {
            lines.erase(lines.begin() + static_cast<ptrdiff_t>(target.line));
            return;
        }
        splice_lines(document, target.section, target.line, 1,
                     std::string(line.name) + "=" + value + std::string(ending_of(line)));
        return;
    }
    // A new key goes after the last non-blank line of its section, so blank
    // lines that separate it from the next section stay where they were.
    size_t after = 0;
    for (size_t i = 0; i < lines.size(); i++) {
        if (!lines[i].name.empty() || lines[i].is_section)
            after = i;
    }
    size_t insert_at = lines.empty() ? 0 : after + 1;
    if (!lines.empty() && lines[after].text.back() != '\n')
        rewrite_line(document, &lines[after], std::string(lines[after].text) + line_end);
    splice_lines(document, target.section, insert_at, 0,
                 std::string(trim(key)) + "=" + value + line_end);
}

// Rewritten lines beyond this many are gathered into one text again, so a
// long session's writes do not pile up.
static const size_t most_written = 4096;

static void edit_profile(ProfileDocument* document, const ProfileTarget& target,
                         std::string_view section, LPCSTR key, LPCSTR value) {
    make_edit(document, target, section, key, value);
    if (document->written.size() > most_written)
        parse_document(text_of(*document), document);
}

static bool replace_profile(const char* path, const ProfileDocument& document) {
    AtomicFile* file = atomic_begin(path);
    if (!file)
        return false;
    std::string bytes = file_bytes_of_text(text_of(document), false);
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
    ProfileDocument* document = nullptr;
    bool exists = false;
    // A file that is there but cannot be read is never overwritten: its
    // other settings would be lost.
    if (!profile_document(path, &document, &exists))
        return FALSE;
    ProfileTarget target = find_target(*document, section, key);
    if (!write_changes(target, key, value))
        return TRUE;
    if (!deferring) {
        edit_profile(document, target, section, key, value);
        return replace_profile(path, *document) ? TRUE : FALSE;
    }
    // The burst's first write starts the replacement, before anything changes.
    if (cached->pending == nullptr) {
        cached->pending = atomic_begin(path);
        if (cached->pending == nullptr)
            return FALSE;
    }
    edit_profile(document, target, section, key, value);
    cached->exists = true;
    return TRUE;
}

void profile_defer_writes(void) {
    deferring = true;
}
