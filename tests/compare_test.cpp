// quorlane-report on real results files: two runs compared by their medians and ratios with
// the one setting that differs, an interrupted run compared for what it finished, and inputs
// that are not results files refused by name with nothing written. Every results file made
// here is checked against the schema too.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "report/exact_bytes.hpp"
#include "report/page_text.hpp"
#include "support/file_system.hpp"
#include "support/process.hpp"
#include "support/results_schema.hpp"
#include "support/run_program.hpp"
#include "support/temporary_directory.hpp"
#include "support/text_difference.hpp"

namespace {

using json = nlohmann::json;

const char* const figure_names[] = {"write_with_cache", "write_without_cache", "read_with_cache", "read_without_cache"};
const char* const figure_labels[] = {"Writing time with cache ram", "Writing time without cache ram",
                                     "Reading time with cache ram", "Reading time without cache ram"};

json read_json(const std::string& name) {
    std::ifstream stream(name);
    return json::parse(stream, nullptr, false);
}

void write_text(const std::string& name, const std::string& text) { std::ofstream(name) << text; }

execution_result quorlane_report(const std::vector<std::string>& arguments) {
    return run_program(QUORLANE_REPORT_BINARY, arguments);
}

// A small run in `directory` with its results in `results`, which must conform to the schema.
void small_run(const std::string& directory, const std::string& results, std::vector<std::string> more) {
    std::vector<std::string> arguments{"-path", directory, "-file", "4", "-cache", "0", "-json", results};
    arguments.insert(arguments.end(), more.begin(), more.end());
    const execution_result r = quorlane(arguments);
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(results_schema_problems(results), "");
}

// The console's lines after `heading`, up to the next blank line.
std::vector<std::string> lines_after(const std::string& output, const std::string& heading) {
    std::vector<std::string> found;
    bool inside = false;
    for (const std::string& line : lines(output)) {
        if (inside && line.empty()) break;
        if (inside) found.push_back(line);
        inside = inside || line == heading;
    }
    return found;
}

}  // namespace

TEST(CompareRuns, TheTableGivesEachRunsMediansTheirRatiosAndOnlyTheSettingsThatDiffer) {
    temporary_directory dir, reports;
    const std::string one = reports.path_name + "/one.json", two = reports.path_name + "/two.json";
    small_run(dir.path_name, one, {"-thread", "1", "-repeat", "2"});
    small_run(dir.path_name, two, {"-thread", "2", "-repeat", "2"});
    const json runs[] = {read_json(one), read_json(two)};

    const std::string comparison = reports.path_name + "/comparison.json", page = reports.path_name + "/page.html";
    const execution_result r = quorlane_report({one, two, "-json", comparison, "-html", page});
    ASSERT_EQ(r.status, 0) << r.output;
    const json compared = read_json(comparison);
    for (int kind = 0; kind < 4; ++kind) {
        double medians[2];
        for (int run = 0; run < 2; ++run) {
            medians[run] = runs[run]["summary"]["figures"][figure_names[kind]]["mb_per_second"]["median"];
            const json& figure = compared["runs"][run]["figures_mb_per_second"][figure_names[kind]];
            EXPECT_DOUBLE_EQ(figure["median"].get<double>(), medians[run]) << figure_names[kind];
            EXPECT_EQ(figure["passes"], 2);
        }
        const double ratio = compared["runs"][1]["figures_mb_per_second"][figure_names[kind]]["ratio_to_first"];
        EXPECT_NEAR(ratio, medians[1] / medians[0], 0.001) << figure_names[kind];
        // Its row on the console: the label, then each run's median, the second with its ratio.
        bool row_found = false;
        for (const std::string& line : lines(r.output))
            if (line.rfind(figure_labels[kind], 0) == 0) {
                row_found = true;
                EXPECT_NE(line.find(grouped(medians[0], 0) + "  "), std::string::npos) << line;
                char ratio_text[32];
                std::snprintf(ratio_text, sizeof ratio_text, "%.2f\u00d7", medians[1] / medians[0]);
                EXPECT_NE(line.find(grouped(medians[1], 0) + " " + ratio_text), std::string::npos) << line;
            }
        EXPECT_TRUE(row_found) << r.output;
    }
    EXPECT_EQ(lines_after(r.output, "Settings that differ:"), std::vector<std::string>{"  -thread: 1 / 2"}) << r.output;
    EXPECT_EQ(compared["differing_settings"], json::parse(R"([{"name": "-thread", "values": ["1", "2"]}])"));
    EXPECT_GT(size_of_file(page), 0);
    EXPECT_TRUE(dir.entries().empty());
}

