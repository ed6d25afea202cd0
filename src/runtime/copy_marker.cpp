#include "runtime/copy_marker.h"

namespace {

const Fingerprint FNV_PRIME = 1099511628211ULL;
const char HEX_DIGITS[] = "0123456789abcdef";

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

Fingerprint addToFingerprint(Fingerprint fingerprint, const unsigned char* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) fingerprint = (fingerprint ^ bytes[i]) * FNV_PRIME;
    return fingerprint;
}

bool parseCopyMarker(const char* bytes, size_t count, CopyMarker* marker) {
    marker->count = 0;
    if (count % MARKER_LINE_BYTES != 0 || count > MARKER_BYTES_MAX) return false;
    for (size_t line = 0; line < count; line += MARKER_LINE_BYTES) {
        Fingerprint value = 0;
        for (size_t i = 0; i < 16; ++i) {
            int digit = hexValue(bytes[line + i]);
            if (digit < 0) return false;
            value = (value << 4) | static_cast<Fingerprint>(digit);
        }
        if (bytes[line + 16] != '\r' || bytes[line + 17] != '\n') return false;
        marker->fingerprints[marker->count++] = value;
    }
    return true;
}

size_t formatCopyMarker(const CopyMarker& marker, char* out) {
    size_t at = 0;
    for (size_t i = 0; i < marker.count && i < MARKER_FINGERPRINTS_MAX; ++i) {
        for (int shift = 60; shift >= 0; shift -= 4) out[at++] = HEX_DIGITS[(marker.fingerprints[i] >> shift) & 0xF];
        out[at++] = '\r';
        out[at++] = '\n';
    }
    return at;
}

bool markerLists(const CopyMarker& marker, Fingerprint fingerprint) {
    for (size_t i = 0; i < marker.count; ++i) {
        if (marker.fingerprints[i] == fingerprint) return true;
    }
    return false;
}

bool addToMarker(CopyMarker& marker, Fingerprint fingerprint) {
    if (markerLists(marker, fingerprint)) return true;
    if (marker.count == MARKER_FINGERPRINTS_MAX) return false;
    marker.fingerprints[marker.count++] = fingerprint;
    return true;
}
