#include "device/sysfs_walk.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "device/link_ceiling.hpp"

namespace fs = std::filesystem;

namespace {

// Sysfs gives at most a handful of nested layers; a loop over its own file ends here.
constexpr int deepest_layer = 8;

std::optional<std::string> first_line(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string::npos) return std::nullopt;
    return line.substr(first, line.find_last_not_of(" \t") - first + 1);
}

std::optional<std::uint64_t> whole_number(const std::string& text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::uint64_t> number_in(const fs::path& file) {
    const auto line = first_line(file);
    return line ? whole_number(*line) : std::nullopt;
}

// The number a sysfs speed begins with: "16.0 GT/s PCIe", "6.0 Gbps", "12.0 Gbit", "480".
std::optional<double> leading_decimal(const fs::path& file) {
    const auto line = first_line(file);
    if (!line) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(line->c_str(), &end);
    if (end == line->c_str() || value <= 0) return std::nullopt;
    return value;
}

bool starts_with(const std::string& text, const char* start) { return text.rfind(start, 0) == 0; }

fs::path resolved(const fs::path& path) {
    std::error_code error;
    fs::path real = fs::canonical(path, error);
    return error ? fs::path() : real;
}

bool present(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

fs::path block_of(const fs::path& root, device_number number) {
    return resolved(root / "sys/dev/block" / (std::to_string(number.major) + ":" + std::to_string(number.minor)));
}

// The directory of the first component of `block`'s path (under root) that `matches`, and
// of the nearest one above `block` that holds `file`; empty when none does.
template <typename predicate>
fs::path component_where(const fs::path& root, const fs::path& block, predicate matches) {
    fs::path path = root;
    for (const fs::path& part : block.lexically_relative(root)) {
        path /= part;
        if (matches(part.string())) return path;
    }
    return {};
}

fs::path nearest_with(const fs::path& root, fs::path from, const char* file) {
    const fs::path top = root / "sys/devices";
    for (; from.string().size() > top.string().size(); from = from.parent_path())
        if (present(from / file)) return from;
    return {};
}

bool numbered(const std::string& part, const char* word) {
    const std::size_t length = std::char_traits<char>::length(word);
    return part.size() > length && starts_with(part, word) &&
           std::all_of(part.begin() + length, part.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string transport_of(const fs::path& root, const fs::path& block) {
    const auto has = [&](auto matches) { return !component_where(root, block, matches).empty(); };
    const std::string name = block.filename().string();
    if (has([](const std::string& part) { return numbered(part, "usb"); })) return "usb";
    if (has([](const std::string& part) { return part == "nvme" || starts_with(part, "nvme-subsys"); })) return "nvme";
    if (has([](const std::string& part) { return numbered(part, "ata"); })) return "sata";
    if (has([](const std::string& part) { return starts_with(part, "end_device-"); })) return "sas";
    if (has([](const std::string& part) { return numbered(part, "virtio"); })) return "virtio";
    if (has([](const std::string& part) { return part.find("VMBUS") != std::string::npos || part == "vmbus"; }))
        return "hyperv";
    if (has([](const std::string& part) { return starts_with(part, "vbd-"); }) || starts_with(name, "xvd"))
        return "xen";
    if (has([](const std::string& part) { return starts_with(part, "mmc"); })) return "mmc";
    if (has([](const std::string& part) { return starts_with(part, "target"); })) return "scsi";
    return "unknown";
}

link_rate sata_link_of(const fs::path& root, const fs::path& block) {
    const fs::path port = component_where(root, block, [](const std::string& part) { return numbered(part, "ata"); });
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(port, error)) {
        const std::string link = entry.path().filename().string();
        if (!starts_with(link, "link")) continue;
        if (const auto speed = leading_decimal(entry.path() / "ata_link" / link / "sata_spd")) return sata_link(*speed);
    }
    return {};
}

link_rate sas_link_of(const fs::path& root, const fs::path& block) {
    const fs::path port =
        component_where(root, block, [](const std::string& part) { return starts_with(part, "port-"); });
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(port, error)) {
        const std::string phy = entry.path().filename().string();
        if (!starts_with(phy, "phy-")) continue;
        if (const auto speed = leading_decimal(entry.path() / "sas_phy" / phy / "negotiated_linkrate"))
            return sas_link(*speed);
    }
    return {};
}

link_rate link_of(const fs::path& root, const fs::path& block, const std::string& transport) {
    if (transport == "nvme") {
        fs::path function = nearest_with(root, block, "current_link_speed");
        // With native multipath the namespace sits in its subsystem, beside links to its
        // controllers: the first one's PCI function is the link.
        std::error_code error;
        for (const fs::directory_entry& entry : fs::directory_iterator(block.parent_path(), error)) {
            if (!function.empty()) break;
            if (numbered(entry.path().filename().string(), "nvme"))
                function = nearest_with(root, resolved(entry.path()), "current_link_speed");
        }
        const auto speed = leading_decimal(function / "current_link_speed");
        const auto width = number_in(function / "current_link_width");
        if (function.empty() || !speed || !width) return {};
        return pcie_link(*speed, static_cast<unsigned>(*width));
    }
    if (transport == "usb") {
        const fs::path port = nearest_with(root, block, "speed");
        const auto speed = leading_decimal(port / "speed");
        return port.empty() || !speed ? link_rate{} : usb_link(*speed);
    }
    if (transport == "sata") return sata_link_of(root, block);
    if (transport == "sas") return sas_link_of(root, block);
    return {};
}

std::optional<std::uint32_t> small_number(const fs::path& file) {
    const auto value = number_in(file);
    if (!value || *value > UINT32_MAX) return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

// "none [mq-deadline] kyber": the one in brackets is in use.
std::optional<std::string> scheduler_in(const fs::path& file) {
    const auto line = first_line(file);
    if (!line) return std::nullopt;
    const auto open = line->find('[');
    const auto close = line->find(']');
    if (open == std::string::npos || close == std::string::npos || close < open) return line;
    return line->substr(open + 1, close - open - 1);
}

storage_device describe_disk(const fs::path& root, const fs::path& block) {
    storage_device device;
    device.name = block.filename().string();
    if (const auto sectors = number_in(block / "size")) device.size_bytes = *sectors * 512;
    if (const auto rotational = number_in(block / "queue/rotational")) device.rotational = *rotational != 0;
    device.logical_sector_bytes = small_number(block / "queue/logical_block_size");
    device.physical_sector_bytes = small_number(block / "queue/physical_block_size");
    device.queue_depth = small_number(block / "device/queue_depth");
    device.scheduler = scheduler_in(block / "queue/scheduler");
    device.transport = transport_of(root, block);
    if (device.transport == "nvme") {
        // A multipath namespace's subsystem holds what a controller would.
        const fs::path controller = present(block / "device/model") ? block / "device" : block.parent_path();
        device.model = first_line(controller / "model");
        device.firmware = first_line(controller / "firmware_rev");
    } else if (device.transport == "mmc") {
        device.model = first_line(block / "device/name");
        device.firmware = first_line(block / "device/fwrev");
    } else if (present(block / "device/model")) {
        // SCSI's inquiry, whatever carries it (libata, USB, virtio-scsi, Hyper-V). A virtio
        // block device has no model, and its `vendor` is a PCI number.
        device.model = first_line(block / "device/model");
        device.firmware = first_line(block / "device/rev");
        // Behind libata every disk's SCSI vendor reads "ATA": it names no maker.
        device.vendor = first_line(block / "device/vendor");
        if (device.vendor == "ATA") device.vendor.reset();
    }
    const link_rate link = link_of(root, block, device.transport);
    device.link = link.name;
    device.link_ceiling_mb_per_second = link.ceiling_mb_per_second;
    return device;
}

bool memory_file_system(const std::string& name) { return name == "tmpfs" || name == "ramfs"; }

struct mount_entry {
    std::string file_system, source, options;
};

// The last mount of the device number: one mounted over another hides it.
std::optional<mount_entry> mount_of(const fs::path& root, device_number number) {
    std::ifstream in(root / "proc/self/mountinfo");
    const std::string wanted = std::to_string(number.major) + ":" + std::to_string(number.minor);
    std::optional<mount_entry> found;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string id, parent, device;
        fields >> id >> parent >> device;
        const auto separator = line.find(" - ");
        if (device != wanted || separator == std::string::npos) continue;
        std::istringstream after(line.substr(separator + 3));
        mount_entry entry;
        after >> entry.file_system >> entry.source >> entry.options;
        found = entry;
    }
    return found;
}

void walk(const fs::path& root, fs::path block, const file_device_finder& finder, target_identity& target, int depth) {
    if (block.empty() || depth > deepest_layer) return;
    if (present(block / "partition")) block = block.parent_path();
    const std::string name = block.filename().string();

    std::vector<fs::path> members;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(block / "slaves", error))
        if (fs::path member = resolved(entry.path()); !member.empty()) members.push_back(member);
    if (!members.empty()) {
        std::sort(members.begin(), members.end());
        storage_layer layer{name, "dm", std::nullopt, std::nullopt};
        if (present(block / "md")) {
            layer.kind = "md";
            layer.level = first_line(block / "md/level");
        } else if (const auto uuid = first_line(block / "dm/uuid")) {
            if (starts_with(*uuid, "LVM-")) layer.kind = "lvm";
            if (starts_with(*uuid, "CRYPT-")) layer.kind = "crypt";
        }
        target.layers.push_back(layer);
        for (const fs::path& member : members) walk(root, member, finder, target, depth + 1);
        return;
    }

    if (present(block / "loop")) {
        const auto backing = first_line(block / "loop/backing_file");
        device_number number;
        if (backing && finder && finder(*backing, number)) {
            if (const fs::path below = block_of(root, number); !below.empty()) {
                target.layers.push_back(storage_layer{name, "loop", std::nullopt, backing});
                walk(root, below, finder, target, depth + 1);
                return;
            }
            // A file in memory has no device under it: the loop device is memory.
            if (const auto mount = mount_of(root, number); mount && memory_file_system(mount->file_system)) {
                target.layers.push_back(storage_layer{name, "loop", std::nullopt, backing});
                target.memory_file_system = mount->file_system;
                return;
            }
        }
        storage_device device = describe_disk(root, block);
        device.transport = "loop";
        device.backing_file = backing;
        target.devices.push_back(device);
        return;
    }
    target.devices.push_back(describe_disk(root, block));
}

std::optional<std::string> option_value(const std::string& options, const std::string& key) {
    std::istringstream list(options);
    for (std::string option; std::getline(list, option, ',');)
        if (starts_with(option, (key + "=").c_str())) return option.substr(key.size() + 1);
    return std::nullopt;
}

std::optional<std::uint32_t> ipv4_address(const std::string& text) {
    unsigned parts[4];
    char end;
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &parts[0], &parts[1], &parts[2], &parts[3], &end) != 4)
        return std::nullopt;
    std::uint32_t address = 0;
    for (const unsigned part : parts) {
        if (part > 255) return std::nullopt;
        address = address << 8 | part;
    }
    return address;
}

