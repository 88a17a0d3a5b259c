// The OS file cache as a test sees it, page by page, on a file system that a device backs
// (support/file_system.hpp finds one).
#pragma once

#include <cstddef>
#include <string>

// Pages of the file that the OS cache holds now; SIZE_MAX when that can't be told. The file
// is mapped but never touched, so looking brings no page in.
std::size_t resident_pages(const std::string& name);
