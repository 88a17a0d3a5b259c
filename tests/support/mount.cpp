#include "support/mount.hpp"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

tmpfs_mount::tmpfs_mount(const std::string& mount_point, const std::string& size, bool read_only) : point(mount_point) {
    if (geteuid() != 0) {
        reason = "mounting a tmpfs needs root";
        return;
    }
    const std::string options = "size=" + size + ",mode=0755";
    if (mount("tmpfs", point.c_str(), "tmpfs", read_only ? MS_RDONLY : 0, options.c_str()) != 0) {
        reason = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
        return;
    }
    mounted = true;
}

tmpfs_mount::~tmpfs_mount() {
    if (mounted) umount2(point.c_str(), MNT_DETACH);
}

long long fill_the_disk(const std::string& directory, const std::string& name) {
    const int descriptor = open((directory + "/" + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (descriptor < 0) return -1;
    const std::vector<char> chunk(65536, 'x');
    long long total = 0;
    for (;;) {
        const ssize_t written = write(descriptor, chunk.data(), chunk.size());
        if (written <= 0) break;
        total += written;
    }
    close(descriptor);
    return total;
}
