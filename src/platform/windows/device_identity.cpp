#include "platform/device_identity.hpp"

#include <algorithm>

// windows.h first: winioctl.h uses its types.
#include "platform/windows/text.hpp"

#include <winioctl.h>

bool device_number_of(const std::string&, device_number&) { return false; }

namespace {

std::vector<unsigned char> io_control(HANDLE handle, DWORD code, const void* input, DWORD input_size) {
    std::vector<unsigned char> output(4096);
    DWORD returned = 0;
    if (!DeviceIoControl(handle, code, const_cast<void*>(input), input_size, output.data(),
                         static_cast<DWORD>(output.size()), &returned, nullptr))
        return {};
    output.resize(returned);
    return output;
}

std::vector<unsigned char> storage_property(HANDLE handle, STORAGE_PROPERTY_ID property) {
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = property;
    query.QueryType = PropertyStandardQuery;
    return io_control(handle, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query);
}

// No access rights asked: the queries below need none, so no administrator either.
HANDLE open_for_queries(const std::wstring& name) {
    return CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
}

bool starts_with(const std::wstring& text, const wchar_t* start) { return text.rfind(start, 0) == 0; }

}  // namespace

bool query_volume(const std::string& directory, volume_answers& answers) {
    wchar_t root[MAX_PATH];
    if (!GetVolumePathNameW(file_api_path(directory).c_str(), root, MAX_PATH)) return false;
    std::wstring volume = root;
    if (starts_with(volume, L"\\\\?\\UNC\\")) volume = L"\\\\" + volume.substr(8);
    if (starts_with(volume, L"\\\\") && !starts_with(volume, L"\\\\?\\") && !starts_with(volume, L"\\\\.\\")) {
        answers.network = true;
        answers.network_path = utf8_text(volume.substr(0, volume.find_last_not_of(L'\\') + 1));
        return true;
    }
    if (GetDriveTypeW(root) == DRIVE_REMOTE) {
        answers.network = true;
        return true;
    }
    std::wstring device;
    if (volume.size() >= 2 && volume[1] == L':') {
        device = L"\\\\.\\" + volume.substr(0, 2);
    } else {
        wchar_t name[MAX_PATH];
        if (!GetVolumeNameForVolumeMountPointW(root, name, MAX_PATH)) return false;
        device = name;
        device.erase(device.find_last_not_of(L'\\') + 1);
    }
    const HANDLE handle = open_for_queries(device);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const std::vector<unsigned char> extents = io_control(handle, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0);
    CloseHandle(handle);
    if (extents.size() < sizeof(VOLUME_DISK_EXTENTS)) return true;
    const auto* list = reinterpret_cast<const VOLUME_DISK_EXTENTS*>(extents.data());
    const std::size_t fit = (extents.size() - offsetof(VOLUME_DISK_EXTENTS, Extents)) / sizeof(DISK_EXTENT);
    const std::size_t count = std::min<std::size_t>(list->NumberOfDiskExtents, fit);
    for (std::size_t index = 0; index < count; ++index) {
        const DWORD number = list->Extents[index].DiskNumber;
        if (std::any_of(answers.disks.begin(), answers.disks.end(),
                        [number](const disk_answers& disk) { return disk.disk_number == number; }))
            continue;
        disk_answers disk;
        disk.disk_number = number;
        const HANDLE drive = open_for_queries(L"\\\\.\\PhysicalDrive" + std::to_wstring(number));
        if (drive != INVALID_HANDLE_VALUE) {
            disk.device_descriptor = storage_property(drive, StorageDeviceProperty);
            disk.access_alignment = storage_property(drive, StorageAccessAlignmentProperty);
            disk.seek_penalty = storage_property(drive, StorageDeviceSeekPenaltyProperty);
            disk.geometry = io_control(drive, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, nullptr, 0);
            CloseHandle(drive);
        }
        answers.disks.push_back(disk);
    }
    return true;
}
