#include <algorithm>
#include <functional>

#include "cluster/cluster.hpp"
#include "cluster/ranks.hpp"
#include "cluster/read_sources.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/random.hpp"
#include "platform/file_system.hpp"
#include "platform/system_info.hpp"
#include "run/limits.hpp"
#include "run/run_file.hpp"
#include "settings/options.hpp"
#include "settings/settings.hpp"

namespace {

constexpr std::uint32_t unassigned = UINT32_MAX;

// A rank reads another's files with its own settings: the options the table says the ranks
// agree on must be the same everywhere, compared with rank 0's.
bool agree_on_settings(run_state& run) {
    const run_settings& settings = run.settings;
    std::vector<std::uint64_t> mine;
    std::vector<const option_row*> texts;
    for (const option_row& row : option_table()) {
        if (!row.ranks_agree) continue;
        if (row.number != nullptr) mine.push_back(settings.*row.number);
        if (row.turned_on != nullptr) mine.push_back(settings.*row.turned_on ? 1u : 0u);
        if (row.text != nullptr) texts.push_back(&row);
    }
    std::vector<std::uint64_t> all;
    if (!cluster_gather(mine, all)) return false;
    bool differ = !std::equal(mine.begin(), mine.end(), all.begin());
    for (const option_row* row : texts) {
        std::vector<std::string> of_rank;
        if (!cluster_gather_text(settings.*row->text, of_rank)) return false;
        differ = differ || settings.*row->text != of_rank[0];
    }
    if (differ) record_fatal_error(run, messages::ranks_differ);
    // Ranks that share a directory would each take the share asked of its free space.
    if (settings.fill_percent != 0) record_fatal_error(run, messages::fill_with_ranks);
    return true;
}

// The data's seed is rank 0's, so that any rank can make again what another wrote; the names'
// letters mix this rank's own seed with its rank and host, so that no two ranks draw alike.
bool share_seed(run_state& run, const std::string& host) {
    const std::uint64_t own = run.seed;
    if (!cluster_broadcast(run.seed)) return false;
    seed_names(mix64(own ^ mix64(cluster_rank() + 1)) ^ mix64(std::hash<std::string>{}(host)));
    return true;
}

// The marker of a round: the same name on every rank, drawn from the shared seed.
std::string marker_name(std::uint64_t run_seed, std::uint32_t round) {
    byte_generator generator = generator_for(run_seed, round);
    unsigned char letters[8];
    fill_random(generator, letters, sizeof letters);
    std::string name = "vellumcrate_share";
    for (const unsigned char letter : letters) name += static_cast<char>('a' + letter % 26);
    return name;
}

// Which ranks share a directory, by looking: each round, the lowest rank not yet placed
// creates a marker file, and the ranks not yet placed that see it share its directory. One
// round per distinct directory; a path's text says nothing, since a node may mount a share
// anywhere. Each rank is given the lowest rank of its directory; false when cut short.
bool find_directories(run_state& run, std::vector<std::uint32_t>& directory) {
    const std::uint32_t rank = cluster_rank();
    directory.assign(cluster_size(), unassigned);
    for (std::uint32_t round = 0;; ++round) {
        const auto first = std::find(directory.begin(), directory.end(), unassigned);
        if (first == directory.end()) return true;
        const auto creator = static_cast<std::uint32_t>(first - directory.begin());
        const std::string name = marker_name(run.seed, round);
        std::string ignored;
        os_file handle = no_file;
        file_identity identity;
        const bool created = rank == creator && create_run_file(run, name, messages::write_open, handle, identity);
        if (created) close_file(handle, ignored);
        const bool waited = cluster_barrier();
        bool sees = false;
        if (waited && directory[rank] == unassigned &&
            open_for_reading(run.directory, directory_entry{name, unknown_identity}, file_caching::os_cache, handle,
                             ignored) == opening::opened) {
            sees = true;
            close_file(handle, ignored);
        }
        std::vector<std::uint64_t> seen;
        const bool gathered = waited && cluster_gather({sees ? 1u : 0u}, seen);
        if (created) remove_file(run.directory, name, ignored);
        if (!gathered) return false;
        for (std::uint32_t other = 0; other < seen.size(); ++other)
            if (seen[other] != 0) directory[other] = creator;
        directory[creator] = creator;
    }
}

// Open files are each process's own. Free space is each directory's: the lowest rank of a
// directory checks it against the files of every rank there, eviction files included.
bool check_rank_limits(run_state& run, const std::vector<std::uint32_t>& directory) {
    const run_settings& settings = run.settings;
    const std::string refusal = open_files_refusal(settings);
    if (!refusal.empty()) record_fatal_error(run, refusal);
    file_system_type type;
    const std::string size_refusal = file_system_of(settings.target_directory, type)
                                         ? file_size_refusal(settings, settings.target_directory, type.name)
                                         : std::string();
    if (!size_refusal.empty()) record_fatal_error(run, size_refusal);
    std::uint64_t free_bytes = 0;
    const bool known = free_space(settings.target_directory, free_bytes);
    std::vector<std::uint64_t> all;
    if (!cluster_gather(
            {bytes_needed(settings, first_rank_on_node() ? eviction_file::counted : eviction_file::left_out),
             free_bytes, known ? 1u : 0u},
            all))
        return false;
    const std::uint32_t rank = cluster_rank();
    if (directory[rank] != rank || !known) return true;
    std::uint64_t needed = 0;
    for (std::uint32_t other = 0; other < directory.size(); ++other)
        if (directory[other] == rank) needed += all[std::size_t{other} * 3];
    if (needed > free_bytes) record_fatal_error(run, space_refusal(needed, free_bytes));
    return true;
}

}  // namespace

