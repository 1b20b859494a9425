// Dialogs built from the resource script: the main window's controls, their
// places, texts and styles, the window itself, the Tab order, and the
// equalizer and About templates.
#include "dialog_units.h"
#include "window_fixture.h"

#include "platform/testing_dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QScreen>
#include <QTest>

#include <functional>
#include <iterator>

#include <string>

namespace {

struct ExpectedControl {
    int id;
    const char* class_name;
    const char* text; // Windows-1252
    int x, y, width, height;
    bool tab_stop;
};

const ExpectedControl main_controls[] = {
    {1, "Button", "Jouer", 17, 155, 50, 14, true},
    {1001, "Button", "Pauser", 71, 155, 50, 14, true},
    {1002, "Button", "Stopper", 125, 155, 50, 14, true},
    {1003, "Button", "\xC3\x89galiseur", 179, 155, 50, 14, true},
    {1004, "Button", "Pr\xC3\xA9\x63\xC3\xA9\x64\x65nte", 17, 173, 50, 14, true},
    {1005, "Button", "Suivante", 71, 173, 50, 14, true},
    {1006, "Button", "Fonte", 125, 173, 50, 14, true},
    {1007, "Button", "\xC3\x80 Propos", 179, 173, 50, 14, true},
    {1020, "ListBox", "", 315, 20, 158, 167, true},
    {1008, "Button", "Haut", 261, 20, 50, 14, true},
    {1009, "Button", "Bas", 261, 37, 50, 14, true},
    {1010, "Button", "Trier", 261, 54, 50, 14, true},
    {1011, "Button", "Al\xC3\xA9\x61toire", 261, 71, 50, 14, true},
    {1012, "Button", "Effacer", 261, 88, 50, 14, true},
    {1013, "Button", "Tout", 261, 105, 50, 14, true},
    {1014, "Button", "Ajouter", 261, 122, 50, 14, true},
    {1015, "Button", "Ouvrir", 261, 139, 50, 14, true},
    {1016, "Button", "Enregistrer", 261, 156, 50, 14, true},
    {1018, "Button", "R\xC3\xA9p\xC3\xA9ter", 261, 173, 50, 14, true},
    {1042, "msctls_trackbar32", "Slider1", 17, 109, 104, 14, false},
    {1043, "msctls_trackbar32", "Slider2", 125, 109, 104, 14, false},
    {1041, "msctls_trackbar32", "Slider3", 17, 65, 158, 14, false},
    {1021, "Static", "", 179, 65, 50, 14, false},
    {1022, "Static", "", 17, 20, 212, 14, false},
    {1023, "Button", "Nom de l'artiste et de la musique", 7, 7, 232, 34, false},
    {1024, "Button", "Barre de temps", 7, 52, 232, 34, false},
    {1025, "Button", "Barre de volume", 7, 97, 232, 34, false},
    {1026, "Button", "Musique", 7, 142, 232, 52, false},
    {1027, "Button", "Liste", 251, 7, 232, 187, false},
};

std::string class_of(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string text_of(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

int item_exists(HWND dialog, int id) {
    return GetDlgItem(dialog, id) != nullptr ? 1 : 0;
}

} // namespace

TEST_F(MainWindowTest, DialogUnitsComeFromTheTemplateFontAsWindowsMeasuresIt) {
    expect_template_size(dialog, 490, 201);
}

TEST_F(MainWindowTest, EveryControlIsInPlaceWithItsClassTextAndStyle) {
    int base_x = 0;
    int base_y = 0;
    platform_test_dialog_base_units(dialog, &base_x, &base_y);
    for (const ExpectedControl& expected : main_controls) {
        SCOPED_TRACE(expected.id);
        HWND control = item(expected.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(GetDlgCtrlID(control), expected.id);
        EXPECT_EQ(GetParent(control), dialog);
        EXPECT_EQ(class_of(control), expected.class_name);
        EXPECT_EQ(text_of(control), expected.text);
        LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE);
        EXPECT_EQ((style & WS_TABSTOP) != 0, expected.tab_stop);
        EXPECT_NE(style & WS_VISIBLE, 0);
        QRect expected_rect(pixels(expected.x, base_x, 4), pixels(expected.y, base_y, 8),
                            pixels(expected.width, base_x, 4), pixels(expected.height, base_y, 8));
        EXPECT_EQ(platform_test_widget(control)->window(), platform_test_widget(dialog));
        QWidget* widget = platform_test_widget(control);
        QRect actual(widget->mapTo(widget->window(), QPoint(0, 0)), widget->size());
        if (expected.id == 1020) {
            // The list area lies inside the list box's border.
            EXPECT_TRUE(expected_rect.contains(actual));
        } else {
            EXPECT_EQ(actual, expected_rect);
        }
    }
    LONG_PTR list_style = GetWindowLongPtrA(item(1020), GWL_STYLE);
    EXPECT_EQ(list_style &
                  (LBS_NOTIFY | LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER),
              LBS_NOTIFY | LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER);
    EXPECT_EQ(list_style & LBS_SORT, 0);
    EXPECT_EQ(GetWindowLongPtrA(item(1018), GWL_STYLE) & (BS_AUTOCHECKBOX | BS_PUSHLIKE),
              BS_AUTOCHECKBOX | BS_PUSHLIKE);
    EXPECT_NE(GetWindowLongPtrA(item(1021), GWL_STYLE) & SS_CENTER, 0);
    EXPECT_NE(GetWindowLongPtrA(item(1021), GWL_EXSTYLE) & WS_EX_STATICEDGE, 0);
    EXPECT_NE(GetWindowLongPtrA(item(1042), GWL_EXSTYLE) & WS_EX_STATICEDGE, 0);
}

TEST_F(MainWindowTest, WindowHasItsCaptionAFixedSizeAndNoMaximizeBox) {
    QWidget* window = platform_test_widget(dialog);
    EXPECT_EQ(text_of(dialog), "Melodiane");
    EXPECT_EQ(window->windowTitle(), QString("Melodiane"));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(window->isVisible());
}

static INT_PTR CALLBACK silent_proc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

TEST(DialogTemplate, MainWindowStaysHiddenUntilShown) {
    platform_test_init();
    HWND dialog =
        CreateDialogParamA(nullptr, MAKEINTRESOURCEA(IDD_DIALOG1), nullptr, silent_proc, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(platform_test_widget(dialog)->isVisible());
    EXPECT_FALSE(ShowWindow(dialog, SW_SHOW));
    EXPECT_TRUE(platform_test_widget(dialog)->isVisible());
    EXPECT_TRUE(DestroyWindow(dialog));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(CreateDialogParamA(nullptr, MAKEINTRESOURCEA(999), nullptr, silent_proc, 0), nullptr);
}

TEST_F(MainWindowTest, TabVisitsTheTabStopsInTemplateOrderAndShiftTabGoesBack) {
    const int order[] = {1,    1001, 1002, 1003, 1004, 1005, 1006, 1007, 1020, 1008,
                         1009, 1010, 1011, 1012, 1013, 1014, 1015, 1016, 1018};
    ASSERT_EQ(GetFocus(), item(1)); // WM_INITDIALOG returned TRUE
    for (std::size_t i = 1; i <= std::size(order); ++i) {
        int expected = order[i % std::size(order)];
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget()
                                                    : platform_test_widget(GetFocus()),
                        Qt::Key_Tab);
        ASSERT_TRUE(platform_test_pump_until([&] { return GetFocus() == item(expected); }, 1000))
            << "after " << i << " tabs";
    }
    QTest::keyClick(platform_test_widget(GetFocus()), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(platform_test_pump_until([&] { return GetFocus() == item(1018); }, 1000));
}

// Qt draws focus rectangles only in a window marked as navigated by keyboard;
// without the mark the user tabbing through the buttons sees no focus at all.
TEST_F(MainWindowTest, TabShowsTheFocusCueOnTheControlItReaches) {
    QWidget* top = platform_test_widget(dialog);
    top->setAttribute(Qt::WA_KeyboardFocusChange, false);
    QTest::keyClick(platform_test_widget(GetFocus()), Qt::Key_Tab);
    ASSERT_TRUE(platform_test_pump_until([&] { return GetFocus() == item(1001); }, 1000));
    EXPECT_TRUE(top->testAttribute(Qt::WA_KeyboardFocusChange));
}

TEST(DialogTemplate, EqualizerHasItsTwentyThreeControls) {
    platform_test_init();
    HWND dialog =
        CreateDialogParamA(nullptr, MAKEINTRESOURCEA(IDD_DIALOG3), nullptr, silent_proc, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(text_of(dialog), "Egaliseur");
    const char* bands[] = {"60", "170", "310", "600", "1K", "3K", "6K", "12K", "14K", "16K"};
    int found = 0;
    for (int id : {1019, 1017, 1030}) {
        found += item_exists(dialog, id);
    }
    for (int i = 0; i < 10; ++i) {
        HWND slider = GetDlgItem(dialog, 1044 + i);
        ASSERT_NE(slider, nullptr);
        EXPECT_EQ(class_of(slider), "msctls_trackbar32");
        EXPECT_NE(GetWindowLongPtrA(slider, GWL_STYLE) & TBS_VERT, 0);
        EXPECT_NE(GetWindowLongPtrA(slider, GWL_STYLE) & WS_TABSTOP, 0);
        HWND label = GetDlgItem(dialog, 1031 + i);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(text_of(label), bands[i]);
        found += 2;
    }
    EXPECT_EQ(found, 23);
    EXPECT_EQ(text_of(GetDlgItem(dialog, 1017)), "Z\xC3\xA9ro");
    EXPECT_EQ(text_of(GetDlgItem(dialog, 1019)), "Lancer");
    DestroyWindow(dialog);
}

TEST(DialogTemplate, AboutHasItsPictureCreditAndCloseButton) {
    platform_test_init();
    HWND dialog =
        CreateDialogParamA(nullptr, MAKEINTRESOURCEA(IDD_DIALOG2), nullptr, silent_proc, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(text_of(dialog), "A Propos de Melodiane");
    EXPECT_FALSE(platform_test_widget(dialog)->windowFlags() & Qt::WindowCloseButtonHint);
    HWND picture = GetDlgItem(dialog, 1055);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(GetWindowLongPtrA(picture, GWL_STYLE) & 0x1F, SS_BITMAP);
    EXPECT_EQ(text_of(GetDlgItem(dialog, IDCANCEL)), "Fermer");
    EXPECT_NE(text_of(GetDlgItem(dialog, 1028)).find("Melodiane"), std::string::npos);
    EXPECT_EQ(text_of(GetDlgItem(dialog, 1029)), "Vos remarques sont les bienvenues!");
    DestroyWindow(dialog);
}

// Where the dialog a step opens over the main window lies, once shown and
// settled (a file dialog widens to the folder it has read).
static QRect shown_frame(const std::function<void()>& open_dialog) {
    QRect frame;
    testing_queue_dialog_answer([&](QDialog* shown) {
        QTest::qWait(300);
        frame = shown->frameGeometry();
    });
    open_dialog();
    return frame;
}

TEST_F(MainWindowTest, DialogsAndMessageBoxesOpenWholeInsideTheWorkArea) {
    QWidget* window = platform_test_widget(dialog);
    QRect area = window->screen()->availableGeometry();
    // The main window in the middle, then pushed against each corner and past it.
    const QPoint places[] = {
        area.center() - QPoint(window->width() / 2, window->height() / 2),
        area.bottomRight() - QPoint(60, 60),
        area.topLeft() - QPoint(window->width() - 60, window->height() - 60),
        QPoint(area.right() - 60, area.top() - window->height() + 60),
    };
    for (const QPoint& place : places) {
        window->move(place);
        platform_test_settle();
        QRect message = shown_frame([&] { MessageBoxA(dialog, "Texte", "Titre", MB_OK); });
        std::vector<char> name(260, '\0');
        OPENFILENAMEA ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = dialog;
        ofn.lpstrFile = name.data();
        ofn.nMaxFile = static_cast<DWORD>(name.size());
        ofn.lpstrTitle = "Ajouter";
        ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT;
        QRect file = shown_frame([&] { GetOpenFileNameA(&ofn); });
        HWND equalizer =
            CreateDialogParamA(nullptr, MAKEINTRESOURCEA(IDD_DIALOG3), dialog, silent_proc, 0);
        ShowWindow(equalizer, SW_SHOW);
        platform_test_settle();
        QWidget* band_window = platform_test_widget(equalizer);
        QRect band_dialog = band_window->frameGeometry();
        // Fixed, and with no maximise box in its template: nothing to maximise.
        EXPECT_EQ(band_window->minimumSize(), band_window->maximumSize());
        EXPECT_FALSE(band_window->windowFlags() & Qt::WindowMaximizeButtonHint);
        DestroyWindow(equalizer);
        for (const QRect& frame : {message, file, band_dialog}) {
            EXPECT_FALSE(frame.isEmpty());
            EXPECT_TRUE(area.contains(frame))
                << place.x() << "," << place.y() << ": " << frame.x() << "," << frame.y() << " "
                << frame.width() << "x" << frame.height() << " in " << area.width() << "x"
                << area.height();
        }
        if (place == places[0]) { // room enough: centred on the owner
            QPoint centre = window->frameGeometry().center();
            EXPECT_LE((message.center() - centre).manhattanLength(), 4);
            EXPECT_LE((file.center() - centre).manhattanLength(), 4);
        }
    }
}
