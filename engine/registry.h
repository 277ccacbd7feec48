#pragma once
// Registry values for "[Registry]" sections, the "<Program Files>" token and the uninstall
// entry. Nothing here shows a message; failures leave the value unwritten or read empty.

#include <windows.h>

#include <stddef.h>

// Creates or opens root\keyPath and sets a REG_SZ value (an empty name is the default value).
void WriteRegistryString(const char* text, const char* valueName, HKEY root, const char* keyPath);
// Creates or opens root\keyPath and sets a REG_DWORD value.
void WriteRegistryDword(DWORD number, const char* valueName, HKEY root, const char* keyPath);
// The value's bytes, zero-terminated, or the empty string when the value cannot be read or does
// not fit capacity. A missing key is created, empty.
void ReadRegistryString(char* output, size_t capacity, const char* valueName, HKEY root,
                        const char* keyPath);
// Deletes the subkey (which must have no subkeys of its own) of root\keyPath. The result of
// opening the key when that fails, else that of closing it.
LONG DeleteRegistryKey(HKEY root, const char* keyPath, const char* subkeyName);

// "HKCR", "HKCU", "HKLM", "HKU", "HKCC" (exact case); null for any other text.
HKEY RegistryRootByName(const char* name);
// Decimal text as strtol reads it: blanks, a sign, digits; clamped to the signed 32-bit range;
// no digits give 0. Returned as its 32-bit pattern (-1 is 0xFFFFFFFF).
DWORD RegistryNumber(const char* text);

// One "[Registry]" section: root name, key path (260 bytes, tokens expanded in place), type
// ("DWORD" writes a number, anything else a string), value name, data (tokens expanded in place
// for a string).
void ApplyRegistrySection(const char* rootName, char* keyPath, const char* type,
                          const char* valueName, char* data);
