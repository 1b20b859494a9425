// Sorting and shuffling the selected lines: the collation, the order of equal
// keys, the lines that may move, and the fast passes against a plain
// transcription of the one-slot-at-a-time rules.
#include "playlist_fixture.h"

#include "codepage/cp1252.h"
#include "codepage/utf8.h"

#include <algorithm>
#include <map>
#include <random>

// ---- Reference transcriptions: the rules applied literally ----

static void reference_sort(char** keys, int first, int last, int depth, PlaylistEntry** entries) {
    auto c = [&](int x) { return (signed char)keys[x][depth]; };
    for (int p = first; p <= last - 1; p++) {
        int smallest = p;
        for (int q = p + 1; q <= last; q++) {
            if (c(q) < c(smallest)) {
                smallest = q;
            }
        }
        std::swap(keys[p], keys[smallest]);
        std::swap(entries[p], entries[smallest]);
    }
    int g = first;
    for (int a = first; a <= last; a++) {
        if (c(a) != c(g)) {
            if (c(g) != 0 && a - 1 - g >= 1) {
                reference_sort(keys, g, a - 1, depth + 1, entries);
            }
            g = a;
        }
        if (a == last && g != a && c(g) != 0) {
            reference_sort(keys, g, last, depth + 1, entries);
        }
    }
}

static void reference_shuffle(PlaylistEntry** entries, int k) {
    std::vector<PlaylistEntry*> places(k, nullptr);
    for (int i = k; i >= 1; i--) {
        long long v = rand() & 0x7FFF;
        int r = (int)(v * i / 32768);
        for (int s = 0;; s++) {
            if (places[s] == nullptr && r-- == 0) {
                places[s] = entries[i - 1];
                break;
            }
        }
    }
    std::copy(places.begin(), places.end(), entries);
}

// Entries with the given titles, outside any playlist.
struct TitleSet {
    explicit TitleSet(const std::vector<std::string>& titles) : texts(titles) {
        records.resize(texts.size());
        for (size_t i = 0; i < texts.size(); i++) {
            records[i].title = texts[i].data();
        }
    }
    std::vector<PlaylistEntry*> entries() {
        std::vector<PlaylistEntry*> result;
        for (PlaylistEntry& record : records) {
            result.push_back(&record);
        }
        return result;
    }
    std::vector<std::string> texts;
    std::vector<PlaylistEntry> records;
};

// The entries' order after sorting with the given function.
template <typename Sort> static std::vector<PlaylistEntry*> sorted(TitleSet& set, Sort sort) {
    std::vector<PlaylistEntry*> entries = set.entries();
    std::vector<char*> keys;
    for (PlaylistEntry* entry : entries) {
        keys.push_back(sort_key(entry));
    }
    sort(keys.data(), 0, (int)keys.size() - 1, 0, entries.data());
    for (char* key : keys) {
        free(key);
    }
    return entries;
}

// Random titles from a small alphabet rich in ties: upper and lower case,
// accented twins, bytes 0x80..0xBF, duplicates and prefixes of each other.
static std::string random_title(std::mt19937& random) {
    static const std::string alphabet = std::string("aAbBeE \xC9\xE9\xC8zZ1[^{\xAB\x80\xBF") + "_}";
    std::uniform_int_distribution<int> length(0, 6);
    std::uniform_int_distribution<size_t> letter(0, alphabet.size() - 1);
    std::string title;
    for (int n = length(random); n > 0; n--) {
        title += alphabet[letter(random)];
    }
    return title;
}

TEST(SortByKey, GivesTheSameOrderAsThePlainPassesTiesIncluded) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 3000; round++) {
        int size = round % 10 == 0 ? 100 + (int)(random() % 400) : 2 + (int)(random() % 40);
        std::vector<std::string> titles;
        for (int i = 0; i < size; i++) {
            // Repeat earlier titles often, so equal keys meet.
            titles.push_back(i > 0 && random() % 3 == 0 ? titles[random() % i]
                                                        : random_title(random));
        }
        TitleSet set(titles);
        ASSERT_EQ(sorted(set, sort_by_key), sorted(set, reference_sort)) << "round " << round;
    }
}

