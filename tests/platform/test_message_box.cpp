// MessageBoxA through the real QMessageBox: texts, buttons, icons, answers.
#include "platform/testing_dialogs.h"
#include "platform/win32.h"

#include "platform/qt_app.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>

class MessageBox : public ::testing::Test {
  protected:
    void SetUp() override {
        test_application();
        testing_reset_dialogs();
    }
};

TEST_F(MessageBox, ShowsTheWindowsTextWithItsButtonAndIcon) {
    QString text, caption;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    testing_queue_dialog_answer([&](QDialog* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        ASSERT_NE(box, nullptr);
        text = box->text();
        caption = box->windowTitle();
        icon = box->icon();
        for (QAbstractButton* button : box->buttons())
            buttons << button->text();
        box->buttons().first()->click();
    });
    EXPECT_EQ(MessageBoxA(nullptr, "Mon Dieu! Quelque chose ne va pas... :-( \xC3\xA9\xE2\x82\xAC",
                          "Attention", MB_OK | MB_ICONWARNING),
              IDOK);
    EXPECT_EQ(text, QString::fromUtf8("Mon Dieu! Quelque chose ne va pas... :-( é€"));
    EXPECT_EQ(caption, "Attention");
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, QStringList{"OK"});

    ASSERT_EQ(testing_dialog_requests().size(), 1u);
    const DialogRequest& asked = testing_dialog_requests()[0];
    EXPECT_EQ(asked.kind, DialogKind::message_box);
    EXPECT_EQ(asked.text, "Mon Dieu! Quelque chose ne va pas... :-( \xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(asked.title, "Attention");
    EXPECT_EQ(asked.flags, 0x30u);
}

TEST_F(MessageBox, AnswersAreTheButtonsPressed) {
    testing_answer_message_box(IDYES);
    EXPECT_EQ(MessageBoxA(nullptr, "?", "Q", MB_YESNO | MB_ICONQUESTION), IDYES);
    testing_answer_message_box(IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "?", "Q", MB_YESNO), IDNO);
    testing_answer_message_box(IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "?", "Q", MB_OKCANCEL), IDOK);
    testing_answer_message_box(IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, "?", "Q", MB_OKCANCEL), IDCANCEL);
}

TEST_F(MessageBox, EscapeAnswersAsWindowsDoes) {
    testing_cancel_next_dialog();
    EXPECT_EQ(MessageBoxA(nullptr, "x", "y", MB_OK), IDOK);
    testing_cancel_next_dialog();
    EXPECT_EQ(MessageBoxA(nullptr, "x", "y", MB_OKCANCEL | MB_ICONERROR), IDCANCEL);
    // No caption: Windows' own.
    testing_cancel_next_dialog();
    MessageBoxA(nullptr, "x", nullptr, MB_OK);
    EXPECT_EQ(testing_dialog_requests().back().title, "Erreur");
}
