#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <optional>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/ending.hpp"
#include "platform/command_line.hpp"
#include "platform/directory.hpp"
#include "settings/settings.hpp"

namespace {
run_settings parsed;
}  // namespace

const run_settings& settings = parsed;

void initialize_settings() {
    parsed = run_settings{};
}

namespace {

struct numeric_option {
    const char* name;
    std::uint32_t* setting;
    std::uint32_t minimum;
    std::uint32_t maximum;
};

const numeric_option numeric_options[] = {
    {"-block", &parsed.block_kib, 1, 1024},
    {"-file", &parsed.file_mib, 1, 102400},
    {"-file_number", &parsed.files_per_worker, 1, 1000000},
    {"-thread", &parsed.worker_count, 1, 100},
    {"-cache", &parsed.controller_cache_gib, 0, 100},
    {"-repeat", &parsed.pass_count, 1, 100},
};

// Options whose value is a file's name, kept as typed.
struct name_option {
    const char* name;
    std::string* setting;
};

const name_option name_options[] = {{"-json", &parsed.results_file}, {"-html", &parsed.report_page}};

// Options that take no value: their presence turns them on.
struct switch_option {
    const char* name;
    bool* setting;
};

const switch_option switch_options[] = {{"-verify", &parsed.verify}, {"-direct", &parsed.direct},
                                         {"-latency", &parsed.latency}};

bool turned_on_switch(const char* argument) {
    for (const switch_option& option : switch_options) {
        if (compare_ignoring_case(argument, option.name) != 0) continue;
        *option.setting = true;
        return true;
    }
    return false;
}

bool is_help_flag(const char* argument) {
    for (const char* flag : {"-?", "--?", "/?", "-help", "--help"})
        if (std::strcmp(argument, flag) == 0) return true;
    return false;
}

bool is_version_flag(const char* argument) {
    return compare_ignoring_case(argument, "-version") == 0 || compare_ignoring_case(argument, "--version") == 0;
}

// After the version or the help: only a standard output that took nothing makes it a failure.
[[noreturn]] void end_after_output() { std::exit(output_failed() ? 1 : 0); }

const numeric_option* numeric_option_named(const char* argument) {
    for (const numeric_option& option : numeric_options)
        if (compare_ignoring_case(argument, option.name) == 0) return &option;
    return nullptr;
}

const name_option* name_option_named(const char* argument) {
    for (const name_option& option : name_options)
        if (compare_ignoring_case(argument, option.name) == 0) return &option;
    return nullptr;
}

void read_path(const char* value) {
    std::string& directory = parsed.target_directory;
    directory = resolved_directory(value);
    if (!is_existing_directory(directory)) refuse_run(messages::invalid_path);
    if (directory.back() != directory_separator()) directory += directory_separator();
}

void read_number(const numeric_option& option, const char* value) {
    if (const std::optional<std::uint32_t> read = number(value, option.minimum, option.maximum))
        *option.setting = *read;
    else
        refuse_run(format_text(messages::out_of_range, option.name, option.minimum, option.maximum));
}

}  // namespace

std::optional<std::uint32_t> number(const char* text, std::uint32_t minimum, std::uint32_t maximum) {
    char* end = nullptr;
    const double value = std::trunc(std::strtod(text, &end));
    if (end == text) return std::nullopt;
    while (std::isspace(static_cast<unsigned char>(*end))) ++end;
    // The range is checked on the double, before a conversion could wrap it; NaN fails both.
    if (*end != '\0' || !(value >= minimum && value <= maximum)) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

void parse_arguments(int argc, char** argv) {
    if (argc > 1 && is_version_flag(argv[1])) {
        print(messages::version_line, QUORLANE_VERSION);
        end_after_output();
    }
    print(messages::version_line, QUORLANE_VERSION);
    print(messages::blank_line);

    if (argc > 1 && is_help_flag(argv[1])) {
        print_help();
        end_after_output();
    }

    // An option takes the next argument as its value, which is never looked at as an option
    // itself; anything else is ignored, but said so: a mistyped name would otherwise run quietly
    // with the default.
    for (int i = 1; i < argc; ++i) {
        if (turned_on_switch(argv[i])) continue;
        const bool is_path = compare_ignoring_case(argv[i], "-path") == 0;
        const numeric_option* option = numeric_option_named(argv[i]);
        const name_option* file = name_option_named(argv[i]);
        if (!is_path && option == nullptr && file == nullptr) {
            print_on_own_line(format_text(messages::ignored_argument, argv[i]));
            continue;
        }
        // An empty file name would quietly mean no file at all.
        if (i + 1 >= argc || (file != nullptr && argv[i + 1][0] == '\0'))
            refuse_run(format_text(messages::missing_value, argv[i]));
        const char* value = argv[++i];
        if (is_path)
            read_path(value);
        else if (file != nullptr)
            *file->setting = value;
        else
            read_number(*option, value);
    }

    parsed.blocks_per_file = parsed.file_mib * bytes_per_kib / parsed.block_kib;

    if (parsed.target_directory.empty()) refuse_run(messages::missing_path);
}
