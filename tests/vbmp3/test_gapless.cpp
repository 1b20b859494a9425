// Natural ends heard on SDL's dummy driver in real time: the next track
// follows without a gap, and a close at the end lets the tail play.
#include "vbmp3/harness.h"
#include "vbmp3/signal.h"

#include <cmath>

using Gapless = Session;

TEST_F(Gapless, NextTrackOpenedAtTheEndFollowsWithoutSilence) {
    bool second_opened = false;
    on_event = [&](int type) {
        if (type == VBMP3_EVENT_END && !second_opened) {
            second_opened = true;
            vbmp3_open(fixture("gapless_b.mp3").c_str(), record_);
            vbmp3_play();
        }
    };
    ASSERT_NE(vbmp3_open(fixture("gapless_a.mp3").c_str(), record_), 0);
    vbmp3_play();
    ASSERT_TRUE(pump_until([] { return count_events(VBMP3_EVENT_END) == 2; }, 5000));
    pump_for(600); // the second track's tail
    std::vector<float> s = captured();
    size_t first;
    size_t last;
    audible_span(s, 0.01, &first, &last);
    ASSERT_LT(first, last);
    EXPECT_NEAR((last - first) / 44100.0, 2.5, 0.05); // the whole tone, once
    size_t longest = 0;
    size_t run = 0;
    for (size_t i = first; i < last; i++) {
        run = std::fabs(s[2 * i]) < 1e-3 ? run + 1 : 0;
        longest = run > longest ? run : longest;
    }
    EXPECT_LT(longest, 441u); // under 10 ms of silence anywhere in the tone
}

TEST_F(Gapless, CloseAtTheNaturalEndLetsTheTailPlay) {
    on_event = [](int type) {
        if (type == VBMP3_EVENT_END) {
            vbmp3_close();
        }
    };
    ASSERT_NE(vbmp3_open(fixture("no_tag.mp3").c_str(), record_), 0);
    vbmp3_play();
    ASSERT_TRUE(pump_until([] { return count_events(VBMP3_EVENT_END) == 1; }, 3000));
    pump_for(700);
    std::vector<float> s = captured();
    size_t first;
    size_t last;
    audible_span(s, 0.01, &first, &last);
    EXPECT_NEAR((last - first) / 44100.0, 1.0, 0.03);
}

TEST_F(Gapless, CloseWhileDecodingCutsAtOnce) {
    ASSERT_NE(vbmp3_open(fixture("cbr_44k_stereo_v23.mp3").c_str(), record_), 0);
    vbmp3_play();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    vbmp3_close();
    pump_for(600);
    std::vector<float> s = captured();
    size_t first;
    size_t last;
    audible_span(s, 0.01, &first, &last);
    EXPECT_LT((last - first) / 44100.0, 0.65); // not the half second still queued
}
