// A 100,000-entry playlist used through the real window, in the order a user
// would: start-up reading Froulard.m3u, scrolling, select all, sort, shuffle,
// moves, Next at the end of every track, Next pressed, delete, close writing
// Froulard.m3u, then the program's peak memory over the run. Its twin
// bench_large_playlist_million does the same with 1,000,000 entries
// (BENCH_ENTRIES). Every command goes to the main dialog as its button's
// WM_COMMAND, and each figure includes the window catching up (the message
// loop run until idle). Each is printed with its target (at 100,000 those of
// the editing and playlist-file benchmarks; at 1,000,000 one second, the
// shuffle half a second, 300 MB of memory) and where there is one with a floor
// measured in the same run: std::sort of the same keys, the same work on a
// bare linked list scattered as the playlist is, the same bytes read or
// written. Every entry names the same one-second MP3 file, so that tracks
// really play and end; the decoder's fast output (no device) plays them as
// fast as they decode.
#include "bench_playlist.h"

#include "playback/player.h"
#include "vbmp3/vbmp3.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>

#include <sys/wait.h>
#include <unistd.h>

#ifndef BENCH_ENTRIES
#define BENCH_ENTRIES 100000
#endif

static const int entries = BENCH_ENTRIES;
static const bool million = entries >= 1000000;
static const int natural_ends = 200;
static const int next_presses = 1000;

static fs::path start_dir;
static std::uintmax_t m3u_bytes = 0;

static fs::path fixtures_dir() {
    const char* env = std::getenv("MELODIANE_FIXTURES");
    return env != nullptr ? fs::path(env)
                          : fs::path(__FILE__).parent_path().parent_path().parent_path() / "tests" /
                                "fixtures";
}

// A command as its button sends it, then the window catches up.
static void press(int id) {
    SendMessageA(main_dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 (LPARAM)GetDlgItem(main_dialog, id));
    platform_test_pump(0);
}

// The most memory the process held while the program worked (start-up,
// commands, close), the floors measured beside it left out.
static double program_peak_mb = 0;

// Seconds taken by f, the program at work: Linux's high-water mark of the
// process's memory is reset first (to what it holds then) and read after.
template <typename F> static double program_seconds(F f) {
    std::ofstream("/proc/self/clear_refs") << "5";
    double seconds = bench_seconds(f);
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            program_peak_mb = std::max(program_peak_mb, std::stod(line.substr(6)) / 1024);
    }
    return seconds;
}

// A floor measured in a child process, so that what it allocates and frees
// never stays in this process to be counted as the program's memory.
template <typename F> static double floor_seconds(F f) {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0)
        abort();
    pid_t child = fork();
    if (child < 0)
        abort();
    if (child == 0) {
        double seconds = f();
        _exit(write(pipe_ends[1], &seconds, sizeof seconds) == sizeof seconds ? 0 : 1);
    }
    close(pipe_ends[1]);
    double seconds = 0;
    if (read(pipe_ends[0], &seconds, sizeof seconds) != sizeof seconds)
        seconds = 0;
    close(pipe_ends[0]);
    waitpid(child, nullptr, 0);
    return seconds;
}

static void report(benchmark::State& state, double seconds, double floor, double target) {
    state.SetIterationTime(seconds);
    state.counters["ms"] = seconds * 1000;
    if (floor > 0) {
        state.counters["floor_ms"] = floor * 1000;
        state.counters["ratio"] = seconds / floor;
    }
    if (target > 0) {
        state.counters["target_ms"] = target * 1000;
        state.counters["within_target"] = seconds < target ? 1 : 0;
    }
}

