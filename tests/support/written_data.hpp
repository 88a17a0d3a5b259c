// Whole files as a run writes them, handed to compressors that look far back: a pattern that
// repeats anywhere within a file shows there, where records of a file system's size hide it.
#pragma once

#include <string>
#include <vector>

// Expects none of these files, each of `mib` MiB or whole blocks short of it, to come out of any of `commands` (a compressor
// writing to standard output what it makes of the file named after it) smaller than 99 % of
// it: one test file written by a run in blocks of 4, 100 and 1024 KiB each, and the eviction
// file's data. Each file's commands run side by side.
void expect_whole_files_incompressible(const std::vector<std::string>& commands, unsigned mib);