// The interface the kernel's IPv4 routes send `address` through: the most specific route.
std::optional<std::string> interface_towards(const fs::path& root, std::uint32_t address) {
    std::ifstream in(root / "proc/net/route");
    std::string line;
    std::getline(in, line);
    std::optional<std::string> best;
    int best_bits = -1;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string interface_name, destination_text, gateway, flags, references, use, metric, mask_text;
        fields >> interface_name >> destination_text >> gateway >> flags >> references >> use >> metric >> mask_text;
        // The table's words are in the host's order, which is little-endian wherever sysfs is read.
        const auto to_host = [](const std::string& hex) {
            const std::uint32_t value = static_cast<std::uint32_t>(std::strtoul(hex.c_str(), nullptr, 16));
            return (value & 0xff) << 24 | (value & 0xff00) << 8 | (value >> 8 & 0xff00) | value >> 24;
        };
        const std::uint32_t destination = to_host(destination_text);
        const std::uint32_t mask = to_host(mask_text);
        const int bits = __builtin_popcount(mask);
        if ((address & mask) == destination && bits > best_bits) {
            best = interface_name;
            best_bits = bits;
        }
    }
    return best;
}

storage_device network_device(const fs::path& root, const mount_entry& mount) {
    storage_device device;
    device.transport = "network";
    const bool nfs = starts_with(mount.file_system, "nfs");
    device.protocol = nfs ? "nfs" : "smb";
    std::string server = mount.source;
    if (nfs) {
        server = server.substr(0, server.rfind(":/"));
        if (server.size() > 2 && server.front() == '[' && server.back() == ']')
            server = server.substr(1, server.size() - 2);
    } else if (starts_with(server, "//")) {
        server = server.substr(2, server.find('/', 2) - 2);
    }
    device.name = server;
    device.server = server;
    device.protocol_version = option_value(mount.options, "vers");
    if (const auto size = option_value(mount.options, "rsize")) device.read_size = whole_number(*size);
    if (const auto size = option_value(mount.options, "wsize")) device.write_size = whole_number(*size);
    const auto address = option_value(mount.options, "addr");
    const auto numeric = address ? ipv4_address(*address) : std::nullopt;
    const auto interface_name = numeric ? interface_towards(root, *numeric) : std::nullopt;
    if (interface_name) {
        const auto speed = first_line(root / "sys/class/net" / *interface_name / "speed");
        const auto megabits = speed ? whole_number(*speed) : std::nullopt;
        const link_rate link = megabits ? network_link(*megabits, *interface_name) : link_rate{};
        device.link = link.name;
        device.link_ceiling_mb_per_second = link.ceiling_mb_per_second;
    }
    return device;
}

