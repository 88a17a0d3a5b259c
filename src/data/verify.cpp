#include "data/verify.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

#include "common/file_name.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/stop.hpp"
#include "data/stamp.hpp"
#include "results/record.hpp"

namespace {

// Foreign data differs from what was expected in about half its bits; corruption in few.
constexpr std::uint64_t corrupt_share_of_bits = 8;

std::uint64_t differing_bits(const unsigned char* data, const unsigned char* expected, std::size_t size) {
    std::uint64_t bits = 0;
    for (std::size_t k = 0; k < size; ++k) bits += std::popcount(static_cast<unsigned>(data[k] ^ expected[k]));
    return bits;
}

// The file the stamp says the sector was written to.
std::string written_file_name(const sector_stamp& stamp) {
    if (stamp.stream == eviction_stream) return eviction_file_path;
    if (stamp.stream < writer_prefixes.size() && !writer_prefixes[stamp.stream].empty())
        return test_file_name(writer_prefixes[stamp.stream], stamp.file);
    return format_text(messages::unknown_writer_file, stamp.file, stamp.stream);
}

bool same_stamp(const sector_stamp& a, const sector_stamp& b) {
    return a.run == b.run && a.stream == b.stream && a.file == b.file && a.offset == b.offset;
}

// What the sector holding byte `at` holds instead of what was written. The block read at
// `offset` holds that sector from `from` to `to`, and its stamp when the sector starts in it;
// otherwise the stamp was in an earlier block, which matched.
std::string diagnosis(const data_pattern& pattern, std::uint32_t file, std::uint64_t offset, std::uint64_t at,
                      const unsigned char* data, const unsigned char* expected, std::size_t size) {
    const std::uint64_t sector = at / sector_bytes * sector_bytes;
    const bool starts_here = sector >= offset;
    const std::size_t from = starts_here ? static_cast<std::size_t>(sector - offset) : 0;
    const std::size_t to = static_cast<std::size_t>(std::min<std::uint64_t>(size, sector + sector_bytes - offset));
    sector_stamp found;
    const bool stamped = starts_here && from + stamp_bytes <= size && read_stamp(data + from, found);
    if (stamped && !same_stamp(found, sector_stamp{pattern.identity, pattern.stream, file, sector})) {
        if (found.run != pattern.identity) return messages::earlier_run;
        return format_text(messages::written_elsewhere, written_file_name(found).c_str(),
                           static_cast<unsigned long long>(found.offset + (at - sector)));
    }
    // The right stamp, or a stamp damaged beyond reading: corruption, unless most bits differ.
    const std::uint64_t bits = differing_bits(data + from, expected + from, to - from);
    const bool stamp_intact = stamped || !starts_here;
    if (stamp_intact || bits * corrupt_share_of_bits < (to - from) * 8)
        return format_text(messages::bits_differ, static_cast<unsigned long long>(bits));
    return messages::no_data_of_this_run;
}

void report_mismatch(const std::string& name, std::uint64_t at, const std::string& why) {
    keep_first_mismatch(mismatch_record{true, name, at, why});
    report_fatal_error(format_text(messages::data_differs, name.c_str(), static_cast<unsigned long long>(at)) + why);
}

}  // namespace

bool check_block(data_pattern& pattern, std::uint32_t file, std::uint64_t offset, const unsigned char* data,
                 std::size_t size, const std::string& name) {
    const unsigned char* expected = pattern_block(pattern, file, offset);
    if (std::memcmp(data, expected, size) == 0) return true;
    const std::size_t first = static_cast<std::size_t>(std::mismatch(data, data + size, expected).first - data);
    report_mismatch(name, offset + first, diagnosis(pattern, file, offset, offset + first, data, expected, size));
    return false;
}

void report_short_file(const std::string& name, std::uint64_t offset, std::uint64_t missing) {
    report_mismatch(name, offset, format_text(messages::file_ends_early, static_cast<unsigned long long>(missing)));
}
