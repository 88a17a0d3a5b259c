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

// Every end of the process once its arguments are read: the reports saved, then what a
// closing console must see last, the ranks ended, and the exit with the status the saves leave.
// The run stays in place for any thread still holding it: nothing of main's is destroyed.
[[noreturn]] void end_run(benchmark_run& run, const run_outcome& outcome) {
    results_saving();
    const int status =
        save_reports(run.settings, run.results, run.reports, run.state.stop, outcome.status, outcome.message);
    if (!outcome.said_after_saving.empty()) print_on_own_line(outcome.said_after_saving);
    results_saved(status);
    cluster_end(status, outcome.message);
    std::exit(status);
}

// A refusal, said with its note, that ends the run before any file exists.
run_outcome refused(const run_refusal& refusal) {
    print_on_own_line(refusal.message);
    if (!refusal.note.empty()) print_on_own_line(refusal.note);
    return run_outcome{1, refusal.message, ""};
}

// Until the ranks have met, a rank's refusal is also taken to every other rank, so that they
// all end with it.
run_outcome refused_before_ranks_meet(benchmark_run& run, const run_refusal& refusal) {
    const run_outcome outcome = refused(refusal);
    if (cluster_mode()) settle_refusals(run.results, run.settings.target_directory, refusal.message);
    return outcome;
}

// What each rank checks on its own before the ranks meet: the first refusal, none when the
// run may go on.
run_refusal check_alone(benchmark_run& run, const std::vector<std::string>& command_line) {
    if (!open_run_directory(run.state)) return run_refusal{messages::invalid_path, ""};
    if (is_printing_rank()) {
        const std::string refusal = prepare_reports(run.settings, run.results, command_line, run.reports);
        if (!refusal.empty()) return run_refusal{refusal, ""};
    }
    return check_unbuffered_io(run.state);
}

// From the ranks' meeting to the end of the last pass, once the interruption handlers are
// installed: how the run ends.
run_outcome run_benchmark(benchmark_run& run) {
    const run_settings& settings = run.settings;
    // Rank 0 looks at its own directory, which the ranks usually share; another node's dead
    // ranks can't be told from live ones from here.
    if (is_printing_rank()) settle_leftovers(run.state);
    if (settings.clean) {
        // -fill's share is taken once the removed files' space is free again, and said then.
        if (const std::optional<run_refusal> refusal = settle_fill(run.settings)) return refused(*refusal);
        if (settings.fill_percent != 0) note_fill(settings);
    }
    if (cluster_mode()) {
        // A step cut short by an interruption, or a rank that can't run, ends every rank here.
        prepare_ranks(run.state, run.results);
        if (!run_goes_on(run)) return stopped_run_outcome(run);
        note_ranks(run.results, settings.worker_count);
    } else {
        const run_refusal refusal = check_limits(settings);
        if (!refusal.message.empty()) return refused(refusal);
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
        if (!run_pass(run, pass)) return stopped_run_outcome(run);
    }
    if (settings.pass_count > 1) print_medians(run.results);
    remove_run_marker(run.state);
    cluster_agree_to_end();
    return run_outcome{};
}

}  // namespace

int main(int argc, char** argv) {
    // Main's own: the process ends through std::exit, which leaves it in place for any thread
    // still holding it.
    benchmark_run run;
    cluster_start(argc, argv, run.state.stop);
    on_output_failure([&run](const std::string& message) { record_fatal_error(run.state, message); });
    describe_unknown_errors_with(messages::windows_error);
    run.state.seed = draw_run_seed();
    seed_names(run.state.seed);
    use_utf8_arguments(argc, argv);
    const parsed_arguments parsed = parse_arguments(argc, argv);
    // The settings as far as they were read: a rank's refusal names its -path when it has one.
    run.settings = parsed.settings;
    if (parsed.end == parse_end::printed) {
        cluster_agree_to_end();
        cluster_end(parsed.status, "");
        std::exit(parsed.status);
    }
    if (parsed.end == parse_end::refused) end_run(run, refused_before_ranks_meet(run, parsed.refusal));
    if (run.settings.fill_percent != 0 && !run.settings.clean) note_fill(run.settings);
    const run_refusal refusal = check_alone(run, std::vector<std::string>(argv, argv + argc));
    if (!refusal.message.empty()) end_run(run, refused_before_ranks_meet(run, refusal));
    if (cluster_mode()) {
        const std::string settled = settle_refusals(run.results, run.settings.target_directory, "");
        if (!settled.empty()) end_run(run, run_outcome{1, settled, ""});
    }
    // With several ranks, the ranks create and remove files to find which share a directory.
    interrupted_run = &run.state.stop;
    install_interruption_handlers(on_interruption);
    end_run(run, run_benchmark(run));
}