// One results file gives its run's page again, as the run itself wrote it.
TEST(CompareRuns, OneResultsFileGivesItsRunsOwnPage) {
    temporary_directory dir, reports;
    const std::string results = reports.path_name + "/run.json", page = reports.path_name + "/run.html",
                      again = reports.path_name + "/again.html";
    small_run(dir.path_name, results, {"-repeat", "2", "-verify", "-html", page});
    const execution_result r = quorlane_report({results, "-html", again});
    ASSERT_EQ(r.status, 0) << r.output;
    std::ifstream original(page), rebuilt(again);
    const std::string original_text{std::istreambuf_iterator<char>(original), {}};
    const std::string rebuilt_text{std::istreambuf_iterator<char>(rebuilt), {}};
    EXPECT_GT(original_text.size(), 10000u);
    EXPECT_EQ(where_texts_differ(original_text, rebuilt_text), "");
    EXPECT_TRUE(dir.entries().empty());
}

// Each input that can't be compared is refused, naming the file and its fault, before any
// output is written; the schema refuses the same files.
TEST(CompareRuns, AnInputThatIsNotAResultsFileIsNamedAndNothingIsWritten) {
    // On a tmpfs where there is one, so that the schema sees a target in memory too.
    const std::string shared_memory = "/dev/shm";
    temporary_directory dir(on_memory_file_system(shared_memory) ? shared_memory
                                                                 : std::filesystem::temp_directory_path().string());
    temporary_directory reports;
    const std::string good = reports.path_name + "/good.json";
    small_run(dir.path_name, good, {});
    json document = read_json(good);
    const std::string bad = reports.path_name + "/bad.json", page = reports.path_name + "/page.html",
                      comparison = reports.path_name + "/comparison.json";
    const auto expect_refused = [&](const std::string& text, const std::string& message, bool schema_refuses) {
        write_text(bad, text);
        const execution_result r = quorlane_report({good, bad, "-html", page, "-json", comparison});
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_EQ(r.output.substr(0, message.size()), message);
        EXPECT_EQ(lines(r.output).size(), 1u) << r.output;
        EXPECT_EQ(reports.entries(), (std::vector<std::string>{"bad.json", "good.json"}));
        if (schema_refuses) {
            EXPECT_NE(results_schema_problems(bad), "") << text;
        }
    };
    expect_refused("{\"schema_version\": 1,", "Sorry, " + bad + " is not JSON: parse error at line 1, column 22", false);
    expect_refused("{\"name\": \"a list of groceries\"}", "Sorry, " + bad + " is not a Quorlane results file: it has no "
                   "program name \"quorlane\" and schema_version\n", true);
    json later = document;
    later["schema_version"] = 3;
    expect_refused(later.dump(), "Sorry, " + bad + " has schema_version 3, which this quorlane-report can't read (it "
                   "reads 1 and 2)\n", true);
    json damaged = document;
    damaged["passes"][0]["figures"][1]["mb_per_second"] = "fast";
    expect_refused(damaged.dump(), "Sorry, " + bad + " is not a Quorlane results file as its schema says: "
                   "/passes/0/figures/1/mb_per_second is missing or not a number\n", true);
    damaged = document;
    damaged["verification"]["capacity"] = {{"offered_bytes", 0},     {"checked_bytes", 0}, {"verified_bytes", 0},
                                           {"first_bad_offset", 0},  {"aliasing_distance", nullptr},
                                           {"kind", "lost"},         {"bad_sectors", 0},   {"bits_differ", 0},
                                           {"text", 5}};
    expect_refused(damaged.dump(), "Sorry, " + bad + " is not a Quorlane results file as its schema says: "
                   "/verification/capacity/text is missing or not a string\n", true);
    damaged = document;
    damaged["target"].erase("path");
    expect_refused(damaged.dump(), "Sorry, " + bad + " is not a Quorlane results file as its schema says: "
                   "/target/path is missing or not a string\n", true);

    // Fields it does not know are read past, wherever they are.
    json richer = document;
    richer["target"]["devices"] = json::array({{{"model", "Example SSD 990"}}});
    richer["passes"][0]["figures"][0]["latency"]["p99_999_us"] = 140;
    write_text(bad, richer.dump());
    const execution_result r = quorlane_report({good, bad});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("  Run 2  Example SSD 990, "), std::string::npos) << r.output;
    EXPECT_EQ(results_schema_problems(bad), "");
    EXPECT_TRUE(dir.entries().empty());
}

