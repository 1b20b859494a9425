// Replacing a file in a folder that takes no new file. On Windows a folder's
// read-only attribute does not stop new files (Explorer only marks customised
// folders with it); its access list does, so the folder here denies everyone
// the right to add files and folders, as an administrator's folder denies a
// user. The replacement cannot make its temporary file there: a file that may
// be written is written in place (the same file, whole at the commit), and a
// read-only file is refused and stays whole.
//
// Wine turns the access list into the folder's Unix permissions and the
// read-only attribute into the file's, and root does not obey either: run by
// root, Wine lets the folder take a new file, and the test is skipped.
#include "platform/win32.h"

#include <aclapi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Sets the folder's own access list: everyone may do everything but, when
// locked, add a file or a folder.
bool set_folder_access(const fs::path& folder, bool locked) {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone))
        return false;
    EXPLICIT_ACCESSA entries[2] = {};
    for (EXPLICIT_ACCESSA& entry : entries) {
        entry.grfInheritance = NO_INHERITANCE;
        entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        entry.Trustee.ptstrName = static_cast<LPSTR>(everyone);
    }
    // The denial first, as Windows orders an access list (Wine keeps the order given).
    entries[0].grfAccessPermissions = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY;
    entries[0].grfAccessMode = DENY_ACCESS;
    entries[1].grfAccessPermissions = GENERIC_ALL;
    entries[1].grfAccessMode = GRANT_ACCESS;
    PACL list = nullptr;
    DWORD error = locked ? SetEntriesInAclA(2, entries, nullptr, &list)
                         : SetEntriesInAclA(1, entries + 1, nullptr, &list);
    if (error == ERROR_SUCCESS) {
        std::string name = folder.string();
        error =
            SetNamedSecurityInfoA(name.data(), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, list, nullptr);
    }
    LocalFree(list);
    FreeSid(everyone);
    return error == ERROR_SUCCESS;
}

// Whether a new name can still be made in the folder.
bool takes_new_files(const fs::path& folder) {
    std::string probe = (folder / "essai").string();
    HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    DeleteFileA(probe.c_str());
    return true;
}

// The file's identity on its volume: a replacement gives a new one.
uint64_t file_index(const fs::path& path) {
    HANDLE file = CreateFileA(path.string().c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    BY_HANDLE_FILE_INFORMATION information = {};
    bool known = file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &information);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    EXPECT_TRUE(known) << path;
    return (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
}

std::string read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ReadOnlyFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        folder = fs::temp_directory_path() / ("melodiane-locked-" + std::to_string(now));
        fs::create_directories(folder);
    }
    void TearDown() override {
        set_folder_access(folder, false);
        SetFileAttributesA((folder / "ro.m3u").string().c_str(), FILE_ATTRIBUTE_NORMAL);
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    std::vector<std::string> names() {
        std::vector<std::string> found;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }

    fs::path folder;
};

} // namespace

TEST_F(ReadOnlyFolder, AWritableFileIsWrittenInPlaceAndAReadOnlyOneIsRefused) {
    fs::path playlist = folder / "Froulard.m3u";
    fs::path read_only = folder / "ro.m3u";
    std::string old_content(100000, 'o');
    std::ofstream(playlist, std::ios::binary) << old_content;
    std::ofstream(read_only, std::ios::binary) << "old\r\n";
    ASSERT_TRUE(SetFileAttributesA(read_only.string().c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(set_folder_access(folder, true));
    if (takes_new_files(folder))
        GTEST_SKIP() << "the folder still takes new files: Wine run by root ignores its "
                        "access list";
    uint64_t identity = file_index(playlist);

    // Abandoned: the file is left as it was.
    TextFile* file = text_open_replace(playlist.string().c_str());
    ASSERT_NE(file, nullptr);
    text_write(file, "new\n");
    text_close(file);
    EXPECT_EQ(read(playlist), old_content);

    // More than one block of output, and shorter than the old file.
    file = text_open_replace(playlist.string().c_str());
    ASSERT_NE(file, nullptr);
    std::string line(40, 'z');
    for (int i = 0; i < 2000; i++)
        text_write(file, (line + "\n").c_str());
    EXPECT_EQ(read(playlist), old_content); // whole until the commit
    EXPECT_EQ(text_commit(file), 1);

    EXPECT_EQ(text_open_replace(read_only.string().c_str()), nullptr);

    std::string expected;
    for (int i = 0; i < 2000; i++)
        expected += line + "\r\n";
    EXPECT_EQ(read(playlist), expected);
    EXPECT_EQ(file_index(playlist), identity); // written in place, not replaced
    EXPECT_EQ(read(read_only), "old\r\n");
    EXPECT_EQ(names(), (std::vector<std::string>{"Froulard.m3u", "ro.m3u"}));
}
