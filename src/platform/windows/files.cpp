#include <string.h>

#include "platform/platform.hpp"
#include "platform/windows/text.hpp"

namespace {
// Windows caps the handles of one process at 2^24; the run's files are plain handles, so
// the C runtime's own cap on its streams no longer applies.
constexpr std::uint64_t handles_per_process = 16777216;
}  // namespace

int compare_ignoring_case(const char* a, const char* b) { return _stricmp(a, b); }

char directory_separator() { return '\\'; }

std::uint64_t process_id() { return GetCurrentProcessId(); }

std::uint64_t raise_open_files_limit() { return handles_per_process; }

bool free_space(const std::string& directory, std::uint64_t& bytes) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(file_api_path(directory).c_str(), &available, nullptr, nullptr)) return false;
    bytes = available.QuadPart;
    return true;
}
