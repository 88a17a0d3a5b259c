#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/stop.hpp"
#include "platform/platform.hpp"
#include "settings/settings.hpp"

namespace {

struct numeric_option {
    const char* name;
    std::uint32_t* setting;
    std::uint32_t minimum;
    std::uint32_t maximum;
};

const numeric_option numeric_options[] = {
    {"-block", &block_size, 1, 1024},   {"-file", &file_size, 1, 102400}, {"-file_number", &file_number, 1, 1000000},
    {"-thread", &thread_count, 1, 100}, {"-cache", &cache, 0, 100},
};

bool is_help_flag(const char* argument) {
    for (const char* flag : {"-?", "--?", "/?", "-help", "--help"})
        if (std::strcmp(argument, flag) == 0) return true;
    return false;
}

const numeric_option* numeric_option_named(const char* argument) {
    for (const numeric_option& option : numeric_options)
        if (compare_ignoring_case(argument, option.name) == 0) return &option;
    return nullptr;
}

void read_path(const char* value) {
    path = value;
    if (!is_existing_directory(path)) report_error(true, messages::invalid_path);
    if (path.back() != directory_separator()) path += directory_separator();
}

void read_number(const numeric_option& option, const char* value) {
    *option.setting = number(value);
    if (*option.setting < option.minimum || *option.setting > option.maximum)
        report_error(true, format_text(messages::out_of_range, option.name, option.minimum, option.maximum));
}

}  // namespace

std::uint32_t number(const char* text) {
    const double value = std::strtod(text, nullptr);
    // [-2^63, 2^63) holds every double that truncates into a signed 64-bit integer;
    // NaN fails both comparisons.
    if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0)) return 0;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(value)));
}

void parse_arguments(int argc, char** argv) {
    if (argc > 1 && is_help_flag(argv[1])) {
        print_help();
        std::exit(stop_requested.load() ? 1 : 0);
    }

    // The scan moves one position at a time, so a value is itself looked at as an option.
    for (int i = 1; i < argc; ++i) {
        if (compare_ignoring_case(argv[i], "-direct") == 0) {
            direct = true;
            continue;
        }
        const bool is_path = compare_ignoring_case(argv[i], "-path") == 0;
        const numeric_option* option = numeric_option_named(argv[i]);
        if (!is_path && option == nullptr) continue;
        if (i + 1 >= argc) report_error(true, format_text(messages::missing_value, argv[i]));
        if (is_path)
            read_path(argv[i + 1]);
        else
            read_number(*option, argv[i + 1]);
    }

    blocks_per_file = file_size * bytes_per_kib / block_size;

    if (path.empty()) report_error(true, messages::missing_path);
}
