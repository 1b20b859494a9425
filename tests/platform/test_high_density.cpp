// The dialogs on a screen of device pixel ratio 2: the same layout in dialog
// units as at ratio 1, every control drawn at twice the pixels, the text
// rendered at the screen's resolution, the About picture doubled pixel for
// pixel, and every text inside its control. With MELODIANE_SCREENSHOTS set to
// a folder, each dialog is saved there as a PNG at ratio 2.
#include "common/resource.h"
#include "dialog_units.h"
#include "platform/testing.h"
#include "platform/win32.h"

#include <QAbstractButton>
#include <QDir>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QWidget>
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

namespace {

INT_PTR CALLBACK shown_proc(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        ShowWindow(window, SW_SHOW);
        return TRUE;
    }
    return FALSE;
}

LRESULT send(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam) {
    return SendMessageA(GetDlgItem(dialog, id), message, wparam, lparam);
}

bool block_uniform(const QImage& image, int x, int y) {
    QRgb colour = image.pixel(x, y);
    return image.pixel(x + 1, y) == colour && image.pixel(x, y + 1) == colour &&
           image.pixel(x + 1, y + 1) == colour;
}

class HighDensity : public ::testing::Test {
  protected:
    void SetUp() override {
        // Qt reads the ratio once, when the application starts: each test
        // runs in a process of its own (as ctest runs them), whose
        // application starts here.
        if (QGuiApplication::instance() != nullptr) {
            GTEST_SKIP() << "the application started before the ratio was set";
        }
        ASSERT_EQ(setenv("QT_SCALE_FACTOR", "2", 1), 0);
        platform_test_init();
    }
    void TearDown() override {
        platform_test_reset();
    }

    HWND open(int id) {
        HWND dialog = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(id), nullptr, shown_proc, 0);
        EXPECT_NE(dialog, nullptr);
        platform_test_settle();
        return dialog;
    }

    QWidget* widget(HWND dialog, int id) {
        return platform_test_widget(GetDlgItem(dialog, id));
    }

    // Dialog units become the same pixels as at ratio 1 (Arial 9 points:
    // base units 7 and 14), each drawn as two device pixels; every control's
    // text fits inside it as the screen's font measures it.
    void expect_layout_in_dialog_units(HWND dialog, int width_units, int height_units) {
        expect_template_size(dialog, width_units, height_units);
        QWidget* window = platform_test_widget(dialog);
        EXPECT_EQ(window->devicePixelRatio(), 2.0);
        QPixmap shot = window->grab();
        EXPECT_EQ(shot.size(), window->size() * 2);
        for (QWidget* control : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            EXPECT_EQ(control->grab().size(), control->size() * 2);
            QString text;
            int room = control->contentsRect().width();
            if (auto* button = qobject_cast<QAbstractButton*>(control)) {
                text = button->text();
                room -= 4; // the button's bevel
            } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
                text = group->title();
            } else if (auto* label = qobject_cast<QLabel*>(control)) {
                text = label->wordWrap() ? QString() : label->text();
            }
            QFontMetrics metrics(control->font(), control);
            EXPECT_LE(metrics.horizontalAdvance(text), room) << text.toStdString();
            EXPECT_LE(metrics.height(), control->height()) << text.toStdString();
        }
    }

    // Text drawn at the device's resolution has edges finer than a logical
    // pixel: some 2 x 2 block of device pixels is not of one colour.
    static void expect_sharp_text(QWidget* control) {
        QImage image = control->grab().toImage();
        bool finer = false;
        for (int y = 0; y + 1 < image.height() && !finer; y += 2) {
            for (int x = 0; x + 1 < image.width() && !finer; x += 2) {
                finer = !block_uniform(image, x, y);
            }
        }
        EXPECT_TRUE(finer);
    }

    static void save(QWidget* window, const char* name) {
        const char* folder = std::getenv("MELODIANE_SCREENSHOTS");
        if (folder != nullptr) {
            QDir().mkpath(QString::fromLocal8Bit(folder));
            window->grab().save(QDir(QString::fromLocal8Bit(folder)).filePath(name));
        }
    }
};

