// Adding files: titles from tags or names, the dispatch on a name's last
// character, and the Add, Open and Save commands through their real dialogs.
#include "playlist_fixture.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/testing_dialogs.h"
#ifndef _WIN32
#include "ordinary_user.h"
#endif

class AddFilesTest : public PlaylistTest {
  protected:
    void TearDown() override {
        testing_reset_dialogs();
        PlaylistTest::TearDown();
    }

    void copy_fixture(const std::string& source, const std::string& target) {
        fs::copy_file(fixture(source), dir / target, fs::copy_options::overwrite_existing);
    }

    std::vector<int> durations() {
        std::vector<int> result;
        for (PlaylistEntry* entry = playlist_head; entry != nullptr; entry = entry->next) {
            result.push_back(entry->duration);
        }
        return result;
    }
};

TEST_F(AddFilesTest, TitlesComeFromTheTagsOrTheFileName) {
    add_fixtures({"cbr_44k_stereo_v23.mp3", "artist_only.mp3", "title_only.mp3", "no_tag.mp3",
                  "leading_space.mp3", "no_tag.mp3=a3", "id3v1_only.mp3"});
    EXPECT_EQ(checked_lines(), (std::vector<std::string>{
                                   "Artiste Un - Chanson claire",
                                   "Seul artiste - Inconnu",
                                   "Inconnu - Seul titre",
                                   "no_tag",
                                   // A title beginning with a space counts as missing.
                                   "Artiste - Inconnu",
                                   // A name shorter than its supposed extension.
                                   "",
                                   "Artiste v1 - Titre v1",
                               }));
    EXPECT_EQ(durations(), (std::vector<int>{3, 1, 1, 1, 1, 1, 1}));
}

