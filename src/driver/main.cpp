// Runs the benchmark: for each pass, eviction file, write phase, flush pass, two read phases
// with the purge between them, then removal of every file the pass created; with several
// passes, their medians at the end. Built twice: quorlane, and quorlane-mpi, where every rank
// of an MPI job runs this on its own files in step with the others.
#include <string>
#include <vector>

#include "cache/cache.hpp"
#include "cluster/cluster.hpp"
#include "cluster/ranks.hpp"
#include "common/clock.hpp"
#include "common/ending.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/random.hpp"
#include "device/identity.hpp"
#include "driver/driver.hpp"
#include "platform/command_line.hpp"
#include "platform/interruption.hpp"
#include "platform/text.hpp"
#include "report/console.hpp"
#include "report/memory_notes.hpp"
#include "report/reports.hpp"
#include "run/run_file.hpp"
#include "settings/settings.hpp"

namespace {

// The one pointer the interruption handlers use: the stop of the run main owns.
stop_signal* interrupted_run = nullptr;

void on_interruption(int exit_status) { request_interruption(*interrupted_run, exit_status); }

}  // namespace

int main(int argc, char** argv) {
    // Main's own: the process ends through std::exit, which leaves it in place for any thread
    // still holding it.
    benchmark_run run;
    cluster_start(argc, argv, run.state.stop);
    install_process_ending(process_ending{results_saving, results_saved, cluster_end});
    on_output_failure([&run](const std::string& message) { record_fatal_error(run.state, message); });
    describe_unknown_errors_with(messages::windows_error);
    if (cluster_mode())
        install_refusal_hook([&run](const std::string& message) { settle_refusals(run.results, message); });
    initialize_settings();
    run.state.seed = draw_run_seed();
    seed_names(run.state.seed);
    use_utf8_arguments(argc, argv);
    parse_arguments(argc, argv);
    open_run_directory(run.state);
    if (is_printing_rank()) prepare_reports(run.results, run.state.stop, std::vector<std::string>(argv, argv + argc));
    check_unbuffered_io(run.state);
    if (cluster_mode()) settle_refusals(run.results, "");
    // With several ranks, the ranks create and remove files to find which share a directory.
    interrupted_run = &run.state.stop;
    install_interruption_handlers(on_interruption);
    if (cluster_mode()) {
        // A step cut short by an interruption, or a rank that can't run, ends every rank here.
        prepare_ranks(run.state, run.results);
        stop_if_requested(run);
        note_ranks(run.results);
    } else {
        check_limits();
    }
    note_memory_file_system(run.results);
    note_inherited_transforms(run.results);
    note_cache_beyond_purge();
    run.results.measured = identify_measured_on(settings.target_directory, identity_limit_ms);

    run.state.start_us = now_us();
    for (std::uint32_t pass = 0; pass < settings.pass_count; ++pass) {
        if (settings.pass_count > 1) print_pass_heading(pass, settings.pass_count);
        run_pass(run, pass);
    }
    if (settings.pass_count > 1) print_medians(run.results);
    cluster_agree_to_end();
    end_process(0, "");
}