bool network_file_system(const std::string& type) {
    return type == "nfs" || type == "nfs4" || type == "cifs" || type == "smb3" || type == "smbfs";
}

// A file system whose device number has no block device (btrfs, for one) names it as its source.
fs::path block_named(const fs::path& root, const std::string& source) {
    if (!starts_with(source, "/dev/")) return {};
    const std::string name = fs::path(source).filename().string();
    if (fs::path block = resolved(root / "sys/class/block" / name); !block.empty()) return block;
    if (!starts_with(source, "/dev/mapper/")) return {};
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(root / "sys/block", error))
        if (first_line(entry.path() / "dm/name") == name) return resolved(entry.path());
    return {};
}

}  // namespace

target_identity walk_storage(const std::string& root_name, device_number number, const file_device_finder& finder) {
    target_identity target;
    // Paths are compared component by component with the canonical paths of sysfs's links.
    const fs::path root = resolved(root_name);
    if (root.empty()) return target;
    const auto mount = mount_of(root, number);
    if (mount && network_file_system(mount->file_system)) {
        target.devices.push_back(network_device(root, *mount));
        target.known = true;
        return target;
    }
    fs::path block = block_of(root, number);
    if (block.empty() && mount) block = block_named(root, mount->source);
    walk(root, block, finder, target, 0);
    target.known = !target.devices.empty() || !target.memory_file_system.empty() ||
                   (mount && memory_file_system(mount->file_system));
    return target;
}

void read_dmi(const std::string& root, machine_identity& machine) {
    machine.system_vendor = first_line(fs::path(root) / "sys/class/dmi/id/sys_vendor");
    machine.system_product = first_line(fs::path(root) / "sys/class/dmi/id/product_name");
}
