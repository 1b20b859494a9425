// Text-mode files: line pieces with fgets semantics, line ends, UTF-8
// playlists, and the atomic replacement on writing.
#include "platform/textfile.h"

#include "platform/file_helpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

struct Piece {
    std::string text;
    bool lossy;
    bool operator==(const Piece&) const = default;
};

static std::ostream& operator<<(std::ostream& out, const Piece& piece) {
    return out << '"' << piece.text << '"' << (piece.lossy ? " lossy" : "");
}

// Every piece the reader delivers with a buffer of the given size.
static std::vector<Piece> pieces_of(const std::string& path, int size = 260) {
    std::vector<Piece> pieces;
    TextFile* file = text_open_read(path.c_str());
    if (!file)
        return pieces;
    std::vector<char> buffer(size);
    while (text_gets(buffer.data(), size, file))
        pieces.push_back({buffer.data(), text_last_read_lossy(file) != 0});
    text_close(file);
    return pieces;
}

TEST(TextRead, LineEndsAsWindowsTextMode) {
    ScratchDir dir;
    std::string path = dir.file("a.m3u");
    write_bytes(path, "#EXTM3U\r\none\ntwo\rstill two\r\n\r\nlast\r");
    std::vector<Piece> expected = {{"#EXTM3U\n", false},
                                   {"one\n", false},
                                   {"two\rstill two\n", false},
                                   {"\n", false},
                                   {"last\r", false}};
    EXPECT_EQ(pieces_of(path), expected);
    EXPECT_EQ(text_open_read(dir.file("missing.m3u").c_str()), nullptr);
}

TEST(TextRead, LongLinesArriveInPiecesAtTheByteLimit) {
    ScratchDir dir;
    std::string path = dir.file("a.m3u");
    // 259 bytes of text then CR LF: the last piece is the line feed alone.
    write_bytes(path, std::string(259, 'a') + "\r\n" + std::string(300, 'b') + "\r\nxy");
    std::vector<Piece> expected = {{std::string(259, 'a'), false},
                                   {"\n", false},
                                   {std::string(259, 'b'), false},
                                   {std::string(41, 'b') + "\n", false},
                                   {"xy", false}};
    EXPECT_EQ(pieces_of(path), expected);
    // A CR LF pair at the limit still counts as the one line feed.
    write_bytes(path, "abc\r\nd");
    EXPECT_EQ(pieces_of(path, 5), (std::vector<Piece>{{"abc\n", false}, {"d", false}}));
    // A buffer of one byte delivers nothing rather than empty lines for ever.
    EXPECT_TRUE(pieces_of(path, 1).empty());
}

TEST(TextRead, NulBytesNeverOverrunTheBuffer) {
    ScratchDir dir;
    std::string path = dir.file("a.m3u");
    write_bytes(path, "a\0b\nc"s);
    TextFile* file = text_open_read(path.c_str());
    char buffer[8];
    ASSERT_NE(text_gets(buffer, sizeof buffer, file), nullptr);
    EXPECT_EQ(std::string(buffer, 4), "a\0b\n"s);
    ASSERT_NE(text_gets(buffer, sizeof buffer, file), nullptr);
    EXPECT_STREQ(buffer, "c");
    EXPECT_EQ(text_gets(buffer, sizeof buffer, file), nullptr);
    text_close(file);
}

TEST(TextRead, Utf8PlaylistsBecomeWindows1252) {
    ScratchDir dir;
    std::string path = dir.file("a.m3u");
    // Valid UTF-8 with multi-byte sequences: converted, with the lossy lines marked.
    write_bytes(path, "#EXTINF:1,Beyonc\xC3\xA9 \xE2\x82\xAC\r\n/m/\xE6\x97\xA5.mp3\r\n"
                      "/m/\xF0\x9F\x98\x80?.mp3\n");
    std::vector<Piece> expected = {
        {"#EXTINF:1,Beyonc\xE9 \x80\n", false}, {"/m/?.mp3\n", true}, {"/m/??.mp3\n", true}};
    EXPECT_EQ(pieces_of(path), expected);

    // A byte-order mark is skipped, even on plain ASCII.
    write_bytes(path, "\xEF\xBB\xBF#EXTM3U\nx\n");
    EXPECT_EQ(pieces_of(path), (std::vector<Piece>{{"#EXTM3U\n", false}, {"x\n", false}}));

    // Not valid UTF-8: read byte for byte as Windows-1252.
    write_bytes(path, "Beyonc\xE9\n\xC3\xA9\xFF\n");
    EXPECT_EQ(pieces_of(path),
              (std::vector<Piece>{{"Beyonc\xE9\n", false}, {"\xC3\xA9\xFF\n", false}}));

    // A lossy character in the second piece of a long line marks only that piece.
    write_bytes(path, std::string(300, 'a') + "\xE6\x97\xA5\n");
    EXPECT_EQ(pieces_of(path), (std::vector<Piece>{{std::string(259, 'a'), false},
                                                   {std::string(41, 'a') + "?\n", true}}));
}

