// Notes for figures that would show memory speeds as the disk's; none of them stops the run.
#include "report/memory_notes.hpp"

#include <cstring>

#include "cluster/cluster.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "platform/file_system.hpp"
#include "platform/os_cache.hpp"
#include "platform/system_info.hpp"
#include "results/record.hpp"

namespace {

// With several ranks, rank 0 prints every rank's notes, each naming its rank and host.
void print_note(const run_record& results, std::uint32_t rank, const std::string& note) {
    if (!cluster_mode()) {
        print_on_own_line(note);
        return;
    }
    const std::string host = rank < results.ranks.size() ? results.ranks[rank].host : std::string();
    print_on_own_line(format_text(messages::rank_note_start, rank, host.c_str()) +
                      note.substr(std::strlen(messages::note_start)));
}

}  // namespace

void note_memory_file_system(const run_record& results, const std::string& directory) {
    if (!cluster_mode()) {
        file_system_type type;
        if (!file_system_of(directory, type)) return;
        const target_identity& target = results.measured.target;
        if (type.in_memory)
            print_note(results, 0, format_text(messages::memory_file_system, directory.c_str(), type.name.c_str()));
        else if (!target.memory_file_system.empty() && !target.layers.empty())
            print_note(results, 0,
                       format_text(messages::memory_file_system, directory.c_str(),
                                   format_text(messages::loop_in_memory, type.name.c_str(),
                                               target.layers.back().name.c_str(), target.memory_file_system.c_str())
                                       .c_str()));
        return;
    }
    for (std::uint32_t rank = 0; rank < results.ranks.size(); ++rank) {
        const rank_description& description = results.ranks[rank];
        if (description.in_memory)
            print_note(results, rank, format_text(messages::memory_file_system, description.path.c_str(),
                                         description.file_system.c_str()));
    }
}

void note_inherited_transforms(const run_record& results, const std::string& directory) {
    const volume_description volume = describe_volume(directory);
    if (volume.compressed) print_note(results, 0, format_text(messages::compressed_directory, directory.c_str()));
    if (volume.encrypted) print_note(results, 0, format_text(messages::encrypted_directory, directory.c_str()));
}

namespace {
// Each rank's share held, in whole percent, when more than 1 % is: below that, pages at the
// files' edges or read by another process mean nothing.
void note_shares(const run_record& results, const std::vector<cache_residency>& of_rank, const char* message) {
    for (std::uint32_t rank = 0; rank < of_rank.size(); ++rank) {
        const cache_residency& residency = of_rank[rank];
        if (residency.resident_pages * 100 <= residency.total_pages) continue;
        const std::uint64_t percent = residency.resident_pages * 100 / residency.total_pages;
        print_note(results, rank, format_text(message, static_cast<unsigned long long>(percent)));
    }
}
}  // namespace

void note_still_cached(const run_record& results, const std::vector<cache_residency>& of_rank) {
    note_shares(results, of_rank, messages::still_cached);
}

void note_cached_after_unbuffered_write(const run_record& results, const std::vector<cache_residency>& of_rank) {
    note_shares(results, of_rank, messages::direct_kept_cached);
}