// Windows-1252 titles now held as UTF-8 sort exactly as their Windows-1252
// bytes did, ties included: the old key was each byte's collation byte, which
// a title of that one byte still gives first.
TEST(SortByKey, Windows1252TitlesInUtf8KeepTheirOrderTiesIncluded) {
    auto old_key = [](const std::string& cp1252) {
        std::string key;
        for (char byte : cp1252) {
            char one[2] = {byte, '\0'};
            PlaylistEntry entry = {};
            entry.title = one;
            char* single = sort_key(&entry);
            key += single[0];
            free(single);
        }
        return key;
    };
    auto utf8_of = [](const std::string& cp1252) {
        std::string text;
        for (char byte : cp1252) {
            char sequence[4];
            text.append(sequence, utf8_encode(cp1252_to_code_point((unsigned char)byte), sequence));
        }
        return text;
    };
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> any_byte(1, 255);
    for (int round = 0; round < 300; round++) {
        int size = 2 + (int)(random() % 200);
        std::vector<std::string> cp1252;
        for (int i = 0; i < size; i++) {
            std::string title = i > 0 && random() % 3 == 0 ? cp1252[random() % i] : "";
            for (int n = (int)(random() % 6); n > 0; n--) {
                // Half the time a letter of the tie-rich alphabet, else any byte.
                title += random() % 2 ? random_title(random).substr(0, 1)
                                      : std::string(1, (char)any_byte(random));
            }
            cp1252.push_back(title);
        }
        std::vector<std::string> utf8;
        std::vector<std::string> old_keys;
        for (const std::string& title : cp1252) {
            utf8.push_back(utf8_of(title));
            old_keys.push_back(old_key(title));
        }
        TitleSet now(utf8);
        TitleSet before(old_keys); // sorted on their own bytes, below
        std::vector<PlaylistEntry*> entries = before.entries();
        std::vector<char*> keys;
        for (std::string& key : before.texts)
            keys.push_back(key.data());
        reference_sort(keys.data(), 0, size - 1, 0, entries.data());
        std::vector<PlaylistEntry*> sorted_now = sorted(now, sort_by_key);
        for (int i = 0; i < size; i++) {
            ASSERT_EQ(sorted_now[i] - now.records.data(), entries[i] - before.records.data())
                << "round " << round << " place " << i;
        }
    }
}

// Letters beyond Windows-1252 sort with their base letter, decomposed accents
// as composed ones, and every other character after all of Windows-1252 in
// code-point order.
TEST(SortKey, TitlesInAnyScriptSort) {
    const std::vector<std::string> rows[][2] = {
        {{"Rose", "řeka", "Ostrava", "Őrség", "Smetana", "Śląsk", "Pavel"},
         {"Őrség", "Ostrava", "Pavel", "Rose", "řeka", "Śląsk", "Smetana"}},
        {{"Eric", "E\u0301mile", "Eddy"}, {"Eddy", "E\u0301mile", "Eric"}},
        // Equal keys: the composed and the decomposed É, as the two lines of
        // "Éric" and "Eric" end.
        {{"\u00C9ric", "E\u0301ric", "Abba"}, {"Abba", "E\u0301ric", "\u00C9ric"}},
        {{"Москва", "Zoé", "日本", "Дмитрий", "~tilde", "Ωmega", "Łódź", "`quote", "zèbre", "€uro",
          "🎵 Air", "ᴀ", "Ⴀ"},
         {"€uro", "Zoé", "zèbre", "~tilde", "`quote", "Łódź", "Ωmega", "Дмитрий", "Москва", "Ⴀ",
          "ᴀ", "日本", "🎵 Air"}},
    };
    for (const auto& [titles, expected] : rows) {
        SCOPED_TRACE(titles[0]);
        TitleSet set(titles);
        std::vector<std::string> order;
        for (PlaylistEntry* entry : sorted(set, sort_by_key))
            order.push_back(entry->title);
        EXPECT_EQ(order, expected);
    }
}

TEST(ShuffleEntries, PlacesEveryEntryAsTheSlotCountingRuleDoes) {
    for (int k : {2, 3, 7, 64, 1000, 40000}) {
        std::vector<std::string> titles(k, "x");
        TitleSet set(titles);
        std::vector<PlaylistEntry*> fast = set.entries();
        std::vector<PlaylistEntry*> plain = set.entries();
        srand(1234 + k);
        shuffle_entries(fast.data(), k);
        srand(1234 + k);
        reference_shuffle(plain.data(), k);
        ASSERT_EQ(fast, plain) << "k " << k;
    }
}

TEST(ShuffleEntries, EveryOrderOfFourComesAboutEquallyOften) {
    TitleSet set({"a", "b", "c", "d"});
    std::map<std::vector<PlaylistEntry*>, int> counts;
    srand(42);
    const int runs = 48000;
    for (int run = 0; run < runs; run++) {
        std::vector<PlaylistEntry*> entries = set.entries();
        shuffle_entries(entries.data(), 4);
        counts[entries]++;
    }
    ASSERT_EQ(counts.size(), 24u);
    // 2000 expected per order; a fair draw stays well within 10 %.
    for (const auto& [order, count] : counts) {
        EXPECT_NEAR(count, runs / 24, 200);
    }
}

// ---- Through the real main window ----

class SortShuffleTest : public PlaylistTest {
  protected:
    std::vector<std::string> sort_all(const std::vector<std::string>& titles) {
        std::vector<int> all;
        for (size_t i = 0; i < titles.size(); i++) {
            all.push_back((int)i);
        }
        load(titles, all);
        click(IDC_SORT);
        return checked_lines();
    }
};

