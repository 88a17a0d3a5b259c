// The run's settings: written by initialize_settings and parse_arguments before
// any worker exists, read-only afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

extern std::uint32_t block_size;    // KiB per block
extern std::uint32_t file_size;     // MiB asked per file
extern std::uint32_t blocks_per_file;  // blocks written per file
extern std::uint32_t file_number;   // files per worker
extern std::uint32_t thread_count;  // workers
extern std::uint32_t cache;         // controller cache in GiB, 0 = no eviction
extern std::string path;            // directory under test, ends with the separator
extern bool direct;                 // -direct: every read and write bypasses the OS cache

inline constexpr std::uint32_t bytes_per_kib = 1024;

// Bytes moved by one read or write call on a test file.
inline std::size_t bytes_per_block() { return std::size_t{block_size} * bytes_per_kib; }

// Seeds the generators, prints the banner and sets the defaults.
void initialize_settings();

// Prints the help or validates every option; returns only when all settings are valid.
void parse_arguments(int argc, char** argv);

// Prints `message` on a line of its own; ends the process with status 1 if `fatal`.
void report_error(bool fatal, const std::string& message);

// The text of a number as the options read it: strtod, truncated toward zero to signed
// 64 bits, low 32 bits kept; no number, NaN, infinities and out-of-range values give 0.
std::uint32_t number(const char* text);

void print_help();
