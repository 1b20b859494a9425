// Replays the inputs of one fuzz target (FUZZ_TARGET) through its
// LLVMFuzzerTestOneInput: the committed seeds and every input a fuzzing run
// saved as crashing or hanging, so that a fault once found stays fixed. A
// target checks its own invariants and aborts when one breaks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

struct Input {
    std::string label; // the test's name: where it comes from and its file name
    fs::path path;
};

// Shown with the test's name in place of the record's bytes.
static void PrintTo(const Input& input, std::ostream* out) {
    *out << input.path.string();
}

static std::vector<Input> inputs() {
    std::vector<Input> found;
    std::set<std::string> labels;
    fs::path root = fs::path(MELODIANE_SOURCE_DIR) / "fuzz";
    for (const char* kind : {"corpus", "crashes"}) {
        fs::path dir = root / kind / FUZZ_TARGET;
        std::error_code error;
        if (!fs::is_directory(dir, error))
            continue;
        std::vector<fs::path> files;
        for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
            if (entry.is_regular_file())
                files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            std::string label =
                std::string(FUZZ_TARGET) + "_" + kind + "_" + file.filename().string();
            for (char& c : label) {
                if (!std::isalnum(static_cast<unsigned char>(c)))
                    c = '_';
            }
            while (!labels.insert(label).second)
                label += "_";
            found.push_back({label, file});
        }
    }
    return found;
}

class Replay : public ::testing::TestWithParam<Input> {
  protected:
    static void SetUpTestSuite() {
        static bool initialised = false;
        if (!initialised) {
            initialised = true;
            int argc = 0;
            char** argv = nullptr;
            LLVMFuzzerInitialize(&argc, &argv);
        }
    }
};

TEST_P(Replay, RunsWithoutFault) {
    std::ifstream in(GetParam().path, std::ios::binary);
    ASSERT_TRUE(in) << GetParam().path;
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The fuzzer hands over a buffer of exactly the input's size.
    std::vector<uint8_t> data(bytes.begin(), bytes.end());
    EXPECT_EQ(LLVMFuzzerTestOneInput(data.data(), data.size()), 0);
}

INSTANTIATE_TEST_SUITE_P(Fuzz, Replay, ::testing::ValuesIn(inputs()),
                         [](const ::testing::TestParamInfo<Input>& info) {
                             return info.param.label;
                         });
// No input at all (a target without seeds yet) is not a failure.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Replay);
