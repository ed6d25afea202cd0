// Stand-ins for a runtime's own DLLs, built from this one source:
//  - jli.dll, the DLL a runtime's launcher loads at its start;
//  - freetype.dll, a DLL of bin that only another DLL of bin imports;
//  - with QDTEST_PLANTED, different DLLs that tests put under those names
//    where they must never be loaded from;
//  - with QDTEST_IMPORTER, fontmanager.dll, which imports freetype.dll by name
//    and which the stand-in runtime loads at run time by full path, as a Java
//    runtime loads its libraries.
#include <windows.h>

#ifdef QDTEST_IMPORTER
extern "C" __declspec(dllimport) const wchar_t* qdTestLibraryIdentity();

// The identity of the freetype.dll that the loader resolved for this DLL.
extern "C" __declspec(dllexport) const wchar_t* qdTestImportedIdentity() { return qdTestLibraryIdentity(); }
#else
extern "C" __declspec(dllexport) const wchar_t* qdTestLibraryIdentity() {
#ifdef QDTEST_PLANTED
    return L"planted";
#else
    return L"runtime";
#endif
}
#endif
