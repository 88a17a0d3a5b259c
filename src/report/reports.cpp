#include "report/reports.hpp"

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/stop.hpp"
#include "platform/system_info.hpp"
#include "report/html_report.hpp"
#include "report/json_report.hpp"
#include "report/saved_file.hpp"
#include "results/record.hpp"
#include "settings/settings.hpp"

namespace {

// A file that can't be saved is said, and turns a completed run into a failed one.
void save_report(const std::string& name, const std::string& text, const char* failure, int& status) {
    std::string reason;
    if (save_file(name, text, reason)) return;
    print_on_own_line(format_text(failure, name.c_str(), reason.c_str()));
    if (status == 0) status = 1;
}

int write_reports(int status, const std::string& message) {
    const int run_status = status;
    const nlohmann::ordered_json document = results_document(current_run, run_status, message);
    if (!json_path.empty()) save_report(json_path, results_json(document), messages::report_write, status);
    if (!html_path.empty()) save_report(html_path, html_page(current_run, document), messages::page_write, status);
    return status;
}

void check_can_save(const char* option, const std::string& name) {
    std::string reason;
    if (name.empty() || can_save_file(name, reason)) return;
    report_error(true, format_text(messages::report_refused, option) +
                           format_text(messages::file_detail, name.c_str(), reason.c_str()));
}

}  // namespace

void prepare_reports(const std::vector<std::string>& command_line) {
    current_run.command_line = command_line;
    current_run.started_utc = utc_now();
    check_can_save("-json", json_path);
    check_can_save("-html", html_path);
    if (!json_path.empty() || !html_path.empty()) install_end_hook(write_reports);
}
