// Hostile settings and playlist files met by the real start-up: binary and NUL
// bytes, lines of 100,000 bytes, 10,000 keys, repeated keys and sections,
// values far out of range. What can be read is read by the usual rules (the
// first of repeated keys and sections wins), what cannot is skipped, nothing
// else in the file is lost, and the program runs and closes normally.
#include "app_fixture.h"

#include <random>

namespace {

// Seeded random bytes: the same file every run.
std::string random_bytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = (char)(random() & 0xFF);
    }
    return bytes;
}

} // namespace

class HostileFiles : public ColdAppTest {
  protected:
    // The playlist and the list box agree, and no title or path outgrows its buffer.
    void expect_sound_playlist() {
        size_t count = 0;
        for (PlaylistEntry* e = playlist_head; e != nullptr; e = e->next, count++) {
            EXPECT_LT(strlen(e->title), 260u);
            EXPECT_LT(strlen(e->path), (size_t)MAX_PATH);
        }
        EXPECT_EQ(lines().size(), count);
    }
};

TEST_F(HostileFiles, SettingsWithBinaryAndNulBytesKeepTheirReadableKeysAndTheRest) {
    // Junk lines before the section are outside every section; junk after
    // the keys follows them in the section.
    std::string head = random_bytes(4096, 1);
    std::string tail = random_bytes(4096, 2);
    for (char& c : head) {
        if (c == '[' || c == '\n') {
            c = 'x'; // no section may begin inside the junk before ours
        }
    }
    std::string nul_face = std::string("fontfacename=Ab\0cd", 18);
    write_file("Froulard.ini", head + "\r\n[Init]\r\nvolume=30\r\n" + nul_face +
                                   "\r\nbalance=120\r\nrepeat=1\r\n" + tail + "\r\n");
    start();
    EXPECT_EQ(slider(IDC_VOLUME_SLIDER), 30);
    EXPECT_EQ(slider(IDC_BALANCE_SLIDER), 120);
    EXPECT_EQ(IsDlgButtonChecked(main_dialog, IDC_REPEAT), 1u);
    std::string file = read_file("Froulard.ini");
    EXPECT_EQ(file.substr(0, head.size()), head); // nothing before the section is lost
    EXPECT_EQ(ini_value(file, "volume"), "30");
    EXPECT_EQ(ini_value(file, "eq9"), "0"); // the missing keys were added
    EXPECT_EQ(close(), 0);
}

TEST_F(HostileFiles, SettingsLinesOf100000BytesAreReadAndTheFaceNameCut) {
    std::string long_face(100000, 'A');
    std::string no_equals(100000, 'x');
    write_file("Froulard.ini", "[Init]\r\nfontfacename=" + long_face + "\r\nvolume=20\r\n" +
                                   no_equals + "\r\nbalance=150\r\n");
    start();
    EXPECT_EQ(slider(IDC_VOLUME_SLIDER), 20);
    EXPECT_EQ(slider(IDC_BALANCE_SLIDER), 150);
    std::string file = read_file("Froulard.ini");
    EXPECT_EQ(ini_value(file, "fontfacename"), std::string(31, 'A'));
    EXPECT_NE(file.find(no_equals), std::string::npos);
    EXPECT_EQ(close(), 0);
}

TEST_F(HostileFiles, TenThousandKeysAreKeptAndTheProgramsOwnFoundAmongThem) {
    std::string text = "[Init]\r\n";
    for (int i = 0; i < 10000; i++) {
        text += "cle" + std::to_string(i) + "=" + std::to_string(i * 7) + "\r\n";
    }
    text += "volume=20\r\nactivateeq=1\r\neq4=-35\r\n";
    write_file("Froulard.ini", text);
    start();
    EXPECT_EQ(slider(IDC_VOLUME_SLIDER), 20);
    EXPECT_EQ(eq_active, 1);
    EXPECT_EQ(eq_bands[4], -35);
    SendMessageA(item(IDC_VOLUME_SLIDER), TBM_SETPOS, TRUE, 60);
    EXPECT_EQ(close(), 0);
    std::string file = read_file("Froulard.ini");
    EXPECT_EQ(ini_value(file, "volume"), "60");
    EXPECT_EQ(ini_value(file, "cle0"), "0");
    EXPECT_EQ(ini_value(file, "cle9999"), "69993");
    EXPECT_EQ(ini_value(file, "fontweight"), "400");
}

