// The report page (-html) in a real browser: opened from disk, its DOM holds the console's
// figures and the results file's, its charts are drawn in the phases' colours with the longest
// calls marked, and it asks for nothing, over the network or from the disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "report/page_text.hpp"
#include "support/browser.hpp"
#include "support/png_image.hpp"
#include "support/run_program.hpp"
#include "support/temporary_directory.hpp"

namespace {

struct colour {
    int red, green, blue;
};

// Pixels of `wanted` (within a little antialiasing) in the rows from `top` down.
int pixels_of(const image& picture, colour wanted, int top) {
    int count = 0;
    for (int y = top; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const std::uint8_t* pixel = &picture.rgba[(static_cast<std::size_t>(y) * picture.width + x) * 4];
            if (std::abs(pixel[0] - wanted.red) <= 8 && std::abs(pixel[1] - wanted.green) <= 8 &&
                std::abs(pixel[2] - wanted.blue) <= 8)
                ++count;
        }
    return count;
}

}  // namespace

TEST(ReportPage, ABrowserShowsTheFiguresAndTheChartsAndThePageAsksForNothing) {
    std::string browser, why_not;
    if (!find_browser(browser, why_not)) GTEST_SKIP() << why_not;
    temporary_directory dir, reports;
    const std::string page = reports.path_name + "/run.html";
    const execution_result r =
        quorlane({"-path", dir.path_name, "-thread", "2", "-file_number", "2", "-file", "8", "-block", "64", "-cache",
                  "0", "-verify", "-html", page, "-json", reports.path_name + "/run.json"});
    ASSERT_EQ(r.status, 0) << r.output;
    std::ifstream stream(reports.path_name + "/run.json");
    const nlohmann::json results = nlohmann::json::parse(stream);

    std::string dom, error;
    ASSERT_TRUE(page_dom(page, reports.path_name, dom, error)) << error;
    const std::regex result_line(": ([0-9]+) Mo/s {10}\n");
    int figures = 0;
    for (auto it = std::sregex_iterator(r.output.begin(), r.output.end(), result_line); it != std::sregex_iterator();
         ++it, ++figures) {
        const nlohmann::json& figure = results["passes"][0]["figures"][figures];
        EXPECT_NE(dom.find(grouped(std::stoull((*it)[1])) + " Mo/s on the console"), std::string::npos) << (*it)[1];
        // The file's rate is rounded to the thousandth, the page's is not: at x.500 the page may
        // show either whole number.
        const double mb_per_second = figure["mb_per_second"];
        EXPECT_TRUE(dom.find(grouped(mb_per_second - 0.0005, 0) + " <small>MB/s</small>") != std::string::npos ||
                    dom.find(grouped(mb_per_second + 0.0005, 0) + " <small>MB/s</small>") != std::string::npos)
            << figure;
    }
    EXPECT_EQ(figures, 4) << r.output;
    EXPECT_NE(dom.find("Every byte read back (64 MiB) was what had been written."), std::string::npos);

    // Below the figures' cards, in the charts: the write in blue, the reads in green and orange.
    const std::string screenshot = reports.path_name + "/page.png";
    // Tall enough for every chart, whatever notes or stages a busy machine gives the run above them.
    ASSERT_TRUE(page_screenshot(page, reports.path_name, screenshot, 1200, 4000, error)) << error;
    image picture;
    ASSERT_TRUE(png_pixels(screenshot, picture, error)) << error;
    const int charts_top = 420;
    EXPECT_GT(distinct_colours(picture, 0, charts_top, picture.width, picture.height - charts_top), 20);
    EXPECT_GT(pixels_of(picture, {29, 83, 201}, charts_top), 100);
    EXPECT_GT(pixels_of(picture, {29, 201, 143}, charts_top), 100);
    EXPECT_GT(pixels_of(picture, {201, 98, 29}, charts_top), 100);
    // The ten longest calls of each phase marked in orange on its four rate charts, and the
    // calls' percentile curves with their table.
    std::size_t stall_marks = 0;
    for (std::size_t at = 0; (at = dom.find("class=\"stall\"", at)) != std::string::npos; ++at) ++stall_marks;
    EXPECT_EQ(stall_marks, 4 * 10u);
    EXPECT_GT(pixels_of(picture, {234, 88, 12}, charts_top), 400);
    EXPECT_NE(dom.find("<title id=\"latency-title\">"), std::string::npos);
    EXPECT_NE(dom.find("Every figure's calls"), std::string::npos);

    std::vector<std::string> requests;
    ASSERT_TRUE(network_requests(page, reports.path_name, requests, error)) << error;
    EXPECT_TRUE(requests.empty()) << ::testing::PrintToString(requests);
    EXPECT_EQ(reports.entries(), (std::vector<std::string>{"page.png", "run.html", "run.json"}));
    EXPECT_TRUE(dir.entries().empty());
}

