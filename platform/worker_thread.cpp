#include "platform/worker_thread.h"

#include <new>
#include <process.h>

WorkerThread::WorkerThread(Body workerBody) : threadHandle(nullptr), body(workerBody) {
    finishedEvent = new (std::nothrow) Event();
    uintptr_t started = _beginthreadex(nullptr, 0, &WorkerThread::Trampoline, this, 0, nullptr);
    threadHandle = reinterpret_cast<HANDLE>(started);
    if (threadHandle == nullptr && finishedEvent) {
        finishedEvent->Set();
    }
}

unsigned __stdcall WorkerThread::Trampoline(void* argument) {
    WorkerThread* self = static_cast<WorkerThread*>(argument);
    self->body(self);
    if (self->finishedEvent) {
        self->finishedEvent->Set();
    }
    _endthreadex(0);
    return 0;
}
