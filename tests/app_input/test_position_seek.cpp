// The position display and seeking: timer ticks with and without a drag,
// seeks by drag release, by key steps and while paused, routing by focus,
// and the time label's formats.
#include "input_fixture.h"

#include <chrono>
#include <cstdio>

static std::string label_of(int elapsed, int duration) {
    char text[64];
    snprintf(text, sizeof text, "%d:%02d / %d:%02d", elapsed / 60, elapsed % 60, duration / 60,
             duration % 60);
    return text;
}

class SeekTest : public AppTest {
  protected:
    // A track of about 30 seconds, playing.
    void play_long_track() {
        make_long_mp3("long.mp3", 10);
        add_names({"long.mp3"});
        ASSERT_GE(current_entry->duration, 25);
        duration = current_entry->duration;
        click(IDC_PLAY);
        ASSERT_EQ(decoder_state(), 1);
    }

    HWND time_slider() {
        return item(IDC_TIME_SLIDER);
    }

    int duration = 0;
};

TEST_F(SeekTest, TicksFollowTheDecoderAndADragHoldsTheSliderUntilReleaseSeeks) {
    play_long_track();
    ASSERT_TRUE(wait_until([&] { return slider(IDC_TIME_SLIDER) >= 1; }));
    EXPECT_EQ(text(IDC_TIME_LABEL), label_of(slider(IDC_TIME_SLIDER), duration));

    drag_slider(time_slider(), {QPoint(40, 0), QPoint(120, 0)}, false);
    EXPECT_EQ(seek_dragging, 1);
    int held = slider(IDC_TIME_SLIDER);
    ASSERT_GT(held, 6);
    // The label keeps following the decoder at each tick; the slider stays held.
    std::string shown = text(IDC_TIME_LABEL);
    ASSERT_TRUE(wait_until([&] { return text(IDC_TIME_LABEL) != shown; }, 3000));
    shown = text(IDC_TIME_LABEL);
    ASSERT_TRUE(wait_until([&] { return text(IDC_TIME_LABEL) != shown; }, 3000));
    EXPECT_LT(elapsed_seconds, held - 2); // still the position the decoder reports
    EXPECT_EQ(slider(IDC_TIME_SLIDER), held);
    // Each tick asks the decoder, so the label shows where it is at that
    // tick. The ticks are given here, the timer stopped, so that nothing but
    // a tick can move the label and a late tick on a loaded machine cannot
    // blur the count.
    KillTimer(main_dialog, position_timer);
    for (int tick = 0; tick < 4; ++tick) {
        std::string before = text(IDC_TIME_LABEL);
        auto played = std::chrono::steady_clock::now() + std::chrono::milliseconds(1200);
        wait_until([&] { return std::chrono::steady_clock::now() >= played; });
        SendMessageA(main_dialog, WM_TIMER, position_timer, 0);
        EXPECT_NE(text(IDC_TIME_LABEL), before) << "tick " << tick;
        EXPECT_EQ(text(IDC_TIME_LABEL), label_of(elapsed_seconds, duration)) << "tick " << tick;
    }
    SetTimer(main_dialog, position_timer, position_timer_period, nullptr);
    EXPECT_EQ(slider(IDC_TIME_SLIDER), held);

    QWidget* widget = platform_test_widget(time_slider());
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, thumb_centre(time_slider()));
    settle();
    EXPECT_EQ(seek_dragging, 0);
    int released = slider(IDC_TIME_SLIDER);
    EXPECT_NEAR(released, held, 1);
    EXPECT_EQ(elapsed_seconds, released);
    EXPECT_EQ(text(IDC_TIME_LABEL), label_of(released, duration)); // shown at once
    // The decoder plays on from there.
    ASSERT_TRUE(wait_until([&] { return elapsed_seconds >= released + 1; }));
    EXPECT_LE(elapsed_seconds, released + 3);
}

