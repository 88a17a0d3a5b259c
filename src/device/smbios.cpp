#include "device/smbios.hpp"

#include <algorithm>
#include <cstdint>

namespace {

constexpr std::size_t raw_header_bytes = 8;  // RawSMBIOSData before the table: versions and length
constexpr std::size_t structure_header_bytes = 4;  // type, length, handle
constexpr unsigned char system_information = 1;
constexpr unsigned char end_of_table = 127;
constexpr std::size_t manufacturer_offset = 4, product_offset = 5;

// String `number` (from 1) of the string set starting at `strings`, which ends at `end`.
std::optional<std::string> string_numbered(const std::vector<unsigned char>& table, std::size_t strings,
                                           std::size_t end, unsigned char number) {
    if (number == 0) return std::nullopt;
    std::size_t position = strings;
    for (unsigned char index = 1; position < end; ++index) {
        std::size_t stop = position;
        while (stop < end && table[stop] != 0) ++stop;
        if (stop == end || stop == position) return std::nullopt;
        if (index == number) {
            std::string text(table.begin() + static_cast<std::ptrdiff_t>(position),
                             table.begin() + static_cast<std::ptrdiff_t>(stop));
            text.erase(text.find_last_not_of(' ') + 1);
            return text.empty() ? std::nullopt : std::optional<std::string>(text);
        }
        position = stop + 1;
    }
    return std::nullopt;
}

// Where the structure's string set ends: after its two zero bytes; `end` when it runs off.
std::size_t end_of_strings(const std::vector<unsigned char>& table, std::size_t strings, std::size_t end) {
    for (std::size_t k = strings; k + 1 < end; ++k)
        if (table[k] == 0 && table[k + 1] == 0) return k + 2;
    return end;
}

}  // namespace

smbios_system parse_smbios_system(const std::vector<unsigned char>& raw_table) {
    smbios_system system;
    if (raw_table.size() < raw_header_bytes) return system;
    const std::uint32_t length = raw_table[4] | raw_table[5] << 8 | raw_table[6] << 16 |
                                 static_cast<std::uint32_t>(raw_table[7]) << 24;
    const std::size_t end = raw_header_bytes + std::min<std::size_t>(length, raw_table.size() - raw_header_bytes);
    for (std::size_t at = raw_header_bytes; at + structure_header_bytes <= end;) {
        const unsigned char type = raw_table[at];
        const std::size_t formatted = raw_table[at + 1];
        if (formatted < structure_header_bytes || at + formatted > end) break;
        const std::size_t strings = at + formatted;
        const std::size_t next = end_of_strings(raw_table, strings, end);
        if (type == system_information && formatted > product_offset) {
            system.manufacturer = string_numbered(raw_table, strings, next, raw_table[at + manufacturer_offset]);
            system.product = string_numbered(raw_table, strings, next, raw_table[at + product_offset]);
            return system;
        }
        if (type == end_of_table || next == end) break;
        at = next;
    }
    return system;
}