std::string settle_refusals(run_record& results, const std::string& directory, const std::string& mine) {
    // No interruption handler is installed yet: nothing cuts these gathers short.
    std::vector<std::string> refusals, hosts, paths;
    cluster_gather_text(mine, refusals);
    cluster_gather_text(describe_host().name, hosts);
    cluster_gather_text(directory, paths);
    const auto first =
        std::find_if(refusals.begin(), refusals.end(), [](const std::string& text) { return !text.empty(); });
    if (first == refusals.end()) return std::string();
    const auto rank = static_cast<std::uint32_t>(first - refusals.begin());
    // A rank's own refusal is printed as it is met; only rank 0's output is seen.
    if (rank != cluster_rank()) print_on_own_line(*first);
    const std::string& where = paths[rank];
    print_on_own_line(
        where.empty() ? format_text(messages::error_rank, rank, cluster_size(), hosts[rank].c_str())
                      : format_text(messages::refusal_rank, rank, cluster_size(), hosts[rank].c_str(), where.c_str()));
    results.error_rank = rank;
    cluster_agree_to_end();
    return *first;
}

bool prepare_ranks(run_state& run, run_record& results) {
    const run_settings& settings = run.settings;
    std::vector<rank_description>& ranks = results.ranks;
    const std::string host = describe_host().name;
    file_system_type type;
    if (!file_system_of(settings.target_directory, type)) type = file_system_type{};
    std::vector<std::string> hosts, paths, types;
    std::vector<std::uint64_t> in_memory;
    if (!cluster_gather_text(host, hosts) || !cluster_gather_text(settings.target_directory, paths) ||
        !cluster_gather_text(type.name, types) || !cluster_gather({type.in_memory ? 1u : 0u}, in_memory))
        return false;
    const std::vector<std::uint32_t> nodes = cluster_nodes();
    ranks.assign(cluster_size(), rank_description{});
    for (std::uint32_t rank = 0; rank < cluster_size(); ++rank) {
        ranks[rank].host = hosts[rank];
        ranks[rank].path = paths[rank];
        ranks[rank].node = nodes[rank];
        ranks[rank].file_system = types[rank];
        ranks[rank].in_memory = in_memory[rank] != 0;
    }
    std::vector<std::uint32_t> directory;
    if (!agree_on_settings(run) || !share_seed(run, host) || !find_directories(run, directory) ||
        !check_rank_limits(run, directory))
        return false;
    const std::vector<std::uint32_t> sources = read_sources(nodes, directory);
    for (std::uint32_t rank = 0; rank < cluster_size(); ++rank) {
        ranks[rank].directory = directory[rank];
        ranks[rank].reads_from = sources[rank];
    }
    return true;
}

void note_ranks(const run_record& results, std::uint32_t worker_count) {
    std::uint32_t nodes = 0;
    for (const rank_description& rank : results.ranks) nodes = std::max(nodes, rank.node + 1);
    print_on_own_line(format_text(messages::ranks_note, cluster_size(), nodes, worker_count));
}