static void BM_StartUpReading(benchmark::State& state) {
    for (auto _ : state) {
        platform_test_init();
        std::string pattern = (fs::temp_directory_path() / "melodiane-large-XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data()) == nullptr)
            abort();
        start_dir = fs::canonical(name.data());
        fs::copy_file(fixtures_dir() / "no_tag.mp3", start_dir / "un.mp3");
        std::string track = (start_dir / "un.mp3").string();
        // Through the program's own text files, so that the file's encoding
        // is the one the program writes for these titles.
        TextFile* m3u = text_open_replace((start_dir / "Froulard.m3u").string().c_str());
        text_write(m3u, "#EXTM3U\n");
        for (int i = 0; i < entries; i++) {
            std::string lines = "#EXTINF:1," + bench_title(i) + "\n" + track + "\n";
            text_write(m3u, lines.c_str());
        }
        if (!text_commit(m3u))
            abort();
        m3u_bytes = fs::file_size(start_dir / "Froulard.m3u");
        fs::current_path(start_dir);
        vbmp3_setOutput("fast");

        double seconds = program_seconds([] {
            static char instance_tag;
            app_instance = reinterpret_cast<HINSTANCE>(&instance_tag);
            main_dialog = CreateDialogParamA(app_instance, MAKEINTRESOURCEA(IDD_DIALOG1), nullptr,
                                             main_dialog_proc, 0);
            initialise_app();
            platform_test_pump(0);
        });
        if (SendMessageA(playlist_box(), LB_GETCOUNT, 0, 0) != entries)
            state.SkipWithError("the playlist was not read whole");

        std::string path = (start_dir / "Froulard.m3u").string();
        double floor = floor_seconds([&] { return bench_read_lines_seconds(path); });
        report(state, seconds, floor, 1.0);
    }
}

// The view scrolled from top to bottom in 100 steps, each shown.
static void BM_Scroll100Pages(benchmark::State& state) {
    for (auto _ : state) {
        HWND list = playlist_box();
        double seconds = program_seconds([&] {
            for (int step = 0; step <= 100; step++) {
                SendMessageA(list, LB_SETTOPINDEX, (WPARAM)(step * (entries - 1) / 100), 0);
                platform_test_pump(0);
            }
        });
        report(state, seconds / 101, 0, 0);
    }
}

static void BM_SelectAll(benchmark::State& state) {
    for (auto _ : state) {
        SendMessageA(playlist_box(), LB_SETSEL, FALSE, -1);
        platform_test_pump(0);
        report(state, program_seconds([] { press(IDC_SELECT_ALL); }), 0, million ? 1.0 : 0.05);
    }
}

static void BM_SortAll(benchmark::State& state) {
    for (auto _ : state) {
        double seconds = program_seconds([] { press(IDC_SORT); });
        double floor = floor_seconds([] {
            std::vector<char*> keys;
            for (PlaylistEntry* entry = playlist_head; entry != nullptr; entry = entry->next)
                keys.push_back(sort_key(entry));
            std::shuffle(keys.begin(), keys.end(), std::mt19937(1));
            return bench_seconds([&] { std::sort(keys.begin(), keys.end(), signed_less); });
        });
        report(state, seconds, floor, 1.0);
    }
}

// The floor shuffles as many bare nodes and relinks them.
static void BM_ShuffleAll(benchmark::State& state) {
    for (auto _ : state) {
        double seconds = program_seconds([] { press(IDC_SHUFFLE); });
        double floor = floor_seconds([] {
            std::vector<BareNode> nodes = bare_list(entries);
            return bench_seconds([&] { bare_scatter(nodes); });
        });
        report(state, seconds, floor, 0.5);
    }
}

// The floors of the moves and the delete: the same work on a bare list of as
// many nodes, linked in a random order as the shuffled playlist is.
static double bare_move_seconds() {
    std::vector<BareNode> nodes = bare_list(entries);
    BareNode* head = bare_scatter(nodes);
    return bench_seconds([&] { bare_move_up(head); });
}

static void select_every_other(int remainder) {
    SendMessageA(playlist_box(), LB_SETSEL, FALSE, -1);
    bench_select_every(2, remainder, entries);
    platform_test_pump(0);
}

static void BM_MoveUpHalfRuns(benchmark::State& state) {
    for (auto _ : state) {
        select_every_other(1);
        double seconds = program_seconds([] { press(IDC_MOVE_UP); });
        report(state, seconds, floor_seconds(bare_move_seconds), million ? 1.0 : 0.3);
    }
}

static void BM_MoveDownHalfRuns(benchmark::State& state) {
    for (auto _ : state) {
        select_every_other(0);
        double seconds = program_seconds([] { press(IDC_MOVE_DOWN); });
        report(state, seconds, floor_seconds(bare_move_seconds), million ? 1.0 : 0.3);
    }
}

static int ends_seen = 0;

// The program's handler, counting the ends it is given.
static int counting_handler(int type, int value) {
    ends_seen += type == VBMP3_EVENT_END;
    return decoder_event(type, value);
}

// The end counter alone: what the decoder library costs without the program.
static int bare_handler(int type, int) {
    ends_seen += type == VBMP3_EVENT_END;
    return 0;
}

// Plays the first line as a double-click on it does.
static void double_click_first_line() {
    SendMessageA(playlist_box(), LB_SETCARETINDEX, 0, 0);
    SendMessageA(main_dialog, WM_COMMAND, MAKEWPARAM(IDC_PLAYLIST, LBN_DBLCLK),
                 (LPARAM)playlist_box());
    platform_test_pump(0);
}

// Tracks that end by themselves, each followed by the next one: the time per
// end, beside the decoder library playing the same file that often alone.
static void BM_NaturalEndsNext(benchmark::State& state) {
    for (auto _ : state) {
        vbmp3_callback(counting_handler);
        double_click_first_line();
        ends_seen = 0;
        double seconds = program_seconds([&] {
            while (ends_seen < natural_ends)
                platform_test_pump(1);
        });
        press(IDC_STOP);

        vbmp3_callback(bare_handler);
        std::string track = (start_dir / "un.mp3").string();
        char record[VBMP3_OPEN_RECORD_SIZE];
        ends_seen = 0;
        double floor = bench_seconds([&] {
            for (int i = 0; i < natural_ends; i++) {
                vbmp3_open(track.c_str(), record);
                vbmp3_play();
                while (ends_seen <= i)
                    platform_test_pump(1);
            }
        });
        vbmp3_close();
        vbmp3_callback(decoder_event);
        report(state, seconds / natural_ends, floor / natural_ends, 0);
    }
}

static void BM_NextPressedWhilePlaying(benchmark::State& state) {
    for (auto _ : state) {
        double_click_first_line();
        double seconds = program_seconds([] {
            for (int i = 0; i < next_presses; i++)
                press(IDC_NEXT);
        });
        press(IDC_STOP);
        report(state, seconds / next_presses, 0, 0);
    }
}

static void BM_DeleteHalfScattered(benchmark::State& state) {
    for (auto _ : state) {
        select_every_other(1);
        double seconds = program_seconds([] { press(IDC_DELETE); });
        double floor = floor_seconds([] {
            BareNode* head = bare_heap_list(entries, true);
            return bench_seconds([&] { bare_delete(head); });
        });
        report(state, seconds, floor, million ? 1.0 : 0.3);
    }
}

// The close writes the half of the entries left, then the settings; the floor
// writes the same bytes through one buffered stream, flushed to disk.
static void BM_CloseWritingHalf(benchmark::State& state) {
    for (auto _ : state) {
        double seconds = program_seconds([] {
            PostMessageA(main_dialog, WM_CLOSE, 0, 0);
            MSG message;
            while (GetMessageA(&message, nullptr, 0, 0) != 0) {
                if (!IsDialogMessageA(main_dialog, &message)) {
                    TranslateMessage(&message);
                    DispatchMessageA(&message);
                }
            }
        });
        std::string floor_path = (start_dir / "floor.m3u").string();
        double floor = floor_seconds(
            [&] { return bench_seconds([&] { write_floor_m3u(floor_path.c_str()); }); });
        report(state, seconds, floor, million ? 1.0 : 0.3);
        std::error_code ignored;
        fs::remove_all(start_dir, ignored);
    }
}

// The program's peak memory over the whole run; the floor is the size of the
// playlist file it read.
static void BM_PeakMemory(benchmark::State& state) {
    for (auto _ : state) {
        state.SetIterationTime(0);
        state.counters["peak_mb"] = program_peak_mb;
        state.counters["file_mb"] = (double)m3u_bytes / (1024 * 1024);
        if (million) {
            state.counters["target_mb"] = 300;
            state.counters["within_target"] = program_peak_mb < 300 ? 1 : 0;
        }
    }
}

// Each step runs for the titles of one script: Western titles (a
// Windows-1252 playlist) or titles in other scripts (a UTF-8 one).
static void add(const std::string& name, void (*function)(benchmark::State&), int script) {
    std::string suffix = script == 0 ? "/cp1252" : "/utf8";
    benchmark::RegisterBenchmark(("BM_" + name + suffix).c_str(),
                                 [function, script](benchmark::State& state) {
                                     bench_script = script;
                                     function(state);
                                 })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
}

int main(int argc, char** argv) {
    // Names carry the playlist's size and the half of it moved, deleted, written.
    std::string all = std::to_string(entries);
    std::string half = std::to_string(entries / 2);
    // The million-entry twin keeps to Western titles: its run is long enough.
    for (int script = 0; script < (million ? 1 : 2); script++) {
        add("StartUpReading" + all, BM_StartUpReading, script);
        add("Scroll100Pages", BM_Scroll100Pages, script);
        add("SelectAll", BM_SelectAll, script);
        add("SortAll", BM_SortAll, script);
        add("ShuffleAll", BM_ShuffleAll, script);
        add("MoveUp" + half + "Runs", BM_MoveUpHalfRuns, script);
        add("MoveDown" + half + "Runs", BM_MoveDownHalfRuns, script);
        add("NaturalEndsNext", BM_NaturalEndsNext, script);
        add("NextPressedWhilePlaying", BM_NextPressedWhilePlaying, script);
        add("Delete" + half + "Scattered", BM_DeleteHalfScattered, script);
        add("CloseWriting" + half, BM_CloseWritingHalf, script);
    }
    add("PeakMemory", BM_PeakMemory, 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
