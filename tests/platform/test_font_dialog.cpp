// ChooseFontA through the real QFontDialog: it opens on the given font and
// returns the choice in Windows' units.
#include "platform/testing_dialogs.h"
#include "platform/win32.h"

#include "platform/qt_app.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFontDialog>
#include <QLineEdit>
#include <QListView>
#include <QTest>

#include <cstring>

class FontDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        test_application();
        testing_reset_dialogs();
        std::strcpy(font.lfFaceName, "Liberation Sans");
        font.lfHeight = -12;
        font.lfWeight = FW_NORMAL;
    }

    // The font command's dialog.
    BOOL choose() {
        cf = CHOOSEFONTA{};
        cf.lStructSize = sizeof cf;
        cf.lpLogFont = &font;
        cf.Flags = 0x00460041;
        cf.nFontType = SCREEN_FONTTYPE;
        return ChooseFontA(&cf);
    }

    LOGFONTA font{};
    CHOOSEFONTA cf{};
};

TEST_F(FontDialog, OpensOnTheStoredFontWithoutEffects) {
    QFont shown;
    bool effects_shown = true;
    testing_queue_dialog_answer([&](QDialog* dialog) {
        auto* fonts = qobject_cast<QFontDialog*>(dialog);
        ASSERT_NE(fonts, nullptr);
        shown = fonts->currentFont();
        effects_shown = false;
        for (QCheckBox* box : fonts->findChildren<QCheckBox*>())
            effects_shown = effects_shown || box->isVisibleTo(fonts);
        fonts->reject();
    });
    font.lfItalic = 1;
    EXPECT_FALSE(choose());
    EXPECT_EQ(shown.family(), "Liberation Sans");
    EXPECT_DOUBLE_EQ(shown.pointSizeF(), 9.0); // 12 pixels at 96 DPI
    EXPECT_TRUE(shown.italic());
    EXPECT_FALSE(effects_shown);
    EXPECT_EQ(font.lfHeight, -12); // cancelled: untouched
    EXPECT_EQ(testing_dialog_requests()[0].flags, 0x00460041u);
    EXPECT_STREQ(testing_dialog_requests()[0].font.lfFaceName, "Liberation Sans");
}

TEST_F(FontDialog, ReturnsTheChoiceInWindowsUnits) {
    testing_answer_font_dialog("Liberation Serif", 12, true, false);
    font.lfCharSet = 1;
    ASSERT_TRUE(choose());
    EXPECT_STREQ(font.lfFaceName, "Liberation Serif");
    EXPECT_EQ(font.lfHeight, -16);
    EXPECT_EQ(font.lfWidth, 0);
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    EXPECT_EQ(font.lfItalic, 0);
    EXPECT_EQ(font.lfUnderline, 0);
    EXPECT_EQ(font.lfCharSet, ANSI_CHARSET);
    EXPECT_EQ(font.lfPitchAndFamily & 3, 2); // variable pitch
    EXPECT_EQ(cf.iPointSize, 120);

    testing_answer_font_dialog("Liberation Mono", 10, false, true);
    ASSERT_TRUE(choose());
    EXPECT_STREQ(font.lfFaceName, "Liberation Mono");
    EXPECT_EQ(font.lfHeight, -13);
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
    EXPECT_EQ(font.lfItalic, 1);
    EXPECT_EQ(font.lfPitchAndFamily & 3, 1); // fixed pitch
}

TEST_F(FontDialog, AHeightSurvivesOpeningAndConfirming) {
    for (LONG height : {-12, -16, -13, -21}) {
        font.lfHeight = height;
        testing_queue_dialog_answer([](QDialog* dialog) { dialog->accept(); });
        ASSERT_TRUE(choose());
        EXPECT_EQ(font.lfHeight, height);
        EXPECT_STREQ(font.lfFaceName, "Liberation Sans");
    }
}

TEST_F(FontDialog, AFaceTheSystemLacksOpensOnItsSubstitute) {
    std::strcpy(font.lfFaceName, "Arial");
    testing_queue_dialog_answer([](QDialog* dialog) { dialog->accept(); });
    ASSERT_TRUE(choose());
    EXPECT_STREQ(font.lfFaceName, "Liberation Sans");
    EXPECT_EQ(font.lfHeight, -12);
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
}

// The sample line shows its text in the dialog's font, tall enough for it.
static void expect_sample_shows(QFontDialog* dialog) {
    auto* sample = dialog->findChild<QLineEdit*>("qt_fontDialog_sampleEdit");
    ASSERT_NE(sample, nullptr);
    EXPECT_TRUE(sample->isVisible());
    EXPECT_FALSE(sample->text().isEmpty());
    EXPECT_EQ(sample->font().family(), dialog->currentFont().family());
    EXPECT_EQ(sample->font().pointSize(), dialog->currentFont().pointSize());
    EXPECT_GE(sample->height(), QFontMetrics(sample->font()).height());
}

// Clicks the line holding text in one of the dialog's lists.
static void click_in_list(QListView* list, const QString& text) {
    QModelIndexList found = list->model()->match(list->model()->index(0, 0), Qt::DisplayRole, text,
                                                 1, Qt::MatchExactly);
    ASSERT_FALSE(found.isEmpty());
    list->scrollTo(found[0]);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualRect(found[0]).center());
}

TEST_F(FontDialog, TheSampleShowsItsTextInTheChosenFont) {
    QFont chosen;
    testing_queue_dialog_answer([&](QDialog* dialog) {
        auto* fonts = qobject_cast<QFontDialog*>(dialog);
        ASSERT_NE(fonts, nullptr);
        expect_sample_shows(fonts);
        // The family, style and size lists, in the dialog's order.
        QList<QListView*> lists = fonts->findChildren<QListView*>();
        ASSERT_EQ(lists.size(), 3);
        click_in_list(lists[0], "Liberation Serif");
        click_in_list(lists[2], "16");
        chosen = fonts->currentFont();
        expect_sample_shows(fonts);
        fonts->accept();
    });
    ASSERT_TRUE(choose());
    EXPECT_EQ(chosen.family(), "Liberation Serif");
    EXPECT_EQ(chosen.pointSize(), 16);
    EXPECT_STREQ(font.lfFaceName, "Liberation Serif");
}
