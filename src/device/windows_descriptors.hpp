// The answers of Windows' storage queries, read from the bytes the calls return: the device
// descriptor (vendor, product, revision, bus), the access alignment (sector sizes), the seek
// penalty (rotational) and the drive geometry (size). Short or malformed answers leave the
// fields they would fill unknown.
#pragma once

#include <vector>

#include "device/identity.hpp"
#include "platform/device_identity.hpp"

storage_device parse_disk_answers(const disk_answers& answers);

// The volume's disks, or its share; nothing known when the answers are empty.
target_identity parse_volume_answers(const volume_answers& answers);
