// Reading and writing a 100,000-entry playlist file, and adding 10,000 tagged
// MP3 files, each against a floor measured in the same run.
#include "bench_playlist.h"

#include <cstdio>

#include <unistd.h>

#include "vbmp3/vbmp3.h"

static const int entries = 100000;
static const int mp3_files = 10000;

// The 100,000-entry playlist file, written once by the program itself.
// One for each script of bench_title: Windows-1252, then UTF-8.
static const std::string& big_playlist() {
    static std::string paths[2];
    std::string& path = paths[bench_script];
    if (path.empty()) {
        bench_fill_playlist(entries);
        path = (bench_program_dir() / (bench_script == 0 ? "big.m3u" : "big-utf8.m3u")).string();
        write_m3u(path.c_str());
    }
    return path;
}

static void BM_ReadM3u100000(benchmark::State& state, int script) {
    bench_script = script;
    const std::string& path = big_playlist();
    std::string directory = bench_program_dir().string() + "/";
    double command = 0, floor = 0;
    for (auto _ : state) {
        clear_playlist();
        const char* names = bench_script == 0 ? "big.m3u\0" : "big-utf8.m3u\0";
        double seconds = bench_seconds([&] { add_files(0, directory.c_str(), names); });
        state.SetIterationTime(seconds);
        command += seconds;
        if (SendMessageA(playlist_box(), LB_GETCOUNT, 0, 0) != entries)
            state.SkipWithError("the playlist was not read whole");

        floor += bench_read_lines_seconds(path);
    }
    bench_report(state, command, floor, 1.0);
}

static void BM_WriteM3u100000(benchmark::State& state, int script) {
    bench_script = script;
    bench_fill_playlist(entries);
    std::string path = (bench_program_dir() / "written.m3u").string();
    std::string floor_path = (bench_program_dir() / "floor.m3u").string();
    double command = 0, floor = 0;
    for (auto _ : state) {
        double seconds = bench_seconds([&] { write_m3u(path.c_str()); });
        state.SetIterationTime(seconds);
        command += seconds;

        floor += bench_seconds([&] { write_floor_m3u(floor_path.c_str()); });
    }
    bench_report(state, command, floor, 0.3);
}

// 10,000 copies of a tagged fixture in a directory of their own, and the
// name list that names them all.
static const std::string& tagged_names(std::string* directory) {
    static std::string names;
    static std::string folder;
    if (names.empty()) {
        const char* fixtures = std::getenv("MELODIANE_FIXTURES");
        fs::path folder_of_fixtures =
            fixtures != nullptr ? fs::path(fixtures)
                                : fs::path(__FILE__).parent_path() / "../../tests/fixtures";
        fs::path source = folder_of_fixtures / "cbr_44k_stereo_v23.mp3";
        fs::path target = bench_program_dir() / "tagged";
        fs::create_directory(target);
        for (int i = 0; i < mp3_files; i++) {
            std::string name = "morceau" + std::to_string(i) + ".mp3";
            fs::copy_file(source, target / name);
            names += name;
            names += '\0';
        }
        names += '\0';
        folder = target.string() + "/";
    }
    *directory = folder;
    return names;
}

static void BM_AddFiles10000Tagged(benchmark::State& state) {
    std::string directory;
    const std::string& names = tagged_names(&directory);
    // Warm the cache: every file read once.
    for (const char* name = names.c_str(); *name != '\0'; name += strlen(name) + 1) {
        VBMP3_TAG_INFO tag;
        VBMP3_INFO info;
        vbmp3_getFileInfo((directory + name).c_str(), &tag, &info);
    }
    double command = 0, floor = 0;
    for (auto _ : state) {
        clear_playlist();
        double seconds = bench_seconds([&] { add_files(0, directory.c_str(), names.c_str()); });
        state.SetIterationTime(seconds);
        command += seconds;
        if (SendMessageA(playlist_box(), LB_GETCOUNT, 0, 0) != mp3_files)
            state.SkipWithError("not every file was added");

        // Floor: the decoder library's reading of the same tags.
        floor += bench_seconds([&] {
            char path[MAX_PATH];
            for (const char* name = names.c_str(); *name != '\0'; name += strlen(name) + 1) {
                VBMP3_TAG_INFO tag;
                VBMP3_INFO info;
                snprintf(path, sizeof path, "%s%s", directory.c_str(), name);
                vbmp3_getFileInfo(path, &tag, &info);
            }
        });
    }
    bench_report(state, command, floor, 1.5);
}

// Western titles (a Windows-1252 file) and titles in other scripts (UTF-8).
BENCHMARK_CAPTURE(BM_ReadM3u100000, cp1252, 0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_ReadM3u100000, utf8, 1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_WriteM3u100000, cp1252, 0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_WriteM3u100000, utf8, 1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_AddFiles10000Tagged)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
