#include "support/temporary_directory.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

temporary_directory::temporary_directory() : temporary_directory(fs::temp_directory_path().string()) {}

temporary_directory::temporary_directory(const std::string& parent) {
    std::string name_template = (fs::path(parent) / "quorlane_test_XXXXXX").string();
    if (mkdtemp(name_template.data()) != nullptr) path_name = name_template;
}

temporary_directory::~temporary_directory() {
    std::error_code ignore;
    if (!path_name.empty()) fs::remove_all(path_name, ignore);
}

std::vector<std::string> temporary_directory::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_name)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

long long size_of_file(const std::string& name) {
    std::error_code error;
    const auto size = fs::file_size(name, error);
    return error ? -1 : static_cast<long long>(size);
}
