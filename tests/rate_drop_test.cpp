// The fall in a write's rate, on made-up series sampled as the real ones are: found where a
// step down happens, with or without noise, on a long phase's doubled interval, early, in a
// short phase, in stages or in bursts; never on noise alone, a slow decline, a short dip, or
// the end of some of the workers; told in one sentence, in the results file and on the report
// page.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <random>

#include "report/finished_record.hpp"
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

// The write phase of that series, its workers ending at those seconds (by default, one at
// the phase's end).
figure_record phase_of(const series_record& series, std::initializer_list<double> worker_ends = {}) {
    figure_record phase;
    phase.series = series;
    for (double end : worker_ends) phase.workers.push_back(worker_result{0, static_cast<std::int64_t>(end * second_us)});
    if (phase.workers.empty()) phase.workers.push_back(worker_result{0, series.points.back().elapsed_us});
    return phase;
}

bool fell(const series_record& series) { return find_rate_drop(phase_of(series)).found; }

rate_of_time step(double at_seconds, double from, double to) {
    return [=](double t) { return t < at_seconds ? from : to; };
}

// The fall is found within one interval of `at_seconds` (or `within_us`), with rates within
// `tolerance`.
rate_drop expect_fall(const figure_record& phase, double at_seconds, double from, double to, double tolerance,
                      std::int64_t within_us = 0) {
    const series_record& series = phase.series;
    const rate_drop drop = find_rate_drop(phase);
    EXPECT_TRUE(drop.found);
    if (!drop.found) return drop;
    EXPECT_NEAR(static_cast<double>(drop.at_us), at_seconds * second_us,
                static_cast<double>(within_us > 0 ? within_us : series.interval_us));
    EXPECT_NEAR(drop.before_bytes_per_second / 1e6, from, from * tolerance);
    EXPECT_NEAR(drop.after_bytes_per_second / 1e6, to, to * tolerance);
    // The bytes are the series' own at that point.
    bool is_a_point = false;
    for (const series_point& point : series.points)
        is_a_point = is_a_point || (point.elapsed_us == drop.at_us && point.bytes == drop.at_bytes);
    EXPECT_TRUE(is_a_point);
    return drop;
}

rate_drop expect_fall(const series_record& series, double at_seconds, double from, double to, double tolerance,
                      std::int64_t within_us = 0) {
    return expect_fall(phase_of(series), at_seconds, from, to, tolerance, within_us);
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
        SCOPED_TRACE("a dip in the seconds before the fall, which the rate before counts");
        const rate_of_time rate = [](double t) { return (t >= 15 && t < 16) || t >= 19 ? 400 : 2000; };
        expect_fall(series_of(25, rate), 19, (18 * 2000 + 400) / 19.0, 400, 0.01);
    }
    {
        SCOPED_TRACE("of two falls, the one that splits the phase best");
        const rate_of_time rate = [](double t) { return t < 10 ? 4000 : t < 30 ? 1000 : 300; };
        expect_fall(series_of(40, rate), 10, 4000, (20 * 1000 + 10 * 300) / 30.0, 0.01);
    }
}

TEST(RateDrop, APlainFallIsFoundEarlyInAShortPhaseInStagesOrInBursts) {
    {
        SCOPED_TRACE("1.5 s into the phase");
        expect_fall(series_of(10, step(1.5, 2000, 400)), 1.5, 2000, 400, 0.01);
    }
    {
        SCOPED_TRACE("a phase of 4.8 s: 1.6 GB/s for 0.4 GiB, then 150 MB/s");
        const double cache_seconds = 0.4 * 1073741824 / 1.6e9;
        expect_fall(series_of(4.8, step(cache_seconds, 1600, 150)), cache_seconds, 1600, 150, 0.1);
    }
    {
        SCOPED_TRACE("in stages: 2000, 1200, 700, then 400");
        const rate_of_time stages = [](double t) { return t < 4 ? 2000 : t < 8 ? 1200 : t < 12 ? 700 : 400; };
        expect_fall(series_of(16, stages), 4, 2000, (1200 + 700 + 400) / 3.0, 0.01);
    }
    {
        SCOPED_TRACE("to bursts of 2000 MB/s one interval in three");
        const rate_of_time bursts = [](double t) {
            return t < 5 || static_cast<int>(std::floor(t * 10)) % 3 == 2 ? 2000 : 0;
        };
        expect_fall(series_of(15, bursts), 5, 2000, 2000 / 3.0, 0.05, 1000000);
    }
    {
        SCOPED_TRACE("a device held to 50 MB/s that drops to 5, written back 10 MB/s one interval in two");
        const rate_of_time throttled = [](double t) {
            return t < 4.5 ? 50 : static_cast<int>(std::floor(t * 10)) % 2 == 0 ? 0 : 10;
        };
        const rate_drop drop = expect_fall(series_of(20, throttled), 4.5, 50, 5, 0.05, 1000000);
        EXPECT_NEAR(static_cast<double>(drop.at_bytes) / 1048576, 215, 50e6 / 1048576);
    }
}

