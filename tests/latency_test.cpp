// The calls' times: the histogram's percentiles against every sample sorted, within its
// precision, for spread and skewed samples; histograms added (in one process and through
// their numbers, as ranks add them) equal one histogram of all the samples; the stall keepers
// keep exactly the longest calls. Through the real binary, a run stopped in its write shows
// that stop as its longest call, where and when it happened.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <regex>
#include <thread>

#include "latency/histogram.hpp"
#include "latency/stalls.hpp"
#include "report/latency_text.hpp"
#include "run/run_marker.hpp"
#include "support/process.hpp"
#include "support/temporary_directory.hpp"

namespace {

const double quantiles[] = {0, 0.5, 0.9, 0.99, 0.999, 0.9999, 1};

// Every time from 1 µs to an hour equally likely on a log scale.
std::vector<std::uint64_t> spread_samples(std::mt19937_64& random, std::size_t count) {
    std::uniform_real_distribution<double> decades(3, std::log10(3.6e12));
    std::vector<std::uint64_t> samples;
    for (std::size_t k = 0; k < count; ++k)
        samples.push_back(static_cast<std::uint64_t>(std::pow(10.0, decades(random))));
    return samples;
}

// Calls of about 40 µs, one in a thousand a stall of a second or more.
std::vector<std::uint64_t> skewed_samples(std::mt19937_64& random, std::size_t count) {
    std::lognormal_distribution<double> usual(std::log(40000.0), 0.3);
    std::uniform_real_distribution<double> stall(1e9, 3e9);
    std::uniform_int_distribution<int> one_in(0, 999);
    std::vector<std::uint64_t> samples;
    for (std::size_t k = 0; k < count; ++k)
        samples.push_back(static_cast<std::uint64_t>(one_in(random) == 0 ? stall(random) : usual(random)));
    return samples;
}

void expect_percentiles_within_precision(std::vector<std::uint64_t> samples) {
    latency_histogram histogram;
    std::uint64_t total = 0;
    for (const std::uint64_t ns : samples) {
        record_latency(histogram, ns);
        total += ns;
    }
    std::sort(samples.begin(), samples.end());
    for (const double quantile : quantiles) {
        const std::size_t rank =
            std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(quantile * samples.size())));
        const double exact = static_cast<double>(samples[rank - 1]);
        EXPECT_NEAR(static_cast<double>(latency_at(histogram, quantile)), exact, exact / 128 + 1) << quantile;
    }
    const latency_summary summary = summarize(histogram);
    EXPECT_EQ(summary.calls, samples.size());
    EXPECT_EQ(summary.mean_ns, total / samples.size());
    EXPECT_EQ(summary.max_ns, samples.back());
    EXPECT_EQ(summary.curve.back().ns, samples.back());
    for (std::size_t k = 1; k < summary.curve.size(); ++k) EXPECT_GE(summary.curve[k].ns, summary.curve[k - 1].ns);
}

}  // namespace

TEST(Latency, PercentilesMatchTheSortedSamplesWithinAHundredAndTwentyEighth) {
    std::mt19937_64 random(27);
    expect_percentiles_within_precision(spread_samples(random, 200000));
    expect_percentiles_within_precision(skewed_samples(random, 200000));
    // Exact below 128 ns, and few calls: every quantile is one of them.
    expect_percentiles_within_precision({5, 7, 127, 1000});
    expect_percentiles_within_precision({1});
}

TEST(Latency, HistogramsAddUpToOneOfAllTheSamples) {
    std::mt19937_64 random(5);
    const std::vector<std::uint64_t> samples = skewed_samples(random, 50000);
    latency_histogram whole, parts[4], added, through_numbers;
    for (std::size_t k = 0; k < samples.size(); ++k) {
        record_latency(whole, samples[k]);
        record_latency(parts[k % 4], samples[k]);
    }
    for (const latency_histogram& part : parts) {
        add_histogram(added, part);
        const std::vector<std::uint64_t> numbers = histogram_numbers(part);
        ASSERT_EQ(numbers.size(), histogram_number_count);
        add_histogram_numbers(through_numbers, numbers.data());
    }
    for (const latency_histogram* sum : {&added, &through_numbers}) {
        EXPECT_EQ(sum->counts, whole.counts);
        EXPECT_EQ(sum->calls, whole.calls);
        EXPECT_EQ(sum->total_ns, whole.total_ns);
        EXPECT_EQ(sum->longest_ns, whole.longest_ns);
    }
    // A call longer than an hour counts in the last bucket; the longest stays exact.
    latency_histogram hours;
    record_latency(hours, 7200000000000);
    EXPECT_EQ(latency_at(hours, 0.5), 7200000000000u);
    EXPECT_EQ(summarize(latency_histogram{}).calls, 0u);
}

