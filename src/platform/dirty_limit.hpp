// How much written data the OS lets wait in its cache before it holds writers back to the
// device's pace: a buffered write runs at memory speed until then.
#pragma once

#include <cstdint>
#include <string>

struct dirty_settings {
    bool known = false;
    std::uint64_t dirty_bytes = 0;          // a limit in bytes; 0 where a share of memory sets it
    std::uint32_t dirty_ratio_percent = 0;  // that share, of the memory that can hold file data
};

// Linux's vm.dirty_bytes and vm.dirty_ratio, read under `root` ("/", or a test's tree of the
// same shape); unknown where a value is missing or not a plain number, and on Windows, which
// tells no such limit.
dirty_settings read_dirty_settings(const std::string& root);

// The most written data the OS lets wait in its cache: vm.dirty_bytes, or vm.dirty_ratio of
// the machine's memory, which overstates it a little (Linux counts only the memory that can
// hold file data). 0 when unknown.
std::uint64_t dirty_limit_bytes(const dirty_settings& settings, std::uint64_t memory_bytes);
