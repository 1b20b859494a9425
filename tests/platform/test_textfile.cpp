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
    bool operator==(const Piece&) const = default;
};

static std::ostream& operator<<(std::ostream& out, const Piece& piece) {
    return out << '"' << piece.text << '"';
}

static std::string repeat(const std::string& text, int times) {
    std::string repeated;
    for (int i = 0; i < times; i++)
        repeated += text;
    return repeated;
}

// Every piece the reader delivers with a buffer of the given size.
static std::vector<Piece> pieces_of(const std::string& path, int size = 260) {
    std::vector<Piece> pieces;
    TextFile* file = text_open_read(path.c_str());
    if (!file)
        return pieces;
    std::vector<char> buffer(size);
    while (text_gets(buffer.data(), size, file))
        pieces.push_back({buffer.data()});
    text_close(file);
    return pieces;
}

TEST(TextRead, LineEndsAsWindowsTextMode) {
    ScratchDir dir;
    std::string path = dir.file("a.m3u");
    write_bytes(path, "#EXTM3U\r\none\ntwo\rstill two\r\n\r\nlast\r");
    std::vector<Piece> expected = {
        {"#EXTM3U\n"}, {"one\n"}, {"two\rstill two\n"}, {"\n"}, {"last\r"}};
    EXPECT_EQ(pieces_of(path), expected);
    EXPECT_EQ(text_open_read(dir.file("missing.m3u").c_str()), nullptr);
}

TEST(TextRead, LongLinesArriveInPiecesAtTheByteLimit) {
    ScratchDir dir;
    std::string path = dir.file("a.m3u");
    // 259 bytes of text then CR LF: the last piece is the line feed alone.
    write_bytes(path, std::string(259, 'a') + "\r\n" + std::string(300, 'b') + "\r\nxy");
    std::vector<Piece> expected = {{std::string(259, 'a')},
                                   {"\n"},
                                   {std::string(259, 'b')},
                                   {std::string(41, 'b') + "\n"},
                                   {"xy"}};
    EXPECT_EQ(pieces_of(path), expected);
    // A CR LF pair at the limit still counts as the one line feed.
    write_bytes(path, "abc\r\nd");
    EXPECT_EQ(pieces_of(path, 5), (std::vector<Piece>{{"abc\n"}, {"d"}}));
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

// Reading, per kind of file: a mark means UTF-8, so does valid UTF-8 with a
// multi-byte sequence; anything else is Windows-1252, converted.
TEST(TextRead, EveryKindOfFileBecomesTheProgramsUtf8) {
    struct Row {
        std::string bytes;
        std::vector<Piece> pieces;
    };
    const Row rows[] = {
        // UTF-8 without a mark, as "find" writes it: every script whole.
        {"#EXTINF:1,Dvo\xC5\x99\xC3\xA1k \xE2\x82\xAC\r\n/m/\xD0\x9C\xE6\x97\xA5.mp3\r\n"
         "/m/\xF0\x9F\x98\x80"
         "e\xCC\x81.mp3\n",
         {{"#EXTINF:1,Dvo\xC5\x99\xC3\xA1k \xE2\x82\xAC\n"},
          {"/m/\xD0\x9C\xE6\x97\xA5.mp3\n"},
          {"/m/\xF0\x9F\x98\x80"
           "e\xCC\x81.mp3\n"}}},
        // A mark is skipped, even on plain ASCII.
        {"\xEF\xBB\xBF#EXTM3U\nx\n", {{"#EXTM3U\n"}, {"x\n"}}},
        // Not valid UTF-8: Windows-1252, every byte its character.
        {"Beyonc\xE9 \x80\n\xC3\xA9\xFF\x81\n",
         {{"Beyonc\xC3\xA9 \xE2\x82\xAC\n"}, {"\xC3\x83\xC2\xA9\xC3\xBF\xC2\x81\n"}}},
        // Marked, with bytes that are not UTF-8: kept as they are.
        {"\xEF\xBB\xBF\xC3\xA9\n/m/\xFF.mp3\n", {{"\xC3\xA9\n"}, {"/m/\xFF.mp3\n"}}},
        {"\xEF\xBB\xBF" + std::string(300, 'a') + "\xFF\n",
         {{std::string(259, 'a')}, {std::string(41, 'a') + "\xFF\n"}}},
    };
    ScratchDir dir;
    std::string path = dir.file("a.m3u");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bytes);
        write_bytes(path, row.bytes);
        EXPECT_EQ(pieces_of(path), row.pieces);
    }

    // Files of several megabytes (the reader's blocks): one text, a CR LF at
    // a block's end included.
    const std::string many(1 << 20, 'a');
    const std::string tail = "\r\n\xD0\x96\r\n";
    for (const auto& [bytes, text] :
         {std::pair{many.substr(1) + tail, many.substr(1) + "\n\xD0\x96\n"},
          std::pair{std::string(1 << 20, '\xE9') + "\r\n", [] {
                        std::string text;
                        for (int i = 0; i < (1 << 20); i++)
                            text += "\xC3\xA9";
                        return text + "\n";
                    }()}}) {
        write_bytes(path, bytes);
        std::string read;
        for (const Piece& piece : pieces_of(path))
            read += piece.text;
        EXPECT_EQ(read, text);
    }
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
        write_file(path, {"#EXTM3U\n", "#EXTINF:5,T\xC3\xADtulo\n", "/m/a.mp3", "\n", "x\r\n"}));
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

