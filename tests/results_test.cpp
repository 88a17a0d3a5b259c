// The results file (-json), the report page (-html) and repeated passes (-repeat), through the
// real binary: a document that parses however the run ends, figures equal to the console's,
// bytes equal to what the settings imply, series that climb to the phase's bytes, medians on
// the last four lines, a page that says how the run ended.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <regex>

#include "report/page_text.hpp"
#include "results/series.hpp"
#include "results/statistics.hpp"
#include "support/mount.hpp"
#include "support/process.hpp"
#include "support/run_program.hpp"
#include "support/temporary_directory.hpp"

using json = nlohmann::json;

namespace {

constexpr int timeout_ms = 120000;
const char* const figure_names[] = {"write_with_cache", "write_without_cache", "read_with_cache", "read_without_cache"};

json read_results(const std::string& name) {
    std::ifstream stream(name);
    return json::parse(stream, nullptr, false);
}

// The figure of each result line of `output`, in order.
std::vector<unsigned long long> console_figures(const std::string& output) {
    std::vector<unsigned long long> figures;
    const std::regex result(": ([0-9]+) Mo/s {10}\n");
    for (auto it = std::sregex_iterator(output.begin(), output.end(), result); it != std::sregex_iterator(); ++it)
        figures.push_back(std::stoull((*it)[1]));
    return figures;
}

// Every figure of the pass holds the bytes the settings imply, its workers' bytes add up to
// them, and its series climbs to them.
void check_pass(const json& pass, std::uint64_t bytes_per_pass, int threads) {
    for (const json& figure : pass["figures"]) {
        SCOPED_TRACE(figure["name"].get<std::string>());
        EXPECT_EQ(figure["bytes"].get<std::uint64_t>(), bytes_per_pass);
        // The forced write adds the flush to the write: its workers and series are the write's.
        if (figure["name"] == "write_without_cache") continue;
        ASSERT_EQ(figure["workers"].size(), static_cast<std::size_t>(threads));
        std::uint64_t workers = 0;
        for (const json& worker : figure["workers"]) workers += worker["bytes"].get<std::uint64_t>();
        EXPECT_EQ(workers, bytes_per_pass);
        const json& points = figure["series"]["points"];
        ASSERT_FALSE(points.empty());
        for (std::size_t k = 1; k < points.size(); ++k) {
            EXPECT_GE(points[k][0].get<std::int64_t>(), points[k - 1][0].get<std::int64_t>());
            EXPECT_GE(points[k][1].get<std::uint64_t>(), points[k - 1][1].get<std::uint64_t>());
        }
        EXPECT_EQ(points.back()[0], figure["microseconds"]);
        EXPECT_EQ(points.back()[1].get<std::uint64_t>(), bytes_per_pass);
    }
}

}  // namespace

TEST(ResultsFile, ACompletedRunIsDescribedWithTheConsolesFigures) {
    temporary_directory dir, elsewhere;
    const std::string results = elsewhere.path_name + "/run.json";
    const execution_result r = quorlane({"-path", dir.path_name, "-thread", "2", "-file_number", "2", "-file", "3",
                                         "-block", "64", "-cache", "0", "-json", results});
    ASSERT_EQ(r.status, 0) << r.output;
    const json document = read_results(results);
    ASSERT_FALSE(document.is_discarded());
    EXPECT_EQ(document["schema_version"], 2);
    EXPECT_EQ(document["status"], "completed");
    EXPECT_EQ(document["settings"]["thread"], 2);
    const std::uint64_t bytes_per_pass = 2 * 2 * 3 * 1048576ull;
    EXPECT_EQ(document["settings"]["bytes_per_pass"].get<std::uint64_t>(), bytes_per_pass);
    EXPECT_NE(document["target"]["file_system"], "");
    ASSERT_EQ(document["passes"].size(), 1u);
    const json& pass = document["passes"][0];
    check_pass(pass, bytes_per_pass, 2);
    // Linux says what the purge left in its cache; NTFS compression and EFS are Windows'.
    EXPECT_EQ(pass["purge_confirmed"], true);
    EXPECT_EQ(document["target"]["compressed"], false);
    EXPECT_EQ(document["target"]["encrypted"], false);
    const std::vector<unsigned long long> console = console_figures(r.output);
    ASSERT_EQ(console.size(), 4u) << r.output;
    ASSERT_EQ(pass["figures"].size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(pass["figures"][k]["name"], figure_names[k]);
        EXPECT_EQ(pass["figures"][k]["kib_per_ms"].get<unsigned long long>(), console[k]);
    }
    // A run this small, 12 MiB, has too little data for its write's rate to fall for good,
    // however fast or slow the machine.
    EXPECT_TRUE(pass["figures"][0].contains("rate_drop"));
    EXPECT_TRUE(pass["figures"][0]["rate_drop"].is_null());
    EXPECT_EQ(elsewhere.entries(), std::vector<std::string>{"run.json"});
    EXPECT_TRUE(dir.entries().empty());
}

