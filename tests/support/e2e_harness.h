// End-to-end test rig: stamps configuration records into a copy of the
// record-free launcher, lays out an application folder with a stand-in
// runtime, runs the launcher, reads and answers its message boxes, and reads
// what the stand-in child recorded and what the launcher logged.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace e2e {

// Record id -> text (stored as UTF-16LE plus one zero unit).
using Records = std::map<WORD, std::wstring>;

// Artifacts next to the test program.
std::wstring testProgramDir();
std::wstring bareLauncherPath();
std::wstring shippedLauncherPath();
std::wstring fakeRuntimePath();
// The console launcher without records, and the stand-in for java.exe.
std::wstring consoleBareLauncherPath();
std::wstring fakeConsoleRuntimePath();

// The stand-in runtime's bytes with the machine field of its PE header set to
// `machine` (IMAGE_FILE_MACHINE_*): a program that says it is built for that
// kind of computer. Written where a runtime's program is looked at, never
// started.
std::string standInBuiltFor(WORD machine);

// The RT_RCDATA records (language 0x0400) of an executable.
Records readRecords(const std::wstring& exe);
// Adds or replaces records; raw bytes for records stored in unusual forms.
bool stampRecords(const std::wstring& exe, const Records& records);
bool stampRawRecord(const std::wstring& exe, WORD id, const std::string& bytes);
// Stores a .bmp file's picture as bitmap resource 1 (language 0x0400): the
// file less its 14-byte file header, a packed DIB.
bool stampBitmap(const std::wstring& exe, const std::string& bmpFileBytes);
// Stores a packed DIB as bitmap resource `id` (language 0x0400).
bool stampBitmapResource(const std::wstring& exe, WORD id, const std::string& dib);
// The bytes of a 24-bit .bmp file of that size (a colour gradient).
std::string makeBitmapFile(int width, int height);
// A picture with transparency in the form qdstamp stores a PNG: a packed DIB
// with a BITMAPV5HEADER, 32 bits, premultiplied alpha, rows bottom-up. It is
// `colour` and opaque, except for two `corner`-pixel squares at its top:
// fully transparent on the left, half transparent (alpha 128) on the right.
std::string makeTransparentDib(int width, int height, COLORREF colour, int corner);

// Files and folders.
bool makeDirectories(const std::wstring& path);
void removeTree(const std::wstring& path);
bool writeFileBytes(const std::wstring& path, const std::string& bytes);
std::string readFileBytes(const std::wstring& path);
bool fileExists(const std::wstring& path);
std::vector<std::wstring> listFiles(const std::wstring& pattern); // bare names
std::wstring tempDirectory();                                      // with a trailing backslash
std::wstring joinPath(const std::wstring& a, const std::wstring& b);

// The system's text for an error code, as a report appends it after an empty
// line; empty when the system has none.
std::wstring systemErrorText(DWORD code);

// Text conversions for assertions.
std::string narrow(const std::wstring& text);  // UTF-8
std::wstring widen(const std::string& text);   // from UTF-8
std::string latin1(const std::wstring& text);  // one byte per unit, '?' above 0xFF

// A message box seen while a program ran.
struct Dialog {
    std::wstring title;
    std::wstring text;
    HWND window = nullptr;   // the box itself, still open while it is answered
    ULONGLONG seenAtMs = 0;  // when the box was found, counted from the program's start
};

enum class Press { Ok, Yes, No };
using Answer = std::function<Press(const Dialog&)>;
Press pressOk(const Dialog&);

struct RunResult {
    bool started = false;   // false: the system could not start the program at all
    DWORD startError = 0;   // why it could not
    bool finished = false;  // false: the deadline passed and the process was killed
    DWORD exitCode = 0;
    DWORD pid = 0;
    ULONGLONG elapsedMs = 0;
    std::vector<Dialog> dialogs;
};

// Called with the program's process id on every poll (about every 25 ms)
// while it runs, before its message boxes are looked for.
using Observer = std::function<void(DWORD pid)>;

// Runs a program to its end (or the deadline), answering every message box it
// shows. `environment` entries are added to (or replace) the test's own;
// `creationFlags` are added to the program's (CREATE_NEW_CONSOLE, say).
RunResult runProgram(const std::wstring& exe, const std::wstring& arguments, const std::wstring& workingDir,
                     const std::map<std::wstring, std::wstring>& environment, const Answer& answer,
                     DWORD timeoutMs, const Observer& whileRunning = nullptr, DWORD creationFlags = 0);

// A top-level window as another program sees it.
struct WindowInfo {
    HWND handle = nullptr;
    std::wstring className;
    bool visible = false;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect = {};
};
// Every top-level window owned by the process, visible or not.
std::vector<WindowInfo> topLevelWindows(DWORD pid);

// Waits until `condition` holds or the deadline passes; returns the condition.
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// What the stand-in runtime recorded: "key" -> value, environment as "env:NAME".
struct ChildRecord {
    bool present = false;
    std::map<std::wstring, std::wstring> values;
    std::wstring value(const std::wstring& key) const;
    std::wstring env(const std::wstring& name) const; // case-insensitive name
    bool hasEnv(const std::wstring& name) const;
};
ChildRecord readChildRecord(const std::wstring& path);

} // namespace e2e