// "artist - title" is held in 255 bytes: what does not fit is cut between two
// characters, never inside one.
TEST_F(AddFilesTest, ALongTitleIsCutBetweenCharacters) {
    auto frame = [](const char* id, const std::string& text) {
        std::string body = "\x03" + text; // UTF-8
        std::string f = id;
        for (int shift = 21; shift >= 0; shift -= 7)
            f += (char)(body.size() >> shift & 0x7F);
        return f + std::string(2, '\0') + body;
    };
    std::string artist = "a";
    for (int i = 0; i < 63; i++)
        artist += "ř"; // 127 bytes: the whole field
    std::string title;
    for (int i = 0; i < 42; i++)
        title += "日"; // 126 bytes, of which 125 would fit
    std::string frames = frame("TPE1", artist) + frame("TIT2", title);
    std::string tag = std::string("ID3\x04", 4) + std::string(2, '\0');
    for (int shift = 21; shift >= 0; shift -= 7)
        tag += (char)(frames.size() >> shift & 0x7F);
    std::ifstream in(fixture("no_tag.mp3"), std::ios::binary);
    std::string audio((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    write_file("long.mp3", tag + frames + audio);
    std::string directory = dir.string() + PATH_SEPARATOR_STRING;
    add_files(0, directory.c_str(), "long.mp3\0");
    EXPECT_EQ(checked_lines(), (std::vector<std::string>{artist + " - " + title.substr(0, 123)}));
}

TEST_F(AddFilesTest, AnUnreadableFileStillGetsAnEntryNamedAfterIt) {
    add_fixtures({"text.mp3=Pas de musique.mp3", "empty.mp3=Vide.MP3"});
    EXPECT_EQ(checked_lines(), (std::vector<std::string>{"Pas de musique", "Vide"}));
    EXPECT_EQ(durations(), (std::vector<int>{0, 0}));
}

TEST_F(AddFilesTest, OnlyTheLastCharacterOfANameDecides) {
    copy_fixture("no_tag.mp3", "Morceau.MP3");
    copy_fixture("no_tag.mp3", "bande.ac3");
    copy_fixture("no_tag.mp3", "son.wav");
    write_file("liste.M3U", "#EXTINF:4,De la liste\n/m/x.mp3\n");
    write_file("notes.menu", "#EXTINF:5,Du menu\n/m/y.mp3\n");
    std::string directory = dir.string() + PATH_SEPARATOR_STRING;
    add_files(0, directory.c_str(), "Morceau.MP3\0bande.ac3\0son.wav\0liste.M3U\0notes.menu\0");
    EXPECT_EQ(checked_lines(),
              (std::vector<std::string>{"Morceau", "bande", "De la liste", "Du menu"}));
}

TEST_F(AddFilesTest, APathTooLongForTheBufferGivesNoEntry) {
    // A folder the system holds, and a name that takes the path past MAX_PATH.
    std::string name = std::string(MAX_PATH > 1000 ? 200 : 23, 'n') + ".mp3";
    fs::path deep = dir;
    while (deep.string().size() + name.size() + 1 < MAX_PATH) {
        deep /= std::string(40, 'd');
    }
    fs::create_directories(deep);
#ifdef _WIN32
    fs::copy_file(fixture("no_tag.mp3"), deep / name);
#else
    // Past the system's own limit, the file is reached from its folder.
    fs::current_path(deep);
    fs::copy_file(fixture("no_tag.mp3"), name);
    fs::current_path(dir);
#endif
    std::string directory = deep.string() + PATH_SEPARATOR_STRING;
    std::string names = name + '\0';
    add_files(0, directory.c_str(), names.c_str());
    EXPECT_TRUE(checked_lines().empty());
    EXPECT_EQ(current_entry, nullptr);
#ifndef _WIN32
    fs::current_path(deep);
    fs::remove(name);
    fs::current_path(dir);
#endif
}

TEST_F(AddFilesTest, AddAppendsTheChosenFilesThroughTheDialog) {
    copy_fixture("cbr_44k_stereo_v23.mp3", "a.mp3");
    copy_fixture("title_only.mp3", "b.mp3");
    copy_fixture("artist_only.mp3", "d.mp3");
    testing_answer_open_dialog(dir.string(), {"a.mp3"});
    click(IDC_ADD);
    testing_answer_open_dialog(dir.string(), {"b.mp3", "d.mp3"});
    click(IDC_ADD);

    EXPECT_EQ(checked_lines(),
              (std::vector<std::string>{"Artiste Un - Chanson claire", "Inconnu - Seul titre",
                                        "Seul artiste - Inconnu"}));
    EXPECT_EQ(entry_at_index(0)->path, path_in_dir("a.mp3"));
    EXPECT_EQ(entry_at_index(2)->path, path_in_dir("d.mp3"));
    // The first addition into the empty list made its entry current, shown, not played.
    EXPECT_EQ(current_line(), 0);
    EXPECT_EQ(text(IDC_TITLE_LABEL), "Artiste Un - Chanson claire");
    EXPECT_EQ(decoder_state(), 0);

    const std::vector<DialogRequest>& requests = testing_dialog_requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].kind, DialogKind::open_file);
    EXPECT_EQ(requests[0].title, "Ajouter");
    EXPECT_EQ(requests[0].filters,
              (std::vector<std::pair<std::string, std::string>>{
                  {"Fichiers MP3(*.mp3)", "*.mp3"}, {"Fichiers M3U(*.m3u)", "*.m3u;*.m3u8"}}));
    EXPECT_EQ(requests[0].flags, 0x81200u);
}