TEST(ResultsFile, RepeatedPassesEndWithTheirMediansOnTheLastFourLines) {
    temporary_directory dir, elsewhere;
    const std::string results = elsewhere.path_name + "/run.json";
    const execution_result r = quorlane(
        {"-path", dir.path_name, "-file", "2", "-block", "64", "-cache", "0", "-repeat", "3", "-json", results});
    ASSERT_EQ(r.status, 0) << r.output;
    for (const char* heading : {"Pass 1 of 3\n", "Pass 2 of 3\n", "Pass 3 of 3\n", "Median of 3 passes:\n"})
        EXPECT_EQ(occurrences(r.output, heading), 1) << heading;
    const std::vector<unsigned long long> console = console_figures(r.output);
    ASSERT_EQ(console.size(), 12u) << r.output;

    const json document = read_results(results);
    ASSERT_EQ(document["passes"].size(), 3u);
    for (const json& pass : document["passes"]) check_pass(pass, 2 * 1048576, 1);
    const std::vector<std::string> screen = lines(r.output);
    ASSERT_GE(screen.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
        const json& statistics = document["summary"]["figures"][figure_names[k]]["kib_per_ms"];
        std::vector<unsigned long long> passes{console[k], console[4 + k], console[8 + k]};
        std::sort(passes.begin(), passes.end());
        EXPECT_EQ(statistics["median"].get<double>(), passes[1]);
        char expected[96];
        std::snprintf(expected, sizeof expected, " %llu Mo/s          (min %llu, max %llu)", passes[1], passes[0],
                      passes[2]);
        const std::string line = visible(screen[screen.size() - 4 + k]);
        EXPECT_NE(line.find(expected), std::string::npos) << line;
    }
    EXPECT_TRUE(dir.entries().empty());
}

TEST(ResultsFile, AFailedOrInterruptedRunStillLeavesAWholeDocument) {
    temporary_directory dir, elsewhere;
    const std::string results = elsewhere.path_name + "/run.json";
    const std::string page = elsewhere.path_name + "/run.html";

    // Interrupted in the first read phase: the two write figures are kept, the reads are not.
    child_process process;
    ASSERT_TRUE(launch(process, {"-path", dir.path_name, "-file", "64", "-block", "4", "-file_number", "8", "-cache",
                                 "0", "-json", results, "-html", page}));
    ASSERT_TRUE(wait_for_results(process, 2, timeout_ms)) << process.text;
    kill(process.pid, SIGINT);
    finish(process);
    EXPECT_EQ(process.status, 130);
    json document = read_results(results);
    ASSERT_FALSE(document.is_discarded());
    EXPECT_EQ(document["status"], "interrupted");
    EXPECT_EQ(document["exit_status"], 130);
    EXPECT_EQ(document["passes"][0]["figures"].size(), 2u);
    // No pass measured all four figures: none has a median.
    EXPECT_EQ(document["summary"]["passes"], 0);
    for (const char* name : figure_names)
        for (const char* statistic : {"median", "minimum", "maximum", "mean", "standard_deviation"})
            EXPECT_TRUE(document["summary"]["figures"][name]["mb_per_second"][statistic].is_null()) << name << statistic;
    // The page says so, and shows what was measured: the writes' figures, the reads' missing.
    std::ifstream page_stream(page);
    const std::string html((std::istreambuf_iterator<char>(page_stream)), std::istreambuf_iterator<char>());
    EXPECT_NE(html.find("The run was interrupted: the run&#39;s files have been removed."), std::string::npos) << html;
    EXPECT_EQ(occurrences(html, "Mo/s on the console"), 2);
    EXPECT_EQ(occurrences(html, ">not measured<"), 2);
    EXPECT_EQ(html.substr(html.size() - 8), "</html>\n");

    // A disk too small: refused before any file exists, with its reason in the document.
    const std::string small = dir.path_name + "/small";
    std::filesystem::create_directory(small);
    tmpfs_mount disk(small, "4m");
    if (!disk.mounted) GTEST_SKIP() << disk.reason;
    const execution_result r = quorlane({"-path", small, "-file", "8", "-cache", "0", "-json", results});
    EXPECT_EQ(r.status, 1);
    document = read_results(results);
    ASSERT_FALSE(document.is_discarded());
    EXPECT_EQ(document["status"], "error");
    EXPECT_NE(document["message"].get<std::string>().find("free space"), std::string::npos) << document["message"];
    EXPECT_TRUE(document["passes"].empty());
}

