// Tags and durations read by vbmp3_getFileInfo from every fixture.
#include "vbmp3/harness.h"

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

struct Expected {
    const char* file;
    const char* title; // UTF-8
    const char* artist;
    int length;
    int frequency;
    int channels;
};

static const Expected fixtures[] = {
    {"cbr_44k_stereo_v23.mp3", "Chanson claire", "Artiste Un", 3, 44100, 2},
    {"vbr_48k_mono_v24_utf8.mp3", "Café 5 € Ł🎵", "Renée", 2, 48000, 1},
    {"cbr_22k_stereo_v24_utf16.mp3", "À la claire fontaine", "Chorale", 2, 22050, 2},
    {"vbr_32k_mono_v23_utf16.mp3", "Naïve", "Élodie", 2, 32000, 1},
    {"cbr_44k_v24_latin1.mp3", "Déjà vu", "Françoise", 3, 44100, 2},
    {"id3v1_only.mp3", "Titre v1", "Artiste v1", 1, 44100, 2},
    {"mpeg25_8k_mono.mp3", "", "", 1, 8000, 1},
    {"id3v22.mp3", "Vieux format", "Ancien artiste", 1, 44100, 2},
    {"no_tag.mp3", "", "", 1, 44100, 2},
    {"artist_only.mp3", "", "Seul artiste", 1, 44100, 2},
    {"title_only.mp3", "Seul titre", "", 1, 44100, 2},
    {"leading_space.mp3", " Espace devant", "Artiste", 1, 44100, 2},
    {"cbr_no_info.mp3", "", "", 3, 44100, 2}, // no Info header: from the stream
    {"gapless_a.mp3", "", "", 1, 44100, 2},
    {"eq_tones.mp3", "", "", 2, 44100, 2},
};

TEST(FileInfo, TagsAndDurationsOfEveryFixture) {
    for (const Expected& e : fixtures) {
        SCOPED_TRACE(e.file);
        VBMP3_TAG_INFO tag;
        VBMP3_INFO info;
        tag.title[0] = tag.artist[0] = 'x';
        info.length = -1;
        EXPECT_NE(vbmp3_getFileInfo(fixture(e.file).c_str(), &tag, &info), 0);
        EXPECT_STREQ(tag.title, e.title);
        EXPECT_STREQ(tag.artist, e.artist);
        EXPECT_EQ(info.length, e.length);
        EXPECT_EQ(info.frequency, e.frequency);
        EXPECT_EQ(info.channels, e.channels);
    }
}

TEST(FileInfo, RecordsKeepTheirLayout) {
    EXPECT_EQ(offsetof(VBMP3_TAG_INFO, title), 0u);
    EXPECT_EQ(offsetof(VBMP3_TAG_INFO, artist), 128u);
    EXPECT_EQ(sizeof(VBMP3_TAG_INFO), 652u);
    EXPECT_EQ(offsetof(VBMP3_INFO, length), 52u);
    EXPECT_EQ(sizeof(VBMP3_INFO), 56u);
}

TEST(FileInfo, LongTitleIsCutToItsFieldWithATerminator) {
    VBMP3_TAG_INFO tag;
    VBMP3_INFO info;
    memset(&tag, 'x', sizeof tag);
    vbmp3_getFileInfo(fixture("long_title.mp3").c_str(), &tag, &info);
    EXPECT_EQ(strlen(tag.title), 127u);
    EXPECT_EQ(strncmp(tag.title, "Titre tres long Titre tres long", 31), 0);
    EXPECT_STREQ(tag.artist, "Artiste");
}

TEST(FileInfo, VariableBitRateIsFlaggedAndConstantIsNot) {
    VBMP3_TAG_INFO tag;
    VBMP3_INFO info;
    vbmp3_getFileInfo(fixture("vbr_48k_mono_v24_utf8.mp3").c_str(), &tag, &info);
    EXPECT_EQ(info.vbr, 1);
    EXPECT_TRUE(info.has_id3v2);
    vbmp3_getFileInfo(fixture("cbr_44k_stereo_v23.mp3").c_str(), &tag, &info);
    EXPECT_EQ(info.vbr, 0);
    EXPECT_EQ(info.bitrate, 64);
    EXPECT_EQ(info.version, 1);
    EXPECT_EQ(info.layer, 3);
    vbmp3_getFileInfo(fixture("id3v1_only.mp3").c_str(), &tag, &info);
    EXPECT_TRUE(info.has_id3v1);
    EXPECT_FALSE(info.has_id3v2);
}

