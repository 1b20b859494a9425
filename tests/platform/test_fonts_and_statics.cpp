// Fonts made from descriptions and given with WM_SETFONT, labels showing the
// program's text as written, and the About picture from its bitmap file.
#include "window_fixture.h"

#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QTemporaryDir>

#include <cstring>

TEST_F(MainWindowTest, FontsFollowTheirDescriptionInWindowsUnits) {
    HFONT template_font = reinterpret_cast<HFONT>(SendMessageA(item(1), WM_GETFONT, 0, 0));
    ASSERT_NE(template_font, nullptr);
    EXPECT_EQ(QFontInfo(widget(1)->font()).pixelSize(), 12); // 9 points at 96 DPI

    LOGFONTA description{};
    description.lfHeight = -16; // character height in pixels
    description.lfWeight = FW_BOLD;
    description.lfItalic = 1;
    std::strcpy(description.lfFaceName, "Arial");
    HFONT font = CreateFontIndirectA(&description);
    ASSERT_NE(font, nullptr);
    SendMessageA(item(1022), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(item(1022), WM_GETFONT, 0, 0)), font);
    QFontInfo info(widget(1022)->font());
    EXPECT_EQ(info.pixelSize(), 16);
    EXPECT_TRUE(info.bold());
    EXPECT_TRUE(info.italic());
    EXPECT_TRUE(info.family() == "Arial" || info.family() == "Liberation Sans");

    description.lfHeight = 20; // cell height: ascent and descent together
    description.lfWeight = FW_NORMAL;
    SendMessageA(item(1022), WM_SETFONT,
                 reinterpret_cast<WPARAM>(CreateFontIndirectA(&description)), FALSE);
    EXPECT_NEAR(QFontMetrics(widget(1022)->font()).height(), 20, 1);
    EXPECT_FALSE(QFontInfo(widget(1022)->font()).bold());
}

TEST_F(MainWindowTest, LabelsShowTheProgramsTextAsWritten) {
    const char* title = "AC/DC & <b>Queen</b> \xE2\x82\xAC \xC3\xA9t\xC3\xA9";
    EXPECT_TRUE(SetWindowTextA(item(1022), title));
    auto* label = qobject_cast<QLabel*>(widget(1022));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QString::fromUtf8("AC/DC & <b>Queen</b> \u20AC \u00E9t\u00E9"));
    char buffer[64];
    EXPECT_EQ(GetWindowTextA(item(1022), buffer, sizeof buffer),
              static_cast<int>(std::strlen(title)));
    EXPECT_STREQ(buffer, title);
    EXPECT_EQ(GetWindowTextA(item(1022), buffer, 6), 5); // cut to fit, terminated
    EXPECT_STREQ(buffer, "AC/DC");
    EXPECT_TRUE(label->alignment() & Qt::AlignLeft);
    EXPECT_TRUE(label->alignment() & Qt::AlignVCenter);
    auto* time = qobject_cast<QLabel*>(widget(1021));
    EXPECT_TRUE(time->alignment() & Qt::AlignHCenter);
    EXPECT_NE(time->frameShape(), QFrame::NoFrame); // the static edge
}

static INT_PTR CALLBACK about_proc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

static QPixmap about_picture() {
    HWND about = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(IDD_DIALOG2), nullptr, about_proc, 0);
    EXPECT_NE(about, nullptr);
    QPixmap picture =
        qobject_cast<QLabel*>(platform_test_widget(GetDlgItem(about, 1055)))->pixmap();
    DestroyWindow(about);
    return picture;
}

TEST(StaticBitmap, AboutShowsItsPictureOrNothingWhenTheFileIsMissing) {
    platform_test_init();
    QString app_dir = QStringLiteral(MELODIANE_RESOURCE_DIR);
    if (QFile::exists(app_dir + "/melodiane.bmp")) {
        QPixmap picture = about_picture();
        EXPECT_EQ(picture.size(), QSize(300, 225));
    }
    QTemporaryDir without_picture;
    QDir copy(without_picture.path());
    ASSERT_TRUE(QFile::copy(app_dir + "/melodiane.rc", copy.filePath("melodiane.rc")));
    platform_test_set_resource_dir(copy.absolutePath().toLocal8Bit().constData());
    EXPECT_TRUE(about_picture().isNull());
    platform_test_set_resource_dir(app_dir.toLocal8Bit().constData());
}
