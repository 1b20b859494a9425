// A real sound server: a private PulseAudio with null sinks, whose monitors
// are recorded with parec. What plays is heard there, on one stream; a server
// restarted, or a default sink changed, while nothing plays is used by the
// next play; a server that goes away while a track plays leaves it playing
// silently, and the next play is heard on the server started again.
// PulseAudio is Linux's: the Windows build has no such test.
#ifdef __linux__
#include "vbmp3/harness.h"
#include "vbmp3/pulse_server.h"
#include "vbmp3/signal.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>

namespace {

namespace fs = std::filesystem;

class SoundServer : public Session {
  protected:
    SoundServer() : Session("device", "pulseaudio") {}

    void SetUp() override {
        if (!PulseServer::installed()) {
            GTEST_SKIP() << "PulseAudio (pulseaudio, pulseaudio-utils) is not installed";
        }
        server_ = std::make_unique<PulseServer>();
        ASSERT_TRUE(server_->start()) << "the sound server did not start; see " << dir();
        Session::SetUp();
    }

    void TearDown() override {
        Session::TearDown();
        server_.reset();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }

    fs::path dir() const {
        return server_->dir();
    }

    // Loudest level of the fixtures' 440 Hz tone over tenths of a second of a recording.
    static double tone_heard(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<float> samples(bytes.size() / sizeof(float));
        if (!samples.empty()) {
            memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
        }
        const size_t window = 4410;
        double loudest = 0.0;
        for (size_t from = 0; from + window <= samples.size() / 2; from += window) {
            loudest = std::max(loudest, tone_level(samples, 0, from, from + window, 440.0, 44100));
        }
        return loudest;
    }

    // Plays the three-second tone; true once the recording holds it.
    bool play_and_hear(const fs::path& recording) {
        if (vbmp3_open(fixture("cbr_44k_stereo_v23.mp3").c_str(), record_) == 0) {
            return false;
        }
        vbmp3_play();
        return pump_until([&] { return tone_heard(recording) > 0.1; }, 10000);
    }

    void stop_and_wait_until_closed() {
        vbmp3_close();
        ASSERT_TRUE(pump_until([] { return output_is(""); }));
    }

    std::unique_ptr<PulseServer> server_;
};

} // namespace

TEST_F(SoundServer, PlayIsHeardOnTheDefaultSink) {
    ASSERT_TRUE(server_->record("salon", dir() / "salon.raw"));
    EXPECT_TRUE(play_and_hear(dir() / "salon.raw"));
}

// A device whose start went wrong gets another opened beside it: each play
// is heard, and once it plays the server holds one stream of the program's.
TEST_F(SoundServer, EveryPlayFromStoppedIsHeardOnOneStream) {
    for (int round = 0; round < 6; round++) {
        SCOPED_TRACE(round);
        fs::path recording = dir() / ("play" + std::to_string(round) + ".raw");
        ASSERT_TRUE(server_->record("salon", recording));
        ASSERT_TRUE(play_and_hear(recording));
        EXPECT_TRUE(pump_until([this] {
            return server_->pactl("list short sink-inputs | grep -c . | grep -qx 1") == 0;
        })) << "more than one stream, or none";
        stop_and_wait_until_closed();
        server_->stop_recording();
    }
}

TEST_F(SoundServer, ServerRestartedWhileStoppedIsUsedByTheNextPlay) {
    ASSERT_TRUE(server_->record("salon", dir() / "before.raw"));
    ASSERT_TRUE(play_and_hear(dir() / "before.raw"));
    stop_and_wait_until_closed();
    server_->stop_recording();
    server_->stop();
    ASSERT_TRUE(server_->start());
    ASSERT_TRUE(server_->record("salon", dir() / "after.raw"));
    EXPECT_TRUE(play_and_hear(dir() / "after.raw")) << "not heard on the restarted server";
}

TEST_F(SoundServer, DefaultSinkChangedWhileStoppedIsUsedByTheNextPlay) {
    ASSERT_TRUE(server_->record("salon", dir() / "salon.raw"));
    ASSERT_TRUE(server_->record("cuisine", dir() / "cuisine.raw"));
    ASSERT_TRUE(play_and_hear(dir() / "salon.raw"));
    stop_and_wait_until_closed();
    ASSERT_EQ(server_->pactl("set-default-sink cuisine"), 0);
    EXPECT_TRUE(play_and_hear(dir() / "cuisine.raw")) << "not heard on the new default sink";
}

TEST_F(SoundServer, ServerGoneWhilePlayingIsUsedAgainFromTheNextPlay) {
    ASSERT_TRUE(server_->record("salon", dir() / "before.raw"));
    ASSERT_TRUE(play_and_hear(dir() / "before.raw"));
    server_->stop_recording();
    server_->stop();
    // The track goes on, silently, taken by the library's own thread.
    EXPECT_TRUE(pump_until([] { return output_is("silent"); }))
        << "the lost server was not noticed";
    EXPECT_EQ(vbmp3_getState(nullptr), 1);
    ASSERT_TRUE(server_->start());
    ASSERT_TRUE(server_->record("salon", dir() / "after.raw"));
    EXPECT_TRUE(play_and_hear(dir() / "after.raw")) << "not heard on the restarted server";
}

// Resumed while the server was gone, the track goes on silently; once the
// server is back, whatever the user does next is heard: the silent output
// tries the device again at every play, resume and new track.
TEST_F(SoundServer, ServerBackAfterAResumeWhileItWasGoneIsHeardAtTheNextAction) {
    struct Case {
        const char* action;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"Next",
         [this] {
             vbmp3_open(fixture("cbr_44k_stereo_v23.mp3").c_str(), record_);
             vbmp3_play();
         }},
        {"Pause and resume",
         [] {
             vbmp3_pause();
             vbmp3_restart();
         }},
        {"Play from the start", [] { vbmp3_play(); }},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        fs::path before = dir() / ("before" + std::to_string(++round) + ".raw");
        ASSERT_TRUE(server_->record("salon", before));
        ASSERT_TRUE(play_and_hear(before));
        vbmp3_pause();
        ASSERT_TRUE(pump_until([] { return output_is(""); }));
        server_->stop_recording();
        server_->stop();
        vbmp3_restart();
        EXPECT_TRUE(pump_until([] { return output_is("silent"); }));
        EXPECT_EQ(vbmp3_getState(nullptr), 1);
        ASSERT_TRUE(server_->start());
        fs::path after = dir() / ("after" + std::to_string(round) + ".raw");
        ASSERT_TRUE(server_->record("salon", after));
        c.act();
        EXPECT_TRUE(pump_until([&] { return tone_heard(after) > 0.1; }, 10000))
            << "not heard on the server back";
        EXPECT_TRUE(output_is("device"));
        stop_and_wait_until_closed();
        server_->stop_recording();
    }
}

#endif
