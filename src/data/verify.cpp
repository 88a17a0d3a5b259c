#include "data/verify.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "run/file_name.hpp"

namespace {

// Foreign data differs from what was expected in about half its bits; corruption in few.
constexpr std::uint64_t corrupt_share_of_bits = 8;
// Enough lines to show a pattern of misplaced data without burying the error.
constexpr std::size_t max_listed_stretches = 8;

// The file the stamp says the sector was written to.
std::string written_file_name(const file_check& check, const sector_stamp& stamp) {
    const run_state& run = *check.run;
    if (stamp.stream == eviction_stream) return run.eviction_file_path;
    if (stamp.stream < run.writer_prefixes.size() && !run.writer_prefixes[stamp.stream].empty())
        return test_file_name(run.settings.target_directory, run.writer_prefixes[stamp.stream], stamp.file);
    return format_text(messages::unknown_writer_file, stamp.file, stamp.stream);
}

bool same_stamp(const sector_stamp& a, const sector_stamp& b) {
    return a.run == b.run && a.stream == b.stream && a.file == b.file && a.offset == b.offset;
}

unsigned long long as_ull(std::uint64_t value) { return static_cast<unsigned long long>(value); }

sector_stamp own_stamp(const file_check& check) {
    sector_stamp own = check.own;
    own.offset = check.sector;
    return own;
}

// What the sector being compared holds instead of what was written, from its stamp, or from
// the share of its bits that differ when it has the right stamp or none that can be read.
std::string sector_diagnosis(const file_check& check) {
    const sector_stamp own = own_stamp(check);
    if (check.sector_stamped && !same_stamp(check.sector_stamp_found, own)) {
        if (check.sector_stamp_found.run != own.run) return messages::earlier_run;
        return format_text(messages::written_elsewhere, written_file_name(check, check.sector_stamp_found).c_str(),
                           as_ull(check.sector_stamp_found.offset + (check.first_byte - check.sector)));
    }
    if (check.sector_stamped || check.sector_bits * corrupt_share_of_bits < check.sector_seen * 8)
        return check.sector_bits == 1 ? messages::one_bit_differs
                                      : format_text(messages::bits_differ, as_ull(check.sector_bits));
    return messages::no_data_of_this_run;
}

// Adds the whole sector being compared, whose stamp names another place, to the last stretch
// when it continues it there, else as a stretch of its own.
void add_foreign_sector(file_check& check) {
    const sector_stamp& found = check.sector_stamp_found;
    const std::uint64_t identity = check.own.run;
    const std::uint64_t last = check.sector + sector_bytes - 1;
    if (!check.foreign.empty()) {
        foreign_stretch& stretch = check.foreign.back();
        const bool adjacent = stretch.last + 1 == check.sector;
        const bool both_earlier = stretch.stamp.run != identity && found.run != identity;
        const bool continued = stretch.stamp.run == identity && found.run == identity &&
                               stretch.stamp.stream == found.stream && stretch.stamp.file == found.file &&
                               found.offset == stretch.stamp.offset + (check.sector - stretch.first);
        if (adjacent && (both_earlier || continued)) {
            stretch.last = last;
            return;
        }
    }
    check.foreign.push_back(foreign_stretch{check.sector, last, found});
}

void start_sector(file_check& check, std::uint64_t sector, const unsigned char* data, std::size_t available) {
    check.sector = sector;
    check.sector_seen = 0;
    check.sector_bits = 0;
    check.sector_stamped = available >= stamp_bytes && read_stamp(data, check.sector_stamp_found);
}

// Ends the whole sector being compared; false when it ends the damaged run: it matched, or it
// was the last the window holds.
bool end_sector(file_check& check) {
    if (check.sector_bits == 0) return false;
    if (check.diagnosis.empty()) check.diagnosis = sector_diagnosis(check);
    if (check.sector_stamped && !same_stamp(check.sector_stamp_found, own_stamp(check))) add_foreign_sector(check);
    check.sector_seen = 0;
    return check.sector + sector_bytes < check.window_end;
}

std::vector<std::string> detail_lines(const file_check& check, bool may_go_on) {
    std::vector<std::string> lines{check.bits == 1 ? format_text(messages::damage_extent_one_bit, as_ull(check.first_byte),
                                                                 as_ull(check.last_byte))
                                                   : format_text(messages::damage_extent, as_ull(check.first_byte),
                                                                 as_ull(check.last_byte), as_ull(check.bits))};
    if (may_go_on) lines.push_back(format_text(messages::damage_cut_short, as_ull(check.window_end - 1)));
    std::uint64_t unlisted = 0;
    for (std::size_t k = 0; k < check.foreign.size(); ++k) {
        const foreign_stretch& stretch = check.foreign[k];
        if (k >= max_listed_stretches) {
            unlisted += (stretch.last + 1 - stretch.first) / sector_bytes;
        } else if (stretch.stamp.run != check.own.run) {
            lines.push_back(format_text(messages::stretch_earlier_run, as_ull(stretch.first), as_ull(stretch.last)));
        } else {
            lines.push_back(format_text(messages::stretch_elsewhere, as_ull(stretch.first), as_ull(stretch.last),
                                        written_file_name(check, stretch.stamp).c_str(), as_ull(stretch.stamp.offset),
                                        as_ull(stretch.stamp.offset + (stretch.last - stretch.first))));
        }
    }
    if (unlisted == 1) lines.push_back(messages::stretch_more);
    if (unlisted > 1) lines.push_back(format_text(messages::stretches_more, as_ull(unlisted)));
    return lines;
}

void tell_damage(file_check& check, const std::string& name, bool may_go_on, mismatch_record& found) {
    found = mismatch_record{true, name, check.first_byte, check.diagnosis, true, check.last_byte, check.bits, may_go_on,
                            detail_lines(check, may_go_on)};
    check.damaged = false;
}

}  // namespace

