// The font dialog through the window interface: it opens on the stored font,
// a choice is written to the settings file, cancelling writes nothing. What
// the choice does to the controls is in tests/app_input/test_font_about.cpp.
#include "app_fixture.h"

class FontChoiceTest : public AppTest {};

TEST_F(FontChoiceTest, CancellingTheFontDialogWritesNothingAndItOpensOnTheStoredFont) {
    std::string before = read_file("Froulard.ini");
    testing_cancel_next_dialog();
    click(IDC_FONT);
    ASSERT_EQ(testing_dialog_requests().size(), 1u);
    const DialogRequest& request = testing_dialog_requests()[0];
    EXPECT_EQ(request.kind, DialogKind::font);
    EXPECT_STREQ(request.font.lfFaceName, "Arial");
    EXPECT_EQ(request.font.lfHeight, -12);
    EXPECT_EQ(request.font.lfWeight, 400);
    EXPECT_EQ(request.flags, 0x00460041u);
    EXPECT_EQ(read_file("Froulard.ini"), before);
    EXPECT_TRUE(IsWindowEnabled(main_dialog));
}

TEST_F(FontChoiceTest, AChosenFontIsStoredAndTheDialogOpensOnItNextTime) {
    testing_answer_font_dialog("Liberation Serif", 12, true, true);
    click(IDC_FONT);
    std::string file = read_file("Froulard.ini");
    EXPECT_EQ(ini_value(file, "fontfacename"), "Liberation Serif");
    EXPECT_EQ(ini_value(file, "fontweight"), "700");
    EXPECT_EQ(ini_value(file, "fontitalic"), "1");
    EXPECT_EQ(ini_value(file, "fontheight"), "-16"); // 12 points at 96 DPI

    testing_answer_font_dialog("Liberation Mono", 10, false, false);
    click(IDC_FONT);
    ASSERT_EQ(testing_dialog_requests().size(), 2u);
    const DialogRequest& second = testing_dialog_requests()[1];
    EXPECT_STREQ(second.font.lfFaceName, "Liberation Serif");
    EXPECT_EQ(second.font.lfHeight, -16);
    EXPECT_EQ(second.font.lfWeight, 700);
    EXPECT_EQ(second.font.lfItalic, 1);
    file = read_file("Froulard.ini");
    EXPECT_EQ(ini_value(file, "fontfacename"), "Liberation Mono");
    EXPECT_EQ(ini_value(file, "fontweight"), "400");
    EXPECT_EQ(ini_value(file, "fontitalic"), "0");
    EXPECT_EQ(ini_value(file, "fontheight"), "-13"); // 10 points at 96 DPI
}
