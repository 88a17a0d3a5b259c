// The storage behind a Linux file system, read from sysfs and /proc under `root`: the real
// "/", or a test's tree of the same shape.
#pragma once

#include <functional>
#include <string>

#include "device/identity.hpp"
#include "platform/device_identity.hpp"

// Places a file on the device number of its file system: a loop device's backing file is
// followed through it to the disk that holds it.
using file_device_finder = std::function<bool(const std::string& file, device_number& number)>;

// The layers and devices under the file system whose device number is `number`; a network
// file system, as /proc/self/mountinfo names it, is one device: its server.
target_identity walk_storage(const std::string& root, device_number number, const file_device_finder& finder);

// DMI's vendor and product of the machine, where the firmware gives them.
void read_dmi(const std::string& root, machine_identity& machine);
