#include "support/mount.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "support/run_program.hpp"

tmpfs_mount::tmpfs_mount(const std::string& mount_point, const std::string& size, bool read_only,
                         const std::string& type)
    : point(mount_point) {
    if (geteuid() != 0) {
        reason = "mounting a " + type + " needs root";
        return;
    }
    const std::string options = "size=" + size + ",mode=0755";
    if (mount(type.c_str(), point.c_str(), type.c_str(), read_only ? MS_RDONLY : 0, options.c_str()) != 0) {
        reason = "cannot mount a " + type + " here: " + std::strerror(errno);
        return;
    }
    mounted = true;
}

tmpfs_mount::~tmpfs_mount() {
    if (mounted) umount2(point.c_str(), MNT_DETACH);
}

loop_mount::loop_mount(const std::string& image, const std::string& mount_point, int sector_bytes,
                       const char* options, const std::string& size, bool direct_io)
    : point(mount_point) {
    if (geteuid() != 0) {
        reason = "setting up a loop device needs root";
        return;
    }
    const execution_result made = run_program(
        "/bin/sh", {"-c",
                    "truncate -s \"$2\" \"$0\" && mkfs.ext4 -q -F -b 4096 \"$0\" && "
                    "losetup -f --show -b \"$1\" --direct-io=\"$3\" \"$0\"",
                    image, std::to_string(sector_bytes), size, direct_io ? "on" : "off"});
    if (made.status != 0 || made.output.empty()) {
        reason = "cannot set up a loop device: " + made.errors;
        return;
    }
    device = made.output.substr(0, made.output.find('\n'));
    if (mount(device.c_str(), point.c_str(), "ext4", 0, options) != 0) {
        reason = "cannot mount " + device + ": " + std::strerror(errno);
        return;
    }
    mounted = true;
}

loop_mount::~loop_mount() {
    // Unmounted at once, so that the device is free to be detached.
    if (mounted) umount(point.c_str());
    if (!device.empty()) run_program("/bin/sh", {"-c", "losetup -d \"$0\"", device});
}

namespace {
const std::string blkio = "/sys/fs/cgroup/blkio/blkio.throttle.";

bool write_rule(const std::string& file, const std::string& rule) {
    std::ofstream out(blkio + file);
    out << rule << std::flush;
    return static_cast<bool>(out);
}
}  // namespace

throttled_device::throttled_device(const std::string& device, long long read_bytes, long long write_bytes) {
    if (geteuid() != 0) {
        reason = "throttling a device needs root";
        return;
    }
    struct stat state {};
    if (stat(device.c_str(), &state) != 0 || !S_ISBLK(state.st_mode)) {
        reason = device + " is no block device";
        return;
    }
    number = std::to_string(major(state.st_rdev)) + ":" + std::to_string(minor(state.st_rdev));
    if (!std::filesystem::exists(blkio + "read_bps_device")) {
        reason = "no cgroup v1 blkio throttle (" + blkio + "read_bps_device)";
        return;
    }
    throttled = write_rule("read_bps_device", number + " " + std::to_string(read_bytes)) &&
                write_rule("write_bps_device", number + " " + std::to_string(write_bytes));
    if (!throttled) reason = "the blkio throttle refused a rule for " + device;
}

throttled_device::~throttled_device() {
    // A rule left behind would slow whatever loop device takes this number next.
    if (number.empty()) return;
    write_rule("read_bps_device", number + " 0");
    write_rule("write_bps_device", number + " 0");
}

fuse_mount::fuse_mount(const std::string& source, const std::string& mount_point) : point(mount_point) {
    if (geteuid() != 0) {
        reason = "mounting a FUSE file system for the run's user needs root";
        return;
    }
    const execution_result made = run_program("/bin/sh", {"-c", "exec bindfs \"$0\" \"$1\"", source, point});
    if (made.status != 0) {
        reason = "cannot mount with bindfs: " + made.errors;
        return;
    }
    mounted = true;
}

fuse_mount::~fuse_mount() {
    if (mounted) umount2(point.c_str(), MNT_DETACH);
}

fat_mount::fat_mount(const std::string& image, const std::string& point_name, int megabytes) : point(point_name) {
    const execution_result made =
        run_program("/bin/sh", {"-c",
                                "truncate -s \"$2\"M \"$0\" && mkfs.vfat -F 32 \"$0\" >/dev/null && "
                                "exec fusefat -o rw+ \"$0\" \"$1\" >/dev/null",
                                image, point, std::to_string(megabytes)});
    if (made.status != 0) {
        reason = "cannot mount a FAT32 image with mkfs.vfat and fusefat: " + made.errors;
        return;
    }
    mounted = true;
}

fat_mount::~fat_mount() {
    if (mounted) umount2(point.c_str(), MNT_DETACH);
}

wrapping_disk::wrapping_disk(const std::string& program, const std::string& directory, long long offered,
                             long long kept)
    : fuse_point(directory + "/fuse"), point(directory + "/disk") {
    if (geteuid() != 0) {
        reason = "mounting a FUSE file and a loop device needs root";
        return;
    }
    if (program.empty()) {
        reason = "the FUSE library (libfuse3-dev) was not found: there is no wrapping file";
        return;
    }
    std::filesystem::create_directory(fuse_point);
    std::filesystem::create_directory(point);
    constexpr long long reserved = 8 << 20;
    const execution_result served = run_program(
        program, {std::to_string(offered), std::to_string(kept), std::to_string(reserved), fuse_point});
    if (served.status != 0) {
        reason = "cannot mount the wrapping file with FUSE: " + served.errors;
        return;
    }
    fuse_mounted = true;
    // Few inodes, no backup superblocks and the journal at 4 MiB: all ext4 keeps of its own
    // lies in the 8 MiB the file never writes over.
    const execution_result made =
        run_program("/bin/sh", {"-c",
                                "device=$(losetup -f --show \"$0\") && mkfs.ext4 -q -F -b 4096 -g 8192 -N 512 "
                                "-J size=4,location=4M -O sparse_super2,^resize_inode -E num_backup_sb=0 \"$device\" "
                                ">&2 && echo \"$device\"",
                                fuse_point + "/disk"});
    if (!made.output.empty()) device = made.output.substr(0, made.output.find('\n'));
    if (made.status != 0 || device.empty()) {
        reason = "cannot make an ext4 on a loop device over the wrapping file: " + made.errors;
        return;
    }
    if (mount(device.c_str(), point.c_str(), "ext4", 0, nullptr) != 0) {
        reason = "cannot mount " + device + ": " + std::strerror(errno);
        return;
    }
    mounted = true;
}

wrapping_disk::~wrapping_disk() {
    // In order: the file system, its loop device, then the FUSE file the device reads.
    if (mounted) umount(point.c_str());
    if (!device.empty()) run_program("/bin/sh", {"-c", "losetup -d \"$0\"", device});
    if (fuse_mounted) umount2(fuse_point.c_str(), MNT_DETACH);
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

small_disk::small_disk(const std::string& size)
    : point((std::filesystem::create_directory(dir.path_name + "/disque"), dir.path_name + "/disque")),
      mount(point, size) {}
