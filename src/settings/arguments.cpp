#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <optional>

#include "common/ending.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "platform/command_line.hpp"
#include "platform/directory.hpp"
#include "platform/file_system.hpp"
#include "settings/settings.hpp"

namespace {
run_settings parsed;
}  // namespace

const run_settings& settings = parsed;

void initialize_settings() {
    parsed = run_settings{};
}

namespace {

constexpr std::uint32_t max_files_per_worker = 1000000;

struct numeric_option {
    const char* name;
    std::uint32_t* setting;
    std::uint32_t minimum;
    std::uint32_t maximum;
};

const numeric_option numeric_options[] = {
    {"-block", &parsed.block_kib, 1, 1024},
    {"-file", &parsed.file_mib, 1, 102400},
    {"-file_number", &parsed.files_per_worker, 1, max_files_per_worker},
    {"-thread", &parsed.worker_count, 1, 100},
    {"-cache", &parsed.controller_cache_gib, 0, 100},
    {"-repeat", &parsed.pass_count, 1, 100},
    {"-fill", &parsed.fill_percent, 1, 100},
    {"-time", &parsed.phase_seconds, 1, 86400},
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
                                         {"-latency", &parsed.latency}, {"-clean", &parsed.clean}};

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
    if (directory.empty() && value[0] != '\0') refuse_run(format_text(messages::unconvertible_name, "-path"));
    if (!is_existing_directory(directory)) refuse_run(messages::invalid_path);
    if (directory.back() != directory_separator()) directory += directory_separator();
}

void read_number(const numeric_option& option, const char* value) {
    if (const std::optional<std::uint32_t> read = number(value, option.minimum, option.maximum))
        *option.setting = *read;
    else
        refuse_run(format_text(messages::out_of_range, option.name, option.minimum, option.maximum));
}

// Sets the number of files that -fill asks for, from the free space now, and says it.
void apply_fill() {
    std::uint64_t free_bytes = 0;
    std::uint64_t size_bytes = 0;
    if (!free_space(parsed.target_directory, free_bytes) || !file_system_size(parsed.target_directory, size_bytes))
        refuse_run(format_text(messages::fill_unknown_space, parsed.target_directory.c_str()));
    const std::uint64_t file_bytes = test_file_bytes();
    const std::uint64_t files = files_per_worker_for_fill(parsed.fill_percent, free_bytes, size_bytes,
                                                          eviction_file_bytes(), file_bytes, parsed.worker_count);
    if (files == 0) {
        const std::string refusal =
            format_text(messages::fill_too_small, parsed.fill_percent, parsed.target_directory.c_str(),
                        static_cast<unsigned long long>(free_bytes / bytes_per_mib), parsed.worker_count);
        // The eviction file is named when it is what leaves no room, as the free-space check does.
        if (eviction_file_bytes() == 0 || files_per_worker_for_fill(parsed.fill_percent, free_bytes, size_bytes, 0,
                                                                    file_bytes, parsed.worker_count) == 0)
            refuse_run(refusal);
        print_error(refusal);
        print_on_own_line(format_text(messages::fill_eviction,
                                      static_cast<unsigned long long>(eviction_file_bytes() / bytes_per_mib),
                                      parsed.controller_cache_gib));
        end_process(1, refusal);
    }
    parsed.files_per_worker = static_cast<std::uint32_t>(std::min<std::uint64_t>(files, max_files_per_worker));
}

}  // namespace

std::uint64_t files_per_worker_for_fill(std::uint32_t percent, std::uint64_t free_bytes, std::uint64_t size_bytes,
                                        std::uint64_t eviction_bytes, std::uint64_t file_bytes,
                                        std::uint32_t worker_count) {
    const std::uint64_t margin = std::max<std::uint64_t>(64 * bytes_per_mib, size_bytes / 200);
    // A share of the free space, computed so that no product of two large sizes is formed.
    const std::uint64_t share = free_bytes / 100 * percent + free_bytes % 100 * percent / 100;
    if (share <= margin + eviction_bytes || file_bytes == 0) return 0;
    return (share - margin - eviction_bytes) / file_bytes / worker_count;
}

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

    bool files_per_worker_given = false;
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
        if ((is_path || file != nullptr) && !argument_carried_exactly(i))
            refuse_run(format_text(messages::unconvertible_name, is_path ? "-path" : file->name));
        if (is_path)
            read_path(value);
        else if (file != nullptr)
            *file->setting = value;
        else
            read_number(*option, value);
        files_per_worker_given = files_per_worker_given || (option != nullptr && option->setting == &parsed.files_per_worker);
    }

    parsed.blocks_per_file = parsed.file_mib * bytes_per_kib / parsed.block_kib;

    if (parsed.target_directory.empty()) refuse_run(messages::missing_path);
    if (parsed.fill_percent != 0 && files_per_worker_given) refuse_run(messages::fill_with_file_number);
    // With -clean the share is taken once the removed files' space is free again.
    if (!parsed.clean) settle_fill();
}

void settle_fill() {
    if (parsed.fill_percent != 0) apply_fill();
}
