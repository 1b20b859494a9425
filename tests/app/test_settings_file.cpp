// The settings file Froulard.ini: written in full at every start, in parts at
// close; values kept as stored, sliders clamping only what they show.
#include "app_fixture.h"

static std::string ini(std::initializer_list<std::string> keys) {
    std::string text = "[Init]\r\n";
    for (const std::string& key : keys) {
        text += key + "\r\n";
    }
    return text;
}

static const std::string default_settings = ini({
    "volume=50",
    "balance=100",
    "repeat=0",
    "fontfacename=Arial",
    "fontheight=-12",
    "fontclipprecision=0",
    "fontescapement=0",
    "fontitalic=0",
    "fontorientation=0",
    "fontoutprecision=0",
    "fontpitchandfamily=0",
    "fontquality=0",
    "fontstrikeout=0",
    "fontunderline=0",
    "fontweight=400",
    "fontwidth=0",
    "eq0=0",
    "eq1=0",
    "eq2=0",
    "eq3=0",
    "eq4=0",
    "eq5=0",
    "eq6=0",
    "eq7=0",
    "eq8=0",
    "eq9=0",
    "activateeq=0",
});

TEST_F(ColdAppTest, FirstStartWritesEveryKeyInOrderAndCloseWritesAnEmptyPlaylist) {
    start();
    EXPECT_EQ(read_file("Froulard.ini"), default_settings);
    EXPECT_EQ(text(IDC_TITLE_LABEL), "");
    EXPECT_EQ(text(IDC_TIME_LABEL), "--:-- / --:--");
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(slider(IDC_VOLUME_SLIDER), 50);
    EXPECT_EQ(slider(IDC_BALANCE_SLIDER), 100);

    EXPECT_EQ(close(), 0);
    EXPECT_EQ(read_file("Froulard.m3u"), "#EXTM3U\r\n");
    EXPECT_EQ(read_file("Froulard.ini"), default_settings);
}

TEST_F(ColdAppTest, OutOfRangeVolumeIsClampedByTheSliderButWrittenBackAsStoredUntilClose) {
    write_file("Froulard.ini", ini({"volume=150", "balance=-20"}));
    start();
    EXPECT_EQ(slider(IDC_VOLUME_SLIDER), 100);
    EXPECT_EQ(slider(IDC_BALANCE_SLIDER), 0);
    std::string file = read_file("Froulard.ini");
    EXPECT_EQ(ini_value(file, "volume"), "150");
    EXPECT_EQ(ini_value(file, "balance"), "-20");
    // The missing keys were added after the two that were there.
    EXPECT_EQ(file.rfind("[Init]\r\nvolume=150\r\nbalance=-20\r\nrepeat=0\r\nfontfacename=", 0),
              0u);

    close();
    file = read_file("Froulard.ini");
    EXPECT_EQ(ini_value(file, "volume"), "100");
    EXPECT_EQ(ini_value(file, "balance"), "0");
}

TEST_F(ColdAppTest, FontFieldsSurviveRestartsWithFaceCutAndBytesMasked) {
    // 40 bytes each: cut to the 31 that fit, at a character boundary.
    std::string face40 = "Abcdefghijklmnopqrstuvwxyz0123456789ABCD";
    std::string cyrillic40;
    for (int i = 0; i < 20; i++)
        cyrillic40 += "\xD0\x96";
    for (auto [face, kept] : {std::pair{face40, face40.substr(0, 31)},
                              std::pair{cyrillic40, cyrillic40.substr(0, 30)}}) {
        write_file("Froulard.ini", ini({"fontfacename=" + face, "fontheight=-16", "fontitalic=257",
                                        "fontweight=700", "fontquality=-1"}));
        for (int run = 0; run < 3; run++) {
            start();
            close();
            std::string file = read_file("Froulard.ini");
            EXPECT_EQ(ini_value(file, "fontfacename"), kept) << "run " << run;
            EXPECT_EQ(ini_value(file, "fontheight"), "-16") << "run " << run;
            EXPECT_EQ(ini_value(file, "fontitalic"), "1") << "run " << run;
            EXPECT_EQ(ini_value(file, "fontweight"), "700") << "run " << run;
            EXPECT_EQ(ini_value(file, "fontquality"), "255") << "run " << run;
        }
    }
}

TEST_F(ColdAppTest, EqualizerValuesAreUsedAsStoredAndWrittenBackEvenWhenInactive) {
    write_file("Froulard.ini", ini({"eq3=-45", "eq0=250", "activateeq=0"}));
    start();
    EXPECT_EQ(eq_bands[3], -45);
    EXPECT_EQ(eq_bands[0], 250);
    EXPECT_EQ(eq_active, 0);
    std::string file = read_file("Froulard.ini");
    EXPECT_EQ(ini_value(file, "eq3"), "-45");
    EXPECT_EQ(ini_value(file, "eq0"), "250");
    EXPECT_EQ(ini_value(file, "activateeq"), "0");
}

