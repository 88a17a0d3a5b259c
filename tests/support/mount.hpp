// Small file systems that a test mounts on a directory of its own, unmounted when the test
// ends. Mounting needs root (or CAP_SYS_ADMIN); tests that need one skip with the reason
// otherwise.
#pragma once

#include <string>

#include "support/temporary_directory.hpp"

struct tmpfs_mount {
    // Mounts a tmpfs of `size` (as the mount option reads it, e.g. "8m") on `point`,
    // which must exist; read-only when `read_only`. With `type` "ramfs", a ramfs, which has
    // no size and can't bypass its cache.
    tmpfs_mount(const std::string& point, const std::string& size, bool read_only = false,
                const std::string& type = "tmpfs");
    ~tmpfs_mount();
    tmpfs_mount(const tmpfs_mount&) = delete;
    tmpfs_mount& operator=(const tmpfs_mount&) = delete;

    std::string point;
    bool mounted = false;
    std::string reason;  // why the mount failed, for the test's skip message
};

// An ext4 made in the file `image` of `size` (as truncate reads it) on a loop device of
// `sector_bytes` sectors, mounted on `point` with the mount's `options` (such as
// "data=journal"): unbuffered I/O there must be aligned to the sectors. With `direct_io` the
// loop device reads and writes its file unbuffered, so that no cache of the file serves it.
// Needs losetup and mkfs.ext4.
struct loop_mount {
    loop_mount(const std::string& image, const std::string& point, int sector_bytes, const char* options = nullptr,
               const std::string& size = "16M", bool direct_io = false);
    ~loop_mount();
    loop_mount(const loop_mount&) = delete;
    loop_mount& operator=(const loop_mount&) = delete;

    std::string point;
    std::string device;
    bool mounted = false;
    std::string reason;
};

// The block device `device` slowed for every process to `read_bytes` and `write_bytes` a
// second (the kernel's writeback included) through cgroup v1's blkio throttle, until the end
// of the test. Needs root and that controller.
struct throttled_device {
    throttled_device(const std::string& device, long long read_bytes, long long write_bytes);
    ~throttled_device();
    throttled_device(const throttled_device&) = delete;
    throttled_device& operator=(const throttled_device&) = delete;

    std::string number;  // "major:minor"
    bool throttled = false;
    std::string reason;
};

// `source` seen again through FUSE at `point`, with bindfs: its daemon reads and writes the
// source's files, so what the OS caches of those serves the FUSE file system's reads.
struct fuse_mount {
    fuse_mount(const std::string& source, const std::string& point);
    ~fuse_mount();
    fuse_mount(const fuse_mount&) = delete;
    fuse_mount& operator=(const fuse_mount&) = delete;

    std::string point;
    bool mounted = false;
    std::string reason;
};

// A FAT32 made in the file `image` of `megabytes` MiB, mounted on `point` through FUSE with
// fusefat, which works where the kernel has no vfat. Needs mkfs.vfat and fusefat.
struct fat_mount {
    fat_mount(const std::string& image, const std::string& point, int megabytes);
    ~fat_mount();
    fat_mount(const fat_mount&) = delete;
    fat_mount& operator=(const fat_mount&) = delete;

    std::string point;
    bool mounted = false;
    std::string reason;
};

// An ext4 on a loop device over the file of `program` (tests/shims/wrapping_file.cpp), a FUSE
// file that offers `offered` bytes but keeps `kept`, its addresses wrapping past them but for
// their first 8 MiB, where the ext4 made on it keeps its tables and journal. Mounted on
// "disk" of `directory`, the FUSE file system on "fuse" beside it. Needs root, FUSE, losetup
// and mkfs.ext4.
struct wrapping_disk {
    wrapping_disk(const std::string& program, const std::string& directory, long long offered, long long kept);
    ~wrapping_disk();
    wrapping_disk(const wrapping_disk&) = delete;
    wrapping_disk& operator=(const wrapping_disk&) = delete;

    std::string fuse_point;
    std::string point;
    std::string device;
    bool fuse_mounted = false;
    bool mounted = false;
    std::string reason;
};

// Fills the filesystem holding `directory` with one file, `name`, until it refuses more;
// returns the bytes written.
long long fill_the_disk(const std::string& directory, const std::string& name);

// A tmpfs of `size` mounted on the directory "disque" of a temporary directory of its own.
struct small_disk {
    explicit small_disk(const std::string& size);
    temporary_directory dir;
    std::string point;
    tmpfs_mount mount;
};
