// The child's command line: after the heap options, the JVM options, the
// classpath and main class, the jar, or the main module with its module path,
// then the fixed application arguments and the user's own arguments, each
// piece appended at the end index of launcherArgs.
//
// Nothing is ever cut: a piece that does not fit stops the launch with a
// report that names it, so the runtime never starts with half a command line.
#include "cmdline/launcher_args.h"

#include "config/config_records.h"
#include "config/options_file.h"
#include "config/var_expansion.h"
#include "core/failure.h"
#include "core/launch_state.h"
#include "core/launcher_switches.h"
#include "core/name_pattern.h"
#include "diag/debug_log.h"

namespace {

wchar_t jvmOptionsText[LONG_TEXT_CAPACITY];
// The classpath and then the module path: one is appended before the other is read.
wchar_t rawPathList[LONG_TEXT_CAPACITY];
wchar_t expandedPathList[LONG_TEXT_CAPACITY];
wchar_t appArgs[LONG_TEXT_CAPACITY];
wchar_t userCopy[LONG_TEXT_CAPACITY];
wchar_t anchoredItem[PATH_CAPACITY];
wchar_t wildcardPath[PATH_CAPACITY];
wchar_t reasonText[MESSAGE_CAPACITY];

// What tells the two path lists apart. Java resolves a relative classpath item
// against the working directory, so classpath items go as written; relative
// module-path items are joined to the executable's folder (the anchor), as a
// launch through a file association starts in the document's folder.
struct PathList {
    const wchar_t* name;      // "The classpath", for reports
    const char* logFormat;    // one line per item
    const wchar_t* anchor;    // nullptr: items as written
    size_t anchorLength;
};

const PathList CLASSPATH_LIST = {L"The classpath", "Add classpath:\t%s\n", nullptr, 0};
const PathList MODULE_PATH_LIST = {L"The module path", "Add module path:\t%s\n", nullptr, 0};

int refuse(const wchar_t* reason) {
    explainFailure(reason);
    return 0;
}

int refuse(const char* reason) {
    explainFailure(reason);
    return 0;
}

// "<what> would make the command line for the Java runtime longer than 32767 characters."
int refuseTooLong(const wchar_t* what) {
    explainFailureAbout("", what, " would make the command line for the Java runtime longer than 32767 characters.");
    return 0;
}

// "<list> item <item> leads to a path longer than 259 characters: ", to be
// followed by the path.
TextBuffer beginLongPathReason(const PathList& list, const wchar_t* item) {
    TextBuffer reason = emptyTextBuffer(reasonText, MESSAGE_CAPACITY);
    appendText(reason, list.name);
    appendText(reason, " item ");
    appendText(reason, item);
    appendText(reason, " leads to a path longer than 259 characters: ");
    return reason;
}

// The item's folder part and a found name together exceed what a path may hold.
int refuseWildcardPath(const PathList& list, const wchar_t* item, size_t directoryLength, const wchar_t* name) {
    TextBuffer reason = beginLongPathReason(list, item);
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
int appendWildcardEntries(TextBuffer& args, const wchar_t* item, size_t itemLength, const PathList& list) {
    size_t directoryLength = directoryPartLength(item, itemLength);
    const wchar_t* namePattern = item + directoryLength;
    size_t namePatternLength = itemLength - directoryLength;
    TextBuffer path = emptyTextBuffer(wildcardPath, PATH_CAPACITY);
    if (!appendTextN(path, item, directoryLength)) return refuseWildcardPath(list, item, directoryLength, L"");

    // A pattern that matches nothing is no error.
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(item, &entry);
    if (search == INVALID_HANDLE_VALUE) return 1;
    int result = 1;
    do {
        if (!longNameMatches(entry.cFileName, namePattern, namePatternLength)) continue;
        truncateText(path, directoryLength);
        if (!appendText(path, entry.cFileName)) {
            result = refuseWildcardPath(list, item, directoryLength, entry.cFileName);
            break;
        }
        appendTextN(args, wildcardPath, path.length);
        appendChar(args, L';');
        if (args.overflowed) {
            result = refuseTooLong(list.name);
            break;
        }
        logLine("      \"      :\t%s\n", wildcardPath);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return result;
}

// Neither rooted ("\\lib", "/lib", "\\\\server\\share") nor on a drive ("C:\\lib",
// and "C:lib", which names the drive's own current folder).
bool isRelativeItem(const wchar_t* item, size_t length) {
    if (item[0] == L'\\' || item[0] == L'/') return false;
    return !(length >= 2 && item[1] == L':');
}

// Splits `items` at ";" and appends each item, or for a wildcard item every
// entry found, followed by ";". A relative item of an anchored list is taken
// as <anchor>\<item> from here on, in the log and for the search too.
int appendPathItems(TextBuffer& args, wchar_t* items, size_t length, const PathList& list) {
    size_t i = 0;
    while (i < length) {
        // Runs of separators count as one; separators at either end give no item.
        if (items[i] == L';') {
            ++i;
            continue;
        }
        size_t start = i;
        while (i < length && items[i] != L';') ++i;
        items[i] = 0;
        const wchar_t* item = items + start;
        size_t itemLength = i - start;
        if (list.anchor != nullptr && isRelativeItem(item, itemLength)) {
            TextBuffer anchored = emptyTextBuffer(anchoredItem, PATH_CAPACITY);
            appendTextN(anchored, list.anchor, list.anchorLength);
            appendChar(anchored, L'\\');
            appendTextN(anchored, item, itemLength);
            if (anchored.overflowed) {
                TextBuffer reason = beginLongPathReason(list, item);
                appendTextN(reason, list.anchor, list.anchorLength);
                appendChar(reason, L'\\');
                appendText(reason, item);
                return refuse(reasonText);
            }
            item = anchoredItem;
            itemLength = anchored.length;
        }
        logLine(list.logFormat, item);
        if (hasWildcard(item, itemLength)) {
            if (!appendWildcardEntries(args, item, itemLength, list)) return 0;
        } else {
            appendTextN(args, item, itemLength);
            appendChar(args, L';');
            if (args.overflowed) return refuseTooLong(list.name);
        }
        ++i;
    }
    return 1;
}

enum PathListRecord { LIST_ABSENT, LIST_EXPANDED, LIST_REFUSED };

// Reads the path list `id` and expands it into expandedPathList before it is
// split, so one variable may hold several items.
static_assert(recordCapacity(CFG_CLASSPATH) <= LONG_TEXT_CAPACITY && recordCapacity(CFG_MODULE_PATH) <= LONG_TEXT_CAPACITY,
              "the path lists are read into rawPathList");
PathListRecord expandPathList(WORD id, const PathList& list, TextBuffer& expanded, const wchar_t* exePath,
                              size_t exeDirLen) {
    if (!loadConfigString(id, rawPathList, LONG_TEXT_CAPACITY)) return configFaulted() ? LIST_REFUSED : LIST_ABSENT;
    expanded = emptyTextBuffer(expandedPathList, LONG_TEXT_CAPACITY);
    expandVars(expanded, rawPathList, exePath, exeDirLen);
    if (!expanded.overflowed) return LIST_EXPANDED;
    explainFailureAbout("", list.name, ", with its variables expanded, is longer than 32767 characters.");
    return LIST_REFUSED;
}

// Ends a piece in double quotes. Backslashes at its end are doubled first:
// the runtime splits its command line by the usual rules, which read 2n
// backslashes before a quote as n and the quote as the piece's end, but one
// backslash before it as a quote inside the piece, so "C:\classes\" would run
// on into the arguments that follow.
void closeQuote(TextBuffer& args) {
    size_t backslashes = 0;
    while (backslashes < args.length && args.chars[args.length - 1 - backslashes] == L'\\') ++backslashes;
    for (; backslashes > 0; --backslashes) appendChar(args, L'\\');
    appendChar(args, L'"');
}

// Every item and entry was followed by ";": the last one needs none.
void closeQuotedList(TextBuffer& args) {
    if (textEndsWith(args, L';')) truncateText(args, args.length - 1);
    closeQuote(args);
    appendChar(args, L' ');
}

// -classpath, the jar piece (may be empty) and the expanded classpath's items in
// double quotes, and a blank.
int appendClasspathPiece(TextBuffer& args, const wchar_t* jarPiece, const TextBuffer& classpath) {
    appendText(args, "-classpath \"");
    if (jarPiece[0] != 0) {
        appendText(args, jarPiece);
        if (classpath.length > 0) appendChar(args, L';');
    }
    if (!appendClasspathItems(args, expandedPathList, classpath.length)) return 0;
    if (args.overflowed) return refuseTooLong(CLASSPATH_LIST.name);
    closeQuotedList(args);
    return 1;
}

int appendClasspathForm(TextBuffer& args, const wchar_t* jarText, const wchar_t* mainClass, const wchar_t* exePath,
                        size_t exeDirLen, BOOL jarInExe) {
    // A main class without a classpath: nothing of this form is written.
    TextBuffer classpath = {};
    if (expandPathList(CFG_CLASSPATH, CLASSPATH_LIST, classpath, exePath, exeDirLen) != LIST_EXPANDED) return 0;
    if (!appendClasspathPiece(args, jarInExe ? exePath : jarText, classpath)) return 0;
    appendText(args, mainClass);
    if (args.overflowed) return refuseTooLong(L"The main class");
    return 1;
}

// [-classpath "<items>" ]--module-path "<items>" -m <module>. The jar records
// play no part: the main module names what starts.
int appendModuleForm(TextBuffer& args, const wchar_t* module, const wchar_t* exePath, size_t exeDirLen) {
    // "-m" with nothing after it would take the next argument for the module.
    if (module[0] == 0) return refuse("The launcher's configuration is damaged: CFG_MODULE is empty.");

    // Jars that are no modules come first, on the classpath.
    TextBuffer list = {};
    PathListRecord classpath = expandPathList(CFG_CLASSPATH, CLASSPATH_LIST, list, exePath, exeDirLen);
    if (classpath == LIST_REFUSED) return 0;
    if (classpath == LIST_EXPANDED && !appendClasspathPiece(args, L"", list)) return 0;

    PathListRecord modulePath = expandPathList(CFG_MODULE_PATH, MODULE_PATH_LIST, list, exePath, exeDirLen);
    if (modulePath == LIST_REFUSED) return 0;
    if (modulePath == LIST_EXPANDED) {
        size_t pieceStart = args.length;
        appendText(args, "--module-path \"");
        size_t itemsStart = args.length;
        if (!appendModulePathItems(args, expandedPathList, list.length, exePath, exeDirLen)) return 0;
        if (args.overflowed) return refuseTooLong(MODULE_PATH_LIST.name);
        // Without a single item the piece goes: Java takes an empty module
        // path for the current folder, whatever jars lie there.
        if (args.length == itemsStart) truncateText(args, pieceStart);
        else closeQuotedList(args);
    }

    appendText(args, "-m ");
    appendText(args, module);
    if (args.overflowed) return refuseTooLong(L"The main module");
    return 1;
}

int appendJarForm(TextBuffer& args, const wchar_t* jarText, const wchar_t* exePath, size_t exeDirLen, BOOL jarInExe) {
    appendText(args, "-jar \"");
    if (jarInExe) {
        appendText(args, exePath);
    } else {
        // The jar is always taken relative to the executable's folder.
        appendTextN(args, exePath, exeDirLen);
        if (!textEndsWith(args, L'\\')) appendChar(args, L'\\');
        appendText(args, jarText);
    }
    closeQuote(args);
    if (args.overflowed) return refuseTooLong(L"The jar path");
    return 1;
}

// The user's arguments less the launcher's own switches, after one blank.
int appendUserArguments(TextBuffer& args, const wchar_t* argumentText) {
    if (argumentText[0] == 0) return 1;
    if (!copyText(userCopy, LONG_TEXT_CAPACITY, argumentText)) {
        return refuse("The arguments given to this program are longer than 32767 characters.");
    }
    size_t remaining = stripLauncherSwitches(userCopy);
    if (remaining == 0) return 1;
    appendChar(args, L' ');
    appendTextN(args, userCopy, remaining);
    if (args.overflowed) return refuseTooLong(L"The arguments given to this program");
    return 1;
}

bool endsWithSwitchPrefix(const wchar_t* text, size_t length) {
    if (length < LAUNCHER_SWITCH_PREFIX_LENGTH) return false;
    const wchar_t* tail = text + length - LAUNCHER_SWITCH_PREFIX_LENGTH;
    for (size_t i = 0; i < LAUNCHER_SWITCH_PREFIX_LENGTH; ++i) {
        if (tail[i] != LAUNCHER_SWITCH_PREFIX[i]) return false;
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
        size_t switchStart = kept - LAUNCHER_SWITCH_PREFIX_LENGTH;
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
    return appendPathItems(args, classpath, length, CLASSPATH_LIST);
}

int appendModulePathItems(TextBuffer& args, wchar_t* modulePath, size_t length, const wchar_t* anchor,
                          size_t anchorLength) {
    PathList list = MODULE_PATH_LIST;
    list.anchor = anchor;
    list.anchorLength = anchorLength;
    return appendPathItems(args, modulePath, length, list);
}

int assembleLauncherArgs(const wchar_t* argumentText, const wchar_t* exePath, size_t exeDirLen, BOOL jarInExe) {
    // The heap options are already there; from here on only the end index moves.
    TextBuffer args = textBufferOver(launcherArgs, LONG_TEXT_CAPACITY);

    // The configured JVM options and a blank, then the options file's.
    TextBuffer options = emptyTextBuffer(jvmOptionsText, LONG_TEXT_CAPACITY);
    if (loadConfigString<CFG_JVM_OPTIONS>(jvmOptionsText)) {
        options = textBufferOver(jvmOptionsText, LONG_TEXT_CAPACITY);
        appendChar(options, L' ');
    }
    if (configFaulted()) return 0;
    if (options.overflowed) return refuse("The configured JVM options are longer than 32766 characters.");
    readOptionsFile(exePath, options);
    if (options.length > 0) expandVars(args, jvmOptionsText, exePath, exeDirLen);
    if (options.overflowed || args.overflowed) return refuseTooLong(L"The JVM options, with their variables expanded,");
    // Last among the JVM options, so that no option of the file can change it.
    // Should it not fit, the next piece's check refuses the command line.
    if (restartCount > 0) {
        appendText(args, "-Dqdlauncher.restarted=");
        appendDecimal(args, restartCount);
        appendChar(args, L' ');
    }

    wchar_t module[PATH_CAPACITY];
    wchar_t jarText[PATH_CAPACITY] = {};
    wchar_t mainClass[NAME_CAPACITY] = {};
    if (loadConfigString<CFG_MODULE>(module)) {
        if (!appendModuleForm(args, module, exePath, exeDirLen)) return 0;
    } else {
        if (configFaulted()) return 0;
        loadConfigString<CFG_JAR>(jarText);
        bool classpathForm = loadConfigString<CFG_MAIN_CLASS>(mainClass) != 0;
        if (configFaulted()) return 0;
        if (classpathForm) {
            if (!appendClasspathForm(args, jarText, mainClass, exePath, exeDirLen, jarInExe)) return 0;
        } else {
            if (!appendJarForm(args, jarText, exePath, exeDirLen, jarInExe)) return 0;
        }
    }
    if (configFaulted()) return 0;

    if (loadConfigString<CFG_APP_ARGS>(appArgs)) {
        appendChar(args, L' ');
        appendText(args, appArgs);
    }
    if (configFaulted()) return 0;
    if (args.overflowed) return refuseTooLong(L"The configured application arguments");

    if (!appendUserArguments(args, argumentText)) return 0;

    logLine("Launcher:\t%s\n", launcherPath);
    logLine("Launcher args:\t%s\n", launcherArgs);
    logLine("Args length:\t%zd/32768 chars\n", static_cast<long long>(args.length));
    return 1;
}
