// The phase clock: monotonic microseconds, so that a clock change during a run cannot
// distort a figure.
#pragma once

#include <cstdint>

// Microseconds on the monotonic clock since an arbitrary origin.
std::int64_t now_us();

std::int64_t elapsed_us(std::int64_t start, std::int64_t end);
