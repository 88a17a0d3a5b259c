// The files a directory holds under a name's start, and the small text files read from it,
// for finding the files of runs that never removed them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct listed_file {
    std::string name;  // within the directory
    std::uint64_t bytes = 0;
    std::string owner;  // the file's owner as the system names it: a user id, a SID
};

// The regular files of `directory` (ending with its separator) whose names start with `start`;
// links, directories and other kinds are left out. False when the directory can't be read.
bool list_files(const std::string& directory, const std::string& start, std::vector<listed_file>& files);

// Up to `limit` bytes of the regular file `name`, even while its writer holds it open;
// never through a link. False when it can't be read or is larger.
bool read_small_file(const std::string& name, std::size_t limit, std::string& text);
