#include "report/page_text.hpp"

#include <cmath>
#include <cstdio>

#include "report/exact_bytes.hpp"

std::string html_escape(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char character : visible_text(text)) {
        switch (character) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            case '\'': escaped += "&#39;"; break;
            default: escaped += character;
        }
    }
    return escaped;
}

namespace {

std::string grouped_digits(const std::string& digits) {
    std::string result;
    for (std::size_t k = 0; k < digits.size(); ++k) {
        if (k != 0 && (digits.size() - k) % 3 == 0) result += ',';
        result += digits[k];
    }
    return result;
}

}  // namespace

std::string grouped(std::uint64_t value) { return grouped_digits(std::to_string(value)); }

std::string grouped(double value, int decimals) {
    if (!std::isfinite(value)) return "-";
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(std::fabs(value) * scale);
    // Past what an integer holds, the digits as printf gives them, grouped all the same.
    if (rounded / scale >= 1e18) {
        char digits[400];
        std::snprintf(digits, sizeof digits, "%.0f", std::fabs(value));
        std::string result = value < 0 ? "-" : "";
        return result + grouped_digits(digits);
    }
    const auto whole = static_cast<std::uint64_t>(rounded / scale);
    std::string result;
    if (value < 0 && rounded != 0) result = "-";
    result += grouped(whole);
    if (decimals > 0) {
        char fraction[32];
        std::snprintf(fraction, sizeof fraction, ".%0*llu", decimals,
                      static_cast<unsigned long long>(rounded - static_cast<double>(whole) * scale));
        result += fraction;
    }
    return result;
}

std::string binary_size(std::uint64_t bytes) {
    const char* const units[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 4) {
        value /= 1024;
        ++unit;
    }
    if (unit == 0 || value == std::floor(value)) return grouped(value, 0) + " " + units[unit];
    // One decimal, or more where one would show a size that is not whole as whole (63.96 MiB
    // is not 64.0).
    int decimals = 1;
    while (decimals < 3 && static_cast<std::uint64_t>(std::round(value * std::pow(10, decimals))) % 10 == 0) ++decimals;
    return grouped(value, decimals) + " " + units[unit];
}
