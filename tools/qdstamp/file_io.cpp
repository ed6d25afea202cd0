#include "file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

#include "utf.h"

namespace qdstamp {
namespace {

std::FILE* open_file(const std::string& path, const char* mode) {
#ifdef _WIN32
    // Paths are UTF-8 inside the program; the wide API reaches every file name.
    std::u16string wpath = utf8_to_utf16_lossy(path);
    std::u16string wmode = utf8_to_utf16_lossy(mode);
    return _wfopen(reinterpret_cast<const wchar_t*>(wpath.c_str()),
                   reinterpret_cast<const wchar_t*>(wmode.c_str()));
#else
    return std::fopen(path.c_str(), mode);
#endif
}

std::string system_message(int error) { return std::strerror(error); }

long long ftell_64(std::FILE* f) {
#ifdef _WIN32
    return _ftelli64(f);
#else
    return static_cast<long long>(ftello(f));
#endif
}

bool replace_file(const std::string& from, const std::string& to) {
#ifdef _WIN32
    std::u16string wfrom = utf8_to_utf16_lossy(from);
    std::u16string wto = utf8_to_utf16_lossy(to);
    return MoveFileExW(reinterpret_cast<const wchar_t*>(wfrom.c_str()),
                       reinterpret_cast<const wchar_t*>(wto.c_str()),
                       MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

void remove_file(const std::string& path) {
#ifdef _WIN32
    std::u16string wpath = utf8_to_utf16_lossy(path);
    _wremove(reinterpret_cast<const wchar_t*>(wpath.c_str()));
#else
    std::remove(path.c_str());
#endif
}

}  // namespace

Bytes read_file(const std::string& path, std::uint64_t limit) {
    std::error_code ec;
    if (std::filesystem::is_directory(std::filesystem::u8path(path), ec)) fail("cannot read: is a directory");
    std::FILE* f = open_file(path, "rb");
    if (!f) fail("cannot open for reading: " + system_message(errno));
    // Refuse an oversized file before reading any of it.
    if (std::fseek(f, 0, SEEK_END) == 0) {
        long long size = ftell_64(f);
        if (size > 0 && static_cast<std::uint64_t>(size) > limit) {
            std::fclose(f);
            fail("file is larger than the limit of " + std::to_string(limit / (1024 * 1024)) + " MiB");
        }
    }
    std::rewind(f);
    Bytes out;
    std::uint8_t chunk[65536];
    for (;;) {
        std::size_t got = std::fread(chunk, 1, sizeof chunk, f);
        if (got > 0) {
            if (out.size() + got > limit) {
                std::fclose(f);
                fail("file is larger than the limit of " + std::to_string(limit / (1024 * 1024)) +
                     " MiB");
            }
            out.insert(out.end(), chunk, chunk + got);
        }
        if (got < sizeof chunk) {
            bool error = std::ferror(f) != 0;
            int saved = errno;
            std::fclose(f);
            if (error) fail("cannot read: " + system_message(saved));
            return out;
        }
    }
}

void write_file_atomic(const std::string& path, const Bytes& bytes) {
    const std::string temp = path + ".qdstamp-tmp";
    std::FILE* f = open_file(temp, "wb");
    if (!f) fail("cannot create " + temp + ": " + system_message(errno));
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int saved = errno;
    ok = (std::fflush(f) == 0) && ok;
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) {
        remove_file(temp);
        fail("cannot write " + temp + ": " + system_message(saved));
    }
    if (!replace_file(temp, path)) {
        saved = errno;
        remove_file(temp);
        fail("cannot rename " + temp + " to the output name: " + system_message(saved));
    }
}

}  // namespace qdstamp
