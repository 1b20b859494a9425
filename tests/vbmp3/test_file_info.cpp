// Tags and durations read by vbmp3_getFileInfo from every fixture.
#include "vbmp3/harness.h"

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

struct Expected {
    const char* file;
    const char* title; // Windows-1252
    const char* artist;
    int length;
    int frequency;
    int channels;
};

static const Expected fixtures[] = {
    {"cbr_44k_stereo_v23.mp3", "Chanson claire", "Artiste Un", 3, 44100, 2},
    // UTF-8 in ID3v2.4: the euro sign has a byte; a Polish letter and an emoji do not.
    {"vbr_48k_mono_v24_utf8.mp3", "Caf\xE9 5 \x80 ??",
     "Ren\xE9"
     "e",
     2, 48000, 1},
    {"cbr_22k_stereo_v24_utf16.mp3", "\xC0 la claire fontaine", "Chorale", 2, 22050, 2},
    {"vbr_32k_mono_v23_utf16.mp3", "Na\xEFve", "\xC9lodie", 2, 32000, 1},
    {"cbr_44k_v24_latin1.mp3", "D\xE9j\xE0 vu", "Fran\xE7oise", 3, 44100, 2},
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
    EXPECT_STREQ(tag_info.title, "Apr\xE8s l'image");
    EXPECT_STREQ(tag_info.artist, "Artiste");
    EXPECT_EQ(info.length, 1);
    EXPECT_EQ(info.frequency, 44100);
    EXPECT_EQ(info.header_bytes, static_cast<int>(tag.size() + frames.size()));
    std::filesystem::remove(path);
}

// Paths come from the program in UTF-8, the file system's own names.
TEST(FileInfo, Utf8PathsReachTheirFiles) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "vbmp3_paths";
    std::filesystem::create_directories(dir);
    std::filesystem::path on_disk = dir / std::filesystem::path(u8"Caf\u00e9 \u20ac.mp3");
    std::filesystem::copy_file(fixture("cbr_44k_stereo_v23.mp3"), on_disk,
                               std::filesystem::copy_options::overwrite_existing);
    // Joined as bytes: a narrow std::filesystem path is not UTF-8 on Windows.
    std::string utf8 = dir.string() + "/Caf\xC3\xA9 \xE2\x82\xAC.mp3";

    VBMP3_TAG_INFO tag;
    VBMP3_INFO info;
    EXPECT_NE(vbmp3_getFileInfo(utf8.c_str(), &tag, &info), 0);
    EXPECT_STREQ(tag.title, "Chanson claire");

    vbmp3_testing_useOutput(VBMP3_OUTPUT_FAST);
    ASSERT_NE(vbmp3_init(), 0);
    char record[VBMP3_OPEN_RECORD_SIZE];
    EXPECT_NE(vbmp3_open(utf8.c_str(), record), 0);
    EXPECT_EQ(vbmp3_getState(nullptr), 2);
    vbmp3_free();
    vbmp3_testing_useOutput(VBMP3_OUTPUT_DEVICE);
    std::filesystem::remove_all(dir);
}