TEST_F(SeekTest, KeyStepsSeekAndAPausedTrackSeeksWithoutResuming) {
    play_long_track();
    key(time_slider(), Qt::Key_PageDown); // a page is a fifth of the range
    int target = slider(IDC_TIME_SLIDER);
    ASSERT_GE(target, 5);
    EXPECT_EQ(elapsed_seconds, target);
    EXPECT_EQ(seek_dragging, 0);
    ASSERT_TRUE(wait_until([&] { return elapsed_seconds >= target + 1; }));
    EXPECT_LE(elapsed_seconds, target + 3);

    click(IDC_PAUSE);
    ASSERT_EQ(decoder_state(), 2);
    key(time_slider(), Qt::Key_PageDown);
    int paused_target = slider(IDC_TIME_SLIDER);
    EXPECT_GT(paused_target, target);
    EXPECT_EQ(elapsed_seconds, paused_target);
    EXPECT_EQ(text(IDC_TIME_LABEL), label_of(paused_target, duration));
    EXPECT_EQ(decoder_state(), 2);
    // No timer while paused: nothing moves for longer than one tick.
    EXPECT_TRUE(stays(
        [&] {
            return slider(IDC_TIME_SLIDER) == paused_target && elapsed_seconds == paused_target;
        },
        position_timer_period + 100));

    click(IDC_PLAY); // resumes from the new position
    ASSERT_TRUE(wait_until([&] { return elapsed_seconds >= paused_target + 1; }));
    EXPECT_LE(elapsed_seconds, paused_target + 3);
}

TEST_F(SeekTest, AReleasedTimeSliderSpringsBackWhenNothingIsOpen) {
    make_long_mp3("long.mp3", 10);
    add_names({"long.mp3"});
    drag_slider(time_slider(), {QPoint(50, 0), QPoint(100, 0)});
    EXPECT_EQ(seek_dragging, 0);
    EXPECT_EQ(slider(IDC_TIME_SLIDER), 0);
    EXPECT_EQ(elapsed_seconds, 0);
    EXPECT_EQ(decoder_state(), 0);
    EXPECT_EQ(text(IDC_TIME_LABEL), "0:30");
}

TEST_F(SeekTest, OtherSlidersNeverSeekOrHoldTheTimeSlider) {
    play_long_track();
    ASSERT_TRUE(wait_until([&] { return elapsed_seconds >= 1; }));
    drag_slider(item(IDC_VOLUME_SLIDER), {QPoint(-20, 0), QPoint(-40, 0)}, false);
    EXPECT_EQ(seek_dragging, 0);
    QTest::mouseRelease(platform_test_widget(item(IDC_VOLUME_SLIDER)), Qt::LeftButton);
    settle();
    EXPECT_LT(slider(IDC_VOLUME_SLIDER), 50);
    key(item(IDC_BALANCE_SLIDER), Qt::Key_End);
    EXPECT_EQ(slider(IDC_BALANCE_SLIDER), 200);
    // The track plays on undisturbed and ticks keep moving the time slider.
    int now = elapsed_seconds;
    ASSERT_TRUE(wait_until([&] { return slider(IDC_TIME_SLIDER) >= now + 1; }));
    EXPECT_LE(elapsed_seconds, now + 3);
    EXPECT_EQ(decoder_state(), 1);
}

TEST_F(ColdAppTest, TheTimeLabelShowsMinutesAndTwoDigitSeconds) {
    write_file("Froulard.m3u", "#EXTM3U\r\n"
                               "#EXTINF:59,Court\r\n/nowhere/a.mp3\r\n"
                               "#EXTINF:600,Dix minutes\r\n/nowhere/b.mp3\r\n"
                               "#EXTINF:0,Vide\r\n/nowhere/c.mp3\r\n"
                               "#EXTINF:70000,Interminable\r\n/nowhere/d.mp3\r\n");
    start();
    EXPECT_EQ(text(IDC_TIME_LABEL), "0:59");
    EXPECT_EQ(slider_max(IDC_TIME_SLIDER), 59);
    click(IDC_NEXT);
    EXPECT_EQ(text(IDC_TITLE_LABEL), "Dix minutes");
    EXPECT_EQ(text(IDC_TIME_LABEL), "10:00");
    click(IDC_NEXT);
    EXPECT_EQ(text(IDC_TIME_LABEL), "0:00");
    EXPECT_EQ(slider_max(IDC_TIME_SLIDER), 0);
    click(IDC_NEXT); // beyond three-digit minutes: shown whole, the whole range
    EXPECT_EQ(text(IDC_TIME_LABEL), "1166:40");
    EXPECT_EQ(slider_max(IDC_TIME_SLIDER), 70000);

    click(IDC_SELECT_ALL);
    click(IDC_DELETE);
    EXPECT_EQ(text(IDC_TITLE_LABEL), "");
    EXPECT_EQ(text(IDC_TIME_LABEL), "--:-- / --:--");
}