TEST(RateDrop, OtherWorkersEndingIsNoFall) {
    // Four workers at 500 MB/s each; three end at 8 s and the fourth goes on alone to 12 s.
    EXPECT_FALSE(find_rate_drop(phase_of(series_of(12, step(8, 2000, 500), 0.1), {8, 8, 8, 12})).found);
    // A fall while all four ran is found, its rate after taken until the first of them ended.
    const rate_of_time fall_then_end = [](double t) { return t < 3 ? 2000 : t < 8 ? 400 : 100; };
    expect_fall(phase_of(series_of(12, fall_then_end), {8, 8, 8, 12}), 3, 2000, 400, 0.01);
}

TEST(RateDrop, NoiseADeclineADipABurstOrAStallIsNoFall) {
    const rate_of_time flat = [](double) { return 1000; };
    const rate_of_time decline = [](double t) { return 1000 - 700 * t / 60; };
    const rate_of_time dip = [](double t) { return t >= 30 && t < 31 ? 200 : 1000; };
    // Both halve the rate after their best split, yet neither is a fall for good: a fast stretch
    // amid a slow phase, and a stall of 6 s after which the rate comes back.
    EXPECT_FALSE(fell(series_of(23, [](double t) { return t >= 10 && t < 13 ? 4000 : 400; })));
    EXPECT_FALSE(fell(series_of(20, [](double t) { return t >= 10 && t < 16 ? 0 : 2000; })));
    EXPECT_FALSE(fell(series_of(60, flat, 0.3)));
    EXPECT_FALSE(fell(series_of(60, decline)));
    EXPECT_FALSE(fell(series_of(60, decline, 0.2)));
    EXPECT_FALSE(fell(series_of(60, dip)));
    EXPECT_FALSE(fell(series_of(60, dip, 0.2)));
}

TEST(RateDrop, TooLittleBeforeOrAfterIsNoFall) {
    EXPECT_FALSE(find_rate_drop(figure_record{}).found);
    // A single interval of the high rate, which could be the ramp, or 2.8 s of the low one is
    // not enough to tell.
    EXPECT_FALSE(fell(series_of(20, step(0.1, 2000, 400))));
    EXPECT_FALSE(fell(series_of(4.9, step(2.2, 2000, 400))));
    EXPECT_FALSE(fell(series_of(20, step(17.2, 2000, 400))));
    EXPECT_TRUE(fell(series_of(20, step(16.8, 2000, 400))));
    // Nor is less than 16 MiB on either side: 10 MB before, then 20 MB; 15 MB after, then 20 MB.
    EXPECT_FALSE(fell(series_of(20, step(1, 10, 2))));
    EXPECT_TRUE(fell(series_of(20, step(1, 20, 2))));
    EXPECT_FALSE(fell(series_of(20, step(5, 20, 1))));
    EXPECT_TRUE(fell(series_of(25, step(5, 20, 1))));
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
    const run_record finished = finished_record(default_settings(), run, 0, "");
    const nlohmann::ordered_json document = results_document(finished);
    const nlohmann::ordered_json& figures = document["passes"][0]["figures"];
    const nlohmann::ordered_json& drop = figures[0]["rate_drop"];
    EXPECT_NEAR(drop["after_us"].get<double>(), 20 * second_us, 100000);
    EXPECT_NEAR(drop["after_bytes"].get<double>(), 40e9, 0.3e9);
    EXPECT_NEAR(drop["before_mb_per_second"].get<double>(), 2000, 20);
    EXPECT_NEAR(drop["after_mb_per_second"].get<double>(), 400, 4);
    EXPECT_EQ(drop["text"], "The write rate fell from about 2,000 to 400 MB/s after 37.3 GiB.");
    for (int kind = 1; kind < figure_count; ++kind) EXPECT_FALSE(figures[kind].contains("rate_drop"));
    // The page says it and marks it on the timeline and the write's two charts.
    const std::string page = html_page(finished);
    EXPECT_NE(page.find("<li class=\"warning\">The write rate fell from about 2,000 to 400 MB/s after 37.3 GiB.</li>"),
              std::string::npos);
    EXPECT_EQ(occurrences(page, "<g class=\"marker\">"), 3);

    run.passes[0].figures[0].series = series_of(40, step(20, 2000, 1500));
    EXPECT_TRUE(results_document(finished_record(default_settings(), run, 0, ""))["passes"][0]["figures"][0]["rate_drop"].is_null());
}
