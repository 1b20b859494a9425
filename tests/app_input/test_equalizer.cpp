// The equalizer dialog: stored bands shown and edited, the value label,
// Lancer and Zéro, Enter and Esc, the settings written at close, and what
// reaches the output (heard through the decoder's test tap).
#include "input_fixture.h"
#include "vbmp3/vbmp3.h"

#include "settings/settings.h"

#include <climits>
#include <cmath>
#include <complex>
#include <deque>
#include <mutex>

namespace {

// The last second of the left channel the output received.
struct Recent {
    std::mutex lock;
    std::deque<float> left;
    int rate = 44100;
    long heard = 0; // frames received in all
};

void keep_recent(const float* frames, int count, int rate, void* user) {
    Recent* recent = static_cast<Recent*>(user);
    std::lock_guard<std::mutex> guard(recent->lock);
    recent->rate = rate;
    recent->heard += count;
    for (int i = 0; i < count; i++) {
        recent->left.push_back(frames[2 * i]);
    }
    while ((int)recent->left.size() > rate) {
        recent->left.pop_front();
    }
}

} // namespace

class EqualizerTest : public ColdAppTest {
  protected:
    void TearDown() override {
        vbmp3_setCapture(nullptr, nullptr);
        ColdAppTest::TearDown();
    }

    static HWND band(HWND dialog, int i) {
        return GetDlgItem(dialog, EQ_FIRST_SLIDER + i);
    }

    static int position(HWND slider) {
        return (int)SendMessageA(slider, TBM_GETPOS, 0, 0);
    }

    static std::string label(HWND dialog) {
        return window_text(GetDlgItem(dialog, EQ_VALUE_LABEL));
    }

    // Closes the dialog with its window's close button.
    void close_box(HWND dialog) {
        platform_test_widget(dialog)->window()->close();
        settle();
    }

    // Amplitude of a frequency in the last second heard, left channel.
    double amplitude(double frequency) {
        std::lock_guard<std::mutex> guard(recent.lock);
        std::complex<double> sum = 0;
        int n = (int)recent.left.size();
        for (int i = 0; i < n; i++) {
            sum +=
                (double)recent.left[i] * std::polar(1.0, -2 * M_PI * frequency * i / recent.rate);
        }
        return n > 0 ? 2 * std::abs(sum) / n : 0;
    }

    // How much louder the 60 Hz tone is than the 3 kHz one, once what is
    // heard comes from the current settings: a second and a half heard since,
    // so the sound queued before them has played. The decoder keeps headroom for
    // a boost, so the two tones are compared rather than taken alone.
    double low_to_high() {
        long heard = frames_heard();
        wait_until([&] { return frames_heard() >= heard + recent_rate() * 3 / 2; });
        return amplitude(60) / amplitude(3000);
    }

    long frames_heard() {
        std::lock_guard<std::mutex> guard(recent.lock);
        return recent.heard;
    }

    int recent_rate() {
        std::lock_guard<std::mutex> guard(recent.lock);
        return recent.rate;
    }

    Recent recent;
};

