// Runs the benchmark: for each pass, eviction file, write phase, flush pass, two read phases
// with the purge between them, then removal of every file the pass created; with several
// passes, their medians at the end. Built twice: quorlane, and quorlane-mpi, where every rank
// of an MPI job runs this on its own files in step with the others.
#include <cstdlib>
#include <optional>
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
#include "run/run_marker.hpp"
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
        install_refusal_hook([&run](const std::string& message) {
            settle_refusals(run.results, run.settings.target_directory, message);
        });
    run.state.seed = draw_run_seed();
    seed_names(run.state.seed);
    use_utf8_arguments(argc, argv);
    const parsed_arguments parsed = parse_arguments(argc, argv);
    // The settings as far as they were read: a rank's refusal names its -path when it has one.
    run.settings = parsed.settings;
    if (parsed.end == parse_end::printed) std::exit(parsed.status);
    if (parsed.end == parse_end::refused) refuse_run(parsed.refusal);
    const run_settings& settings = run.settings;
    if (settings.fill_percent != 0 && !settings.clean) note_fill(settings);
    if (!open_run_directory(run.state)) refuse_run(messages::invalid_path);
    if (is_printing_rank()) {
        const std::string refusal =
            prepare_reports(settings, run.results, run.state.stop, std::vector<std::string>(argv, argv + argc));
        if (!refusal.empty()) refuse_run(refusal);
    }
    check_unbuffered_io(run.state);
    if (cluster_mode()) {
        const std::string refusal = settle_refusals(run.results, settings.target_directory, "");
        if (!refusal.empty()) end_process(1, refusal);
    }
    // With several ranks, the ranks create and remove files to find which share a directory.
    interrupted_run = &run.state.stop;
    install_interruption_handlers(on_interruption);
    // Rank 0 looks at its own directory, which the ranks usually share; another node's dead
    // ranks can't be told from live ones from here.
    if (is_printing_rank()) settle_leftovers(run.state);
    if (settings.clean) {
        // -fill's share is taken once the removed files' space is free again, and said then.
        if (const std::optional<run_refusal> refusal = settle_fill(run.settings)) refuse_run(*refusal);
        if (settings.fill_percent != 0) note_fill(settings);
    }
    if (cluster_mode()) {
        // A step cut short by an interruption, or a rank that can't run, ends every rank here.
        prepare_ranks(run.state, run.results);
        stop_if_requested(run);
        note_ranks(run.results, settings.worker_count);
    } else {
        const run_refusal refusal = check_limits(settings);
        if (!refusal.message.empty()) refuse_run(refusal);
    }
    run.results.measured = identify_measured_on(settings.target_directory, identity_limit_ms);
    note_memory_file_system(run.results, settings.target_directory);
    note_inherited_transforms(run.results, settings.target_directory);
    note_cache_beyond_purge(settings.target_directory);
    note_partial_physical_sectors(run.results, settings);

    open_run_marker(run.state);
    run.state.start_us = now_us();
    for (std::uint32_t pass = 0; pass < settings.pass_count; ++pass) {
        if (settings.pass_count > 1) print_pass_heading(pass, settings.pass_count);
        run_pass(run, pass);
    }
    if (settings.pass_count > 1) print_medians(run.results);
    remove_run_marker(run.state);
    cluster_agree_to_end();
    end_process(0, "");
}
