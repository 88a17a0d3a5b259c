#include "cluster/cluster.hpp"
#include "cluster/ranks.hpp"
#include "data/stamp.hpp"

namespace {
bool same_directory(const run_record& results, std::uint32_t rank, std::uint32_t other) {
    return results.ranks.empty() || results.ranks[rank].directory == results.ranks[other].directory;
}
}  // namespace

bool share_prefixes(run_state& run, const run_record& results, const std::vector<std::string>& mine) {
    std::string text;
    for (const std::string& prefix : mine) text += prefix + "\n";
    std::vector<std::string> all;
    if (!cluster_gather_text(text, all)) return false;
    run.prefixes_of_rank.assign(all.size(), {});
    run.writer_prefixes.clear();
    for (std::uint32_t rank = 0; rank < all.size(); ++rank) {
        std::vector<std::string>& prefixes = run.prefixes_of_rank[rank];
        for (std::size_t start = 0, end; (end = all[rank].find('\n', start)) != std::string::npos; start = end + 1)
            prefixes.push_back(all[rank].substr(start, end - start));
        if (!same_directory(results, cluster_rank(), rank)) continue;
        const std::size_t first_stream = std::size_t{rank} * streams_per_rank;
        run.writer_prefixes.resize(first_stream + prefixes.size());
        std::copy(prefixes.begin(), prefixes.end(), run.writer_prefixes.begin() + first_stream);
    }
    return true;
}

std::uint32_t read_source(const run_record& results, bool with_cache) {
    const std::uint32_t rank = cluster_rank();
    return with_cache || results.ranks.empty() ? rank : results.ranks[rank].reads_from;
}
