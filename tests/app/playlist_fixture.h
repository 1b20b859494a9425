// A running program whose playlist holds entries of chosen titles, read from a
// playlist file as "Ajouter" would read it.
#pragma once

#include "app_fixture.h"

class PlaylistTest : public AppTest {
  protected:
    // Adds entries of these titles (durations 1, 2, 3, ...) at the end of the
    // playlist, then selects the given lines.
    void load(const std::vector<std::string>& titles, const std::vector<int>& selection = {}) {
        std::string content = "#EXTM3U\n";
        for (size_t i = 0; i < titles.size(); i++) {
            content += "#EXTINF:" + std::to_string(i + 1) + "," + titles[i] + "\n" +
                       path_in_dir("entry" + std::to_string(i) + ".mp3") + "\n";
        }
        write_file("titles.m3u", content);
        std::string directory = dir.string() + PATH_SEPARATOR_STRING;
        add_files((int)SendMessageA(item(IDC_PLAYLIST), LB_GETCOUNT, 0, 0), directory.c_str(),
                  "titles.m3u\0");
        select(selection);
    }

    void select(const std::vector<int>& selection) {
        for (int line : selection) {
            SendMessageA(item(IDC_PLAYLIST), LB_SETSEL, TRUE, line);
        }
    }

    // The titles of the list itself, from playlist_head; they must match the
    // list box line for line.
    std::vector<std::string> list_titles() {
        std::vector<std::string> titles;
        for (PlaylistEntry* entry = playlist_head; entry != nullptr; entry = entry->next) {
            titles.push_back(entry->title);
        }
        return titles;
    }

    // The list box lines, after checking that the list says the same.
    std::vector<std::string> checked_lines() {
        std::vector<std::string> shown = lines();
        EXPECT_EQ(list_titles(), shown);
        return shown;
    }

    int caret() {
        return (int)SendMessageA(item(IDC_PLAYLIST), LB_GETCURSEL, 0, 0);
    }
};
