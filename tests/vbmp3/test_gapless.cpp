// Natural ends heard on SDL's dummy driver in real time: the next track
// follows without a gap, and a close at the end lets the tail play.
#include "vbmp3/harness.h"
#include "vbmp3/signal.h"

#include <cmath>

class Gapless : public Session {
  protected:
    // Whether what is heard has fallen silent: the last tenth of a second
    // captured is below the audible threshold. The end event comes while the
    // tail is still queued, so this is when the tail has played.
    bool fallen_silent() {
        std::lock_guard<std::mutex> hold(capture_.lock);
        const std::vector<float>& s = capture_.samples;
        size_t frames = s.size() / 2;
        size_t tenth = 4410;
        if (frames < tenth) {
            return false;
        }
        for (size_t i = frames - tenth; i < frames; i++) {
            if (std::fabs(s[2 * i]) > 0.01) {
                return false;
            }
        }
        return true;
    }

    // Seconds between the first and the last audible frame heard so far.
    double audible_seconds() {
        std::vector<float> s = captured();
        size_t first;
        size_t last;
        audible_span(s, 0.01, &first, &last);
        return first < last ? (last - first) / 44100.0 : 0;
    }
};

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
    ASSERT_TRUE(pump_until([&] { return fallen_silent(); }, 5000)); // the second track's tail
    std::vector<float> s = captured();
    size_t first;
    size_t last;
    audible_span(s, 0.01, &first, &last);
    ASSERT_LT(first, last);
    EXPECT_NEAR((last - first) / 44100.0, 2.5, 0.05); // the whole tone, once
    EXPECT_LT(longest_silence(s, first, last), 441u); // under 10 ms anywhere in the tone
}

// The player stops at the end of its list by closing from the handler.
TEST_F(Gapless, CloseAtTheNaturalEndLetsTheTailPlayWithoutASecondEnd) {
    on_event = [](int type) {
        if (type == VBMP3_EVENT_END) {
            vbmp3_close();
        }
    };
    ASSERT_NE(vbmp3_open(fixture("no_tag.mp3").c_str(), record_), 0);
    vbmp3_play();
    ASSERT_TRUE(pump_until([] { return count_events(VBMP3_EVENT_END) == 1; }, 3000));
    ASSERT_TRUE(pump_until([&] { return fallen_silent(); }, 5000));
    EXPECT_NEAR(audible_seconds(), 1.0, 0.03);
    EXPECT_EQ(count_events(VBMP3_EVENT_END), 1);
    EXPECT_EQ(vbmp3_getState(nullptr), VBMP3_STATE_NOTHING_OPEN);
}

TEST_F(Gapless, CloseWhileDecodingCutsAtOnce) {
    ASSERT_NE(vbmp3_open(fixture("cbr_44k_stereo_v23.mp3").c_str(), record_), 0);
    vbmp3_play();
    ASSERT_TRUE(pump_until([&] { return audible_seconds() >= 0.2; }, 5000));
    double heard = audible_seconds();
    vbmp3_close();
    // Whatever the device still takes is silence.
    pump_until([&] { return fallen_silent(); }, 1000);
    EXPECT_LT(audible_seconds(), heard + 0.15); // not the half second still queued
}
