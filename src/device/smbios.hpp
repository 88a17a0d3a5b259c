// The system's maker and model from the firmware's SMBIOS table, as Windows hands it over
// (GetSystemFirmwareTable 'RSMB': a header of 8 bytes, then the structures). Linux reads the
// same from sysfs (sysfs_walk.hpp).
#pragma once

#include <optional>
#include <string>
#include <vector>

struct smbios_system {
    std::optional<std::string> manufacturer, product;
};

// The System Information structure's (type 1) manufacturer and product name; each unknown
// where the table is short, malformed or leaves it out.
smbios_system parse_smbios_system(const std::vector<unsigned char>& raw_table);
