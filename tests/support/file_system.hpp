// What backs a test's directory: a run there prints notes, and the purge can drop pages,
// according to it.
#pragma once

#include <string>
#include <vector>

// True when `directory` is on a tmpfs or a ramfs, whose files are memory.
bool on_memory_file_system(const std::string& directory);

// The system temp directory or else /var/tmp, the first that a device backs; empty when
// neither is.
std::string disk_backed_parent();

// A completed run's output as it stays on screen, line by line, less the two notes of a
// directory on a memory filesystem (its memory speeds, the test files still cached), which
// must be there exactly when `directory` is on one, and less the rate in KB/s of a figure
// that a slow moment made 0 Mo/s.
std::vector<std::string> screen_without_memory_notes(const std::string& output, const std::string& directory);
