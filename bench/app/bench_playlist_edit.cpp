// The editing commands on a 100,000-line playlist with the real list box,
// each against a floor measured in the same run: std::sort of the same keys
// for the sort, the same work on a bare linked list for the others.
#include "bench_playlist.h"

#include <algorithm>
#include <ctime>
#include <random>

static const int lines = 100000;

// ---- The commands ----

static void BM_SelectAllThenSort(benchmark::State& state) {
    double command = 0, floor = 0;
    for (auto _ : state) {
        bench_fill_playlist(lines);
        double seconds = bench_seconds([] {
            select_all();
            reorder_selected(REORDER_SORT);
        });
        state.SetIterationTime(seconds);
        command += seconds;

        std::vector<char*> keys;
        for (PlaylistEntry* entry = playlist_head; entry != nullptr; entry = entry->next)
            keys.push_back(sort_key(entry));
        std::shuffle(keys.begin(), keys.end(), std::mt19937(1));
        floor += bench_seconds([&] { std::sort(keys.begin(), keys.end(), signed_less); });
        for (char* key : keys)
            free(key);
    }
    bench_report(state, command, floor, 1.0);
}

// Titles of the same shape with artists in other scripts and decomposed
// accents, held as UTF-8.
static std::string utf8_title(int i) {
    static const char* const artists[] = {"Dvořák",
                                          "Мелодия",
                                          "Łódź Orkiestra",
                                          "日本の歌",
                                          "Ωmega",
                                          "Smetana",
                                          "Fe\u0301lix Lecle\u0300re",
                                          "Ελένη"};
    unsigned mix = (unsigned)i * 2654435761u;
    return std::string(artists[mix % 8]) + " - Chanson " + std::to_string(mix % 99991);
}

// The Windows-1252 titles, their characters held as UTF-8.
static std::string windows1252_title_in_utf8(int i) {
    std::string text;
    for (char byte : bench_title(i)) {
        unsigned char b = (unsigned char)byte;
        if (b < 0x80) {
            text += byte;
        } else {
            text += (char)(0xC0 | b >> 6);
            text += (char)(0x80 | (b & 0x3F));
        }
    }
    return text;
}

// Processor seconds of this process: steadier than the clock on a busy machine.
static double cpu_seconds() {
    return (double)std::clock() / CLOCKS_PER_SEC;
}

// Sorting the Windows-1252 titles, the same held as UTF-8, and the titles in
// other scripts, in turn in each iteration: each against the first, by the
// clock and by processor time.
static void BM_SortUtf8BesideWindows1252(benchmark::State& state) {
    std::string (*const kinds[])(int) = {bench_title, windows1252_title_in_utf8, utf8_title};
    double seconds[3] = {0, 0, 0}, cpu[3] = {0, 0, 0};
    for (auto _ : state) {
        for (int kind = 0; kind < 3; kind++) {
            bench_fill_playlist(lines, kinds[kind]);
            double cpu_start = cpu_seconds();
            seconds[kind] += bench_seconds([] {
                select_all();
                reorder_selected(REORDER_SORT);
            });
            cpu[kind] += cpu_seconds() - cpu_start;
        }
        state.SetIterationTime(seconds[0]);
    }
    double iterations = (double)state.iterations();
    const char* const names[] = {"1252", "1252_in_utf8", "utf8"};
    for (int kind = 0; kind < 3; kind++) {
        state.counters[std::string("ms_") + names[kind]] = seconds[kind] * 1000 / iterations;
        state.counters[std::string("cpu_ms_") + names[kind]] = cpu[kind] * 1000 / iterations;
        if (kind > 0) {
            state.counters[std::string("ratio_") + names[kind]] = seconds[kind] / seconds[0];
            state.counters[std::string("cpu_ratio_") + names[kind]] = cpu[kind] / cpu[0];
        }
    }
}

static void BM_Shuffle(benchmark::State& state) {
    double command = 0, floor = 0;
    for (auto _ : state) {
        bench_fill_playlist(lines);
        select_all();
        double seconds = bench_seconds([] { reorder_selected(REORDER_SHUFFLE); });
        state.SetIterationTime(seconds);
        command += seconds;

        std::vector<BareNode> nodes = bare_list(lines);
        std::vector<BareNode*> order;
        for (BareNode& node : nodes)
            order.push_back(&node);
        floor += bench_seconds([&] {
            std::shuffle(order.begin(), order.end(), std::mt19937(1));
            for (int i = 0; i < lines - 1; i++)
                order[i]->next = order[i + 1];
            order[lines - 1]->next = nullptr;
        });
    }
    bench_report(state, command, floor, 0.5);
}

static void BM_MoveUp50000Runs(benchmark::State& state) {
    double command = 0, floor = 0;
    for (auto _ : state) {
        bench_fill_playlist(lines);
        bench_select_every(2, 1, lines);
        double seconds = bench_seconds([] { move_selected_up(); });
        state.SetIterationTime(seconds);
        command += seconds;

        std::vector<BareNode> nodes = bare_list(lines);
        floor += bench_seconds([&] { bare_move_up(&nodes[0]); });
    }
    bench_report(state, command, floor, 0.3);
}

static void BM_MoveDown50000Runs(benchmark::State& state) {
    double command = 0, floor = 0;
    for (auto _ : state) {
        bench_fill_playlist(lines);
        bench_select_every(2, 0, lines);
        double seconds = bench_seconds([] { move_selected_down(); });
        state.SetIterationTime(seconds);
        command += seconds;

        std::vector<BareNode> nodes = bare_list(lines);
        floor += bench_seconds([&] { bare_move_up(&nodes[0]); });
    }
    bench_report(state, command, floor, 0.3);
}

static void BM_Delete50000Scattered(benchmark::State& state) {
    double command = 0, floor = 0;
    for (auto _ : state) {
        bench_fill_playlist(lines);
        bench_select_every(2, 1, lines);
        double seconds = bench_seconds([] { delete_selected(); });
        state.SetIterationTime(seconds);
        command += seconds;

        BareNode* head = bare_heap_list(lines, false);
        floor += bench_seconds([&] { bare_delete(head); });
        bare_free(head);
    }
    bench_report(state, command, floor, 0.3);
}

static void BM_SelectAll(benchmark::State& state) {
    double command = 0, floor = 0;
    bench_fill_playlist(lines);
    for (auto _ : state) {
        SendMessageA(playlist_box(), LB_SETSEL, FALSE, -1);
        double seconds = bench_seconds([] { select_all(); });
        state.SetIterationTime(seconds);
        command += seconds;

        // Floor: one pass over the lines' selection states.
        HWND list = playlist_box();
        floor += bench_seconds([&] {
            int selected = 0;
            for (int line = 0; line < lines; line++)
                selected += SendMessageA(list, LB_GETSEL, line, 0) != 0;
            benchmark::DoNotOptimize(selected);
        });
    }
    bench_report(state, command, floor, 0.05);
}

BENCHMARK(BM_SelectAllThenSort)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SortUtf8BesideWindows1252)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_Shuffle)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MoveUp50000Runs)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MoveDown50000Runs)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Delete50000Scattered)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SelectAll)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
