#include "platform/directory.hpp"
#include "platform/windows/text.hpp"

std::string resolved_directory(const std::string& path_name) {
    const std::wstring full = full_path(wide_text(path_name));
    if (full.empty()) return path_name;
    std::string resolved;
    return exact_utf8_text(full, resolved) ? resolved : std::string();
}

bool is_existing_directory(const std::string& path_name) {
    const DWORD attributes = GetFileAttributesW(file_api_path(path_name).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

char directory_separator() { return '\\'; }
