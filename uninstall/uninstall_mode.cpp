#include "uninstall/uninstall_mode.h"

// The uninstall dialog and worker are not built yet: the mode ends at once.
int RunUninstallMode(HINSTANCE, HINSTANCE, LPSTR, int) {
    return 0;
}
