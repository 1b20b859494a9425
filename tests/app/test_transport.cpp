// Transport and navigation through the real buttons and the real decoder:
// the transition table, Next and Previous in every state, natural ends.
#include "app_fixture.h"

#include "playback/position.h"

#include <cstdio>

static std::string minutes(int seconds) {
    char text[32];
    snprintf(text, sizeof text, "%d:%02d", seconds / 60, seconds % 60);
    return text;
}

// Ends of tracks the program was told of.
static int ends = 0;

static int counting_ends(int type, int value) {
    if (type == VBMP3_EVENT_END) {
        ends++;
    }
    return decoder_event(type, value);
}

class TransportTest : public AppTest {
  protected:
    // Two tracks of about 9 seconds, titled "a" and "b" after their names.
    void add_two_long_tracks() {
        make_long_mp3("a.mp3", 3);
        make_long_mp3("b.mp3", 3);
        add_names({"a.mp3", "b.mp3"});
        ASSERT_EQ(lines(), (std::vector<std::string>{"a", "b"}));
    }

    bool reached(int seconds) {
        return wait_until([&] { return elapsed_seconds >= seconds; });
    }

    std::string duration_label() {
        return minutes(current_entry->duration);
    }
};

TEST_F(TransportTest, PlayPauseResumeRestartAndStopFollowTheTransitionTable) {
    add_two_long_tracks();
    ASSERT_GT(current_entry->duration, 5);

    click(IDC_PLAY); // nothing open -> playing the current entry from 0
    EXPECT_EQ(decoder_state(), 1);
    EXPECT_EQ(stop_reason, STOP_REASON_PLAYING);
    ASSERT_TRUE(reached(2));
    ASSERT_TRUE(wait_until([&] { return slider(IDC_TIME_SLIDER) >= 2; }));
    EXPECT_EQ(text(IDC_TIME_LABEL), minutes(slider(IDC_TIME_SLIDER)) + " / " + duration_label());

    click(IDC_PAUSE); // playing -> paused: timer stopped, display frozen
    EXPECT_EQ(decoder_state(), 2);
    int paused_at = elapsed_seconds;
    std::string label = text(IDC_TIME_LABEL);
    EXPECT_TRUE(stays([&] { return elapsed_seconds == paused_at && text(IDC_TIME_LABEL) == label; },
                      position_timer_period + 100));

    click(IDC_PLAY); // paused -> playing from where it paused
    EXPECT_EQ(decoder_state(), 1);
    EXPECT_GE(elapsed_seconds, paused_at);
    EXPECT_LE(elapsed_seconds, paused_at + 1);
    ASSERT_TRUE(reached(paused_at + 1));

    click(IDC_PLAY); // playing -> the current entry again from 0
    EXPECT_EQ(decoder_state(), 1);
    EXPECT_EQ(elapsed_seconds, 0);
    EXPECT_EQ(slider(IDC_TIME_SLIDER), 0);
    EXPECT_EQ(text(IDC_TIME_LABEL), "0:00 / " + duration_label());

    click(IDC_PAUSE);
    click(IDC_PAUSE); // paused -> Pause resumes
    EXPECT_EQ(decoder_state(), 1);

    click(IDC_STOP); // any -> nothing open, position 0, only the duration shown
    EXPECT_EQ(decoder_state(), 0);
    EXPECT_EQ(stop_reason, STOP_REASON_USER);
    EXPECT_EQ(slider(IDC_TIME_SLIDER), 0);
    EXPECT_EQ(elapsed_seconds, 0);
    EXPECT_EQ(text(IDC_TIME_LABEL), duration_label());
    EXPECT_EQ(current_line(), 0);

    click(IDC_PAUSE); // Pause while stopped does nothing
    EXPECT_EQ(decoder_state(), 0);
    click(IDC_STOP); // Stop with nothing open runs the same sequence
    EXPECT_EQ(decoder_state(), 0);
    EXPECT_EQ(text(IDC_TIME_LABEL), duration_label());
}

TEST_F(TransportTest, PlayWithAnEmptyPlaylistOpensNothing) {
    click(IDC_PLAY);
    EXPECT_EQ(decoder_state(), 0);
    EXPECT_EQ(text(IDC_TIME_LABEL), "--:-- / --:--");
    EXPECT_EQ(text(IDC_TITLE_LABEL), "");
    // The timer runs with nothing to show.
    EXPECT_TRUE(stays([&] { return text(IDC_TIME_LABEL) == "--:-- / --:--"; },
                      position_timer_period + 100));
}

