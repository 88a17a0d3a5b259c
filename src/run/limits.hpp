// What the run's files need of the system, for the checks made before any file exists: each
// refusal is empty when the run fits.
#pragma once

#include <cstdint>
#include <string>

#include "settings/settings.hpp"

// The open-files check's refusal; raises the open-files limit on the way.
std::string open_files_refusal(const run_settings& settings);

// The refusal of a file larger than the file system `file_system_name` of `directory` holds
// (FAT's 4 GiB less one byte), the test files' or the eviction file's.
std::string file_size_refusal(const run_settings& settings, const std::string& directory,
                              const std::string& file_system_name);

// The bytes the run writes, with the eviction file or not.
enum class eviction_file { counted, left_out };
std::uint64_t bytes_needed(const run_settings& settings, eviction_file eviction);

std::string space_refusal(std::uint64_t needed, std::uint64_t free_bytes);
