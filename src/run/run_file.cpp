#include "run/run_file.hpp"

#include "common/messages.hpp"
#include "common/output.hpp"

namespace {

file_caching run_file_caching(const run_settings& settings) {
    return settings.direct ? file_caching::unbuffered : file_caching::os_cache;
}

void report_file_error(run_state& run, const char* message, const std::string& name, const std::string& reason) {
    const std::string path = run.settings.target_directory + name;
    record_fatal_error(run, message + format_text(messages::file_detail, path.c_str(), reason.c_str()));
}

// The identity of a file just created; unknown in the unlikely case the OS can't tell it, when
// only a link, a FIFO or a device put in its place is told apart.
file_identity identity_of_created(os_file handle) {
    file_identity identity;
    std::string ignored;
    return identity_of(handle, identity, ignored) ? identity : unknown_identity;
}

}  // namespace

bool open_run_directory(run_state& run) {
    std::string reason;
    return open_directory(run.settings.target_directory, run.directory, reason);
}

bool create_run_file(run_state& run, const std::string& name, const char* message, os_file& handle,
                     file_identity& identity) {
    std::string reason;
    switch (create_new_file(run.directory, name, run_file_caching(run.settings), handle, reason)) {
        case creation::created: identity = identity_of_created(handle); return true;
        case creation::name_taken: report_file_error(run, messages::name_in_use, name, reason); return false;
        case creation::failed: report_file_error(run, message, name, reason); return false;
        case creation::no_space: report_file_error(run, messages::when_full(message), name, reason); return false;
    }
    return false;
}

bool create_run_file_drawn(run_state& run, const std::function<std::string()>& draw_name, const char* message,
                           std::string& name, os_file& handle, file_identity& identity) {
    std::string reason;
    creation outcome = creation::name_taken;
    for (int draw = 0; draw < name_draws && outcome == creation::name_taken; ++draw) {
        name = draw_name();
        outcome = create_new_file(run.directory, name, run_file_caching(run.settings), handle, reason);
    }
    switch (outcome) {
        case creation::created: identity = identity_of_created(handle); return true;
        case creation::failed: report_file_error(run, message, name, reason); return false;
        case creation::no_space: report_file_error(run, messages::when_full(message), name, reason); return false;
        case creation::name_taken: break;
    }
    const std::string path = run.settings.target_directory + name;
    record_fatal_error(run, format_text(messages::names_taken, name_draws, path.c_str()));
    return false;
}

bool open_run_file(run_state& run, const directory_entry& entry, const char* message, os_file& handle) {
    std::string reason;
    switch (open_for_reading(run.directory, entry, run_file_caching(run.settings), handle, reason)) {
        case opening::opened: return true;
        case opening::changed: report_file_error(run, message, entry.name, messages::file_replaced); return false;
        case opening::failed: report_file_error(run, message, entry.name, reason); return false;
    }
    return false;
}