TEST_F(HostileFiles, TheFirstOfRepeatedKeysAndSectionsWins) {
    write_file("Froulard.ini", "[Init]\r\nvolume=10\r\nVOLUME=90\r\nvolume=80\r\n"
                               "[Autre]\r\nbalance=7\r\n[init]\r\nbalance=150\r\nrepeat=1\r\n"
                               "[Init]\r\nvolume=70\r\n");
    start();
    EXPECT_EQ(slider(IDC_VOLUME_SLIDER), 10);
    EXPECT_EQ(slider(IDC_BALANCE_SLIDER), 100); // only the first "Init" section counts
    EXPECT_EQ(IsDlgButtonChecked(main_dialog, IDC_REPEAT), 0u);
    SendMessageA(item(IDC_VOLUME_SLIDER), TBM_SETPOS, TRUE, 44);
    EXPECT_EQ(close(), 0);

    start(); // what the close wrote is what the next start reads
    EXPECT_EQ(slider(IDC_VOLUME_SLIDER), 44);
    std::string file = read_file("Froulard.ini");
    EXPECT_NE(file.find("[Autre]\r\nbalance=7\r\n"), std::string::npos);
    EXPECT_EQ(close(), 0);
}

TEST_F(HostileFiles, ValuesFarOutOfRangeAreClampedOnlyWhereTheControlsClampThem) {
    fs::copy_file(fixture("no_tag.mp3"), dir / "un.mp3");
    write_file("Froulard.m3u", "#EXTM3U\r\n" + path_in_dir("un.mp3") + "\r\n");
    write_file("Froulard.ini", "[Init]\r\nvolume=99999999999\r\nbalance=-99999999999\r\n"
                               "repeat=0\r\nfontheight=-2147483649\r\nfontweight=abc\r\n"
                               "fontitalic=-1\r\nactivateeq=5\r\neq0=30000\r\neq1=-30000\r\n"
                               "eq2=2147483647\r\neq3=-2147483648\r\n");
    start();
    int volume = slider(IDC_VOLUME_SLIDER);
    int balance = slider(IDC_BALANCE_SLIDER);
    EXPECT_TRUE(volume >= 0 && volume <= 100) << volume;
    EXPECT_TRUE(balance >= 0 && balance <= 200) << balance;
    EXPECT_EQ(eq_bands[0], 30000); // used as stored
    EXPECT_NE(eq_active, 0);
    std::string file = read_file("Froulard.ini");
    EXPECT_EQ(ini_value(file, "fontweight"), "0"); // no digits read as 0
    EXPECT_EQ(ini_value(file, "fontitalic"), "255");

    // The extreme bands are applied while a track plays: it plays to its end.
    click(IDC_PLAY);
    EXPECT_EQ(decoder_state(), 1);
    EXPECT_TRUE(wait_until([] { return decoder_state() == 0; }, 10000));
    EXPECT_EQ(close(), 0);
}

