#include "run/file_name.hpp"

#include "common/random.hpp"

std::string test_file_name(const std::string& directory, const std::string& file_prefix, std::uint32_t index) {
    return directory + test_file_entry(file_prefix, index);
}

std::string test_file_entry(const std::string& file_prefix, std::uint32_t index) {
    return file_prefix + std::to_string(index);
}

std::string new_prefix() {
    std::string prefix = "vellumcrate_";
    for (int letter = 0; letter < 8; ++letter) prefix += random_letter();
    return prefix;
}
