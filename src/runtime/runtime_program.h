// The program the child runs, named once for every check of a runtime folder:
// javaw.exe for the GUI launcher, java.exe for the console launcher (built
// with QD_CONSOLE, core/launcher_variant.h), which shares its console with
// the child.
#pragma once

#ifdef QD_CONSOLE
#define QD_RUNTIME_PROGRAM L"java.exe"
#else
#define QD_RUNTIME_PROGRAM L"javaw.exe"
#endif

// The program relative to a runtime's home folder.
#define QD_RUNTIME_PROGRAM_IN_BIN L"bin\\" QD_RUNTIME_PROGRAM
