#include "launch/program_name.h"

const wchar_t* skipProgramName(const wchar_t* commandLine) {
    const wchar_t* p = commandLine;
    bool quoted = false;
    while (*p > L' ' || (*p != 0 && quoted)) {
        if (*p == L'"') quoted = !quoted;
        ++p;
    }
    while (*p != 0 && *p <= L' ') ++p;
    return p;
}
