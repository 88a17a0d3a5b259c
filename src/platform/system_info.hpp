// What the results file says of the machine a run measured.
#pragma once

#include <cstdint>
#include <string>

struct host_description {
    std::string name;        // the machine's host name
    std::string os;          // "Linux", "Windows"
    std::string os_version;  // the kernel's release, or Windows' major.minor.build
    unsigned logical_cpus = 0;
    std::uint64_t memory_bytes = 0;
};

host_description describe_host();

// This process's id, which tells apart runs started at the same moment.
std::uint64_t process_id();

// The present time, UTC, as ISO 8601 to the second: 2026-12-08T17:58:43Z.
std::string utc_now();

struct volume_description {
    std::string file_system;  // "ext4", "xfs", "tmpfs", "nfs", "NTFS", ...; empty when unknown
    bool memory_backed = false;
    // Files made in the directory inherit its NTFS compression or EFS encryption (Windows).
    bool compressed = false;
    bool encrypted = false;
    std::uint64_t total_bytes = 0;
    std::uint64_t free_bytes = 0;  // available to this user
};

volume_description describe_volume(const std::string& directory);
