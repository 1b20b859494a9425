// Fuzz target of the M3U reader: the input is a playlist file, added through
// a real add_files batch into the real main dialog's list (off-screen), as
// "Ajouter" adds a chosen playlist. Path lines may name the MP3 files copied
// into the working directory, so that entries get their titles from real tags.
#include "fuzz/fuzz_support.h"

#include "app/app.h"
#include "app/main_window.h"
#include "common/resource.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "playlist/playlist.h"
#include "playlist_files/playlist_files.h"
#include "vbmp3/vbmp3.h"

#include <cstdint>
#include <cstring>

static const char* const fixture_copies[][2] = {
    {"no_tag.mp3", "a.mp3"},
    {"id3v1_only.mp3", "b.mp3"},
    {"cbr_22k_stereo_v24_utf16.mp3", "c.mp3"},
    {"empty.mp3", "d.mp3"},
};

static std::string directory; // the working directory, ending in "/"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("MELODIANE_SOURCE_DIR", MELODIANE_SOURCE_DIR, 0);
    const std::filesystem::path& dir = fuzz_support::work_dir();
    directory = dir.string() + "/";
    // The program reads its settings and default playlist from the start directory.
    std::filesystem::current_path(dir);
    std::filesystem::path fixtures = std::filesystem::path(MELODIANE_SOURCE_DIR) / "tests/fixtures";
    for (const auto& copy : fixture_copies) {
        std::filesystem::copy_file(fixtures / copy[0], dir / copy[1],
                                   std::filesystem::copy_options::overwrite_existing);
    }
    // The program's own start-up, as the tests run it.
    platform_test_init();
    static char instance_tag;
    app_instance = reinterpret_cast<HINSTANCE>(&instance_tag);
    main_dialog = CreateDialogParamA(app_instance, MAKEINTRESOURCEA(IDD_DIALOG1), nullptr,
                                     main_dialog_proc, 0);
    if (main_dialog == nullptr)
        fuzz_support::fail("no main dialog");
    initialise_app();
    // The library's threads must be gone before the process exits.
    atexit([] { vbmp3_free(); });
    return 0;
}

// The list and the list box agree, and no title or path outgrows its limit.
static void check_playlist() {
    int count = (int)SendMessageA(playlist_box(), LB_GETCOUNT, 0, 0);
    int length = 0;
    for (PlaylistEntry* entry = playlist_head; entry != nullptr; entry = entry->next, length++) {
        if (strlen(entry->title) > 255)
            fuzz_support::fail("title over 255 characters");
        if (strlen(entry->path) > MAX_PATH - 1)
            fuzz_support::fail("path over MAX_PATH - 1 bytes");
    }
    if (count != length)
        fuzz_support::fail("list box and playlist differ");
    if ((length == 0) != (current_entry == nullptr))
        fuzz_support::fail("current entry without a list, or a list without one");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_support::write_input("fuzz.m3u", data, size);
    clear_playlist();
    // Two entries first, so that the playlist's entries go between them.
    static const char around[] = "a.mp3\0b.mp3\0";
    add_files(0, directory.c_str(), around);
    PlaylistEntry* first = playlist_head;
    static const char names[] = "fuzz.m3u\0";
    add_files(1, directory.c_str(), names);
    platform_test_pump(0);
    check_playlist();
    PlaylistEntry* last = playlist_head;
    while (last != nullptr && last->next != nullptr)
        last = last->next;
    if (playlist_head != first || current_entry != first || last == nullptr ||
        strcmp(last->path, (directory + "b.mp3").c_str()) != 0)
        fuzz_support::fail("the playlist's entries are not between the two around them");
    clear_playlist();
    return 0;
}
