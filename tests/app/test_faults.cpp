// Faults of the system around the program: a read-only start directory,
// read-only settings and playlist files, a full disk, no sound device. Files
// that may be written are written even where their folder takes no new file;
// otherwise the playlist writer shows its warning box, the settings stay
// silently unsaved, nothing already on disk is damaged, no temporary file is
// left, and the program closes normally; without a device playback goes on
// silently in real time.
//
// Permissions mean nothing to root, so the read-only cases run the program as
// an ordinary user (nobody under root; the test returns to root afterwards);
// the full disk is a small tmpfs, which needs root and is skipped without it.
// Both are Linux's: on Windows only the missing sound device runs here.
#include "app_fixture.h"

#ifndef _WIN32
#include "ordinary_user.h"

#include <sys/mount.h>
#include <unistd.h>

namespace {

// Hidden temporary files of the atomic writer left in a directory.
int temporary_files(const fs::path& folder) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        count += name[0] == '.' && name.find(".tmp-") != std::string::npos;
    }
    return count;
}

const char* const old_playlist =
    "#EXTM3U\r\n#EXTINF:61,Ancien - Morceau\r\n/musique/ancien.mp3\r\n";
const char* const old_settings = "[Init]\r\nvolume=33\r\nbalance=100\r\nrepeat=0\r\n";

} // namespace
#endif

class Faults : public ColdAppTest {
  protected:
#ifndef _WIN32
    void TearDown() override {
        return_from_ordinary_user();
        fs::permissions(dir, fs::perms::owner_all);
        ColdAppTest::TearDown();
        if (!mounted.empty()) {
            umount2(mounted.c_str(), MNT_DETACH);
            fs::remove(mounted);
        }
    }

    // Runs the program as it would run for an ordinary user from here on.
    void become_ordinary() {
        ASSERT_TRUE(become_ordinary_user());
    }

    // The start directory takes no new file; the old files are the user's own.
    void make_start_directory_read_only() {
        for (const char* name : {"Froulard.m3u", "Froulard.ini"}) {
            give_to_ordinary_user(dir / name);
        }
        fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read |
                                 fs::perms::others_exec);
    }

    // The old files in the start directory, with the playlist entry the
    // program will try to save at close.
    void write_old_files() {
        write_file("Froulard.m3u", old_playlist);
        write_file("Froulard.ini", old_settings);
    }

    // Closes the program and answers the warning box; the boxes shown.
    std::vector<DialogRequest> close_answering_warning() {
        testing_answer_message_box(IDOK);
        EXPECT_EQ(close(), 0);
        return testing_dialog_requests();
    }

    static void expect_one_warning(const std::vector<DialogRequest>& shown) {
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].kind, DialogKind::message_box);
        EXPECT_EQ(shown[0].title, "Attention");
        EXPECT_EQ(shown[0].text, "Mon Dieu! Quelque chose ne va pas... :-(");
        EXPECT_EQ(shown[0].flags, (unsigned)(MB_OK | MB_ICONWARNING));
        EXPECT_TRUE(shown[0].answered);
    }

    std::string mounted;
#endif

    // Sets or, given "", removes an environment variable.
    static void set_environment(const char* name, const std::string& value) {
#ifdef _WIN32
        _putenv_s(name, value.c_str());
#else
        if (value.empty()) {
            unsetenv(name);
        } else {
            setenv(name, value.c_str(), 1);
        }
#endif
    }
};

#ifndef _WIN32
// No temporary file can be made beside the files: they are written in place.
TEST_F(Faults, ReadOnlyStartDirectoryWithWritableFilesSavesBothAtClose) {
    // Bare line feeds: the close writes them back as CR LF.
    write_file("Froulard.m3u", "#EXTM3U\n#EXTINF:61,Ancien - Morceau\n/musique/ancien.mp3\n");
    write_file("Froulard.ini", old_settings);
    make_start_directory_read_only();
    become_ordinary();
    start();
    EXPECT_EQ(lines(), std::vector<std::string>{"Ancien - Morceau"});
    EXPECT_EQ(slider(IDC_VOLUME_SLIDER), 33);
    SendMessageA(item(IDC_VOLUME_SLIDER), TBM_SETPOS, TRUE, 80);
    click(IDC_REPEAT);
    EXPECT_TRUE(close_answering_warning().empty());
    EXPECT_EQ(read_file("Froulard.m3u"), old_playlist);
    std::string settings = read_file("Froulard.ini");
    EXPECT_EQ(ini_value(settings, "volume"), "80");
    EXPECT_EQ(ini_value(settings, "repeat"), "1");
    EXPECT_EQ(ini_value(settings, "activateeq"), "0"); // the start-up wrote every key
    EXPECT_EQ(temporary_files(dir), 0);
}

