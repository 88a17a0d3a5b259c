// The OS's cache of file data: purging it of the run's files, and asking how much of them it
// still holds.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_io.hpp"

// Outcome of purging the OS cache of file data, named by the step that failed; each has its own
// message. The first five are steps of emptying Windows' standby list: loading the system
// library, finding its call, opening the process's token, taking the privilege, and the call
// itself; `system_cache`, flushing Windows' system
// file cache, where the account holds the privilege; `file_pages`, files whose cached pages
// could not be dropped (purge_failure_details names them).
enum class purge_failure { none, library, address, token, privilege, standby_list, system_cache, file_pages };

// Drops the OS's cached pages of `files` in `directory` (and, where the OS offers it, its whole
// standby cache), so that the next read of them comes from the device. Once `stop` is raised,
// no further file is purged.
purge_failure purge_file_cache(os_directory directory, const std::vector<directory_entry>& files,
                               const std::atomic<bool>& stop);

// Files the last purge_file_cache could not purge, by their name in the directory, each with
// the OS's reason, which names the call that failed, or `changed` when the name no longer held
// the file (open_for_reading): on Linux the first, on Windows every one. Empty when none failed.
struct purge_file_failure {
    std::string file;
    std::string reason;
    bool changed = false;
};
std::vector<purge_file_failure> purge_failure_details();

// How much of `files` in `directory` the OS cache holds now, in pages; false where the OS can't
// tell or a file could not be looked at (or no longer is the file `files` names).
struct cache_residency {
    std::uint64_t resident_pages = 0;
    std::uint64_t total_pages = 0;
};
bool cached_part(os_directory directory, const std::vector<directory_entry>& files, cache_residency& residency);
