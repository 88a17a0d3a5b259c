// The write streams of the run: every test file stays open from its writer to the flush
// pass. Worker t owns row t; main reads the table only when no worker runs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

// Row-major, thread_count rows of file_number entries; null where no stream is open.
extern std::vector<std::FILE*> write_streams;

// Per worker, how many of its test files it has created so far (they are removed at the end).
extern std::vector<std::uint32_t> files_created;

// Sizes both tables from the settings.
void prepare_write_streams();

std::FILE*& write_stream(std::uint32_t thread_index, std::uint32_t index);
