// Fuzz target of the decoder library on arbitrary bytes: the file information
// of a file holding the input, then the file opened and played to its end
// through the library's fast test output (no device, samples taken as fast as
// they are decoded), with a seek chosen by the input's last byte.
#include "fuzz/fuzz_support.h"

#include "codepage/utf8.h"
#include "vbmp3/vbmp3.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>

static std::string path;
static std::mutex lock;
static std::condition_variable woken;
static bool wake_pending = false;
static bool ended = false;

static void wakeup() {
    std::lock_guard<std::mutex> hold(lock);
    wake_pending = true;
    woken.notify_one();
}

static int handler(int type, int) {
    if (type == VBMP3_EVENT_END)
        ended = true;
    return 0;
}

// Samples must be finite: a decoder fault often shows as NaN or infinity.
static void tap(const float* frames, int count, int, void*) {
    for (int i = 0; i < 2 * count; i++) {
        if (!(frames[i] >= -1e6f && frames[i] <= 1e6f))
            fuzz_support::fail("a sample is not a finite number");
    }
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    path = (fuzz_support::work_dir() / "fuzz.mp3").string();
    vbmp3_setOutput("fast");
    vbmp3_setCapture(tap, nullptr);
    if (vbmp3_init() == 0)
        fuzz_support::fail("the decoder library cannot start");
    vbmp3_callback(handler);
    vbmp3_setWakeup(wakeup);
    // The library's threads must be gone before the process exits.
    atexit([] { vbmp3_free(); });
    return 0;
}

// A field is terminated and whole UTF-8: every byte converted, every cut
// between two characters.
static void check_text(const char* field, size_t size) {
    const char* end = static_cast<const char*>(memchr(field, '\0', size));
    if (end == nullptr)
        fuzz_support::fail("a tag field is not terminated");
    size_t length = static_cast<size_t>(end - field);
    for (size_t i = 0; i < length;) {
        char32_t code_point = 0;
        size_t sequence = utf8_decode(field + i, length - i, &code_point);
        if (sequence == 0)
            fuzz_support::fail("a tag field is not whole UTF-8");
        i += sequence;
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_support::write_input("fuzz.mp3", data, size);

    VBMP3_TAG_INFO tag;
    VBMP3_INFO info;
    memset(&tag, 0xAA, sizeof tag);
    memset(&info, 0xAA, sizeof info);
    if (vbmp3_getFileInfo(path.c_str(), &tag, &info)) {
        check_text(tag.title, sizeof tag.title);
        check_text(tag.artist, sizeof tag.artist);
        check_text(tag.album, sizeof tag.album);
        check_text(tag.year, sizeof tag.year);
        check_text(tag.comment, sizeof tag.comment);
        check_text(tag.genre, sizeof tag.genre);
        if (info.length < 0)
            fuzz_support::fail("a negative duration");
    }

    char record[VBMP3_OPEN_RECORD_SIZE] = {};
    ended = false;
    if (!vbmp3_open(path.c_str(), record))
        return 0;
    vbmp3_play();
    if (size > 0)
        vbmp3_seek(data[size - 1] % 4);
    // A readable file always ends, at once when it holds nothing playable.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!ended) {
        vbmp3_pump();
        if (ended)
            break;
        if (std::chrono::steady_clock::now() > deadline)
            fuzz_support::fail("the track never ends");
        std::unique_lock<std::mutex> hold(lock);
        woken.wait_for(hold, std::chrono::milliseconds(10), [] { return wake_pending; });
        wake_pending = false;
    }
    vbmp3_close();
    return 0;
}
