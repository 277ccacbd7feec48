#include "platform/path_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct PathCase {
    const char* path;
    const char* fileName;
    const char* folder;
    const char* extension;
    const char* stripped;
    const char* title;
};

TEST(PathText, SplitsPathsAtTheLastBackslashAndDot) {
    const PathCase cases[] = {
        {"C:\\build\\Readme.TXT", "Readme.TXT", "C:\\build\\", ".TXT", "C:\\build\\Readme",
         "Readme"},
        {"setup.dat", "setup.dat", "setup.dat", ".dat", "setup", "setup"},
        {"C:\\dir.d\\file", "file", "C:\\dir.d\\", ".", "C:\\dir.d\\file", "file"},
        {"C:\\a\\b.tar.gz", "b.tar.gz", "C:\\a\\", ".gz", "C:\\a\\b.tar", "b.tar"},
        {"C:\\WINDOWS\\SYSTEM\\ZarvoUninstall-Name.dat", "ZarvoUninstall-Name.dat",
         "C:\\WINDOWS\\SYSTEM\\", ".dat", "C:\\WINDOWS\\SYSTEM\\ZarvoUninstall-Name",
         "ZarvoUninstall-Name"},
        {"C:\\folder\\", "", "C:\\folder\\", ".", "C:\\folder\\", ""},
        {"C:/unix/style.txt", "C:/unix/style.txt", "C:/unix/style.txt", ".txt", "C:/unix/style",
         "C:/unix/style"},
        {"", "", "", ".", "", ""},
        {"noext", "noext", "noext", ".", "noext", "noext"},
        {".profile", ".profile", ".profile", ".profile", "", ""},
        {"\\\\server\\share\\x.y", "x.y", "\\\\server\\share\\", ".y", "\\\\server\\share\\x", "x"},
    };
    for (const PathCase& c : cases) {
        char out[260];
        FileNamePart(c.path, out);
        EXPECT_STREQ(out, c.fileName) << "FileNamePart " << c.path;
        FolderPart(c.path, out);
        EXPECT_STREQ(out, c.folder) << "FolderPart " << c.path;
        ExtensionPart(c.path, out);
        EXPECT_STREQ(out, c.extension) << "ExtensionPart " << c.path;
        StripExtension(c.path, out);
        EXPECT_STREQ(out, c.stripped) << "StripExtension " << c.path;
        FileTitle(c.path, out);
        EXPECT_STREQ(out, c.title) << "FileTitle " << c.path;
    }
}

TEST(PathText, AppendBackslash) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {{"", ""}, {"C:\\", "C:\\"}, {"C:", "C:\\"}, {"C:\\a", "C:\\a\\"}, {"a/", "a/\\"}};
    for (const Case& c : cases) {
        char buffer[260];
        strcpy(buffer, c.in);
        AppendBackslash(buffer);
        EXPECT_STREQ(buffer, c.out) << c.in;
    }
}

TEST(PathText, LongestPathsStayWithinTheirBuffers) {
    std::string longest(259, 'x');
    longest[2] = '\\';
    char out[260 + 8];
    memset(out, '#', sizeof(out));
    FolderPart(longest.c_str(), out);
    EXPECT_STREQ(out, "xx\\");
    FileNamePart(longest.c_str(), out);
    EXPECT_EQ(strlen(out), 256u);
    char full[260 + 8];
    memset(full, '#', sizeof(full));
    memcpy(full, longest.c_str(), 260);
    AppendBackslash(full);  // no room: the text stays 259 characters
    EXPECT_EQ(strlen(full), 259u);
    EXPECT_EQ(full[260], '#');
}

}  // namespace
