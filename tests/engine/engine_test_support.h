#pragma once
// Building installer-like test programs with a payload, running them, and reading what they and
// the fixtures left behind.

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/message_box_watcher.h"
#include "tests/support/test_files.h"

// A fixture from <build>\fixtures.
std::string FixturePath(const std::string& name);
std::string FixtureBytes(const std::string& name);

// Script lines joined with CR LF, each line ended.
std::string ScriptText(const std::vector<std::string>& lines);

// A copy of engine_host.exe named exeName in folder, with setup.dat (the script) and each entry
// (name -> bytes) appended as its payload.
std::string PackHost(const TestFolder& folder, const std::string& exeName,
                     const std::string& script, const std::map<std::string, std::string>& entries);

struct HostRun {
    ProcessResult process;
    std::vector<std::string> progress;  // "index/count text", in the order the host saw them
    std::map<std::string, std::string> values;  // the other key=value lines
    std::vector<MessageBoxRecord> boxes;
};

// Runs the host for the destination folder (ending in a backslash) with extra arguments,
// answering its message boxes in turn with answers.
HostRun RunHost(const std::string& host, const std::string& destination,
                const std::string& extraArguments = "", std::vector<int> answers = {IDOK},
                DWORD timeoutMs = 170000);


// The lines of a fixture component's calls.log in folder.
std::vector<std::string> CallLog(const std::string& folder);

// Waits until the file exists (true) or the time runs out (false).
bool WaitForFile(const std::string& path, DWORD timeoutMs);

// A program started without waiting, ended (if still running) when the object goes.
class BackgroundProgram {
public:
    explicit BackgroundProgram(const std::string& commandLine);
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;
    bool Started() const { return process != nullptr; }
    // True when the program ended within the time.
    bool Wait(DWORD timeoutMs);

private:
    HANDLE process = nullptr;
};

// hold_file.exe on path ("none": no sharing, "read": others may only read), released when the
// object goes or by Release().
class FileHolder {
public:
    FileHolder(const std::string& path, const std::string& mode, const TestFolder& scratch);
    ~FileHolder() { Release(); }
    bool Held() const { return held; }
    void Release();

private:
    std::string stopFile;
    BackgroundProgram* program = nullptr;
    bool held = false;
};

// A REG_MULTI_SZ or REG_SZ value read whole; exists is false when it is missing.
struct RegistryValue {
    bool exists = false;
    DWORD type = 0;
    std::string bytes;
};
RegistryValue ReadValue(HKEY root, const std::string& key, const std::string& name);
// Puts a value back as it was read (deleting it when it did not exist).
void RestoreValue(HKEY root, const std::string& key, const std::string& name,
                  const RegistryValue& value);
// The (source, target) pairs of a pending rename list; an empty target is a deletion.
std::vector<std::pair<std::string, std::string>> RenamePairs(const std::string& bytes);
