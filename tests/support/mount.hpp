// A small tmpfs that a test mounts on a directory of its own, unmounted when the test ends.
// Mounting needs root (or CAP_SYS_ADMIN); tests that need one skip with the reason otherwise.
#pragma once

#include <string>

struct tmpfs_mount {
    // Mounts a tmpfs of `size` (as the mount option reads it, e.g. "8m") on `point`,
    // which must exist; read-only when `read_only`.
    tmpfs_mount(const std::string& point, const std::string& size, bool read_only = false);
    ~tmpfs_mount();
    tmpfs_mount(const tmpfs_mount&) = delete;
    tmpfs_mount& operator=(const tmpfs_mount&) = delete;

    std::string point;
    bool mounted = false;
    std::string reason;  // why the mount failed, for the test's skip message
};

// Fills the filesystem holding `directory` with one file, `name`, until it refuses more;
// returns the bytes written.
long long fill_the_disk(const std::string& directory, const std::string& name);
