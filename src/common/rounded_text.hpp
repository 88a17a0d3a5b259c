// Rates and amounts rounded for people to read, as the notes and sentences on a phase's rate
// give them.
#pragma once

#include <cstdint>
#include <string>

// With a comma between thousands: 12,345.
std::string thousands(std::uint64_t value);

// In MB/s: to the nearest 10 from 100, whole from 10, with one decimal below. The precision
// follows what the value rounds to: 99.7 reads "100" and 9.96 reads "10".
std::string mb_per_second_text(double bytes_per_second);

// Whole MiB below 1 GiB, GiB with one decimal above; from 10 GiB whole GiB, unless
// `tenths_past_ten_gib`.
std::string amount_text(std::uint64_t bytes, bool tenths_past_ten_gib);
