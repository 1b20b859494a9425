// Moving and deleting runs of selected lines through the main window's
// buttons: the new order, the selection that travels with the lines, the
// caret, and what deleting the current entry does to the player.
#include "playlist_fixture.h"

static const std::vector<std::string> six = {"L0", "L1", "L2", "L3", "L4", "L5"};

TEST_F(PlaylistTest, MoveUpCarriesEachRunAboveItsNeighbour) {
    load(six, {1, 2, 4});
    click(IDC_MOVE_UP);
    EXPECT_EQ(checked_lines(), (std::vector<std::string>{"L1", "L2", "L0", "L4", "L3", "L5"}));
    EXPECT_EQ(selected_lines(), (std::vector<int>{0, 1, 3}));
    EXPECT_EQ(caret(), 0);
}

TEST_F(PlaylistTest, MoveDownCarriesEachRunBelowItsNeighbour) {
    load(six, {1, 2, 4});
    click(IDC_MOVE_DOWN);
    EXPECT_EQ(checked_lines(), (std::vector<std::string>{"L0", "L3", "L1", "L2", "L5", "L4"}));
    EXPECT_EQ(selected_lines(), (std::vector<int>{2, 3, 5}));
    EXPECT_EQ(caret(), 5);
}

TEST_F(PlaylistTest, MoveUpOfSingleLinesAlternating) {
    load({"L0", "L1", "L2", "L3"}, {1, 3});
    click(IDC_MOVE_UP);
    EXPECT_EQ(checked_lines(), (std::vector<std::string>{"L1", "L0", "L3", "L2"}));
    EXPECT_EQ(selected_lines(), (std::vector<int>{0, 2}));
    // Back down again restores the order.
    click(IDC_MOVE_DOWN);
    EXPECT_EQ(checked_lines(), (std::vector<std::string>{"L0", "L1", "L2", "L3"}));
    EXPECT_EQ(selected_lines(), (std::vector<int>{1, 3}));
}

TEST_F(PlaylistTest, NothingMovesWhenARunTouchesTheTopOrBottom) {
    load(six, {0, 3});
    SendMessageA(item(IDC_PLAYLIST), LB_SETCARETINDEX, 2, 0);
    click(IDC_MOVE_UP);
    EXPECT_EQ(checked_lines(), six);
    EXPECT_EQ(caret(), 2);

    SendMessageA(item(IDC_PLAYLIST), LB_SETSEL, FALSE, 0);
    select({5});
    SendMessageA(item(IDC_PLAYLIST), LB_SETCARETINDEX, 2, 0);
    click(IDC_MOVE_DOWN);
    EXPECT_EQ(checked_lines(), six);
    EXPECT_EQ(selected_lines(), (std::vector<int>{3, 5}));
    EXPECT_EQ(caret(), 2);
}

TEST_F(PlaylistTest, MovesKeepTheCurrentEntryAndItsDisplay) {
    load(six, {0});
    click(IDC_MOVE_DOWN);
    EXPECT_STREQ(current_entry->title, "L0");
    EXPECT_EQ(current_line(), 1);
    EXPECT_EQ(text(IDC_TITLE_LABEL), "L0");
}

TEST_F(PlaylistTest, DeleteRemovesScatteredRunsAndSparesTheCurrentEntry) {
    load(six, {1, 2, 4});
    click(IDC_DELETE);
    EXPECT_EQ(checked_lines(), (std::vector<std::string>{"L0", "L3", "L5"}));
    EXPECT_TRUE(selected_lines().empty());
    EXPECT_STREQ(current_entry->title, "L0");
    EXPECT_EQ(stop_reason, STOP_REASON_PLAYING);
}

TEST_F(PlaylistTest, DeletingEverythingEmptiesListAndPlayerEvenWithRepeat) {
    load(six);
    CheckDlgButton(main_dialog, IDC_REPEAT, BST_CHECKED);
    click(IDC_SELECT_ALL);
    click(IDC_DELETE);
    EXPECT_TRUE(checked_lines().empty());
    EXPECT_EQ(playlist_head, nullptr);
    EXPECT_EQ(current_entry, nullptr);
    EXPECT_EQ(stop_reason, STOP_REASON_USER);
    EXPECT_EQ(text(IDC_TITLE_LABEL), "");
    EXPECT_EQ(text(IDC_TIME_LABEL), "--:-- / --:--");
}

