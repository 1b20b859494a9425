// A 100,000-entry playlist used through the real window, in the order a user
// would: start-up reading Froulard.m3u, scrolling, select all, sort, shuffle,
// moves, Next at the end of every track, Next pressed, delete, close writing
// Froulard.m3u. Every command goes to the main dialog as its button's
// WM_COMMAND, and each figure includes the window catching up (the message
// loop run until idle). Each is printed with its target from the editing and
// playlist-file benchmarks, and where there is one with a floor measured in
// the same run. Every entry names the same one-second MP3 file, so that tracks
// really play and end; the decoder's fast output (no device) plays them as
// fast as they decode.
#include "bench_playlist.h"

#include "playback/player.h"
#include "vbmp3/vbmp3.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>

#include <unistd.h>

static const int entries = 100000;
static const int natural_ends = 200;
static const int next_presses = 1000;

static fs::path start_dir;

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

static void BM_StartUpReading100000(benchmark::State& state) {
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
        fs::current_path(start_dir);
        vbmp3_setOutput("fast");

        double seconds = bench_seconds([] {
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
        double floor = bench_read_lines_seconds(path);
        report(state, seconds, floor, 1.0);
    }
}

// The view scrolled from top to bottom in 100 steps, each shown.
static void BM_Scroll100Pages(benchmark::State& state) {
    for (auto _ : state) {
        HWND list = playlist_box();
        double seconds = bench_seconds([&] {
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
        report(state, bench_seconds([] { press(MAIN_SELECT_ALL); }), 0, 0.05);
    }
}

static bool signed_less(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) {
        a++;
        b++;
    }
    return (signed char)*a < (signed char)*b;
}

static void BM_SortAll(benchmark::State& state) {
    for (auto _ : state) {
        double seconds = bench_seconds([] { press(MAIN_SORT); });
        std::vector<char*> keys;
        for (PlaylistEntry* entry = playlist_head; entry != nullptr; entry = entry->next)
            keys.push_back(sort_key(entry));
        std::shuffle(keys.begin(), keys.end(), std::mt19937(1));
        double floor = bench_seconds([&] { std::sort(keys.begin(), keys.end(), signed_less); });
        for (char* key : keys)
            free(key);
        report(state, seconds, floor, 1.0);
    }
}

static void BM_ShuffleAll(benchmark::State& state) {
    for (auto _ : state)
        report(state, bench_seconds([] { press(MAIN_SHUFFLE); }), 0, 0.5);
}

static void select_every_other(int remainder) {
    SendMessageA(playlist_box(), LB_SETSEL, FALSE, -1);
    bench_select_every(2, remainder, entries);
    platform_test_pump(0);
}

static void BM_MoveUp50000Runs(benchmark::State& state) {
    for (auto _ : state) {
        select_every_other(1);
        report(state, bench_seconds([] { press(MAIN_UP); }), 0, 0.3);
    }
}

static void BM_MoveDown50000Runs(benchmark::State& state) {
    for (auto _ : state) {
        select_every_other(0);
        report(state, bench_seconds([] { press(MAIN_DOWN); }), 0, 0.3);
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
    SendMessageA(main_dialog, WM_COMMAND, MAKEWPARAM(MAIN_LIST, LBN_DBLCLK),
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
        double seconds = bench_seconds([&] {
            while (ends_seen < natural_ends)
                platform_test_pump(1);
        });
        press(MAIN_STOP);

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
        double seconds = bench_seconds([] {
            for (int i = 0; i < next_presses; i++)
                press(MAIN_NEXT);
        });
        press(MAIN_STOP);
        report(state, seconds / next_presses, 0, 0);
    }
}

static void BM_Delete50000Scattered(benchmark::State& state) {
    for (auto _ : state) {
        select_every_other(1);
        report(state, bench_seconds([] { press(MAIN_DELETE); }), 0, 0.3);
    }
}

// The close writes the 50,000 entries left, then the settings; the floor
// writes the same bytes through one buffered stream, flushed to disk.
static void BM_CloseWriting50000(benchmark::State& state) {
    for (auto _ : state) {
        double seconds = bench_seconds([] {
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
        double floor = bench_seconds([&] { write_floor_m3u(floor_path.c_str()); });
        report(state, seconds, floor, 0.3);
        std::error_code ignored;
        fs::remove_all(start_dir, ignored);
    }
}

// The whole sequence twice: Western titles (a Windows-1252 playlist), then
// titles in other scripts (a UTF-8 one), each figure beside the other.
static int register_sequences() {
    struct Step {
        const char* name;
        void (*run)(benchmark::State&);
    };
    static const Step steps[] = {{"StartUpReading100000", BM_StartUpReading100000},
                                 {"Scroll100Pages", BM_Scroll100Pages},
                                 {"SelectAll", BM_SelectAll},
                                 {"SortAll", BM_SortAll},
                                 {"ShuffleAll", BM_ShuffleAll},
                                 {"MoveUp50000Runs", BM_MoveUp50000Runs},
                                 {"MoveDown50000Runs", BM_MoveDown50000Runs},
                                 {"NaturalEndsNext", BM_NaturalEndsNext},
                                 {"NextPressedWhilePlaying", BM_NextPressedWhilePlaying},
                                 {"Delete50000Scattered", BM_Delete50000Scattered},
                                 {"CloseWriting50000", BM_CloseWriting50000}};
    for (int script = 0; script < 2; script++) {
        for (const Step& step : steps) {
            std::string name = std::string("BM_") + step.name + (script == 0 ? "/cp1252" : "/utf8");
            benchmark::RegisterBenchmark(name.c_str(),
                                         [step, script](benchmark::State& state) {
                                             bench_script = script;
                                             step.run(state);
                                         })
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond)
                ->Iterations(1);
        }
    }
    return 0;
}

static const int registered = register_sequences();

BENCHMARK_MAIN();
