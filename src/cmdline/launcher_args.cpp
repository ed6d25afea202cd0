// The child's command line: after the heap options, the JVM options, the
// classpath and main class or the jar, the fixed application arguments and the
// user's own arguments, each piece appended at the end index of launcherArgs.
//
// Nothing is ever cut: a piece that does not fit stops the launch with a
// report that names it, so the runtime never starts with half a command line.
#include "cmdline/launcher_args.h"

#include "config/config_records.h"
#include "config/options_file.h"
#include "config/var_expansion.h"
#include "diag/debug_log.h"
#include "diag/error_report.h"
#include "launch/launch_state.h"
#include "launch/name_pattern.h"

namespace {

const wchar_t SWITCH_PREFIX[] = L"--qd-";
const size_t SWITCH_PREFIX_LENGTH = 5;

wchar_t jvmOptionsText[LONG_TEXT_CAPACITY];
wchar_t rawClasspath[LONG_TEXT_CAPACITY];
wchar_t expandedClasspath[LONG_TEXT_CAPACITY];
wchar_t appArgs[LONG_TEXT_CAPACITY];
wchar_t userCopy[LONG_TEXT_CAPACITY];
wchar_t wildcardPath[PATH_CAPACITY];
wchar_t reasonText[MESSAGE_CAPACITY];

int refuse(const wchar_t* reason) {
    explainFailure(reason);
    return 0;
}

// "<what> would make the command line for the Java runtime longer than 32767 characters."
int refuseTooLong(const wchar_t* what) {
    explainFailureAbout(L"", what, L" would make the command line for the Java runtime longer than 32767 characters.");
    return 0;
}

// The item's folder part and a found name together exceed what a path may hold.
int refuseWildcardPath(const wchar_t* item, size_t directoryLength, const wchar_t* name) {
    TextBuffer reason = emptyTextBuffer(reasonText, MESSAGE_CAPACITY);
    appendText(reason, L"The classpath item ");
    appendText(reason, item);
    appendText(reason, L" leads to a path longer than 259 characters: ");
    appendTextN(reason, item, directoryLength);
    appendText(reason, name);
    return refuse(reasonText);
}

bool hasWildcard(const wchar_t* item, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (item[i] == L'*' || item[i] == L'?') return true;
    }
    return false;
}

// The folder part that the directory search resolved the pattern against: up
// to and including the last backslash. The search takes a slash for a
// backslash, so a slash ends the folder part too (else lib/*.jar would give
// bare names that point into the wrong folder). A pattern without either,
// like *.jar, names entries of the current directory, which the child
// inherits: its entries stay bare names, as does a drive prefix ("C:*.jar"
// keeps "C:", which the child resolves against the same drive directory).
size_t directoryPartLength(const wchar_t* item, size_t length) {
    for (size_t i = length; i > 0; --i) {
        if (item[i - 1] == L'\\' || item[i - 1] == L'/') return i;
    }
    if (length >= 2 && item[1] == L':') return 2;
    return 0;
}

