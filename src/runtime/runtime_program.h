// The program the child runs, named once for every check of a runtime folder:
// javaw.exe for the GUI launcher, java.exe for the console launcher (built
// with QD_CONSOLE, core/launcher_variant.h), which shares its console with
// the child.
#pragma once

#ifdef QD_CONSOLE
#define QD_RUNTIME_PROGRAM_NAME "java.exe"
#else
#define QD_RUNTIME_PROGRAM_NAME "javaw.exe"
#endif
#define QD_RUNTIME_PROGRAM L"" QD_RUNTIME_PROGRAM_NAME

// The program relative to a runtime's home folder; the _NAME forms are the
// same texts as bytes, for the launcher's own sentences.
#define QD_RUNTIME_PROGRAM_IN_BIN_NAME "bin\\" QD_RUNTIME_PROGRAM_NAME
#define QD_RUNTIME_PROGRAM_IN_BIN L"" QD_RUNTIME_PROGRAM_IN_BIN_NAME