TEST_F(Faults, ReadOnlyFilesInAReadOnlyStartDirectoryWarnAtCloseAndStayWhole) {
    write_old_files();
    for (const char* name : {"Froulard.m3u", "Froulard.ini"}) {
        fs::permissions(dir / name,
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    }
    make_start_directory_read_only();
    become_ordinary();
    start();
    EXPECT_EQ(lines(), std::vector<std::string>{"Ancien - Morceau"});
    SendMessageA(item(IDC_VOLUME_SLIDER), TBM_SETPOS, TRUE, 80);
    expect_one_warning(close_answering_warning());
    EXPECT_EQ(read_file("Froulard.m3u"), old_playlist);
    EXPECT_EQ(read_file("Froulard.ini"), old_settings);
    EXPECT_EQ(temporary_files(dir), 0);
}

TEST_F(Faults, ReadOnlyFilesWarnAtCloseAndStayAsTheyWere) {
    write_old_files();
    give_to_ordinary_user(dir);
    for (const char* name : {"Froulard.m3u", "Froulard.ini"}) {
        fs::permissions(dir / name,
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    }
    become_ordinary();
    start();
    click(IDC_REPEAT);
    expect_one_warning(close_answering_warning());
    EXPECT_EQ(read_file("Froulard.m3u"), old_playlist);
    EXPECT_EQ(read_file("Froulard.ini"), old_settings);
    EXPECT_EQ(temporary_files(dir), 0);
}

TEST_F(Faults, FullDiskWarnsAtCloseAndKeepsTheOldFilesWhole) {
    if (getuid() != 0) {
        GTEST_SKIP() << "needs root to mount a small tmpfs";
    }
    mounted = (dir.parent_path() / (dir.filename().string() + "-plein")).string();
    fs::create_directory(mounted);
    if (mount("tmpfs", mounted.c_str(), "tmpfs", 0, "size=256k") != 0) {
        fs::remove(mounted);
        mounted.clear();
        GTEST_SKIP() << "cannot mount a tmpfs here";
    }
    fs::path full = mounted;
    // A playlist big enough that a second copy cannot fit beside it.
    std::string playlist = "#EXTM3U\r\n";
    for (int i = 0; playlist.size() < 40000; i++) {
        playlist += "#EXTINF:" + std::to_string(i) + ",Artiste - Morceau " + std::to_string(i) +
                    "\r\n/musique/morceau" + std::to_string(i) + ".mp3\r\n";
    }
    std::ofstream(full / "Froulard.m3u", std::ios::binary) << playlist;
    std::ofstream(full / "Froulard.ini", std::ios::binary) << old_settings;
    {
        // The rest of the disk, filled.
        std::ofstream filler(full / "remplissage", std::ios::binary);
        std::string block(4096, 'x');
        while (filler.write(block.data(), (std::streamsize)block.size()) && filler.flush()) {
        }
    }
    fs::current_path(full);
    start();
    EXPECT_GT(lines().size(), 500u);
    SendMessageA(item(IDC_VOLUME_SLIDER), TBM_SETPOS, TRUE, 90);
    expect_one_warning(close_answering_warning());
    std::ifstream in(full / "Froulard.m3u", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
              playlist);
    std::ifstream ini(full / "Froulard.ini", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(ini), std::istreambuf_iterator<char>()),
              old_settings);
    EXPECT_EQ(temporary_files(full), 0);
    fs::current_path(dir);
}
#endif

// SDL is asked for a driver that cannot start: the decoder falls back to
// silence, and tracks still take their own length to play.
TEST_F(Faults, WithoutASoundDevicePlaybackGoesOnSilentlyInRealTime) {
    const char* before = std::getenv("SDL_AUDIODRIVER");
    std::string saved = before != nullptr ? before : "";
    // The output opens when a track plays, so the driver stays unusable
    // until both tracks have played.
    set_environment("SDL_AUDIODRIVER", "pas-de-pilote");
    start();
    add_fixtures({"cbr_no_info.mp3=trois.mp3", "no_tag.mp3=un.mp3"}); // 3 s, then 1 s
    auto begun = std::chrono::steady_clock::now();
    click(IDC_PLAY);
    EXPECT_EQ(decoder_state(), 1);
    ASSERT_TRUE(wait_until([] { return elapsed_seconds >= 1; }, 10000));
    EXPECT_EQ(current_line(), 0); // not raced through
    ASSERT_TRUE(wait_until([] { return decoder_state() == 0; }, 20000));
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
    set_environment("SDL_AUDIODRIVER", saved);
    EXPECT_EQ(current_line(), 1); // both played, in order
    // Four seconds of sound; the last end comes while the silent output still
    // holds up to three quarters of a second.
    EXPECT_GT(seconds, 3.2);
    EXPECT_LT(seconds, 8.0);
    EXPECT_EQ(close(), 0);
}
