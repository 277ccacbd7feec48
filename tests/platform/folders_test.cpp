#include "platform/folders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/import_patch.h"
#include "tests/support/test_files.h"

namespace {

std::vector<std::string> createCalls;

BOOL WINAPI RecordCreateDirectory(LPCSTR path, LPSECURITY_ATTRIBUTES) {
    createCalls.push_back(path);
    return FALSE;
}

int deletes = 0;
BOOL WINAPI CountDelete(LPCSTR) {
    deletes++;
    return FALSE;
}

std::vector<std::string> removed;
BOOL WINAPI RecordRemove(LPCSTR path) {
    removed.push_back(path);
    return TRUE;
}

std::vector<std::string> CallsFor(const char* path) {
    createCalls.clear();
    ImportPatch patch("kernel32.dll", "CreateDirectoryA",
                      reinterpret_cast<void*>(&RecordCreateDirectory));
    EXPECT_TRUE(patch.Active());
    CreateFolderChain(path);
    return createCalls;
}

TEST(CreateFolderChain, CreatesEachPrefixBelowTheRootOutermostFirst) {
    using Calls = std::vector<std::string>;
    struct Case {
        const char* path;
        Calls calls;
    } cases[] = {
        {"C:\\a\\b\\c\\", {"C:\\a", "C:\\a\\b", "C:\\a\\b\\c"}},
        {"C:\\a\\b\\c", {"C:\\a", "C:\\a\\b", "C:\\a\\b\\c"}},
        {"C:\\a", {"C:\\a"}},
        {"C:\\", {}},
        {"C:", {}},
        {"", {}},
        {"\\\\server\\share\\x\\y", {"\\\\server\\share\\x", "\\\\server\\share\\x\\y"}},
        {"\\\\server\\share", {}},
        {"\\\\server\\share\\", {}},
        {"\\\\server", {}},
        {"a\\b\\c", {"a\\b", "a\\b\\c"}},
        {"C:\\a\\\\b", {"C:\\a", "C:\\a\\", "C:\\a\\\\b"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CallsFor(c.path), c.calls) << c.path;
    }
}

TEST(CreateFolderChain, MakesRealFoldersAndIgnoresExistingOnes) {
    TestFolder folder;
    std::string deep = folder / "one\\two\\three";
    CreateFolderChain(deep.c_str());
    bool isFolder = false;
    EXPECT_TRUE(PathExists(deep.c_str(), &isFolder));
    EXPECT_TRUE(isFolder);
    CreateFolderChain((deep + "\\").c_str());  // all there already
    EXPECT_TRUE(PathExists(deep.c_str()));
}

TEST(CreateFolderChain, RelativePathsNeverCreateTheirFirstFolder) {
    TestFolder folder;
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof(previous), previous);
    SetCurrentDirectoryA(folder.Path().c_str());
    CreateFolderChain("a\\b\\c");
    bool madeA = FileExists(folder / "a");
    CreateDirectoryA("a", nullptr);
    CreateFolderChain("a\\b\\c");
    SetCurrentDirectoryA(previous);
    EXPECT_FALSE(madeA);
    EXPECT_TRUE(FileExists(folder / "a\\b\\c"));
}

TEST(FileFinder, SkipsDotEntriesAndReportsFolders) {
    TestFolder folder;
    FileFinder empty;
    empty.Start("*.*", folder.Path().c_str());
    EXPECT_FALSE(empty.Next());
    empty.Close();

    WriteBytes(folder / "file.txt", "x");
    CreateDirectoryA((folder / "sub").c_str(), nullptr);
    std::string withoutBackslash = folder.Path().substr(0, folder.Path().size() - 1);
    FileFinder finder;
    finder.Start("*.*", withoutBackslash.c_str());
    std::vector<std::pair<std::string, bool>> seen;
    while (finder.Next()) {
        seen.push_back({finder.FullPath(), finder.IsDirectory()});
    }
    finder.Close();
    EXPECT_FALSE(finder.IsDirectory());
    std::sort(seen.begin(), seen.end());
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(folder / "file.txt", false));
    EXPECT_EQ(seen[1], std::make_pair(folder / "sub", true));
}

TEST(PathExists, FilesFoldersAndWildcards) {
    TestFolder folder;
    WriteBytes(folder / "Data.BIN", "x");
    CreateDirectoryA((folder / "Sub").c_str(), nullptr);
    struct Case {
        std::string path;
        bool exists;
        bool isFolder;
    } cases[] = {
        {folder / "Data.BIN", true, false}, {folder / "data.bin", true, false},
        {folder / "Sub", true, true},       {folder / "missing", false, false},
        {folder / "*.bin", true, false},    {folder / "missing\\Data.BIN", false, false},
    };
    for (const Case& c : cases) {
        bool isFolder = true;
        EXPECT_EQ(PathExists(c.path.c_str(), &isFolder), c.exists) << c.path;
        EXPECT_EQ(isFolder, c.isFolder) << c.path;
    }
    EXPECT_TRUE(PathExists((folder / "Data.BIN").c_str()));
}

TEST(DeleteFolderContents, EmptiesNestedFoldersButKeepsTheTop) {
    TestFolder folder;
    std::string top = folder / "top";
    CreateFolderChain((top + "\\a\\b\\c").c_str());
    WriteBytes(top + "\\a\\b\\c\\deep.txt", "1");
    WriteBytes(top + "\\a\\mid.txt", "2");
    WriteBytes(top + "\\root.txt", "3");
    DeleteFolderContents(top.c_str());
    EXPECT_TRUE(FileExists(top));
    EXPECT_EQ(ListFolder(top), std::vector<std::string>{});
}

TEST(DeleteFolderContents, LeavesReadOnlyFilesAndDriveRoots) {
    TestFolder folder;
    WriteBytes(folder / "locked.txt", "x");
    SetFileAttributesA((folder / "locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    WriteBytes(folder / "plain.txt", "x");
    DeleteFolderContents(folder.Path().c_str());
    EXPECT_EQ(ListFolder(folder.Path()), std::vector<std::string>{"locked.txt"});
    SetFileAttributesA((folder / "locked.txt").c_str(), FILE_ATTRIBUTE_NORMAL);

    deletes = 0;
    ImportPatch patch("kernel32.dll", "DeleteFileA", reinterpret_cast<void*>(&CountDelete));
    DeleteFolderContents("C:\\");
    DeleteFolderContents("Z:\\");
    EXPECT_EQ(deletes, 0);
}

TEST(RemoveEmptyFoldersUpward, StopsAtAFolderWithContentsAndBeforeTheDrive) {
    TestFolder folder;
    std::string base = folder.Path().substr(0, folder.Path().size() - 1);
    CreateFolderChain((base + "\\a\\b\\c").c_str());
    WriteBytes(base + "\\a\\keep.txt", "x");
    char buffer[260];
    strcpy(buffer, (base + "\\a\\b\\c").c_str());
    RemoveEmptyFoldersUpward(buffer);
    EXPECT_FALSE(FileExists(base + "\\a\\b"));
    EXPECT_TRUE(FileExists(base + "\\a"));

    removed.clear();
    ImportPatch patch("kernel32.dll", "RemoveDirectoryA", reinterpret_cast<void*>(&RecordRemove));
    strcpy(buffer, "C:\\a\\b\\c");
    RemoveEmptyFoldersUpward(buffer);
    EXPECT_EQ(removed, (std::vector<std::string>{"C:\\a\\b\\c", "C:\\a\\b", "C:\\a"}));
}

}  // namespace
