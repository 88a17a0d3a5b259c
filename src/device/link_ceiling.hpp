// What each link carries at most. A ceiling is the link's rate after its line coding, with
// no allowance for protocol overhead, so that no figure above it can have crossed the link;
// USB 2.0's is its bulk transfers' most (13 packets of 512 bytes a 125 µs microframe).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "device/identity.hpp"

struct link_rate {
    std::optional<std::string> name;  // "PCIe 4.0 x4", "SATA 6.0 Gb/s", "USB 2.0"
    std::optional<double> ceiling_mb_per_second;
};

// From sysfs's words: PCIe's transfer rate per lane in GT/s and its width; SATA's and SAS's
// negotiated speed in Gb/s; a USB port's speed in Mb/s; a network interface's in Mb/s.
link_rate pcie_link(double gigatransfers, unsigned lanes);
link_rate sata_link(double gigabits);
link_rate sas_link(double gigabits);
link_rate usb_link(double megabits);
link_rate network_link(std::uint64_t megabits, const std::string& interface_name);

// What the target's devices carry together (the data may be spread over all of them);
// none when a device's ceiling is unknown or there is no device.
std::optional<double> target_ceiling_mb_per_second(const target_identity& target);
