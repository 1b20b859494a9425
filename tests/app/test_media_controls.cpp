// The desktop's player controls on Linux: the real program on a private
// session bus, driven and read with gdbus as a desktop shell would, its sound
// captured by SDL's disk driver. Without a bus it runs as before.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>

#include "app/real_program.h"

using namespace real_program;

namespace {

// A command's standard output.
std::string output_of(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, n);
        }
        pclose(pipe);
    }
    return out;
}

pid_t spawn(const std::vector<std::string>& arguments) {
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv.data()), environ) !=
        0) {
        return -1;
    }
    return pid;
}

void end(pid_t pid) {
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

// One long track of pure 64 kbit/s frames (no tag, no header frame), so
// nothing ends by itself while a test looks: its name is its title.
void write_track(const fs::path& path, int copies) {
    const char* fixtures = std::getenv("MELODIANE_FIXTURES");
    std::string frames = read_file(fs::path(fixtures ? fixtures : "") / "cbr_no_info.mp3");
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < copies; i++) {
        out << frames;
    }
}

class MediaControls : public TempFolderTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
        // Two one-minute tracks.
        write_track(dir / "premier.mp3", 20);
        write_track(dir / "second.mp3", 20);
        std::ofstream(dir / "Froulard.m3u", std::ios::binary) << "premier.mp3\r\nsecond.mp3\r\n";
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", (dir / "capture.raw").c_str(), 1);
    }

    void TearDown() override {
        end(monitor);
        program.reset();
        if (bus > 0) {
            kill(bus, SIGTERM);
        }
        TempFolderTest::TearDown();
    }

    // A session bus of the test's own, which the program finds through the
    // environment as it finds the desktop's.
    void start_bus() {
        std::string lines =
            output_of("dbus-daemon --session --fork --print-address=1 --print-pid=1");
        size_t end = lines.find('\n');
        ASSERT_NE(end, std::string::npos) << "no session bus: " << lines;
        address = lines.substr(0, end);
        bus = std::atoi(lines.c_str() + end + 1);
        ASSERT_GT(bus, 0);
        setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    }

    void start_program() {
        program.emplace(dir);
        ASSERT_TRUE(program->started());
    }

    bool opened() {
        return program->opened();
    }

    int close() {
        return program->close();
    }

    std::string gdbus(const std::string& arguments) {
        return output_of("gdbus call --address '" + address +
                         "' --dest org.mpris.MediaPlayer2.melodiane"
                         " --object-path /org/mpris/MediaPlayer2 " +
                         arguments + " 2>&1");
    }

    std::string call(const std::string& method) {
        return gdbus("--method org.mpris.MediaPlayer2.Player." + method);
    }

    std::string property(const std::string& name) {
        return gdbus("--method org.freedesktop.DBus.Properties.Get org.mpris.MediaPlayer2.Player " +
                     name);
    }

    bool property_becomes(const std::string& name, const std::string& value) {
        return wait_for([&] { return property(name).find(value) != std::string::npos; });
    }

    // Every signal the program sends, as gdbus prints them.
    void watch_signals() {
        monitor =
            spawn({"sh", "-c", "exec gdbus monitor --address \"$1\" --dest \"$2\" > \"$3\"", "sh",
                   address, "org.mpris.MediaPlayer2.melodiane", (dir / "signals.txt").string()});
        ASSERT_GT(monitor, 0);
        ASSERT_TRUE(wait_for([&] {
            return read_file(dir / "signals.txt").find("is owned by") != std::string::npos;
        }));
    }

    bool signalled(const std::string& text) {
        return wait_for(
            [&] { return read_file(dir / "signals.txt").find(text) != std::string::npos; });
    }

    // Some sound has been written to the capture since it held skip bytes.
    bool heard_after(size_t skip) {
        return wait_for([&] {
            std::string samples = read_file(dir / "capture.raw");
            return samples.size() > skip &&
                   samples.find_first_not_of('\0', skip) != std::string::npos;
        });
    }

    std::string address;
    pid_t bus = -1;
    std::optional<Program> program;
    pid_t monitor = -1;
};

} // namespace

TEST_F(MediaControls, TheDesktopDrivesThePlayerAsTheButtonsDoAndIsToldWhatChanged) {
    start_bus();
    start_program();
    ASSERT_TRUE(opened());
    ASSERT_TRUE(wait_for(
        [&] { return property("PlaybackStatus").find("'Stopped'") != std::string::npos; }));
    watch_signals();
    std::string shown = property("Metadata");
    EXPECT_NE(shown.find("'xesam:title': <'premier'>"), std::string::npos) << shown;
    EXPECT_NE(shown.find("'mpris:length': <int64 60000000>"), std::string::npos) << shown;
    EXPECT_NE(property("CanGoNext").find("true"), std::string::npos);
    EXPECT_NE(property("CanGoPrevious").find("false"), std::string::npos);

    // Play/Pause from a stopped player plays the first entry from its start.
    call("PlayPause");
    EXPECT_TRUE(property_becomes("PlaybackStatus", "'Playing'"));
    EXPECT_TRUE(heard_after(0)) << "nothing heard";
    EXPECT_TRUE(signalled("{'PlaybackStatus': <'Playing'>}"));

    // Paused, Play/Pause resumes; Pause and Play leave a player already
    // doing what they ask alone.
    call("PlayPause");
    EXPECT_TRUE(property_becomes("PlaybackStatus", "'Paused'"));
    call("Pause");
    call("PlayPause");
    EXPECT_TRUE(property_becomes("PlaybackStatus", "'Playing'"));
    call("Play");
    call("Pause");
    EXPECT_TRUE(property_becomes("PlaybackStatus", "'Paused'"));
    call("Play");
    EXPECT_TRUE(property_becomes("PlaybackStatus", "'Playing'"));

    // Next plays the second entry; the desktop is told the new title and
    // that the list ends there.
    size_t before = read_file(dir / "capture.raw").size();
    call("Next");
    EXPECT_TRUE(property_becomes("Metadata", "'xesam:title': <'second'>"));
    EXPECT_TRUE(signalled("'CanGoNext': <false>, 'CanGoPrevious': <true>, 'Metadata': <{"));
    EXPECT_TRUE(signalled("'xesam:title': <'second'>"));
    EXPECT_NE(property("PlaybackStatus").find("'Playing'"), std::string::npos);
    EXPECT_TRUE(heard_after(before));
    // Next at the end of the list without repeat changes nothing.
    call("Next");
    EXPECT_NE(property("Metadata").find("'second'"), std::string::npos);

    call("Stop");
    EXPECT_TRUE(property_becomes("PlaybackStatus", "'Stopped'"));
    EXPECT_TRUE(signalled("{'PlaybackStatus': <'Stopped'>}"));
    // Stopped, Previous only shows the entry before.
    call("Previous");
    EXPECT_TRUE(property_becomes("Metadata", "'xesam:title': <'premier'>"));
    EXPECT_NE(property("PlaybackStatus").find("'Stopped'"), std::string::npos);

    EXPECT_EQ(close(), 0);
}

