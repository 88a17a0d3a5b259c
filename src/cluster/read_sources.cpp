#include "cluster/read_sources.hpp"

#include <algorithm>
#include <map>

std::vector<std::uint32_t> read_sources(const std::vector<std::uint32_t>& node_of_rank,
                                        const std::vector<std::uint32_t>& directory_of_rank) {
    std::vector<std::uint32_t> sources(node_of_rank.size());
    std::map<std::uint32_t, std::vector<std::uint32_t>> ranks_by_directory;
    for (std::uint32_t rank = 0; rank < node_of_rank.size(); ++rank)
        ranks_by_directory[directory_of_rank[rank]].push_back(rank);
    for (auto& [directory, ranks] : ranks_by_directory) {
        // Each node's ranks stand together; shifting by the largest node's size takes every
        // rank past the end of its own node's run, wrapping around, whenever that node holds
        // at most half of them.
        std::stable_sort(ranks.begin(), ranks.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return node_of_rank[a] < node_of_rank[b]; });
        std::map<std::uint32_t, std::size_t> node_sizes;
        std::size_t largest = 0;
        for (const std::uint32_t rank : ranks) largest = std::max(largest, ++node_sizes[node_of_rank[rank]]);
        for (std::size_t k = 0; k < ranks.size(); ++k) sources[ranks[k]] = ranks[(k + largest) % ranks.size()];
    }
    return sources;
}
