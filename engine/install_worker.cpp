#include "engine/install_worker.h"

#include <windows.h>

#include <new>
#include <string.h>

#include "app/install_context.h"
#include "app/run_state.h"
#include "engine/file_installation.h"
#include "engine/program_launch.h"
#include "engine/registry.h"
#include "engine/self_registration.h"
#include "engine/shortcuts.h"
#include "platform/file_handle.h"
#include "platform/text.h"
#include "platform/worker_thread.h"
#include "script/line_reader.h"
#include "script/path_tokens.h"
#include "script/script_sections.h"

namespace {

UINT MessageIcon(const char* type) {
    static const struct {
        const char* word;
        UINT icon;
    } kIcons[] = {{"Error", MB_ICONERROR},
                  {"Question", MB_ICONQUESTION},
                  {"Warning", MB_ICONEXCLAMATION},
                  {"Information", MB_ICONINFORMATION}};
    for (const auto& entry : kIcons) {
        if (strcmp(type, entry.word) == 0) {
            return entry.icon;
        }
    }
    return 0;
}

bool SilentRun() {
    return strstr(GetCommandLineA(), "<Silent>") != nullptr;
}

void PublishFileCounter(int index, int count) {
    MutexLock lock(RunState::stateMutex);
    runState.fileIndex = index;
    runState.fileCount = count;
    runState.textChanged = true;
}

// Executes the sections from the script's current position. Returns when the script ends, the
// run is cancelled, or a file installation asks to abort.
void RunScript(FileHandle& script, int total) {
    ScriptScanner scanner(script, kInstallWorkerKeywords);
    SectionValues& values = scanner.Values();
    int copied = 0;
    while (const ScriptSection* section = scanner.NextKeyword()) {
        if (runState.cancelled) {
            return;
        }
        switch (section->id) {
            case kAction: {
                MutexLock lock(RunState::stateMutex);
                ReadLine(script, runState.actionText, sizeof(runState.actionText));
                runState.textChanged = true;
                break;
            }
            case kCopyFile: {
                scanner.ReadValues(*section);
                PublishFileCounter(++copied, total);
                bool abort = false;
                InstallFile(values[0], values[1], &abort);
                if (abort) {
                    return;
                }
                break;
            }
            case kCreateIcon: {
                scanner.ReadValues(*section);
                ShortcutSpec spec = {};
                spec.target = values[0];
                spec.arguments = values[2];
                spec.mask = kShortcutArguments;
                CreateShortcut(values[1], spec);
                break;
            }
            case kRunAndWaitFile:
            case kRunFile:
                scanner.ReadValues(*section);
                LaunchProgram(values[0], values[1], section->id == kRunAndWaitFile);
                break;
            case kMessage:
                // Silent runs read neither value line here; they come back as top-level lines.
                if (!SilentRun()) {
                    scanner.ReadValues(*section);
                    ExpandNewlineEscapes(values[0]);
                    MessageBoxA(nullptr, values[0], "Installer",
                                MB_OK | MB_TOPMOST | MessageIcon(values[1]));
                }
                break;
            case kRegistry:
                scanner.ReadValues(*section);
                ApplyRegistrySection(values[0], values[1], values[2], values[3], values[4]);
                break;
            default:
                break;
        }
    }
}

// The steps every run ends with, whichever way it left the script. The script is closed before
// workerDone is set: once it is, the main thread may delete the scratch folder, which an open
// setup.dat would keep.
void FinishRun(FileHandle* script) {
    {
        MutexLock lock(RunState::stateMutex);
        CopyText(runState.actionText, sizeof(runState.actionText), "Registering Dlls");
        runState.textChanged = true;
    }
    RegisterPendingComponents();
    if (script != nullptr) {
        script->Close();
    }
    runState.workerDone = true;
}

}  // namespace

void InstallWorker(WorkerThread*) {
    char scriptPath[kPathCapacity] = "";
    bool pathFits = false;
    if (runState.context != nullptr) {
        runState.context->ScratchPath(scriptPath);
        pathFits = scriptPath[0] != '\0' && AppendText(scriptPath, sizeof(scriptPath), "setup.dat");
    }
    // A path that did not fit would name some other file: treat it as a missing script.
    FileHandle script(pathFits ? scriptPath : "", GENERIC_READ, OPEN_EXISTING, false, true);
    if (script.IsOpen()) {
        int total = CountKeywordLines(script, kCopyFile);
        script.Seek(0, FILE_BEGIN);
        RunScript(script, total);
    }
    FinishRun(&script);
}

void StartInstallWorker() {
    WorkerThread* thread = new (std::nothrow) WorkerThread(&InstallWorker);
    if (thread == nullptr || !thread->Started()) {
        // Without a thread no script runs, but whoever waits for workerDone must not wait forever.
        FinishRun(nullptr);
    }
}
