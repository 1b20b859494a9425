// The text-mode files and the profile files, built from the same source on
// Linux and on Windows (run under Wine): each build must give the same bytes
// for the same calls, so that playlists and Froulard.ini move between them.
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class FileFormats : public ::testing::Test {
  protected:
    void SetUp() override {
        auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        dir = fs::temp_directory_path() / ("melodiane-formats-" + std::to_string(now));
        fs::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    std::string path(const char* name) {
        return (dir / name).string();
    }
    std::string read(const char* name) {
        std::ifstream in(dir / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void write(const char* name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    std::vector<std::string> names() {
        std::vector<std::string> found;
        for (const fs::directory_entry& entry : fs::directory_iterator(dir))
            found.push_back(entry.path().filename().string());
        return found;
    }

    // Every line of a file as text_gets gives it.
    std::vector<std::string> lines(const char* name) {
        std::vector<std::string> read_lines;
        TextFile* file = text_open_read(path(name).c_str());
        EXPECT_NE(file, nullptr);
        char buffer[MAX_PATH];
        while (file && text_gets(buffer, sizeof buffer, file))
            read_lines.emplace_back(buffer);
        text_close(file);
        return read_lines;
    }

    fs::path dir;
};

using Lines = std::vector<std::string>;

} // namespace

TEST_F(FileFormats, WrittenLinesEndInCrLfAndReplaceTheOldFileLeavingNothingElse) {
    write("liste.m3u", "ancienne liste\r\n");
    TextFile* file = text_open_replace(path("liste.m3u").c_str());
    ASSERT_NE(file, nullptr);
    text_write(file, "#EXTM3U\n#EXTINF:3,Caf\xC3\xA9 - \xC3\x89t\xC3\xA9\n");
    text_write(file, "C:\\Musique\\\xC3\xA9t\xC3\xA9.mp3\nlone\rCR\n");
    EXPECT_EQ(read("liste.m3u"), "ancienne liste\r\n"); // whole until the commit
    EXPECT_EQ(text_commit(file), 1);
    EXPECT_EQ(read("liste.m3u"), "#EXTM3U\r\n#EXTINF:3,Caf\xE9 - \xC9t\xE9\r\n"
                                 "C:\\Musique\\\xE9t\xE9.mp3\r\nlone\rCR\r\n");
    EXPECT_EQ(names(), std::vector<std::string>{"liste.m3u"});
}

TEST_F(FileFormats, AnAbandonedReplacementLeavesTheOldFileAndNoTemporaryFile) {
    write("liste.m3u", "ancienne liste\r\n");
    TextFile* file = text_open_replace(path("liste.m3u").c_str());
    ASSERT_NE(file, nullptr);
    text_write(file, "nouvelle\n");
    text_close(file);
    EXPECT_EQ(read("liste.m3u"), "ancienne liste\r\n");
    EXPECT_EQ(names(), std::vector<std::string>{"liste.m3u"});
}

TEST_F(FileFormats, ReadingTurnsCrLfIntoLineFeedsAndEveryFileIntoUtf8) {
    write("ansi.m3u", "caf\xE9\r\nlone\rCR\r\nlast");
    EXPECT_EQ(lines("ansi.m3u"), (Lines{"caf\xC3\xA9\n", "lone\rCR\n", "last"}));

    // Marked or not, UTF-8 stays as it is; in a marked file, bytes that are not
    // UTF-8 are kept as they are.
    write("marked.m3u", "\xEF\xBB\xBF"
                        "caf\xC3\xA9\r\n\xE2\x86\x92x\r\n\xFF\r\n");
    EXPECT_EQ(lines("marked.m3u"), (Lines{"caf\xC3\xA9\n", "\xE2\x86\x92x\n", "\xFF\n"}));
    write("plain.m3u", "\xD0\x9C\xC3\xA9\r\n");
    EXPECT_EQ(lines("plain.m3u"), (Lines{"\xD0\x9C\xC3\xA9\n"}));

    // Written back, each comes out as it was read.
    for (const char* name : {"ansi.m3u", "plain.m3u"}) {
        std::string before = read(name);
        Lines read_lines = lines(name);
        TextFile* file = text_open_replace(path(name).c_str());
        for (const auto& line : read_lines)
            text_write(file, line.c_str());
        EXPECT_EQ(text_commit(file), 1);
        EXPECT_EQ(read(name), name == std::string("ansi.m3u") ? before : "\xEF\xBB\xBF" + before);
    }
}

TEST_F(FileFormats, SettingsWrittenIntoAnEditedFileKeepEveryOtherByte) {
    write("Froulard.ini", "; notes\r\n[init]\r\nVolume = 30\r\n\r\n[Autre]\nx=1\n");
    std::string ini = path("Froulard.ini");
    EXPECT_TRUE(WritePrivateProfileStringA("Init", "volume", "80", ini.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("Init", "repeat", "1", ini.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("Neuve", "cle", "valeur", ini.c_str()));
    EXPECT_EQ(read("Froulard.ini"), "; notes\r\n[init]\r\nVolume=80\r\nrepeat=1\r\n\r\n"
                                    "[Autre]\nx=1\n[Neuve]\r\ncle=valeur\r\n");
    EXPECT_EQ(GetPrivateProfileIntA("INIT", "VOLUME", 50, ini.c_str()), 80u);
    char text[16];
    EXPECT_EQ(GetPrivateProfileStringA("autre", "x", "", text, sizeof text, ini.c_str()), 1u);
    EXPECT_STREQ(text, "1");
    EXPECT_EQ(names(), std::vector<std::string>{"Froulard.ini"});
}

TEST_F(FileFormats, ANewSettingsFileIsOneSectionOfCrLfLines) {
    std::string ini = path("Froulard.ini");
    EXPECT_EQ(GetPrivateProfileIntA("Init", "volume", 50, ini.c_str()), 50u);
    EXPECT_FALSE(fs::exists(dir / "Froulard.ini")); // reading creates nothing
    EXPECT_TRUE(WritePrivateProfileStringA("Init", "volume", "50", ini.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("Init", "fontfacename", "Arial", ini.c_str()));
    EXPECT_EQ(read("Froulard.ini"), "[Init]\r\nvolume=50\r\nfontfacename=Arial\r\n");
}

// Names in every script name their file exactly, on Windows through the "A"
// functions with UTF-8 as the program's code page.
TEST_F(FileFormats, NamesInEveryScriptNameTheirFileExactly) {
#ifdef _WIN32
    EXPECT_EQ(GetACP(), 65001u);
#endif
    for (const char* name :
         {"\xD0\x9C\xD0\xB5\xD0\xBB\xD0\xBE\xD0\xB4\xD0\xB8\xD1\x8F.m3u",
          "\xE6\x97\xA5\xE6\x9C\xAC.m3u", "\xF0\x9F\x8E\xB5.m3u", "Dvo\xC5\x99\xC3\xA1k.ini"}) {
        SCOPED_TRACE(name);
        // Joined as bytes: a narrow std::filesystem path is not UTF-8 on Windows.
        std::string file_path = dir.string() + PATH_SEPARATOR_STRING + name;
        TextFile* file = text_open_replace(file_path.c_str());
        ASSERT_NE(file, nullptr);
        text_write(file, "x\n");
        ASSERT_EQ(text_commit(file), 1);
        std::u8string wanted(reinterpret_cast<const char8_t*>(name));
        EXPECT_TRUE(fs::exists(dir / fs::path(wanted)));
        TextFile* read_back = text_open_read(file_path.c_str());
        char line[8];
        ASSERT_NE(read_back, nullptr);
        EXPECT_STREQ(text_gets(line, sizeof line, read_back), "x\n");
        text_close(read_back);
        ASSERT_TRUE(WritePrivateProfileStringA("Init", "volume", "5", file_path.c_str()));
        EXPECT_EQ(GetPrivateProfileIntA("Init", "volume", 0, file_path.c_str()), 5u);
        fs::remove(dir / fs::path(wanted));
    }
    EXPECT_TRUE(names().empty());
}
