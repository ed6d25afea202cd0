// %NAME% references in configured texts.
#pragma once

#include <stddef.h>

#include "launch/bounded_text.h"

// Appends `source` to `destination` with every %NAME% reference replaced.
// 1 when the whole source was processed, 0 when it stopped at a percent sign
// without a partner.
int expandVars(TextBuffer& destination, const wchar_t* source, const wchar_t* exePath, size_t exeDirLen);
