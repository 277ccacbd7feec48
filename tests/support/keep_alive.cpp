// Keeps a Wine prefix's server, its services and its desktop process running while many short
// test processes come and go. Started by tools/test with its output sent nowhere: a Wine
// process that happens to start those daemons hands them its standard output, and a test runner
// reading that output would then wait for them to exit.

#include <windows.h>

int main() {
    // Creating a window brings up the desktop process now, from here.
    HWND window = CreateWindowExA(0, "STATIC", "keep-alive", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
        Sleep(1000);
    }
    DestroyWindow(window);
    return 0;
}
