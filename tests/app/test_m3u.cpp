// The extended M3U format: what is written, byte for byte, and how every kind
// of line is read back.
#include "playlist_fixture.h"

struct Line {
    std::string title;
    int duration;
    std::string path;
    bool operator==(const Line&) const = default;
};

static std::ostream& operator<<(std::ostream& out, const Line& line) {
    return out << "{" << line.title << ", " << line.duration << ", " << line.path << "}";
}

// The text with every line that begins with "/" made an absolute path of this
// system (rooted), as a playlist written here would hold it.
static std::string rooted_lines(const std::string& text) {
    std::string result;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(begin, end - begin);
        result += line[0] == '/' ? rooted(line.substr(1)) : line;
        begin = end;
    }
    return result;
}

class M3uTest : public PlaylistTest {
  protected:
    // Reads a playlist file of the test directory as "Ajouter" would.
    void read_playlist(const std::string& name, const std::string& content) {
        write_file(name, content);
        std::string names = name + '\0';
        std::string directory = dir_path();
        add_files((int)SendMessageA(item(IDC_PLAYLIST), LB_GETCOUNT, 0, 0), directory.c_str(),
                  names.c_str());
    }

    std::vector<Line> entries() {
        checked_lines();
        std::vector<Line> result;
        for (PlaylistEntry* entry = playlist_head; entry != nullptr; entry = entry->next) {
            result.push_back({entry->title, entry->duration, entry->path});
        }
        return result;
    }

    std::string in_dir(const std::string& name) {
        return dir_path() + name;
    }
};

TEST_F(M3uTest, AWrittenPlaylistHasTheHeaderThenTwoCrLfLinesPerEntry) {
    read_playlist("in.m3u",
                  rooted_lines("#EXTINF:215,Artiste - Titre, avec, virgules\n/musique/a.mp3\n"
                               "#EXTINF:-3,N\xE9gatif\n/musique/b.mp3\n"));
    // The negative duration gave no entry; add one that has no EXTINF line.
    read_playlist("more.m3u", rooted_lines("#EXTINF:0,Z\xE9ro\n/musique/\xE9t\xE9.mp3\n"));
    write_m3u(in_dir("out.m3u").c_str());
    EXPECT_EQ(read_file("out.m3u"), rooted_lines("#EXTM3U\r\n"
                                                 "#EXTINF:215,Artiste - Titre, avec, virgules\r\n"
                                                 "/musique/a.mp3\r\n"
                                                 "#EXTINF:0,Z\xE9ro\r\n"
                                                 "/musique/\xE9t\xE9.mp3\r\n"));
    std::vector<Line> before = entries();

    clear_playlist();
    read_playlist("copy.m3u", read_file("out.m3u"));
    EXPECT_EQ(entries(), before);
}

TEST_F(M3uTest, ALineFeedInATitleIsWrittenAsASpace) {
    PlaylistEntry* entry = (PlaylistEntry*)malloc(sizeof(PlaylistEntry));
    entry->duration = 2;
    entry->title = strdup("Deux\nlignes");
    entry->path = strdup("/m/a.mp3");
    InsertionCursor cursor = begin_insertion(0);
    insert_entry(&cursor, entry);
    end_insertion(&cursor);
    write_m3u(in_dir("out.m3u").c_str());
    EXPECT_EQ(read_file("out.m3u"), "#EXTM3U\r\n#EXTINF:2,Deux lignes\r\n/m/a.mp3\r\n");
}

TEST_F(M3uTest, AnEmptyPlaylistIsTheHeaderAloneAndReadsAsNothing) {
    write_m3u(in_dir("empty.m3u").c_str());
    EXPECT_EQ(read_file("empty.m3u"), "#EXTM3U\r\n");
    read_playlist("copy.m3u", read_file("empty.m3u"));
    EXPECT_TRUE(entries().empty());
    EXPECT_EQ(current_entry, nullptr);
}

TEST_F(M3uTest, SavingOverAFileReplacesItsWholeContent) {
    write_file("out.m3u", std::string(5000, 'x'));
    load({"Seul"});
    write_m3u(in_dir("out.m3u").c_str());
    EXPECT_EQ(read_file("out.m3u"),
              "#EXTM3U\r\n#EXTINF:1,Seul\r\n" + path_in_dir("entry0.mp3") + "\r\n");
}

