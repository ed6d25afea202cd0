// Stand-in for a runtime's jli.dll, the DLL a runtime's launcher loads at its
// start from the launcher's own folder. Built twice: as jli.dll for the
// stand-in runtime, and with QDTEST_PLANTED as a different DLL that tests put
// under the same name where it must not be loaded from.
#include <windows.h>

extern "C" __declspec(dllexport) const wchar_t* qdTestLibraryIdentity() {
#ifdef QDTEST_PLANTED
    return L"planted";
#else
    return L"runtime";
#endif
}