// A run interrupted in its first pass: compared for the figures it measured, said so, and
// its results file conforms to the schema as a completed one does.
TEST(CompareRuns, AnInterruptedRunIsComparedForThePhasesItFinished) {
    temporary_directory dir, reports;
    const std::string done = reports.path_name + "/done.json", stopped = reports.path_name + "/stopped.json";
    small_run(dir.path_name, done, {});
    child_process run;
    ASSERT_TRUE(launch(run, {"-path", dir.path_name, "-file", "16", "-cache", "0", "-repeat", "100", "-json", stopped}));
    ASSERT_TRUE(wait_for_results(run, 2, 60000)) << run.text;
    kill(run.pid, SIGINT);
    finish(run);
    ASSERT_EQ(run.status, 130) << run.text;
    EXPECT_EQ(results_schema_problems(stopped), "");

    const json interrupted = read_json(stopped);
    std::string finished;
    std::vector<std::string> measured;
    for (const json& figure : interrupted["passes"][0]["figures"]) measured.push_back(figure["name"]);
    const char* const short_names[] = {"Write with cache", "Write forced to the device", "Read with cache",
                                       "Read without cache"};
    for (int kind = 0; kind < 4; ++kind)
        if (std::find(measured.begin(), measured.end(), figure_names[kind]) != measured.end())
            finished += (finished.empty() ? "" : ", ") + std::string(short_names[kind]);
    ASSERT_GE(measured.size(), 2u);

    const std::string comparison = reports.path_name + "/comparison.json";
    const execution_result r = quorlane_report({done, stopped, "-json", comparison});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(lines(r.output)[0], "Note: " + stopped + " is from a run that was interrupted: it is compared only for "
                                  "the phases it finished (" + finished + ").");
    const json compared = read_json(comparison);
    for (int kind = 0; kind < 4; ++kind) {
        const bool was_measured = std::find(measured.begin(), measured.end(), figure_names[kind]) != measured.end();
        const json& figure = compared["runs"][1]["figures_mb_per_second"][figure_names[kind]];
        EXPECT_EQ(figure["median"].is_null(), !was_measured) << figure;
        EXPECT_EQ(figure["ratio_to_first"].is_null(), !was_measured) << figure;
        for (const std::string& line : lines(r.output))
            if (line.rfind(figure_labels[kind], 0) == 0) {
                EXPECT_EQ(line.back() == '-', !was_measured) << line;
            }
    }
    EXPECT_TRUE(dir.entries().empty());
}

// An output that is one of the inputs, by its own name, through a symbolic link or through a
// second hard link, is refused before anything is written, and the input is kept.
TEST(CompareRuns, AnOutputThatIsOneOfTheInputsIsRefusedAndTheInputKept) {
    temporary_directory dir, reports;
    const std::string one = reports.path_name + "/one.json", two = reports.path_name + "/two.json";
    small_run(dir.path_name, one, {});
    small_run(dir.path_name, two, {});
    const std::string link = reports.path_name + "/link.json", hard = reports.path_name + "/hard.json";
    std::filesystem::create_symlink(two, link);
    std::filesystem::create_hard_link(one, hard);
    std::ifstream stream(one);
    const std::string kept{std::istreambuf_iterator<char>(stream), {}};
    struct output_case {
        std::vector<std::string> arguments;
        std::string option, output, input;
    };
    for (const output_case& refused : {output_case{{one, "-html", one}, "-html", one, one},
                                       output_case{{one, two, "-json", link}, "-json", link, two},
                                       output_case{{two, one, "-html", hard}, "-html", hard, one}}) {
        const execution_result r = quorlane_report(refused.arguments);
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_EQ(r.output, "Sorry, the argument " + refused.option + " must name a file that can be written\n" +
                                refused.output + " : it is the results file " + refused.input + ", which is read\n");
    }
    std::ifstream after(one);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(after), {}), kept);
    EXPECT_EQ(results_schema_problems(two), "");
    EXPECT_TRUE(dir.entries().empty());
}