static bool write_file(const std::string& path, const std::vector<const char*>& texts) {
    TextFile* file = text_open_replace(path.c_str());
    if (!file)
        return false;
    for (const char* text : texts)
        text_write(file, text);
    return text_commit(file) != 0;
}

TEST(TextWrite, LineFeedsBecomeCrLfAndTheFileIsReplacedWhole) {
    ScratchDir dir;
    std::string path = dir.file("Froulard.m3u");
    write_bytes(path, "old content that is longer than the new one\r\n");
    ASSERT_TRUE(
        write_file(path, {"#EXTM3U\n", "#EXTINF:5,T\xEDtulo\n", "/m/a.mp3", "\n", "x\r\n"}));
    EXPECT_EQ(read_bytes(path), "#EXTM3U\r\n#EXTINF:5,T\xEDtulo\r\n/m/a.mp3\r\nx\r\r\n");

    // A large file goes out in blocks and arrives whole.
    std::vector<std::string> lines(20000, std::string(40, 'z') + "\n");
    TextFile* file = text_open_replace(path.c_str());
    ASSERT_NE(file, nullptr);
    for (const std::string& line : lines)
        text_write(file, line.c_str());
    ASSERT_TRUE(text_commit(file));
    EXPECT_EQ(read_bytes(path).size(), 20000u * 42u);
    EXPECT_EQ(dir.listing(), "Froulard.m3u");
}

TEST(TextWrite, AbandonedOrRefusedWritesLeaveTheOldFile) {
    ScratchDir dir;
    std::string path = dir.file("a.m3u");
    write_bytes(path, "old\r\n");
    TextFile* file = text_open_replace(path.c_str());
    ASSERT_NE(file, nullptr);
    text_write(file, "new\n");
    text_close(file);
    EXPECT_EQ(read_bytes(path), "old\r\n");
    EXPECT_EQ(dir.listing(), "a.m3u");

    chmod(path.c_str(), 0444);
    EXPECT_FALSE(as_ordinary_user([&] { return text_open_replace(path.c_str()) != nullptr; }));
    std::string locked = dir.file("locked");
    mkdir(locked.c_str(), 0555);
    EXPECT_FALSE(as_ordinary_user([&] { return write_file(locked + "/b.m3u", {"x\n"}); }));
    EXPECT_EQ(read_bytes(path), "old\r\n");
    EXPECT_EQ(dir.listing(), "a.m3u locked");
}

// The folder takes no new file, so the temporary file cannot be made: a file
// that may be written is written in place at the commit, whole; an abandoned
// write leaves it as it was; a read-only file there is refused.
TEST(TextWrite, AWritableFileInAReadOnlyFolderIsWrittenInPlace) {
    ScratchDir dir;
    std::string sub = dir.file("locked");
    mkdir(sub.c_str(), 0755);
    std::string path = sub + "/Froulard.m3u";
    std::string old_content(100000, 'o');
    write_bytes(path, old_content);
    chmod(path.c_str(), 0666);
    std::string read_only = sub + "/ro.m3u";
    write_bytes(read_only, "old\r\n");
    chmod(read_only.c_str(), 0444);
    chmod(sub.c_str(), 0555);

    EXPECT_TRUE(as_ordinary_user([&] {
        TextFile* file = text_open_replace(path.c_str());
        if (!file)
            return false;
        text_write(file, "new\n");
        text_close(file);
        return read_bytes(path) == old_content;
    }));
    // More than one block of output, and shorter than the old file.
    std::string line = std::string(40, 'z') + "\n";
    EXPECT_TRUE(as_ordinary_user([&] {
        TextFile* file = text_open_replace(path.c_str());
        if (!file)
            return false;
        for (int i = 0; i < 2000; i++)
            text_write(file, line.c_str());
        return text_commit(file) != 0;
    }));
    EXPECT_FALSE(as_ordinary_user([&] { return write_file(read_only, {"new\n"}); }));
    chmod(sub.c_str(), 0755);

    std::string expected;
    for (int i = 0; i < 2000; i++)
        expected += std::string(40, 'z') + "\r\n";
    EXPECT_EQ(read_bytes(path), expected);
    EXPECT_EQ(read_bytes(read_only), "old\r\n");
    EXPECT_EQ(QDir(QString::fromStdString(sub))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"Froulard.m3u", "ro.m3u"}));
}

TEST(TextWrite, DevicesAreNotReplaced) {
    if (!exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    ScratchDir dir;
    // Writing through a link to /dev/full would not be a replacement: refused.
    std::string link = dir.file("full.m3u");
    ASSERT_EQ(symlink("/dev/full", link.c_str()), 0);
    EXPECT_EQ(text_open_replace(link.c_str()), nullptr);
    EXPECT_EQ(dir.listing(), "full.m3u");
}
