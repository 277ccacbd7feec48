#pragma once
// Thin wrappers over system mutexes and manual-reset events. A null handle makes every
// operation a no-op, so a failed creation degrades to running without the lock or signal.

#include <windows.h>

class Mutex {
public:
    explicit Mutex(const char* name = nullptr, bool* alreadyExisted = nullptr);
    ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void Lock();
    void Unlock();
    HANDLE Handle() const { return handle; }

private:
    HANDLE handle;
};

class Event {
public:
    explicit Event(const char* name = nullptr, bool* alreadyExisted = nullptr);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    HANDLE Handle() const { return handle; }

private:
    HANDLE handle;
};

// Holds a Mutex for one scope.
class MutexLock {
public:
    explicit MutexLock(Mutex& m) : mutex(m) { mutex.Lock(); }
    ~MutexLock() { mutex.Unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Mutex& mutex;
};
