// The single-process body: this process is the whole run.
#include "cluster/cluster.hpp"

void cluster_start(int&, char**&, const stop_signal&) {}

bool cluster_mode() { return false; }

std::uint32_t cluster_rank() { return 0; }

std::uint32_t cluster_size() { return 1; }

bool is_printing_rank() { return true; }

std::vector<std::uint32_t> cluster_nodes() { return {0}; }

bool first_rank_on_node() { return true; }

bool cluster_barrier() { return true; }

bool cluster_gather(const std::vector<std::uint64_t>& mine, std::vector<std::uint64_t>& all) {
    all = mine;
    return true;
}

bool cluster_gather_text(const std::string& mine, std::vector<std::string>& all) {
    all = {mine};
    return true;
}

bool cluster_any(bool mine, bool& any) {
    any = mine;
    return true;
}

bool cluster_broadcast(std::uint64_t&) { return true; }

std::vector<removal_word> cluster_removal_words(const std::function<bool()>& remove) {
    return {remove() ? removal_word::removed : removal_word::some_left};
}

void cluster_agree_to_end() {}

void cluster_end(int, const std::string&) {}