TEST_F(M3uTest, ExtinfLinesGiveTitleAndDurationByTheirRules) {
    auto m = [](const std::string& name) { return rooted("m/" + name + ".mp3"); };
    read_playlist("rules.m3u",
                  rooted_lines("#EXTINF:,Sans dur\xE9\x65\n/m/a.mp3\n"
                               "#EXTINF:7.9,Fraction\n/m/b.mp3\n"
                               "#EXTINF:abc,Pas un nombre\n/m/c.mp3\n"
                               "#EXTINF:  +12xyz,Espaces et signe\n/m/d.mp3\n"
                               "#EXTINF:5,Premier\n#EXTINF:6,Second\n/m/e.mp3\n"
                               "#EXTINF:8,Attend\n# commentaire\n\n  \nab\n#extinf:9,minuscule\n"
                               "#EXTINF:10,\n#EXTINF:3\n#EXTM3U\n/m/f.mp3\n"
                               "#EXTINF:-1,N\xE9gatif\n/m/g.mp3\n"
                               "/m/h.mp3\n"
                               "#EXTINF:99999999999,\xC9norme\n/m/i.mp3\n"));
    // Windows-1252 without a mark: the titles become the program's UTF-8.
    EXPECT_EQ(entries(), (std::vector<Line>{
                             {"Sans dur\xC3\xA9\x65", 0, m("a")},
                             {"Fraction", 7, m("b")},
                             {"Pas un nombre", 0, m("c")},
                             {"Espaces et signe", 12, m("d")},
                             {"Second", 6, m("e")},
                             {"Attend", 8, m("f")},
                             // No EXTINF waits: the name less its extension.
                             {"h", 0, m("h")},
                             {"\xC3\x89norme", 2147483647, m("i")},
                         }));
}

TEST_F(M3uTest, ShortLinesAreJudgedWithTheirLineFeed) {
    read_playlist("short.m3u", "#EXTINF:1,Trois\nabc\n#EXTINF:2,Deux\nab\nxyz\n#EXTINF:3,Fin\nabc");
    EXPECT_EQ(entries(), (std::vector<Line>{
                             {"Trois", 1, in_dir("abc")},
                             {"Deux", 2, in_dir("xyz")},
                         }));
}

TEST_F(M3uTest, CrLfAndBareLineFeedsReadAlike) {
    std::string lf = "#EXTM3U\n#EXTINF:4,Un\n/m/un.mp3\n#EXTINF:5,Deux\nrel/deux.mp3\n";
    std::string crlf = "#EXTM3U\r\n#EXTINF:4,Un\r\n/m/un.mp3\r\n#EXTINF:5,Deux\r\nrel/deux.mp3\r\n";
    read_playlist("lf.m3u", lf);
    std::vector<Line> from_lf = entries();
    clear_playlist();
    read_playlist("crlf.m3u", crlf);
    EXPECT_EQ(entries(), from_lf);
    EXPECT_EQ(from_lf.size(), 2u);
}

