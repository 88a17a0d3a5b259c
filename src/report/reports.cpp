#include "report/reports.hpp"

#include "common/messages.hpp"
#include "common/output.hpp"
#include "platform/system_info.hpp"
#include "report/finished_record.hpp"
#include "report/html_report.hpp"
#include "report/json_report.hpp"
#include "report/run_context.hpp"
#include "report/saved_file.hpp"
#include "results/record.hpp"
#include "settings/settings.hpp"

namespace {

// How the process ends, as the saves go: its status, the message, and whether an interruption
// cut a save short.
struct ending_state {
    int status = 0;
    std::string message;
    bool interrupted = false;
};

// A file that can't be saved is said, and turns a completed run into a failed one, whose
// message it becomes. An interruption that arrives while a stream waits for its reader ends
// the wait, and the process ends with its status.
bool save_report(report_target& target, const std::string& name, const std::string& text, const char* failure,
                 const stop_signal& stop, unsigned interruptions_before, ending_state& ending) {
    const auto interrupted = [&stop, interruptions_before] { return stop.interruptions.load() != interruptions_before; };
    std::string reason;
    if (save_file(target, text, interrupted, reason)) return true;
    const std::string said = format_text(failure, name.c_str(), reason.c_str());
    print_on_own_line(said);
    if (interrupted()) {
        ending = ending_state{stop.interruption_status.load(), said, true};
    } else if (ending.status == 0) {
        ending.status = 1;
        ending.message = said;
    }
    return false;
}

// Each file says the status the process ends with: the page first, then the results file
// with the page's failure in it; a page saved before the results file failed is saved
// again, saying so.
int write_reports(const run_settings& settings, run_record& results, report_places& places, const stop_signal& stop,
                  int status, const std::string& message) {
    const unsigned interruptions_before = stop.interruptions.load();
    ending_state ending{status, message, results.interrupted};
    const auto finished = [&settings, &results, &ending] {
        results.interrupted = ending.interrupted;
        return finished_record(settings, results, ending.status, ending.message);
    };
    bool page_saved = false;
    if (!settings.report_page.empty())
        page_saved = save_report(places.page, settings.report_page, html_page(finished()), messages::page_write, stop,
                                 interruptions_before, ending);
    if (settings.results_file.empty()) return ending.status;
    const int status_before = ending.status;
    save_report(places.results, settings.results_file, results_json(results_document(finished())),
                messages::report_write, stop, interruptions_before, ending);
    if (page_saved && ending.status != status_before)
        save_report(places.page, settings.report_page, html_page(finished()), messages::page_write, stop,
                    interruptions_before, ending);
    return ending.status;
}

std::string report_refusal(const char* option, const std::string& name, const std::string& reason) {
    return format_text(messages::report_refused, option) + format_text(messages::file_detail, name.c_str(), reason.c_str());
}

// The place to save `name` in; the refusal when it can't be saved there.
report_target check_can_save(const char* option, const std::string& name, std::string& refusal) {
    report_target target;
    std::string reason;
    if (!name.empty() && !can_save_file(name, target, reason)) refusal = report_refusal(option, name, reason);
    return target;
}

}  // namespace

std::string prepare_reports(const run_settings& settings, run_record& results,
                            const std::vector<std::string>& command_line, report_places& places) {
    results.command_line = command_line;
    results.started_utc = utc_now();
    std::string refusal;
    places.results = check_can_save("-json", settings.results_file, refusal);
    if (!refusal.empty()) return refusal;
    places.page = check_can_save("-html", settings.report_page, refusal);
    if (!refusal.empty()) return refusal;
    // A sink such as /dev/null takes both; a file or a stream's reader can take only one.
    if (!settings.results_file.empty() && !settings.report_page.empty() &&
        places.results.identity == places.page.identity && !places.page.shared_sink)
        return report_refusal("-html", settings.report_page, messages::report_same_file);
    places.checked = true;
    capture_run_context(results, settings);
    return std::string();
}

int save_reports(const run_settings& settings, run_record& results, report_places& places, const stop_signal& stop,
                 int status, const std::string& message) {
    if (!places.checked || (settings.results_file.empty() && settings.report_page.empty())) return status;
    results.interrupted = stop.interruption_status.load() != 0;
    return write_reports(settings, results, places, stop, status, message);
}