// A directory named in a legacy encoding: the page the run wrote and the page made again from
// its results file are the same bytes, UTF-8 throughout, with the name's byte shown as \xE9;
// the results file keeps its exact bytes.
TEST(CompareRuns, APageOfANameThatIsNotUtf8ReadsTheSameMadeAgain) {
    temporary_directory dir, reports;
    const std::string latin1 = dir.path_name + "/caf\xe9";
    std::filesystem::create_directory(latin1);
    const std::string results = reports.path_name + "/run.json", page = reports.path_name + "/run.html",
                      again = reports.path_name + "/again.html";
    const execution_result run = quorlane({"-path", latin1, "-file", "1", "-cache", "0", "-json", results, "-html", page});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(read_json(results)["target"]["path_bytes"], percent_encoded(latin1 + "/"));
    ASSERT_EQ(quorlane_report({results, "-html", again}).status, 0);
    std::ifstream original(page), rebuilt(again);
    const std::string original_text{std::istreambuf_iterator<char>(original), {}};
    const std::string rebuilt_text{std::istreambuf_iterator<char>(rebuilt), {}};
    EXPECT_EQ(where_texts_differ(original_text, rebuilt_text), "");
    EXPECT_TRUE(is_utf8(original_text));
    EXPECT_NE(original_text.find("<h1>Quorlane report: " + dir.path_name + "/caf\\xE9/</h1>"), std::string::npos);
    std::filesystem::remove(latin1);
}

// A file of version 1, whose capacity verdict had no kind and kept its "Note: ", still makes
// its page with the verdict and its band; a version 2 file telling damage gets no band.
TEST(CompareRuns, VersionOneFilesAreReadAndEachCapacityVerdictKeepsItsBand) {
    temporary_directory dir, reports;
    const std::string results = reports.path_name + "/run.json", page = reports.path_name + "/page.html";
    small_run(dir.path_name, results, {});
    json older = read_json(results);
    older["schema_version"] = 1;
    older["verification"]["enabled"] = true;
    older["settings"]["verify"] = true;
    older["settings"]["fill_percent"] = 50;
    older["verification"]["mismatch"] = {{"file", dir.path_name + "/vellumcrate_abcdefgh0"}, {"byte", 0},
                                         {"diagnosis", "it holds no data this run wrote"}, {"details", json::array()},
                                         {"damage", nullptr}};
    const std::string wrapped = "this device holds about 1.0 MB of the 4.1 MB it offers: data written after 1.0 MB "
                                "came back in place of earlier data.";
    older["verification"]["capacity"] = {{"offered_bytes", 4096000},
                                         {"verified_bytes", 1048576},
                                         {"first_bad_offset", 0},
                                         {"aliasing_distance", 1048576},
                                         {"text", "Note: " + wrapped}};
    const auto page_of = [&](const json& document) {
        write_text(results, document.dump());
        const execution_result r = quorlane_report({results, "-html", page});
        EXPECT_EQ(r.status, 0) << r.output;
        std::ifstream in(page);
        return std::string{std::istreambuf_iterator<char>(in), {}};
    };
    const std::string old_page = page_of(older);
    EXPECT_NE(old_page.find("<li class=\"failure\">" + wrapped + "</li>"), std::string::npos);
    EXPECT_NE(old_page.find("<title>Not kept: came back in place of earlier data</title>"), std::string::npos);

    json damaged = older;
    damaged["schema_version"] = 2;
    const std::string damage = "1 sector of the 4.1 MB written did not come back as written (1 bit differs in it): "
                               "that is damage, not a smaller capacity; the first is told below.";
    damaged["verification"]["capacity"] = {{"offered_bytes", 4096000}, {"checked_bytes", 4096000},
                                           {"verified_bytes", 4091904}, {"first_bad_offset", 12288},
                                           {"aliasing_distance", nullptr}, {"kind", "damaged"},
                                           {"bad_sectors", 1},         {"bits_differ", 1},
                                           {"text", damage}};
    const std::string new_page = page_of(damaged);
    EXPECT_EQ(results_schema_problems(results), "");
    EXPECT_NE(new_page.find("<li class=\"failure\">" + damage + "</li>"), std::string::npos);
    EXPECT_EQ(new_page.find("<title>Not kept"), std::string::npos);
    EXPECT_TRUE(dir.entries().empty());
}