// Eight runs compared on one page: each run's medians in its column, each run's lines in a
// colour of its own, and nothing asked for.
TEST(ReportPage, AComparisonShowsEveryRunsFiguresAndALineColourEachAndAsksForNothing) {
    std::string browser, why_not;
    if (!find_browser(browser, why_not)) GTEST_SKIP() << why_not;
    temporary_directory dir, reports;
    constexpr int runs = 8;
    std::vector<std::string> arguments;
    std::vector<nlohmann::json> results;
    for (int run = 0; run < runs; ++run) {
        const std::string file = reports.path_name + "/run" + std::to_string(run) + ".json";
        const execution_result r = quorlane({"-path", dir.path_name, "-file", "4", "-cache", "0", "-thread",
                                             std::to_string(1 + run % 2), "-repeat", std::to_string(1 + run / 4),
                                             "-json", file});
        ASSERT_EQ(r.status, 0) << r.output;
        std::ifstream stream(file);
        results.push_back(nlohmann::json::parse(stream));
        arguments.push_back(file);
    }
    const std::string page = reports.path_name + "/comparison.html";
    arguments.insert(arguments.end(), {"-html", page});
    const execution_result r = run_program(QUORLANE_REPORT_BINARY, arguments);
    ASSERT_EQ(r.status, 0) << r.output;

    std::string dom, error;
    ASSERT_TRUE(page_dom(page, reports.path_name, dom, error)) << error;
    // The figures' table: a row a figure, each run's median in its own cell, in order.
    const std::size_t table = dom.find("<table class=\"compared\">");
    ASSERT_NE(table, std::string::npos);
    std::size_t at = table;
    for (const char* name : {"write_with_cache", "write_without_cache", "read_with_cache", "read_without_cache"})
        for (const nlohmann::json& run : results) {
            // The file's median is rounded to the thousandth, the page's is not: at x.500 the
            // page may show either whole number.
            const double median = run["summary"]["figures"][name]["mb_per_second"]["median"];
            const std::size_t below = dom.find("<b>" + grouped(median - 0.0005, 0) + "</b>", at);
            at = below != std::string::npos ? below : dom.find("<b>" + grouped(median + 0.0005, 0) + "</b>", at);
            ASSERT_NE(at, std::string::npos) << name << " " << median;
        }
    // Every chart of a phase draws each run's lines in that run's colour.
    const std::string chart_start = "<svg class=\"chart\"", line_start = "<polyline fill=\"none\" stroke=\"";
    int charts = 0;
    for (std::size_t start = dom.find(chart_start); start != std::string::npos;
         start = dom.find(chart_start, start + 1), ++charts) {
        const std::string svg = dom.substr(start, dom.find("</svg>", start) - start);
        std::set<std::string> colours;
        for (std::size_t line = svg.find(line_start); line != std::string::npos; line = svg.find(line_start, line + 1)) {
            const std::size_t colour = line + line_start.size();
            colours.insert(svg.substr(colour, svg.find('"', colour) - colour));
        }
        EXPECT_EQ(colours.size(), static_cast<std::size_t>(runs)) << svg.substr(0, 300);
    }
    EXPECT_EQ(charts, 4);

    std::vector<std::string> requests;
    ASSERT_TRUE(network_requests(page, reports.path_name, requests, error)) << error;
    EXPECT_TRUE(requests.empty()) << ::testing::PrintToString(requests);
    EXPECT_TRUE(dir.entries().empty());
}

namespace {

std::size_t count_of(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// The page's own elements and no other: what a payload would add is absent from the DOM, and
// each payload is there as the text it was.
void expect_markup_as_text(const std::string& dom, const std::vector<std::string>& payloads) {
    EXPECT_EQ(count_of(dom, "<meta "), 3u) << "charset, content security policy, viewport";
    EXPECT_EQ(count_of(dom, "<style"), 1u);
    for (const char* element : {"<form", "<input", "<iframe", "<img", "<script", "<svg onload"})
        EXPECT_EQ(dom.find(element), std::string::npos) << element;
    for (const std::string& payload : payloads) EXPECT_NE(dom.find(payload), std::string::npos) << payload;
}

}  // namespace

// Markup in a results file's texts (its message, host, directory, device, layer, cache note)
// stays text on the page made from it, and a status that carries markup is refused; the run's
// own page of a directory named with markup holds none of it either.
TEST(ReportPage, MarkupInAResultsFileOrADirectoryNameAddsNoElementToThePage) {
    std::string browser, why_not;
    if (!find_browser(browser, why_not)) GTEST_SKIP() << why_not;
    temporary_directory reports;
    const std::string from_file = reports.path_name + "/payloads.html";
    const execution_result r =
        run_program(QUORLANE_REPORT_BINARY, {RESULTS_CORPUS "/hostile_texts/page_payloads.json", "-html", from_file});
    ASSERT_EQ(r.status, 0) << r.output;
    std::string dom, error;
    ASSERT_TRUE(page_dom(from_file, reports.path_name, dom, error)) << error;
    expect_markup_as_text(dom, {"&lt;meta http-equiv=refresh", "&lt;style&gt;main{display:none}&lt;/style&gt;&lt;form",
                                "&lt;/title&gt;&lt;script&gt;", "&lt;img src=x onerror=", "&lt;iframe src="});
    for (const char* status : {"status_refresh_payload", "status_style_payload"}) {
        const execution_result refused = run_program(
            QUORLANE_REPORT_BINARY, {std::string(RESULTS_CORPUS "/refused/") + status + ".json", "-html", from_file + "2"});
        EXPECT_EQ(refused.status, 1) << refused.output;
        EXPECT_NE(refused.output.find("/status is none of "), std::string::npos) << refused.output;
    }

    temporary_directory dir;
    const std::string named = dir.path_name + "/\"><meta http-equiv=refresh content=0><style>main{display:none}";
    std::filesystem::create_directory(named);
    const std::string page = reports.path_name + "/run.html";
    const execution_result run = quorlane({"-path", named, "-file", "1", "-cache", "0", "-html", page});
    ASSERT_EQ(run.status, 0) << run.output;
    ASSERT_TRUE(page_dom(page, reports.path_name, dom, error)) << error;
    expect_markup_as_text(dom, {"\"&gt;&lt;meta http-equiv=refresh content=0&gt;&lt;style&gt;main{display:none}"});
    std::filesystem::remove(named);
    EXPECT_EQ(reports.entries(), (std::vector<std::string>{"payloads.html", "run.html"}));
}