TEST_F(TransportTest, NextAndPreviousWhileStoppedOnlyShowTheNewEntry) {
    add_fixtures({"no_tag.mp3=a.mp3", "title_only.mp3=b.mp3", "no_tag.mp3=c.mp3"});
    ASSERT_EQ(lines(), (std::vector<std::string>{"a", "Inconnu - Seul titre", "c"}));

    click(IDC_NEXT);
    EXPECT_EQ(current_line(), 1);
    EXPECT_EQ(text(IDC_TITLE_LABEL), "Inconnu - Seul titre");
    EXPECT_EQ(text(IDC_TIME_LABEL), duration_label());
    EXPECT_EQ(decoder_state(), 0);

    click(IDC_NEXT);
    click(IDC_NEXT); // the last entry without repeat: refused
    EXPECT_EQ(current_line(), 2);
    EXPECT_EQ(text(IDC_TITLE_LABEL), "c");

    click(IDC_PREVIOUS);
    click(IDC_PREVIOUS);
    click(IDC_PREVIOUS); // the first entry without repeat: refused
    EXPECT_EQ(current_line(), 0);
    EXPECT_EQ(decoder_state(), 0);

    click(IDC_REPEAT);
    click(IDC_PREVIOUS); // wraps to the last entry, still only shown
    EXPECT_EQ(current_line(), 2);
    EXPECT_EQ(text(IDC_TITLE_LABEL), "c");
    click(IDC_NEXT); // wraps to the first
    EXPECT_EQ(current_line(), 0);
    EXPECT_EQ(decoder_state(), 0);

    click(IDC_NEXT);
    click(IDC_PLAY); // Play then plays the entry Next chose
    EXPECT_EQ(decoder_state(), 1);
    EXPECT_EQ(current_line(), 1);
}

TEST_F(TransportTest, NextAndPreviousWhilePlayingOrPausedSwitchTracksUnlessRefused) {
    add_two_long_tracks();
    click(IDC_PLAY);
    ASSERT_TRUE(reached(1));

    click(IDC_PREVIOUS); // first entry, no repeat: the track plays on
    EXPECT_EQ(current_line(), 0);
    EXPECT_EQ(decoder_state(), 1);
    EXPECT_GE(elapsed_seconds, 1);

    click(IDC_NEXT);
    EXPECT_EQ(current_line(), 1);
    EXPECT_EQ(decoder_state(), 1);
    EXPECT_EQ(elapsed_seconds, 0);
    EXPECT_EQ(text(IDC_TITLE_LABEL), "b");
    EXPECT_EQ(stop_reason, STOP_REASON_PLAYING);
    ASSERT_TRUE(reached(1));

    click(IDC_NEXT); // last entry, no repeat: the track plays on
    EXPECT_EQ(current_line(), 1);
    EXPECT_GE(elapsed_seconds, 1);

    click(IDC_PAUSE);
    click(IDC_PREVIOUS); // a paused player plays the new entry
    EXPECT_EQ(current_line(), 0);
    EXPECT_EQ(decoder_state(), 1);
    EXPECT_EQ(elapsed_seconds, 0);

    click(IDC_REPEAT);
    click(IDC_PREVIOUS); // wraps to the last entry and plays it
    EXPECT_EQ(current_line(), 1);
    EXPECT_EQ(decoder_state(), 1);
    click(IDC_NEXT); // wraps to the first
    EXPECT_EQ(current_line(), 0);
    EXPECT_EQ(decoder_state(), 1);
}

TEST_F(TransportTest, NextAndPreviousWithRepeatReplayTheOnlyEntryFromItsStart) {
    make_long_mp3("a.mp3", 3);
    add_names({"a.mp3"});
    click(IDC_REPEAT);
    click(IDC_PLAY);
    ASSERT_TRUE(reached(2));
    click(IDC_NEXT);
    EXPECT_EQ(current_line(), 0);
    EXPECT_EQ(decoder_state(), 1);
    EXPECT_EQ(elapsed_seconds, 0);
    ASSERT_TRUE(reached(2));
    click(IDC_PREVIOUS);
    EXPECT_EQ(elapsed_seconds, 0);
    EXPECT_EQ(decoder_state(), 1);
    // The decoder restarted too: the first position after is not the 2 s it
    // had reached.
    ASSERT_TRUE(wait_until([] { return elapsed_seconds >= 1; }));
    EXPECT_LT(elapsed_seconds, 3);
}

TEST_F(TransportTest, ANaturalEndPlaysTheNextEntryAndTheLastOneStopsThePlayer) {
    add_fixtures({"no_tag.mp3=a.mp3", "no_tag.mp3=b.mp3"});
    click(IDC_PLAY);
    ASSERT_TRUE(wait_until([&] { return current_line() == 1; }));
    EXPECT_EQ(decoder_state(), 1);
    EXPECT_EQ(text(IDC_TITLE_LABEL), "b");

    ASSERT_TRUE(wait_until([&] { return decoder_state() == 0; }));
    EXPECT_EQ(current_line(), 1); // the current entry stays on the last one
    EXPECT_EQ(stop_reason, STOP_REASON_USER);
    EXPECT_EQ(slider(IDC_TIME_SLIDER), 0);
    EXPECT_EQ(text(IDC_TIME_LABEL), duration_label());
}

