#include "report/reports.hpp"

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/ending.hpp"
#include "platform/system_info.hpp"
#include "report/finished_record.hpp"
#include "report/html_report.hpp"
#include "report/json_report.hpp"
#include "report/saved_file.hpp"
#include "results/record.hpp"
#include "settings/settings.hpp"

namespace {

// A file that can't be saved is said, and turns a completed run into a failed one, whose
// message it becomes.
bool save_report(const std::string& name, const std::string& text, const char* failure, int& status,
                 std::string& message) {
    std::string reason;
    if (save_file(name, text, reason)) return true;
    const std::string said = format_text(failure, name.c_str(), reason.c_str());
    print_on_own_line(said);
    if (status == 0) {
        status = 1;
        message = said;
    }
    return false;
}

// Each file says the status the process ends with: the page first, then the results file
// with the page's failure in it; a page saved before the results file failed is saved
// again, saying so.
int write_reports(const run_record& results, int status, const std::string& message) {
    std::string final_message = message;
    bool page_saved = false;
    if (!settings.report_page.empty())
        page_saved = save_report(settings.report_page, html_page(finished_record(results, status, final_message)),
                                 messages::page_write, status, final_message);
    if (settings.results_file.empty()) return status;
    const int status_before = status;
    save_report(settings.results_file, results_json(results_document(finished_record(results, status, final_message))),
                messages::report_write, status, final_message);
    if (page_saved && status != status_before)
        save_report(settings.report_page, html_page(finished_record(results, status, final_message)),
                    messages::page_write, status, final_message);
    return status;
}

void refuse_report(const char* option, const std::string& name, const std::string& reason) {
    refuse_run(format_text(messages::report_refused, option) +
               format_text(messages::file_detail, name.c_str(), reason.c_str()));
}

report_target check_can_save(const char* option, const std::string& name) {
    report_target target;
    std::string reason;
    if (!name.empty() && !can_save_file(name, target, reason)) refuse_report(option, name, reason);
    return target;
}

}  // namespace

void prepare_reports(run_record& results, const stop_signal& stop, const std::vector<std::string>& command_line) {
    results.command_line = command_line;
    results.started_utc = utc_now();
    const report_target results_target = check_can_save("-json", settings.results_file);
    const report_target page_target = check_can_save("-html", settings.report_page);
    if (!settings.results_file.empty() && !settings.report_page.empty() &&
        results_target.identity == page_target.identity)
        refuse_report("-html", settings.report_page, messages::report_same_file);
    if (settings.results_file.empty() && settings.report_page.empty()) return;
    install_end_hook([&results, &stop](int status, const std::string& message) {
        results.interrupted = stop.interruption_status.load() != 0;
        return write_reports(results, status, message);
    });
}
