#include "tests/engine/engine_test_support.h"

#include <algorithm>
#include <sstream>

#include "archive/payload_archive.h"

std::string FixturePath(const std::string& name) {
    return BuildPath("fixtures\\" + name);
}

std::string FixtureBytes(const std::string& name) {
    return ReadBytes(FixturePath(name));
}

std::string ScriptText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

std::string PackHost(const TestFolder& folder, const std::string& exeName,
                     const std::string& script, const std::map<std::string, std::string>& entries) {
    std::string host = folder / exeName;
    CopyFileA(BuildPath("tests\\engine_host.exe").c_str(), host.c_str(), FALSE);
    std::string staging = folder / "payload-staging";
    CreateDirectoryA(staging.c_str(), nullptr);
    std::map<std::string, std::string> all = entries;
    all["setup.dat"] = script;
    PayloadArchive archive(host.c_str(), true);
    for (const auto& entry : all) {
        std::string source = staging + "\\" + entry.first;
        WriteBytes(source, entry.second);
        char name[260];
        archive.Add(source.c_str(), name);
    }
    archive.Close();
    RemoveTree(staging);
    return host;
}

namespace {

std::string Unescaped(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            char c = text[++i];
            out += c == 'r' ? '\r' : c == 'n' ? '\n' : c;
        } else {
            out += text[i];
        }
    }
    return out;
}

MessageBoxRecord ParseBox(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream parts(line);
    std::string field;
    while (std::getline(parts, field, '\t')) {
        fields.push_back(field);
    }
    fields.resize(5);
    MessageBoxRecord box;
    box.caption = Unescaped(fields[0]);
    box.text = Unescaped(fields[1]);
    box.icon = static_cast<UINT>(atoi(fields[2].c_str()));
    std::istringstream ids(fields[3]);
    while (std::getline(ids, field, ',')) {
        box.buttons.push_back(atoi(field.c_str()));
    }
    box.defaultButton = atoi(fields[4].c_str());
    return box;
}

}  // namespace

HostRun RunHost(const std::string& host, const std::string& destination,
                const std::string& extraArguments, std::vector<int> answers, DWORD timeoutMs) {
    HostRun run;
    std::string result = destination + "host-result.txt";
    DeleteFileA(result.c_str());
    std::string answerList;
    for (int id : answers) {
        answerList += (answerList.empty() ? "" : ",") + std::to_string(id);
    }
    // A backslash before the closing quote would escape it; the host puts it back.
    std::string folder = destination.substr(0, destination.find_last_not_of('\\') + 1);
    std::string commandLine = "\"" + host + "\" \"" + folder + "\" \"" + result +
                              "\" answers=" + answerList + " " + extraArguments;
    run.process = RunProgram(commandLine, timeoutMs);
    std::istringstream lines(ReadBytes(result));
    std::string line;
    while (std::getline(lines, line)) {
        size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        std::string key = line.substr(0, equals);
        if (key == "box") {
            run.boxes.push_back(ParseBox(line.substr(equals + 1)));
        } else if (key == "progress") {
            run.progress.push_back(line.substr(equals + 1));
        } else {
            run.values[key] = line.substr(equals + 1);
        }
    }
    DeleteFileA(result.c_str());
    return run;
}

std::vector<std::string> CallLog(const std::string& folder) {
    std::vector<std::string> lines;
    std::istringstream text(ReadBytes(folder + "calls.log"));
    std::string line;
    while (std::getline(text, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

bool WaitForFile(const std::string& path, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!FileExists(path)) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(20);
    }
    return true;
}

BackgroundProgram::BackgroundProgram(const std::string& commandLine) {
    std::vector<char> text(commandLine.begin(), commandLine.end());
    text.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (CreateProcessA(nullptr, text.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &info)) {
        CloseHandle(info.hThread);
        process = info.hProcess;
    }
}

BackgroundProgram::~BackgroundProgram() {
    if (process != nullptr) {
        if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0) {
            TerminateProcess(process, 99);
            WaitForSingleObject(process, 5000);
        }
        CloseHandle(process);
    }
}

bool BackgroundProgram::Wait(DWORD timeoutMs) {
    return process != nullptr && WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
}

FileHolder::FileHolder(const std::string& path, const std::string& mode,
                       const TestFolder& scratch) {
    static int counter = 0;
    std::string stem = scratch / ("holder" + std::to_string(++counter));
    std::string ready = stem + ".ready";
    stopFile = stem + ".stop";
    program = new BackgroundProgram("\"" + FixturePath("hold_file.exe") + "\" \"" + path + "\" " +
                                    mode + " \"" + ready + "\" \"" + stopFile + "\"");
    held = WaitForFile(ready, 20000) && ReadBytes(ready) == "held";
}

void FileHolder::Release() {
    if (program != nullptr) {
        WriteBytes(stopFile, "stop");
        program->Wait(10000);
        delete program;
        program = nullptr;
    }
    held = false;
}

RegistryValue ReadValue(HKEY root, const std::string& key, const std::string& name) {
    RegistryValue value;
    HKEY handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) {
        return value;
    }
    DWORD size = 0;
    if (RegQueryValueExA(handle, name.c_str(), nullptr, &value.type, nullptr, &size) ==
        ERROR_SUCCESS) {
        value.bytes.resize(size);
        if (RegQueryValueExA(handle, name.c_str(), nullptr, &value.type,
                             reinterpret_cast<BYTE*>(&value.bytes[0]), &size) == ERROR_SUCCESS) {
            value.exists = true;
            value.bytes.resize(size);
        }
    }
    RegCloseKey(handle);
    return value;
}

void RestoreValue(HKEY root, const std::string& key, const std::string& name,
                  const RegistryValue& value) {
    HKEY handle;
    if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    if (value.exists) {
        RegSetValueExA(handle, name.c_str(), 0, value.type,
                       reinterpret_cast<const BYTE*>(value.bytes.data()),
                       static_cast<DWORD>(value.bytes.size()));
    } else {
        RegDeleteValueA(handle, name.c_str());
    }
    RegCloseKey(handle);
}

std::vector<std::pair<std::string, std::string>> RenamePairs(const std::string& bytes) {
    std::vector<std::pair<std::string, std::string>> pairs;
    size_t position = 0;
    auto next = [&]() {
        size_t end = bytes.find('\0', position);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        std::string text = bytes.substr(position, end - position);
        position = end + 1;
        return text;
    };
    while (position < bytes.size()) {
        std::string source = next();
        if (source.empty()) {
            break;  // the list's closing terminator
        }
        std::string target = position < bytes.size() ? next() : std::string();
        pairs.emplace_back(source, target);
    }
    return pairs;
}