TEST_F(HighDensity, MainWindowKeepsItsLayoutAndDrawsTextAtTheScreensResolution) {
    HWND dialog = open(IDD_DIALOG1);
    SetWindowTextA(GetDlgItem(dialog, IDC_TITLE_LABEL), "Artiste - Chanson");
    SetWindowTextA(GetDlgItem(dialog, IDC_TIME_LABEL), "01:23");
    for (const char* line :
         {"Artiste - Chanson", "Deuxi\xC3\xA8me chanson", "Troisi\xC3\xA8me chanson"}) {
        send(dialog, IDC_PLAYLIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }
    send(dialog, IDC_PLAYLIST, LB_SETSEL, TRUE, 0);
    send(dialog, IDC_TIME_SLIDER, TBM_SETPOS, TRUE, 40);
    send(dialog, IDC_VOLUME_SLIDER, TBM_SETPOS, TRUE, 80);
    send(dialog, IDC_BALANCE_SLIDER, TBM_SETPOS, TRUE, 50);
    platform_test_settle();

    expect_layout_in_dialog_units(dialog, 490, 201);
    expect_sharp_text(widget(dialog, IDC_PLAY));
    expect_sharp_text(widget(dialog, IDC_TITLE_LABEL));
    expect_sharp_text(platform_test_widget(GetDlgItem(dialog, IDC_PLAYLIST)));
    save(platform_test_widget(dialog), "main-window-ratio2.png");
}

TEST_F(HighDensity, EqualizerKeepsItsLayout) {
    HWND dialog = open(IDD_DIALOG3);
    SetWindowTextA(GetDlgItem(dialog, IDC_EQ_VALUE), "+6 dB");
    for (int band = 0; band < 10; band++) {
        send(dialog, IDC_EQ_BAND + band, TBM_SETPOS, TRUE, band * 10);
    }
    platform_test_settle();

    expect_layout_in_dialog_units(dialog, 161, 179);
    expect_sharp_text(widget(dialog, IDC_EQ_ZERO));
    save(platform_test_widget(dialog), "equalizer-ratio2.png");
}

TEST_F(HighDensity, AboutPictureIsDoubledPixelForPixel) {
    HWND dialog = open(IDD_DIALOG2);
    expect_layout_in_dialog_units(dialog, 222, 225);
    expect_sharp_text(widget(dialog, IDC_CREDIT));

    auto* picture = qobject_cast<QLabel*>(widget(dialog, IDC_PICTURE));
    ASSERT_NE(picture, nullptr);
    QImage bitmap = picture->pixmap().toImage();
    ASSERT_FALSE(bitmap.isNull());
    std::set<QRgb> colours;
    for (int y = 0; y < bitmap.height(); y++) {
        for (int x = 0; x < bitmap.width(); x++) {
            colours.insert(bitmap.pixel(x, y) | 0xFF000000u);
        }
    }
    // Inside the frame every logical pixel is two by two device pixels of
    // one of the picture's own colours: no blend from smoothing.
    QImage shot = picture->grab().toImage();
    QRect inside = picture->contentsRect();
    int blended = 0;
    int blocks = 0;
    for (int y = inside.top() * 2; y + 1 < (inside.bottom() + 1) * 2; y += 2) {
        for (int x = inside.left() * 2; x + 1 < (inside.right() + 1) * 2; x += 2) {
            blocks++;
            if (!block_uniform(shot, x, y) || colours.count(shot.pixel(x, y) | 0xFF000000u) == 0) {
                blended++;
            }
        }
    }
    EXPECT_GT(blocks, 250 * 200);
    EXPECT_EQ(blended, 0);
    save(platform_test_widget(dialog), "about-ratio2.png");
}

} // namespace
