// Profile files: the INI semantics the settings rely on, hostile content, and
// the atomic replacement of the file at each write.
#include "platform/win32.h"

#include "platform/file_helpers.h"

#include <gtest/gtest.h>

#include <QDir>

#include <cstdlib>
#include <string>

using namespace std::string_literals;

static const char section[] = "Init";

static int read_int(const std::string& path, const char* key, int fallback) {
    return static_cast<int>(GetPrivateProfileIntA(section, key, fallback, path.c_str()));
}

static std::string read_string(const std::string& path, const char* key, const char* fallback,
                               DWORD size = 260, DWORD* count = nullptr) {
    char buffer[260];
    DWORD copied = GetPrivateProfileStringA(section, key, fallback, buffer, size, path.c_str());
    if (count)
        *count = copied;
    return buffer;
}

TEST(ProfileRead, MissingFileOrKeyGivesTheDefault) {
    ScratchDir dir;
    std::string ini = dir.file("Froulard.ini");
    EXPECT_EQ(read_int(ini, "volume", 50), 50);
    EXPECT_EQ(read_int(ini, "fontheight", -12), -12);
    DWORD count = 0;
    EXPECT_EQ(read_string(ini, "fontfacename", "Arial", 32, &count), "Arial");
    EXPECT_EQ(count, 5u);

    write_bytes(ini, "[Init]\r\nvolume=70\r\nempty=\r\n[Other]\r\nbalance=3\r\n");
    EXPECT_EQ(read_int(ini, "volume", 50), 70);
    EXPECT_EQ(read_int(ini, "balance", 100), 100); // in another section
    EXPECT_EQ(read_int(ini, "empty", 9), 9);
    EXPECT_EQ(read_string(ini, "missing", "Arial  "), "Arial"); // default's trailing blanks go
    EXPECT_FALSE(exists(dir.file(".Froulard.ini")));
}

TEST(ProfileRead, NamesIgnoreCaseAndValuesAreTrimmed) {
    ScratchDir dir;
    std::string ini = dir.file("a.ini");
    write_bytes(ini, "[ INIT ]\n  FontFaceName =  Liberation Sans  \r\nQuoted=\"  spaced \"\n"
                     "single='x'\nlone=\"half\n\xC9T\xC9=1\n");
    EXPECT_EQ(read_string(ini, "fontfacename", ""), "Liberation Sans");
    EXPECT_EQ(read_string(ini, "QUOTED", ""), "  spaced ");
    EXPECT_EQ(read_string(ini, "single", ""), "x");
    EXPECT_EQ(read_string(ini, "lone", ""), "\"half");
    EXPECT_EQ(read_int(ini, "\xC3\xA9t\xC3\xA9", 0), 1); // accented letters fold too
}

TEST(ProfileRead, StringsAreCutToTheBuffer) {
    ScratchDir dir;
    std::string ini = dir.file("a.ini");
    write_bytes(ini, "[Init]\r\nfontfacename=A face name longer than thirty-one characters\r\n");
    DWORD count = 0;
    EXPECT_EQ(read_string(ini, "fontfacename", "Arial", 32, &count),
              "A face name longer than thirty-");
    EXPECT_EQ(count, 31u);
    EXPECT_EQ(read_string(ini, "fontfacename", "Arial", 1, &count), "");
    EXPECT_EQ(count, 0u);
}

TEST(ProfileRead, IntegersReadAsWindowsReadsThem) {
    ScratchDir dir;
    std::string ini = dir.file("a.ini");
    write_bytes(ini, "[Init]\nneg=-12\nplus=+7\nlead=   42abc\nword=abc\nfrac=3.9\nquoted=\"-16\"\n"
                     "minus=-\nhuge=4294967297\nitalic=257\n");
    EXPECT_EQ(read_int(ini, "neg", 0), -12);
    EXPECT_EQ(read_int(ini, "plus", 0), 7);
    EXPECT_EQ(read_int(ini, "lead", 0), 42);
    EXPECT_EQ(read_int(ini, "word", 5), 0);
    EXPECT_EQ(read_int(ini, "frac", 0), 3);
    EXPECT_EQ(read_int(ini, "quoted", 0), -16);
    EXPECT_EQ(read_int(ini, "minus", 5), 0);
    EXPECT_EQ(read_int(ini, "huge", 0), 1);
    EXPECT_EQ(read_int(ini, "italic", 0) & 0xFF, 1);
}