TEST_F(MediaControls, ThePlayerNamesItselfAndComesForwardWhenAsked) {
    start_bus();
    start_program();
    ASSERT_TRUE(opened());
    std::string root;
    ASSERT_TRUE(wait_for([&] {
        root = gdbus("--method org.freedesktop.DBus.Properties.GetAll org.mpris.MediaPlayer2");
        return root.find("'Identity'") != std::string::npos;
    })) << root;
    EXPECT_NE(root.find("'Identity': <'Melodiane'>"), std::string::npos) << root;
    EXPECT_NE(root.find("'DesktopEntry': <'melodiane'>"), std::string::npos) << root;
    EXPECT_NE(root.find("'CanRaise': <true>"), std::string::npos) << root;
    EXPECT_EQ(gdbus("--method org.mpris.MediaPlayer2.Raise"), "()\n");
    EXPECT_NE(property("CanSeek").find("false"), std::string::npos);
    // A property or a method the interface does not have is an error.
    EXPECT_NE(property("Volume").find("Error"), std::string::npos);
    EXPECT_NE(call("Rewind").find("Error"), std::string::npos);
    EXPECT_EQ(close(), 0);
}

// Calls that want no reply, 50,000 of them as fast as the bus takes them:
// what the player cannot serve is dropped, so the desktop's next property
// read is answered promptly and the player still does as it is asked.
TEST_F(MediaControls, AFloodOfCallsThatWantNoReplyLeavesThePlayerPrompt) {
    start_bus();
    start_program();
    ASSERT_TRUE(opened());
    ASSERT_TRUE(property_becomes("PlaybackStatus", "'Stopped'"));
    QElapsedTimer clock;
    clock.start();
    property("PlaybackStatus");
    qint64 quiet_ms = clock.elapsed();
    {
        static int argc = 1;
        static char name[] = "flood";
        static char* argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
        QDBusConnection flood =
            QDBusConnection::connectToBus(QString::fromStdString(address), QStringLiteral("flood"));
        ASSERT_TRUE(flood.isConnected());
        const char* const methods[] = {"PlayPause", "Next", "PlayPause", "Get"};
        for (int i = 0; i < 50000; i++) {
            const char* method = methods[i % 4];
            bool get = method[0] == 'G';
            QDBusMessage message = QDBusMessage::createMethodCall(
                QStringLiteral("org.mpris.MediaPlayer2.melodiane"),
                QStringLiteral("/org/mpris/MediaPlayer2"),
                get ? QStringLiteral("org.freedesktop.DBus.Properties")
                    : QStringLiteral("org.mpris.MediaPlayer2.Player"),
                QString::fromLatin1(method));
            if (get) {
                message << QStringLiteral("org.mpris.MediaPlayer2.Player")
                        << QStringLiteral("Metadata");
            }
            // send() marks a call as wanting no reply.
            ASSERT_TRUE(flood.send(message));
        }
        // Every call has reached the bus before the desktop's read below.
        QDBusConnection::disconnectFromBus(QStringLiteral("flood"));
    }
    clock.restart();
    std::string status = property("PlaybackStatus");
    qint64 flooded_ms = clock.elapsed();
    EXPECT_NE(status.find("'"), std::string::npos) << status;
    // The time is printed, not held to a bound: a loaded machine answers late.
    std::printf("property read: %lld ms quiet, %lld ms after the flood\n",
                static_cast<long long>(quiet_ms), static_cast<long long>(flooded_ms));
    call("Stop");
    EXPECT_TRUE(property_becomes("PlaybackStatus", "'Stopped'"));
    EXPECT_EQ(close(), 0);
}

TEST_F(MediaControls, WithoutASessionBusTheProgramRunsAsBefore) {
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (dir / "no-bus").string()).c_str(), 1);
    start_program();
    ASSERT_TRUE(opened());
    EXPECT_TRUE(program->running());
    EXPECT_EQ(close(), 0);
    EXPECT_EQ(read_file(dir / "Froulard.m3u"),
              "#EXTM3U\r\n#EXTINF:60,premier\r\n" + (dir / "premier.mp3").string() +
                  "\r\n#EXTINF:60,second\r\n" + (dir / "second.mp3").string() + "\r\n");
}
