// What is heard: the samples the library hands to the output, taken through the
// test tap with the fast null output.
#include "vbmp3/harness.h"
#include "vbmp3/signal.h"

#include <cmath>

using Heard = FastSession;

TEST_F(Heard, FullLeftAndSilentRightSilencesTheRightChannelOnly) {
    vbmp3_setVolume(100, 0);
    ASSERT_TRUE(play_to_end("cbr_44k_stereo_v23.mp3"));
    std::vector<float> s = captured();
    ASSERT_GT(s.size(), 2u * 44100);
    EXPECT_GT(rms(s, 0), 0.1);
    EXPECT_EQ(rms(s, 1), 0.0);
}

TEST_F(Heard, VolumeZeroIsSilenceAndIsKeptAcrossTracks) {
    vbmp3_setVolume(0, 0);
    ASSERT_TRUE(play_to_end("no_tag.mp3"));
    ASSERT_TRUE(play_to_end("cbr_44k_stereo_v23.mp3"));
    std::vector<float> s = captured();
    ASSERT_GT(s.size(), 2u * 44100);
    EXPECT_EQ(rms(s, 0), 0.0);
    EXPECT_EQ(rms(s, 1), 0.0);
}

TEST_F(Heard, HalfVolumeHalvesTheSamples) {
    ASSERT_TRUE(play_to_end("no_tag.mp3"));
    std::vector<float> full = captured();
    clear_capture();
    vbmp3_setVolume(50, 50);
    ASSERT_TRUE(play_to_end("no_tag.mp3"));
    std::vector<float> half = captured();
    ASSERT_EQ(full.size(), half.size());
    EXPECT_NEAR(rms(half, 0) / rms(full, 0), 0.5, 1e-3);
}

TEST_F(Heard, FlatBandsLeaveTheSamplesBitIdentical) {
    ASSERT_TRUE(play_to_end("eq_tones.mp3"));
    std::vector<float> untouched = captured();
    clear_capture();
    const int boosted[10] = {50, 0, 0, 0, 0, 30, 0, 0, 0, 0};
    const int flat[10] = {};
    vbmp3_setEqualizer(boosted);
    vbmp3_setEqualizer(flat);
    ASSERT_TRUE(play_to_end("eq_tones.mp3"));
    EXPECT_TRUE(captured() == untouched);
}

TEST_F(Heard, BoostAt60HzRaisesA60HzToneByItsGainAgainst3kHz) {
    ASSERT_TRUE(play_to_end("eq_tones.mp3"));
    std::vector<float> flat = captured();
    clear_capture();
    const int boost[10] = {100, 0, 0, 0, 0, 0, 0, 0, 0, 0}; // +10 dB at 60 Hz
    vbmp3_setEqualizer(boost);
    ASSERT_TRUE(play_to_end("eq_tones.mp3"));
    std::vector<float> boosted = captured();
    ASSERT_GT(boosted.size(), 2u * 60000);
    auto ratio_db = [](const std::vector<float>& s) {
        double low = tone_level(s, 0, 22050, 66150, 60.0, 44100);
        double high = tone_level(s, 0, 22050, 66150, 3000.0, 44100);
        return 20.0 * std::log10(low / high);
    };
    EXPECT_NEAR(ratio_db(boosted) - ratio_db(flat), 10.0, 1.0);
    // Headroom: the boost does not push the samples past full scale.
    double peak = 0.0;
    for (float v : boosted) {
        peak = std::fmax(peak, std::fabs(v));
    }
    EXPECT_LT(peak, 1.0);
}

TEST_F(Heard, ExtremeBandValuesStayFiniteAndAudible) {
    const int wild[10] = {100000, -100000, 2000, -2000, 100000, -1, 1, 100000, 100000, 100000};
    vbmp3_setEqualizer(wild);
    ASSERT_TRUE(play_to_end("eq_tones.mp3"));
    std::vector<float> s = captured();
    for (float v : s) {
        ASSERT_TRUE(std::isfinite(v));
        ASSERT_LE(std::fabs(v), 1.0f);
    }
    EXPECT_GT(rms(s, 0), 0.01);
}

