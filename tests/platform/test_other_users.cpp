// Files beside another local user: a link they planted is not followed, a
// file being replaced is private until its rename, and a burst of settings
// writes replaces the file once, whole. The other user is nobody (65534),
// as the attacks were tried: its links are made under its own uid, its reads
// run in a child that gave root up.
#include "platform/profile.h"
#include "platform/textfile.h"

#include "platform/file_helpers.h"

#include <gtest/gtest.h>

#include <QDir>

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A link made by the given user, as a planted one is.
void plant_link(const std::string& target, const std::string& link, uid_t owner) {
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0) << link;
    ASSERT_EQ(lchown(link.c_str(), owner, owner), 0) << link;
}

std::string folder(const ScratchDir& dir, const std::string& name, mode_t mode, uid_t owner) {
    std::string path = dir.file(name);
    EXPECT_EQ(mkdir(path.c_str(), 0700), 0);
    EXPECT_EQ(chown(path.c_str(), owner, owner), 0);
    EXPECT_EQ(chmod(path.c_str(), mode), 0);
    return path;
}

mode_t mode_of(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// The temporary file a replacement under way has made in the folder.
std::string temp_file_in(const std::string& directory) {
    QStringList names =
        QDir(QString::fromStdString(directory)).entryList({".*.tmp-*"}, QDir::Files | QDir::Hidden);
    return names.size() == 1 ? directory + "/" + names[0].toStdString() : "";
}

bool write_text(const std::string& path, const char* text) {
    TextFile* file = text_open_replace(path.c_str());
    if (!file)
        return false;
    text_write(file, text);
    return text_commit(file) != 0;
}

std::string profile_value(const std::string& path) {
    char value[64];
    GetPrivateProfileStringA("Init", "volume", "absent", value, sizeof value, path.c_str());
    return value;
}

} // namespace

TEST(OtherUsers, ALinkIsFollowedOnlyWhereTheKernelsRuleWouldFollowIt) {
    if (geteuid() != 0)
        GTEST_SKIP() << "making another user's links needs root";
    const uid_t me = geteuid(), other = unprivileged_id;
    struct Case {
        const char* what;
        mode_t folder_mode;
        uid_t folder_owner;
        uid_t link_owner;
        bool followed;
    } cases[] = {
        {"another user's link in a shared sticky folder", 01777, me, other, false},
        {"my own link in a shared sticky folder", 01777, me, me, true},
        {"the folder owner's link in its sticky folder", 01777, other, other, true},
        {"another user's link in a folder that is not sticky", 0777, me, other, true},
        {"another user's link in a sticky folder others cannot write", 01755, me, other, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        std::string shared = folder(dir, "shared", c.folder_mode, c.folder_owner);
        std::string thesis = dir.file("thesis.txt"), settings = dir.file("private.ini");
        write_bytes(thesis, "my thesis\r\n");
        write_bytes(settings, "[Init]\r\nvolume=12\r\n");
        chmod(thesis.c_str(), 0600);
        chmod(settings.c_str(), 0600);
        plant_link(thesis, shared + "/Froulard.m3u", c.link_owner);
        plant_link(settings, shared + "/Froulard.ini", c.link_owner);
        std::string playlist = shared + "/Froulard.m3u", ini = shared + "/Froulard.ini";

        TextFile* read = text_open_read(playlist.c_str());
        EXPECT_EQ(read != nullptr, c.followed);
        if (read)
            text_close(read);
        EXPECT_EQ(profile_value(ini), c.followed ? "12" : "absent");
        // Writing: the playlist as the close writes it, the settings key by key.
        EXPECT_EQ(write_text(playlist, "#EXTM3U\n"), c.followed);
        EXPECT_EQ(WritePrivateProfileStringA("Init", "repeat", "1", ini.c_str()) != 0, c.followed);
        EXPECT_EQ(read_bytes(thesis), c.followed ? "#EXTM3U\r\n" : "my thesis\r\n");
        EXPECT_EQ(read_bytes(settings),
                  c.followed ? "[Init]\r\nvolume=12\r\nrepeat=1\r\n" : "[Init]\r\nvolume=12\r\n");
        // The links stay links, and nothing else appears beside them.
        EXPECT_EQ(
            QDir(QString::fromStdString(shared))
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System)
                .join(' ')
                .toStdString(),
            "Froulard.ini Froulard.m3u");
    }
}