// "Ajouter" of names in every script, a ".m3u8" playlist and, on Linux, a path
// longer than Windows' 260 bytes: each comes whole, titled by its name.
TEST_F(AddFilesTest, AddTakesNamesInEveryScriptWhole) {
    std::vector<std::string> names = {
        "Dvo\xC5\x99\xC3\xA1k - Largo.mp3",
        "\xD0\x9C\xD0\xB5\xD0\xBB\xD0\xBE\xD0\xB4\xD0\xB8\xD1\x8F.mp3",
        "09 \xCE\xA9mega.mp3",
        "\xE6\x97\xA5\xE6\x9C\xAC.mp3",
        "F\xC3\xAAte \xF0\x9F\x8E\x89.mp3",
        "Cafe\xCC\x81.mp3",
        "\xC5\x81\xC3\xB3\x64\xC5\xBA.mp3",
        "Caf\xC3\x83\xC2\xA9.mp3"};
    for (const std::string& name : names)
        fs::copy_file(fixture("no_tag.mp3"),
                      dir /
                          fs::path(std::u8string(reinterpret_cast<const char8_t*>(name.c_str()))));
    write_file("liste.m3u8",
               "\xEF\xBB\xBF#EXTINF:1,\xE2\x86\x92 Suite\r\n" + dir_path() + names[0] + "\r\n");
    testing_answer_open_dialog(dir.string(), names);
    click(IDC_ADD);
    testing_answer_open_dialog(dir.string(), {"liste.m3u8"});
    click(IDC_ADD);
    std::vector<std::string> expected;
    for (const std::string& name : names)
        expected.push_back(name.substr(0, name.size() - 4));
    expected.push_back("\xE2\x86\x92 Suite");
    std::vector<std::string> shown = checked_lines();
    std::sort(shown.begin(), shown.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(durations(), std::vector<int>(names.size() + 1, 1));
#ifndef _WIN32
    fs::path deep = dir / std::string(150, 'd') / std::string(150, 'e');
    fs::create_directories(deep);
    fs::copy_file(fixture("no_tag.mp3"), deep / "\xD0\x96.mp3");
    testing_answer_open_dialog(deep.string(), {"\xD0\x96.mp3"});
    click(IDC_ADD);
    EXPECT_EQ(entry_at_index((int)names.size() + 1)->path, (deep / "\xD0\x96.mp3").string());
#endif
}

TEST_F(AddFilesTest, APlaylistsEntriesStandWhereItsNameStands) {
    copy_fixture("title_only.mp3", "b.mp3");
    write_file("c.m3u", "#EXTINF:9,Dans la liste\n/m/c.mp3\n#EXTINF:8,Aussi\n/m/c2.mp3\n");
    copy_fixture("artist_only.mp3", "d.mp3");
    load({"Avant"});
    std::string directory = dir.string() + PATH_SEPARATOR_STRING;
    add_files(1, directory.c_str(), "b.mp3\0c.m3u\0d.mp3\0");
    EXPECT_EQ(checked_lines(),
              (std::vector<std::string>{"Avant", "Inconnu - Seul titre", "Dans la liste", "Aussi",
                                        "Seul artiste - Inconnu"}));
    EXPECT_EQ(durations(), (std::vector<int>{1, 1, 9, 8, 1}));
}

TEST_F(AddFilesTest, AddWhilePlayingAppendsAndLeavesPlaybackAlone) {
    add_fixtures({"cbr_44k_stereo_v23.mp3"});
    click(IDC_PLAY);
    ASSERT_EQ(decoder_state(), 1);
    copy_fixture("title_only.mp3", "b.mp3");
    testing_answer_open_dialog(dir.string(), {"b.mp3"});
    click(IDC_ADD);
    EXPECT_EQ(checked_lines(),
              (std::vector<std::string>{"Artiste Un - Chanson claire", "Inconnu - Seul titre"}));
    EXPECT_EQ(current_line(), 0);
    EXPECT_EQ(decoder_state(), 1);
}

TEST_F(AddFilesTest, OpenReplacesThePlaylistAndPlaysItsFirstEntry) {
    load({"Ancien"});
    fs::create_directory(dir / "dossier");
    fs::copy_file(fixture("title_only.mp3"), dir / "dossier" / "b.mp3");
    testing_answer_open_dialog((dir / "dossier").string(), {"b.mp3"});
    click(IDC_OPEN);
    EXPECT_EQ(checked_lines(), (std::vector<std::string>{"Inconnu - Seul titre"}));
    // One file chosen: its directory keeps the separator before the name.
    EXPECT_EQ(playlist_head->path, (dir / "dossier" / "b.mp3").string());
    EXPECT_EQ(current_line(), 0);
    EXPECT_EQ(decoder_state(), 1);
    EXPECT_EQ(testing_dialog_requests().at(0).title, "Ouvrir");
}

TEST_F(AddFilesTest, OpenCancelledChangesNothing) {
    add_fixtures({"cbr_44k_stereo_v23.mp3", "title_only.mp3"});
    click(IDC_PLAY);
    ASSERT_EQ(decoder_state(), 1);
    testing_cancel_next_dialog();
    click(IDC_OPEN);
    EXPECT_EQ(checked_lines().size(), 2u);
    EXPECT_EQ(current_line(), 0);
    EXPECT_EQ(decoder_state(), 1);
    EXPECT_EQ(stop_reason, STOP_REASON_PLAYING);
}

TEST_F(AddFilesTest, OpenOfAnEmptyPlaylistLeavesNothingToPlay) {
    add_fixtures({"cbr_44k_stereo_v23.mp3"});
    click(IDC_PLAY);
    write_file("vide.m3u", "#EXTM3U\n");
    testing_answer_open_dialog(dir.string(), {"vide.m3u"});
    click(IDC_OPEN);
    EXPECT_TRUE(checked_lines().empty());
    EXPECT_EQ(current_entry, nullptr);
    EXPECT_EQ(decoder_state(), 0);
    EXPECT_EQ(text(IDC_TIME_LABEL), "--:-- / --:--");
}

TEST_F(AddFilesTest, SaveWritesThePlaylistUnderTheTypedNameWithItsExtension) {
    load({"Un", "Deux"});
    testing_answer_save_dialog(dir.string(), "liste");
    click(IDC_SAVE);
    EXPECT_EQ(read_file("liste.m3u"), "#EXTM3U\r\n#EXTINF:1,Un\r\n" + path_in_dir("entry0.mp3") +
                                          "\r\n#EXTINF:2,Deux\r\n" + path_in_dir("entry1.mp3") +
                                          "\r\n");
    const DialogRequest& request = testing_dialog_requests().at(0);
    EXPECT_EQ(request.kind, DialogKind::save_file);
    EXPECT_EQ(request.title, "Enregistrer");
    EXPECT_EQ(request.default_extension, "m3u");
    EXPECT_EQ(request.flags, 6u);
}

TEST_F(AddFilesTest, SaveCancelledWritesNothing) {
    load({"Un"});
    auto files = [&] {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    };
    std::vector<std::string> before = files();
    testing_cancel_next_dialog();
    click(IDC_SAVE);
    EXPECT_EQ(files(), before);
    EXPECT_EQ(testing_dialog_requests().size(), 1u);
}

TEST_F(AddFilesTest, SavingOverAPlaylistAsksFirst) {
    load({"Un"});
    write_file("liste.m3u", "ancienne\r\n");
    testing_answer_save_dialog(dir.string(), "liste.m3u");
    testing_answer_message_box(IDNO); // back to the dialog, which is then cancelled
    click(IDC_SAVE);
    EXPECT_EQ(read_file("liste.m3u"), "ancienne\r\n");
    std::vector<DialogRequest> asked = testing_dialog_requests();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_FALSE(asked[0].answered);
    EXPECT_EQ(asked[1].kind, DialogKind::message_box);
    EXPECT_EQ(asked[1].title, "Enregistrer");
    EXPECT_FALSE(asked[1].text.empty());

    testing_reset_dialogs();
    testing_answer_save_dialog(dir.string(), "liste.m3u");
    testing_answer_message_box(IDYES);
    click(IDC_SAVE);
    EXPECT_EQ(read_file("liste.m3u"),
              "#EXTM3U\r\n#EXTINF:1,Un\r\n" + path_in_dir("entry0.mp3") + "\r\n");
    EXPECT_EQ(testing_dialog_requests().size(), 2u);
}

class WriteFailureTest : public AddFilesTest {
  protected:
    void expect_one_warning() {
        const std::vector<DialogRequest>& requests = testing_dialog_requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].kind, DialogKind::message_box);
        EXPECT_EQ(requests[0].title, "Attention");
        EXPECT_EQ(requests[0].text, "Mon Dieu! Quelque chose ne va pas... :-(");
        EXPECT_EQ(requests[0].flags, (unsigned)(MB_OK | MB_ICONWARNING));
    }
};