TEST_F(SortShuffleTest, UpperCaseComesJustBeforeItsLowerCaseTwin) {
    EXPECT_EQ(sort_all({"beta", "Alpha", "Beta", "alpha"}),
              (std::vector<std::string>{"Alpha", "alpha", "Beta", "beta"}));
}

TEST_F(SortShuffleTest, AccentedLettersSortWithTheirBaseLetter) {
    EXPECT_EQ(sort_all({"Eric", "\xC9mile", "Eddy"}),
              (std::vector<std::string>{"Eddy", "\xC3\x89mile", "Eric"}));
}

TEST_F(SortShuffleTest, CaseBeatsLaterLettersAndShorterTitlesComeFirst) {
    EXPECT_EQ(sort_all({"zebra", "Zo\xE9", "ABC 2", "ABC", "Abba", "10 ans"}),
              (std::vector<std::string>{"10 ans", "ABC", "ABC 2", "Abba", "Zo\xC3\xA9", "zebra"}));
}

TEST_F(SortShuffleTest, ATitleFollowedByAGuillemetSortsBeforeTheTitleAlone) {
    EXPECT_EQ(sort_all({"Titre", "Titre\xC2\xAB"}),
              (std::vector<std::string>{"Titre\xC2\xAB", "Titre"}));
}

TEST_F(SortShuffleTest, EqualKeysEndInTheOrderTheSelectionSwapsLeave) {
    EXPECT_EQ(sort_all({"Eric", "\xC9ric", "Abba"}),
              (std::vector<std::string>{"Abba", "\xC3\x89ric", "Eric"}));
}

TEST_F(SortShuffleTest, EqualKeysInTheOtherLineOrder) {
    EXPECT_EQ(sort_all({"\xC9ric", "Eric", "Abba"}),
              (std::vector<std::string>{"Abba", "Eric", "\xC3\x89ric"}));
}

TEST_F(SortShuffleTest, OnlySelectedLinesChangePlacesAndStaySelected) {
    load({"d", "c", "b", "a"}, {1, 3});
    click(IDC_SORT);
    EXPECT_EQ(checked_lines(), (std::vector<std::string>{"d", "a", "b", "c"}));
    EXPECT_EQ(selected_lines(), (std::vector<int>{1, 3}));
}

TEST_F(SortShuffleTest, ShuffleKeepsUnselectedLinesAndTheSelection) {
    load({"0", "1", "2", "3", "4", "5", "6", "7"}, {1, 2, 4, 6, 7});
    click(IDC_SHUFFLE);
    std::vector<std::string> after = checked_lines();
    EXPECT_EQ(after[0], "0");
    EXPECT_EQ(after[3], "3");
    EXPECT_EQ(after[5], "5");
    std::vector<std::string> moved = {after[1], after[2], after[4], after[6], after[7]};
    std::sort(moved.begin(), moved.end());
    EXPECT_EQ(moved, (std::vector<std::string>{"1", "2", "4", "6", "7"}));
    EXPECT_EQ(selected_lines(), (std::vector<int>{1, 2, 4, 6, 7}));
}

TEST_F(SortShuffleTest, NothingHappensWithOneSelectedLineOrNoCurrentEntry) {
    load({"b", "a"}, {0});
    click(IDC_SORT);
    click(IDC_SHUFFLE);
    EXPECT_EQ(lines(), (std::vector<std::string>{"b", "a"}));

    SendMessageA(item(IDC_PLAYLIST), LB_SETSEL, TRUE, 1);
    current_entry = nullptr;
    click(IDC_SORT);
    EXPECT_EQ(lines(), (std::vector<std::string>{"b", "a"}));
    EXPECT_STREQ(playlist_head->title, "b");
}

TEST_F(SortShuffleTest, ThePlayingEntryPlaysOnAndNextFollowsTheNewOrder) {
    for (int i = 0; i < 3; i++) {
        fs::copy_file(fixture("cbr_44k_stereo_v23.mp3"),
                      path_in_dir("entry" + std::to_string(i) + ".mp3"));
    }
    load({"b", "a", "c"});
    click(IDC_PLAY); // plays "b", the current entry
    ASSERT_EQ(decoder_state(), 1);

    click(IDC_SELECT_ALL);
    click(IDC_SORT);
    EXPECT_EQ(checked_lines(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_STREQ(current_entry->title, "b");
    EXPECT_EQ(decoder_state(), 1);
    EXPECT_EQ(selected_lines(), (std::vector<int>{0, 1, 2}));

    click(IDC_NEXT); // "a" followed "b" before the sort
    EXPECT_STREQ(current_entry->title, "c");
    EXPECT_EQ(decoder_state(), 1);
}
