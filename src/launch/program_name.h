// The argument text of a start: the process's command line less the program's
// own name.
#pragma once

// What follows the program's name in `commandLine`, past the blanks after it:
// the argument text a GUI program's wWinMain receives from the MinGW start-up,
// which the launcher no longer links (see launch/entry.cpp).
//
// The name runs up to the first blank outside double quotes; quotes only
// switch that "outside" on and off, wherever they stand (`"C:\My App\x.exe"`,
// `C:\"My App"\x.exe`). A blank is any character up to the space, so tabs and
// control characters end the name too, while inside quotes everything but the
// end of the text belongs to it; an unclosed quote makes the whole text the
// name. The result points into `commandLine`: nothing is copied, and an empty
// or blank command line gives an empty text.
const wchar_t* skipProgramName(const wchar_t* commandLine);
