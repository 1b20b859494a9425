// 10,000 tagged MP3 files dropped on the playlist against the same files
// added by "Ajouter" (from the moment its dialog answers), in the same run.
// The drop is timed from Qt's drop event on the list box to its last entry
// in the list: the file names' way through the platform layer and
// WM_DROPFILES, one look at each path, then the add path "Ajouter" takes.
//
// Counters: ms (the drop), add_ms ("Ajouter"), ratio, within_target (the drop
// takes at most 1.5 times as long).
#include "bench_playlist.h"

#include "platform/testing_drop.h"

static const int mp3_files = 10000;
static const double target_ratio = 1.5;

// The copies of a tagged fixture, the paths a file manager drops and the
// name list "Ajouter" answers with.
struct DroppedFolder {
    std::string directory;
    std::vector<std::string> paths;
    std::string names;
};

static const DroppedFolder& dropped_folder() {
    static DroppedFolder folder;
    if (folder.paths.empty()) {
        const char* fixtures = std::getenv("MELODIANE_FIXTURES");
        fs::path folder_of_fixtures =
            fixtures != nullptr ? fs::path(fixtures)
                                : fs::path(__FILE__).parent_path() / "../../tests/fixtures";
        fs::path source = folder_of_fixtures / "cbr_44k_stereo_v23.mp3";
        fs::path target = bench_program_dir() / "dropped";
        fs::create_directory(target);
        for (int i = 0; i < mp3_files; i++) {
            std::string name = "morceau" + std::to_string(i) + ".mp3";
            fs::copy_file(source, target / name);
            folder.paths.push_back((target / name).string());
            folder.names += name;
            folder.names += '\0';
        }
        folder.names += '\0';
        folder.directory = target.string() + "/";
    }
    return folder;
}

static int playlist_lines() {
    return (int)SendMessageA(playlist_box(), LB_GETCOUNT, 0, 0);
}

static void BM_Drop10000Files(benchmark::State& state) {
    const DroppedFolder& folder = dropped_folder();
    // Warm the cache: every file read once.
    add_files(0, folder.directory.c_str(), folder.names.c_str());
    double drop = 0, add = 0;
    for (auto _ : state) {
        // Each is timed until what it leaves for the message loop (the list
        // box's repainting) is done, and starts with nothing of that pending.
        clear_playlist();
        platform_test_pump(0);
        double seconds = bench_seconds([&] {
            if (!platform_test_drop_files(playlist_box(), folder.paths) ||
                !platform_test_pump_until([] { return playlist_lines() == mp3_files; }, 600000))
                state.SkipWithError("the drop did not add every file");
            platform_test_pump(0);
        });
        state.SetIterationTime(seconds);
        drop += seconds;

        clear_playlist();
        platform_test_pump(0);
        add += bench_seconds([&] {
            add_files(playlist_lines(), folder.directory.c_str(), folder.names.c_str());
            platform_test_pump(0);
        });
        if (playlist_lines() != mp3_files)
            state.SkipWithError("\"Ajouter\" did not add every file");
    }
    double iterations = (double)state.iterations();
    state.counters["ms"] = drop * 1000 / iterations;
    state.counters["add_ms"] = add * 1000 / iterations;
    state.counters["ratio"] = drop / add;
    state.counters["within_target"] = drop / add <= target_ratio ? 1 : 0;
}

BENCHMARK(BM_Drop10000Files)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
