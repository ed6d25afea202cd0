// Interim: the options file is not read yet.
#include "config/options_file.h"

void readOptionsFile(const wchar_t*, TextBuffer&) {}
