#pragma once
// Replaces one imported system function for the whole test program while the object lives.
// The product code is linked into the test program statically and calls the system through the
// program's import table, so patching that table lets a test fake a failing or recording call
// without any seam in the product.

#include <windows.h>

#include <stdint.h>

class ImportPatch {
public:
    // dll like "kernel32.dll" (any case), function like "CreateDirectoryA".
    ImportPatch(const char* dll, const char* function, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool Active() const { return slot != nullptr; }
    // The function as it was, to call through from the replacement.
    template <typename F>
    F Original() const {
        return reinterpret_cast<F>(original);
    }

private:
    void** slot = nullptr;
    void* original = nullptr;
};

// Replacements that tests install with ImportPatch.
namespace failing {

// _beginthreadex (msvcrt.dll) that never starts a thread.
inline uintptr_t __cdecl BeginThread(void*, unsigned, unsigned(__stdcall*)(void*), void*, unsigned,
                                     unsigned*) {
    return 0;
}

}  // namespace failing
