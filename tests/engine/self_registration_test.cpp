#include "engine/self_registration.h"

#include <gtest/gtest.h>

#include "app/run_state.h"
#include "engine/file_installation.h"
#include "tests/engine/engine_test_support.h"

namespace {

TEST(FileVersion, FixedVersionHalvesOrZeroWithoutAUsableResource) {
    struct Case {
        std::string file;
        DWORD high, low;
    } cases[] = {{"version_1_0_0_0.dll", 0x00010000, 0},
                 {"version_1_5_0_0.dll", 0x00010005, 0},
                 {"version_1_5_0_2.dll", 0x00010005, 2},
                 {"version_2_0_0_0.dll", 0x00020000, 0},
                 {"version_40000_0_0_0.dll", 0x9C400000, 0},
                 {"version_none.dll", 0, 0},
                 {"missing.dll", 0, 0}};
    for (const Case& c : cases) {
        DWORD high = 7, low = 7;
        GetFileVersion(FixturePath(c.file).c_str(), &high, &low);
        EXPECT_EQ(high, c.high) << c.file;
        EXPECT_EQ(low, c.low) << c.file;
    }
}

TEST(SelfRegistration, OnlyTheMarkerUnderTheFirstTranslationQueuesAFile) {
    struct Case {
        std::string file;
        bool queued;
    } cases[] = {{"component_marker.dll", true},
                 {"component_no_exports.dll", true},
                 {"component_second_translation.dll", false},
                 {"version_1_0_0_0.dll", false},
                 {"version_none.dll", false},
                 {"missing.dll", false}};
    for (const Case& c : cases) {
        RunState::pendingRegistrations.Clear();
        std::string path = FixturePath(c.file);
        ProbeSelfRegistration(path.c_str());
        ASSERT_EQ(RunState::pendingRegistrations.Count(), c.queued ? 1 : 0) << c.file;
        if (c.queued) {
            EXPECT_EQ(RunState::pendingRegistrations.Item(0).Text(), path);
        }
    }
    RunState::pendingRegistrations.Clear();
}

TEST(SelfRegistration, RegistersInQueueOrderThenEmptiesTheQueue) {
    TestFolder folder;
    for (const char* name : {"a.dll", "b.dll"}) {
        CopyFileA(FixturePath("component_marker.dll").c_str(), (folder / name).c_str(), FALSE);
    }
    CopyFileA(FixturePath("component_no_exports.dll").c_str(), (folder / "n.dll").c_str(), FALSE);
    RunState::pendingRegistrations.Clear();
    MessageBoxWatcher watcher;
    // b before a: the queue's order, not the names', decides; a path may be queued twice.
    for (const char* name : {"b.dll", "a.dll", "n.dll", "missing.dll", "b.dll"}) {
        ProbeSelfRegistration((folder / name).c_str());
    }
    ASSERT_EQ(RunState::pendingRegistrations.Count(), 4);
    RegisterPendingComponents();
    EXPECT_EQ(RunState::pendingRegistrations.Count(), 0);
    std::vector<std::string> expected = {"load b.dll",
                                         "DllRegisterServer b.dll",
                                         "free b.dll",
                                         "load a.dll",
                                         "DllRegisterServer a.dll",
                                         "free a.dll",
                                         "load n.dll",
                                         "free n.dll",
                                         "load b.dll",
                                         "DllRegisterServer b.dll",
                                         "free b.dll"};
    EXPECT_EQ(CallLog(folder.Path()), expected);
    Sleep(300);
    EXPECT_TRUE(watcher.Boxes().empty());

    // A second pass has nothing left to do.
    RegisterPendingComponents();
    EXPECT_EQ(CallLog(folder.Path()).size(), expected.size());
}

}  // namespace
