// A write's stages through the real binary, on a device paced by offset (a preloaded library
// that holds each write until a device taking the run's bytes in order, at a rate set by how
// many it has taken, would have taken it): the same three stages at one and four threads, in
// the results file, told on the console right after the write's figure, and side by side in
// quorlane-report. The stages are slow enough (4 to 16 MB/s, several series intervals each)
// that they are clear by construction; a rate is only checked to be no faster than the
// device's, and the stages' rates against each other.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/process.hpp"
#include "support/results_schema.hpp"
#include "support/run_program.hpp"
#include "support/temporary_directory.hpp"

namespace {

constexpr double mib = 1048576;
// 12 MiB at 16 MB/s, 8 MiB at 4 MB/s, then 8 MB/s: 28 MiB in all, about 4 s.
const char* const paced_stages = "PACED_STAGES=12:16,8:4,8";
const double stage_starts[] = {0, 12 * mib, 20 * mib};
const double stage_rates[] = {16, 4, 8};
// A boundary is known to an interval (100 ms) of the faster stage beside it, no closer.
constexpr double boundary_bytes = 16e6 * 0.1 * 1.05;

struct paced_run {
    std::string console;
    nlohmann::json write;
    std::string results;
    std::string page;
};

paced_run run_paced(const temporary_directory& reports, int threads) {
    temporary_directory dir;
    paced_run run;
    run.results = reports.path_name + "/paced_" + std::to_string(threads) + ".json";
    const std::string page = reports.path_name + "/paced_" + std::to_string(threads) + ".html";
    child_process process;
    launch_options options;
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    options.environment = {std::string("LD_PRELOAD=") + PACED_DEVICE, paced_stages,
                           std::string("ASAN_OPTIONS=") + (sanitizer != nullptr ? sanitizer : "") +
                               ":verify_asan_link_order=0"};
    const std::string per_worker = std::to_string(4 / threads);
    EXPECT_TRUE(launch(process, QUORLANE_BINARY,
                       {"-path", dir.path_name, "-file", "7", "-file_number", per_worker, "-thread",
                        std::to_string(threads), "-cache", "0", "-json", run.results, "-html", page},
                       options));
    finish(process);
    EXPECT_EQ(process.status, 0) << process.text << process.error_text;
    run.console = process.text;
    std::ifstream stream(run.results);
    run.write = nlohmann::json::parse(stream)["passes"][0]["figures"][0];
    std::ifstream page_stream(page);
    run.page.assign(std::istreambuf_iterator<char>(page_stream), std::istreambuf_iterator<char>());
    EXPECT_EQ(run.write["name"], "write_with_cache");
    return run;
}

}  // namespace

TEST(PacedStages, ThreeStagesTheSameAtOneAndFourThreadsOnTheConsoleInTheFileAndSideBySide) {
    temporary_directory reports;
    std::vector<paced_run> runs;
    for (const int threads : {1, 4}) {
        SCOPED_TRACE("threads " + std::to_string(threads));
        runs.push_back(run_paced(reports, threads));
        const paced_run& run = runs.back();
        EXPECT_EQ(results_schema_problems(run.results), "");
        const nlohmann::json& stages = run.write["stages"];
        ASSERT_EQ(stages.size(), 3u) << run.write["stages"] << run.console;
        for (std::size_t k = 0; k < 3; ++k) {
            SCOPED_TRACE("stage " + std::to_string(k + 1));
            EXPECT_NEAR(stages[k]["first_byte"].get<double>(), stage_starts[k], boundary_bytes);
            // A busy machine can keep up with the device less well, never make it faster.
            EXPECT_LE(stages[k]["mb_per_second"].get<double>(), stage_rates[k] * 1.1);
            EXPECT_NE(stages[k]["kind"], "decline");
            EXPECT_FALSE(stages[k].contains("first_byte_since_eviction"));
        }
        // Four and two times as fast as the stage between them, by construction.
        EXPECT_GT(stages[0]["mb_per_second"].get<double>(), 1.5 * stages[1]["mb_per_second"].get<double>());
        EXPECT_GT(stages[2]["mb_per_second"].get<double>(), 1.5 * stages[1]["mb_per_second"].get<double>());
        EXPECT_EQ(stages[1]["kind"], "steady");
        EXPECT_EQ(stages[2]["kind"], "steady");
        // Told on a line of its own, right after the write's figure.
        const std::string text = run.write["stages_text"];
        EXPECT_EQ(text.rfind("the write went in stages: ", 0), 0u) << text;
        const std::vector<std::string> shown = lines(run.console);
        std::size_t figure_line = shown.size();
        for (std::size_t k = 0; k < shown.size(); ++k)
            if (visible(shown[k]).rfind("Writing time with cache ram", 0) == 0) figure_line = k;
        ASSERT_LT(figure_line + 1, shown.size()) << run.console;
        EXPECT_EQ(visible(shown[figure_line + 1]), "Note: " + text);
        EXPECT_EQ(visible(shown[figure_line + 2]).rfind("Writing time without cache ram", 0), 0u) << run.console;
        // The page's chart of the write against the data shades and captions each stage.
        const std::size_t chart = run.page.find("id=\"data-0-title\"");
        ASSERT_NE(chart, std::string::npos);
        const std::string drawn = run.page.substr(chart, run.page.find("</svg>", chart) - chart);
        EXPECT_EQ(occurrences(drawn, "class=\"span-caption\""), 3) << drawn;
        EXPECT_GE(occurrences(drawn, ">Steady, "), 2) << drawn;
    }
    const nlohmann::json &one = runs[0].write["stages"], &four = runs[1].write["stages"];
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(one[k]["kind"], four[k]["kind"]);
        EXPECT_NEAR(one[k]["first_byte"].get<double>(), four[k]["first_byte"].get<double>(), 2 * boundary_bytes);
    }

    const execution_result compared = run_program(QUORLANE_REPORT_BINARY, {runs[0].results, runs[1].results});
    ASSERT_EQ(compared.status, 0) << compared.output << compared.errors;
    const std::vector<std::string> shown = lines(compared.output);
    std::size_t heading = shown.size();
    for (std::size_t k = 0; k < shown.size(); ++k)
        if (shown[k] == "Stages, Write with cache (each run's first pass; size at MB/s):") heading = k;
    ASSERT_LT(heading + 4, shown.size()) << compared.output;
    EXPECT_EQ(shown[heading + 1].substr(0, 11), "     Run 1 ") << compared.output;
    for (std::size_t k = 0; k < 3; ++k) {
        const std::string& row = shown[heading + 2 + k];
        EXPECT_EQ(row.substr(0, 5), "  " + std::to_string(k + 1) + "  ") << compared.output;
        // Both runs' stage k, each "Kind, size at rate".
        EXPECT_EQ(occurrences(row, " MiB at "), 2) << row;
    }
}
