// A test in a folder of its own under the system's temporary directory, made
// empty before the test and removed with everything in it after.
#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

class TempFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device random;
        std::error_code error;
        std::filesystem::path temp = std::filesystem::temp_directory_path(error);
        for (int attempt = 0; !error && attempt < 100 && dir.empty(); attempt++) {
            std::filesystem::path folder = temp / ("melodiane-test-" + std::to_string(random()));
            // False, without an error, when the name is taken: another is tried.
            if (std::filesystem::create_directory(folder, error))
                dir = folder;
        }
        ASSERT_FALSE(dir.empty()) << "no folder of the test's own: " << error.message();
    }
    void TearDown() override {
        std::error_code ignored;
        if (!dir.empty())
            std::filesystem::remove_all(dir, ignored);
    }

    std::filesystem::path dir;
};
