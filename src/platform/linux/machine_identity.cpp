#include "platform/machine_identity.hpp"

std::string kernel_files_root() { return "/"; }

std::vector<unsigned char> firmware_smbios_table() { return {}; }
