// Where the kernel's own description of the machine can be read.
#pragma once

#include <string>

// The directory under which the kernel's sys/ and proc/ trees are read: "/" on Linux, empty
// where there are none.
std::string kernel_files_root();
