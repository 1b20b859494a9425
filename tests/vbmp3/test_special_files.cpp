// Paths naming something other than a regular file (a playlist line can name
// anything) are refused at once: a named pipe with no writer must not hold the
// caller, and a device must not be read as if it were a track.
#include "vbmp3/harness.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <future>

class SpecialFiles : public FastSession {
  protected:
    void SetUp() override {
        FastSession::SetUp();
        dir_ =
            std::filesystem::temp_directory_path() / ("vbmp3_special_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_ / "folder.mp3");
        ASSERT_EQ(mkfifo((dir_ / "pipe.mp3").c_str(), 0600), 0);
    }
    void TearDown() override {
        std::filesystem::remove_all(dir_);
        FastSession::TearDown();
    }
    // Runs call on another thread; when it is still blocked after a generous
    // while, the pipe gets a writer so that it returns and the test can fail.
    bool returns_without_a_writer(const std::function<void()>& call) {
        std::future<void> done = std::async(std::launch::async, call);
        if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) {
            return true;
        }
        // Opening the writer lets a blocked open return; closing it ends the reads.
        int writer = open((dir_ / "pipe.mp3").c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) {
            close(writer);
        }
        done.wait();
        return false;
    }
    std::vector<std::string> paths() const {
        return {(dir_ / "pipe.mp3").string(), (dir_ / "folder.mp3").string(), "/dev/zero"};
    }
    std::filesystem::path dir_;
};

TEST_F(SpecialFiles, FileInfoIsEmpty) {
    for (const std::string& path : paths()) {
        SCOPED_TRACE(path);
        VBMP3_TAG_INFO tag;
        VBMP3_INFO info;
        memset(&tag, 'x', sizeof tag);
        memset(&info, 'x', sizeof info);
        ASSERT_TRUE(
            returns_without_a_writer([&] { vbmp3_getFileInfo(path.c_str(), &tag, &info); }));
        EXPECT_STREQ(tag.title, "");
        EXPECT_STREQ(tag.artist, "");
        EXPECT_EQ(info.length, 0);
    }
}

TEST_F(SpecialFiles, OpenLeavesNothingOpen) {
    for (const std::string& path : paths()) {
        SCOPED_TRACE(path);
        ASSERT_NE(vbmp3_open(fixture("no_tag.mp3").c_str(), record_), 0);
        int opened = -1;
        ASSERT_TRUE(returns_without_a_writer([&] { opened = vbmp3_open(path.c_str(), record_); }));
        EXPECT_EQ(opened, 0);
        EXPECT_EQ(vbmp3_getState(nullptr), 0);
        EXPECT_TRUE(stays([] { return recorded.empty(); }, 20));
    }
}
