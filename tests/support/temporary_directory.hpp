// A directory of the test's own under the system temp directory, removed with everything
// in it when the test ends.
#pragma once

#include <string>
#include <vector>

struct temporary_directory {
    temporary_directory();
    // The same under `parent`, for a test that needs a given filesystem.
    explicit temporary_directory(const std::string& parent);
    ~temporary_directory();
    temporary_directory(const temporary_directory&) = delete;
    temporary_directory& operator=(const temporary_directory&) = delete;

    // The directory's path, without a trailing separator.
    std::string path_name;

    // Names of the entries in it, sorted.
    std::vector<std::string> entries() const;
};

// The size of a file in bytes, -1 when it can't be read.
long long size_of_file(const std::string& name);
