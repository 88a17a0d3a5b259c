// What Windows can't tell the benchmark here, said as "cannot tell" so that callers print
// nothing rather than a guess.
#include "platform/os_cache.hpp"
#include "platform/platform.hpp"

// Windows has no query of which pages of a file its cache holds.
bool cached_part(const std::vector<std::string>&, cache_residency&) { return false; }

// The C runtime's count of its open streams is not exposed.
bool open_descriptor_count(std::uint64_t, std::uint64_t&) { return false; }
