// Damaged files through the real program: the corpus of scripts/make_damaged.py
// (files cut at many points, bytes flipped, ID3v2 sizes past the end, an empty
// file, random bytes, a directory named like an MP3), plus files deleted or
// cut while they play. Every one is added and the list played through with
// repeat off: nothing crashes or hangs, an entry that opens but holds nothing
// playable ends and the next one plays, an entry that cannot be opened leaves
// the player stopped on it and Next goes on from there, and the close saves
// the whole playlist.
#include "app_fixture.h"

#include "playback/player.h"
#include "vbmp3/vbmp3.h"

#include <cstdio>
#include <set>

namespace {

// Runs the corpus script into folder; the names it made, in order.
std::vector<std::string> make_damaged(const fs::path& folder) {
#ifdef _WIN32
    // Windows has no Python: the build ran the script once (tests/CMakeLists.txt)
    // and its corpus is copied, the names it printed in a file beside it.
    std::vector<std::string> names;
    const char* corpus = std::getenv("MELODIANE_DAMAGED_CORPUS");
    if (corpus == nullptr) {
        return names;
    }
    fs::copy(corpus, folder, fs::copy_options::recursive);
    std::ifstream list(std::string(corpus) + ".txt");
    std::string name;
    while (std::getline(list, name)) {
        if (!name.empty()) {
            names.push_back(name);
        }
    }
    return names;
#else
    const char* source = std::getenv("MELODIANE_SOURCE_DIR");
    std::string command = "python3 '" + std::string(source != nullptr ? source : ".") +
                          "/scripts/make_damaged.py' '" + folder.string() + "'";
    std::vector<std::string> names;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return names;
    }
    char line[512];
    while (fgets(line, sizeof line, pipe) != nullptr) {
        std::string name = line;
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) {
            name.pop_back();
        }
        if (!name.empty()) {
            names.push_back(name);
        }
    }
    return pclose(pipe) == 0 ? names : std::vector<std::string>();
#endif
}

// The path lines of a playlist file, in order.
std::vector<std::string> m3u_paths(const std::string& text) {
    std::vector<std::string> paths;
    // A playlist holding text Windows-1252 lacks is UTF-8 behind a mark.
    std::istringstream in(text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? text.substr(3) : text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line[0] != '#') {
            paths.push_back(line);
        }
    }
    return paths;
}

// Every line the current entry passes through. With the fast output many
// tracks end within one pump, so the lines are taken after every command and
// after every decoder event: the test's handler passes each to the program's.
std::vector<int> visited;

void note_current_line() {
    int line = line_of_current_entry();
    if (visited.empty() || visited.back() != line) {
        visited.push_back(line);
    }
}

int watching_handler(int type, int value) {
    int result = decoder_event(type, value);
    note_current_line();
    return result;
}

} // namespace

class DamagedFiles : public ColdAppTest {
  protected:
    void TearDown() override {
        ColdAppTest::TearDown();
        vbmp3_setOutput("device"); // for the next start
    }

    // Adds the names of folder (which ends in a separator) in one batch.
    void add_from(const std::string& folder, const std::vector<std::string>& names) {
        std::string list;
        for (const std::string& name : names) {
            list += name;
            list += '\0';
        }
        list += '\0';
        add_files((int)SendMessageA(item(IDC_PLAYLIST), LB_GETCOUNT, 0, 0), folder.c_str(),
                  list.data());
        settle();
    }
};

