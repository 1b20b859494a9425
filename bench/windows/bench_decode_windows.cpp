// Decode throughput of VBMP3.DLL on Windows (under Wine in scripts/bench.sh),
// on the five-minute file the Linux decode benchmark made in the same run:
// libmpg123 alone as built for Windows, then the DLL's whole sample path into
// the fast null output with the equalizer off, as bench_decode measures on
// Linux. Google Benchmark has no Windows build here, so the passes are timed
// by hand the same way: processor time of the whole process, fastest pass,
// passes repeated for at least three seconds. Windows counts processor time
// in 10 ms ticks (Wine too), about 4 % of a pass. The results go to a JSON
// file shaped like Google Benchmark's, for scripts/bench_report.py: the
// fastest pass in milliseconds as its time, and x_real_time as on Linux.
//
//   bench_decode_windows.exe FILE.mp3 RESULTS.json
#include "bench/vbmp3/bench_support.h"
#include "bench/vbmp3/mpg123_pass.h"

#include <mpg123.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

static const double file_seconds = 300.0;
static const double min_seconds = 3.0;
static const int min_passes = 3;

struct Result {
    std::string name;
    double fastest = -1.0; // processor seconds of the fastest pass
    int passes = 0;
};

// Runs pass until min_passes are done and min_seconds of wall time have gone.
static Result measure(const char* name, const std::function<void()>& pass) {
    Result result{name};
    auto begun = std::chrono::steady_clock::now();
    while (result.passes < min_passes ||
           std::chrono::steady_clock::now() - begun < std::chrono::duration<double>(min_seconds)) {
        double started = process_seconds();
        pass();
        double used = process_seconds() - started;
        result.fastest = result.fastest < 0.0 ? used : std::min(result.fastest, used);
        ++result.passes;
    }
    return result;
}

static std::string decoder_name;

static void mpg123_pass(const std::string& path) {
    if (mpg123_decode_all(path, &decoder_name) == 0) {
        std::fprintf(stderr, "nothing decoded from %s\n", path.c_str());
        std::exit(1);
    }
}

static Result library_passes(const std::string& path) {
    const int flat[10] = {};
    LibraryPasses passes(path, flat);
    return measure("BM_LibraryEqualizerOff", [&] { passes.pass(); });
}

static void write_entry(FILE* out, const Result& result, const char* label, bool last) {
    std::fprintf(out,
                 "    {\"name\": \"%s\", \"run_type\": \"iteration\", \"iterations\": %d, "
                 "\"real_time\": %.3f, \"cpu_time\": %.3f, \"time_unit\": \"ms\", "
                 "\"x_real_time\": %.3f, \"label\": \"%s\"}%s\n",
                 result.name.c_str(), result.passes, result.fastest * 1e3, result.fastest * 1e3,
                 file_seconds / result.fastest, label, last ? "" : ",");
}

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FILE.mp3 RESULTS.json\n", argv[0]);
        return 2;
    }
    std::string path = argv[1];

    mpg123_init();
    Result alone = measure("BM_Mpg123Alone", [&] { mpg123_pass(path); });
    mpg123_exit();
    Result library = library_passes(path);

    FILE* out = std::fopen(argv[2], "w");
    if (out == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    std::fprintf(out, "{\n  \"context\": {\"executable\": \"%s\"},\n  \"benchmarks\": [\n",
                 "bench_decode_windows.exe");
    std::string label = "libmpg123 decoder " + decoder_name;
    write_entry(out, alone, label.c_str(), false);
    write_entry(out, library, "VBMP3.DLL", true);
    std::fprintf(out, "  ]\n}\n");
    std::fclose(out);
    return 0;
}