TEST_F(EqualizerTest, ShowsTheStoredBandsAndEditsThemWithTheValueLabel) {
    write_file("Froulard.ini", "[Init]\r\neq0=250\r\neq3=-45\r\nactivateeq=7\r\n");
    start();
    EXPECT_EQ(eq_active, 7);
    bool checked = false;
    in_next_modal([&](HWND dialog) {
        checked = true;
        EXPECT_EQ(position(band(dialog, 0)), 0); // 250 shows at the top end
        EXPECT_EQ(position(band(dialog, 3)), 145);
        EXPECT_EQ(position(band(dialog, 9)), 100);
        EXPECT_EQ(SendMessageA(GetDlgItem(dialog, EQ_LAUNCH), BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_EQ(label(dialog), "");

        key(band(dialog, 3), Qt::Key_Up);
        EXPECT_EQ(position(band(dialog, 3)), 144);
        EXPECT_EQ(eq_bands[3], -44);
        EXPECT_EQ(label(dialog), "[P3] :  -4.4dB");

        key(band(dialog, 0), Qt::Key_Down); // moving it puts an in-range value in place
        EXPECT_EQ(eq_bands[0], 99);
        key(band(dialog, 0), Qt::Key_Home);
        EXPECT_EQ(label(dialog), "[P0] : +10.0dB");
        EXPECT_EQ(eq_bands[0], 100);

        key(band(dialog, 9), Qt::Key_Down);
        EXPECT_EQ(label(dialog), "[P9] :  -0.1dB");
        key(band(dialog, 9), Qt::Key_Up);
        EXPECT_EQ(label(dialog), "[P9] :  +0.0dB");

        key(band(dialog, 9), Qt::Key_Return); // Enter and Esc leave it open
        key(band(dialog, 9), Qt::Key_Escape);
        key(GetDlgItem(dialog, EQ_ZERO), Qt::Key_Escape);
        EXPECT_TRUE(shown(dialog));
        close_box(dialog);
        EXPECT_FALSE(shown(dialog));
    });
    click(IDC_EQUALIZER);
    EXPECT_TRUE(checked);
    EXPECT_TRUE(IsWindowEnabled(main_dialog));
    std::string file = read_file("Froulard.ini");
    EXPECT_EQ(ini_value(file, "eq0"), "100");
    EXPECT_EQ(ini_value(file, "eq3"), "-44");
    EXPECT_EQ(ini_value(file, "eq9"), "0");
    EXPECT_EQ(ini_value(file, "activateeq"), "7");

    // Closing unchanged rewrites the keys all the same.
    write_file("Froulard.ini", "[Init]\r\n");
    in_next_modal([&](HWND dialog) { close_box(dialog); });
    click(IDC_EQUALIZER);
    file = read_file("Froulard.ini");
    EXPECT_EQ(ini_value(file, "eq0"), "100");
    EXPECT_EQ(ini_value(file, "activateeq"), "7");
}

// 100 - gain would overflow for the stored values near the lower limit of int.
TEST_F(EqualizerTest, StoredGainsAtTheLimitsOfIntShowAtTheNearestEnd) {
    write_file("Froulard.ini", "[Init]\r\neq0=-2147483648\r\neq1=2147483647\r\n"
                               "eq2=-2147483548\r\nactivateeq=1\r\n");
    start();
    EXPECT_EQ(eq_bands[0], INT_MIN);
    EXPECT_EQ(eq_bands[1], INT_MAX);
    bool checked = false;
    in_next_modal([&](HWND dialog) {
        checked = true;
        EXPECT_EQ(position(band(dialog, 0)), 200); // the bottom: the deepest cut
        EXPECT_EQ(position(band(dialog, 1)), 0);   // the top: the highest boost
        EXPECT_EQ(position(band(dialog, 2)), 200);
        key(band(dialog, 0), Qt::Key_Up);
        EXPECT_EQ(eq_bands[0], -99);
        EXPECT_EQ(label(dialog), "[P0] :  -9.9dB");
        key(band(dialog, 1), Qt::Key_Down);
        EXPECT_EQ(eq_bands[1], 99);
        EXPECT_EQ(label(dialog), "[P1] :  +9.9dB");
        close_box(dialog);
    });
    click(IDC_EQUALIZER);
    EXPECT_TRUE(checked);
    std::string file = read_file("Froulard.ini");
    EXPECT_EQ(ini_value(file, "eq0"), "-99");
    EXPECT_EQ(ini_value(file, "eq1"), "99");
    EXPECT_EQ(ini_value(file, "eq2"), "-2147483548"); // untouched bands keep their value
}

TEST_F(EqualizerTest, LancerAndZeroAndDraggingDecideWhatIsHeard) {
    vbmp3_setOutput("silent");
    vbmp3_setCapture(keep_recent, &recent);
    write_file("Froulard.ini", "[Init]\r\neq0=100\r\nrepeat=1\r\n");
    start();
    vbmp3_setOutput("device"); // for the next start
    add_fixtures({"eq_tones.mp3"});
    click(IDC_PLAY); // a 60 Hz and a 3 kHz tone of equal level, in a loop
    ASSERT_TRUE(wait_until([&] { return amplitude(3000) > 0.01; }));
    double flat = low_to_high();
    ASSERT_GT(flat, 0.5);

    in_next_modal([&](HWND dialog) {
        HWND lancer = GetDlgItem(dialog, EQ_LAUNCH);
        click_window(lancer); // on: band 0 at +10 dB
        EXPECT_EQ(eq_active, 1);
        EXPECT_GT(low_to_high(), flat * 2.5);

        click_window(lancer); // off: flat, and the band is kept
        EXPECT_EQ(eq_active, 0);
        EXPECT_EQ(eq_bands[0], 100);
        EXPECT_NEAR(low_to_high(), flat, flat * 0.25);

        click_window(GetDlgItem(dialog, EQ_ZERO)); // Zero while off sends nothing new
        EXPECT_EQ(label(dialog), "0.0dB");
        EXPECT_EQ(eq_bands[0], 0);
        EXPECT_EQ(position(band(dialog, 0)), 100);

        click_window(lancer); // on again, with the bands just zeroed
        EXPECT_NEAR(low_to_high(), flat, flat * 0.25);

        // A drag reaches the output only once released; near the middle it snaps.
        QWidget* widget = platform_test_widget(band(dialog, 0));
        QPoint start = thumb_centre(band(dialog, 0));
        QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, start);
        QTest::mouseMove(widget, start + QPoint(0, -3));
        settle();
        EXPECT_EQ(position(band(dialog, 0)), 100);
        EXPECT_EQ(label(dialog), "[P0] :  +0.0dB");
        QTest::mouseMove(widget, start + QPoint(0, -200));
        settle();
        EXPECT_EQ(position(band(dialog, 0)), 0);
        EXPECT_EQ(label(dialog), "[P0] : +10.0dB");
        EXPECT_EQ(eq_bands[0], 100);
        EXPECT_NEAR(low_to_high(), flat, flat * 0.25);
        QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, start + QPoint(0, -200));
        EXPECT_GT(low_to_high(), flat * 2.5);
        close_box(dialog);
    });
    click(IDC_EQUALIZER);
    EXPECT_EQ(decoder_state(), 1); // playback went on throughout
}
