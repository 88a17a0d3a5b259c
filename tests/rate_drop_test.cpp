// The fall in a write's rate, on made-up series sampled as the real ones are: found where a
// step down happens, with or without noise, on a long phase's doubled interval; never on
// noise alone, a slow decline or a short dip; told in one sentence, in the results file and on
// the report page.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <random>

#include "report/html_report.hpp"
#include "report/json_report.hpp"
#include "report/rate_drop_text.hpp"
#include "results/rate_drop.hpp"
#include "results/series.hpp"
#include "support/process.hpp"

namespace {

constexpr double second_us = 1e6;
using rate_of_time = std::function<double(double)>;

// A phase of `seconds` whose rate in MB/s at t seconds is `mb_per_second(t)`, each span's
// rate scaled by a draw within ±`jitter`, sampled a little late as the real sampler is.
series_record series_of(double seconds, const rate_of_time& mb_per_second, double jitter = 0) {
    std::minstd_rand draws(12345);
    const double most = static_cast<double>(std::minstd_rand::max());
    series_record series;
    start_series(series);
    const auto end_us = static_cast<std::int64_t>(seconds * second_us);
    std::int64_t previous_us = 0;
    double bytes = 0;
    auto advance = [&](std::int64_t elapsed_us) {
        const double noise = 1 + jitter * (2 * static_cast<double>(draws()) / most - 1);
        const double middle = static_cast<double>(previous_us + elapsed_us) / 2 / second_us;
        bytes += mb_per_second(middle) * noise * static_cast<double>(elapsed_us - previous_us);
        previous_us = elapsed_us;
        return static_cast<std::uint64_t>(bytes);
    };
    while (next_point_due_us(series) < end_us) {
        const auto elapsed_us =
            static_cast<std::int64_t>(next_point_due_us(series) + 100 + series.points.size() % 7 * 300);
        add_point(series, elapsed_us, advance(elapsed_us));
    }
    end_series(series, end_us, advance(end_us));
    return series;
}

rate_of_time step(double at_seconds, double from, double to) {
    return [=](double t) { return t < at_seconds ? from : to; };
}

// The fall is found within one interval of `at_seconds`, with rates within `tolerance`.
void expect_fall(const series_record& series, double at_seconds, double from, double to, double tolerance) {
    const rate_drop drop = find_rate_drop(series);
    ASSERT_TRUE(drop.found);
    EXPECT_NEAR(static_cast<double>(drop.at_us), at_seconds * second_us, static_cast<double>(series.interval_us));
    EXPECT_NEAR(drop.before_bytes_per_second / 1e6, from, from * tolerance);
    EXPECT_NEAR(drop.after_bytes_per_second / 1e6, to, to * tolerance);
    // The bytes are the series' own at that point.
    bool is_a_point = false;
    for (const series_point& point : series.points)
        is_a_point = is_a_point || (point.elapsed_us == drop.at_us && point.bytes == drop.at_bytes);
    EXPECT_TRUE(is_a_point);
}

}  // namespace

TEST(RateDrop, AStepDownIsFoundWhereItHappens) {
    {
        SCOPED_TRACE("clean");
        expect_fall(series_of(40, step(20, 2000, 400)), 20, 2000, 400, 0.01);
    }
    {
        SCOPED_TRACE("20 % noise on both sides");
        expect_fall(series_of(40, step(20, 2000, 400), 0.2), 20, 2000, 400, 0.1);
    }
    {
        SCOPED_TRACE("a long phase, its interval doubled");
        const series_record series = series_of(3600, step(3000, 1500, 500), 0.2);
        ASSERT_EQ(series.interval_us, 1600000);
        expect_fall(series, 3000, 1500, 500, 0.1);
    }
    {
        SCOPED_TRACE("a dip in the seconds before the fall");
        const rate_of_time rate = [](double t) { return (t >= 15 && t < 16) || t >= 19 ? 400 : 2000; };
        expect_fall(series_of(25, rate), 19, 2000, 400, 0.01);
    }
    {
        SCOPED_TRACE("the earliest of two falls");
        expect_fall(series_of(40, [](double t) { return t < 10 ? 4000 : t < 30 ? 1000 : 300; }), 10, 4000, 1000, 0.01);
    }
}

