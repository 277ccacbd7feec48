#include "engine/shortcuts.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include "app/run_state.h"
#include "platform/text.h"
#include "tests/engine/engine_test_support.h"

namespace {

// The arguments stored in a shortcut, read through the shell's own link object.
std::string StoredArguments(const std::string& shortcut) {
    std::string arguments;
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            WCHAR wide[MAX_PATH] = {};
            MultiByteToWideChar(CP_ACP, 0, shortcut.c_str(), -1, wide, MAX_PATH);
            char buffer[MAX_PATH] = {};
            if (SUCCEEDED(file->Load(wide, STGM_READ)) &&
                SUCCEEDED(link->GetArguments(buffer, sizeof(buffer)))) {
                arguments = buffer;
            }
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return arguments;
}

TEST(Shortcuts, CreatedInANewFolderOverwrittenAndReadBack) {
    TestFolder folder;
    CopyText(runState.installDir, sizeof(runState.installDir), folder.Path().c_str());
    struct Run {
        std::string target, arguments;
        std::string expectedTarget, expectedArguments;
    } runs[] = {{"<Destination>first.exe", "--data <Destination>data", folder / "first.exe",
                 "--data " + folder / "data"},
                // A second run writes over the first shortcut; no arguments leaves none.
                {"<Destination>bin\\second.exe", "", folder / "bin\\second.exe", ""}};
    CreateDirectoryA((folder / "bin").c_str(), nullptr);
    for (const Run& run : runs) {
        WriteBytes(run.expectedTarget, "");
        char path[260], target[260], arguments[260];
        CopyText(path, sizeof(path), "<Destination>menu\\group\\app.lnk");
        CopyText(target, sizeof(target), run.target.c_str());
        CopyText(arguments, sizeof(arguments), run.arguments.c_str());
        ShortcutSpec spec = {};
        spec.target = target;
        spec.arguments = arguments;
        spec.mask = kShortcutArguments;
        MessageBoxWatcher watcher;
        EXPECT_EQ(CreateShortcut(path, spec), S_OK);
        std::string shortcut = folder / "menu\\group\\app.lnk";
        EXPECT_EQ(std::string(path), shortcut);
        EXPECT_EQ(std::string(arguments), run.expectedArguments);
        ASSERT_TRUE(FileExists(shortcut));
        EXPECT_EQ(StoredArguments(shortcut), run.expectedArguments);

        char resolved[260] = "stale";
        EXPECT_TRUE(ResolveShortcut("<Destination>menu\\group\\app.lnk", resolved));
        EXPECT_TRUE(EqualIgnoringAsciiCase(resolved, run.expectedTarget.c_str())) << resolved;
        Sleep(300);
        EXPECT_TRUE(watcher.Boxes().empty());
    }
    runState.installDir[0] = '\0';
}

TEST(Shortcuts, ResolvingAMissingShortcutFailsWithAnEmptyTarget) {
    TestFolder folder;
    char target[260] = "stale";
    EXPECT_FALSE(ResolveShortcut((folder / "absent.lnk").c_str(), target));
    EXPECT_STREQ(target, "");
}

}  // namespace
