// engine_host.exe: runs the install worker the way an installation does, without dialogs.
// Tests append a payload (setup.dat and the entries it names) to a copy of this program, run the
// copy and read what it saw from a result file.
//
//   engine_host.exe DESTINATION RESULT [answers=ID,ID,...] [cancel=PATH] [hold=N] [<Silent>]
//
// The host answers its own message boxes (in turn with the answers given, the last repeating;
// OK by default) and reports each as a "box=" line: caption, text, icon and buttons,
// separated by tabs, with CR, LF and backslash written as \r, \n and \\.
// cancel=PATH sets cancelled once PATH exists. hold=N keeps stateMutex for 1.5 s as soon as file
// N is published and then notes whether DESTINATION\afterN.txt and after(N+1).txt exist.
// The result file holds key=value lines and one "progress=" line per published change, in the
// order seen, as the progress dialog would poll them.

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/install_context.h"
#include "app/run_state.h"
#include "engine/install_worker.h"
#include "platform/text.h"
#include "tests/support/message_box_watcher.h"

namespace {

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\\' ? "\\\\" : std::string(1, c);
    }
    return out;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return 2;
    }
    std::string destination = argv[1];
    if (destination.empty() || destination.back() != '\\') {
        destination += '\\';
    }
    std::string resultPath = argv[2];
    std::string cancelPath;
    int holdIndex = 0;
    std::vector<int> answers = {IDOK};
    for (int i = 3; i < argc; ++i) {
        if (strncmp(argv[i], "cancel=", 7) == 0) {
            cancelPath = argv[i] + 7;
        } else if (strncmp(argv[i], "answers=", 8) == 0) {
            answers.clear();
            char* p = argv[i] + 8;
            while (*p != '\0') {
                answers.push_back(static_cast<int>(strtol(p, &p, 10)));
                p += *p == ',' ? 1 : 0;
            }
        } else if (strncmp(argv[i], "hold=", 5) == 0) {
            holdIndex = atoi(argv[i] + 5);
        }
    }
    std::vector<std::string> lines;
    MessageBoxWatcher* watcher = new MessageBoxWatcher(answers);

    CoInitialize(nullptr);
    bool failed = false;
    InstallContext* context = new InstallContext(&failed);
    if (!failed) {
        runState.context = context;
        CopyText(runState.installDir, sizeof(runState.installDir), destination.c_str());
        StartInstallWorker();
        DWORD start = GetTickCount();
        bool held = false;
        for (;;) {
            bool done = runState.workerDone;
            {
                MutexLock lock(RunState::stateMutex);
                if (runState.textChanged) {
                    runState.textChanged = false;
                    lines.push_back("progress=" + std::to_string(runState.fileIndex) + "/" +
                                    std::to_string(runState.fileCount) + " " + runState.actionText);
                }
                if (holdIndex != 0 && !held && runState.fileIndex == holdIndex) {
                    held = true;
                    Sleep(1500);
                    std::string before = destination + "after" + std::to_string(holdIndex);
                    std::string next = destination + "after" + std::to_string(holdIndex + 1);
                    lines.push_back("held=" + std::string(Exists(before + ".txt") ? "1" : "0") +
                                    (Exists(next + ".txt") ? "1" : "0"));
                }
            }
            if (done) {
                break;
            }
            if (!cancelPath.empty() && Exists(cancelPath)) {
                runState.cancelled = true;
            }
            if (GetTickCount() - start > 150000) {
                lines.push_back("timeout=1");
                break;
            }
            Sleep(2);
        }
        lines.push_back(std::string("workerDone=") + (runState.workerDone ? "1" : "0"));
        lines.push_back(std::string("rebootRequired=") + (runState.rebootRequired ? "1" : "0"));
        lines.push_back("pending=" + std::to_string(RunState::pendingRegistrations.Count()));
    } else {
        lines.push_back("context=failed");
    }

    Sleep(100);  // a box shown at the very end is still answered and counted
    for (const MessageBoxRecord& box : watcher->Boxes()) {
        std::string buttons;
        for (int id : box.buttons) {
            buttons += (buttons.empty() ? "" : ",") + std::to_string(id);
        }
        lines.push_back("box=" + Escaped(box.caption) + "\t" + Escaped(box.text) + "\t" +
                        std::to_string(box.icon) + "\t" + buttons + "\t" +
                        std::to_string(box.defaultButton));
    }
    delete watcher;

    FILE* out = fopen(resultPath.c_str(), "wb");
    if (out != nullptr) {
        for (const std::string& line : lines) {
            fprintf(out, "%s\n", line.c_str());
        }
        fclose(out);
    }
    if (runState.workerDone || failed) {
        runState.context = nullptr;
        delete context;
    }
    CoUninitialize();
    return 0;
}
