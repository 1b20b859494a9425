// vbmp3_getFileInfo over 1,000 tagged files with a warm cache, beside TagLib's
// fast read of title, artist and length of the same files in the same run.
// Figures: files per second of processor time, and the ratio to TagLib.
#include "bench_support.h"

#include <benchmark/benchmark.h>
#include <fileref.h>
#include <tag.h>

#include <fstream>
#include <iterator>
#include <vector>

static const int file_count = 1000;
static double taglib_rate; // files per second of TagLib, from the first benchmark

static std::string id3v2_frame(const char* id, const std::string& text) {
    std::string body = std::string(1, '\0') + text; // Latin-1
    std::string frame = id;
    uint32_t size = static_cast<uint32_t>(body.size());
    frame += static_cast<char>(size >> 24);
    frame += static_cast<char>(size >> 16);
    frame += static_cast<char>(size >> 8);
    frame += static_cast<char>(size);
    frame += std::string(2, '\0');
    return frame + body;
}

// An ID3v2.3 tag with title, artist and album, padded as taggers do, then the
// audio of a short fixture, then an ID3v1 tag.
static std::string tagged_file(int n, const std::string& audio) {
    std::string frames = id3v2_frame("TIT2", "Chanson " + std::to_string(n)) +
                         id3v2_frame("TPE1", "Artiste " + std::to_string(n % 37)) +
                         id3v2_frame("TALB", "Album " + std::to_string(n % 11)) +
                         std::string(512, '\0');
    uint32_t size = static_cast<uint32_t>(frames.size());
    std::string tag = "ID3\x03";
    tag += std::string(2, '\0');
    tag += static_cast<char>(size >> 21 & 0x7F);
    tag += static_cast<char>(size >> 14 & 0x7F);
    tag += static_cast<char>(size >> 7 & 0x7F);
    tag += static_cast<char>(size & 0x7F);
    std::string v1(128, '\0');
    v1.replace(0, 3, "TAG");
    std::string title = "Chanson " + std::to_string(n);
    v1.replace(3, title.size(), title);
    return tag + frames + audio + v1;
}

static const std::vector<std::string>& files() {
    static std::vector<std::string> paths;
    if (paths.empty()) {
        std::filesystem::path dir = bench_dir() / "tagged";
        std::filesystem::create_directories(dir);
        std::ifstream in(fixture("gapless_a.mp3"), std::ios::binary);
        std::string audio((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (int n = 0; n < file_count; n++) {
            std::filesystem::path path = dir / ("piste" + std::to_string(n) + ".mp3");
            if (!std::filesystem::exists(path)) {
                std::ofstream(path, std::ios::binary) << tagged_file(n, audio);
            }
            paths.push_back(path.string());
        }
    }
    return paths;
}

static double report_rate(benchmark::State& state, double start, bool compare) {
    double rate =
        file_count * static_cast<double>(state.iterations()) / (process_seconds() - start);
    state.counters["files_per_s"] = rate;
    if (compare && taglib_rate > 0.0) {
        state.counters["ratio_to_taglib"] = rate / taglib_rate;
    }
    return rate;
}

static void BM_TagLibFast(benchmark::State& state) {
    const std::vector<std::string>& paths = files();
    double start = process_seconds();
    for (auto _ : state) {
        for (const std::string& path : paths) {
            TagLib::FileRef file(path.c_str(), true, TagLib::AudioProperties::Fast);
            std::string title = file.tag()->title().to8Bit(true);
            std::string artist = file.tag()->artist().to8Bit(true);
            int length = file.audioProperties()->lengthInSeconds();
            benchmark::DoNotOptimize(title);
            benchmark::DoNotOptimize(artist);
            benchmark::DoNotOptimize(length);
        }
    }
    taglib_rate = report_rate(state, start, false);
}

static void BM_GetFileInfo(benchmark::State& state) {
    const std::vector<std::string>& paths = files();
    double start = process_seconds();
    for (auto _ : state) {
        for (const std::string& path : paths) {
            VBMP3_TAG_INFO tag;
            VBMP3_INFO info;
            vbmp3_getFileInfo(path.c_str(), &tag, &info);
            benchmark::DoNotOptimize(tag);
            benchmark::DoNotOptimize(info);
        }
    }
    report_rate(state, start, true);
}

BENCHMARK(BM_TagLibFast)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_GetFileInfo)->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
