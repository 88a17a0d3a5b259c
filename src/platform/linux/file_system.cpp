#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>

#include <fstream>
#include <sstream>

#include "platform/file_system.hpp"

namespace {

// The type that /proc/self/mountinfo gives the mount of device `major`:`minor`, empty when
// it lists none. Its name is the real one: statfs's magic number is the same for ext2,
// ext3 and ext4. Bind mounts of one device share its filesystem, so the first line found will do.
std::string mounted_type(unsigned major_number, unsigned minor_number) {
    std::ifstream mounts("/proc/self/mountinfo");
    const std::string device = std::to_string(major_number) + ":" + std::to_string(minor_number);
    for (std::string line; std::getline(mounts, line);) {
        std::istringstream fields(line);
        std::string mount_id, parent_id, mount_device;
        if (!(fields >> mount_id >> parent_id >> mount_device) || mount_device != device) continue;
        // Optional fields come next, as many as there are; " - " ends them, the type follows.
        const std::size_t separator = line.find(" - ");
        if (separator == std::string::npos) continue;
        std::istringstream rest(line.substr(separator + 3));
        std::string type;
        if (rest >> type) return type;
    }
    return std::string();
}

// statfs's numbers for the file systems whose reads a cache beyond the page cache may serve.
constexpr long zfs_magic = 0x2fc12fc1;
constexpr long cifs_magic = static_cast<long>(0xFF534D42);
constexpr long smb2_magic = static_cast<long>(0xFE534D42);
constexpr long ceph_magic = 0x00c36400;

cache_beyond_purge other_cache_of(long magic) {
    switch (magic) {
        case zfs_magic: return cache_beyond_purge::zfs_arc;
        case NFS_SUPER_MAGIC:
        case SMB_SUPER_MAGIC:
        case cifs_magic:
        case smb2_magic:
        case V9FS_MAGIC:
        case ceph_magic: return cache_beyond_purge::network_server;
        case FUSE_SUPER_MAGIC: return cache_beyond_purge::fuse_daemon;
        default: return cache_beyond_purge::none;
    }
}

}  // namespace

bool file_system_of(const std::string& directory, file_system_type& type) {
    struct statfs state {};
    struct stat entry {};
    if (statfs(directory.c_str(), &state) != 0 || stat(directory.c_str(), &entry) != 0) return false;
    if (state.f_type == TMPFS_MAGIC || state.f_type == RAMFS_MAGIC) {
        type.name = state.f_type == TMPFS_MAGIC ? "tmpfs" : "ramfs";
        type.in_memory = true;
        return true;
    }
    type.name = mounted_type(major(entry.st_dev), minor(entry.st_dev));
    if (type.name.empty() && state.f_type == MSDOS_SUPER_MAGIC) type.name = "vfat";
    type.in_memory = false;
    type.other_cache = other_cache_of(static_cast<long>(state.f_type));
    return true;
}

bool free_space(const std::string& directory, std::uint64_t& bytes) {
    struct statvfs state {};
    // A file system that reports no size at all (ramfs) has free space no one can tell.
    if (statvfs(directory.c_str(), &state) != 0 || state.f_blocks == 0) return false;
    bytes = static_cast<std::uint64_t>(state.f_bavail) * state.f_frsize;
    return true;
}

bool file_system_size(const std::string& directory, std::uint64_t& bytes) {
    struct statvfs state {};
    if (statvfs(directory.c_str(), &state) != 0 || state.f_blocks == 0) return false;
    bytes = static_cast<std::uint64_t>(state.f_blocks) * state.f_frsize;
    return true;
}