#ifndef _WIN32
// Without an EXTINF line the title is the name part less its extension: what
// follows the last backslash or "/" of the line, absolute or relative. A line
// written on Windows keeps its backslashes; a leading "/" makes a path
// absolute here.
TEST_F(M3uTest, PathLinesAreJoinedOrTakenWholeAndNamedAfterTheirLastSeparator) {
    fs::create_directory(dir / "sub");
    write_file("sub/list.m3u", "../musique/Ma chanson.mp3\n"
                               "dossier\\Windows.mp3\n"
                               "sub\\b.mp3\n"
                               "sub/b.mp3\n"
                               "C:\\Musique\\lecteur.mp3\n"
                               "D:titre.mp3\n"
                               "/home/x/a.mp3\n"
                               "/home/x\\melange.mp3\n"
                               "autre.m3u\n");
    write_file("sub/autre.m3u", "/ne/doit/pas/etre/lu.mp3\n");
    std::string directory = dir.string() + "/sub/";
    add_files(0, directory.c_str(), "list.m3u\0");
    EXPECT_EQ(entries(), (std::vector<Line>{
                             {"Ma chanson", 0, directory + "../musique/Ma chanson.mp3"},
                             {"Windows", 0, directory + "dossier/Windows.mp3"},
                             {"b", 0, directory + "sub/b.mp3"},
                             {"b", 0, directory + "sub/b.mp3"},
                             // A drive letter makes a path absolute; it is kept as written.
                             {"lecteur", 0, "C:\\Musique\\lecteur.mp3"},
                             {"D:titre", 0, "D:titre.mp3"},
                             {"a", 0, "/home/x/a.mp3"},
                             {"melange", 0, "/home/x\\melange.mp3"},
                             // Playlists do not nest: the line is an entry like any other.
                             {"autre", 0, directory + "autre.m3u"},
                         }));
}
#else
// Only a drive letter makes a path absolute: a line that begins with one
// backslash or two is joined to the folder like any other relative line. The
// title follows the last backslash.
TEST_F(M3uTest, PathLinesAreJoinedOrTakenWholeAndNamedAfterTheirLastBackslash) {
    fs::create_directory(dir / "sub");
    write_file("sub/list.m3u", "..\\musique\\Ma chanson.mp3\n"
                               "dossier\\Windows.mp3\n"
                               "C:\\Musique\\lecteur.mp3\n"
                               "D:titre.mp3\n"
                               "\\racine\\a.mp3\n"
                               "\\\\serveur\\partage\\b.mp3\n"
                               "autre.m3u\n");
    write_file("sub/autre.m3u", "C:\\ne\\doit\\pas\\etre\\lu.mp3\n");
    std::string directory = dir_path() + "sub\\";
    add_files(0, directory.c_str(), "list.m3u\0");
    EXPECT_EQ(entries(), (std::vector<Line>{
                             {"Ma chanson", 0, directory + "..\\musique\\Ma chanson.mp3"},
                             {"Windows", 0, directory + "dossier\\Windows.mp3"},
                             {"lecteur", 0, "C:\\Musique\\lecteur.mp3"},
                             {"D:titre", 0, "D:titre.mp3"},
                             {"a", 0, directory + "\\racine\\a.mp3"},
                             {"b", 0, directory + "\\\\serveur\\partage\\b.mp3"},
                             {"autre", 0, directory + "autre.m3u"},
                         }));
}
#endif

TEST_F(M3uTest, ALongLineCountsByItsFirstPieceAndACutPathGivesNoEntry) {
    std::string long_title(MAX_PATH + 40, 't');
    std::string long_path = rooted(std::string(MAX_PATH + 39, 'p'));
    // MAX_PATH - 1 bytes, then the line feed.
    std::string exact_path = rooted(std::string(MAX_PATH - 1 - rooted("").size(), 'e'));
    // Whole in the reader's piece, but past what a path may hold.
    std::string too_long_path = rooted(std::string(MAX_PATH + 10 - rooted("").size(), 'q'));
    read_playlist("long.m3u", "#EXTINF:5," + long_title + "\n" + rooted("m/a.mp3") +
                                  "\n#EXTINF:6,Perdu\n" + long_path + "\n#EXTINF:6,Perdu\n" +
                                  too_long_path + "\n" + rooted("m/b.mp3") + "\n#EXTINF:7,Exact\n" +
                                  exact_path + "\n" + "#EXTINF:8,Dernier\n" + exact_path);
    EXPECT_EQ(entries(), (std::vector<Line>{
                             // The first piece: "#EXTINF:5," and the title,
                             // cut to 255 bytes.
                             {std::string(255, 't'), 5, rooted("m/a.mp3")},
                             {"b", 0, rooted("m/b.mp3")},
                             {"Exact", 7, exact_path},
                             {"Dernier", 8, exact_path},
                         }));
}

TEST_F(M3uTest, AMissingPlaylistAddsNothingSilently) {
    std::string directory = dir_path();
    add_files(0, directory.c_str(), "absent.m3u\0");
    EXPECT_TRUE(entries().empty());
    EXPECT_EQ(text(IDC_TITLE_LABEL), "");
}