TEST(ProfileRead, FirstSectionAndFirstKeyWin) {
    ScratchDir dir;
    std::string ini = dir.file("a.ini");
    write_bytes(ini, "volume=1\n[Init]\nvolume=2\nvolume=3\nnokey\n[init]\nvolume=4\nrepeat=1\n");
    EXPECT_EQ(read_int(ini, "volume", 0), 2);
    EXPECT_EQ(read_int(ini, "repeat", 0), 0); // only the first "Init" section counts
    EXPECT_EQ(read_int(ini, "nokey", 8), 8);  // a line without '=' has no value

    ASSERT_TRUE(WritePrivateProfileStringA(section, "VOLUME", "9", ini.c_str()));
    EXPECT_EQ(read_bytes(ini),
              "volume=1\n[Init]\nvolume=9\nvolume=3\nnokey\n[init]\nvolume=4\nrepeat=1\n");
}

TEST(ProfileWrite, CreatesFileAndSectionThenEditsInPlace) {
    ScratchDir dir;
    std::string ini = dir.file("Froulard.ini");
    ASSERT_TRUE(WritePrivateProfileStringA(section, "volume", "50", ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA(section, "balance", "100", ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA(section, "fontheight", "-12", ini.c_str()));
    EXPECT_EQ(read_bytes(ini), "[Init]\r\nvolume=50\r\nbalance=100\r\nfontheight=-12\r\n");
    EXPECT_EQ(read_int(ini, "fontheight", 0), -12);

    // An existing value is replaced where it stands.
    ASSERT_TRUE(WritePrivateProfileStringA("init", "Volume", "150", ini.c_str()));
    EXPECT_EQ(read_bytes(ini), "[Init]\r\nvolume=150\r\nbalance=100\r\nfontheight=-12\r\n");

    // A new key goes to the end of its own section, before blank lines that
    // separate it from the next; a new section goes to the end of the file.
    write_bytes(ini, "[Init]\r\nvolume=1\r\n\r\n[Other]\r\nx=1");
    ASSERT_TRUE(WritePrivateProfileStringA(section, "repeat", "0", ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("New", "eq0", "-45", ini.c_str()));
    EXPECT_EQ(read_bytes(ini),
              "[Init]\r\nvolume=1\r\nrepeat=0\r\n\r\n[Other]\r\nx=1\r\n[New]\r\neq0=-45\r\n");

    // Null value removes the key, null key the whole section.
    ASSERT_TRUE(WritePrivateProfileStringA(section, "volume", nullptr, ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("other", nullptr, nullptr, ini.c_str()));
    EXPECT_EQ(read_bytes(ini), "[Init]\r\nrepeat=0\r\n\r\n[New]\r\neq0=-45\r\n");
    EXPECT_EQ(dir.listing(), "Froulard.ini");
}

TEST(ProfileHostile, BinaryLongAndCrowdedFilesAreReadSafely) {
    ScratchDir dir;
    std::string ini = dir.file("a.ini");
    std::string content = "\xEF\xBB\xBF[Init]\r\n"s;
    content += "bin=\x01\xFF\0\x80tail\r\n"s;
    content += "long=" + std::string(100000, 'x') + "\r\n";
    content += "\0\0[\0]=\0\n"s;
    for (int i = 0; i < 10000; i++)
        content += "key" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    content += "[Init]\r\nkey5=dup\r\n";
    write_bytes(ini, content);

    EXPECT_EQ(read_string(ini, "bin", ""), "\x01\xFF"); // the caller sees up to the NUL
    DWORD count = 0;
    EXPECT_EQ(read_string(ini, "long", "", 260, &count), std::string(259, 'x'));
    EXPECT_EQ(count, 259u);
    EXPECT_EQ(read_int(ini, "key9999", 0), 9999);
    EXPECT_EQ(read_int(ini, "key5", 0), 5);

    ASSERT_TRUE(WritePrivateProfileStringA(section, "key9999", "-1", ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA(section, "added", "1", ini.c_str()));
    std::string expected = content;
    expected.replace(expected.find("key9999=9999"), 12, "key9999=-1");
    expected.insert(expected.find("[Init]\r\nkey5=dup"), "added=1\r\n");
    EXPECT_EQ(read_bytes(ini), expected);

    // Enumerating names into a small buffer ends in two NULs.
    char names[8];
    EXPECT_EQ(GetPrivateProfileStringA(section, nullptr, "", names, sizeof names, ini.c_str()), 6u);
    EXPECT_EQ(std::string(names, 8), "bin\0lo\0\0"s);
}

TEST(ProfileAtomicWrite, RefusedTargetsAreLeftAlone) {
    ScratchDir dir;
    // A read-only file in a writable directory: refused as a plain open would be.
    std::string ini = dir.file("ro.ini");
    write_bytes(ini, "[Init]\r\nvolume=1\r\n");
    chmod(ini.c_str(), 0444);
    EXPECT_FALSE(as_ordinary_user(
        [&] { return WritePrivateProfileStringA(section, "volume", "2", ini.c_str()) != 0; }));
    EXPECT_EQ(read_bytes(ini), "[Init]\r\nvolume=1\r\n");

    // A read-only directory: a new file and a read-only file in it are refused.
    std::string sub = dir.file("locked");
    mkdir(sub.c_str(), 0755);
    std::string inside = sub + "/ro.ini";
    write_bytes(inside, "[Init]\r\nvolume=1\r\n");
    chmod(inside.c_str(), 0444);
    chmod(sub.c_str(), 0555);
    EXPECT_FALSE(as_ordinary_user(
        [&] { return WritePrivateProfileStringA(section, "volume", "2", inside.c_str()) != 0; }));
    std::string created = sub + "/new.ini";
    EXPECT_FALSE(as_ordinary_user(
        [&] { return WritePrivateProfileStringA(section, "volume", "2", created.c_str()) != 0; }));
    EXPECT_EQ(read_bytes(inside), "[Init]\r\nvolume=1\r\n");
    EXPECT_EQ(QDir(QString::fromStdString(sub))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"ro.ini"});
    EXPECT_EQ(dir.listing(), "locked ro.ini");
    chmod(sub.c_str(), 0755);

    // A directory where the file should be.
    std::string folder = dir.file("folder.ini");
    mkdir(folder.c_str(), 0755);
    EXPECT_FALSE(WritePrivateProfileStringA(section, "volume", "2", folder.c_str()));
}

// A folder that takes no new file cannot hold the temporary file; a settings
// file there that may be written is written in place, as a plain write would.
TEST(ProfileAtomicWrite, AWritableFileInAReadOnlyFolderIsWrittenInPlace) {
    ScratchDir dir;
    std::string sub = dir.file("locked");
    mkdir(sub.c_str(), 0755);
    std::string ini = sub + "/Froulard.ini";
    write_bytes(ini, "[Init]\r\nvolume=1\r\nbalance=100\r\n");
    chmod(ini.c_str(), 0666);
    std::string link = dir.file("lien.ini");
    ASSERT_EQ(symlink("locked/Froulard.ini", link.c_str()), 0);
    struct stat before;
    ASSERT_EQ(stat(ini.c_str(), &before), 0);
    chmod(sub.c_str(), 0555);
    EXPECT_TRUE(as_ordinary_user([&] {
        return WritePrivateProfileStringA(section, "volume", "25", ini.c_str()) &&
               WritePrivateProfileStringA(section, "repeat", "1", link.c_str()) &&
               WritePrivateProfileStringA(section, "volume", "7", ini.c_str());
    }));
    chmod(sub.c_str(), 0755);
    EXPECT_EQ(read_bytes(ini), "[Init]\r\nvolume=7\r\nbalance=100\r\nrepeat=1\r\n");
    struct stat after;
    ASSERT_EQ(lstat(link.c_str(), &after), 0);
    EXPECT_TRUE(S_ISLNK(after.st_mode));
    ASSERT_EQ(stat(ini.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode & 07777, 0666u);
    EXPECT_EQ(QDir(QString::fromStdString(sub))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"Froulard.ini"});
}

TEST(ProfileAtomicWrite, KeepsPermissionsAndWritesThroughLinks) {
    ScratchDir dir;
    std::string target = dir.file("real.ini");
    write_bytes(target, "[Init]\r\nvolume=1\r\n");
    chmod(target.c_str(), 0640);
    std::string link = dir.file("Froulard.ini");
    ASSERT_EQ(symlink("real.ini", link.c_str()), 0);

    ASSERT_TRUE(WritePrivateProfileStringA(section, "volume", "2", link.c_str()));
    struct stat st;
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(read_bytes(target), "[Init]\r\nvolume=2\r\n");
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // A link to a file not there yet creates it where the link points.
    std::string dangling = dir.file("dangling.ini");
    ASSERT_EQ(symlink("later.ini", dangling.c_str()), 0);
    ASSERT_TRUE(WritePrivateProfileStringA(section, "repeat", "1", dangling.c_str()));
    EXPECT_EQ(read_bytes(dir.file("later.ini")), "[Init]\r\nrepeat=1\r\n");

    // A loop of links is refused as a plain open would refuse it.
    ASSERT_EQ(symlink("loop2", dir.file("loop1").c_str()), 0);
    ASSERT_EQ(symlink("loop1", dir.file("loop2").c_str()), 0);
    EXPECT_FALSE(WritePrivateProfileStringA(section, "volume", "2", dir.file("loop1").c_str()));
    EXPECT_EQ(dir.listing(), "Froulard.ini dangling.ini later.ini loop1 loop2 real.ini");
}

TEST(ProfileAtomicWrite, NewFileGetsTheUsualPermissions) {
    ScratchDir dir;
    mode_t old_mask = umask(022);
    std::string ini = dir.file("Froulard.ini");
    ASSERT_TRUE(WritePrivateProfileStringA(section, "volume", "50", ini.c_str()));
    umask(old_mask);
    struct stat st;
    ASSERT_EQ(stat(ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST(ProfileAtomicWrite, LeftoverTemporaryFileIsNotTheSettings) {
    ScratchDir dir;
    std::string ini = dir.file("Froulard.ini");
    // What a crash between writing and renaming would leave.
    write_bytes(dir.file(".Froulard.ini.tmp-abcdefgh"), "[Init]\r\nvolume=99\r\n");
    EXPECT_EQ(read_int(ini, "volume", 50), 50);
    ASSERT_TRUE(WritePrivateProfileStringA(section, "volume", "60", ini.c_str()));
    EXPECT_EQ(read_int(ini, "volume", 50), 60);
}

TEST(CurrentDirectory, Utf8TextOrFailure) {
    ScratchDir dir;
    char* saved = getcwd(nullptr, 0);
    // Any script, and a path longer than Windows' 260 bytes.
    std::string long_name(250, 'l');
    for (const std::string& name : std::vector<std::string>{"\xC3\xA9t\xC3\xA9", "\xE6\x97\xA5",
                                                            long_name + "/" + long_name}) {
        SCOPED_TRACE(name);
        std::string expected = dir.file(name);
        mkdir(expected.substr(0, expected.find('/', dir.path().size() + 1)).c_str(), 0755);
        mkdir(expected.c_str(), 0755);
        ASSERT_EQ(chdir(expected.c_str()), 0);
        char buffer[MAX_PATH];
        EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), expected.size());
        EXPECT_EQ(std::string(buffer), expected);
        char small[4] = "abc";
        EXPECT_EQ(GetCurrentDirectoryA(sizeof small, small), expected.size() + 1);
        EXPECT_EQ(std::string(small), "abc");
    }
    // A name that is not UTF-8 has no text.
    std::string foreign = dir.file("\xE9t\xE9");
    mkdir(foreign.c_str(), 0755);
    ASSERT_EQ(chdir(foreign.c_str()), 0);
    char buffer[MAX_PATH];
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 0u);

    ASSERT_EQ(chdir(saved), 0);
    free(saved);
}
