// A block buffer owned by one routine or worker.
#pragma once

#include <cstddef>
#include <memory>

// Null when the memory can't be had; the fatal error is then recorded and the caller stops.
std::unique_ptr<unsigned char[]> new_buffer(std::size_t bytes);
