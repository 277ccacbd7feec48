#pragma once
// Files, folders and child processes for tests running under Wine.

#include <windows.h>

#include <string>
#include <vector>

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// Names in a folder, sorted, without "." and "..".
std::vector<std::string> ListFolder(const std::string& folder);
// The system temporary folder, with a trailing backslash.
std::string TempFolder();
// Entries in the temporary folder with the product's prefixes (Ext, Ins, ZVI), sorted.
// Compare a list taken before a run with one taken after: other tests may run alongside.
std::vector<std::string> ProductTempEntries();
// The entries of `after` that are not in `before`.
std::vector<std::string> AddedEntries(const std::vector<std::string>& before,
                                      const std::vector<std::string>& after);
// A path in the build tree next to the test programs, e.g. BuildPath("installer.exe").
std::string BuildPath(const std::string& name);
// Deterministic bytes: compressible text or incompressible noise.
std::string TextBytes(size_t size, unsigned seed = 1);
std::string RandomBytes(size_t size, unsigned seed = 1);

// A fresh, empty folder under the temporary folder, deleted with everything in it at the end.
class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;
    // The folder with a trailing backslash.
    const std::string& Path() const { return path; }
    std::string operator/(const std::string& name) const { return path + name; }

private:
    std::string path;
};

void RemoveTree(const std::string& path);

struct ProcessResult {
    bool started = false;
    bool finished = false;  // false: the timeout ran out and the process was killed
    DWORD exitCode = 0;
    DWORD processId = 0;
};

// Starts a program with exactly this command line (CreateProcessA) and waits for it.
// onStart, when given, runs with the new process id before the wait.
template <typename F>
ProcessResult RunProgram(const std::string& commandLine, DWORD timeoutMs, F onStart);
ProcessResult RunProgram(const std::string& commandLine, DWORD timeoutMs = 60000);

// Implementation detail of the template above.
ProcessResult RunProgramWith(const std::string& commandLine, DWORD timeoutMs,
                             void (*onStart)(DWORD, void*), void* context);

template <typename F>
ProcessResult RunProgram(const std::string& commandLine, DWORD timeoutMs, F onStart) {
    return RunProgramWith(
        commandLine, timeoutMs, [](DWORD pid, void* c) { (*static_cast<F*>(c))(pid); }, &onStart);
}