TEST_F(WriteFailureTest, AFileThatCannotBeCreatedShowsTheWarning) {
    load({"Un"});
    testing_answer_message_box(IDOK);
    write_m3u(path_in_dir("absent/liste.m3u").c_str());
    expect_one_warning();
    EXPECT_FALSE(file_exists("absent"));

    testing_reset_dialogs();
    fs::create_directory(dir / "liste.m3u");
    testing_answer_message_box(IDOK);
    write_m3u(path_in_dir("liste.m3u").c_str());
    expect_one_warning();
    EXPECT_TRUE(fs::is_directory(dir / "liste.m3u"));
}

#ifndef _WIN32
// Linux only: the folder and the file refuse the ordinary user through POSIX
// permissions, and the test runs as that user (tests/windows has a folder
// whose access list refuses a new file).
// "Enregistrer" into a folder that takes no new file, as an ordinary user:
// the atomic replacement has no room for its temporary file.
class ReadOnlyFolderSaveTest : public AddFilesTest {
  protected:
    void SetUp() override {
        AddFilesTest::SetUp();
        fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
        fs::create_directory(dir / "ro");
        write_file("ro/liste.m3u", old_content);
        give_to_ordinary_user(dir / "ro/liste.m3u");
        fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec |
                                        fs::perms::group_read | fs::perms::group_exec |
                                        fs::perms::others_read | fs::perms::others_exec);
        load({"Un", "Deux"});
    }

    void TearDown() override {
        return_from_ordinary_user();
        fs::permissions(dir / "ro", fs::perms::owner_all);
        AddFilesTest::TearDown();
    }

    // Saves over ro/liste.m3u, answering "Oui" to the replace question and OK
    // to any box after it; the kinds and titles of the boxes shown.
    std::vector<std::string> save_as_ordinary_user() {
        testing_answer_save_dialog((dir / "ro").string(), "liste.m3u");
        testing_answer_message_box(IDYES);
        testing_answer_message_box(IDOK);
        EXPECT_TRUE(become_ordinary_user());
        click(IDC_SAVE);
        return_from_ordinary_user();
        std::vector<std::string> shown;
        for (const DialogRequest& request : testing_dialog_requests()) {
            shown.push_back(request.kind == DialogKind::save_file ? "save" : request.title);
        }
        return shown;
    }

    const std::string old_content = std::string(3000, 'x') + "\r\n";
};

