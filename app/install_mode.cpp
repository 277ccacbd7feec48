#include "app/install_mode.h"

#include <windows.h>

#include <objbase.h>

#include "app/install_context.h"
#include "app/run_state.h"

int RunInstallMode() {
    CoInitialize(nullptr);
    {
        bool failed = false;
        InstallContext context(&failed);
        runState.context = &context;
        // The dialogs and the worker take the run on from here once they exist.
        runState.context = nullptr;
    }
    CoUninitialize();
    return 0;
}
