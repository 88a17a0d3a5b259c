#include "device/windows_descriptors.hpp"

#include <cstring>

namespace {

using bytes = std::vector<unsigned char>;

// Every field is little-endian, at the offset its C structure gives it.
std::optional<std::uint32_t> dword_at(const bytes& data, std::size_t offset) {
    if (offset + 4 > data.size()) return std::nullopt;
    return static_cast<std::uint32_t>(data[offset]) | static_cast<std::uint32_t>(data[offset + 1]) << 8 |
           static_cast<std::uint32_t>(data[offset + 2]) << 16 | static_cast<std::uint32_t>(data[offset + 3]) << 24;
}

std::optional<std::uint64_t> qword_at(const bytes& data, std::size_t offset) {
    const auto low = dword_at(data, offset);
    const auto high = dword_at(data, offset + 4);
    if (!low || !high) return std::nullopt;
    return static_cast<std::uint64_t>(*high) << 32 | *low;
}

// A descriptor's string: its offset (0 for none) to a NUL-terminated, space-padded text that
// must end inside the answer.
std::optional<std::string> text_at(const bytes& data, std::size_t offset_field) {
    const auto offset = dword_at(data, offset_field);
    if (!offset || *offset == 0 || *offset >= data.size()) return std::nullopt;
    const auto* start = reinterpret_cast<const char*>(data.data()) + *offset;
    const std::size_t length = strnlen(start, data.size() - *offset);
    if (*offset + length == data.size()) return std::nullopt;
    std::string text(start, length);
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::nullopt;
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// STORAGE_BUS_TYPE, in the names the Linux side uses where they meet.
const char* bus_name(std::uint32_t bus) {
    static const char* const names[] = {
        "unknown", "scsi",  "atapi", "ata",  "1394", "ssa", "fibre",   "usb",
        "raid",    "iscsi", "sas",   "sata", "sd",   "mmc", "virtual", "file_backed_virtual",
        "spaces",  "nvme",  "scm",   "ufs"};
    return bus < sizeof names / sizeof names[0] ? names[bus] : "unknown";
}

// STORAGE_DEVICE_DESCRIPTOR: Version, Size, DeviceType, DeviceTypeModifier, RemovableMedia,
// CommandQueueing, then the offsets of VendorId (12), ProductId (16), ProductRevision (20)
// and SerialNumber (24, never read), BusType (28).
constexpr std::size_t vendor_offset = 12, product_offset = 16, revision_offset = 20, bus_offset = 28;
// STORAGE_ACCESS_ALIGNMENT_DESCRIPTOR: BytesPerLogicalSector, BytesPerPhysicalSector.
constexpr std::size_t logical_offset = 16, physical_offset = 20;
// DEVICE_SEEK_PENALTY_DESCRIPTOR: IncursSeekPenalty, a BOOLEAN after Version and Size.
constexpr std::size_t seek_penalty_offset = 8;
// DISK_GEOMETRY_EX: DiskSize after the 24 bytes of DISK_GEOMETRY.
constexpr std::size_t disk_size_offset = 24;

}  // namespace

storage_device parse_disk_answers(const disk_answers& answers) {
    storage_device device;
    device.name = "PhysicalDrive" + std::to_string(answers.disk_number);
    bytes descriptor = answers.device_descriptor;
    // Windows fills no more than the descriptor's own Size says.
    if (const auto size = dword_at(descriptor, 4); size && *size < descriptor.size()) descriptor.resize(*size);
    device.vendor = text_at(descriptor, vendor_offset);
    device.model = text_at(descriptor, product_offset);
    device.firmware = text_at(descriptor, revision_offset);
    if (const auto bus = dword_at(descriptor, bus_offset)) device.transport = bus_name(*bus);
    device.logical_sector_bytes = dword_at(answers.access_alignment, logical_offset);
    device.physical_sector_bytes = dword_at(answers.access_alignment, physical_offset);
    if (answers.seek_penalty.size() > seek_penalty_offset)
        device.rotational = answers.seek_penalty[seek_penalty_offset] != 0;
    device.size_bytes = qword_at(answers.geometry, disk_size_offset);
    return device;
}

target_identity parse_volume_answers(const volume_answers& answers) {
    target_identity target;
    if (answers.network) {
        storage_device share;
        share.transport = "network";
        share.protocol = "smb";
        if (answers.network_path.rfind("\\\\", 0) == 0) {
            const std::string server = answers.network_path.substr(2, answers.network_path.find('\\', 2) - 2);
            share.name = server;
            share.server = server;
        }
        target.devices.push_back(share);
        target.known = true;
        return target;
    }
    if (answers.disks.size() > 1)
        target.layers.push_back(storage_layer{"volume", "volume", std::nullopt, std::nullopt});
    for (const disk_answers& disk : answers.disks) target.devices.push_back(parse_disk_answers(disk));
    target.known = !target.devices.empty();
    return target;
}
