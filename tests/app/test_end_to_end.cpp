// The real program, started in an empty directory on the off-screen platform
// and closed with a close request (SIGTERM, which the platform turns into
// closing the main window): exit status 0 and the files it leaves.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/real_program.h"

using namespace real_program;

namespace {

class EndToEnd : public TempFolderTest {};

} // namespace

TEST_F(EndToEnd, FirstStartInAnEmptyDirectoryWritesItsFilesAndExitsWithZero) {
    Program program(dir);
    ASSERT_TRUE(wait_for([&] { return fs::exists(dir / "Froulard.ini"); }));
    std::string settings = read_file(dir / "Froulard.ini");
    ASSERT_TRUE(wait_for(
        [&] {
            settings = read_file(dir / "Froulard.ini");
            return settings.find("activateeq=0\r\n") != std::string::npos;
        },
        5000));
    EXPECT_EQ(settings.rfind("[Init]\r\nvolume=50\r\nbalance=100\r\nrepeat=0\r\n", 0), 0u);
    EXPECT_FALSE(fs::exists(dir / "Froulard.m3u")); // written only at close
    ASSERT_TRUE(program.running());

    EXPECT_EQ(program.close(), 0);
    EXPECT_EQ(read_file(dir / "Froulard.m3u"), "#EXTM3U\r\n");
    EXPECT_EQ(read_file(dir / "Froulard.ini"), settings);
}

TEST_F(EndToEnd, ASecondStartKeepsThePlaylistAndTheSettings) {
    const char* fixtures = std::getenv("MELODIANE_FIXTURES");
    ASSERT_NE(fixtures, nullptr);
    fs::copy_file(fs::path(fixtures) / "no_tag.mp3", dir / "un.mp3");
    std::string playlist =
        "#EXTM3U\r\n#EXTINF:1,Un - Titre\r\n" + (dir / "un.mp3").string() + "\r\n";
    std::ofstream(dir / "Froulard.m3u", std::ios::binary) << playlist;
    std::ofstream(dir / "Froulard.ini", std::ios::binary) << "[Init]\r\nvolume=30\r\nrepeat=1\r\n";
    Program program(dir);
    ASSERT_TRUE(program.opened());
    EXPECT_EQ(program.close(), 0);
    EXPECT_EQ(read_file(dir / "Froulard.m3u"), playlist);
    std::string settings = read_file(dir / "Froulard.ini");
    EXPECT_NE(settings.find("\r\nvolume=30\r\n"), std::string::npos);
    EXPECT_NE(settings.find("\r\nrepeat=1\r\n"), std::string::npos);
}

TEST_F(EndToEnd, ArgumentsAreIgnoredEvenThoseQtWouldRead) {
    Program program(dir,
                    {"-platform", "nonexistent", "-style", "foo", "-reverse", "--unknown", "x"});
    ASSERT_TRUE(program.opened());
    ASSERT_TRUE(program.running());
    EXPECT_EQ(program.close(), 0);
    EXPECT_EQ(read_file(dir / "Froulard.m3u"), "#EXTM3U\r\n");
}
