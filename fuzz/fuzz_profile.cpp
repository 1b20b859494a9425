// Fuzz target of the profile (INI) functions: the input is the settings file.
// Every section and key the file names is listed and read into buffers of
// exactly the size given (so that the address sanitizer sees any write past
// them), the program's own keys are read, then keys and sections are written
// and deleted and read back.
#include "fuzz/fuzz_support.h"

#include "platform/win32.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

static std::string path;
static std::string content; // the input

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    path = (fuzz_support::work_dir() / "fuzz.ini").string();
    return 0;
}

// GetPrivateProfileStringA into a heap buffer of exactly size bytes; checks
// the result is terminated within the buffer and its length is returned.
static std::string get(const char* section, const char* key, const char* default_value,
                       DWORD size) {
    std::vector<char> buffer(size);
    DWORD n =
        GetPrivateProfileStringA(section, key, default_value, buffer.data(), size, path.c_str());
    if (size == 0)
        return std::string();
    if (n >= size)
        fuzz_support::fail("length returned beyond the buffer");
    // A list of names ends with two NULs; a value with one.
    if (buffer[n] != '\0')
        fuzz_support::fail("result not terminated where its length says");
    if (section != nullptr && key != nullptr && strlen(buffer.data()) != n)
        fuzz_support::fail("value length differs from the returned length");
    return std::string(buffer.data(), n);
}

// The NUL-separated names of a list.
static std::vector<std::string> names_of(const std::string& list) {
    std::vector<std::string> names;
    for (size_t at = 0; at < list.size();) {
        size_t end = list.find('\0', at);
        if (end == std::string::npos)
            end = list.size();
        names.emplace_back(list, at, end - at);
        at = end + 1;
    }
    return names;
}

static const char* const program_keys[] = {
    "volume",     "balance",    "repeat",       "activateeq",  "fontheight",
    "fontweight", "fontitalic", "fontfacename", "fontcharset", "fontunderline",
};

// Reads every way the program and the functions allow; returns the first
// section and key names the file gives, when it gives any.
static void read_all(std::string* some_section, std::string* some_key) {
    static const DWORD sizes[] = {0, 1, 2, 3, 16, 260, 4096};
    for (DWORD size : sizes)
        get(nullptr, nullptr, "", size);
    std::vector<std::string> sections = names_of(get(nullptr, nullptr, "", 65536));
    for (size_t s = 0; s < sections.size() && s < 4; s++) {
        const char* section = sections[s].c_str();
        std::vector<std::string> keys = names_of(get(section, nullptr, "", 65536));
        get(section, nullptr, "", 5);
        for (size_t k = 0; k < keys.size() && k < 8; k++) {
            for (DWORD size : sizes)
                get(section, keys[k].c_str(), "default", size);
            GetPrivateProfileIntA(section, keys[k].c_str(), -7, path.c_str());
            // Names cut out of a longer one at a NUL byte may not be names a
            // key line can have: a blank one (a written "=value" line is never
            // read) or one that reads as a section header ("[a]=value").
            size_t start = keys[k].find_first_not_of(" \t\r\n\v\f\x1A");
            bool usable = start != std::string::npos &&
                          (keys[k][start] != '[' || keys[k].find(']') == std::string::npos);
            if (some_key->empty() && usable)
                *some_key = keys[k];
        }
        if (some_section->empty())
            *some_section = sections[s];
    }
    for (const char* key : program_keys) {
        GetPrivateProfileIntA("Init", key, 5, path.c_str());
        get("Init", key, "Arial", 32);
    }
}

// Writes a value and reads it back; deletes the key and finds the default.
static void write_and_check(const char* section, const char* key) {
    if (!WritePrivateProfileStringA(section, key, "42", path.c_str()))
        return; // a name the file cannot hold, such as one with a line feed
    if (get(section, key, "none", 260) != "42")
        fuzz_support::fail("a written value does not read back");
    if (GetPrivateProfileIntA(section, key, -1, path.c_str()) != 42)
        fuzz_support::fail("a written number does not read back");
    // A deletion removes one line of the key: a repeated key shows its next
    // line, and after as many deletions as there are lines, none is left.
    size_t lines = 1;
    for (size_t at = 0; (at = content.find('\n', at)) != std::string::npos; at++)
        lines++;
    for (size_t i = 0; i <= lines; i++) {
        if (!WritePrivateProfileStringA(section, key, nullptr, path.c_str()))
            fuzz_support::fail("a key cannot be deleted");
        if (get(section, key, "none", 260) == "none")
            return;
    }
    fuzz_support::fail("a deleted key still reads");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    content.assign(reinterpret_cast<const char*>(data), size);
    fuzz_support::write_input("fuzz.ini", data, size);
    std::string section;
    std::string key;
    read_all(&section, &key);
    write_and_check("Init", "volume");
    if (!section.empty() && !key.empty())
        write_and_check(section.c_str(), key.c_str());
    if (!section.empty() &&
        WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, path.c_str())) {
        std::string ignored;
        read_all(&ignored, &ignored);
    }
    return 0;
}
