// Starts a program with an exact command line read from a file and returns its exit code.
// Wine escapes double quotes in Unix arguments, so tools hand quoted command lines over this way.
//   launch.exe <file holding the command line>

#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: launch.exe COMMAND_LINE_FILE\n");
        return 2;
    }
    FILE* file = fopen(argv[1], "rb");
    if (!file) {
        fprintf(stderr, "launch: cannot read %s\n", argv[1]);
        return 2;
    }
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), file)) > 0) {
        text.append(buffer, got);
    }
    fclose(file);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, &text[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
        fprintf(stderr, "launch: cannot start: %s (error %lu)\n", text.c_str(), GetLastError());
        return 2;
    }
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return static_cast<int>(code);
}
