#include "fuzz/results_harness.hpp"

#include <cstdio>
#include <cstdlib>

#include "compare/comparison.hpp"
#include "compare/comparison_outputs.hpp"
#include "compare/comparison_page.hpp"
#include "compare/results_file.hpp"
#include "report/html_report.hpp"
#include "report/json_report.hpp"

namespace {

[[noreturn]] void fault(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail.substr(0, 2000).c_str());
    std::abort();
}

}  // namespace

void exercise_results(const std::string& text) {
    read_results read;
    std::string message;
    if (!read_results_text("fuzzed.json", text, read, message)) {
        if (message.rfind("Sorry, fuzzed.json ", 0) != 0) fault("a refusal without its message", message);
        return;
    }
    if (html_page(read.record).empty()) fault("an empty page", "");
    const comparison compared = compare_runs({read, read});
    comparison_table(compared);
    comparison_page(compared);
    comparison_document(compared).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    // The record written again is a results file like any run's, and says the same again.
    const std::string written = results_json(results_document(read.record));
    read_results again;
    if (!read_results_text("written.json", written, again, message)) fault("the record written again is refused", message);
    if (results_json(results_document(again.record)) != written) fault("the record written again reads otherwise", written);
}
