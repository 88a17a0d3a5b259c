// The run's settings: a value parse_arguments makes from the command line, which main keeps in
// the run and hands down; read-only once the run has it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "common/ending.hpp"
#include "common/units.hpp"

// The options as given, or their defaults (default_settings); the option of each is in the help.
struct run_settings {
    std::uint32_t block_kib = 0;             // -block
    std::uint32_t file_mib = 0;              // -file: asked per file
    std::uint32_t blocks_per_file = 0;       // whole blocks written per file
    std::uint32_t files_per_worker = 0;      // -file_number
    std::uint32_t worker_count = 0;          // -thread
    std::uint32_t controller_cache_gib = 0;  // -cache, 0 = no eviction
    std::uint32_t pass_count = 0;            // -repeat
    bool verify = false;                     // -verify: every byte read compared with what was written
    std::string target_directory;            // -path, ending with the separator
    std::string results_file;                // -json, empty for none
    std::string report_page;                 // -html, empty for none
    bool direct = false;                     // -direct: every read and write bypasses the OS cache
    std::uint32_t fill_percent = 0;          // -fill: share of the free space the test files take, 0 = off
    std::uint32_t phase_seconds = 0;         // -time: longest a phase may last, 0 = no limit
    bool latency = false;                    // -latency: the console tells what the calls took
    bool clean = false;                      // -clean: the files of runs that never removed them are removed
};

// Bytes moved by one read or write call on a test file.
inline std::size_t bytes_per_block(const run_settings& settings) {
    return std::size_t{settings.block_kib} * bytes_per_kib;
}

// -fill with -verify checks the capacity: every file is read to its end whatever it holds.
inline bool capacity_checked(const run_settings& settings) { return settings.fill_percent != 0 && settings.verify; }

// Bytes of one test file: its whole blocks.
inline std::uint64_t test_file_bytes(const run_settings& settings) {
    return std::uint64_t{settings.blocks_per_file} * bytes_per_block(settings);
}

// Bytes all workers' test files hold in one pass.
inline std::uint64_t bytes_per_pass(const run_settings& settings) {
    return test_file_bytes(settings) * settings.files_per_worker * settings.worker_count;
}

// Bytes of the eviction file, 0 with no eviction.
inline std::uint64_t eviction_file_bytes(const run_settings& settings) {
    return std::uint64_t{settings.controller_cache_gib} * bytes_per_gib;
}

// How parsing the command line ended: settings to run with, the version or the help printed
// (`status` says whether the standard output took them), or a run refused before any file
// exists, with the refusal, not yet printed.
enum class parse_end { run, printed, refused };
struct parsed_arguments {
    parse_end end = parse_end::run;
    int status = 0;
    run_refusal refusal;
    run_settings settings;
};

struct option_row;

// Every option at its default, as the option table `options` gives them; with none given, the
// program's own table.
run_settings default_settings(std::span<const option_row> options);
run_settings default_settings();

// Prints the version line alone for a first argument -version; otherwise prints the banner,
// then the help or validates every option, as the option table `options` has them; with
// -clean, -fill's number of files is left to settle_fill.
parsed_arguments parse_arguments(int argc, char** argv, std::span<const option_row> options);
// The same with the program's own option table.
parsed_arguments parse_arguments(int argc, char** argv);

// With -fill: sets the number of files from the free space now; the refusal when there is no room.
std::optional<run_refusal> settle_fill(run_settings& settings);

// The value of an option's text: decimal, hexadecimal or exponent form as strtod reads it,
// spaces around it aside, truncated toward zero; nothing when the text is not wholly a
// number or the value lies outside [minimum, maximum] (NaN and infinities included).
std::optional<std::uint32_t> number(const char* text, std::uint32_t minimum, std::uint32_t maximum);

// The help: a line for each option of `options`, with its default when the help shows it.
std::string help_text(std::span<const option_row> options);

// With -fill: the test files a worker writes so that all workers' files take `percent` % of
// `free_bytes`, less a margin (the larger of 64 MiB and 0.5 % of the file system's
// `size_bytes`) and less `eviction_bytes`; 0 when not one file each fits.
std::uint64_t files_per_worker_for_fill(std::uint32_t percent, std::uint64_t free_bytes, std::uint64_t size_bytes,
                                        std::uint64_t eviction_bytes, std::uint64_t file_bytes,
                                        std::uint32_t worker_count);
