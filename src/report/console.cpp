#include "report/console.hpp"

#include <vector>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "report/latency_text.hpp"
#include "report/page_text.hpp"
#include "results/statistics.hpp"
#include "settings/settings.hpp"

std::string console_label_of(figure_kind kind) {
    return format_text(messages::console_label, messages::figure_labels[static_cast<int>(kind)]);
}

void print_result(figure_kind kind, std::uint64_t kib_per_ms) {
    print(messages::result, console_label_of(kind).c_str(), static_cast<unsigned long long>(kib_per_ms));
}

void print_slow_figure_note(const figure_record& figure) {
    if (figure.kib_per_ms != 0 || figure.bytes == 0 || figure.elapsed_us <= 0) return;
    const auto kb_per_second = static_cast<unsigned long long>(static_cast<double>(figure.bytes) * 1000 /
                                                               static_cast<double>(figure.elapsed_us));
    print_on_own_line(format_text(messages::under_one_mo, kb_per_second));
}

void print_latency_notes(figure_kind kind, const figure_record& figure) {
    const bool flush = kind == figure_kind::write_forced;
    const std::string calls = latency_note(figure.latency.summary, flush);
    if (!calls.empty()) print_on_own_line(calls);
    const std::string longest = stall_note(figure.latency.stalls, !figure.ranks.empty());
    if (!longest.empty()) print_on_own_line(longest);
}

void print_pass_heading(std::uint32_t pass, std::uint32_t pass_count) {
    print(messages::pass_heading, pass + 1, pass_count);
}

void print_medians(const run_record& run) {
    print(messages::medians_heading, static_cast<unsigned>(run.passes.size()));
    for (int kind = 0; kind < figure_count; ++kind) {
        std::vector<double> figures;
        for (const pass_record& pass : run.passes)
            figures.push_back(static_cast<double>(pass.figures[kind].kib_per_ms));
        const figure_statistics statistics = statistics_of(figures);
        print(messages::median_result, console_label_of(static_cast<figure_kind>(kind)).c_str(), static_cast<unsigned long long>(statistics.median),
              static_cast<unsigned long long>(statistics.minimum), static_cast<unsigned long long>(statistics.maximum));
    }
}

namespace {
// Decimal units with one decimal, as drives are sold: gigabytes, or megabytes below one.
std::string gigabytes(std::uint64_t bytes) {
    if (bytes < 1000000000) return format_text(messages::megabytes, static_cast<double>(bytes) / 1e6);
    return format_text(messages::gigabytes, static_cast<double>(bytes) / 1e9);
}
// A device whose addresses wrap gives back the last of what was written, as much as it holds,
// and the data that came back in place of earlier data was written that much later: the two
// agree when the data reached the device in the order written, as through the test files of a
// device alone, but not where a file system laid several files side by side.
bool distance_agrees(const capacity_record& capacity) {
    const std::uint64_t held = capacity.verified_bytes;
    const std::uint64_t distance = capacity.aliasing_distance;
    return (distance > held ? distance - held : held - distance) <= held / 8;
}
}  // namespace

std::string without_note_prefix(const std::string& note) {
    const std::string prefix = messages::note_start;
    return note.rfind(prefix, 0) == 0 ? note.substr(prefix.size()) : note;
}

std::string capacity_note(const capacity_record& capacity) {
    const std::string offered = gigabytes(capacity.offered_bytes);
    switch (capacity.kind) {
        case capacity_kind::wrapped:
            if (!distance_agrees(capacity))
                return format_text(messages::capacity_wrapped_unordered, gigabytes(capacity.verified_bytes).c_str(),
                                   offered.c_str());
            return format_text(messages::capacity_wrapped, gigabytes(capacity.verified_bytes).c_str(), offered.c_str(),
                               gigabytes(capacity.aliasing_distance).c_str());
        case capacity_kind::lost:
            return format_text(messages::capacity_short, gigabytes(capacity.verified_bytes).c_str(), offered.c_str());
        case capacity_kind::cut_short:
            return format_text(messages::capacity_cut_short, offered.c_str(), gigabytes(capacity.checked_bytes).c_str(),
                               gigabytes(capacity.verified_bytes).c_str());
        case capacity_kind::damaged: break;
    }
    const auto sectors = static_cast<unsigned long long>(capacity.bad_sectors);
    const auto bits = static_cast<unsigned long long>(capacity.bits_differ);
    const std::string damaged = sectors == 1 ? messages::one_sector : format_text(messages::sectors, sectors);
    const std::string differ = sectors != 1 ? format_text(messages::bits_in_them, bits)
                               : bits == 1  ? messages::one_bit_in_it
                                            : format_text(messages::bits_in_it, bits);
    return format_text(messages::capacity_damaged, damaged.c_str(), offered.c_str(), differ.c_str());
}

void note_capacity(const capacity_record& capacity) { print_on_own_line(capacity_note(capacity)); }

void note_fill(const run_settings& settings) {
    const std::uint64_t files = std::uint64_t{settings.files_per_worker} * settings.worker_count;
    const std::uint64_t file_bytes = test_file_bytes(settings);
    const std::string all = binary_size(files * file_bytes);
    if (files == 1) {
        print_on_own_line(format_text(messages::fill_note_one_file, settings.fill_percent, all.c_str()));
        return;
    }
    print_on_own_line(format_text(messages::fill_note, settings.fill_percent, all.c_str(),
                                  static_cast<unsigned long long>(files), settings.files_per_worker,
                                  binary_size(file_bytes).c_str()));
}
