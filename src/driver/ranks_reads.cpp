#include "cluster/cluster.hpp"
#include "data/stamp.hpp"
#include "driver/driver.hpp"
#include "driver/ranks.hpp"
#include "run/file_name.hpp"

namespace {
// Every rank's writer prefixes in the pass, by rank.
std::vector<std::vector<std::string>> prefixes_of_rank;

bool same_directory(std::uint32_t rank, std::uint32_t other) {
    return current_run.ranks.empty() || current_run.ranks[rank].directory == current_run.ranks[other].directory;
}
}  // namespace

void share_prefixes(const std::vector<thread_param>& records) {
    std::string mine;
    for (const thread_param& record : records) mine += record.file_prefix + "\n";
    std::vector<std::string> all;
    if (!cluster_gather_text(mine, all)) stop_if_requested(records);
    prefixes_of_rank.assign(all.size(), {});
    writer_prefixes.clear();
    for (std::uint32_t rank = 0; rank < all.size(); ++rank) {
        for (std::size_t start = 0, end; (end = all[rank].find('\n', start)) != std::string::npos; start = end + 1)
            prefixes_of_rank[rank].push_back(all[rank].substr(start, end - start));
        if (!same_directory(cluster_rank(), rank)) continue;
        const std::size_t first_stream = std::size_t{rank} * streams_per_rank;
        writer_prefixes.resize(first_stream + prefixes_of_rank[rank].size());
        std::copy(prefixes_of_rank[rank].begin(), prefixes_of_rank[rank].end(), writer_prefixes.begin() + first_stream);
    }
}

void aim_readers(std::vector<thread_param>& records, bool with_cache) {
    const std::uint32_t rank = cluster_rank();
    const std::uint32_t source = with_cache || current_run.ranks.empty() ? rank : current_run.ranks[rank].reads_from;
    for (std::uint32_t t = 0; t < records.size(); ++t) {
        records[t].read_prefix = prefixes_of_rank[source][t];
        records[t].read_stream = source * streams_per_rank + t;
    }
}