TEST_F(ReadOnlyFolderSaveTest, AWritableFileIsSavedExactly) {
    fs::perms before = fs::status(dir / "ro/liste.m3u").permissions();
    EXPECT_EQ(save_as_ordinary_user(), (std::vector<std::string>{"save", "Enregistrer"}));
    EXPECT_EQ(read_file("ro/liste.m3u"), "#EXTM3U\r\n#EXTINF:1,Un\r\n" + path_in_dir("entry0.mp3") +
                                             "\r\n#EXTINF:2,Deux\r\n" + path_in_dir("entry1.mp3") +
                                             "\r\n");
    EXPECT_EQ(fs::status(dir / "ro/liste.m3u").permissions(), before);
}

TEST_F(ReadOnlyFolderSaveTest, AReadOnlyFileGivesTheWarningAndStaysWhole) {
    fs::permissions(dir / "ro/liste.m3u",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(save_as_ordinary_user(),
              (std::vector<std::string>{"save", "Enregistrer", "Attention"}));
    EXPECT_EQ(read_file("ro/liste.m3u"), old_content);
}
#endif

TEST_F(WriteFailureTest, OnlyErrorOneHasAMessage) {
    show_error(2);
    show_error(0);
    EXPECT_TRUE(testing_dialog_requests().empty());
}

TEST_F(ColdAppTest, TheDefaultPlaylistComesBackAtTheNextStart) {
    // Absolute paths of this system (/m/1.mp3, C:\m\1.mp3), kept as they are.
    std::string folder = (dir.root_path() / "m").string() + PATH_SEPARATOR_STRING;
    std::string playlist = "#EXTM3U\r\n#EXTINF:3,Premier\r\n" + folder + "1.mp3\r\n" +
                           "#EXTINF:4,Second\r\n" + folder + "2.mp3\r\n";
    write_file("Froulard.m3u", playlist);
    start();
    EXPECT_EQ(lines(), (std::vector<std::string>{"Premier", "Second"}));
    EXPECT_EQ(text(IDC_TITLE_LABEL), "Premier");
    EXPECT_EQ(decoder_state(), 0);
    ASSERT_EQ(close(), 0);
    EXPECT_EQ(read_file("Froulard.m3u"), playlist);
}
