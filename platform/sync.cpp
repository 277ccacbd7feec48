#include "platform/sync.h"

Mutex::Mutex(const char* name, bool* alreadyExisted) {
    handle = CreateMutexA(nullptr, FALSE, name);
    if (alreadyExisted) {
        *alreadyExisted = handle != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
    }
}

Mutex::~Mutex() {
    if (handle) {
        CloseHandle(handle);
    }
}

void Mutex::Lock() {
    if (handle) {
        WaitForSingleObject(handle, INFINITE);
    }
}

void Mutex::Unlock() {
    if (handle) {
        ReleaseMutex(handle);
    }
}

Event::Event(const char* name, bool* alreadyExisted) {
    handle = CreateEventA(nullptr, TRUE, FALSE, name);
    if (alreadyExisted) {
        *alreadyExisted = handle != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
    }
}

Event::~Event() {
    if (handle) {
        CloseHandle(handle);
    }
}

void Event::Set() {
    if (handle) {
        SetEvent(handle);
    }
}
