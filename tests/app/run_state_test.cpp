#include "app/run_state.h"

#include <gtest/gtest.h>

namespace {

// The two process-wide objects exist before main runs; every plain field starts zeroed.
TEST(RunState, BuiltBeforeTheEntryPoint) {
    EXPECT_NE(RunState::stateMutex.Handle(), nullptr);
    EXPECT_EQ(RunState::pendingRegistrations.Count(), 0);
    EXPECT_EQ(runState.context, nullptr);
    EXPECT_STREQ(runState.actionText, "");
    EXPECT_EQ(runState.fileCount, 0);
    EXPECT_FALSE(runState.cancelled);
    EXPECT_FALSE(runState.workerDone);
}

}  // namespace
