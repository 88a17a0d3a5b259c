// Where the kernel's own description of the machine can be read.
#pragma once

#include <string>
#include <vector>

// The directory under which the kernel's sys/ and proc/ trees are read: "/" on Linux, empty
// where there are none.
std::string kernel_files_root();

// The firmware's SMBIOS table as GetSystemFirmwareTable('RSMB') returns it (Windows); empty
// where the kernel's own files are read instead, or the call fails.
std::vector<unsigned char> firmware_smbios_table();
