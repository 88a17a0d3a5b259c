#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/machine_identity.hpp"

std::string kernel_files_root() { return ""; }

// Asked once for its size, then read; kernel32 alone, no privilege needed.
std::vector<unsigned char> firmware_smbios_table() {
    constexpr DWORD raw_smbios = 'R' << 24 | 'S' << 16 | 'M' << 8 | 'B';
    const UINT size = GetSystemFirmwareTable(raw_smbios, 0, nullptr, 0);
    if (size == 0) return {};
    std::vector<unsigned char> table(size);
    const UINT read = GetSystemFirmwareTable(raw_smbios, 0, table.data(), size);
    if (read == 0 || read > size) return {};
    table.resize(read);
    return table;
}
