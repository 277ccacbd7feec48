#pragma once
// The process-wide record shared by the main thread (entry point, dialogs) and the worker.

#include <windows.h>

#include <atomic>

#include "platform/record_list.h"
#include "platform/sync.h"

class InstallContext;

struct RunState {
    // Progress, written and read only while holding stateMutex.
    char actionText[260];
    int fileIndex;
    int fileCount;
    bool textChanged;

    // One-byte control flags, each written by one side and polled by the other without the lock.
    std::atomic<bool> cancelled;
    std::atomic<bool> workerDone;
    std::atomic<bool> finishShown;
    std::atomic<bool> rebootRequired;
    std::atomic<bool> uninstallNeedsReboot;
    std::atomic<bool> uninstallConfirmed;
    std::atomic<bool> randomSeeded;

    // Run parameters, set on the main thread before a worker starts.
    HINSTANCE appInstance;
    InstallContext* context;
    char installDir[260];
    char projectName[260];
    char uninstallDataPath[260];
    char uninstallBitmapPath[260];

    // Built before the entry point, in this order, and released in reverse after it returns.
    static RecordList pendingRegistrations;
    static Mutex stateMutex;
};

extern RunState runState;
