#pragma once
// Shell link files (.lnk), written for "[CreateIcon]" and read back for "[LocateInstall]".

#include <windows.h>

enum : DWORD {
    kShortcutDescription = 1,
    kShortcutArguments = 2,
    kShortcutIcon = 4,
    kShortcutWorkingFolder = 8,
    kShortcutHotkey = 0x10,
    kShortcutShowCommand = 0x20,
};

// What a shortcut holds. target and arguments are always texts (writable, 260 bytes): both are
// expanded whatever the mask says. The other fields count only when their mask bit is set.
struct ShortcutSpec {
    char* target;
    DWORD mask;
    const char* description;
    char* arguments;
    const char* iconPath;
    int iconIndex;
    const char* workingFolder;
    int showCommand;
    WORD hotkey;
};

// Expands the tokens of the shortcut path (writable, 260 bytes), target and arguments in place,
// creates the shortcut's folders and writes the link, replacing an existing one. The result of
// saving it, or the COM failure that prevented that.
HRESULT CreateShortcut(char* shortcutPath, const ShortcutSpec& spec);

// The target of an existing shortcut into a 260-byte buffer (empty when none). False when the
// shortcut does not exist or the link object cannot be had; true with an empty target when the
// file yielded no path.
bool ResolveShortcut(const char* shortcutPath, char* target);
