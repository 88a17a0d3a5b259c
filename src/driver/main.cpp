// Runs one benchmark: eviction file, write phase, flush pass, two read phases with the
// purge between them, then removal of every file the run created.
#include "cache/cache.hpp"
#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/stop.hpp"
#include "common/write_handles.hpp"
#include "driver/driver.hpp"
#include "platform/platform.hpp"
#include "settings/settings.hpp"

namespace {
void print_result(const char* label, std::uint64_t figure) {
    print(messages::result, label, static_cast<unsigned long long>(figure));
}
}

int main(int argc, char** argv) {
    initialize_settings();
    parse_arguments(argc, argv);
    check_unbuffered_io();
    check_limits();
    prepare_write_handles();
    std::vector<thread_param> records(thread_count);
    install_interruption_handlers();

    if (cache != 0) {
        write_eviction_file();
        stop_if_requested(records);
    }

    std::uint64_t figure = write_phase(records);
    stop_if_requested(records);
    print_result(messages::write_label, figure);

    figure = flush_pass(records);
    stop_if_requested(records);
    print_result(messages::write_without_cache_label, figure);

    for (const bool with_cache : {true, false}) {
        if (!with_cache) purge_os_cache(run_files(records));
        if (cache != 0) {
            read_eviction_file();
            stop_if_requested(records);
        }
        figure = read_phase(records, with_cache);
        stop_if_requested(records);
        print_result(with_cache ? messages::read_label : messages::read_without_cache_label, figure);
    }

    // A file left behind is an error: the run did not clean up after itself.
    const bool all_removed = remove_run_files(records);
    stop_if_requested(records);
    return all_removed ? 0 : 1;
}