TEST_F(PlaylistTest, TheCurrentEntryMovesToTheNextSurvivor) {
    load(six, {0, 1, 3});
    click(IDC_DELETE);
    EXPECT_EQ(checked_lines(), (std::vector<std::string>{"L2", "L4", "L5"}));
    EXPECT_STREQ(current_entry->title, "L2");
    EXPECT_EQ(text(IDC_TITLE_LABEL), "L2");
    EXPECT_EQ(stop_reason, STOP_REASON_USER);
}

class DeletePlayingTest : public PlaylistTest {
  protected:
    // Three real files, the last one playing.
    void play_last_of_three() {
        for (int i = 0; i < 3; i++) {
            fs::copy_file(fixture("cbr_44k_stereo_v23.mp3"),
                          path_in_dir("entry" + std::to_string(i) + ".mp3"));
        }
        load({"A", "B", "C"});
        SendMessageA(item(IDC_PLAYLIST), LB_SETCARETINDEX, 2, 0);
        play_at_index(2);
        ASSERT_EQ(decoder_state(), 1);
        select({2});
    }
};

TEST_F(DeletePlayingTest, WithoutRepeatNoEntryIsCurrentAndTheCommandsRest) {
    play_last_of_three();
    click(IDC_DELETE);
    EXPECT_EQ(checked_lines(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(current_entry, nullptr);
    EXPECT_EQ(decoder_state(), 0);
    EXPECT_EQ(stop_reason, STOP_REASON_USER);
    EXPECT_EQ(text(IDC_TITLE_LABEL), "");
    EXPECT_EQ(text(IDC_TIME_LABEL), "--:-- / --:--");
    EXPECT_EQ(slider(IDC_TIME_SLIDER), 0);

    // With no current entry the editing commands do nothing.
    select({0, 1});
    click(IDC_MOVE_DOWN);
    click(IDC_MOVE_UP);
    click(IDC_DELETE);
    EXPECT_EQ(checked_lines(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(selected_lines(), (std::vector<int>{0, 1}));

    // An addition then goes to the top and its first entry becomes current.
    load({"N"});
    EXPECT_EQ(checked_lines(), (std::vector<std::string>{"N", "A", "B"}));
    EXPECT_STREQ(current_entry->title, "N");
    EXPECT_EQ(text(IDC_TITLE_LABEL), "N");
}

TEST_F(DeletePlayingTest, WithRepeatTheFirstEntryBecomesCurrentButDoesNotPlay) {
    play_last_of_three();
    CheckDlgButton(main_dialog, IDC_REPEAT, BST_CHECKED);
    click(IDC_DELETE);
    EXPECT_STREQ(current_entry->title, "A");
    EXPECT_EQ(text(IDC_TITLE_LABEL), "A");
    EXPECT_EQ(text(IDC_TIME_LABEL), "0:01");
    EXPECT_EQ(decoder_state(), 0);
}

TEST_F(DeletePlayingTest, DeletingOtherLinesLeavesPlaybackAlone) {
    play_last_of_three();
    SendMessageA(item(IDC_PLAYLIST), LB_SETSEL, FALSE, 2);
    select({0});
    click(IDC_DELETE);
    EXPECT_EQ(checked_lines(), (std::vector<std::string>{"B", "C"}));
    EXPECT_STREQ(current_entry->title, "C");
    EXPECT_EQ(decoder_state(), 1);
    EXPECT_EQ(stop_reason, STOP_REASON_PLAYING);
}

// The keys of the list reach its subclass as the keyboard gives them:
// Delete runs "Effacer", Ctrl+A "Tout"; other keys go on to the list box.
TEST_F(PlaylistTest, DeleteAndCtrlAOnTheListRunEffacerAndTout) {
    load(six, {1, 4});
    HWND list = item(IDC_PLAYLIST);
    SetFocus(list);
    SendMessageA(list, WM_KEYDOWN, VK_DELETE, 0x01530001);
    EXPECT_EQ(checked_lines(), (std::vector<std::string>{"L0", "L2", "L3", "L5"}));
    SendMessageA(list, WM_KEYDOWN, 'A', 0x001E0001); // without Ctrl: not "Tout"
    EXPECT_NE(selected_lines(), (std::vector<int>{0, 1, 2, 3}));
#ifdef _WIN32
    // Ctrl held, as the thread's keyboard state tells it.
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    SendMessageA(list, WM_KEYDOWN, 'A', 0x001E0001);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(selected_lines(), (std::vector<int>{0, 1, 2, 3}));
#endif
}
