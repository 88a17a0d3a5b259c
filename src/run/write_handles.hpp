// The write handles of the run: every test file stays open from its writer to the flush pass.
// Worker t owns row t; main reads the table only when no worker runs.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/file_io.hpp"

// Row-major, thread_count rows of file_number entries; no_file where no file is open.
extern std::vector<os_file> write_handles;

// Per worker, how many of its test files it has created so far (they are removed at the end).
extern std::vector<std::uint32_t> files_created;

// Sizes both tables from the settings.
void prepare_write_handles();

os_file& write_handle(std::uint32_t thread_index, std::uint32_t index);