TEST(Latency, KeepersKeepTheTenLongestCallsWithWhereAndWhen) {
    std::mt19937_64 random(11);
    // Distinct times, so that the ten longest are one set.
    std::vector<std::uint64_t> took(30000);
    for (std::size_t k = 0; k < took.size(); ++k) took[k] = 1000 + 97 * k;
    std::shuffle(took.begin(), took.end(), random);
    constexpr std::int64_t phase_start = 1000000000;
    stall_keeper keepers[3];
    std::vector<stall_record> all;
    for (std::uint32_t call = 0; call < 30000; ++call) {
        const std::uint32_t worker = call % 3;
        const stall_record stall{
            0,         worker, call / 1000, std::uint64_t{call} * 4096, false, phase_start + std::int64_t{call} * 10000,
            took[call]};
        keep_if_long(keepers[worker], stall);
        all.push_back(stall);
    }
    keep_longest(all);
    const std::vector<stall_record> kept = longest_stalls({&keepers[0], &keepers[1], &keepers[2]}, phase_start);
    ASSERT_EQ(kept.size(), kept_stalls);
    for (std::size_t k = 0; k < kept_stalls; ++k) {
        EXPECT_EQ(kept[k].duration_ns, all[k].duration_ns);
        EXPECT_EQ(kept[k].worker, all[k].worker);
        EXPECT_EQ(kept[k].offset, all[k].offset);
        EXPECT_EQ(kept[k].start_ns, all[k].start_ns - phase_start);
    }
    // Gathered from another rank, a stall keeps its place and takes its rank.
    std::vector<std::uint64_t> numbers;
    append_stall_numbers(numbers, kept[0]);
    ASSERT_EQ(numbers.size(), stall_number_count);
    const stall_record back = stall_from_numbers(numbers.data(), 3);
    EXPECT_EQ(back.rank, 3u);
    EXPECT_EQ(back.offset, kept[0].offset);
    EXPECT_EQ(back.start_ns, kept[0].start_ns);
    EXPECT_EQ(back.duration_ns, kept[0].duration_ns);
    // The console's times: three significant digits, in µs below 0.1 ms, in ms below a second.
    EXPECT_EQ(duration_text(6180), "6.18 \u00b5s");
    EXPECT_EQ(duration_text(210000), "0.21 ms");
    EXPECT_EQ(duration_text(1900000), "1.9 ms");
    EXPECT_EQ(duration_text(2314000000), "2.31 s");
    EXPECT_EQ(duration_text(999900000), "1 s");
}

