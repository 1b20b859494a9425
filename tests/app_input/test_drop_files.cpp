// Files, playlists and folders dropped from a file manager onto the playlist:
// a real drop event on the list box, the program's WM_DROPFILES, and the
// entries "Ajouter" would make of the same files.
#include "input_fixture.h"
#include "platform/testing_drop.h"

#include <unistd.h>

namespace {

class DropFiles : public AppTest {
  protected:
    // Drops the paths on the playlist and waits until it holds count lines.
    bool drop(const std::vector<fs::path>& paths, int count) {
        std::vector<std::string> names;
        for (const fs::path& path : paths) {
            names.push_back(path.string());
        }
        return platform_test_drop_files(item(IDC_PLAYLIST), names) &&
               wait_until([&] { return (int)lines().size() == count; });
    }

    // An untagged MP3, titled by its name less ".mp3", at a path in the test directory.
    fs::path mp3(const std::string& relative) {
        fs::path path = dir / relative;
        fs::create_directories(path.parent_path());
        fs::copy_file(fixture("no_tag.mp3"), path, fs::copy_options::overwrite_existing);
        return path;
    }

    std::vector<std::string> paths() {
        std::vector<std::string> result;
        for (PlaylistEntry* entry = playlist_head; entry != nullptr; entry = entry->next) {
            result.push_back(entry->path);
        }
        return result;
    }
};

} // namespace

TEST_F(DropFiles, FilesAndPlaylistsAreAppendedInTheOrderDroppedAsAjouterAddsThem) {
    fs::path deux = mp3("deux.mp3");
    fs::path un = mp3("UN.MP3");
    write_file("notes.txt", "pas de musique");
    write_file("liste.m3u", "#EXTM3U\r\n#EXTINF:5,Trois - Titre\r\ntrois.mp3\r\nquatre.mp3\r\n");
    mp3("trois.mp3");
    mp3("quatre.mp3");

    ASSERT_TRUE(drop({deux, dir / "notes.txt", un, dir / "liste.m3u"}, 4));
    EXPECT_EQ(lines(), (std::vector<std::string>{"deux", "UN", "Trois - Titre", "quatre"}));
    // Into an empty playlist: the first entry becomes current, nothing plays.
    EXPECT_EQ(current_line(), 0);
    EXPECT_NE(decoder_state(), VBMP3_STATE_PLAYING);

    // The same files added as "Ajouter" adds them make the same entries.
    std::vector<std::string> dropped = paths();
    clear_playlist();
    add_names({"deux.mp3", "UN.MP3", "liste.m3u"});
    EXPECT_EQ(paths(), dropped);

    // A second drop goes after what is there.
    ASSERT_TRUE(drop({deux}, 5));
    EXPECT_EQ(lines().back(), "deux");
    EXPECT_EQ(current_line(), 0);
}

TEST_F(DropFiles, AFolderGivesItsMp3FilesAndThoseOfItsSubfoldersInNameOrder) {
    mp3("album/b.mp3");
    mp3("album/A.mp3");
    mp3("album/z.mp3");
    mp3("album/Sous/x.mp3");
    mp3("album/Sous/Plus bas/y.mp3");
    mp3("album/.cache/cachee.mp3");
    mp3("album/.cachee.mp3");
    write_file("album/pochette.jpg", "jpeg");
    write_file("album/liste.m3u", "#EXTM3U\r\nA.mp3\r\n");
    // A link back up would have the folder read for ever.
    fs::create_directory_symlink(dir / "album", dir / "album/boucle");
    mp3("seul.mp3");

    ASSERT_TRUE(drop({dir / "album", dir / "seul.mp3"}, 6));
    EXPECT_EQ(lines(), (std::vector<std::string>{"A", "b", "y", "x", "z", "seul"}));
    EXPECT_EQ(paths().front(), (dir / "album/A.mp3").string());
    EXPECT_EQ(paths()[2], (dir / "album/Sous/Plus bas/y.mp3").string());
}

// Names in every script come whole, from a drop and a folder dropped, a
// ".m3u8" among them; a name holding a line break, which would split its
// playlist line, and one that is not UTF-8 are left out.
TEST_F(DropFiles, NamesInEveryScriptAreAddedWholeAndLineBreaksLeftOut) {
    fs::path czech = mp3("Dvo\xC5\x99\xC3\xA1k.mp3");
    fs::path japanese = mp3("\xE6\x97\xA5\xE6\x9C\xAC.mp3");
    fs::path broken = mp3("deux\nlignes.mp3");
    mp3("\xD0\xBF\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0/\xCE\xA9mega.mp3");
    mp3("\xD0\xBF\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0/\xF0\x9F\x8E\xB5.mp3");
    mp3("\xD0\xBF\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0/Cafe\xCC\x81.mp3");
    mp3("\xD0\xBF\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0/retour\r.mp3");
    mp3("\xD0\xBF\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0/\xE9t\xE9.mp3");
    write_file(
        "liste.M3U8",
        "\xEF\xBB\xBF#EXTINF:4,\xC5\x81\xC3\xB3\x64\xC5\xBA\r\nDvo\xC5\x99\xC3\xA1k.mp3\r\n");

    ASSERT_TRUE(drop({czech, japanese, broken, dir / "\xD0\xBF\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0",
                      dir / "liste.M3U8"},
                     6));
    std::string folder = (dir / "\xD0\xBF\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0").string() + "/";
    EXPECT_EQ(paths(),
              (std::vector<std::string>{czech.string(), japanese.string(),
                                        folder + "Cafe\xCC\x81.mp3", folder + "\xCE\xA9mega.mp3",
                                        folder + "\xF0\x9F\x8E\xB5.mp3", czech.string()}));
    EXPECT_EQ(lines(), (std::vector<std::string>{"Dvo\xC5\x99\xC3\xA1k", "\xE6\x97\xA5\xE6\x9C\xAC",
                                                 "Cafe\xCC\x81", "\xCE\xA9mega", "\xF0\x9F\x8E\xB5",
                                                 "\xC5\x81\xC3\xB3\x64\xC5\xBA"}));
}

TEST_F(DropFiles, WhatNamesNoLocalFileIsRefusedAndAddsNothing) {
    QMimeData text;
    text.setText("deux.mp3");
    QWidget* list = platform_test_widget(item(IDC_PLAYLIST));
    QDragEnterEvent enter(list->rect().center(), Qt::CopyAction, &text, Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(list, &enter);
    EXPECT_FALSE(enter.isAccepted());

    QMimeData web;
    web.setUrls({QUrl("https://exemple.fr/deux.mp3")});
    QDropEvent drop(QPointF(list->rect().center()), Qt::CopyAction, &web, Qt::NoButton,
                    Qt::NoModifier);
    QApplication::sendEvent(list, &drop);
    EXPECT_FALSE(drop.isAccepted());

    // Gone before it is dropped: nothing is added.
    fs::path gone = mp3("parti.mp3");
    fs::remove(gone);
    EXPECT_TRUE(platform_test_drop_files(item(IDC_PLAYLIST), {gone.string()}));
    settle();
    EXPECT_TRUE(lines().empty());
}