// Every rate plays at its own speed and pitch on the 44.1 kHz output.
TEST_F(Heard, EveryRatePlaysAtItsSpeedAndPitch) {
    struct Case {
        const char* file;
        double seconds;
    };
    const Case cases[] = {{"vbr_48k_mono_v24_utf8.mp3", 2.0},
                          {"cbr_22k_stereo_v24_utf16.mp3", 2.0},
                          {"vbr_32k_mono_v23_utf16.mp3", 2.0},
                          {"mpeg25_8k_mono.mp3", 1.0}};
    for (const Case& c : cases) {
        const char* file = c.file;
        SCOPED_TRACE(file);
        clear_capture();
        ASSERT_TRUE(play_to_end(file));
        std::vector<float> s = captured();
        double seconds = s.size() / 2 / 44100.0;
        EXPECT_NEAR(seconds, c.seconds, 0.1);
        double at_pitch = tone_level(s, 1, 4410, 44100, 440.0, 44100);
        double off_pitch = tone_level(s, 1, 4410, 44100, 480.0, 44100);
        EXPECT_GT(at_pitch, 0.1);
        EXPECT_GT(at_pitch, 10 * off_pitch);
    }
}

// The end comes once the track is queued, maybe before the output's thread
// has started, as on a loaded system: the output counts as playing from the
// play on, until it has handed over every sample. Each round starts a new
// output thread, the last one having closed.
TEST_F(Heard, AnOutputSlowToStartStillHandsOverTheWholeTrack) {
    for (int round = 1; round <= 5; round++) {
        SCOPED_TRACE(round);
        clear_capture();
        ASSERT_NE(vbmp3_open(fixture("vbr_48k_mono_v24_utf8.mp3").c_str(), record_), 0);
        vbmp3_play();
        EXPECT_STREQ(vbmp3_getOutput(), "fast");
        ASSERT_TRUE(pump_until([round] { return count_events(VBMP3_EVENT_END) == round; }));
        settle();
        EXPECT_EQ(captured().size(), 2u * 88200);
    }
}

TEST_F(Heard, StreamChangingFormatMidwayPlaysBothParts) {
    ASSERT_TRUE(play_to_end("format_change.mp3"));
    std::vector<float> s = captured();
    double seconds = s.size() / 2 / 44100.0;
    EXPECT_NEAR(seconds, 2.0, 0.15);
    // 440 Hz in both halves: the 22.05 kHz mono half is resampled, not sped up.
    EXPECT_GT(tone_level(s, 0, 4410, 35280, 440.0, 44100), 0.1);
    EXPECT_GT(tone_level(s, 1, 52920, 83790, 440.0, 44100), 0.1);
}

TEST_F(Heard, PausingAndResumingLosesNoSample) {
    ASSERT_NE(vbmp3_open(fixture("cbr_44k_stereo_v23.mp3").c_str(), record_), 0);
    vbmp3_play();
    // Pause and resume over and over until the end: pauses land in the middle of decoding.
    while (count_events(VBMP3_EVENT_END) == 0) {
        vbmp3_pause();
        vbmp3_restart();
        vbmp3_pump();
    }
    settle();
    EXPECT_EQ(captured().size(), 2u * 132300); // every sample of the three seconds, once
}

TEST_F(Heard, OutputRateFollowsTheDecodeOption) {
    VBMP3_DECODE_OPTION option = {0, 0, 48000};
    EXPECT_NE(vbmp3_setDecodeOption(&option), 0);
    ASSERT_TRUE(play_to_end("no_tag.mp3"));
    std::vector<float> s = captured();
    EXPECT_EQ(capture_.rate, 48000);
    EXPECT_NEAR(s.size() / 2 / 48000.0, 1.0, 0.02);
    EXPECT_GT(tone_level(s, 0, 4800, 43200, 440.0, 48000), 0.1);
}
