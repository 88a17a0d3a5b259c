#include "platform/dirty_limit.hpp"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// Longer than any number the kernel writes there.
constexpr std::streamsize longest_setting = 64;

// The file's decimal number, with nothing but white space around it; false for anything
// else, or a number past 64 bits.
bool read_number(const std::filesystem::path& file, std::uint64_t& number) {
    std::ifstream stream(file);
    char characters[longest_setting + 1];
    stream.read(characters, longest_setting + 1);
    if (stream.bad() || stream.gcount() > longest_setting) return false;
    const std::string text(characters, static_cast<std::size_t>(stream.gcount()));
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    const std::size_t digits_start = at;
    number = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
        const std::uint64_t digit = static_cast<std::uint64_t>(text[at] - '0');
        if (number > (UINT64_MAX - digit) / 10) return false;
        number = number * 10 + digit;
    }
    if (at == digits_start) return false;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    return at == text.size();
}

}  // namespace

dirty_settings read_dirty_settings(const std::string& root) {
    const std::filesystem::path settings = std::filesystem::path(root) / "proc/sys/vm";
    std::uint64_t bytes = 0, ratio = 0;
    if (!read_number(settings / "dirty_bytes", bytes)) return dirty_settings{};
    // The kernel keeps one of the two: setting either clears the other.
    if (bytes != 0) return dirty_settings{true, bytes, 0};
    if (!read_number(settings / "dirty_ratio", ratio) || ratio > 100) return dirty_settings{};
    return dirty_settings{true, 0, static_cast<std::uint32_t>(ratio)};
}