TEST(FileInfo, BadFilesGiveEmptyRecordsWithoutHarm) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "vbmp3_info_dir";
    std::filesystem::create_directories(dir);
    const std::string paths[] = {fixture("missing.mp3"),   dir.string(),
                                 fixture("empty.mp3"),     fixture("text.mp3"),
                                 fixture("truncated.mp3"), fixture("corrupted.mp3")};
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        VBMP3_TAG_INFO tag;
        VBMP3_INFO info;
        memset(&tag, 'x', sizeof tag);
        info.length = -1;
        vbmp3_getFileInfo(path.c_str(), &tag, &info);
        EXPECT_LT(strlen(tag.title), 128u);
        EXPECT_LT(strlen(tag.artist), 128u);
        EXPECT_GE(info.length, 0);
        EXPECT_LE(info.length, 3);
    }
    std::filesystem::remove(dir);
}

// A tag larger than what is read at first (a picture, say) is walked frame by
// frame, and the audio after it is still found.
TEST(FileInfo, LargeTagBeforeTheAudio) {
    std::ifstream in(fixture("no_tag.mp3"), std::ios::binary);
    std::string audio((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto frame = [](const char* id, const std::string& body) {
        uint32_t size = static_cast<uint32_t>(body.size());
        std::string f = id;
        for (int shift = 24; shift >= 0; shift -= 8) {
            f += static_cast<char>(size >> shift & 0xFF);
        }
        return f + std::string(2, '\0') + body;
    };
    std::string frames = frame("PRIV", std::string(300000, 'p')) +
                         frame("TIT2", std::string(1, '\0') + "Apr\xE8s l'image") +
                         frame("TPE1", std::string(1, '\0') + "Artiste");
    uint32_t size = static_cast<uint32_t>(frames.size());
    std::string tag = "ID3\x03";
    tag += std::string(2, '\0');
    for (int shift = 21; shift >= 0; shift -= 7) {
        tag += static_cast<char>(size >> shift & 0x7F);
    }
    std::filesystem::path path = std::filesystem::temp_directory_path() / "vbmp3_large_tag.mp3";
    std::ofstream(path, std::ios::binary) << tag << frames << audio;

    VBMP3_TAG_INFO tag_info;
    VBMP3_INFO info;
    vbmp3_getFileInfo(path.string().c_str(), &tag_info, &info);
    EXPECT_STREQ(tag_info.title, "Après l'image"); // a Latin-1 frame
    EXPECT_STREQ(tag_info.artist, "Artiste");
    EXPECT_EQ(info.length, 1);
    EXPECT_EQ(info.frequency, 44100);
    EXPECT_EQ(info.header_bytes, static_cast<int>(tag.size() + frames.size()));
    std::filesystem::remove(path);
}

// ---- Tag text: UTF-8 out of every encoding a tag may hold ----

static std::string utf8_path(const std::filesystem::path& path) {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

static std::string utf16(const std::u16string& text, bool big_endian) {
    std::string bytes;
    for (char16_t unit : text) {
        char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += big_endian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

// An ID3v2.4 text frame of the given encoding byte and body.
static std::string frame24(const char* id, int encoding, const std::string& body) {
    std::string content = static_cast<char>(encoding) + body;
    size_t size = content.size();
    std::string f = id;
    for (int shift = 21; shift >= 0; shift -= 7) {
        f += static_cast<char>(size >> shift & 0x7F);
    }
    return f + std::string(2, '\0') + content;
}

// An ID3v1 tag whose title field holds exactly the given bytes (at most 30).
static std::string id3v1(const std::string& title) {
    std::string tag = "TAG" + title;
    tag.resize(128, '\0');
    return tag;
}

// The title vbmp3_getFileInfo reads from no_tag.mp3's audio between the tags.
static std::string title_read(const std::string& v2_frames, const std::string& v1_tag) {
    std::ifstream in(fixture("no_tag.mp3"), std::ios::binary);
    std::string audio((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string v2;
    if (!v2_frames.empty()) {
        v2 = std::string("ID3\x04", 4) + std::string(2, '\0');
        for (int shift = 21; shift >= 0; shift -= 7) {
            v2 += static_cast<char>(v2_frames.size() >> shift & 0x7F);
        }
        v2 += v2_frames;
    }
    // A file of each test's own: the tests may run at the same time.
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::path path = std::filesystem::temp_directory_path() / (name + ".mp3");
    std::ofstream(path, std::ios::binary) << v2 << audio << v1_tag;
    VBMP3_TAG_INFO tag;
    VBMP3_INFO info;
    memset(&tag, 'x', sizeof tag);
    EXPECT_NE(vbmp3_getFileInfo(utf8_path(path).c_str(), &tag, &info), 0);
    std::filesystem::remove(path);
    EXPECT_EQ(info.length, 1);
    return std::string(tag.title, strnlen(tag.title, sizeof tag.title));
}

struct TagText {
    const char* text;     // UTF-8, as it should come out
    const char16_t* wide; // the same text in UTF-16
};

static const TagText texts[] = {
    {"Dvořák - Largo", u"Dvořák - Largo"},
    {"Łódź i Gdańsk", u"Łódź i Gdańsk"},
    {"Мелодия", u"Мелодия"},
    {"09 Ωmega", u"09 Ωmega"},
    {"日本の歌", u"日本の歌"},
    {"Fête 🎵🎶", u"Fête 🎵🎶"},
    {"Fe\u0302te de\u0301compose\u0301e", u"Fe\u0302te de\u0301compose\u0301e"},
    {"Café 5 € Œuvre", u"Café 5 € Œuvre"},
};

TEST(FileInfo, TagTextInEveryEncodingComesOutAsUtf8) {
    for (const TagText& t : texts) {
        SCOPED_TRACE(t.text);
        std::u16string wide = t.wide;
        const std::string encodings[][2] = {
            {std::string(1, '\3'), t.text},
            {std::string(1, '\1'), "\xFF\xFE" + utf16(wide, false)},
            {std::string(1, '\1'), "\xFE\xFF" + utf16(wide, true)},
            {std::string(1, '\2'), utf16(wide, true)},
        };
        for (const auto& [encoding, body] : encodings) {
            EXPECT_EQ(title_read(frame24("TIT2", encoding[0], body), ""), t.text);
        }
        // Taggers that ignore the standard write UTF-8 where none is named.
        EXPECT_EQ(title_read(frame24("TIT2", 0, t.text), ""), t.text) << "Latin-1";
        EXPECT_EQ(title_read("", id3v1(t.text)), t.text) << "ID3v1";
    }
}

// Text that names no encoding is Windows-1252, unless its bytes make UTF-8.
TEST(FileInfo, UnnamedEncodingsAreWindows1252OrRecognisedUtf8) {
    struct Row {
        const char* bytes;
        const char* text;
    };
    const Row rows[] = {
        {"Caf\xE9 5 \x80 \x9C"
         "ur",
         "Café 5 € œur"},
        {"Ang\xC3\xA8le", "Angèle"},        // a tagger that wrote UTF-8 there
        {"Dvo\xC5\x99\xC3\xA1k", "Dvořák"}, // so
        {"\xC3\xA9t\xE9", "Ã©té"},          // not all UTF-8: Windows-1252
        {"Pr\xC3\xA8s \xC3", "PrÃ¨s Ã"},    // nor a cut sequence in a field not full
        {"xxxxxxxxxxМелодия Мам",           // full to the last byte, "м" cut in two
         "xxxxxxxxxxМелодия Ма"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        std::string bytes = row.bytes;
        EXPECT_EQ(title_read("", id3v1(bytes.substr(0, 30))), row.text) << "ID3v1";
        if (bytes.size() <= 30) {
            EXPECT_EQ(title_read(frame24("TIT2", 0, bytes), ""), row.text) << "Latin-1";
        }
    }
}

// Fields hold what fits of a long text, cut between two characters.
TEST(FileInfo, LongTextIsCutAtACharacterBoundary) {
    const std::pair<std::string, size_t> rows[] = {
        {"ř", 126}, {"日", 126}, {"🎵", 124}, {"a" + std::string(200, 'b'), 127}};
    for (const auto& [unit, kept] : rows) {
        SCOPED_TRACE(unit.substr(0, 4));
        std::string text;
        while (text.size() < 200) {
            text += unit;
        }
        std::string title = title_read(frame24("TIT2", 3, text), "");
        EXPECT_EQ(title, text.substr(0, kept));
    }
}

// Paths are UTF-8 on both systems, whatever their script.
TEST(FileInfo, Utf8PathsReachTheirFiles) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "vbmp3_paths";
    std::filesystem::create_directories(dir);
    vbmp3_setOutput("fast");
    ASSERT_NE(vbmp3_init(), 0);
    for (const TagText& t : texts) {
        SCOPED_TRACE(t.text);
        std::filesystem::path on_disk = dir / (std::u16string(t.wide) + u".mp3");
        std::filesystem::copy_file(fixture("cbr_44k_stereo_v23.mp3"), on_disk,
                                   std::filesystem::copy_options::overwrite_existing);
        std::string path = utf8_path(dir) + "/" + t.text + ".mp3";

        VBMP3_TAG_INFO tag;
        VBMP3_INFO info;
        EXPECT_NE(vbmp3_getFileInfo(path.c_str(), &tag, &info), 0);
        EXPECT_STREQ(tag.title, "Chanson claire");
        char record[VBMP3_OPEN_RECORD_SIZE];
        EXPECT_NE(vbmp3_open(path.c_str(), record), 0);
        EXPECT_EQ(vbmp3_getState(nullptr), 2);
        vbmp3_close();
    }
    vbmp3_free();
    vbmp3_setOutput("device");
    std::filesystem::remove_all(dir);
}