// Held stopped for 1.5 s while a write call is under way (each takes 30 ms, slowed by the
// preloaded library, so that the stop lands in one): that call is the write's longest, at an
// offset inside its file and a time inside the phase, and -latency tells it on the console.
TEST(Latency, ARunStoppedInItsWriteShowsTheStopAsItsLongestCall) {
    temporary_directory dir, reports;
    const std::string results = reports.path_name + "/run.json";
    child_process run;
    launch_options options;
    // A sanitized build's runtime must let the library come first.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    options.environment = {std::string("LD_PRELOAD=") + SLOW_IO_LIBRARY, "OMPI_COMM_WORLD_RANK=0", "SLOW_WRITE=0:30",
                           std::string("ASAN_OPTIONS=") + (sanitizer != nullptr ? sanitizer : "") +
                               ":verify_asan_link_order=0"};
    ASSERT_TRUE(launch(
        run, QUORLANE_BINARY,
        {"-path", dir.path_name, "-file", "4", "-block", "64", "-cache", "0", "-latency", "-json", results}, options));
    constexpr long long file_bytes = 4 * 1048576;
    long long written = 0;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (written <= 0 && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        for (const std::string& name : dir.entries())
            if (!is_marker_name(name)) written = size_of_file(dir.path_name + "/" + name);
    }
    ASSERT_EQ(kill(run.pid, SIGSTOP), 0);
    for (const std::string& name : dir.entries())
        if (!is_marker_name(name)) written = size_of_file(dir.path_name + "/" + name);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_EQ(kill(run.pid, SIGCONT), 0);
    // Stopped part way through the file: the stop fell in the write.
    ASSERT_GT(written, 0);
    ASSERT_LT(written, file_bytes);
    finish(run);
    ASSERT_EQ(run.status, 0) << run.text;

    std::ifstream stream(results);
    const nlohmann::json document = nlohmann::json::parse(stream);
    const nlohmann::json& write = document["passes"][0]["figures"][0];
    ASSERT_EQ(write["name"], "write_with_cache");
    EXPECT_EQ(write["latency"]["count"], 64);
    EXPECT_GE(write["latency"]["max_us"].get<double>(), 1.4e6) << write["latency"];
    const nlohmann::json& longest = write["stalls"][0];
    EXPECT_GE(longest["duration_us"].get<double>(), 1.4e6) << longest;
    EXPECT_EQ(longest["worker"], 0);
    EXPECT_EQ(longest["file"], 0);
    EXPECT_LT(longest["offset"].get<long long>(), file_bytes);
    EXPECT_EQ(longest["offset"].get<long long>() % 65536, 0);
    // The phase's ends are whole microseconds, the call's nanoseconds: 2 µs of rounding.
    EXPECT_GE(longest["start_us"].get<double>(), 0);
    EXPECT_LE(longest["start_us"].get<double>() + longest["duration_us"].get<double>(),
              write["microseconds"].get<double>() + 2);
    EXPECT_EQ(write["stalls"].size(), 10u);
    // Each figure's line is followed by its two notes.
    const std::regex notes(
        "Writing time with cache ram     : [0-9]+ Mo/s {10}\n"
        "Note: blocks took [0-9.]+ (µs|ms|s) \\(median\\), [0-9.]+ (µs|ms|s) \\(99\\.9 %\\), [0-9.]+ s at most\\.\\n"
        "Note: the longest call took [0-9.]+ s, [0-9.]+ (µs|ms|s) into the phase: worker 0, file 0 at [0-9.]+ "
        "[KM]iB\\.\\n");
    EXPECT_TRUE(std::regex_search(run.text, notes)) << run.text;
    EXPECT_EQ(occurrences(run.text, "Note: blocks took "), 3) << run.text;
    EXPECT_EQ(occurrences(run.text, "Note: the longest call took "), 3) << run.text;
    EXPECT_EQ(occurrences(run.text, "Note: forcing a file took "), 1) << run.text;
    EXPECT_EQ(occurrences(run.text, "Note: the longest flush took "), 1) << run.text;
    EXPECT_TRUE(dir.entries().empty());
}

// Twenty files of one block, each read taking 20 ms on the fake device: each read phase counts
// its twenty blocks, not the read that finds each file's end, whose nothing would halve the
// median.
TEST(Latency, EachReadPhaseCountsItsBlocksAndNotTheEndOfEachFile) {
    temporary_directory dir, reports;
    const std::string results = reports.path_name + "/run.json";
    child_process run;
    launch_options options;
    options.environment = {"FAKE_READ_US=20000"};
    ASSERT_TRUE(launch(run, QUORLANE_FAKE_BINARY,
                       {"-path", dir.path_name, "-file", "1", "-block", "1024", "-file_number", "20", "-cache", "0",
                        "-json", results},
                       options));
    finish(run);
    ASSERT_EQ(run.status, 0) << run.text;
    std::ifstream stream(results);
    const nlohmann::json figures = nlohmann::json::parse(stream)["passes"][0]["figures"];
    for (const int kind : {0, 2, 3}) {
        EXPECT_EQ(figures[kind]["latency"]["count"], 20) << figures[kind]["name"];
        EXPECT_EQ(figures[kind]["workers"][0]["bytes"], 20 * 1048576);
    }
    for (const int read : {2, 3}) EXPECT_GE(figures[read]["latency"]["p50_us"].get<double>(), 20000);
    EXPECT_TRUE(dir.entries().empty());
}
