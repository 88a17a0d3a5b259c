// Runs the benchmark: for each pass, eviction file, write phase, flush pass, two read phases
// with the purge between them, then removal of every file the pass created; with several
// passes, their medians at the end. Built twice: quorlane, and quorlane-mpi, where every rank
// of an MPI job runs this on its own files in step with the others.
#include <string>
#include <vector>

#include "cache/cache.hpp"
#include "cluster/cluster.hpp"
#include "common/clock.hpp"
#include "common/messages.hpp"
#include "common/stop.hpp"
#include "device/identity.hpp"
#include "driver/driver.hpp"
#include "driver/ranks.hpp"
#include "platform/command_line.hpp"
#include "platform/interruption.hpp"
#include "platform/text.hpp"
#include "report/console.hpp"
#include "report/memory_notes.hpp"
#include "report/reports.hpp"
#include "settings/settings.hpp"

int main(int argc, char** argv) {
    cluster_start(argc, argv);
    install_process_ending(process_ending{results_saving, results_saved, cluster_end});
    describe_unknown_errors_with(messages::windows_error);
    if (cluster_mode()) install_refusal_hook(settle_refusals);
    initialize_settings();
    use_utf8_arguments(argc, argv);
    parse_arguments(argc, argv);
    if (is_printing_rank()) prepare_reports(std::vector<std::string>(argv, argv + argc));
    check_unbuffered_io();
    if (cluster_mode()) settle_refusals("");
    // With several ranks, the ranks create and remove files to find which share a directory.
    install_interruption_handlers(request_interruption);
    if (cluster_mode())
        prepare_ranks();
    else
        check_limits();
    note_memory_file_system();
    note_inherited_transforms();
    note_cache_beyond_purge();
    current_run.measured = identify_measured_on(settings.target_directory, identity_limit_ms);

    run_start_us = now_us();
    for (std::uint32_t pass = 0; pass < settings.pass_count; ++pass) {
        if (settings.pass_count > 1) print_pass_heading(pass, settings.pass_count);
        run_pass(pass);
    }
    if (settings.pass_count > 1) print_medians(current_run);
    cluster_agree_to_end();
    end_process(0, "");
}
