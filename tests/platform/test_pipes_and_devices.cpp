// Playlists and settings files that name a named pipe or a device are read as
// files that cannot be opened: at once, without waiting for a writer and
// without reading without end.
#include "platform/textfile.h"
#include "platform/win32.h"

#include "platform/file_helpers.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>

// Runs call on another thread; when it is still blocked after a generous
// while, the pipe gets a writer so that it returns and the test can fail.
static bool returns_without_a_writer(const std::string& pipe, const std::function<void()>& call) {
    std::future<void> done = std::async(std::launch::async, call);
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready)
        return true;
    // Opening the writer lets a blocked open return; closing it ends the reads.
    int writer = open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0)
        close(writer);
    done.wait();
    return false;
}

TEST(PipesAndDevices, PipesAndDevicesReadAsUnopenable) {
    ScratchDir scratch;
    std::string pipe = scratch.path() + "/pipe.m3u";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& path : {pipe, std::string("/dev/zero")}) {
        SCOPED_TRACE(path);
        TextFile* file = reinterpret_cast<TextFile*>(1);
        ASSERT_TRUE(returns_without_a_writer(pipe, [&] { file = text_open_read(path.c_str()); }));
        EXPECT_EQ(file, nullptr);
        if (file != nullptr)
            text_close(file);
        UINT value = 0;
        ASSERT_TRUE(returns_without_a_writer(
            pipe, [&] { value = GetPrivateProfileIntA("Init", "volume", 50, path.c_str()); }));
        EXPECT_EQ(value, 50u);
    }
}
