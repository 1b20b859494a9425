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
    EXPECT_EQ(text(MAIN_TITLE_LABEL), "");
    EXPECT_EQ(text(MAIN_TIME_LABEL), "--:-- / --:--");
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(slider(MAIN_VOLUME_SLIDER), 50);
    EXPECT_EQ(slider(MAIN_BALANCE_SLIDER), 100);

    EXPECT_EQ(close(), 0);
    EXPECT_EQ(read_file("Froulard.m3u"), "#EXTM3U\r\n");
    EXPECT_EQ(read_file("Froulard.ini"), default_settings);
}

TEST_F(ColdAppTest, OutOfRangeVolumeIsClampedByTheSliderButWrittenBackAsStoredUntilClose) {
    write_file("Froulard.ini", ini({"volume=150", "balance=-20"}));
    start();
    EXPECT_EQ(slider(MAIN_VOLUME_SLIDER), 100);
    EXPECT_EQ(slider(MAIN_BALANCE_SLIDER), 0);
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
    std::string face40 = "Abcdefghijklmnopqrstuvwxyz0123456789ABCD";
    write_file("Froulard.ini", ini({"fontfacename=" + face40, "fontheight=-16", "fontitalic=257",
                                    "fontweight=700", "fontquality=-1"}));
    for (int run = 0; run < 3; run++) {
        start();
        close();
        std::string file = read_file("Froulard.ini");
        EXPECT_EQ(ini_value(file, "fontfacename"), face40.substr(0, 31)) << "run " << run;
        EXPECT_EQ(ini_value(file, "fontheight"), "-16") << "run " << run;
        EXPECT_EQ(ini_value(file, "fontitalic"), "1") << "run " << run;
        EXPECT_EQ(ini_value(file, "fontweight"), "700") << "run " << run;
        EXPECT_EQ(ini_value(file, "fontquality"), "255") << "run " << run;
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
    click(MAIN_REPEAT);
    EXPECT_EQ(IsDlgButtonChecked(main_dialog, MAIN_REPEAT), 1u);
    SendMessageA(item(MAIN_VOLUME_SLIDER), TBM_SETPOS, TRUE, 73);
    SendMessageA(item(MAIN_BALANCE_SLIDER), TBM_SETPOS, TRUE, 140);
    close();

    start();
    EXPECT_EQ(IsDlgButtonChecked(main_dialog, MAIN_REPEAT), 1u);
    EXPECT_EQ(slider(MAIN_VOLUME_SLIDER), 73);
    EXPECT_EQ(slider(MAIN_BALANCE_SLIDER), 140);
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
    EXPECT_EQ(text(MAIN_TITLE_LABEL), "Un - Premier");
    EXPECT_EQ(text(MAIN_TIME_LABEL), "1:15");
    EXPECT_EQ(slider_max(MAIN_TIME_SLIDER), 75);
    EXPECT_EQ(decoder_state(), 0);

    close();
    EXPECT_EQ(read_file("Froulard.m3u"), playlist);
}

TEST_F(ColdAppTest, AStartDirectoryTooLongForTheFileNamesFallsBackToARelativeOne) {
    fs::path deep = dir / std::string(100, 'a') / std::string(100, 'b') / std::string(60, 'c');
    fs::create_directories(deep);
    fs::current_path(deep);
    ASSERT_GT(deep.string().size() + 1 + 12, 259u);
    start();
    EXPECT_STREQ(program_dir, "." PATH_SEPARATOR_STRING);
    close();
    EXPECT_TRUE(fs::exists(deep / "Froulard.ini"));
    EXPECT_EQ(read_file((deep / "Froulard.m3u").string()), "#EXTM3U\r\n");
}

TEST_F(ColdAppTest, TheStartDirectoryEndsInTheSeparator) {
    start();
    EXPECT_EQ(std::string(program_dir), dir_path());
}
