// Java version numbers as installations and installers write them, read and
// compared the way Java itself orders them. Pure: no Windows calls.
//
// Accepted forms: dotted numbers with "_" for an update ("1.8.0_202",
// "8.0.392.8", "17.0.10", "16.0.2.7.1", "1.8.0_191_1"), optionally followed
// by "-" or "+" and a tail ("21-ea", "17.0.10+7", "17.0.10+11-LTS-240").
// "1.x" is read as x, so 1.8.0_202 and 8.0.392.8 are both Java 8. A tail
// that starts with "-" marks an early-access build (it ranks below the
// release) unless it is "-LTS..." or a legacy build tag "-b<digits>"; "+build"
// and everything after it are ignored.
#pragma once

#include <stddef.h>

enum : size_t { JAVA_VERSION_PARTS = 8 };

struct JavaVersion {
    unsigned parts[JAVA_VERSION_PARTS]; // after folding "1.x" to x; numbers beyond the count are 0
    size_t count;                       // numbers given (0: no version known)
    bool earlyAccess;
};

// The whole text must be a version as described above (no blanks, no leading
// letters). False for anything else, "Java 17" and the empty text included.
bool parseJavaVersion(const wchar_t* text, JavaVersion* version);

// The version a folder or registry key name carries ("jdk-17.0.10+7",
// "zulu-17-jre", "jdk1.8.0_202", "17.0.10.7"): the numbers from the name's
// first digit on; the tail is not read, so a name never marks early access.
// False when the name holds no digit.
bool parseVersionInName(const wchar_t* name, JavaVersion* version);

// -1, 0 or +1: numbers compared one by one as numbers, missing ones counting
// as 0 (17 equals 17.0.0); of equal numbers an early-access build is lower.
int compareJavaVersions(const JavaVersion& a, const JavaVersion& b);

// Whether `version` is at or above `lower`: compared as above.
bool meetsLowerBound(const JavaVersion& version, const JavaVersion& lower);
// Whether `version` is at or below `upper`, where an upper bound with fewer
// numbers covers every version that begins with them: 17 admits 17.0.9 and
// 17.0.10+7, 1.8 admits 1.8.0_202 and 8.0.392.8.
bool meetsUpperBound(const JavaVersion& version, const JavaVersion& upper);

// The versions a runtime must lie within; a bound that is not given admits
// every version on its side.
struct VersionBounds {
    bool hasLower;
    bool hasUpper;
    JavaVersion lower;
    JavaVersion upper;
};

// The value of the JAVA_VERSION="..." line of a runtime's "release" file, as
// text (ASCII only) into `version` of `capacity` units. False when the bytes
// have no such line or its value is empty, not ASCII or does not fit.
bool findReleaseJavaVersion(const char* bytes, size_t length, wchar_t* version, size_t capacity);
