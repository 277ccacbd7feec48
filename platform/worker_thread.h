#pragma once
// A background thread that runs one body and signals its end. Created on the heap and never
// destroyed: the handle and event live until the process ends.

#include "platform/sync.h"

class WorkerThread {
public:
    typedef void (*Body)(WorkerThread* thread);
    explicit WorkerThread(Body body);
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    bool Started() const { return threadHandle != nullptr; }
    HANDLE ThreadHandle() const { return threadHandle; }
    Event* FinishedEvent() const { return finishedEvent; }

private:
    static unsigned __stdcall Trampoline(void* argument);

    HANDLE threadHandle;
    Event* finishedEvent;
    Body body;
};
