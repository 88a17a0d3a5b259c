// The units the figures and sizes are counted in.
#pragma once

#include <cstdint>

inline constexpr std::uint64_t bytes_per_kib = 1024;
inline constexpr std::uint64_t bytes_per_mib = 1024 * bytes_per_kib;
inline constexpr std::uint64_t bytes_per_gib = 1024 * bytes_per_mib;

inline constexpr std::int64_t one_second_us = 1000000;
