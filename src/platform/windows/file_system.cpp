#include <cwchar>

#include "platform/file_system.hpp"
#include "platform/windows/text.hpp"

namespace {

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

// A share named by its server (\\server\share, \\?\UNC\server\share), not by a drive letter.
bool is_unc(const std::wstring& root) {
    if (root.size() < 2 || !is_separator(root[0]) || !is_separator(root[1])) return false;
    const std::wstring long_form = L"\\\\?\\";
    if (root.compare(0, long_form.size(), long_form) != 0) return true;
    return root.compare(long_form.size(), 4, L"UNC\\") == 0;
}

}  // namespace

// RAM disks on Windows are drivers that present NTFS or FAT volumes: nothing says that a
// volume is memory. A share, by its name or through a mapped drive letter, is served by its
// server, whose cache no purge here reaches.
bool file_system_of(const std::string& directory, file_system_type& type) {
    const std::wstring wide = file_api_path(directory);
    std::wstring root(wide.size() + MAX_PATH, L'\0');
    if (!GetVolumePathNameW(wide.c_str(), root.data(), static_cast<DWORD>(root.size()))) return false;
    root.resize(std::wcslen(root.c_str()));
    wchar_t name[MAX_PATH + 1];
    type.name = GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, name, MAX_PATH + 1)
                    ? utf8_text(name)
                    : std::string();
    type.in_memory = false;
    type.other_cache = is_unc(root) || GetDriveTypeW(root.c_str()) == DRIVE_REMOTE ? cache_beyond_purge::network_server
                                                                                   : cache_beyond_purge::none;
    return true;
}

bool free_space(const std::string& directory, std::uint64_t& bytes) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(file_api_path(directory).c_str(), &available, nullptr, nullptr)) return false;
    bytes = available.QuadPart;
    return true;
}

bool file_system_size(const std::string& directory, std::uint64_t& bytes) {
    ULARGE_INTEGER total{};
    if (!GetDiskFreeSpaceExW(file_api_path(directory).c_str(), nullptr, &total, nullptr)) return false;
    bytes = total.QuadPart;
    return true;
}
