// The program's entry point.
#include <windows.h>

#include "launch/launch_sequence.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR argumentText, int showCode) {
    // Only the system directory may supply DLLs: a DLL dropped next to the
    // launcher (in a downloads folder, say) is never loaded.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return launcherMain(instance, argumentText, showCode);
}
