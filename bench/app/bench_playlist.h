// The running program for the playlist benchmarks: the real main dialog and
// start-up in a temporary directory, and playlists of many entries.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/app.h"
#include "app/main_window.h"
#include "common/resource.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "playlist/playlist.h"
#include "playlist_files/playlist_files.h"
#include "vbmp3/vbmp3.h"

namespace fs = std::filesystem;

// The floor of writing a playlist: the same bytes as the program writes,
// through one buffered stream, flushed to disk as the program's replacement is.
inline void write_floor_m3u(const char* path) {
    FILE* file = fopen(path, "wb");
    if (file == nullptr)
        abort();
    fputs("#EXTM3U\r\n", file);
    for (PlaylistEntry* entry = playlist_head; entry != nullptr; entry = entry->next)
        fprintf(file, "#EXTINF:%d,%s\r\n%s\r\n", entry->duration, entry->title, entry->path);
    fflush(file);
    fsync(fileno(file));
    fclose(file);
}

// Starts the program once, in a fresh temporary directory that becomes the
// current one; returns that directory.
inline const fs::path& bench_program_dir() {
    static fs::path dir;
    if (dir.empty()) {
        platform_test_init();
        std::string pattern = (fs::temp_directory_path() / "melodiane-bench-XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data()) == nullptr)
            abort();
        dir = fs::canonical(name.data());
        fs::current_path(dir);
        // The program never looks inside its instance handle.
        static char instance_tag;
        app_instance = reinterpret_cast<HINSTANCE>(&instance_tag);
        main_dialog = CreateDialogParamA(app_instance, MAKEINTRESOURCEA(IDD_DIALOG1), nullptr,
                                         main_dialog_proc, 0);
        initialise_app();
        std::atexit([] {
            vbmp3_free();
            std::error_code ignored;
            fs::remove_all(dir, ignored);
        });
    }
    return dir;
}

// The script of the titles the benchmarks make: 0 Western titles (a playlist
// of them is written in Windows-1252), 1 titles in other scripts (written in
// UTF-8), so that each figure can be set beside the other of the same run.
inline int bench_script = 0;

// A title like those of a real collection: artists repeat, songs rarely.
inline std::string bench_title(int i) {
    static const char* const western[] = {
        "Les Ogres", "\xC3\x89\x64ith Piaf", "Zaz",    "Brel", "Orchestre National",
        "ange",      "Ferr\xC3\xA9",         "Barbara"};
    static const char* const other[] = {
        "\xD0\x9C\xD0\xB5\xD0\xBB\xD0\xBE\xD0\xB4\xD0\xB8\xD1\x8F",
        "Dvo\xC5\x99\xC3\xA1k",
        "\xE6\x97\xA5\xE6\x9C\xAC",
        "\xCE\xA9mega",
        "\xC5\x81\xC3\xB3\x64\xC5\xBA",
        "\xD0\x92\xD1\x8B\xD1\x81\xD0\xBE\xD1\x86\xD0\xBA\xD0\xB8\xD0\xB9",
        "Cafe\xCC\x81",
        "\xF0\x9F\x8E\xB5 Fanfare"};
    unsigned mix = (unsigned)i * 2654435761u;
    const char* artist = bench_script == 0 ? western[mix % 8] : other[mix % 8];
    return std::string(artist) + " - Chanson " + std::to_string(mix % 99991);
}

inline char* bench_copy(const std::string& text) {
    char* copy = (char*)malloc(text.size() + 2);
    memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

// Replaces the playlist with n entries (one batch), the first current.
inline void bench_fill_playlist(int n, std::string (*title)(int) = bench_title) {
    bench_program_dir();
    clear_playlist();
    InsertionCursor cursor = begin_insertion(0);
    for (int i = 0; i < n; i++) {
        PlaylistEntry* entry = (PlaylistEntry*)malloc(sizeof(PlaylistEntry));
        entry->next = nullptr;
        entry->duration = 180 + i % 120;
        entry->title = bench_copy(title(i));
        entry->path = bench_copy("/musique/" + title(i) + ".mp3");
        insert_entry(&cursor, entry);
    }
    end_insertion(&cursor);
}

// Selects every line whose number has the given remainder modulo step.
inline void bench_select_every(int step, int remainder, int n) {
    HWND list = playlist_box();
    for (int line = remainder; line < n; line += step)
        SendMessageA(list, LB_SETSEL, TRUE, line);
}

// Seconds taken by f.
template <typename F> inline double bench_seconds(F f) {
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The floor of reading a playlist: the same file read line by line into
// memory. Returns the seconds it took.
inline double bench_read_lines_seconds(const std::string& path) {
    return bench_seconds([&] {
        std::vector<std::string> lines;
        FILE* file = fopen(path.c_str(), "rb");
        char line[MAX_PATH];
        while (fgets(line, sizeof line, file) != nullptr)
            lines.emplace_back(line);
        fclose(file);
        benchmark::DoNotOptimize(lines.data());
    });
}

// Reports the command's total time over the run against its floor's, measured
// in the same iterations, and the target for one command.
inline void bench_report(benchmark::State& state, double command, double floor, double target) {
    double iterations = (double)state.iterations();
    state.counters["ms"] = command * 1000 / iterations;
    state.counters["floor_ms"] = floor * 1000 / iterations;
    state.counters["ratio"] = command / floor;
    state.counters["target_ms"] = target * 1000;
    state.counters["within_target"] = command / iterations < target ? 1 : 0;
}

// ---- Floors: the same work on a bare linked list, without the list box ----

struct BareNode {
    BareNode* next;
};

// A bare list of n nodes in one array, linked in order.
inline std::vector<BareNode> bare_list(int n) {
    std::vector<BareNode> nodes(n);
    for (int i = 0; i < n - 1; i++)
        nodes[i].next = &nodes[i + 1];
    nodes[n - 1].next = nullptr;
    return nodes;
}

// Relinks the nodes in a random order, as a playlist lies after a shuffle;
// returns the head.
inline BareNode* bare_scatter(std::vector<BareNode>& nodes) {
    std::vector<BareNode*> order;
    for (BareNode& node : nodes)
        order.push_back(&node);
    std::shuffle(order.begin(), order.end(), std::mt19937(2));
    for (size_t i = 0; i + 1 < order.size(); i++)
        order[i]->next = order[i + 1];
    order.back()->next = nullptr;
    return order[0];
}

// n nodes, each its own heap block allocated in turn, linked in the order of
// allocation or, scattered, in a random order; returns the head.
inline BareNode* bare_heap_list(int n, bool scattered) {
    std::vector<BareNode*> order;
    for (int i = 0; i < n; i++)
        order.push_back(new BareNode{nullptr});
    if (scattered)
        std::shuffle(order.begin(), order.end(), std::mt19937(3));
    for (int i = 0; i < n - 1; i++)
        order[i]->next = order[i + 1];
    return order[0];
}

inline void bare_free(BareNode* head) {
    while (head != nullptr) {
        BareNode* next = head->next;
        delete head;
        head = next;
    }
}

// Every odd node swaps places with the even one above it, as moving up
// single-line runs on every other line does.
inline void bare_move_up(BareNode* head) {
    BareNode* before = nullptr;
    BareNode* above = head;
    while (above != nullptr && above->next != nullptr) {
        BareNode* run = above->next;
        above->next = run->next;
        run->next = above;
        if (before != nullptr)
            before->next = run;
        else
            head = run;
        before = above;
        above = above->next;
    }
    benchmark::DoNotOptimize(head);
}

// Every odd node is unlinked and released.
inline void bare_delete(BareNode* head) {
    for (BareNode* keep = head; keep != nullptr && keep->next != nullptr; keep = keep->next) {
        BareNode* gone = keep->next;
        keep->next = gone->next;
        delete gone;
    }
}

// The sort's order of keys, for std::sort.
inline bool signed_less(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) {
        a++;
        b++;
    }
    return (signed char)*a < (signed char)*b;
}
