// qdstamp: writes a launcher configuration into a copy of qdlauncher-bare.exe.
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include "utf.h"

// Arguments as UTF-8, read from the wide command line so that any file name
// reaches the program intact.
static std::vector<std::string> arguments(int, char**) {
    std::vector<std::string> out;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide && i < count; ++i)
        out.push_back(qdstamp::utf16_to_utf8(reinterpret_cast<const char16_t*>(wide[i])));
    if (wide) LocalFree(wide);
    return out;
}
#else
static std::vector<std::string> arguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    // show prints the configuration byte for byte, without CR insertion.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    int code = qdstamp::run_command_line(arguments(argc, argv), std::cout, std::cerr);
    std::cout.flush();
    return code;
}
