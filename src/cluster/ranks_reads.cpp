#include <sstream>

#include "cluster/cluster.hpp"
#include "cluster/ranks.hpp"
#include "data/stamp.hpp"

namespace {

bool same_directory(const run_record& results, std::uint32_t rank, std::uint32_t other) {
    return results.ranks.empty() || results.ranks[rank].directory == results.ranks[other].directory;
}

// A writer that made no file has no prefix: a word that no prefix is stands for it.
constexpr const char* no_prefix = "-";

// One line per writer: its prefix, its number of files and the bytes of its last.
std::string as_text(const std::vector<writer_files>& writers) {
    std::ostringstream text;
    for (const writer_files& writer : writers)
        text << (writer.prefix.empty() ? no_prefix : writer.prefix) << ' ' << writer.files << ' '
             << writer.last_file_bytes << '\n';
    return text.str();
}

std::vector<writer_files> from_text(const std::string& text) {
    std::vector<writer_files> writers;
    std::istringstream lines(text);
    writer_files writer;
    while (lines >> writer.prefix >> writer.files >> writer.last_file_bytes) {
        if (writer.prefix == no_prefix) writer.prefix.clear();
        writers.push_back(writer);
    }
    return writers;
}

}  // namespace

bool share_writer_files(run_state& run, const run_record& results, const std::vector<writer_files>& mine) {
    std::vector<std::string> all;
    if (!cluster_gather_text(as_text(mine), all)) return false;
    run.files_of_rank.assign(all.size(), {});
    run.writer_prefixes.clear();
    for (std::uint32_t rank = 0; rank < all.size(); ++rank) {
        // This rank's own writers keep what only this process knows: their files' identities.
        const std::vector<writer_files>& writers = run.files_of_rank[rank] =
            rank == cluster_rank() ? mine : from_text(all[rank]);
        if (!same_directory(results, cluster_rank(), rank)) continue;
        const std::size_t first_stream = std::size_t{rank} * streams_per_rank;
        run.writer_prefixes.resize(first_stream + writers.size());
        for (std::size_t w = 0; w < writers.size(); ++w) run.writer_prefixes[first_stream + w] = writers[w].prefix;
    }
    return true;
}

std::uint32_t read_source(const run_record& results, bool with_cache) {
    const std::uint32_t rank = cluster_rank();
    return with_cache || results.ranks.empty() ? rank : results.ranks[rank].reads_from;
}
