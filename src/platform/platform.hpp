// The operating-system services the benchmark needs: names, directories, limits, the command
// line and the console. Only src/platform/ includes OS headers; linux/ and windows/ hold each
// system's bodies; file_io.hpp, os_cache.hpp, interruption.hpp and system_info.hpp the rest.
#pragma once

#include <cstdint>
#include <string>

// Case-insensitive comparison of two option names; 0 when equal.
int compare_ignoring_case(const char* a, const char* b);

// The character every directory path is made to end with.
char directory_separator();

// `path_name` as the OS resolves it, before any other use: on Windows a drive letter alone
// ("D:") is the current directory on that drive, and `.` and `..` are resolved, so that the
// directory checked is the one written to; elsewhere unchanged.
std::string resolved_directory(const std::string& path_name);

// True when `path_name` names a directory that can be opened.
bool is_existing_directory(const std::string& path_name);

// This process's id, which tells apart runs started at the same moment.
std::uint64_t process_id();

// Raises the per-process limit of open files as far as the OS allows (where the process may,
// its hard limit too) and returns the limit now in force.
std::uint64_t raise_open_files_limit();

// Free space available to this user on the filesystem holding `directory`; false where the
// OS can't tell, as for a file system that reports no size (ramfs).
bool free_space(const std::string& directory, std::uint64_t& bytes);

// A cache of file data that the OS's purge does not reach: ZFS's ARC, a network file
// system's server, a FUSE file system's daemon (which may read through the OS cache of
// another file system).
enum class cache_beyond_purge { none, zfs_arc, network_server, fuse_daemon };

// The filesystem holding a directory: its type's name ("ext4", "xfs", "tmpfs", "nfs", ...),
// whether its files live in memory with no device behind them (tmpfs, ramfs), and the cache
// beyond the purge's reach that may serve its reads.
struct file_system_type {
    std::string name;
    bool in_memory = false;
    cache_beyond_purge other_cache = cache_beyond_purge::none;
};
bool file_system_of(const std::string& directory, file_system_type& type);

// Descriptors this process holds open now, counted up to `limit`; false where the OS can't tell.
bool open_descriptor_count(std::uint64_t limit, std::uint64_t& count);

// Replaces argv by the command line's arguments in UTF-8, whatever the system's code page.
void use_utf8_arguments(int& argc, char**& argv);

// The environment variable `name` in UTF-8; false when it is not set.
bool environment_variable(const char* name, std::string& value);

// The printf format, taking the code as unsigned long, of the reason given for a system error
// the OS has no text for; set by main before anything else (Windows; elsewhere unused).
void describe_unknown_errors_with(const char* format);

enum class console_write { not_a_console, written, failed };

// Writes `text` (UTF-8) to standard output when that is a console which takes characters
// rather than bytes; `not_a_console` leaves the writing to the caller.
console_write write_to_console(const std::string& text, std::string& reason);