// Writing: Windows-1252 byte for byte while every character has a byte there
// and those bytes would not read back as UTF-8; else UTF-8 behind a mark
// (always for ".m3u8"). Whatever is written reads back the same.
TEST(TextWrite, TheEncodingIsChosenForTheWholeFileAndReadsBack) {
    struct Row {
        const char* name;
        std::string text;
        std::string bytes;
    };
    const std::string mark = "\xEF\xBB\xBF";
    const Row rows[] = {
        {"a.m3u", "plain\n", "plain\r\n"},
        {"a.m3u", "caf\xC3\xA9 \xE2\x82\xAC \xC5\x93\n", "caf\xE9 \x80 \x9C\r\n"},
        // One character beyond Windows-1252 makes the whole file UTF-8.
        {"a.m3u", "caf\xC3\xA9\nDvo\xC5\x99\xC3\xA1k\n",
         mark + "caf\xC3\xA9\r\nDvo\xC5\x99\xC3\xA1k\r\n"},
        // "Café" misread once ("CafÃ©"): its Windows-1252 bytes are UTF-8 for "Café".
        {"a.m3u", "/m/Caf\xC3\x83\xC2\xA9.mp3\n", mark + "/m/Caf\xC3\x83\xC2\xA9.mp3\r\n"},
        // Bytes that would begin with the mark.
        {"a.m3u", "\xC3\xAF\xC2\xBB\xC2\xBFx\n", mark + "\xC3\xAF\xC2\xBB\xC2\xBFx\r\n"},
        {"a.m3u", "\xC3\xAF\xC2\xBB\xC2\xBF\xC3\xA9\n",
         mark + "\xC3\xAF\xC2\xBB\xC2\xBF\xC3\xA9\r\n"},
        {"a.M3U8", "plain\n", mark + "plain\r\n"},
        // Long files, so that the Windows-1252 bytes already written are
        // widened in the file when the text turns out to need UTF-8.
        {"a.m3u",
         repeat("\xE2\x82\xAC\xE2\x82\xAC caf\xC3\xA9\n", 30000) + "Dvo\xC5\x99\xC3\xA1k\n",
         mark + repeat("\xE2\x82\xAC\xE2\x82\xAC caf\xC3\xA9\r\n", 30000) +
             "Dvo\xC5\x99\xC3\xA1k\r\n"},
        {"a.m3u", repeat("\xC3\x83\xC2\xA9", 40000) + "\n",
         mark + repeat("\xC3\x83\xC2\xA9", 40000) + "\r\n"},
        {"a.m3u", repeat("caf\xC3\xA9\n", 30000), repeat("caf\xE9\r\n", 30000)},
    };
    ScratchDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.substr(0, 40));
        std::string path = dir.file(row.name);
        ASSERT_TRUE(write_file(path, {row.text.c_str()}));
        EXPECT_EQ(read_bytes(path), row.bytes);
        std::string back;
        for (const Piece& piece : pieces_of(path))
            back += piece.text;
        EXPECT_EQ(back, row.text);

        // Written in pieces that cut characters, the bytes are the same.
        std::vector<std::string> cuts;
        for (size_t at = 0; at < row.text.size(); at += 7)
            cuts.push_back(row.text.substr(at, 7));
        std::vector<const char*> pieces;
        for (const std::string& cut : cuts)
            pieces.push_back(cut.c_str());
        ASSERT_TRUE(write_file(path, pieces));
        EXPECT_EQ(read_bytes(path), row.bytes);
    }
}

// Cuts at a byte limit never split a character.
TEST(TextCut, CutsFallOnCharacterBoundaries) {
    struct Row {
        std::string text;
        size_t limit;
        std::string kept;
    };
    const Row rows[] = {
        {"abc", 5, "abc"},
        {"ab\xC3\xA9", 3, "ab"},
        {"\xD0\x9C\xD0\xB5", 3, "\xD0\x9C"},
        {"\xE6\x97\xA5\xE6\x9C\xAC", 5, "\xE6\x97\xA5"},
        {"a\xF0\x9F\x98\x80", 4, "a"},
        {"e\xCC\x81", 2, "e"},
        {"\xFF\xFE", 1, "\xFF"}, // a byte that is no sequence is a character of its own
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(text_cut_length(row.text.data(), row.text.size(), row.limit), row.kept.size());
        std::string copy = row.text;
        text_cut(copy.data(), row.limit);
        EXPECT_STREQ(copy.c_str(), row.kept.c_str());
    }
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
    // More than one block of output, and shorter than the old file; its last
    // line makes it UTF-8.
    std::string line = std::string(40, 'z') + "\n";
    EXPECT_TRUE(as_ordinary_user([&] {
        TextFile* file = text_open_replace(path.c_str());
        if (!file)
            return false;
        for (int i = 0; i < 2000; i++)
            text_write(file, line.c_str());
        text_write(file, "Dvo\xC5\x99\xC3\xA1k\n");
        return text_commit(file) != 0;
    }));
    EXPECT_FALSE(as_ordinary_user([&] { return write_file(read_only, {"new\n"}); }));
    chmod(sub.c_str(), 0755);

    std::string expected = "\xEF\xBB\xBF";
    for (int i = 0; i < 2000; i++)
        expected += std::string(40, 'z') + "\r\n";
    EXPECT_EQ(read_bytes(path), expected + "Dvo\xC5\x99\xC3\xA1k\r\n");
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
