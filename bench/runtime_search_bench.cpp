// How long the search of the installed runtimes takes on a machine with 30
// registered runtimes: 30 installations of several vendors, each registered
// under its vendor's key (some also under the JavaSoft keys, some per user),
// each a folder with bin\javaw.exe and a release file.
//
// Figures, each the median of many runs in this process after five seconds
// of warm-up (the very first search is printed on its own):
//   - the registry source with CFG_MIN_VERSION 17 (the highest of the
//     acceptable ones is chosen, so every key and folder is looked at);
//   - all four sources when nothing is acceptable (the longest search);
//   - for comparison, the original search over the same number of JavaSoft
//     subkeys (it reads key names only and looks at no folder).
// Figures only: nothing here fails on a slow machine.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/bounded_text.h"
#include "core/launch_state.h"
#include "e2e_harness.h"
#include "registry_sandbox.h"
#include "runtime/runtime_search.h"
#include "runtime/runtime_sources.h"

namespace {

const int RUNS = 41;
const int RUNTIMES = 30;

struct Vendor {
    const wchar_t* keyPattern; // %s: the version key name
    const wchar_t* valueName;
    const wchar_t* folderPrefix;
};

const Vendor VENDORS[] = {
    {L"SOFTWARE\\Eclipse Adoptium\\JDK\\%s\\hotspot\\MSI", L"Path", L"temurin-"},
    {L"SOFTWARE\\JavaSoft\\JDK\\%s", L"JavaHome", L"oracle-"},
    {L"SOFTWARE\\Azul Systems\\Zulu\\zulu-%s", L"InstallationPath", L"zulu-"},
    {L"SOFTWARE\\BellSoft\\Liberica\\jdk-%s", L"InstallationPath", L"liberica-"},
    {L"SOFTWARE\\Microsoft\\JDK\\%s\\hotspot\\MSI", L"Path", L"microsoft-"},
    {L"SOFTWARE\\SapMachine\\JDK\\%s", L"JavaHome", L"sapmachine-"},
};

std::wstring formatted(const wchar_t* pattern, const std::wstring& value) {
    wchar_t text[512];
    swprintf(text, 512, pattern, value.c_str());
    return text;
}

// 30 runtimes, versions 8 to 22, spread over the vendors; every third one
// also under JavaSoft (the same home twice), every fifth one per user.
bool layOut(const std::wstring& root, testreg::RegistrySandbox& registry) {
    const int features[] = {8, 11, 17, 21, 22};
    for (int i = 0; i < RUNTIMES; ++i) {
        const Vendor& vendor = VENDORS[i % 6];
        int feature = features[i % 5];
        std::wstring version = std::to_wstring(feature) + L".0." + std::to_wstring(i + 1);
        std::wstring home = e2e::joinPath(root, vendor.folderPrefix + version);
        if (!e2e::makeDirectories(home + L"\\bin")) return false;
        if (!e2e::writeFileBytes(home + L"\\bin\\javaw.exe", "stand-in")) return false;
        std::string release = "JAVA_VERSION=\"" + e2e::narrow(feature == 8 ? L"1.8.0_" + std::to_wstring(i + 1) : version) + "\"\n";
        if (!e2e::writeFileBytes(home + L"\\release", release)) return false;
        HKEY hive = i % 5 == 4 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        std::wstring key = formatted(vendor.keyPattern, i % 6 == 2 || i % 6 == 3 ? std::to_wstring(feature) + L"-" + std::to_wstring(i) : version);
        if (!registry.setString(hive, key, vendor.valueName, home + L"\\")) return false;
        if (i % 3 == 0 && !registry.setString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\JavaSoft\\JDK\\" + version, L"JavaHome", home)) {
            return false;
        }
    }
    return true;
}

double timeSources(const wchar_t* sources, const wchar_t* lower, bool expectFound, int runs = RUNS) {
    RuntimeSourceList list = {};
    const wchar_t* bad = nullptr;
    size_t badLength = 0;
    if (!parseRuntimeSources(sources, &list, &bad, &badLength)) return -1;
    std::vector<double> samples;
    for (int run = 0; run < runs; ++run) {
        resetLaunchState();
        copyText(minVersion, NAME_CAPACITY, lower);
        VersionBounds bounds;
        if (!readVersionBounds(&bounds)) return -1;
        double start = bench::nowMs();
        bool found = searchRuntimeSources(list, 1, bounds);
        samples.push_back(bench::nowMs() - start);
        if (found != expectFound) return -1;
    }
    return bench::median(samples);
}

double timeOriginalSearch(testreg::RegistrySandbox& registry) {
    for (int i = 0; i < RUNTIMES; ++i) {
        registry.createKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.8.0_" + std::to_wstring(100 + i));
    }
    std::vector<double> samples;
    for (int run = 0; run < RUNS; ++run) {
        resetLaunchState();
        copyText(minVersion, NAME_CAPACITY, L"1.8.0");
        double start = bench::nowMs();
        searchInstalledRuntimes(1);
        samples.push_back(bench::nowMs() - start);
    }
    return bench::median(samples);
}

} // namespace

int main() {
    std::wstring root = e2e::joinPath(e2e::tempDirectory(), L"qd-bench-runtimes");
    e2e::removeTree(root);
    int status = 0;
    {
        testreg::RegistrySandbox registry;
        if (!layOut(root, registry)) {
            std::printf("error: cannot lay out the registered runtimes\n");
            status = 1;
        } else {
            // Nothing else may answer: the other sources point at empty places.
            std::wstring empty = e2e::joinPath(root, L"empty");
            e2e::makeDirectories(empty);
            SetEnvironmentVariableW(L"JAVA_HOME", nullptr);
            SetEnvironmentVariableW(L"Path", empty.c_str());
            SetEnvironmentVariableW(L"ProgramFiles", empty.c_str());
            SetEnvironmentVariableW(L"LOCALAPPDATA", empty.c_str());
            double coldStart = bench::nowMs();
            double cold = timeSources(L"registry", L"17", true, 1) < 0 ? -1 : bench::nowMs() - coldStart;
            // A fresh Wine prefix keeps starting its services for a few
            // seconds and slows every call meanwhile; search until that is over.
            for (double warmUpEnd = bench::nowMs() + 5000; bench::nowMs() < warmUpEnd;) {
                timeSources(L"registry;java_home;path;folders", L"17", true, 1);
            }
            double registrySource = timeSources(L"registry", L"17", true);
            double allSources = timeSources(L"registry;java_home;path;folders", L"99", false);
            double original = timeOriginalSearch(registry);
            if (cold < 0 || registrySource < 0 || allSources < 0) {
                std::printf("error: the search did not end as expected\n");
                status = 1;
            } else {
                std::printf("%d registered runtimes (%d keys with the JavaSoft duplicates)\n", RUNTIMES,
                            RUNTIMES + (RUNTIMES + 2) / 3);
                std::printf("registry source, minimum 17, first:   %8.3f ms\n", cold);
                std::printf("registry source, minimum 17:          %8.3f ms (median of %d)\n", registrySource, RUNS);
                std::printf("all four sources, nothing acceptable: %8.3f ms (median of %d)\n", allSources, RUNS);
                std::printf("original search, %d JavaSoft subkeys: %8.3f ms (median of %d)\n", RUNTIMES, original, RUNS);
            }
        }
    }
    e2e::removeTree(root);
    return status;
}
