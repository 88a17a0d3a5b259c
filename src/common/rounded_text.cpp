#include "common/rounded_text.hpp"

#include <cmath>
#include <cstddef>

#include "common/output.hpp"
#include "common/units.hpp"

std::string thousands(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string result;
    for (std::size_t k = 0; k < digits.size(); ++k) {
        if (k != 0 && (digits.size() - k) % 3 == 0) result += ',';
        result += digits[k];
    }
    return result;
}

std::string mb_per_second_text(double bytes_per_second) {
    const double mb = bytes_per_second / 1e6;
    if (std::round(mb) >= 100) return thousands(static_cast<std::uint64_t>(std::llround(mb / 10)) * 10);
    if (std::round(mb * 10) >= 100) return thousands(static_cast<std::uint64_t>(std::llround(mb)));
    return format_text("%.1f", mb);
}

std::string amount_text(std::uint64_t bytes, bool tenths_past_ten_gib) {
    const double gib = static_cast<double>(bytes) / static_cast<double>(bytes_per_gib);
    const auto whole_mib = static_cast<std::uint64_t>(std::llround(static_cast<double>(bytes) / bytes_per_mib));
    if (whole_mib < 1024) return thousands(whole_mib) + " MiB";
    const auto tenths = static_cast<std::uint64_t>(std::llround(gib * 10));
    if (tenths < 100 || tenths_past_ten_gib) return thousands(tenths / 10) + "." + std::to_string(tenths % 10) + " GiB";
    return thousands(static_cast<std::uint64_t>(std::llround(gib))) + " GiB";
}