TEST_F(ColdAppTest, RepeatVolumeAndBalanceComeBackAtTheNextStart) {
    start();
    click(IDC_REPEAT);
    EXPECT_EQ(IsDlgButtonChecked(main_dialog, IDC_REPEAT), 1u);
    SendMessageA(item(IDC_VOLUME_SLIDER), TBM_SETPOS, TRUE, 73);
    SendMessageA(item(IDC_BALANCE_SLIDER), TBM_SETPOS, TRUE, 140);
    close();

    start();
    EXPECT_EQ(IsDlgButtonChecked(main_dialog, IDC_REPEAT), 1u);
    EXPECT_EQ(slider(IDC_VOLUME_SLIDER), 73);
    EXPECT_EQ(slider(IDC_BALANCE_SLIDER), 140);
    std::string file = read_file("Froulard.ini");
    EXPECT_EQ(ini_value(file, "repeat"), "1");
}

TEST_F(ColdAppTest, TheDefaultPlaylistComesBackWithItsFirstEntryCurrentAndNothingPlaying) {
    std::string playlist = "#EXTM3U\r\n#EXTINF:75,Un - Premier\r\n" + rooted("nowhere/un.mp3") +
                           "\r\n#EXTINF:600,Deux - Second\r\n" + rooted("nowhere/deux.mp3") +
                           "\r\n";
    write_file("Froulard.m3u", playlist);
    start();
    EXPECT_EQ(lines(), (std::vector<std::string>{"Un - Premier", "Deux - Second"}));
    EXPECT_EQ(current_line(), 0);
    EXPECT_EQ(text(IDC_TITLE_LABEL), "Un - Premier");
    EXPECT_EQ(text(IDC_TIME_LABEL), "1:15");
    EXPECT_EQ(slider_max(IDC_TIME_SLIDER), 75);
    EXPECT_EQ(decoder_state(), 0);

    close();
    EXPECT_EQ(read_file("Froulard.m3u"), playlist);
}

// Linux holds a start folder of any length the system allows; Windows, past
// its 260 bytes, falls back to paths relative to the current folder, and a
// relative line then stays the same from start to start.
TEST_F(ColdAppTest, ALongStartDirectoryIsHeldWholeOrItsLinesNeverGrow) {
    fs::path deep = dir / std::string(100, 'a') / std::string(100, 'b') / std::string(60, 'c');
    fs::create_directories(deep);
    fs::current_path(deep);
    ASSERT_GT(deep.string().size() + 1 + 12, 259u);
    fs::copy_file(fixture("no_tag.mp3"), deep / "t.mp3");
    write_file((deep / "Froulard.m3u").string(), "#EXTM3U\r\n#EXTINF:1,T\r\nt.mp3\r\n");
    std::string written;
    for (int run = 0; run < 3; run++) {
        start();
#ifdef _WIN32
        EXPECT_STREQ(program_dir, "");
#else
        EXPECT_EQ(std::string(program_dir), deep.string() + "/");
#endif
        EXPECT_EQ(lines(), std::vector<std::string>{"T"});
        close();
        EXPECT_TRUE(fs::exists(deep / "Froulard.ini"));
        if (run > 0) {
            EXPECT_EQ(read_file((deep / "Froulard.m3u").string()), written);
        }
        written = read_file((deep / "Froulard.m3u").string());
    }
}

// The user's own playlist in every script, as "find" lists names (UTF-8, no
// mark): read at the start and shown, written at the close, and read back
// the same at the next start.
TEST_F(ColdAppTest, ThePlaylistInEveryScriptComesBackTheSameFromStartToStart) {
    const char* names[] = {"Dvo\xC5\x99\xC3\xA1k - Largo",
                           "\xD0\x9C\xD0\xB5\xD0\xBB\xD0\xBE\xD0\xB4\xD0\xB8\xD1\x8F",
                           "09 \xCE\xA9mega",
                           "\xE6\x97\xA5\xE6\x9C\xAC\xE3\x81\xAE\xE6\xAD\x8C",
                           "\xF0\x9F\x8E\xB5 f\xC3\xAAte",
                           "Cafe\xCC\x81",
                           "\xC5\x81\xC3\xB3\x64\xC5\xBA 5\xE2\x80\xAF\xE2\x82\xAC"};
    std::string listing;
    std::vector<std::string> titles;
    for (const char* name : names) {
        // Joined as bytes: a narrow std::filesystem path is not UTF-8 on Windows.
        std::string path = dir_path() + name + ".mp3";
        fs::copy_file(fixture("no_tag.mp3"),
                      fs::path(std::u8string(reinterpret_cast<const char8_t*>(path.c_str()))));
        listing += path + "\n";
        titles.push_back(name);
    }
    write_file("Froulard.m3u", listing);
    start();
    EXPECT_EQ(lines(), titles);
    EXPECT_EQ(text(IDC_TITLE_LABEL), titles[0]);
    close();
    std::string written = read_file("Froulard.m3u");
    EXPECT_EQ(written.substr(0, 3), "\xEF\xBB\xBF");
    start();
    EXPECT_EQ(lines(), titles);
    close();
    EXPECT_EQ(read_file("Froulard.m3u"), written);
}

TEST_F(ColdAppTest, TheStartDirectoryEndsInTheSeparator) {
    start();
    EXPECT_EQ(std::string(program_dir), dir_path());
}
