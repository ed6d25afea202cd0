// The program the child runs, named once for every check of a runtime folder.
// A console build switches it at compile time (-DQD_RUNTIME_PROGRAM=L"java.exe").
#pragma once

#ifndef QD_RUNTIME_PROGRAM
#define QD_RUNTIME_PROGRAM L"javaw.exe"
#endif

// The program relative to a runtime's home folder.
#define QD_RUNTIME_PROGRAM_IN_BIN L"bin\\" QD_RUNTIME_PROGRAM