std::uint64_t differing_bits(const unsigned char* data, const unsigned char* expected, std::size_t size) {
    std::uint64_t bits = 0;
    for (std::size_t k = 0; k < size; ++k) bits += std::popcount(static_cast<unsigned>(data[k] ^ expected[k]));
    return bits;
}

bool check_block(const data_pattern& pattern, const unsigned char* expected, file_check& check, std::uint32_t file,
                 std::uint64_t offset, const unsigned char* data, std::size_t size, const std::string& name,
                 mismatch_record& found) {
    std::uint64_t at = offset;
    if (!check.damaged) {
        if (std::memcmp(data, expected, size) == 0) return true;
        const run_state* run = check.run;
        check = file_check{};
        check.run = run;
        check.damaged = true;
        check.own = sector_stamp{pattern.identity, pattern.stream, file, 0};
        check.first_byte = offset + (std::mismatch(data, data + size, expected).first - data);
        check.sector = check.first_byte / sector_bytes * sector_bytes;
        check.window_end = check.sector + damage_window_bytes;
        if (check.sector < offset) {
            // The sector began in a block that matched, stamp included.
            check.sector_seen = offset - check.sector;
            check.sector_stamped = true;
            check.sector_stamp_found = own_stamp(check);
        } else {
            at = check.sector;
        }
    }
    const std::uint64_t end = offset + size;
    while (at < end) {
        const std::uint64_t sector = at / sector_bytes * sector_bytes;
        const std::size_t from = static_cast<std::size_t>(at - offset);
        if (at == sector) start_sector(check, sector, data + from, static_cast<std::size_t>(end - at));
        const std::size_t to = static_cast<std::size_t>(std::min(end, sector + sector_bytes) - offset);
        const std::uint64_t bits = differing_bits(data + from, expected + from, to - from);
        if (bits > 0) {
            std::size_t last = to - 1;
            while (data[last] == expected[last]) --last;
            check.last_byte = offset + last;
            check.bits += bits;
            check.sector_bits += bits;
        }
        check.sector_seen += to - from;
        at = offset + to;
        if (check.sector_seen == sector_bytes && !end_sector(check)) {
            // A sector that still differs is the window's last: the damage may go on.
            tell_damage(check, name, check.sector_bits > 0, found);
            return false;
        }
    }
    return true;
}

bool check_file_end(file_check& check, const std::string& name, std::uint64_t offset, std::uint64_t written,
                    mismatch_record& found, file_length length) {
    if (check.damaged) {
        // The file ended inside the first damaged sector: it is told from the part there is.
        if (check.sector_seen > 0 && check.sector_bits > 0 && check.diagnosis.empty())
            check.diagnosis = sector_diagnosis(check);
        tell_damage(check, name, false, found);
        return false;
    }
    if (length == file_length::goes_on) {
        found = mismatch_record{
            true, name, written, format_text(messages::file_goes_on, as_ull(written)), false, 0, 0, false, {}};
        return false;
    }
    if (offset >= written) return true;
    const std::string short_by = written - offset == 1 ? messages::file_ends_one_byte_early
                                                       : format_text(messages::file_ends_early, as_ull(written - offset));
    found = mismatch_record{true, name, offset, short_by, false, 0, 0, false, {}};
    return false;
}

std::string mismatch_message(const mismatch_record& mismatch) {
    std::string message =
        format_text(messages::data_differs, mismatch.file.c_str(), as_ull(mismatch.byte)) + mismatch.diagnosis;
    for (const std::string& line : mismatch.details) message += "\n" + line;
    return message;
}
