#include "starter_config.h"

namespace qdstamp {

const std::string& starter_config() {
    static const std::string text = R"(# The launcher configuration of your application, written by "qdstamp init".
#
# Replace every <fill in: ...> with your own value: "qdstamp check" warns about
# each one left, and "qdstamp build" refuses them. Then:
#   qdstamp check myapp.qdcfg
#   qdstamp build --launcher qdlauncher-bare.exe --config myapp.qdcfg --out MyApp.exe --icon myapp.ico
#
# One NAME = value a line. Values are literal: Windows paths are written as
# typed (lib\app.jar). <U+XXXX> writes one character by its code point, such
# as <U+000A> for a line break in a message. A line that begins with # is a
# comment: remove the # to use a key. A key left out is absent; "NAME =" with
# nothing after it is present and empty. In the texts marked "expanded",
# %EXEDIR%, %EXEFILE%, %PWD%, %OLDPWD%, %HKEY_...\key\value% and environment
# variables are replaced, and %% is one percent sign.
# Every key is described in docs/keys.md.

# --- What to start -----------------------------------------------------------

# The classpath form: the main class and its classpath (expanded; items
# separated by ;, relative ones found from the working folder; a wildcard
# item such as lib\* or lib\*.jar adds every entry it matches).
CFG_MAIN_CLASS = <fill in: your main class, such as com.example.myapp.Main>
CFG_CLASSPATH = lib\*

# The jar form (leave CFG_MAIN_CLASS out): the jar, relative to the
# launcher's folder. In the classpath form it is the classpath's first item.
# CFG_JAR = myapp.jar

# true: the jar is appended to the launcher's own file, which is then the jar
# (or the classpath's first item).
# CFG_JAR_IN_EXE = false

# The module form: the main module, or module/main class; CFG_MAIN_CLASS,
# CFG_JAR and CFG_JAR_IN_EXE are not used with it. Its module path
# (expanded; folders or jars separated by ;, relative to the launcher's
# folder). A CFG_CLASSPATH given as well comes first, for plain jars.
# CFG_MODULE = com.example.myapp/com.example.myapp.Main
# CFG_MODULE_PATH = lib

# --- The Java runtime ----------------------------------------------------------

# The runtime that comes with your application (expanded; relative to the
# launcher's folder). Used whenever its bin\javaw.exe exists, whatever its
# version; make it with jlink, without --strip-native-commands.
CFG_RUNTIME_DIR = runtime

# The lowest Java version accepted from an installed runtime (17, 1.8.0_202,
# 21-ea). Without it no installed runtime is searched; empty: no lower bound.
CFG_MIN_VERSION = 17

# The highest Java version accepted; 17 admits every 17.x.
# CFG_MAX_VERSION = 21

# Where installed runtimes are searched, in this order (the first source
# that has one wins): registry, java_home, path, folders. Without this key
# only the registry keys of Java 8's installers are searched.
CFG_RUNTIME_SOURCES = registry;java_home

# Which registry keys, in which order: 0 runtimes (JRE) only, 1 runtimes then
# development kits (JDK), 2 development kits then runtimes, 3 development kits
# only. Most of today's vendors register development kits only; with
# CFG_RUNTIME_SOURCES an absent key means 1, without it 0.
CFG_SEARCH_ORDER = 1

# Which kinds of runtime are accepted, preferred first: x64 (always
# accepted), and arm64 for a native runtime on Windows on ARM, where x64 runs
# emulated. Add arm64 only when every native library of your application
# exists for ARM64. Without this key: x64 only.
# CFG_RUNTIME_MACHINES = arm64;x64

# The page opened after the report "no suitable Java runtime" (where to get one).
# CFG_DOWNLOAD_URL = <fill in: the address of a page where your users get Java>

# --- The Java process ----------------------------------------------------------

# The working folder, relative to the launcher's folder ("." is that folder).
# Without it the application runs in the folder it was started from (a
# document's folder when opened through a file association).
CFG_WORK_DIR = .

# Options for the Java runtime (expanded), before the classpath. More can be
# added without stamping in the options file <launcher name>.qd.ini.
# CFG_JVM_OPTIONS = -Dmyapp.home="%EXEDIR%" -Dfile.encoding=UTF-8

# Arguments for the application, before the user's own (used as written).
# CFG_APP_ARGS = --profile default

# Environment variables for the application, one NAME=value a line (values
# expanded).
# CFG_ENV_VARS = MYAPP_HOME=%EXEDIR%
# CFG_ENV_VARS = MYAPP_MODE=desktop

# The priority class: 64 idle, 16384 below normal, 32 normal, 32768 above
# normal, 128 high, 256 realtime, 0 the system's default.
# CFG_PRIORITY = 32

# true: run a copy of javaw.exe that bears the launcher's name (Task Manager
# and firewalls then name your application), placed beside it in the bundled
# runtime's bin folder (CFG_RUNTIME_DIR only).
# CFG_PRIVATE_LAUNCHER = false

# When the application ends with this code (2 to 255, not 130 or 143), the
# launcher starts it again at once, with a fresh runtime choice and command
# line and -Dqdlauncher.restarted=<n>: for an update that must stop Java to
# replace its files.
# CFG_RESTART_EXIT_CODE = 23

# --- Memory (MB; the usable memory is 90 % of the free physical memory) ----------

# Less usable memory than this: the launch is refused.
# CFG_MIN_HEAP_MB = 512

# Less than this: the user is asked whether to start anyway.
# CFG_PREFERRED_HEAP_MB = 1024

# The maximum heap (-Xmx) is the usable memory, at most this.
# CFG_MAX_HEAP_MB = 4096

# The initial heap (-Xms): at least CFG_INITIAL_HEAP_MB, or this percentage of
# the free memory when that is more; at most 1500.
# CFG_INITIAL_HEAP_MB = 256
# CFG_INITIAL_HEAP_PERCENT = 10

# --- Windows -------------------------------------------------------------------

# The title of every message box of the launcher.
CFG_ERROR_TITLE = <fill in: your application's name>

# One instance at a time: a name of its own for the lock. A second start ends
# with exit code 2 and brings forward the first window whose title contains
# CFG_INSTANCE_TITLE.
# CFG_MUTEX = <fill in: a name only your application uses, such as ExampleLtd.MyApp>
# CFG_INSTANCE_TITLE = <fill in: a text of your main window's title>

# With CFG_MUTEX: a second start hands its working directory and arguments (the
# document the user opened) to the running application, as one line on its
# standard input, and ends with exit code 0 (docs/keys.md has the Java side).
# CFG_FORWARD_ARGUMENTS = true

# The splash picture (give build --splash splash.png; a PNG keeps transparent
# and soft edges, a BMP works too; --splash-2x splash@2x.png adds one twice
# the size for scaled screens): shown for CFG_SPLASH_TIMEOUT seconds (1 to
# 900, 60 when absent), or until your application's first window appears with
# CFG_SPLASH_UNTIL_WINDOW; with CFG_SPLASH_TIMEOUT_ERROR as well, no window
# within the time is reported as a failed start.
# CFG_SPLASH = true
# CFG_SPLASH_UNTIL_WINDOW = true
# CFG_SPLASH_TIMEOUT = 60
# CFG_SPLASH_TIMEOUT_ERROR = false

# true: the launcher keeps a hidden window and its messages going until the
# application ends.
# CFG_WAIT = false

# The application's own taskbar button (an AppUserModelID: at most 128
# characters, no blanks, in the form Company.Product): the splash, the
# launcher's messages and every window of the application share it, apart
# from other Java applications. Give your installer's Start-menu shortcut the
# same ID, so that pinning the running application pins that shortcut (see
# docs/desktop-integration.md). Keep it from version to version; no other
# application may use it.
# CFG_APP_USER_MODEL_ID = <fill in: such as ExampleLtd.MyApp>

# --- Messages --------------------------------------------------------------------

# The message of every failed start that has none of its own.
MSG_STARTUP_ERROR = <fill in: your message, such as: MyApp could not start.>

# The bundled runtime has no bin\javaw.exe and no installed runtime may be
# searched (CFG_MIN_VERSION is absent).
# MSG_RUNTIME_DIR_ERROR = <fill in: your message, such as: The Java runtime of MyApp is missing. Please reinstall MyApp.>

# No installed runtime suits; the launcher adds the version bounds.
# MSG_RUNTIME_VERSION_ERROR = <fill in: your message, such as: MyApp needs Java>

# The runtime that Java 8's registry keys name is gone (the search without
# CFG_RUNTIME_SOURCES).
# MSG_LAUNCHER_ERROR = <fill in: your message, such as: The Java installation named in the registry is missing.>

# The page opened after every report.
# CFG_HELP_URL = <fill in: the address of your help page>

# When the application ends within 10 seconds with error output, the report
# shows its first lines, then these: your system requirements page, and
# whom to contact (an e-mail address, a page, a phone number).
# CFG_REQUIREMENTS_URL = <fill in: the address of your system requirements page>
# CFG_SUPPORT_CONTACT = <fill in: your support address>

# --- Version resource: what Explorer and Task Manager show ------------------------

PRODUCT_NAME = <fill in: your application's name>
FILE_DESCRIPTION = <fill in: your application's name, as Task Manager shows it>
COMPANY_NAME = <fill in: your company's name>
FILE_VERSION = 1.0.0.0
# PRODUCT_VERSION = 1.0.0.0
# COPYRIGHT = <fill in: such as: Copyright (C) 2026 Example Ltd>
# TRADEMARKS =
# ORIGINAL_FILENAME = MyApp.exe
# INTERNAL_NAME = MyApp
# COMMENTS =
)";
    return text;
}

}  // namespace qdstamp
