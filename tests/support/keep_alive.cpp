// Keeps a Wine prefix's server, its services, its desktop and its COM service running while
// many short test processes come and go:
//   keep_alive.exe READY_FILE
// Started by tools/run-windows-tests with its output sent nowhere. A Wine process that happens
// to start those daemons hands them its standard output, and a test runner reading that output
// would then wait for them to exit. READY_FILE is written once all of them are up.

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <cstdio>

int main(int argc, char** argv) {
    // A window brings up the desktop process, a shell link object the COM service.
    HWND window = CreateWindowExA(0, "STATIC", "keep-alive", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    CoInitialize(nullptr);
    IUnknown* link = nullptr;
    CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                     reinterpret_cast<void**>(&link));
    char folder[MAX_PATH];
    SHGetSpecialFolderPathA(nullptr, folder, CSIDL_PROGRAMS, FALSE);
    if (argc > 1) {
        FILE* ready = fopen(argv[1], "w");
        if (ready) {
            fputs("ready\n", ready);
            fclose(ready);
        }
    }
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
        Sleep(1000);
    }
    if (link) {
        link->Release();
    }
    DestroyWindow(window);
    return 0;
}