TEST(ResultsFile, AnUnwritableLocationIsRefusedBeforeAnyFileExists) {
    temporary_directory dir;
    for (const std::string option : {"-json", "-html"}) {
        const execution_result r =
            quorlane({"-path", dir.path_name, "-file", "1", "-cache", "0", option, dir.path_name + "/absent/run"});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.output.find("Sorry, the argument " + option + " must name a file that can be written\n" +
                                dir.path_name + "/absent/run : No such file or directory"),
                  std::string::npos)
            << r.output;
        EXPECT_TRUE(dir.entries().empty());
    }
}

TEST(Series, AnHoursPhaseKeepsAFewThousandPointsOnADoublingInterval) {
    series_record series;
    start_series(series);
    std::uint64_t bytes = 0;
    while (next_point_due_us(series) <= 3600 * 1000000ll) add_point(series, next_point_due_us(series), bytes += 7);
    EXPECT_EQ(series.interval_us, 1600000);
    EXPECT_EQ(series.points.size(), 2250u);
    for (std::size_t k = 0; k < series.points.size(); ++k)
        EXPECT_EQ(series.points[k].elapsed_us, static_cast<std::int64_t>(k + 1) * series.interval_us);
}

TEST(Statistics, MedianOfAnEvenCountAndTheSampleDeviation) {
    const figure_statistics statistics = statistics_of({4, 1, 3, 2});
    EXPECT_EQ(statistics.median, 2.5);
    EXPECT_EQ(statistics.minimum, 1);
    EXPECT_EQ(statistics.maximum, 4);
    EXPECT_EQ(statistics.mean, 2.5);
    EXPECT_NEAR(statistics.standard_deviation, 1.2909944, 1e-6);
    EXPECT_EQ(statistics_of({7}).standard_deviation, 0);
}

// A repeated run interrupted in its second pass: the cards say the figures are the first
// pass's alone, and a phase under a second is said once for all passes.
TEST(ReportPage, APartialRepeatSaysWhichPassTheCardsShowAndShortPhasesOnce) {
    temporary_directory dir, elsewhere;
    const std::string page = elsewhere.path_name + "/run.html";
    child_process process;
    ASSERT_TRUE(launch(process, {"-path", dir.path_name, "-file", "64", "-block", "4", "-file_number", "8", "-cache",
                                 "0", "-repeat", "2", "-html", page}));
    ASSERT_TRUE(wait_for_text(process, "Pass 2 of 2", timeout_ms)) << process.text;
    kill(process.pid, SIGINT);
    finish(process);
    EXPECT_EQ(process.status, 130);
    std::ifstream stream(page);
    const std::string html((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    EXPECT_EQ(occurrences(html, "pass 1 alone, of 2 asked"), 4) << html;
    EXPECT_LE(occurrences(html, "under a second"), 1);

    const execution_result r = quorlane(
        {"-path", dir.path_name, "-file", "1", "-cache", "0", "-repeat", "12", "-html", page});
    ASSERT_EQ(r.status, 0) << r.output;
    std::ifstream again(page);
    const std::string repeated((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>());
    EXPECT_LE(occurrences(repeated, "under a second"), 1);
    // Every pass's entry of the legend stands inside its chart, 960 wide, whatever their count.
    const std::regex entry("<text x=\"([0-9.]+)\" y=\"[0-9.]+\">Pass ([0-9]+)</text>");
    int entries = 0;
    for (auto it = std::sregex_iterator(repeated.begin(), repeated.end(), entry); it != std::sregex_iterator();
         ++it, ++entries)
        EXPECT_LT(std::stod((*it)[1]) + 7.2 * (*it)[2].length() + 40, 960) << (*it)[0];
    EXPECT_EQ(entries, 4 * 12) << "each phase's charts name every pass";
    EXPECT_TRUE(dir.entries().empty());
}

// Sizes keep the digits that tell them from a round one.
TEST(ReportPage, SizesAreNotRoundedToAWholeTheyAreNot) {
    EXPECT_EQ(binary_size(64 * 1048576ULL), "64 MiB");
    EXPECT_EQ(binary_size(3 * 536870912ULL), "1.5 GiB");
    EXPECT_EQ(binary_size(655 * 102400ULL), "63.96 MiB");
    EXPECT_EQ(binary_size(1000 * 1024ULL), "1,000 KiB");
}
