// The console launcher's way to speak to the user: lines on standard error
// instead of message boxes, and the low-memory question on the console.
#pragma once

#include <windows.h>
#include <stddef.h>

// Writes `text` and a line end to standard error; nothing when the launcher
// has none. A console gets the text as UTF-16 (WriteConsoleW); a file or pipe
// gets it in the console's output code page, or in UTF-8 when the launcher has
// no console, with every line end as carriage return and line feed.
void writeErrorLine(const wchar_t* text);

// The low-memory question for the console launcher, in the form of the
// message box it replaces (heap_sizing.h, AskUserCall). It is asked only when
// both standard input and standard error are the console, where someone can
// read and answer it: the question, then "[y/N] "; a line that begins with y
// or s (yes, s\u00ED) is Yes, anything else No. Otherwise nobody is asked and a
// script never waits: one line on standard error says so and the answer is
// the one the box has ready (its default button, the first: Yes).
int askOnConsole(const wchar_t* text, const wchar_t* title, UINT type);

// --- The pure parts -------------------------------------------------------

// `text` with every line feed not preceded by a carriage return made a pair,
// and a closing line end, into `out` (a `capacity`-unit buffer); cut cleanly
// when it does not fit. Returns the number of units.
size_t withLineEnds(const wchar_t* text, wchar_t* out, size_t capacity);

// Whether an answer typed on the console means Yes.
bool consoleAnswerIsYes(const wchar_t* line);
