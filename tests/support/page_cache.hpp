// The OS file cache as a test sees it, page by page, on a file system that a device backs.
#pragma once

#include <cstddef>
#include <string>

// The system temp directory, or else /var/tmp, when a device backs it: tmpfs and ramfs pages
// are the files themselves, which nothing can drop or bypass. Empty when neither is.
std::string parent_on_disk();

// Pages of the file that the OS cache holds now; SIZE_MAX when that can't be told. The file
// is mapped but never touched, so looking brings no page in.
std::size_t resident_pages(const std::string& name);
