// quorlane-report: reads results files that quorlane wrote, and with one makes its run's page
// again, with several compares them on the console, on one page (-html) and as data (-json).
// Nothing is written unless every file given reads as a results file.
#include <string>
#include <vector>

#include "common/messages.hpp"
#include "common/output.hpp"
#include "common/random.hpp"
#include "compare/comparison.hpp"
#include "compare/comparison_outputs.hpp"
#include "compare/comparison_page.hpp"
#include "compare/results_file.hpp"
#include "platform/command_line.hpp"
#include "platform/text.hpp"
#include "report/html_report.hpp"
#include "report/saved_file.hpp"

namespace {

struct report_options {
    std::vector<std::string> inputs;
    std::string page;     // -html
    std::string results;  // -json
    // Where each goes, found and held before anything is written.
    report_target page_target;
    report_target results_target;
};

bool is_help(const std::string& argument) {
    for (const char* flag : {"-?", "--?", "/?", "-help", "--help"})
        if (argument == flag) return true;
    return false;
}

bool parse_options(int argc, char** argv, report_options& options) {
    for (int k = 1; k < argc; ++k) {
        const std::string argument = argv[k];
        std::string* value = compare_ignoring_case(argv[k], "-html") == 0   ? &options.page
                             : compare_ignoring_case(argv[k], "-json") == 0 ? &options.results
                                                                           : nullptr;
        if (value != nullptr) {
            if (k + 1 == argc) {
                print_on_own_line(format_text(messages::missing_value, argument.c_str()));
                return false;
            }
            *value = argv[++k];
        } else if (argument.size() > 1 && argument[0] == '-') {
            print_on_own_line(format_text(messages::ignored_argument, argument.c_str()));
        } else {
            options.inputs.push_back(argument);
        }
    }
    if (!options.inputs.empty()) return true;
    print_on_own_line(messages::no_results_file);
    return false;
}

bool refuse_output(const char* option, const std::string& name, const std::string& reason) {
    print("%s", (format_text(messages::report_refused, option) +
                 format_text(messages::file_detail, name.c_str(), reason.c_str()) + "\n")
                    .c_str());
    return false;
}

// An output that is one of the inputs, whatever names or links lead to it, would be written
// over the results it was made from.
bool is_an_input(const std::vector<read_results>& inputs, const std::string& output, const report_target& target,
                 std::string& reason) {
    if (output.empty()) return false;
    for (const read_results& input : inputs)
        if (!input.identity.empty() && input.identity == target.identity) {
            reason = format_text(messages::report_is_input, input.file.c_str());
            return true;
        }
    return false;
}

// Both outputs tried as they will be saved, before anything is: one that can't be written
// refuses them both.
bool outputs_can_be_saved(report_options& options, const std::vector<read_results>& inputs) {
    std::string reason;
    if (!options.page.empty() && !can_save_file(options.page, options.page_target, reason))
        return refuse_output("-html", options.page, reason);
    if (!options.results.empty() && !can_save_file(options.results, options.results_target, reason))
        return refuse_output("-json", options.results, reason);
    // A sink such as /dev/null takes both; a file or a stream's reader can take only one.
    if (!options.page.empty() && !options.results.empty() &&
        options.page_target.identity == options.results_target.identity && !options.page_target.shared_sink)
        return refuse_output("-html", options.page, messages::report_same_file);
    if (is_an_input(inputs, options.page, options.page_target, reason))
        return refuse_output("-html", options.page, reason);
    if (is_an_input(inputs, options.results, options.results_target, reason))
        return refuse_output("-json", options.results, reason);
    return true;
}

// No interruption is awaited: quorlane-report leaves Ctrl+C to end it as it ends any program.
bool save(const std::string& name, report_target& target, const std::string& text, const char* failure) {
    std::string reason;
    if (name.empty() || save_file(target, text, [] { return false; }, reason)) return true;
    print_on_own_line(format_text(failure, name.c_str(), reason.c_str()));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    describe_unknown_errors_with(messages::windows_error);
    use_utf8_arguments(argc, argv);
    seed_names(draw_run_seed());
    if (argc > 1 && is_help(argv[1])) {
        print("%s", messages::compare_usage);
        return 0;
    }
    if (argc > 1 && (compare_ignoring_case(argv[1], "-version") == 0 || compare_ignoring_case(argv[1], "--version") == 0)) {
        print(messages::version_line, QUORLANE_VERSION);
        return 0;
    }
    report_options options;
    if (!parse_options(argc, argv, options)) return 1;
    std::vector<read_results> runs;
    for (const std::string& input : options.inputs) {
        read_results read;
        std::string message;
        if (!read_results_file(input, read, message)) {
            print_on_own_line(message);
            return 1;
        }
        runs.push_back(std::move(read));
    }
    if (!outputs_can_be_saved(options, runs)) return 1;
    const comparison compared = compare_runs(std::move(runs));
    for (const compared_run& run : compared.runs)
        if (!run_completed(run))
            print_on_own_line(format_text(messages::results_unfinished, run.read.file.c_str(),
                                          run.read.record.status == run_status::interrupted ? messages::run_interrupted
                                                                                             : messages::run_failed,
                                          finished_phases(run).c_str()));
    print("%s", comparison_table(compared).c_str());
    print("%s", stages_table(compared).c_str());
    bool saved = true;
    if (!options.page.empty())
        saved = save(options.page, options.page_target,
                     compared.runs.size() == 1
                         ? html_page(compared.runs[0].read.record)
                         : comparison_page(compared),
                     messages::page_write);
    if (!options.results.empty())
        saved = save(options.results, options.results_target,
                     comparison_document(compared).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
                         "\n",
                     messages::compare_write) &&
                saved;
    return saved && !output_failed() ? 0 : 1;
}
