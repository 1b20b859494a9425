// The playlist's own input, with the real mouse and keyboard: the context
// menu's selection rule, Ctrl tracking, the menu's commands, double-click,
// Enter and Esc in the main window, and the list's keys (Delete, Ctrl+A, the
// menu key and Shift+F10).
#include "input_fixture.h"

#include <QTimer>

#include <memory>

class ListInputTest : public AppTest {
  protected:
    void TearDown() override {
        menu_watch.reset();
        AppTest::TearDown();
    }

    // Acts on the next pop-up menu once it is open: action gets the menu and
    // chooses an item (choose_menu_item) or closes it. menus_opened counts
    // the menus seen.
    void on_next_menu(std::function<void(QMenu*)> action) {
        menu_watch = std::make_unique<QTimer>();
        QObject::connect(menu_watch.get(), &QTimer::timeout, [this, action] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr || !menu->isVisible()) {
                return;
            }
            menu_watch->stop();
            menus_opened++;
            action(menu);
        });
        menu_watch->start(10);
    }

    // Five one-second lines "a" to "e"; "a" is current.
    void add_five() {
        add_fixtures({"no_tag.mp3=a.mp3", "no_tag.mp3=b.mp3", "no_tag.mp3=c.mp3",
                      "no_tag.mp3=d.mp3", "no_tag.mp3=e.mp3"});
        ASSERT_EQ(lines().size(), 5u);
    }

    // Opens the context menu on a point and closes it again, recording the
    // selection it opened on.
    std::vector<int> selection_at_menu(QPoint point) {
        std::vector<int> seen;
        on_next_menu([&](QMenu* menu) {
            seen = selected_lines();
            menu->close();
        });
        right_click_at(point);
        return seen;
    }

    // Chooses a menu item after a right-click on a line.
    void menu_command(int line, int id) {
        on_next_menu([id](QMenu* menu) { choose_menu_item(menu, id); });
        right_click_at(line_point(line));
    }

    std::unique_ptr<QTimer> menu_watch;
    int menus_opened = 0;
};

