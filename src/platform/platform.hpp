// The operating-system services the benchmark needs, behind one interface.
// Only src/platform/ includes OS headers; posix/ and windows/ hold each system's bodies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Case-insensitive comparison of two option names; 0 when equal.
int compare_ignoring_case(const char* a, const char* b);

// The character every directory path is made to end with.
char directory_separator();

// True when `path_name` names a directory that can be opened.
bool is_existing_directory(const std::string& path_name);

// This process's id, which tells apart runs started at the same moment.
std::uint64_t process_id();

// Raises the per-process limit of open files as far as the OS allows and
// returns the limit now in force.
std::uint64_t raise_open_files_limit();

// Free space available to this user on the filesystem holding `directory`.
bool free_space(const std::string& directory, std::uint64_t& bytes);

// Outcome of purging the OS cache of file data; each failure has its own message.
enum class purge_failure { none, library, address, token, privilege, ntstatus };

// Drops the OS's cached pages of `files` (or, where the OS only offers a global purge,
// the whole standby cache), so that the next read of them comes from the device.
purge_failure purge_file_cache(const std::vector<std::string>& files);

// Routes Ctrl+C and the other termination requests to `request_interruption`.
void install_interruption_handlers();

// The first file the last purge_file_cache could not purge and the OS's reason; false when
// none failed or the OS purged without naming files.
bool purge_failure_detail(std::string& file, std::string& reason);

// How much of `files` the OS cache holds now, in pages; false where the OS can't tell or a
// file could not be looked at.
struct cache_residency {
    std::uint64_t resident_pages = 0;
    std::uint64_t total_pages = 0;
};
bool cached_part(const std::vector<std::string>& files, cache_residency& residency);

// The filesystem holding a directory: its type's name ("ext4", "xfs", "tmpfs", "nfs", ...)
// and whether its files live in memory with no device behind them (tmpfs, ramfs).
struct file_system_type {
    std::string name;
    bool in_memory = false;
};
bool file_system_of(const std::string& directory, file_system_type& type);

// Descriptors this process holds open now, counted up to `limit`; false where the OS can't tell.
bool open_descriptor_count(std::uint64_t limit, std::uint64_t& count);

// Replaces argv by the command line's arguments in UTF-8, whatever the system's code page.
void use_utf8_arguments(int& argc, char**& argv);

// The environment variable `name` in UTF-8; false when it is not set.
bool environment_variable(const char* name, std::string& value);

enum class console_write { not_a_console, written, failed };

// Writes `text` (UTF-8) to standard output when that is a console which takes characters
// rather than bytes; `not_a_console` leaves the writing to the caller.
console_write write_to_console(const std::string& text, std::string& reason);

// Bracket main's removal of the run's files. After a close of the console, the I/O that main
// has under way is cancelled so that it reaches the removal in time, but never during it;
// once removal_finished follows a stop, the process may end.
void removal_starting();
void removal_finished();