TEST_F(TransportTest, WithRepeatTheListPlaysInALoopAndASingleEntryReplays) {
    add_fixtures({"no_tag.mp3=a.mp3", "no_tag.mp3=b.mp3"});
    click(IDC_REPEAT);
    click(IDC_PLAY);
    ASSERT_TRUE(wait_until([&] { return current_line() == 1; }));
    ASSERT_TRUE(wait_until([&] { return current_line() == 0; })); // wrapped
    EXPECT_EQ(decoder_state(), 1);

    click(IDC_STOP);
    click(IDC_SELECT_ALL);
    click(IDC_DELETE);
    add_fixtures({"no_tag.mp3=solo.mp3"});
    ASSERT_EQ(lines(), std::vector<std::string>{"solo"});
    ends = 0;
    vbmp3_callback(counting_ends);
    click(IDC_PLAY);
    EXPECT_TRUE(wait_until([] { return ends >= 2; }));
    vbmp3_callback(decoder_event);
    EXPECT_EQ(decoder_state(), 1);
    EXPECT_EQ(current_line(), 0);
}

TEST_F(TransportTest, AddWhilePlayingAppendsAndLeavesPlaybackAlone) {
    add_two_long_tracks();
    click(IDC_PLAY);
    ASSERT_TRUE(reached(1));
    add_fixtures({"no_tag.mp3=c.mp3"});
    EXPECT_EQ(lines(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(current_line(), 0);
    EXPECT_EQ(text(IDC_TITLE_LABEL), "a");
    EXPECT_EQ(decoder_state(), 1);
    EXPECT_GE(elapsed_seconds, 1);
}

TEST_F(TransportTest, OpenReplacesThePlaylistAndPlaysItsFirstEntryUnlessCancelled) {
    add_two_long_tracks();
    click(IDC_NEXT);
    click(IDC_PLAY);
    ASSERT_EQ(current_line(), 1);

    testing_cancel_next_dialog();
    click(IDC_OPEN); // cancelled: nothing changes, the track plays on
    EXPECT_EQ(lines(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(current_line(), 1);
    EXPECT_EQ(decoder_state(), 1);

    make_long_mp3("c.mp3", 3);
    make_long_mp3("d.mp3", 3);
    testing_answer_open_dialog(dir.string(), {"d.mp3", "c.mp3"});
    click(IDC_OPEN);
    ASSERT_EQ(testing_dialog_requests().size(), 2u);
    EXPECT_EQ(testing_dialog_requests()[1].title, "Ouvrir");
    EXPECT_EQ(lines().size(), 2u);
    EXPECT_EQ(current_line(), 0);
    EXPECT_EQ(text(IDC_TITLE_LABEL), lines()[0]);
    EXPECT_EQ(decoder_state(), 1);
    EXPECT_EQ(stop_reason, STOP_REASON_PLAYING);

    write_file("empty.m3u", "#EXTM3U\r\n"); // a choice that gives no entry
    testing_answer_open_dialog(dir.string(), {"empty.m3u"});
    click(IDC_OPEN);
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(current_entry, nullptr);
    EXPECT_EQ(decoder_state(), 0);
    EXPECT_EQ(text(IDC_TIME_LABEL), "--:-- / --:--");
}

TEST_F(TransportTest, ClosingWhileATrackPlaysSavesEverythingAndEndsWithZero) {
    add_two_long_tracks();
    click(IDC_NEXT);
    click(IDC_PLAY);
    ASSERT_TRUE(reached(1));
    EXPECT_EQ(close(), 0);
    std::string playlist = read_file("Froulard.m3u");
    EXPECT_EQ(playlist.rfind("#EXTM3U\r\n#EXTINF:", 0), 0u);
    EXPECT_NE(playlist.find(",a\r\n" + path_in_dir("a.mp3") + "\r\n#EXTINF:"), std::string::npos);
    EXPECT_NE(playlist.find(",b\r\n" + path_in_dir("b.mp3") + "\r\n"), std::string::npos);

    start(); // the last current entry is not remembered
    EXPECT_EQ(lines(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(current_line(), 0);
    EXPECT_EQ(decoder_state(), 0);
    EXPECT_EQ(slider(IDC_TIME_SLIDER), 0);
}

TEST_F(ColdAppTest, TheTimeSliderHoldsTheWholeDurationOfAnyTrack) {
    // Past 32,767 s the trackbar's packed range would wrap below zero.
    const int durations[] = {59, 32767, 32768, 40000, 70000, 2000000};
    std::string m3u = "#EXTM3U\r\n";
    for (int duration : durations) {
        m3u += "#EXTINF:" + std::to_string(duration) + ",t\r\n" + rooted("nowhere/t.mp3") + "\r\n";
    }
    write_file("Froulard.m3u", m3u);
    start();
    for (int duration : durations) {
        EXPECT_EQ(SendMessageA(item(IDC_TIME_SLIDER), TBM_GETRANGEMIN, 0, 0), 0) << duration;
        EXPECT_EQ(slider_max(IDC_TIME_SLIDER), duration);
        // The ticks' display step, near the end of the track.
        elapsed_seconds = duration - 1;
        show_position();
        EXPECT_EQ(slider(IDC_TIME_SLIDER), duration - 1);
        reset_position();
        EXPECT_EQ(slider(IDC_TIME_SLIDER), 0);
        click(IDC_NEXT);
    }
}
