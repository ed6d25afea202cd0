// A console program that loads user32 and exits at once: the child whose
// start the console launcher's own start is compared with. It does what
// gui_stub does, as a console program like java.exe, so that the two ratios
// compare the two launchers, not their stand-in children.
#include <windows.h>

int wmain() { return GetSystemMetrics(SM_CXSCREEN) > 0 ? 0 : 1; }