// Names and titles in every script, in the files other programs write (UTF-8
// without a mark, as "find" lists names; ".m3u8"), are read whole, and what
// is written reads back the same.
TEST_F(M3uTest, EveryScriptIsReadWholeAndWrittenToReadBackTheSame) {
    struct Row {
        const char* file;
        std::string content;
        std::vector<Line> entries;
    };
    const Row rows[] = {
        {"find.m3u",
         rooted_lines(
             "/m/Dvo\xC5\x99\xC3\xA1k - Largo.mp3\n/m/\xD0\x9C\xD0\xB5\xD0\xBB.mp3\n"
             "/m/\xCE\xA9mega.mp3\n/m/\xE6\x97\xA5\xE6\x9C\xAC.mp3\n"
             "/m/\xF0\x9F\x8E\xB5.mp3\n/m/Cafe\xCC\x81.mp3\n/m/\xC5\x81\xC3\xB3\x64\xC5\xBA.mp3\n"),
         {{"Dvo\xC5\x99\xC3\xA1k - Largo", 0, rooted("m/Dvo\xC5\x99\xC3\xA1k - Largo.mp3")},
          {"\xD0\x9C\xD0\xB5\xD0\xBB", 0, rooted("m/\xD0\x9C\xD0\xB5\xD0\xBB.mp3")},
          {"\xCE\xA9mega", 0, rooted("m/\xCE\xA9mega.mp3")},
          {"\xE6\x97\xA5\xE6\x9C\xAC", 0, rooted("m/\xE6\x97\xA5\xE6\x9C\xAC.mp3")},
          {"\xF0\x9F\x8E\xB5", 0, rooted("m/\xF0\x9F\x8E\xB5.mp3")},
          {"Cafe\xCC\x81", 0, rooted("m/Cafe\xCC\x81.mp3")},
          {"\xC5\x81\xC3\xB3\x64\xC5\xBA", 0, rooted("m/\xC5\x81\xC3\xB3\x64\xC5\xBA.mp3")}}},
        {"other.M3U8",
         rooted_lines("\xEF\xBB\xBF#EXTM3U\n#EXTINF:1,\xE2\x82\xAC \xE2\x86\x92\n/m/a.mp3\n"),
         {{"\xE2\x82\xAC \xE2\x86\x92", 1, rooted("m/a.mp3")}}},
        // "CafÃ©" names a real file: written, it must not come back as "Café".
        {"latin.m3u",
         rooted_lines("/m/Caf\xC3\x83\xC2\xA9.mp3\n"),
         {{"Caf\xC3\x83\xC2\xA9", 0, rooted("m/Caf\xC3\x83\xC2\xA9.mp3")}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        clear_playlist();
        read_playlist(row.file, row.content);
        EXPECT_EQ(entries(), row.entries);
        EXPECT_EQ(lines().size(), row.entries.size());
        write_m3u(in_dir("out.m3u").c_str());
        std::string written = read_file("out.m3u");
        clear_playlist();
        read_playlist("copy.m3u", written);
        EXPECT_EQ(entries(), row.entries);
        write_m3u(in_dir("out.m3u").c_str());
        EXPECT_EQ(read_file("out.m3u"), written);
    }
}

// A title as long as titles come (255 bytes) behind the longest duration:
// its line fits what the reader takes whole, and reads back as written.
TEST_F(M3uTest, ALongTitleReadsBackAsItWasWritten) {
    PlaylistEntry* entry = (PlaylistEntry*)malloc(sizeof(PlaylistEntry));
    entry->duration = -2147483647 - 1;
    std::string title = "x" + std::string(127, 'a');
    while (title.size() < 253)
        title += "\xD0\x96"; // two bytes
    entry->title = strdup(title.c_str());
    entry->path = strdup(rooted("m/a.mp3").c_str());
    InsertionCursor cursor = begin_insertion(0);
    insert_entry(&cursor, entry);
    end_insertion(&cursor);
    write_m3u(in_dir("out.m3u").c_str());
    std::string written = read_file("out.m3u");
    size_t begin = written.find("#EXTINF:");
    size_t end = written.find("\r\n", begin);
    std::string line = written.substr(begin, end - begin);
    std::string kept = line.substr(line.find(',') + 1);
    EXPECT_EQ(kept, title);

    // Read back: the title as written; written again: the same bytes.
    clear_playlist();
    written.replace(begin + 8, line.find(',') - 8, "5");
    read_playlist("copy.m3u", written);
    ASSERT_EQ(entries().size(), 1u);
    EXPECT_EQ(entries()[0].title, kept);
}
