// The run's settings: written by initialize_settings and parse_arguments before
// any worker exists, read-only afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

extern std::uint32_t block_size;       // KiB per block
extern std::uint32_t file_size;        // MiB asked per file
extern std::uint32_t blocks_per_file;  // blocks written per file
extern std::uint32_t file_number;      // files per worker
extern std::uint32_t thread_count;     // workers
extern std::uint32_t cache;            // controller cache in GiB, 0 = no eviction
extern std::uint32_t repeat_count;     // passes
extern bool verify;                    // compare every byte read with what was written
extern std::string path;               // directory under test, ends with the separator
extern std::string json_path;          // the results file, empty for none
extern std::string html_path;          // the report page, empty for none
extern bool direct;                    // every read and write bypasses the OS cache

inline constexpr std::uint32_t bytes_per_kib = 1024;

// Bytes moved by one read or write call on a test file.
inline std::size_t bytes_per_block() { return std::size_t{block_size} * bytes_per_kib; }

// Seeds the generators and sets the defaults.
void initialize_settings();

// Prints the version line alone for a first argument -version; otherwise prints the banner,
// then the help or validates every option. Returns only when all settings are valid.
void parse_arguments(int argc, char** argv);

// The value of an option's text: decimal, hexadecimal or exponent form as strtod reads it,
// spaces around it aside, truncated toward zero; nothing when the text is not wholly a
// number or the value lies outside [minimum, maximum] (NaN and infinities included).
std::optional<std::uint32_t> number(const char* text, std::uint32_t minimum, std::uint32_t maximum);

void print_help();
