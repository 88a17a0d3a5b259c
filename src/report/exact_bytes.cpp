#include "report/exact_bytes.hpp"

namespace {

// The bytes after a lead byte, 0 when it leads nothing; overlong forms, surrogates and
// code points above U+10FFFF are not UTF-8 either.
int continuation_count(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 1;
    if (lead >= 0xE0 && lead <= 0xEF) return 2;
    if (lead >= 0xF0 && lead <= 0xF4) return 3;
    return 0;
}

bool second_byte_allowed(unsigned char lead, unsigned char second) {
    if (lead == 0xE0) return second >= 0xA0;
    if (lead == 0xED) return second <= 0x9F;
    if (lead == 0xF0) return second >= 0x90;
    if (lead == 0xF4) return second <= 0x8F;
    return true;
}

}  // namespace

bool is_utf8(const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[at]);
        if (lead < 0x80) {
            ++at;
            continue;
        }
        const int following = continuation_count(lead);
        if (following == 0 || at + following >= text.size()) return false;
        for (int k = 1; k <= following; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[at + k]);
            if ((next & 0xC0) != 0x80 || (k == 1 && !second_byte_allowed(lead, next))) return false;
        }
        at += following + 1;
    }
    return true;
}

std::string percent_encoded(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : bytes) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '%') {
            encoded += c;
            continue;
        }
        encoded += '%';
        encoded += digits[byte >> 4];
        encoded += digits[byte & 0x0F];
    }
    return encoded;
}
