// The sample product's program: shows where it runs from.

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    if (lstrcmpA(commandLine, "/cleanup") == 0) {
        return 0;
    }
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof(path));
    char text[MAX_PATH + 64];
    wsprintfA(text, "Sample Notes is installed at\n%s", path);
    MessageBoxA(nullptr, text, "Sample Notes", MB_ICONINFORMATION | MB_OK);
    return 0;
}
