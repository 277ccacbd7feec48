#include "engine/registry.h"

#include <stdlib.h>
#include <string.h>

#include "script/path_tokens.h"

namespace {

// The class text of a key created by a write or read; the call wants a writable string.
HKEY CreateKey(HKEY root, const char* keyPath, const char* keyClass, REGSAM access) {
    if (root == nullptr) {
        return nullptr;
    }
    char classText[16];
    strcpy(classText, keyClass);  // both classes are short literals
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(root, keyPath, 0, classText, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                        &disposition) != ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

}  // namespace

void WriteRegistryString(const char* text, const char* valueName, HKEY root, const char* keyPath) {
    HKEY key = CreateKey(root, keyPath, "REG_SZ", KEY_WRITE);
    if (key == nullptr) {
        return;
    }
    RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(strlen(text) + 1));
    RegCloseKey(key);
}

void WriteRegistryDword(DWORD number, const char* valueName, HKEY root, const char* keyPath) {
    HKEY key = CreateKey(root, keyPath, "REG_DWORD", KEY_WRITE);
    if (key == nullptr) {
        return;
    }
    RegSetValueExA(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof(number));
    RegCloseKey(key);
}

void ReadRegistryString(char* output, size_t capacity, const char* valueName, HKEY root,
                        const char* keyPath) {
    if (capacity == 0) {
        return;
    }
    output[0] = '\0';
    HKEY key = CreateKey(root, keyPath, "REG_SZ", KEY_QUERY_VALUE);
    if (key == nullptr) {
        return;
    }
    DWORD size = static_cast<DWORD>(capacity);
    if (RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(output),
                         &size) != ERROR_SUCCESS) {
        output[0] = '\0';
    } else if (size < capacity) {
        // Data stored without its terminating zero (or of another type) still ends here.
        output[size] = '\0';
    } else if (output[capacity - 1] != '\0') {
        output[0] = '\0';  // fills the buffer with no room for the terminator
    }
    RegCloseKey(key);
}

LONG DeleteRegistryKey(HKEY root, const char* keyPath, const char* subkeyName) {
    HKEY key = nullptr;
    LONG result = RegOpenKeyExA(root, keyPath, 0, KEY_ALL_ACCESS, &key);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    RegDeleteKeyA(key, subkeyName);
    return RegCloseKey(key);
}

HKEY RegistryRootByName(const char* name) {
    static const struct {
        const char* name;
        HKEY root;
    } roots[] = {{"HKCR", HKEY_CLASSES_ROOT},
                 {"HKCU", HKEY_CURRENT_USER},
                 {"HKLM", HKEY_LOCAL_MACHINE},
                 {"HKU", HKEY_USERS},
                 {"HKCC", HKEY_CURRENT_CONFIG}};
    for (const auto& entry : roots) {
        if (strcmp(name, entry.name) == 0) {
            return entry.root;
        }
    }
    return nullptr;
}

DWORD RegistryNumber(const char* text) {
    // long is 32 bits here, so strtol's own clamping is the 32-bit one.
    return static_cast<DWORD>(strtol(text, nullptr, 10));
}

void ApplyRegistrySection(const char* rootName, char* keyPath, const char* type,
                          const char* valueName, char* data) {
    HKEY root = RegistryRootByName(rootName);
    ExpandPathTokens(keyPath);
    if (strcmp(type, "DWORD") == 0) {
        WriteRegistryDword(RegistryNumber(data), valueName, root, keyPath);
    } else {
        ExpandPathTokens(data);
        WriteRegistryString(data, valueName, root, keyPath);
    }
}
