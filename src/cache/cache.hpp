// Keeping caches out of the measurements: the controller-cache eviction file and the purge
// of the OS's file cache. None of it is timed.
#pragma once

#include <string>
#include <vector>

#include "platform/file_system.hpp"
#include "platform/os_cache.hpp"
#include "run/run_state.hpp"

// Writes -cache GiB of the pass of `identity` to a new eviction file and forces them to the
// device; a failure is the run's fatal error.
void write_eviction_file(run_state& run, std::uint64_t identity);

// Reads the eviction file back, so that the controller's cache holds it and not test data.
void read_eviction_file(run_state& run);

// Drops the OS's cached pages of `files` in the run's directory; a failure is reported and the
// run goes on.
void purge_os_cache(run_state& run, const std::vector<directory_entry>& files);

// Says once, before any file exists, when the reads of `directory` may be served by a cache
// the purge can't empty (ZFS's ARC, a network server's, a FUSE daemon's).
void note_cache_beyond_purge(const std::string& directory);

// That note for `directory` on `type`, empty when it has no such cache; and the cache's name
// in the results file, null when none.
std::string cache_beyond_purge_note(const std::string& directory, const file_system_type& type);
const char* cache_beyond_purge_name(cache_beyond_purge cache);

// The pages of `test_files` in the run's directory that the OS cache holds; false where the
// OS can't tell.
bool test_files_cached(const run_state& run, const std::vector<directory_entry>& test_files, cache_residency& residency);