// Every entry the directory search delivers for `item`, in its order, each as
// the item's folder part plus the entry's name, followed by ";". Directories,
// "." and ".." included: the pattern decides, nothing is sorted. Only entries
// found through a short name are left out (lib\*.jar would otherwise add
// lib\x.jar_old, whose short name is X~1.JAR).
int appendWildcardEntries(TextBuffer& args, const wchar_t* item, size_t itemLength) {
    size_t directoryLength = directoryPartLength(item, itemLength);
    const wchar_t* namePattern = item + directoryLength;
    size_t namePatternLength = itemLength - directoryLength;
    TextBuffer path = emptyTextBuffer(wildcardPath, PATH_CAPACITY);
    if (!appendTextN(path, item, directoryLength)) return refuseWildcardPath(item, directoryLength, L"");

    // A pattern that matches nothing is no error.
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(item, &entry);
    if (search == INVALID_HANDLE_VALUE) return 1;
    int result = 1;
    do {
        if (!longNameMatches(entry.cFileName, namePattern, namePatternLength)) continue;
        truncateText(path, directoryLength);
        if (!appendText(path, entry.cFileName)) {
            result = refuseWildcardPath(item, directoryLength, entry.cFileName);
            break;
        }
        appendTextN(args, wildcardPath, path.length);
        appendChar(args, L';');
        if (args.overflowed) {
            result = refuseTooLong(L"The classpath");
            break;
        }
        logLine(L"      \"      :\t%s\n", wildcardPath);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return result;
}

int appendClasspathForm(TextBuffer& args, const wchar_t* jarText, const wchar_t* mainClass, const wchar_t* exePath,
                        size_t exeDirLen, BOOL jarInExe) {
    // A main class without a classpath: nothing of this form is written.
    if (!loadConfigString(CFG_CLASSPATH, rawClasspath, LONG_TEXT_CAPACITY)) return 0;

    // Expanded before it is split, so one variable may hold several items.
    TextBuffer classpath = emptyTextBuffer(expandedClasspath, LONG_TEXT_CAPACITY);
    expandVars(classpath, rawClasspath, exePath, exeDirLen);
    if (classpath.overflowed) return refuse(L"The classpath, with its variables expanded, is longer than 32767 characters.");

    appendText(args, L"-classpath \"");
    const wchar_t* jarPiece = jarInExe ? exePath : jarText;
    if (jarPiece[0] != 0) {
        appendText(args, jarPiece);
        if (classpath.length > 0) appendChar(args, L';');
    }
    if (!appendClasspathItems(args, expandedClasspath, classpath.length)) return 0;
    if (args.overflowed) return refuseTooLong(L"The classpath");
    // Every item and entry was followed by ";": the last one needs none.
    if (textEndsWith(args, L';')) truncateText(args, args.length - 1);
    appendText(args, L"\" ");
    appendText(args, mainClass);
    if (args.overflowed) return refuseTooLong(L"The main class");
    return 1;
}

int appendJarForm(TextBuffer& args, const wchar_t* jarText, const wchar_t* exePath, size_t exeDirLen, BOOL jarInExe) {
    appendText(args, L"-jar \"");
    if (jarInExe) {
        appendText(args, exePath);
    } else {
        // The jar is always taken relative to the executable's folder.
        appendTextN(args, exePath, exeDirLen);
        if (!textEndsWith(args, L'\\')) appendChar(args, L'\\');
        appendText(args, jarText);
    }
    appendChar(args, L'"');
    if (args.overflowed) return refuseTooLong(L"The jar path");
    return 1;
}

// The user's arguments less the launcher's own switches, after one blank.
int appendUserArguments(TextBuffer& args, const wchar_t* argumentText) {
    if (argumentText[0] == 0) return 1;
    if (!copyText(userCopy, LONG_TEXT_CAPACITY, argumentText)) {
        return refuse(L"The arguments given to this program are longer than 32767 characters.");
    }
    size_t remaining = stripLauncherSwitches(userCopy);
    if (remaining == 0) return 1;
    appendChar(args, L' ');
    appendTextN(args, userCopy, remaining);
    if (args.overflowed) return refuseTooLong(L"The arguments given to this program");
    return 1;
}

bool endsWithSwitchPrefix(const wchar_t* text, size_t length) {
    if (length < SWITCH_PREFIX_LENGTH) return false;
    const wchar_t* tail = text + length - SWITCH_PREFIX_LENGTH;
    for (size_t i = 0; i < SWITCH_PREFIX_LENGTH; ++i) {
        if (tail[i] != SWITCH_PREFIX[i]) return false;
    }
    return true;
}

} // namespace

