// The file system holding a directory: its type, the caches in front of it, its free space.
#pragma once

#include <cstdint>
#include <string>

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

// Free space available to this user on the filesystem holding `directory`; false where the
// OS can't tell, as for a file system that reports no size (ramfs).
bool free_space(const std::string& directory, std::uint64_t& bytes);

// Size of the filesystem holding `directory`; false where the OS can't tell.
bool file_system_size(const std::string& directory, std::uint64_t& bytes);
