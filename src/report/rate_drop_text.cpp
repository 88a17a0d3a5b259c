#include "report/rate_drop_text.hpp"

#include <cmath>
#include <cstdint>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/units.hpp"
#include "report/page_text.hpp"

namespace {

constexpr double gib = 1073741824;

// To the nearest 10 from 100 MB/s, whole from 10, with one decimal below. The precision
// follows what the value rounds to: 99.7 reads "100" and 9.96 reads "10".
std::string mb_per_second_text(double bytes_per_second) {
    const double mb = bytes_per_second / 1e6;
    if (std::round(mb) >= 100) return grouped(static_cast<std::uint64_t>(std::llround(mb / 10)) * 10);
    if (std::round(mb * 10) >= 100) return grouped(static_cast<std::uint64_t>(std::llround(mb)));
    return format_text("%.1f", mb);
}

// GiB with one decimal from 1 GiB, whole MiB below.
std::string amount_text(std::uint64_t bytes) {
    const auto whole_mib = static_cast<std::uint64_t>(std::llround(static_cast<double>(bytes) / bytes_per_mib));
    if (whole_mib < 1024) return grouped(whole_mib) + " MiB";
    const auto tenths = static_cast<std::uint64_t>(std::llround(static_cast<double>(bytes) / gib * 10));
    return grouped(tenths / 10) + "." + std::to_string(tenths % 10) + " GiB";
}

}  // namespace

std::string rate_drop_sentence(const rate_drop& drop) {
    return format_text(messages::rate_drop, mb_per_second_text(drop.before_bytes_per_second).c_str(),
                       mb_per_second_text(drop.after_bytes_per_second).c_str(), amount_text(drop.at_bytes).c_str());
}
