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

// The length of the UTF-8 character at `at`, 0 when the byte there begins none.
std::size_t character_length(const std::string& text, std::size_t at) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return 1;
    const int following = continuation_count(lead);
    if (following == 0 || at + following >= text.size()) return 0;
    for (int k = 1; k <= following; ++k) {
        const unsigned char next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80 || (k == 1 && !second_byte_allowed(lead, next))) return 0;
    }
    return static_cast<std::size_t>(following) + 1;
}

const char hex_digits[] = "0123456789ABCDEF";

int hex_value(char digit) {
    for (int value = 0; value < 16; ++value)
        if (hex_digits[value] == digit) return value;
    return -1;
}

void add_hex(std::string& text, const char* prefix, unsigned char byte) {
    text += prefix;
    text += hex_digits[byte >> 4];
    text += hex_digits[byte & 0x0F];
}

}  // namespace

bool is_utf8(const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = character_length(text, at);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

std::string percent_encoded(const std::string& bytes) {
    std::string encoded;
    for (const char c : bytes) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '%')
            encoded += c;
        else
            add_hex(encoded, "%", byte);
    }
    return encoded;
}

bool percent_decoded(const std::string& encoded, std::string& bytes) {
    bytes.clear();
    for (std::size_t at = 0; at < encoded.size(); ++at) {
        const unsigned char byte = static_cast<unsigned char>(encoded[at]);
        if (byte < 0x20 || byte >= 0x7F) return false;
        if (byte != '%') {
            bytes += encoded[at];
            continue;
        }
        if (encoded.size() - at < 3) return false;
        const int high = hex_value(encoded[at + 1]), low = hex_value(encoded[at + 2]);
        if (high < 0 || low < 0) return false;
        bytes += static_cast<char>(high * 16 + low);
        at += 2;
    }
    return true;
}

std::string visible_text(const std::string& text) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = character_length(text, at);
        const unsigned char lead = static_cast<unsigned char>(text[at]);
        if (length == 0 || (length == 1 && (lead < 0x20 || lead == 0x7F))) {
            add_hex(shown, "\\x", lead);
            ++at;
        } else if (length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0) {
            add_hex(shown, "\\u00", static_cast<unsigned char>(text[at + 1]));
            at += 2;
        } else {
            shown.append(text, at, length);
            at += length;
        }
    }
    return shown;
}
