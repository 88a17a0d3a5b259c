#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>

#include <fstream>
#include <sstream>

#include "platform/platform.hpp"

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
    type.in_memory = false;
    return true;
}
