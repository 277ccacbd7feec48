#include "platform/sync.h"
#include "platform/worker_thread.h"
#include "tests/support/import_patch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace {

std::string UniqueName(const char* kind) {
    return std::string("installer-test-") + kind + "-" + std::to_string(GetCurrentProcessId()) +
           "-" + std::to_string(GetTickCount());
}

TEST(Mutex, UnnamedAndNamed) {
    bool existed = true;
    Mutex unnamed(nullptr, &existed);
    EXPECT_NE(unnamed.Handle(), nullptr);
    EXPECT_FALSE(existed);
    unnamed.Lock();
    unnamed.Lock();  // recursive ownership, as system mutexes allow
    unnamed.Unlock();
    unnamed.Unlock();

    std::string name = UniqueName("mutex");
    Mutex first(name.c_str(), &existed);
    EXPECT_FALSE(existed);
    Mutex second(name.c_str(), &existed);
    EXPECT_TRUE(existed);
}

TEST(Mutex, ExcludesAnotherThread) {
    Mutex mutex;
    std::atomic<int> stage{0};
    mutex.Lock();
    struct Args {
        Mutex* mutex;
        std::atomic<int>* stage;
    } args{&mutex, &stage};
    struct Thread {
        static DWORD WINAPI Run(LPVOID p) {
            Args* a = static_cast<Args*>(p);
            a->mutex->Lock();
            a->stage->store(2);
            a->mutex->Unlock();
            return 0;
        }
    };
    HANDLE thread = CreateThread(nullptr, 0, Thread::Run, &args, 0, nullptr);
    Sleep(200);
    EXPECT_EQ(stage.load(), 0);
    mutex.Unlock();
    WaitForSingleObject(thread, 5000);
    EXPECT_EQ(stage.load(), 2);
    CloseHandle(thread);
}

TEST(Event, ManualResetNamedAndUnnamed) {
    bool existed = true;
    Event event(nullptr, &existed);
    EXPECT_FALSE(existed);
    EXPECT_EQ(WaitForSingleObject(event.Handle(), 0), DWORD(WAIT_TIMEOUT));
    event.Set();
    EXPECT_EQ(WaitForSingleObject(event.Handle(), 0), DWORD(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(event.Handle(), 0), DWORD(WAIT_OBJECT_0));  // stays set

    std::string name = UniqueName("event");
    Event first(name.c_str(), &existed);
    EXPECT_FALSE(existed);
    Event second(name.c_str(), &existed);
    EXPECT_TRUE(existed);
}

TEST(Sync, NullHandlesDoNothing) {
    // A name that clashes with an existing event cannot become a mutex: the handle stays null.
    std::string name = UniqueName("clash");
    Event event(name.c_str());
    Mutex mutex(name.c_str());
    EXPECT_EQ(mutex.Handle(), nullptr);
    mutex.Lock();
    mutex.Unlock();
    Mutex other(name.c_str());
    other.Lock();
    other.Unlock();
    Event clashing((name).c_str());
    EXPECT_NE(clashing.Handle(), nullptr);
}

std::atomic<int> bodyRuns{0};

TEST(WorkerThread, BodyThatReturnsAtOnceStillSignalsAndExitsWithZero) {
    bodyRuns = 0;
    WorkerThread* worker = new WorkerThread([](WorkerThread*) { bodyRuns++; });
    ASSERT_TRUE(worker->Started());
    ASSERT_NE(worker->FinishedEvent(), nullptr);
    EXPECT_EQ(WaitForSingleObject(worker->FinishedEvent()->Handle(), 5000), DWORD(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(worker->ThreadHandle(), 5000), DWORD(WAIT_OBJECT_0));
    DWORD code = 1234;
    GetExitCodeThread(worker->ThreadHandle(), &code);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(bodyRuns.load(), 1);
}

TEST(WorkerThread, BodyGetsItsOwnThreadObject) {
    static std::atomic<WorkerThread*> seen{nullptr};
    WorkerThread* worker = new WorkerThread([](WorkerThread* self) { seen = self; });
    WaitForSingleObject(worker->FinishedEvent()->Handle(), 5000);
    EXPECT_EQ(seen.load(), worker);
}

TEST(WorkerThread, AThreadThatCannotStartSignalsAtOnceAndNeverRunsItsBody) {
    bodyRuns = 0;
    ImportPatch patch("msvcrt.dll", "_beginthreadex",
                      reinterpret_cast<void*>(&failing::BeginThread));
    ASSERT_TRUE(patch.Active());
    WorkerThread* worker = new WorkerThread([](WorkerThread*) { bodyRuns++; });
    EXPECT_FALSE(worker->Started());
    ASSERT_NE(worker->FinishedEvent(), nullptr);
    EXPECT_EQ(WaitForSingleObject(worker->FinishedEvent()->Handle(), 0), DWORD(WAIT_OBJECT_0));
    Sleep(100);
    EXPECT_EQ(bodyRuns.load(), 0);
}

}  // namespace
