// Names of the files a run creates in the tested directory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// File `index` of a worker: path + prefix + index in decimal, no separator in between.
std::string test_file_name(const std::string& file_prefix, std::uint32_t index);

// "vellumcrate_" and 8 random lower-case letters.
std::string new_prefix();

// The eviction file's name, drawn when it is created.
extern std::string eviction_file_path;

// Each writer's prefix in the pass, by stream (data/stamp.hpp; empty for a writer whose files
// are not in this directory); main sets them once the write phase is over, so that a sector
// read back in the wrong place can be named after the file it came from.
extern std::vector<std::string> writer_prefixes;
