// Files that cannot be played: no crash, no hang, and the states the player relies on.
#include "vbmp3/harness.h"

#include <filesystem>

using BadInput = FastSession;

TEST_F(BadInput, UnreadablePathsOpenNothingAndRaiseNoEvent) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "vbmp3_bad_dir.mp3";
    std::filesystem::create_directories(dir);
    const std::string paths[] = {fixture("missing.mp3"), dir.string(), ""};
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        ASSERT_NE(vbmp3_open(fixture("no_tag.mp3").c_str(), record_), 0);
        EXPECT_EQ(vbmp3_open(path.c_str(), record_), 0);
        EXPECT_EQ(vbmp3_getState(nullptr), 0); // the track it replaced is gone too
        vbmp3_play();
        EXPECT_TRUE(stays([] { return vbmp3_getState(nullptr) == 0 && recorded.empty(); }, 50));
    }
    std::filesystem::remove(dir);
}

TEST_F(BadInput, ReadableFilesWithoutAudioOpenAndEndAtOnceWhenPlayed) {
    for (const char* name : {"empty.mp3", "text.mp3"}) {
        SCOPED_TRACE(name);
        recorded.clear();
        ASSERT_NE(vbmp3_open(fixture(name).c_str(), record_), 0);
        EXPECT_EQ(vbmp3_getState(nullptr), 2);
        vbmp3_play();
        EXPECT_TRUE(pump_until([] { return count_events(VBMP3_EVENT_END) == 1; }, 1000));
        EXPECT_EQ(vbmp3_getState(nullptr), 0);
    }
}

TEST_F(BadInput, DamagedFilesPlayWhatTheyCanThenEnd) {
    for (const char* name : {"truncated.mp3", "corrupted.mp3"}) {
        SCOPED_TRACE(name);
        recorded.clear();
        clear_capture();
        ASSERT_TRUE(play_to_end(name, 3000));
        EXPECT_EQ(vbmp3_getState(nullptr), 0);
        EXPECT_GT(captured().size(), 2u * 44100); // over a second of the tone
    }
}

TEST_F(BadInput, CallsWithNothingOpenAreHarmless) {
    EXPECT_EQ(vbmp3_getState(nullptr), 0);
    vbmp3_pause();
    vbmp3_restart();
    vbmp3_seek(10);
    vbmp3_play();
    vbmp3_close();
    EXPECT_EQ(vbmp3_getState(nullptr), 0);
    EXPECT_TRUE(stays([] { return recorded.empty(); }, 20));
}

TEST_F(BadInput, SeekingPastTheEndEndsTheTrack) {
    ASSERT_NE(vbmp3_open(fixture("no_tag.mp3").c_str(), record_), 0);
    vbmp3_play();
    vbmp3_seek(3600);
    EXPECT_TRUE(pump_until([] { return count_events(VBMP3_EVENT_END) == 1; }, 2000));
}
