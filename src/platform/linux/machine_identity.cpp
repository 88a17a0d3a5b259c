#include "platform/machine_identity.hpp"

std::string kernel_files_root() { return "/"; }
