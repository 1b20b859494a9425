// Volume and balance: the channel levels heard for each pair of slider
// positions, and the balance's snap to the centre while dragged.
#include "input_fixture.h"
#include "vbmp3/vbmp3.h"

#include <atomic>
#include <cmath>
#include <mutex>

namespace {

// Peak of each channel over everything the output received.
struct Peaks {
    std::mutex lock;
    float left = 0;
    float right = 0;
    long frames = 0;
};

void measure(const float* frames, int count, int, void* user) {
    Peaks* peaks = static_cast<Peaks*>(user);
    std::lock_guard<std::mutex> guard(peaks->lock);
    for (int i = 0; i < count; i++) {
        peaks->left = std::max(peaks->left, std::fabs(frames[2 * i]));
        peaks->right = std::max(peaks->right, std::fabs(frames[2 * i + 1]));
    }
    peaks->frames += count;
}

} // namespace

class VolumeTest : public ColdAppTest {
  protected:
    void SetUp() override {
        ColdAppTest::SetUp();
        vbmp3_setOutput("fast");
        vbmp3_setCapture(measure, &peaks);
    }

    void TearDown() override {
        vbmp3_setCapture(nullptr, nullptr);
        vbmp3_setOutput("device");
        ColdAppTest::TearDown();
    }

    // Plays the stereo tone of the playlist to its end; the peaks heard.
    std::pair<float, float> play_to_end() {
        {
            std::lock_guard<std::mutex> guard(peaks.lock);
            peaks.left = peaks.right = 0;
            peaks.frames = 0;
        }
        click(IDC_PLAY);
        // The end comes once every frame is queued; the output has taken
        // them all when it closes.
        EXPECT_TRUE(wait_until(
            [&] { return decoder_state() == 0 && std::string(vbmp3_getOutput()).empty(); }));
        std::lock_guard<std::mutex> guard(peaks.lock);
        EXPECT_GT(peaks.frames, 44100);
        return {peaks.left, peaks.right};
    }

    // Starts with the settings file holding these positions and the tone in
    // the playlist.
    void start_with(int volume, int balance) {
        write_file("Froulard.ini", "[Init]\r\nvolume=" + std::to_string(volume) +
                                       "\r\nbalance=" + std::to_string(balance) + "\r\n");
        start();
        add_fixtures({"cbr_44k_stereo_v23.mp3"});
    }

    std::pair<float, float> heard(int volume, int balance) {
        start_with(volume, balance);
        auto result = play_to_end();
        close();
        return result;
    }

    Peaks peaks;
};

TEST_F(VolumeTest, ChannelLevelsFollowVolumeAndBalance) {
    auto [full_left, full_right] = heard(100, 100);
    ASSERT_GT(full_left, 0.1f);
    ASSERT_GT(full_right, 0.1f);
    struct Row {
        int volume, balance, left, right;
    };
    const Row rows[] = {{50, 100, 50, 50}, {80, 0, 80, 0},   {80, 200, 0, 80},
                        {50, 150, 25, 50}, {33, 67, 33, 22}, {0, 30, 0, 0}};
    for (const Row& row : rows) {
        auto [left, right] = heard(row.volume, row.balance);
        EXPECT_NEAR(left, full_left * row.left / 100, 0.01) << row.volume << " " << row.balance;
        EXPECT_NEAR(right, full_right * row.right / 100, 0.01) << row.volume << " " << row.balance;
    }
}

TEST_F(VolumeTest, BalanceSnapsToTheCentreOnlyWhileDraggedWithTheMouse) {
    start_with(100, 100);
    HWND balance = item(IDC_BALANCE_SLIDER);
    drag_slider(balance, {QPoint(-2, 0), QPoint(-4, 0)});
    EXPECT_EQ(GetFocus(), balance);
    EXPECT_EQ(slider(IDC_BALANCE_SLIDER), 100);
    auto [left, right] = play_to_end();
    EXPECT_NEAR(right, left, 0.01);

    drag_slider(balance, {QPoint(-30, 0), QPoint(-60, 0)}); // far from the centre: no snap
    EXPECT_LT(slider(IDC_BALANCE_SLIDER), 90);

    SendMessageA(balance, TBM_SETPOS, TRUE, 100);
    for (int i = 0; i < 5; i++) {
        key(balance, Qt::Key_Left);
    }
    EXPECT_EQ(slider(IDC_BALANCE_SLIDER), 95);
    std::tie(left, right) = play_to_end();
    EXPECT_NEAR(right, left * 0.95f, 0.01);

    key(item(IDC_VOLUME_SLIDER), Qt::Key_Home); // volume 0 silences both channels
    EXPECT_EQ(slider(IDC_VOLUME_SLIDER), 0);
    std::tie(left, right) = play_to_end();
    EXPECT_EQ(left, 0.0f);
    EXPECT_EQ(right, 0.0f);
}
