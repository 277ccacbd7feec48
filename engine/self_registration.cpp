#include "engine/self_registration.h"

#include <windows.h>

#include <new>

#include "app/run_state.h"
#include "platform/text.h"

// True when the first translation of the version resource has an "OLESelfRegister" entry.
static bool HasSelfRegisterMarker(const char* path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0) {
        return false;
    }
    unsigned char* info = new (std::nothrow) unsigned char[size];
    if (info == nullptr) {
        return false;
    }
    bool marked = false;
    void* translation = nullptr;
    UINT length = 0;
    if (GetFileVersionInfoA(path, 0, size, info) &&
        VerQueryValueA(info, "\\VarFileInfo\\Translation", &translation, &length) &&
        length >= sizeof(DWORD)) {
        DWORD first = *static_cast<DWORD*>(translation);
        char entry[64];
        FormatText(entry, sizeof(entry), "\\StringFileInfo\\%04hX%04hX\\OLESelfRegister",
                   static_cast<unsigned short>(LOWORD(first)),
                   static_cast<unsigned short>(HIWORD(first)));
        void* value = nullptr;
        UINT valueLength = 0;
        marked = VerQueryValueA(info, entry, &value, &valueLength) != 0;
    }
    delete[] info;
    return marked;
}

void ProbeSelfRegistration(const char* path) {
    if (HasSelfRegisterMarker(path)) {
        RunState::pendingRegistrations.Add(TextRecord(path));
    }
}

void RegisterPendingComponents() {
    typedef HRESULT(__stdcall * RegisterEntry)();
    RecordList& pending = RunState::pendingRegistrations;
    for (int i = 0; i < pending.Count(); ++i) {
        HMODULE module = LoadLibraryA(pending.Item(i).Text());
        if (module == nullptr) {
            continue;
        }
        RegisterEntry entry =
            reinterpret_cast<RegisterEntry>(GetProcAddress(module, "DllRegisterServer"));
        if (entry != nullptr) {
            entry();
        }
        FreeLibrary(module);
    }
    pending.Clear();
}
