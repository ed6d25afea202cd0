// A GUI-subsystem program that loads user32 like a Java runtime's javaw.exe
// does, and exits at once: the child whose start the launcher's own start is
// compared with.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return GetSystemMetrics(SM_CXSCREEN) > 0 ? 0 : 1;
}
