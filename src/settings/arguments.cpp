#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <optional>

#include "common/ending.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "platform/command_line.hpp"
#include "platform/directory.hpp"
#include "platform/file_system.hpp"
#include "settings/options.hpp"
#include "settings/settings.hpp"

namespace {

bool is_help_flag(const char* argument) {
    for (const char* flag : {"-?", "--?", "/?", "-help", "--help"})
        if (std::strcmp(argument, flag) == 0) return true;
    return false;
}

bool is_version_flag(const char* argument) {
    return compare_ignoring_case(argument, "-version") == 0 || compare_ignoring_case(argument, "--version") == 0;
}

// After the version or the help: only a standard output that took nothing makes it a failure.
parsed_arguments printed() {
    parsed_arguments parsed;
    parsed.end = parse_end::printed;
    parsed.status = output_failed() ? 1 : 0;
    return parsed;
}

// The settings read so far are kept: quorlane-mpi names a refusing rank's -path when it has one.
parsed_arguments refused(parsed_arguments parsed, run_refusal refusal) {
    parsed.end = parse_end::refused;
    parsed.status = 1;
    parsed.refusal = std::move(refusal);
    return parsed;
}

// Stores the option's value; the refusal's message when the value can't be taken.
std::optional<std::string> read_value(const option_row& option, const char* value, run_settings& settings) {
    switch (option.value) {
        case option_value::directory: {
            std::string& directory = settings.*option.text;
            directory = resolved_directory(value);
            if (directory.empty() && value[0] != '\0') return format_text(messages::unconvertible_name, option.name);
            if (!is_existing_directory(directory)) return messages::invalid_path;
            if (directory.back() != directory_separator()) directory += directory_separator();
            return std::nullopt;
        }
        case option_value::file_name: settings.*option.text = value; return std::nullopt;
        case option_value::number:
            if (const std::optional<std::uint32_t> read = number(value, option.minimum, option.maximum)) {
                settings.*option.number = *read;
                return std::nullopt;
            }
            return format_text(messages::out_of_range, option.name, option.minimum, option.maximum);
        case option_value::none:
        case option_value::first_argument: break;
    }
    return std::nullopt;
}

// Sets the number of files that -fill asks for, from the free space now; the refusal when it
// can't.
std::optional<run_refusal> apply_fill(run_settings& settings) {
    std::uint64_t free_bytes = 0;
    std::uint64_t size_bytes = 0;
    if (!free_space(settings.target_directory, free_bytes) || !file_system_size(settings.target_directory, size_bytes))
        return run_refusal{format_text(messages::fill_unknown_space, settings.target_directory.c_str()), ""};
    const std::uint64_t file_bytes = test_file_bytes(settings);
    const std::uint64_t eviction_bytes = eviction_file_bytes(settings);
    const std::uint64_t files = files_per_worker_for_fill(settings.fill_percent, free_bytes, size_bytes, eviction_bytes,
                                                          file_bytes, settings.worker_count);
    if (files == 0) {
        const std::string refusal =
            format_text(messages::fill_too_small, settings.fill_percent, settings.target_directory.c_str(),
                        static_cast<unsigned long long>(free_bytes / bytes_per_mib), settings.worker_count);
        // The eviction file is named when it is what leaves no room, as the free-space check does.
        if (eviction_bytes == 0 || files_per_worker_for_fill(settings.fill_percent, free_bytes, size_bytes, 0,
                                                             file_bytes, settings.worker_count) == 0)
            return run_refusal{refusal, ""};
        return run_refusal{refusal, format_text(messages::fill_eviction,
                                                static_cast<unsigned long long>(eviction_bytes / bytes_per_mib),
                                                settings.controller_cache_gib)};
    }
    const std::uint32_t most_files = option_named(option_table(), "-file_number")->maximum;
    settings.files_per_worker = static_cast<std::uint32_t>(std::min<std::uint64_t>(files, most_files));
    return std::nullopt;
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

parsed_arguments parse_arguments(int argc, char** argv) { return parse_arguments(argc, argv, option_table()); }

parsed_arguments parse_arguments(int argc, char** argv, std::span<const option_row> options) {
    if (argc > 1 && is_version_flag(argv[1])) {
        print(messages::version_line, QUORLANE_VERSION);
        return printed();
    }
    print(messages::version_line, QUORLANE_VERSION);
    print(messages::blank_line);

    if (argc > 1 && is_help_flag(argv[1])) {
        print("%s", help_text(options).c_str());
        return printed();
    }

    parsed_arguments parsed;
    run_settings& settings = parsed.settings;
    settings = default_settings(options);
    bool files_per_worker_given = false;
    // An option takes the next argument as its value, which is never looked at as an option
    // itself; anything else is ignored, but said so: a mistyped name would otherwise run quietly
    // with the default.
    for (int i = 1; i < argc; ++i) {
        const option_row* option = option_named(options, argv[i]);
        if (option == nullptr) {
            print_on_own_line(format_text(messages::ignored_argument, argv[i]));
            continue;
        }
        if (option->value == option_value::none) {
            settings.*option->turned_on = true;
            continue;
        }
        // An empty file name would quietly mean no file at all.
        if (i + 1 >= argc || (option->value == option_value::file_name && argv[i + 1][0] == '\0'))
            return refused(std::move(parsed), {format_text(messages::missing_value, argv[i]), ""});
        // A name Windows holds but UTF-8 can't carry would reach another file than the one named.
        const bool names_a_file = option->value == option_value::directory || option->value == option_value::file_name;
        if (names_a_file && !argument_carried_exactly(i + 1))
            return refused(std::move(parsed), {format_text(messages::unconvertible_name, option->name), ""});
        if (std::optional<std::string> refusal = read_value(*option, argv[++i], settings))
            return refused(std::move(parsed), {std::move(*refusal), ""});
        files_per_worker_given = files_per_worker_given || option->number == &run_settings::files_per_worker;
    }

    settings.blocks_per_file = settings.file_mib * bytes_per_kib / settings.block_kib;

    if (settings.target_directory.empty()) return refused(std::move(parsed), {messages::missing_path, ""});
    if (settings.fill_percent != 0 && files_per_worker_given)
        return refused(std::move(parsed), {messages::fill_with_file_number, ""});
    // With -clean the share is taken once the removed files' space is free again.
    if (!settings.clean)
        if (std::optional<run_refusal> refusal = settle_fill(settings)) return refused(std::move(parsed), std::move(*refusal));
    return parsed;
}

std::optional<run_refusal> settle_fill(run_settings& settings) {
    if (settings.fill_percent == 0) return std::nullopt;
    return apply_fill(settings);
}