TEST(OtherUsers, AFileBeingReplacedIsPrivateUntilItsRename) {
    struct Case {
        const char* what;
        int existing_mode; // -1: a new file
        mode_t mask;
        mode_t final_mode;
    } cases[] = {
        {"a private playlist", 0600, 022, 0600}, {"a readable playlist", 0644, 022, 0644},
        {"a group's playlist", 0660, 077, 0660}, {"new, umask 022", -1, 022, 0644},
        {"new, umask 027", -1, 027, 0640},       {"new, umask 077", -1, 077, 0600},
        {"new, umask 000", -1, 000, 0666},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        std::string path = dir.file("Froulard.m3u");
        if (c.existing_mode >= 0) {
            write_bytes(path, "old\r\n");
            chmod(path.c_str(), static_cast<mode_t>(c.existing_mode));
        }
        mode_t previous = umask(c.mask);
        TextFile* file = text_open_replace(path.c_str());
        ASSERT_NE(file, nullptr);
        text_write(file, "#EXTM3U\n/musique/secret.mp3\n");
        std::string temp = temp_file_in(dir.path());
        ASSERT_FALSE(temp.empty()) << dir.listing();
        EXPECT_EQ(mode_of(temp) & 077, 0u) << std::oct << mode_of(temp);
        // The other user cannot open it while it is written.
        EXPECT_FALSE(as_ordinary_user([&] {
            int fd = open(temp.c_str(), O_RDONLY);
            if (fd >= 0)
                close(fd);
            return fd >= 0;
        }));
        ASSERT_TRUE(text_commit(file));
        umask(previous);
        EXPECT_EQ(mode_of(path), c.final_mode) << std::oct << mode_of(path);
        EXPECT_EQ(read_bytes(path), "#EXTM3U\r\n/musique/secret.mp3\r\n");
        EXPECT_EQ(dir.listing(), "Froulard.m3u");
    }
}

// Runs last in this program: the profile functions keep bursts from here on.
TEST(OtherUsers, ZBurstOfSettingsWritesReplacesTheFileOnceAndWhole) {
    ScratchDir dir;
    std::string ini = dir.file("Froulard.ini");
    write_bytes(ini, "[Init]\r\nvolume=1\r\n[Autre]\r\ngarde=oui\r\n");
    struct stat before;
    ASSERT_EQ(stat(ini.c_str(), &before), 0);
    profile_defer_writes();
    for (int i = 0; i < 27; i++) {
        std::string key = "cle" + std::to_string(i);
        ASSERT_TRUE(WritePrivateProfileStringA("Init", key.c_str(), "7", ini.c_str()));
    }
    ASSERT_TRUE(WritePrivateProfileStringA("Init", "volume", "30", ini.c_str()));
    // The burst is read back from memory; the file is still the old one, whole.
    EXPECT_EQ(profile_value(ini), "30");
    EXPECT_EQ(read_bytes(ini), "[Init]\r\nvolume=1\r\n[Autre]\r\ngarde=oui\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr));
    std::string written = read_bytes(ini);
    EXPECT_EQ(written.find("[Init]\r\nvolume=30\r\ncle0=7\r\n"), 0u) << written;
    EXPECT_NE(written.find("cle26=7\r\n[Autre]\r\ngarde=oui\r\n"), std::string::npos) << written;
    struct stat after;
    ASSERT_EQ(stat(ini.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino); // replaced by a rename, not rewritten in place
    EXPECT_EQ(dir.listing(), "Froulard.ini");

    // Another program's change is seen by the next read, and kept by the next write.
    write_bytes(ini, "[Init]\r\nvolume=88\r\n");
    EXPECT_EQ(profile_value(ini), "88");
    ASSERT_TRUE(WritePrivateProfileStringA("Init", "repeat", "1", ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(read_bytes(ini), "[Init]\r\nvolume=88\r\nrepeat=1\r\n");

    // A file that cannot be written refuses the burst's first write.
    std::string locked = dir.file("locked.ini");
    write_bytes(locked, "[Init]\r\nvolume=5\r\n");
    chmod(locked.c_str(), 0444);
    chmod(dir.path().c_str(), 0555);
    EXPECT_FALSE(as_ordinary_user([&] {
        profile_defer_writes();
        return WritePrivateProfileStringA("Init", "volume", "6", locked.c_str()) != 0;
    }));
    chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(read_bytes(locked), "[Init]\r\nvolume=5\r\n");
}
