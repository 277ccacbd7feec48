#pragma once
// Answers the message boxes that code under test shows, so failure paths run without a person.
// A background thread looks for dialog windows of class "#32770" that belong to one process
// (this one by default), records caption, text, icon and buttons, and presses a button.
// Wine gives MB_TOPMOST boxes no WS_EX_TOPMOST style, so that flag cannot be observed here.

#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The icon of a box shown by another process is not readable from here.
const UINT kIconNotReadable = 0xFFFE;

struct MessageBoxRecord {
    std::string caption;
    std::string text;
    UINT icon = 0;  // MB_ICONERROR, MB_ICONQUESTION, MB_ICONWARNING, MB_ICONINFORMATION or 0
    std::vector<int> buttons;  // control ids: IDOK, IDCANCEL, IDYES, IDNO, IDRETRY, ...
    int defaultButton = 0;     // the id the box would press on Enter
    int pressed = 0;
};

class MessageBoxWatcher {
public:
    // Answers every box with `answer`, or with the next of `answers` in turn (the last repeats).
    explicit MessageBoxWatcher(int answer = IDOK, DWORD processId = GetCurrentProcessId());
    MessageBoxWatcher(std::vector<int> answers, DWORD processId = GetCurrentProcessId());
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    // Boxes only of this caption are answered (others stay open); empty means any caption.
    void OnlyCaption(const std::string& caption);
    void WatchProcess(DWORD processId);
    std::vector<MessageBoxRecord> Boxes() const;
    // True once at least `count` boxes have been answered within the timeout.
    bool WaitForBoxes(size_t count, DWORD timeoutMs) const;

private:
    void Run();
    void Poll();

    mutable std::mutex lock;
    std::vector<int> answers;
    std::string caption;
    DWORD processId;
    std::vector<MessageBoxRecord> boxes;
    std::vector<HWND> answered;
    volatile bool stopping = false;
    std::thread thread;
};

std::string IconName(UINT icon);
