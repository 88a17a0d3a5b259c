// A file closed while its background flush is still under way, then new event handles made:
// none of them may be signalled when that flush ends. Run under Wine with the file's fsync
// slowed, so that the flush ends after the close:
//   background_flush.exe DIRECTORY
// Prints "no handle signalled" and exits 0, or "a new handle was signalled" and exits 1; exits
// 2 when the file can't be made.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/file_io.hpp"

namespace {

// Enough new handles to be given the values the flush's own, closed, held.
constexpr DWORD handles_made = 16;
constexpr DWORD flush_wait_ms = 4000;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string name = "vellumcrate_flushprobe";
    os_directory directory = no_directory;
    os_file file = no_file;
    std::string reason;
    if (!open_directory(argv[1], directory, reason) ||
        create_new_file(directory, name, file_caching::os_cache, file, reason) != creation::created)
        return 2;
    const unsigned char data[4096] = {1};
    if (!write_all(file, data, sizeof data, reason)) return 2;
    start_write_back(file);
    close_file(file, reason);
    HANDLE events[handles_made];
    for (HANDLE& event : events) event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const DWORD waited = WaitForMultipleObjects(handles_made, events, FALSE, flush_wait_ms);
    remove_file(directory, name, reason);
    close_directory(directory);
    const bool signalled = waited < WAIT_OBJECT_0 + handles_made;
    std::printf(signalled ? "a new handle was signalled\n" : "no handle signalled\n");
    return signalled ? 1 : 0;
}
