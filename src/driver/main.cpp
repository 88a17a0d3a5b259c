// Runs the benchmark: for each pass, eviction file, write phase, flush pass, two read phases
// with the purge between them, then removal of every file the pass created; with several
// passes, their medians at the end.
#include <string>
#include <vector>

#include "cache/cache.hpp"
#include "common/clock.hpp"
#include "common/stop.hpp"
#include "driver/driver.hpp"
#include "platform/platform.hpp"
#include "report/console.hpp"
#include "report/reports.hpp"
#include "settings/settings.hpp"

int main(int argc, char** argv) {
    initialize_settings();
    use_utf8_arguments(argc, argv);
    parse_arguments(argc, argv);
    prepare_reports(std::vector<std::string>(argv, argv + argc));
    check_unbuffered_io();
    check_limits();
    note_memory_file_system();
    install_interruption_handlers();

    run_start_us = now_us();
    for (std::uint32_t pass = 0; pass < repeat_count; ++pass) {
        if (repeat_count > 1) print_pass_heading(pass, repeat_count);
        run_pass(pass);
    }
    if (repeat_count > 1) print_medians(current_run);
    end_process(0, "");
}
