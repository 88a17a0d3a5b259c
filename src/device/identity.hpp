// Which disk a run measured, through what link, on what machine. Gathered once before the
// first phase; every field the system does not give stays empty (null in the results file),
// never a guess. No serial number is ever read: results files get shared.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One device the data reaches at the bottom: a disk, a virtual disk, a network server.
struct storage_device {
    std::string name;  // the kernel's name ("nvme0n1", "sda"), "PhysicalDrive1", or the server
    std::optional<std::string> model, vendor, firmware;
    std::optional<std::uint64_t> size_bytes;
    std::optional<bool> rotational;
    std::optional<std::uint32_t> logical_sector_bytes, physical_sector_bytes, queue_depth;
    std::optional<std::string> scheduler;
    // "nvme", "sata", "sas", "scsi", "usb", "virtio", "xen", "hyperv", "mmc", "loop",
    // "network", or the bus Windows names; "unknown" when nothing says.
    std::string transport = "unknown";
    std::optional<std::string> link;  // "PCIe 4.0 x4", "SATA 6.0 Gb/s", "USB 2.0", "1 Gb/s network (eth0)"
    std::optional<double> link_ceiling_mb_per_second;  // the most the link carries, 10^6 bytes a second
    std::optional<std::string> backing_file;           // a loop device's file, when it could not be placed
    // Network file systems: the server, the protocol and the sizes of one request.
    std::optional<std::string> server, protocol, protocol_version;
    std::optional<std::uint64_t> read_size, write_size;
};

// A layer between the file system and the devices: md RAID, device mapper (LVM, dm-crypt), a
// loop device over a file, a Windows volume spanning disks.
struct storage_layer {
    std::string name;                         // "md0", "dm-0", "loop0"
    std::string kind;                         // "md", "lvm", "crypt", "dm", "loop", "volume"
    std::optional<std::string> level;         // md's "raid1"
    std::optional<std::string> backing_file;  // a loop device's file
};

struct target_identity {
    // False when nothing was found: unknown, where a memory file system is known to have no device.
    bool known = false;
    std::vector<storage_layer> layers;
    std::vector<storage_device> devices;
    // The memory file system ("tmpfs") a loop device's file lies on, with no device under it;
    // empty when there is none.
    std::string memory_file_system;
};

struct machine_identity {
    std::optional<bool> virtual_machine;  // device/virtualization.hpp; null where neither CPUID nor firmware tell
    std::optional<std::string> hypervisor;  // from CPUID's vendor or the firmware: "KVM", "Hyper-V", "QEMU", ...
    std::optional<std::string> system_vendor, system_product;  // the firmware's: DMI on Linux, SMBIOS on Windows
    std::optional<std::string> cpu_model;
    // The most written data the OS lets wait in its cache (platform/dirty_limit.hpp); null
    // where it tells none.
    std::optional<std::uint64_t> dirty_limit_bytes;
};

struct measured_on {
    machine_identity machine;
    target_identity target;
    bool gathered = false;  // false when the time limit ran out first: everything is then unknown
};

// Long enough for sysfs and /proc many times over; a hung network mount costs the run no more.
inline constexpr int identity_limit_ms = 1500;

// The target of `directory` and the machine, within `limit_ms`: what is not known by then is
// left unknown, and the run goes on.
measured_on identify_measured_on(const std::string& directory, int limit_ms);
