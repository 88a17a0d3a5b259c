#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <io.h>
#include <stdio.h>
#include <string.h>

#include <cerrno>
#include <system_error>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "platform/platform.hpp"

namespace {
// The system's own text for an error code, without the line end FormatMessage appends.
std::string windows_error_text(DWORD code) {
    char text[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                  sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n')) --length;
    if (length == 0) return format_text(messages::windows_error, static_cast<unsigned long>(code));
    return std::string(text, length);
}
}  // namespace

int compare_ignoring_case(const char* a, const char* b) { return _stricmp(a, b); }

char directory_separator() { return '\\'; }

bool force_to_device(std::FILE* stream, std::string& reason) {
    if (std::fflush(stream) != 0) {
        reason = std::generic_category().message(errno);
        return false;
    }
    const intptr_t handle = _get_osfhandle(_fileno(stream));
    if (handle == -1) {
        reason = std::generic_category().message(errno);
        return false;
    }
    if (!FlushFileBuffers(reinterpret_cast<HANDLE>(handle))) {
        reason = windows_error_text(GetLastError());
        return false;
    }
    return true;
}

// Windows has no call that starts a file's write-back without waiting for it; each file is
// forced in turn by force_to_device.
void start_write_back(std::FILE*) {}

std::uint64_t raise_open_files_limit() {
    // The C runtime caps its streams on its own; how far it lets the cap be raised depends
    // on its version, so the larger value is tried first.
    for (const int requested : {8192, 2048})
        if (_setmaxstdio(requested) == requested) break;
    const int limit = _getmaxstdio();
    return limit > 0 ? static_cast<std::uint64_t>(limit) : 0;
}

bool free_space(const std::string& directory, std::uint64_t& bytes) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExA(directory.c_str(), &available, nullptr, nullptr)) return false;
    bytes = available.QuadPart;
    return true;
}