TEST_F(DamagedFiles, EveryDamagedFilePlaysOrEndsAndThoseThatCannotOpenStopThePlayer) {
    fs::path folder = dir / "abime";
    std::vector<std::string> names = make_damaged(folder);
    ASSERT_GT(names.size(), 50u) << "scripts/make_damaged.py failed";
    // A file that is gone by the time it plays, and a good file to end on.
    std::ofstream(folder / "disparu.mp3") << "bientot efface";
    names.insert(names.begin() + (long)names.size() / 2, "disparu.mp3");
    fs::copy_file(fixture("no_tag.mp3"), folder / "fin.mp3");
    names.push_back("fin.mp3");
    const std::set<std::string> cannot_open = {"disparu.mp3", "dossier.mp3"};

    vbmp3_setOutput("fast");
    start();
    add_from(folder.string() + PATH_SEPARATOR_STRING, names);
    ASSERT_EQ(lines().size(), names.size());
    fs::remove(folder / "disparu.mp3");
    ASSERT_EQ(IsDlgButtonChecked(main_dialog, IDC_REPEAT), 0u);

    // Play from the first line; follow the player to the end of the list.
    visited.clear();
    note_current_line();
    vbmp3_callback(watching_handler);
    click(IDC_PLAY);
    std::vector<std::string> stopped_on;
    const int last = (int)names.size() - 1;
    for (;;) {
        ASSERT_TRUE(wait_until([] { return decoder_state() == 0; }, 15000))
            << "hangs on " << names[current_line()];
        // The state changes only on this thread, when the program handles
        // the end or fails to open: it has already moved on or stopped.
        int line = current_line();
        if (line == last) {
            break;
        }
        if (decoder_state() != 0) {
            continue;
        }
        // Stopped on an entry that cannot be opened: Next, then Play.
        stopped_on.push_back(names[line]);
        click(IDC_NEXT);
        note_current_line();
        ASSERT_EQ(current_line(), line + 1);
        EXPECT_EQ(decoder_state(), 0); // Next while stopped only shows the entry
        click(IDC_PLAY);
    }
    ASSERT_TRUE(wait_until([] { return decoder_state() == 0; }, 15000));
    vbmp3_callback(decoder_event);
    // Every line was current once, in order: each ended and the next played,
    // or stopped the player until Next.
    std::vector<int> every_line;
    for (int i = 0; i <= last; i++) {
        every_line.push_back(i);
    }
    EXPECT_EQ(visited, every_line);
    EXPECT_EQ(std::set<std::string>(stopped_on.begin(), stopped_on.end()), cannot_open);

    ASSERT_EQ(close(), 0);
    std::vector<std::string> saved = m3u_paths(read_file("Froulard.m3u"));
    ASSERT_EQ(saved.size(), names.size());
    for (size_t i = 0; i < names.size(); i++) {
        EXPECT_EQ(saved[i], folder.string() + PATH_SEPARATOR_STRING + names[i]);
    }
}

// In real time: one file cut short while it plays ends early and the next one
// plays; one deleted while it plays goes on to its end (its data stay
// readable), and once gone it stops the player when played again. Windows
// refuses to delete a file while it is open: there it is deleted once it has
// played.
TEST_F(DamagedFiles, FilesCutOrDeletedWhileTheyPlay) {
    vbmp3_setOutput("silent");
    start();
    make_long_mp3("coupe.mp3", 10); // 30 s
    make_long_mp3("efface.mp3", 1); // 3 s
    add_names({"coupe.mp3", "efface.mp3"});
    add_fixtures({"no_tag.mp3=apres.mp3"});
    ASSERT_EQ(lines(), (std::vector<std::string>{"coupe", "efface", "apres"}));
    const int cut_line = 0, deleted_line = 1;

    double_click_line(cut_line);
    ASSERT_EQ(current_line(), cut_line);
    ASSERT_TRUE(wait_until([] { return elapsed_seconds >= 1; }));
    fs::resize_file(dir / "coupe.mp3", 6000); // less than a second of sound
    auto begun = std::chrono::steady_clock::now();
    ASSERT_TRUE(wait_until([&] { return current_line() != cut_line; }, 20000));
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(15));
    EXPECT_EQ(decoder_state(), 1);

    double_click_line(deleted_line);
    ASSERT_TRUE(wait_until([] { return elapsed_seconds >= 1; }));
#ifdef _WIN32
    std::error_code refused;
    EXPECT_FALSE(fs::remove(dir / "efface.mp3", refused));
#else
    fs::remove(dir / "efface.mp3");
#endif
    ASSERT_TRUE(
        wait_until([&] { return current_line() != deleted_line || decoder_state() == 0; }, 10000));
    fs::remove(dir / "efface.mp3");

    // Played again, the deleted file cannot be opened: stopped on it; Next
    // then moves on and Play plays.
    double_click_line(deleted_line);
    EXPECT_EQ(current_line(), deleted_line);
    EXPECT_EQ(decoder_state(), 0);
    click(IDC_NEXT);
    EXPECT_EQ(current_line(), deleted_line + 1);
    click(IDC_PLAY);
    EXPECT_EQ(decoder_state(), 1);

    ASSERT_EQ(close(), 0);
    EXPECT_EQ(m3u_paths(read_file("Froulard.m3u")).size(), 3u);
}
