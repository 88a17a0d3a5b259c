#include <dirent.h>

#include "platform/directory.hpp"

std::string resolved_directory(const std::string& path_name) { return path_name; }

bool is_existing_directory(const std::string& path_name) {
    DIR* directory = opendir(path_name.c_str());
    if (directory == nullptr) return false;
    closedir(directory);
    return true;
}

char directory_separator() { return '/'; }
