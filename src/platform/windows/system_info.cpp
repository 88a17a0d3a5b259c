#include <ctime>

#include "platform/system_info.hpp"
#include "platform/windows/text.hpp"
#include "platform/windows/version.hpp"

namespace {

std::string windows_version() {
    OSVERSIONINFOW version;
    if (!real_windows_version(version)) return "";
    return std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion) + "." +
           std::to_string(version.dwBuildNumber);
}

}  // namespace

host_description describe_host() {
    host_description host;
    wchar_t name[256];
    DWORD length = sizeof name / sizeof name[0];
    if (GetComputerNameExW(ComputerNameDnsHostname, name, &length)) host.name = utf8_text(std::wstring(name, length));
    host.os = "Windows";
    host.os_version = windows_version();
    // Every processor group's: the affinity mask the C++ library counts holds one group, 64 at most.
    host.logical_cpus = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    if (GlobalMemoryStatusEx(&memory)) host.memory_bytes = memory.ullTotalPhys;
    return host;
}

std::string utc_now() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_s(&parts, &now);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

// RAM disks on Windows are drivers that present NTFS or FAT volumes: nothing says that a
// volume is memory, so memory_backed stays false.
volume_description describe_volume(const std::string& directory) {
    volume_description volume;
    const std::wstring wide = file_api_path(directory);
    wchar_t root[MAX_PATH];
    wchar_t file_system[MAX_PATH];
    if (GetVolumePathNameW(wide.c_str(), root, MAX_PATH) &&
        GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, file_system, MAX_PATH))
        volume.file_system = utf8_text(file_system);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        volume.compressed = (attributes & FILE_ATTRIBUTE_COMPRESSED) != 0;
        volume.encrypted = (attributes & FILE_ATTRIBUTE_ENCRYPTED) != 0;
    }
    ULARGE_INTEGER available{}, total{};
    if (GetDiskFreeSpaceExW(wide.c_str(), &available, &total, nullptr)) {
        volume.free_bytes = available.QuadPart;
        volume.total_bytes = total.QuadPart;
    }
    return volume;
}

std::uint64_t process_id() { return GetCurrentProcessId(); }
