// Interim: the text is appended unchanged; references are not resolved yet.
#include "config/var_expansion.h"

int expandVars(TextBuffer& destination, const wchar_t* source, const wchar_t*, size_t) {
    appendText(destination, source);
    return 1;
}
