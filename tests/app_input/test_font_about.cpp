// The font choice and the About box: a choice reaches the main window, the
// file and the dialogs opened later (the dialog itself, and cancelling it,
// are in tests/app/test_font_choice.cpp); About closes with Esc and
// "Fermer"; the player goes on while a modal dialog is open.
#include "input_fixture.h"

#include "app/about.h"

#include <QFont>

class FontAboutTest : public AppTest {
  protected:
    static QFont font_of(HWND window) {
        return platform_test_widget(window)->font();
    }
};

TEST_F(FontAboutTest, AChosenFontReachesTheMainWindowTheFileAndTheDialogsOpenedLater) {
    QFont template_font = font_of(item(IDC_VOLUME_SLIDER));
    testing_answer_font_dialog("Liberation Serif", 12, true, true);
    click(IDC_FONT);
    for (int id : {IDC_PLAY, IDC_PAUSE, IDC_ABOUT, IDC_REPEAT, IDC_PLAYLIST, IDC_TITLE_LABEL,
                   IDC_LIST_GROUP}) {
        QFont font = font_of(item(id));
        EXPECT_EQ(font.family(), "Liberation Serif") << id;
        EXPECT_TRUE(font.bold()) << id;
        EXPECT_TRUE(font.italic()) << id;
    }
    EXPECT_EQ(font_of(item(IDC_VOLUME_SLIDER)), template_font); // sliders keep theirs

    std::string file = read_file("Froulard.ini");
    EXPECT_NE(file.find("\r\nfontfacename=Liberation Serif\r\n"), std::string::npos);
    EXPECT_NE(file.find("\r\nfontweight=700\r\n"), std::string::npos);
    EXPECT_NE(file.find("\r\nfontitalic=1\r\n"), std::string::npos);
    EXPECT_NE(file.find("\r\nfontheight=-16\r\n"), std::string::npos); // 12 points at 96 DPI

    bool about_seen = false;
    in_next_modal([&](HWND about) {
        about_seen = true;
        for (int id : {ABOUT_CREDIT, ABOUT_INVITATION, IDCANCEL}) {
            EXPECT_EQ(font_of(GetDlgItem(about, id)).family(), "Liberation Serif") << id;
        }
        EXPECT_EQ(window_text(GetDlgItem(about, ABOUT_INVITATION)),
                  "Vos remarques sont les bienvenues!");
        EXPECT_NE(window_text(GetDlgItem(about, ABOUT_CREDIT)).find("Melodiane"),
                  std::string::npos);
        EXPECT_EQ(GetFocus(), GetDlgItem(about, IDCANCEL));
        key(GetDlgItem(about, IDCANCEL), Qt::Key_Escape);
    });
    click(IDC_ABOUT);
    EXPECT_TRUE(about_seen);

    bool equalizer_seen = false;
    in_next_modal([&](HWND equalizer) {
        equalizer_seen = true;
        for (int id : {EQ_LAUNCH, EQ_ZERO, EQ_VALUE_LABEL, EQ_FIRST_BAND_LABEL + 9}) {
            EXPECT_EQ(font_of(GetDlgItem(equalizer, id)).family(), "Liberation Serif") << id;
        }
    });
    click(IDC_EQUALIZER);
    EXPECT_TRUE(equalizer_seen);
}

TEST_F(FontAboutTest, AboutClosesWithFermerAndPlaybackGoesOnMeanwhile) {
    make_long_mp3("long.mp3", 3);
    add_names({"long.mp3"});
    click(IDC_PLAY);
    std::string label_before;
    std::string label_after;
    in_next_modal([&](HWND about) {
        EXPECT_FALSE(IsWindowEnabled(main_dialog));
        label_before = text(IDC_TIME_LABEL);
        wait_until([&] { return text(IDC_TIME_LABEL) != label_before; });
        label_after = text(IDC_TIME_LABEL);
        click_window(GetDlgItem(about, IDCANCEL));
        EXPECT_FALSE(shown(about));
    });
    click(IDC_ABOUT);
    EXPECT_NE(label_before, label_after);
    EXPECT_TRUE(IsWindowEnabled(main_dialog));
    EXPECT_EQ(decoder_state(), 1);

    bool closed_by_enter = false;
    in_next_modal([&](HWND about) {
        key(GetDlgItem(about, IDCANCEL), Qt::Key_Return); // "Fermer" has the focus
        closed_by_enter = !shown(about);
    });
    click(IDC_ABOUT);
    EXPECT_TRUE(closed_by_enter);
}
