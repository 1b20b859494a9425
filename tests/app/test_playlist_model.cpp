// The playlist and its list box in step: batch insertion at the end or the
// top, the current entry a batch makes, clearing, the walk to a line and
// select-all.
#include "playlist_fixture.h"

TEST_F(PlaylistTest, TheFirstBatchIntoAnEmptyListMakesItsFirstEntryCurrent) {
    load({"Premier", "Second"});
    EXPECT_EQ(checked_lines(), (std::vector<std::string>{"Premier", "Second"}));
    EXPECT_STREQ(current_entry->title, "Premier");
    EXPECT_EQ(text(IDC_TITLE_LABEL), "Premier");
    EXPECT_EQ(text(IDC_TIME_LABEL), "0:01");
    EXPECT_EQ(decoder_state(), 0);
}

TEST_F(PlaylistTest, ABatchWithACurrentEntryAppendsAndChangesNothingElse) {
    load({"A", "B"}, {1});
    play_at_index(1);
    ASSERT_STREQ(current_entry->title, "B");
    load({"C", "D"});
    EXPECT_EQ(checked_lines(), (std::vector<std::string>{"A", "B", "C", "D"}));
    EXPECT_STREQ(current_entry->title, "B");
    EXPECT_EQ(text(IDC_TITLE_LABEL), "B");
    EXPECT_EQ(selected_lines(), (std::vector<int>{1}));
}

TEST_F(PlaylistTest, ABatchWithoutEntriesOnlyMakesTheHeadCurrent) {
    load({"A", "B"});
    std::string directory = dir.string() + "/";
    add_files(2, directory.c_str(), "cover.jpg\0notes.txt\0");
    EXPECT_EQ(checked_lines(), (std::vector<std::string>{"A", "B"}));
    EXPECT_STREQ(current_entry->title, "A");

    current_entry = nullptr;
    add_files(2, directory.c_str(), "song.wav\0");
    EXPECT_EQ(checked_lines(), (std::vector<std::string>{"A", "B"}));
    EXPECT_STREQ(current_entry->title, "A");
    EXPECT_EQ(text(IDC_TITLE_LABEL), "A");
}

TEST_F(PlaylistTest, EntryAtIndexWalksFromTheHead) {
    EXPECT_EQ(entry_at_index(0), nullptr);
    load({"A", "B", "C"});
    EXPECT_EQ(entry_at_index(0), playlist_head);
    EXPECT_EQ(entry_at_index(-1), playlist_head);
    EXPECT_STREQ(entry_at_index(2)->title, "C");
}

TEST_F(PlaylistTest, ClearingEmptiesListAndListBoxAndStopsThePlayer) {
    fs::copy_file(fixture("cbr_44k_stereo_v23.mp3"), path_in_dir("entry0.mp3"));
    load({"A", "B"});
    click(IDC_PLAY);
    ASSERT_EQ(decoder_state(), 1);
    clear_playlist();
    EXPECT_TRUE(checked_lines().empty());
    EXPECT_EQ(current_entry, nullptr);
    EXPECT_EQ(decoder_state(), 0);
    EXPECT_EQ(stop_reason, STOP_REASON_USER);
    EXPECT_EQ(slider(IDC_TIME_SLIDER), 0);
    EXPECT_EQ(elapsed_seconds, 0);
}

TEST_F(PlaylistTest, SelectAllNeedsNoCurrentEntryAndDoesNothingOnAnEmptyList) {
    click(IDC_SELECT_ALL);
    EXPECT_TRUE(selected_lines().empty());

    load({"A", "B", "C"});
    SendMessageA(item(IDC_PLAYLIST), LB_SETCARETINDEX, 1, 0);
    current_entry = nullptr;
    click(IDC_SELECT_ALL);
    EXPECT_EQ(selected_lines(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(caret(), 1);
}

TEST_F(PlaylistTest, SelectAllReachesBeyondLine65535) {
    std::vector<std::string> titles;
    for (int i = 0; i < 70000; i++) {
        titles.push_back("t" + std::to_string(i));
    }
    // The lines go in as one batch, whose painting is suspended: line by
    // line, a visible list box under Wine takes more than ten minutes.
    HWND list = item(IDC_PLAYLIST);
    load(titles);
    click(IDC_SELECT_ALL);
    EXPECT_EQ(SendMessageA(list, LB_GETSELCOUNT, 0, 0), 70000);
    EXPECT_NE(SendMessageA(list, LB_GETSEL, 69999, 0), 0);
}
