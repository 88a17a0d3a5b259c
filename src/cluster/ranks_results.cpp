#include <algorithm>

#include "cluster/cluster.hpp"
#include "cluster/ranks.hpp"
#include "common/rate.hpp"
#include "common/units.hpp"
#include "latency/stalls.hpp"

namespace {

// Every rank's histogram added up, and the longest of every rank's longest calls, each with
// its rank; a start stays on its own rank's clock, from its own start of the phase.
bool combine_latency(phase_latency& latency) {
    std::vector<std::uint64_t> mine = histogram_numbers(latency.histogram);
    mine.push_back(latency.stalls.size());
    for (std::size_t k = 0; k < kept_stalls; ++k)
        append_stall_numbers(mine, k < latency.stalls.size() ? latency.stalls[k] : stall_record{});
    std::vector<std::uint64_t> all;
    if (!cluster_gather(mine, all)) return false;
    latency.histogram = latency_histogram{};
    latency.stalls.clear();
    for (std::uint32_t rank = 0; rank < cluster_size(); ++rank) {
        const std::uint64_t* values = all.data() + rank * mine.size();
        add_histogram_numbers(latency.histogram, values);
        const std::uint64_t* stalls = values + histogram_number_count;
        for (std::uint64_t k = 0; k < stalls[0]; ++k)
            latency.stalls.push_back(stall_from_numbers(stalls + 1 + k * stall_number_count, rank));
    }
    keep_longest(latency.stalls);
    latency.summary = summarize(latency.histogram);
    return true;
}

}  // namespace

bool combine_ranks(figure_record& figure) {
    if (!cluster_mode()) return true;
    // The figure's part, then each worker's, in fields of these many values.
    constexpr std::size_t figure_fields = 3;
    constexpr std::size_t worker_fields = 5;
    std::vector<std::uint64_t> mine{figure.bytes, static_cast<std::uint64_t>(figure.elapsed_us), figure.cut_short};
    for (const worker_result& result : figure.workers)
        mine.insert(mine.end(), {result.bytes, static_cast<std::uint64_t>(result.elapsed_us), result.cut_short,
                                 result.stopped_file, result.stopped_offset});
    std::vector<std::uint64_t> all;
    if (!cluster_gather(mine, all)) return false;
    const std::size_t workers = figure.workers.size();
    figure.workers.clear();
    figure.series = series_record{};
    figure.bytes = 0;
    figure.elapsed_us = 0;
    figure.first_done_us = INT64_MAX;
    for (std::uint32_t rank = 0; rank < cluster_size(); ++rank) {
        const std::uint64_t* values = all.data() + rank * mine.size();
        const rank_result part{values[0], static_cast<std::int64_t>(values[1])};
        figure.ranks.push_back(part);
        figure.bytes += part.bytes;
        figure.elapsed_us = std::max(figure.elapsed_us, part.elapsed_us);
        figure.first_done_us = std::min(figure.first_done_us, part.elapsed_us);
        figure.cut_short = figure.cut_short || values[2] != 0;
        for (std::uint32_t w = 0; w < workers; ++w) {
            const std::uint64_t* of_worker = values + figure_fields + worker_fields * w;
            figure.workers.push_back(worker_result{of_worker[0], static_cast<std::int64_t>(of_worker[1]), rank, w,
                                                   of_worker[2] != 0, static_cast<std::uint32_t>(of_worker[3]),
                                                   of_worker[4]});
        }
    }
    figure.kib_per_ms = rate_kib_per_ms(figure.bytes / bytes_per_kib, figure.elapsed_us);
    return combine_latency(figure.latency);
}

bool combine_residency(bool& known, cache_residency& residency, std::vector<cache_residency>& of_rank) {
    std::vector<std::uint64_t> all;
    if (!cluster_gather({known ? 1u : 0u, residency.resident_pages, residency.total_pages}, all)) return false;
    known = false;
    residency = cache_residency{};
    of_rank.assign(all.size() / 3, cache_residency{});
    for (std::size_t rank = 0; rank < of_rank.size(); ++rank) {
        if (all[rank * 3] == 0) continue;
        known = true;
        of_rank[rank] = cache_residency{all[rank * 3 + 1], all[rank * 3 + 2]};
        residency.resident_pages += of_rank[rank].resident_pages;
        residency.total_pages += of_rank[rank].total_pages;
    }
    return true;
}

bool first_error_of_ranks(run_record& results, std::string& error, std::string& host) {
    const mismatch_record mismatch = results.mismatch;
    std::string details;
    for (const std::string& line : mismatch.details) details += line + "\n";
    std::vector<std::string> errors, files, diagnoses, all_details;
    std::vector<std::uint64_t> numbers;
    constexpr std::size_t count = 6;
    if (!cluster_gather_text(error, errors) || !cluster_gather_text(mismatch.file, files) ||
        !cluster_gather_text(mismatch.diagnosis, diagnoses) || !cluster_gather_text(details, all_details) ||
        !cluster_gather({mismatch.found, mismatch.byte, mismatch.damage, mismatch.last_byte, mismatch.bits,
                         mismatch.may_go_on},
                        numbers))
        return false;
    for (std::uint32_t rank = 0; rank < errors.size(); ++rank) {
        if (errors[rank].empty()) continue;
        error = errors[rank];
        if (rank < results.ranks.size()) {
            results.error_rank = rank;
            host = results.ranks[rank].host;
        }
        const std::uint64_t* found = numbers.data() + count * rank;
        if (found[0] != 0) {
            std::vector<std::string> lines;
            for (std::size_t from = 0, end; (end = all_details[rank].find('\n', from)) != std::string::npos;
                 from = end + 1)
                lines.push_back(all_details[rank].substr(from, end - from));
            results.mismatch = {true,     files[rank], found[1], diagnoses[rank], found[2] != 0,
                                    found[3], found[4],    found[5] != 0, lines};
        }
        break;
    }
    return true;
}
