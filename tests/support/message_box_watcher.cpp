#include "tests/support/message_box_watcher.h"

#include <algorithm>

namespace {

struct Candidate {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectBoxes(HWND window, LPARAM param) {
    Candidate* candidate = reinterpret_cast<Candidate*>(param);
    char className[32] = {};
    GetClassNameA(window, className, sizeof(className));
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == candidate->processId && strcmp(className, "#32770") == 0 &&
        IsWindowVisible(window)) {
        candidate->found.push_back(window);
    }
    return TRUE;
}

struct ChildScan {
    std::vector<std::pair<int, HWND>> buttons;
    HICON icon = nullptr;
};

BOOL CALLBACK ScanChild(HWND child, LPARAM param) {
    ChildScan* scan = reinterpret_cast<ChildScan*>(param);
    char className[32] = {};
    GetClassNameA(child, className, sizeof(className));
    if (_stricmp(className, "Button") == 0 && IsWindowVisible(child)) {
        scan->buttons.push_back({GetDlgCtrlID(child), child});
    } else if (_stricmp(className, "Static") == 0 &&
               (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        scan->icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    }
    return TRUE;
}

UINT IconKind(HICON icon) {
    if (icon == nullptr) {
        return 0;
    }
    struct {
        LPCSTR id;
        UINT kind;
    } known[] = {{IDI_HAND, MB_ICONERROR},
                 {IDI_QUESTION, MB_ICONQUESTION},
                 {IDI_EXCLAMATION, MB_ICONWARNING},
                 {IDI_ASTERISK, MB_ICONINFORMATION}};
    for (auto& k : known) {
        if (LoadIconA(nullptr, k.id) == icon) {
            return k.kind;
        }
    }
    return 0xFFFF;  // an icon, but not one of the system's four
}

}  // namespace

std::string IconName(UINT icon) {
    switch (icon) {
        case MB_ICONERROR:
            return "error";
        case MB_ICONQUESTION:
            return "question";
        case MB_ICONWARNING:
            return "warning";
        case MB_ICONINFORMATION:
            return "information";
        case 0:
            return "none";
        default:
            return "other";
    }
}

MessageBoxWatcher::MessageBoxWatcher(int answer, DWORD pid)
    : MessageBoxWatcher(std::vector<int>{answer}, pid) {}

MessageBoxWatcher::MessageBoxWatcher(std::vector<int> answerList, DWORD pid)
    : answers(std::move(answerList)), processId(pid) {
    thread = std::thread([this] { Run(); });
}

MessageBoxWatcher::~MessageBoxWatcher() {
    stopping = true;
    thread.join();
}

void MessageBoxWatcher::OnlyCaption(const std::string& text) {
    std::lock_guard<std::mutex> guard(lock);
    caption = text;
}

void MessageBoxWatcher::WatchProcess(DWORD pid) {
    std::lock_guard<std::mutex> guard(lock);
    processId = pid;
}

std::vector<MessageBoxRecord> MessageBoxWatcher::Boxes() const {
    std::lock_guard<std::mutex> guard(lock);
    return boxes;
}

bool MessageBoxWatcher::WaitForBoxes(size_t count, DWORD timeoutMs) const {
    DWORD start = GetTickCount();
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(lock);
            if (boxes.size() >= count) {
                return true;
            }
        }
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(20);
    }
}

void MessageBoxWatcher::Run() {
    while (!stopping) {
        Poll();
        Sleep(15);
    }
}

void MessageBoxWatcher::Poll() {
    Candidate candidate;
    {
        std::lock_guard<std::mutex> guard(lock);
        candidate.processId = processId;
        // Forget boxes that have gone, so that a reused handle counts as a new box.
        answered.erase(
            std::remove_if(answered.begin(), answered.end(), [](HWND w) { return !IsWindow(w); }),
            answered.end());
    }
    EnumWindows(CollectBoxes, reinterpret_cast<LPARAM>(&candidate));
    for (HWND box : candidate.found) {
        std::lock_guard<std::mutex> guard(lock);
        if (std::find(answered.begin(), answered.end(), box) != answered.end()) {
            continue;
        }
        MessageBoxRecord record;
        char text[2048] = {};
        GetWindowTextA(box, text, sizeof(text));
        record.caption = text;
        if (!caption.empty() && record.caption != caption) {
            continue;
        }
        HWND message = GetDlgItem(box, 0xFFFF);
        text[0] = '\0';
        if (message) {
            GetWindowTextA(message, text, sizeof(text));
        }
        record.text = text;
        ChildScan scan;
        EnumChildWindows(box, ScanChild, reinterpret_cast<LPARAM>(&scan));
        if (scan.buttons.empty()) {
            continue;  // not fully built yet; look again on the next poll
        }
        // Icon handles of another process cannot be compared with this one's.
        record.icon =
            candidate.processId == GetCurrentProcessId() ? IconKind(scan.icon) : kIconNotReadable;
        for (auto& b : scan.buttons) {
            record.buttons.push_back(b.first);
        }
        for (auto& b : scan.buttons) {
            if ((GetWindowLongA(b.second, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
                record.defaultButton = b.first;
            }
        }
        size_t turn = std::min(boxes.size(), answers.size() - 1);
        int wanted = answers.empty() ? IDOK : answers[turn];
        HWND button = nullptr;
        for (auto& b : scan.buttons) {
            if (b.first == wanted) {
                button = b.second;
            }
        }
        if (button == nullptr) {
            wanted = scan.buttons.front().first;
            button = scan.buttons.front().second;
        }
        record.pressed = wanted;
        answered.push_back(box);
        boxes.push_back(record);
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(wanted, BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
    }
}
