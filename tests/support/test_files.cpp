#include "tests/support/test_files.h"

#include <algorithm>
#include <cstdio>
#include <random>

void RemoveTree(const std::string& path);

namespace {

// Each test process gets a temporary folder of its own (children inherit it through TMP and
// TEMP), so that checks for leftovers are not confused by tests running alongside.
struct PrivateTempFolder {
    std::string path;
    PrivateTempFolder() {
        char base[MAX_PATH] = {};
        GetTempPathA(sizeof(base), base);
        char name[MAX_PATH];
        snprintf(name, sizeof(name), "%sproc-%lu-%lu", base, GetCurrentProcessId(), GetTickCount());
        path = name;
        CreateDirectoryA(path.c_str(), nullptr);
        SetEnvironmentVariableA("TMP", path.c_str());
        SetEnvironmentVariableA("TEMP", path.c_str());
    }
    ~PrivateTempFolder() { RemoveTree(path); }
} privateTempFolder;

}  // namespace

std::string ReadBytes(const std::string& path) {
    std::string bytes;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    CloseHandle(h);
    return bytes;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\') {
        pattern += '\\';
    }
    pattern += "*";
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        std::string name = data.cFileName;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    } while (FindNextFileA(h, &data));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

std::string TempFolder() {
    char buffer[MAX_PATH] = {};
    GetTempPathA(sizeof(buffer), buffer);
    std::string path = buffer;
    if (!path.empty() && path.back() != '\\') {
        path += '\\';
    }
    return path;
}

std::vector<std::string> ProductTempEntries() {
    std::vector<std::string> ours;
    for (const auto& name : ListFolder(TempFolder())) {
        // The file system ignores case, so the prefixes are compared that way too.
        std::string prefix = name.substr(0, 3);
        for (char& c : prefix) {
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        }
        if (prefix == "ext" || prefix == "ins" || prefix == "zvi") {
            ours.push_back(name);
        }
    }
    return ours;
}

std::vector<std::string> AddedEntries(const std::vector<std::string>& before,
                                      const std::vector<std::string>& after) {
    std::vector<std::string> added;
    for (const auto& name : after) {
        if (std::find(before.begin(), before.end(), name) == before.end()) {
            added.push_back(name);
        }
    }
    return added;
}

std::string BuildPath(const std::string& name) {
    // Test programs live in <build>\tests\; the product and tools in <build>\.
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof(self));
    std::string path = self;
    path = path.substr(0, path.find_last_of('\\'));
    path = path.substr(0, path.find_last_of('\\') + 1);
    return path + name;
}

std::string TextBytes(size_t size, unsigned seed) {
    static const char* words[] = {"install ", "payload ", "archive ",  "folder ",   "setup ",
                                  "version ", "\r\n",     "shortcut ", "registry ", "file "};
    std::mt19937 rng(seed);
    std::string out;
    out.reserve(size + 16);
    while (out.size() < size) {
        out += words[rng() % 10];
    }
    out.resize(size);
    return out;
}

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string out(size, '\0');
    for (auto& c : out) {
        c = static_cast<char>(rng());
    }
    return out;
}

void RemoveTree(const std::string& path) {
    std::string folder = path;
    if (!folder.empty() && folder.back() == '\\') {
        folder.pop_back();
    }
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(folder.c_str());
        return;
    }
    for (const auto& name : ListFolder(folder)) {
        RemoveTree(folder + "\\" + name);
    }
    RemoveDirectoryA(folder.c_str());
}

TestFolder::TestFolder() {
    static int counter = 0;
    char name[64];
    snprintf(name, sizeof(name), "itest-%lu-%d-%lu\\", GetCurrentProcessId(), ++counter,
             GetTickCount());
    path = TempFolder() + name;
    CreateDirectoryA(path.c_str(), nullptr);
}

TestFolder::~TestFolder() {
    RemoveTree(path);
}

ProcessResult RunProgram(const std::string& commandLine, DWORD timeoutMs) {
    return RunProgramWith(commandLine, timeoutMs, nullptr, nullptr);
}

ProcessResult RunProgramWith(const std::string& commandLine, DWORD timeoutMs,
                             void (*onStart)(DWORD, void*), void* context) {
    ProcessResult result;
    std::vector<char> text(commandLine.begin(), commandLine.end());
    text.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, text.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        return result;
    }
    result.started = true;
    result.processId = info.dwProcessId;
    if (onStart) {
        onStart(info.dwProcessId, context);
    }
    if (WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        result.finished = true;
        GetExitCodeProcess(info.hProcess, &result.exitCode);
    } else {
        TerminateProcess(info.hProcess, 99);
        WaitForSingleObject(info.hProcess, 5000);
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return result;
}
