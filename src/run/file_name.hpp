// Names of the files a run creates in the tested directory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// File `index` of a worker in `directory` (ending with its separator): directory + prefix + index
// in decimal, no separator in between.
std::string test_file_name(const std::string& directory, const std::string& file_prefix, std::uint32_t index);

// The same file's name in the tested directory: prefix + index.
std::string test_file_entry(const std::string& file_prefix, std::uint32_t index);

// "vellumcrate_" and 8 random lower-case letters.
std::string new_prefix();
