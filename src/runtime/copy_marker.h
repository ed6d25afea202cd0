// The marker that says which files beside the runtime's program this launcher
// placed there for one executable name: "<name>.qd-launch", a list of
// fingerprints of their content. A file is the launcher's own only while its
// content has one of the listed fingerprints, so a program of the runtime that
// takes the same name later is never mistaken for it. Pure.
#pragma once

#include <stddef.h>

// FNV-1a over 64 bits: not a defence against anyone who can write the folder
// (they could replace javaw.exe itself), only a way to recognise the bytes
// the launcher wrote.
typedef unsigned long long Fingerprint;
const Fingerprint FINGERPRINT_START = 14695981039346656037ULL;
Fingerprint addToFingerprint(Fingerprint fingerprint, const unsigned char* bytes, size_t count);

enum : size_t {
    // The copy and its manifest, each as it is and as it was before one
    // replacement (a launch may end between writing the marker and renaming
    // the new file into place).
    MARKER_FINGERPRINTS_MAX = 4,
    MARKER_LINE_BYTES = 18, // 16 hexadecimal digits, CR, LF
    MARKER_BYTES_MAX = MARKER_FINGERPRINTS_MAX * MARKER_LINE_BYTES,
};

struct CopyMarker {
    Fingerprint fingerprints[MARKER_FINGERPRINTS_MAX];
    size_t count;
};

// Reads a marker's bytes: one fingerprint per line, exactly 16 hexadecimal
// digits (either case) and CR LF, at most MARKER_FINGERPRINTS_MAX lines. False
// for anything else: such a file is not a marker of this launcher.
bool parseCopyMarker(const char* bytes, size_t count, CopyMarker* marker);
// The bytes parseCopyMarker reads, into MARKER_BYTES_MAX bytes; their number.
size_t formatCopyMarker(const CopyMarker& marker, char* out);
bool markerLists(const CopyMarker& marker, Fingerprint fingerprint);
// Adds a fingerprint once; false when the marker is full.
bool addToMarker(CopyMarker& marker, Fingerprint fingerprint);
