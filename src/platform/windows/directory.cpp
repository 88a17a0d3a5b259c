#include "platform/platform.hpp"
#include "platform/windows/text.hpp"

bool is_existing_directory(const std::string& path_name) {
    const DWORD attributes = GetFileAttributesW(wide_text(path_name).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