// Every stored integer at and beyond the int limits, each key at once: the
// start (the font made from the stored fields), a track played with the
// bands applied and the close run without undefined behaviour (the
// sanitizer build ends the test at the first), and what is stored is read
// as Windows reads it.
TEST_F(HostileFiles, EveryStoredIntegerAtAndBeyondTheIntLimitsIsHandled) {
    // repeat stays off, so that each track ends; it is only compared with 0.
    static const char* const keys[] = {"volume",
                                       "balance",
                                       "activateeq",
                                       "fontheight",
                                       "fontwidth",
                                       "fontweight",
                                       "fontescapement",
                                       "fontorientation",
                                       "fontitalic",
                                       "fontunderline",
                                       "fontstrikeout",
                                       "fontclipprecision",
                                       "fontoutprecision",
                                       "fontpitchandfamily",
                                       "fontquality",
                                       "eq0",
                                       "eq1",
                                       "eq2",
                                       "eq3",
                                       "eq4",
                                       "eq5",
                                       "eq6",
                                       "eq7",
                                       "eq8",
                                       "eq9"};
    struct Limit {
        const char* stored;
        const char* read_as; // the 32-bit value it reads as, written back by a long field
    } limits[] = {
        {"-2147483648", "-2147483648"},
        {"2147483647", "2147483647"},
        {"-2147483649", "2147483647"},
        {"2147483648", "-2147483648"},
        {"4294967295", "-1"},
        {"-99999999999999999999", "-1661992959"},
        {"99999999999999999999", "1661992959"},
    };
    fs::copy_file(fixture("no_tag.mp3"), dir / "un.mp3");
    for (const Limit& limit : limits) {
        SCOPED_TRACE(limit.stored);
        std::string ini = "[Init]\r\nrepeat=0\r\n";
        for (const char* key : keys) {
            ini += std::string(key) + "=" + limit.stored + "\r\n";
        }
        write_file("Froulard.ini", ini);
        write_file("Froulard.m3u", "#EXTM3U\r\n" + path_in_dir("un.mp3") + "\r\n");
        start();
        EXPECT_TRUE(slider(IDC_VOLUME_SLIDER) >= 0 && slider(IDC_VOLUME_SLIDER) <= 100);
        EXPECT_TRUE(slider(IDC_BALANCE_SLIDER) >= 0 && slider(IDC_BALANCE_SLIDER) <= 200);
        std::string file = read_file("Froulard.ini");
        EXPECT_EQ(ini_value(file, "fontheight"), limit.read_as);
        EXPECT_EQ(ini_value(file, "eq9"), limit.read_as);
        click(IDC_PLAY);
        EXPECT_TRUE(wait_until([] { return decoder_state() == 0; }, 10000));
        EXPECT_EQ(close(), 0);
    }
}

TEST_F(HostileFiles, PlaylistWithBinaryNulAndLongLinesReadsWhatItCanAndSavesItWhole) {
    std::string junk = random_bytes(20000, 3);
    std::string nul_line = std::string("/dossier/avec\0nul.mp3", 21);
    std::string long_extinf = "#EXTINF:7," + std::string(100000, 'T');
    std::string long_path = "/" + std::string(99999, 'p');
    write_file("Froulard.m3u", "#EXTM3U\r\n" + junk + "\r\n" + nul_line + "\r\n" + long_extinf +
                                   "\r\n" + long_path + "\r\n" +
                                   "#EXTINF:42,Dernier - Titre\r\n/musique/dernier.mp3\r\n");
    start();
    expect_sound_playlist();
    std::vector<std::string> shown = lines();
    ASSERT_FALSE(shown.empty());
    // The last entry, after every hostile line, is read as usual.
    EXPECT_EQ(shown.back(), "Dernier - Titre");
    EXPECT_EQ(current_line(), 0);

    // What the close saves reads back as the same list.
    EXPECT_EQ(close(), 0);
    std::string saved = read_file("Froulard.m3u");
    start();
    EXPECT_EQ(lines(), shown);
    EXPECT_EQ(close(), 0);
    EXPECT_EQ(read_file("Froulard.m3u"), saved);
}

TEST_F(HostileFiles, PlaylistOfOnlyJunkGivesAnEmptyOrSoundList) {
    write_file("Froulard.m3u", random_bytes(100000, 4));
    start();
    expect_sound_playlist();
    click(IDC_NEXT);
    click(IDC_STOP);
    EXPECT_EQ(close(), 0);
}
