#include <cstdlib>

#include "cache/cache.hpp"
#include "cluster/cluster.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/stop.hpp"
#include "driver/driver.hpp"
#include "driver/ranks.hpp"
#include "platform/file_io.hpp"
#include "platform/interruption.hpp"
#include "run/file_name.hpp"
#include "run/write_handles.hpp"
#include "settings/settings.hpp"

std::vector<std::string> run_files(const std::vector<thread_param>& records) {
    std::vector<std::string> files;
    if (eviction_file_created) files.push_back(eviction_file_path);
    for (std::uint32_t t = 0; t < records.size(); ++t)
        for (std::uint32_t index = 0; index < files_created[t]; ++index)
            files.push_back(test_file_name(records[t].file_prefix, index));
    return files;
}

std::vector<std::string> read_files(const std::vector<thread_param>& records) {
    std::vector<std::string> files;
    if (eviction_file_created) files.push_back(eviction_file_path);
    for (const thread_param& record : records)
        for (std::uint32_t index = 0; index < settings.files_per_worker; ++index)
            files.push_back(test_file_name(record.read_prefix, index));
    return files;
}

namespace {

// With several ranks the failure is also this rank's error, for rank 0 to report.
bool remove_run_file(const std::string& name, const std::string& failure_message) {
    std::string reason;
    if (remove_file(name, reason)) return true;
    print("%s", failure_message.c_str());
    print(messages::file_detail, name.c_str(), reason.c_str());
    print("\n");
    if (cluster_mode())
        record_fatal_error(failure_message + format_text(messages::file_detail, name.c_str(), reason.c_str()));
    return false;
}

// What rank 0 can say of every rank's files: a rank that never answered, killed or on a node
// that went down, may have left its own, named with its directory where that is known.
std::string interruption_line(const std::vector<removal_word>& words) {
    std::string unanswered;
    bool some_left = false;
    for (std::uint32_t rank = 0; rank < words.size(); ++rank) {
        some_left = some_left || words[rank] == removal_word::some_left;
        if (words[rank] != removal_word::no_answer) continue;
        unanswered += rank < current_run.ranks.size()
                          ? format_text(messages::unanswered_rank, rank, current_run.ranks[rank].host.c_str(),
                                        current_run.ranks[rank].path.c_str())
                          : format_text(messages::unanswered_rank_unplaced, rank);
    }
    if (!unanswered.empty()) return messages::interruption_answered + unanswered + ".";
    return some_left ? messages::interruption_incomplete : messages::interruption;
}

// An interruption ends each rank at once, without waiting for any other's collective step:
// mpirun interrupts them all, and kills what is still running once one rank has ended.
[[noreturn]] void end_interrupted(const std::vector<thread_param>& records) {
    const std::string error = recorded_fatal_error();
    if (!error.empty()) print_error(error);
    const std::string line = interruption_line(cluster_removal_words([&records] { return remove_run_files(records); }));
    print_on_own_line(line);
    end_process(interruption_status(), line);
}

}  // namespace

bool remove_run_files(const std::vector<thread_param>& records) {
    removal_starting();
    bool all_removed = true;
    // A file still open can't be removed everywhere; whatever the flush did not reach is
    // closed first.
    settle_flush();
    for (os_file& handle : write_handles) {
        std::string ignored;
        if (handle != no_file) close_file(handle, ignored);
        handle = no_file;
    }
    if (eviction_file_created) {
        all_removed = remove_run_file(eviction_file_path, messages::eviction_removal);
        eviction_file_created = false;
    }
    for (std::uint32_t t = 0; t < records.size(); ++t) {
        for (std::uint32_t index = 0; index < files_created[t]; ++index) {
            const std::string name = test_file_name(records[t].file_prefix, index);
            if (!remove_run_file(name, format_text(messages::test_file_removal, name.c_str(), index)))
                all_removed = false;
        }
        files_created[t] = 0;
    }
    removal_finished(stop_requested.load());
    return all_removed;
}

void stop_if_requested(const std::vector<thread_param>& records) {
    bool any = stop_requested.load();
    if (interruption_status() == 0) cluster_any(any, any);
    if (interruption_status() != 0) end_interrupted(records);
    if (!any) return;
    std::string error = recorded_fatal_error();
    std::string host;
    if (!first_error_of_ranks(error, host)) end_interrupted(records);
    print_error(error);
    if (current_run.error_rank >= 0)
        print_on_own_line(format_text(messages::error_rank, static_cast<unsigned>(current_run.error_rank),
                                      cluster_size(), host.c_str()));
    remove_run_files(records);
    cluster_agree_to_end();
    end_process(1, error);
}

void wait_for_every_rank(const std::vector<thread_param>& records) {
    if (!cluster_barrier()) end_interrupted(records);
}