TEST_F(ListInputTest, RightClickKeepsASelectionItHitsAndReplacesOneItMisses) {
    add_five();
    click_line(0);
    click_line(2, Qt::ShiftModifier);
    ASSERT_EQ(selected_lines(), (std::vector<int>{0, 1, 2}));

    EXPECT_EQ(selection_at_menu(line_point(1)), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(menus_opened, 1);
    EXPECT_EQ(GetFocus(), item(IDC_PLAYLIST));

    EXPECT_EQ(selection_at_menu(line_point(4)), std::vector<int>{4});
    EXPECT_EQ(menus_opened, 2);
}

TEST_F(ListInputTest, ShiftClickAfterSelectAllExtendsFromTheLineLastClicked) {
    add_five();
    click_line(1);
    click(IDC_SELECT_ALL);
    ASSERT_EQ(selected_lines(), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(SendMessageA(item(IDC_PLAYLIST), LB_GETCARETINDEX, 0, 0), 1);
    click_line(3, Qt::ShiftModifier);
    EXPECT_EQ(selected_lines(), (std::vector<int>{1, 2, 3}));
}

TEST_F(ListInputTest, CtrlHeldOnTheListAddsTheRightClickedLineUntilTheMenuOpens) {
    add_five();
    click_line(1);
    QWidget* list = platform_test_widget(item(IDC_PLAYLIST));
    SetFocus(item(IDC_PLAYLIST));
    QTest::keyPress(list, Qt::Key_Control);
    settle();
    EXPECT_EQ(selection_at_menu(line_point(3)), (std::vector<int>{1, 3}));
    // Still held, but opening the menu forgot it: the list box only hears of
    // it again on a new key-down.
    EXPECT_EQ(selection_at_menu(line_point(4)), std::vector<int>{4});
    QTest::keyRelease(list, Qt::Key_Control);
    settle();

    QTest::keyPress(list, Qt::Key_Control);
    settle();
    QTest::keyRelease(list, Qt::Key_Control);
    settle();
    // The release was seen too: the line replaces the selection.
    EXPECT_EQ(selection_at_menu(line_point(0)), std::vector<int>{0});
}

TEST_F(ListInputTest, NoMenuOpensBelowTheLastLineOrOnAnEmptyList) {
    QPoint bottom(20, platform_test_widget(item(IDC_PLAYLIST))->height() - 3);
    selection_at_menu(bottom); // empty list
    EXPECT_EQ(menus_opened, 0);

    add_five();
    click_line(2);
    selection_at_menu(bottom);
    EXPECT_EQ(menus_opened, 0);
    EXPECT_EQ(selected_lines(), std::vector<int>{2}); // unchanged
    EXPECT_EQ(GetFocus(), item(IDC_PLAYLIST));
    selection_at_menu(line_point(2)); // and the next right-click on a line opens it
    EXPECT_EQ(menus_opened, 1);
}

TEST_F(ListInputTest, MenuCommandsActOnEverySelectedLine) {
    add_five();
    click_line(1);
    click_line(3, Qt::ShiftModifier);
    menu_command(2, IDC_DELETE); // "Effacer" on one of three selected lines
    EXPECT_EQ(lines(), (std::vector<std::string>{"a", "e"}));
    EXPECT_EQ(current_line(), 0);

    menu_command(1, IDC_SELECT_ALL); // "Tout"
    EXPECT_EQ(selected_lines(), (std::vector<int>{0, 1}));
    click_line(1);
    menu_command(1, IDC_MOVE_UP); // "Haut"
    EXPECT_EQ(lines(), (std::vector<std::string>{"e", "a"}));
}

TEST_F(ListInputTest, MenuPlayAndDoubleClickPlayTheCaretLineFromItsStart) {
    make_long_mp3("long.mp3", 3);
    add_names({"long.mp3"});
    add_fixtures({"no_tag.mp3=b.mp3", "no_tag.mp3=c.mp3"});
    click_line(2);
    menu_command(2, IDM_PLAY); // "Jouer"
    EXPECT_EQ(current_line(), 2);
    EXPECT_EQ(decoder_state(), 1);
    EXPECT_EQ(text(IDC_TITLE_LABEL), "c");

    mouse_double_click_line(0);
    EXPECT_EQ(current_line(), 0);
    EXPECT_EQ(decoder_state(), 1);
    ASSERT_TRUE(wait_until([&] { return elapsed_seconds >= 2; }));
    mouse_double_click_line(0); // the line already playing starts again
    EXPECT_EQ(current_line(), 0);
    EXPECT_EQ(elapsed_seconds, 0);
    EXPECT_EQ(slider(IDC_TIME_SLIDER), 0);
    EXPECT_EQ(decoder_state(), 1);
}

TEST_F(ListInputTest, EnterPlaysTheCurrentEntryAndEscDoesNothing) {
    add_five();
    click_line(3); // the selection does not choose what Play plays
    key(item(IDC_PLAYLIST), Qt::Key_Return);
    EXPECT_EQ(decoder_state(), 1);
    EXPECT_EQ(current_line(), 0);
    key(item(IDC_PLAYLIST), Qt::Key_Escape);
    EXPECT_TRUE(IsWindow(main_dialog));
    EXPECT_EQ(decoder_state(), 1);
    key(item(IDC_PAUSE), Qt::Key_Escape);
    EXPECT_TRUE(IsWindow(main_dialog));

    click(IDC_REPEAT); // only toggles itself
    EXPECT_EQ(IsDlgButtonChecked(main_dialog, IDC_REPEAT), 1u);
    EXPECT_EQ(decoder_state(), 1);
    EXPECT_EQ(current_line(), 0);
}

TEST_F(ListInputTest, DeleteAndCtrlARunTheirCommandsAndTheMenuKeysOpenTheMenuAtTheCaret) {
    add_five();
    HWND list = item(IDC_PLAYLIST);
    click_line(1);
    key(list, Qt::Key_Delete); // "Effacer"
    EXPECT_EQ(lines(), (std::vector<std::string>{"a", "c", "d", "e"}));
    key(list, Qt::Key_A, Qt::ControlModifier); // "Tout"
    EXPECT_EQ(selected_lines(), (std::vector<int>{0, 1, 2, 3}));
    key(list, Qt::Key_A); // a letter alone searches, as the list itself does
    EXPECT_EQ(selected_lines(), std::vector<int>{0});

    // The menu key and Shift+F10 open the menu of the caret line below it,
    // selecting by the right click's rule.
    struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int clicked, shift_clicked; // the selection made first; -1: none
        std::vector<int> selected;  // when the menu opens
    } const cases[] = {
        {Qt::Key_Menu, Qt::NoModifier, 2, -1, {2}},
        {Qt::Key_F10, Qt::ShiftModifier, 0, 2, {0, 1, 2}},
    };
    for (const auto& c : cases) {
        click_line(c.clicked);
        if (c.shift_clicked >= 0) {
            click_line(c.shift_clicked, Qt::ShiftModifier);
        }
        int caret = c.shift_clicked >= 0 ? c.shift_clicked : c.clicked;
        std::vector<int> seen;
        QPoint menu_at;
        int opened = menus_opened;
        on_next_menu([&](QMenu* menu) {
            seen = selected_lines();
            menu_at = menu->pos();
            menu->close();
        });
        key(list, c.key, c.modifiers);
        ASSERT_EQ(menus_opened, opened + 1) << c.key;
        EXPECT_EQ(seen, c.selected) << c.key;
        QWidget* area = platform_test_widget(list);
        QPoint line = area->mapToGlobal(line_point(caret));
        EXPECT_NEAR(menu_at.y(), line.y(), area->fontMetrics().height()) << c.key;
    }
    // A command chosen from the keyboard's menu acts on the selection.
    on_next_menu([](QMenu* menu) { choose_menu_item(menu, IDC_DELETE); });
    key(list, Qt::Key_Menu);
    EXPECT_EQ(lines(), std::vector<std::string>{"e"});
}
