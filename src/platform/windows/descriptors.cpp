// The C runtime's count of its open streams is not exposed: said as "cannot tell", so that
// callers print nothing rather than a guess.
#include "platform/descriptors.hpp"

bool open_descriptor_count(std::uint64_t, std::uint64_t&) { return false; }

namespace {
// Windows caps the handles of one process at 2^24; the run's files are plain handles, so
// the C runtime's own cap on its streams no longer applies.
constexpr std::uint64_t handles_per_process = 16777216;
}  // namespace

std::uint64_t raise_open_files_limit() { return handles_per_process; }
