#include "engine/shortcuts.h"

#include <objbase.h>
#include <shlobj.h>

#include "platform/folders.h"
#include "platform/path_text.h"
#include "platform/text.h"
#include "script/path_tokens.h"

namespace {

// The published identities, spelled out so nothing depends on a GUID library's contents.
const CLSID kShellLinkClass = {
    0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kShellLinkInterface = {
    0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kPersistFileInterface = {
    0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// COM for the calling thread for one operation.
class ComScope {
public:
    ComScope() { CoInitialize(nullptr); }
    ~ComScope() { CoUninitialize(); }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
};

// A path as the zero-filled 260-character wide text the persist-file interface takes. A path
// that does not fit converts to nothing, and the save or load then fails.
void WidePath(const char* path, WCHAR* wide) {
    ZeroMemory(wide, kPathCapacity * sizeof(WCHAR));
    int length = lstrlenA(path);
    if (length > 0 && length < static_cast<int>(kPathCapacity)) {
        MultiByteToWideChar(CP_ACP, 0, path, length, wide, kPathCapacity);
    }
    wide[kPathCapacity - 1] = 0;
}

}  // namespace

HRESULT CreateShortcut(char* shortcutPath, const ShortcutSpec& spec) {
    ExpandPathTokens(shortcutPath);
    ExpandPathTokens(spec.target);
    ExpandPathTokens(spec.arguments);

    char folder[kPathCapacity];
    FolderPart(shortcutPath, folder);
    CreateFolderChain(folder);

    ComScope com;
    IShellLinkA* link = nullptr;
    HRESULT result = CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER,
                                      kShellLinkInterface, reinterpret_cast<void**>(&link));
    if (FAILED(result)) {
        return result;
    }
    link->SetPath(spec.target);
    if (spec.mask & kShortcutArguments) {
        link->SetArguments(spec.arguments);
    }
    if (spec.mask & kShortcutDescription) {
        link->SetDescription(spec.description);
    }
    if (spec.mask & kShortcutIcon) {
        link->SetIconLocation(spec.iconPath, spec.iconIndex);
    }
    if (spec.mask & kShortcutWorkingFolder) {
        link->SetWorkingDirectory(spec.workingFolder);
    }
    if (spec.mask & kShortcutShowCommand) {
        link->SetShowCmd(spec.showCommand);
    }
    if (spec.mask & kShortcutHotkey) {
        link->SetHotkey(spec.hotkey);
    }
    IPersistFile* file = nullptr;
    result = link->QueryInterface(kPersistFileInterface, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(result)) {
        WCHAR wide[kPathCapacity];
        WidePath(shortcutPath, wide);
        result = file->Save(wide, TRUE);
        file->Release();
    }
    link->Release();
    return result;
}

bool ResolveShortcut(const char* shortcutPath, char* target) {
    target[0] = '\0';
    char path[kPathCapacity];
    CopyText(path, sizeof(path), shortcutPath);
    ExpandPathTokens(path);
    if (!PathExists(path)) {
        return false;
    }
    ComScope com;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, kShellLinkInterface,
                                reinterpret_cast<void**>(&link)))) {
        return false;
    }
    IPersistFile* file = nullptr;
    if (FAILED(link->QueryInterface(kPersistFileInterface, reinterpret_cast<void**>(&file)))) {
        link->Release();
        return false;
    }
    WCHAR wide[kPathCapacity];
    WidePath(path, wide);
    file->Load(wide, STGM_WRITE);
    WIN32_FIND_DATAA found;
    link->GetPath(target, kPathCapacity, &found, 0);
    target[kPathCapacity - 1] = '\0';
    file->Release();
    link->Release();
    return true;
}