// One pass that gives the same result as searching the whole text for "--qd-"
// again after every removal. The text before the read position is settled and
// holds no switch; a removal joins it to the rest, and a switch formed across
// that join (x---qd-y -qd-z joins x- and -qd-z) is found as its last character
// is moved back, since every switch ends where it is completed.
size_t stripLauncherSwitches(wchar_t* text) {
    size_t kept = 0; // text[0, kept) is settled
    size_t next = 0; // the next character to read; never behind `kept`
    while (text[next] != 0) {
        text[kept++] = text[next++];
        if (!endsWithSwitchPrefix(text, kept)) continue;
        size_t switchStart = kept - SWITCH_PREFIX_LENGTH;
        // Only a space ends a switch (no tab, no quote); the prefix itself holds none.
        size_t space = next;
        while (text[space] != 0 && text[space] != L' ') ++space;
        kept = switchStart;
        if (text[space] == 0 || text[space + 1] == 0) break; // nothing follows the switch
        next = space + 1;
    }
    text[kept] = 0;
    return kept;
}

int appendClasspathItems(TextBuffer& args, wchar_t* classpath, size_t length) {
    size_t i = 0;
    while (i < length) {
        // Runs of separators count as one; separators at either end give no item.
        if (classpath[i] == L';') {
            ++i;
            continue;
        }
        size_t start = i;
        while (i < length && classpath[i] != L';') ++i;
        classpath[i] = 0;
        const wchar_t* item = classpath + start;
        size_t itemLength = i - start;
        logLine(L"Add classpath:\t%s\n", item);
        if (hasWildcard(item, itemLength)) {
            if (!appendWildcardEntries(args, item, itemLength)) return 0;
        } else {
            appendTextN(args, item, itemLength);
            appendChar(args, L';');
            if (args.overflowed) return refuseTooLong(L"The classpath");
        }
        ++i;
    }
    return 1;
}

int assembleLauncherArgs(const wchar_t* argumentText, const wchar_t* exePath, size_t exeDirLen, BOOL jarInExe) {
    // The heap options are already there; from here on only the end index moves.
    TextBuffer args = textBufferOver(launcherArgs, LONG_TEXT_CAPACITY);

    // The configured JVM options and a blank, then the options file's.
    TextBuffer options = emptyTextBuffer(jvmOptionsText, LONG_TEXT_CAPACITY);
    if (loadConfigString(CFG_JVM_OPTIONS, jvmOptionsText, LONG_TEXT_CAPACITY)) {
        options = textBufferOver(jvmOptionsText, LONG_TEXT_CAPACITY);
        appendChar(options, L' ');
    }
    if (configFaulted()) return 0;
    if (options.overflowed) return refuse(L"The configured JVM options are longer than 32766 characters.");
    readOptionsFile(exePath, options);
    if (options.length > 0) expandVars(args, jvmOptionsText, exePath, exeDirLen);
    if (options.overflowed || args.overflowed) return refuseTooLong(L"The JVM options, with their variables expanded,");

    wchar_t jarText[PATH_CAPACITY] = {};
    wchar_t mainClass[NAME_CAPACITY] = {};
    loadConfigString(CFG_JAR, jarText, PATH_CAPACITY);
    bool classpathForm = loadConfigString(CFG_MAIN_CLASS, mainClass, NAME_CAPACITY) != 0;
    if (configFaulted()) return 0;
    if (classpathForm) {
        if (!appendClasspathForm(args, jarText, mainClass, exePath, exeDirLen, jarInExe)) return 0;
    } else {
        if (!appendJarForm(args, jarText, exePath, exeDirLen, jarInExe)) return 0;
    }
    if (configFaulted()) return 0;

    if (loadConfigString(CFG_APP_ARGS, appArgs, LONG_TEXT_CAPACITY)) {
        appendChar(args, L' ');
        appendText(args, appArgs);
    }
    if (configFaulted()) return 0;
    if (args.overflowed) return refuseTooLong(L"The configured application arguments");

    if (!appendUserArguments(args, argumentText)) return 0;

    logLine(L"Launcher:\t%s\n", launcherPath);
    logLine(L"Launcher args:\t%s\n", launcherArgs);
    logLine(L"Args length:\t%zd/32768 chars\n", static_cast<long long>(args.length));
    return 1;
}
