// What the OS answers about the storage behind a directory, raw: the device identity in
// src/device/ makes sense of it, so that its parsing runs on any system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct device_number {
    unsigned major = 0;
    unsigned minor = 0;
};

// The device number of the file system holding `path` (Linux); false where the OS has none.
bool device_number_of(const std::string& path, device_number& number);

// Windows: the answers of IOCTL_STORAGE_QUERY_PROPERTY and the geometry query for one disk,
// each as the bytes the call returned (empty when it failed).
struct disk_answers {
    std::uint32_t disk_number = 0;
    std::vector<unsigned char> device_descriptor, access_alignment, seek_penalty, geometry;
};

struct volume_answers {
    bool network = false;
    std::string network_path;         // the share, \\server\share, when Windows names it
    std::vector<disk_answers> disks;  // one per disk its extents lie on, in their order
};

// The volume holding `directory` and its disks (Windows); false where the OS has no such
// call or the volume can't be opened.
bool query_volume(const std::string& directory, volume_answers& answers);