TEST(RateDrop, NoiseADeclineOrADipIsNoFall) {
    const rate_of_time flat = [](double) { return 1000; };
    const rate_of_time decline = [](double t) { return 1000 - 700 * t / 60; };
    const rate_of_time dip = [](double t) { return t >= 30 && t < 31 ? 200 : 1000; };
    EXPECT_FALSE(find_rate_drop(series_of(60, flat, 0.3)).found);
    EXPECT_FALSE(find_rate_drop(series_of(60, decline)).found);
    EXPECT_FALSE(find_rate_drop(series_of(60, decline, 0.2)).found);
    EXPECT_FALSE(find_rate_drop(series_of(60, dip)).found);
    EXPECT_FALSE(find_rate_drop(series_of(60, dip, 0.2)).found);
}

TEST(RateDrop, TooLittleBeforeOrAfterIsNoFall) {
    EXPECT_FALSE(find_rate_drop(series_record{}).found);
    EXPECT_FALSE(find_rate_drop(series_of(4.9, step(2.2, 2000, 400))).found);
    // 1.8 s of the high rate, or 2.8 s of the low one, is not enough to tell.
    EXPECT_FALSE(find_rate_drop(series_of(20, step(1.8, 2000, 400))).found);
    EXPECT_FALSE(find_rate_drop(series_of(20, step(17.2, 2000, 400))).found);
    EXPECT_TRUE(find_rate_drop(series_of(20, step(16.8, 2000, 400))).found);
}

TEST(RateDrop, TheSentenceRoundsForPeople) {
    EXPECT_EQ(rate_drop_sentence(rate_drop{true, 0, 41016937267ull, 1948.6e6, 409.7e6}),
              "The write rate fell from about 1,950 to 410 MB/s after 38.2 GiB.");
    EXPECT_EQ(rate_drop_sentence(rate_drop{true, 0, 536870912ull, 95.4e6, 7.26e6}),
              "The write rate fell from about 95 to 7.3 MB/s after 512 MiB.");
    EXPECT_EQ(rate_drop_sentence(rate_drop{true, 0, 1341497528320ull, 12346e6, 99.7e6}),
              "The write rate fell from about 12,350 to 100 MB/s after 1,249.4 GiB.");
}

TEST(RateDrop, TheResultsFileTellsItForTheWriteWithCacheAlone) {
    run_record run;
    pass_record pass;
    for (figure_record& figure : pass.figures) {
        figure.measured = true;
        figure.series = series_of(40, step(20, 2000, 400));
    }
    run.passes.push_back(pass);
    const nlohmann::ordered_json document = results_document(run, 0, "");
    const nlohmann::ordered_json& figures = document["passes"][0]["figures"];
    const nlohmann::ordered_json& drop = figures[0]["rate_drop"];
    EXPECT_NEAR(drop["after_us"].get<double>(), 20 * second_us, 100000);
    EXPECT_NEAR(drop["after_bytes"].get<double>(), 40e9, 0.3e9);
    EXPECT_NEAR(drop["before_mb_per_second"].get<double>(), 2000, 20);
    EXPECT_NEAR(drop["after_mb_per_second"].get<double>(), 400, 4);
    EXPECT_EQ(drop["text"], "The write rate fell from about 2,000 to 400 MB/s after 37.3 GiB.");
    for (int kind = 1; kind < figure_count; ++kind) EXPECT_FALSE(figures[kind].contains("rate_drop"));
    // The page says it and marks it on the timeline and the write's two charts.
    const std::string page = html_page(run, document);
    EXPECT_NE(page.find("<li class=\"warning\">The write rate fell from about 2,000 to 400 MB/s after 37.3 GiB.</li>"),
              std::string::npos);
    EXPECT_EQ(occurrences(page, "<g class=\"marker\">"), 3);

    run.passes[0].figures[0].series = series_of(40, step(20, 2000, 1500));
    EXPECT_TRUE(results_document(run, 0, "")["passes"][0]["figures"][0]["rate_drop"].is_null());
}
