// The stages of a phase, on made-up series sampled as the real ones are, each drawn from a
// fixed seed: three stages found where they change and at their rates; jitter, a stall every
// 2 s, a long phase's doubled interval and a steady decline give no stage of their own, while
// a step of a fifth does; series no run wrote give none and break nothing. Then the stages
// named from the OS's dirty limit and the run's facts, and told in words, and the dirty
// limit read from the kernel's files; real series of whole blocks and of a decline that bends;
// the stages as a run keeps them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/dirty_limit.hpp"
#include "report/stage_lines.hpp"
#include "results/series.hpp"
#include "results/stage_names.hpp"
#include "results/stage_note.hpp"
#include "results/stages.hpp"
#include "support/temporary_directory.hpp"

namespace {

constexpr double mib = 1048576;
constexpr double gib = 1073741824;

// MB/s (bytes per µs) at t seconds, with `written` bytes done.
using rate_of = std::function<double(double t, double written)>;

// A phase of `seconds` at `rate`, each series interval's rate scaled by a draw within
// ±`jitter` (or, `normal`, of that standard deviation), sampled a little late as the real
// sampler is.
series_record series_of(double seconds, const rate_of& rate, double jitter, unsigned seed, bool normal = false) {
    std::minstd_rand draws(seed);
    auto uniform = [&] { return static_cast<double>(draws()) / std::minstd_rand::max(); };
    auto noise = [&] {
        if (!normal) return 1 + jitter * (2 * uniform() - 1);
        const double radius = std::sqrt(-2 * std::log(std::max(uniform(), 1e-12)));
        return std::max(0.0, 1 + jitter * radius * std::cos(2 * std::numbers::pi * uniform()));
    };
    series_record series;
    start_series(series);
    const auto end_us = static_cast<std::int64_t>(seconds * 1e6);
    std::int64_t now_us = 0;
    double bytes = 0, scale = noise();
    auto advance = [&](std::int64_t to_us) {
        for (; now_us < to_us; now_us += 1000) bytes += rate(static_cast<double>(now_us) / 1e6, bytes) * scale * 1000;
        scale = noise();
        return static_cast<std::uint64_t>(bytes);
    };
    while (next_point_due_us(series) < end_us) {
        const std::int64_t due_us = next_point_due_us(series) + 100 + static_cast<std::int64_t>(series.points.size() % 7) * 300;
        add_point(series, due_us, advance(due_us));
    }
    end_series(series, end_us, advance(end_us));
    return series;
}

figure_record phase_of(const series_record& series, const std::vector<double>& worker_ends = {}) {
    figure_record phase;
    phase.series = series;
    for (double end : worker_ends) phase.workers.push_back(worker_result{0, static_cast<std::int64_t>(end * 1e6)});
    if (phase.workers.empty()) phase.workers.push_back(worker_result{0, series.points.back().elapsed_us});
    return phase;
}

std::vector<rate_stage> stages_of(double seconds, const rate_of& rate, double jitter = 0, unsigned seed = 1) {
    return find_stages(phase_of(series_of(seconds, rate, jitter, seed)));
}

// The stages follow one another from the series' start to its end.
void expect_contiguous(const std::vector<rate_stage>& stages, const series_record& series) {
    ASSERT_FALSE(stages.empty());
    EXPECT_EQ(stages.front().start_bytes, 0u);
    EXPECT_EQ(stages.front().start_us, 0);
    for (std::size_t k = 1; k < stages.size(); ++k) {
        EXPECT_EQ(stages[k].start_bytes, stages[k - 1].end_bytes);
        EXPECT_EQ(stages[k].start_us, stages[k - 1].end_us);
    }
    for (const rate_stage& stage : stages) {
        EXPECT_LE(stage.start_bytes, stage.end_bytes);
        EXPECT_LT(stage.start_us, stage.end_us);
        EXPECT_TRUE(std::isfinite(stage.median_bytes_per_second) && stage.median_bytes_per_second >= 0);
        EXPECT_TRUE(std::isfinite(stage.start_bytes_per_second) && std::isfinite(stage.end_bytes_per_second));
    }
    EXPECT_EQ(stages.back().end_bytes, series.points.back().bytes);
    EXPECT_EQ(stages.back().end_us, series.points.back().elapsed_us);
}

rate_stage level(double start_gib, double end_gib, double mb_per_second, double start_seconds) {
    const auto start = static_cast<std::uint64_t>(start_gib * gib), end = static_cast<std::uint64_t>(end_gib * gib);
    const double rate = mb_per_second * 1e6;
    const double seconds = static_cast<double>(end - start) / rate;
    return rate_stage{start, end, static_cast<std::int64_t>(start_seconds * 1e6),
                      static_cast<std::int64_t>((start_seconds + seconds) * 1e6), rate, false, rate, rate};
}

// Level stages one after another: {GiB at its end, MB/s}.
std::vector<rate_stage> levels(const std::vector<std::pair<double, double>>& ends_and_rates) {
    std::vector<rate_stage> stages;
    double start = 0, seconds = 0;
    for (const auto& [end, rate] : ends_and_rates) {
        stages.push_back(level(start, end, rate, seconds));
        seconds = static_cast<double>(stages.back().end_us) / 1e6;
        start = end;
    }
    return stages;
}

std::vector<stage_kind> kinds_of(const std::vector<named_stage>& named) {
    std::vector<stage_kind> kinds;
    for (const named_stage& stage : named) kinds.push_back(stage.kind);
    return kinds;
}

}  // namespace

TEST(Stages, ThreeStagesAreFoundWhereTheyChangeAtTheirRates) {
    const rate_of three = [](double, double written) { return written < 96 * mib ? 400 : written < 224 * mib ? 100 : 40; };
    const double first_change = 96 * mib / 400e6, second_change = first_change + 128 * mib / 100e6;
    for (const double jitter : {0.0, 0.05, 0.1})
        for (unsigned seed = 1; seed <= 4; ++seed) {
            SCOPED_TRACE("jitter " + std::to_string(jitter) + ", seed " + std::to_string(seed));
            const series_record series = series_of(4.2, three, jitter, seed);
            const std::vector<rate_stage> stages = find_stages(phase_of(series));
            ASSERT_EQ(stages.size(), 3u);
            expect_contiguous(stages, series);
            const double total = static_cast<double>(series.points.back().bytes);
            for (const auto& [stage, seconds, bytes] :
                 {std::tuple{stages[1], first_change, 96 * mib}, std::tuple{stages[2], second_change, 224 * mib}}) {
                const bool on_time = std::abs(static_cast<double>(stage.start_us) / 1e6 - seconds) <=
                                     static_cast<double>(series.interval_us) / 1e6;
                const bool on_bytes = std::abs(static_cast<double>(stage.start_bytes) - bytes) <= 0.02 * total;
                EXPECT_TRUE(on_time || on_bytes) << stage.start_us << " µs, " << stage.start_bytes << " bytes";
            }
            // The first stage spans two intervals and a half: its median can be off by the jitter.
            const double rates[] = {400, 100, 40};
            for (std::size_t k = 0; k < 3; ++k) {
                EXPECT_NEAR(stages[k].median_bytes_per_second / 1e6, rates[k], std::max(0.05, jitter) * rates[k]);
                EXPECT_FALSE(stages[k].sloped);
            }
        }
}

TEST(Stages, JitterStallsAndADeclineAreNoNewStageWhileAStepOfAFifthIs) {
    const rate_of flat = [](double, double) { return 500; };
    const rate_of stalls = [](double t, double) { return std::fmod(t, 2.0) >= 1.8 ? 0 : 500; };
    const rate_of decline = [](double t, double) { return 200 - 100 * t / 60; };
    const rate_of step = [](double t, double) { return t < 10 ? 1000 : 800; };
    for (unsigned seed = 1; seed <= 5; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const std::vector<rate_stage> jitter = stages_of(60, flat, 0.1, seed);
        ASSERT_EQ(jitter.size(), 1u);
        EXPECT_FALSE(jitter[0].sloped);
        EXPECT_NEAR(jitter[0].median_bytes_per_second / 1e6, 500, 25);
        const series_record stalled = series_of(60, stalls, 0.1, seed);
        const std::vector<rate_stage> one = find_stages(phase_of(stalled));
        ASSERT_EQ(one.size(), 1u);
        expect_contiguous(one, stalled);
        EXPECT_NEAR(one[0].median_bytes_per_second / 1e6, 500, 25);
        for (const double amount : {0.0, 0.1}) {
            const std::vector<rate_stage> declined = stages_of(60, decline, amount, seed);
            ASSERT_EQ(declined.size(), 1u);
            EXPECT_TRUE(declined[0].sloped);
            EXPECT_NEAR(declined[0].start_bytes_per_second / 1e6, 200, 10);
            EXPECT_NEAR(declined[0].end_bytes_per_second / 1e6, 100, 5);
        }
        const std::vector<rate_stage> stepped = stages_of(20, step, 0.1, seed);
        ASSERT_EQ(stepped.size(), 2u);
        EXPECT_NEAR(static_cast<double>(stepped[1].start_us) / 1e6, 10, 0.1);
    }
    // Noise of a normal law, whose tails reach further than the jitter's.
    for (unsigned seed = 1; seed <= 10; ++seed)
        EXPECT_EQ(find_stages(phase_of(series_of(60, flat, 0.2, seed, true))).size(), 1u) << "seed " << seed;
    const series_record hour = series_of(3600, flat, 0.1, 1);
    ASSERT_EQ(hour.interval_us, 1600000);
    EXPECT_EQ(find_stages(phase_of(hour)).size(), 1u);
}

TEST(Stages, OnlyWhileEveryWorkerRanAndNeverFromASeriesNoRunWrote) {
    // Four workers at 250 MB/s each; three end at 8 s and the fourth goes on alone.
    const series_record series = series_of(12, [](double t, double) { return t < 8 ? 1000 : 250; }, 0.05, 1);
    const std::vector<rate_stage> stages = find_stages(phase_of(series, {8, 8, 8, 12}));
    ASSERT_EQ(stages.size(), 1u);
    EXPECT_LE(stages[0].end_us, 8000000);
    EXPECT_TRUE(find_stages(figure_record{}).empty());

    // Hand-edited or fuzzed series: nothing breaks, and what is found still covers the series.
    std::mt19937_64 draws(7);
    for (int trial = 0; trial < 3000; ++trial) {
        series_record fuzzed;
        const std::int64_t intervals[] = {100000, 1, 0, -100000, INT64_MAX, 3200000};
        fuzzed.interval_us = intervals[draws() % 6];
        std::int64_t at = 0;
        std::uint64_t bytes = 0;
        const std::size_t count = draws() % (trial % 10 == 0 ? 5000 : 200);
        for (std::size_t k = 0; k < count; ++k) {
            at += static_cast<std::int64_t>(draws() % 3 == 0 ? draws() % 1000000 : 100000) - (draws() % 50 == 0 ? 500000 : 0);
            const std::uint64_t step = draws() % 4 == 0 ? 0 : draws() % 8 == 0 ? draws() : draws() % 200000000;
            bytes = draws() % 100 == 0 ? bytes / 2 : bytes + step;
            fuzzed.points.push_back(series_point{at, bytes});
        }
        const figure_record phase = phase_of(fuzzed, {static_cast<double>(draws() % 100)});
        const std::vector<rate_stage> found = find_stages(phase);
        if (!found.empty()) {
            const series_record kept = series_while_all_ran(phase);
            const std::vector<interval_rate> rates = series_rates(kept);
            ASSERT_FALSE(rates.empty());
            EXPECT_EQ(found.back().end_bytes, rates.back().bytes_at_end);
            for (std::size_t k = 1; k < found.size(); ++k) EXPECT_EQ(found[k].start_bytes, found[k - 1].end_bytes);
        }
        stage_facts facts;
        facts.eviction_bytes = draws();
        facts.dirty_limit_bytes = draws() % 3 == 0 ? 0 : draws();
        stages_note(name_stages(found, facts), true);
    }
}

TEST(StageNames, TheOSCacheAtItsLimitADevicesCacheBeyondItOrWithDirectAndDeclines) {
    const dirty_settings ratio{true, 0, 20}, fixed{true, 2 * 1073741824ull, 0};
    EXPECT_EQ(dirty_limit_bytes(ratio, 24000000000ull), 4800000000ull);
    EXPECT_EQ(dirty_limit_bytes(fixed, 24000000000ull), 2 * 1073741824ull);
    EXPECT_EQ(dirty_limit_bytes(dirty_settings{}, 24000000000ull), 0u);

    stage_facts buffered;
    buffered.dirty_limit_bytes = 4800000000ull;
    buffered.memory_bytes = 24000000000ull;
    // 4.5 GiB at 3,000 MB/s, then 400: 4.5 GiB less what the device wrote meanwhile matches
    // the limit. Unbuffered, the fast stage is the device's; with a limit ten times larger,
    // it is told by its rate alone.
    const std::vector<rate_stage> os_then_device = levels({{4.5, 3000}, {20, 400}});
    using kind = stage_kind;
    EXPECT_EQ(kinds_of(name_stages(os_then_device, buffered)), (std::vector{kind::os_cache, kind::steady}));
    stage_facts direct = buffered;
    direct.unbuffered = true;
    EXPECT_EQ(kinds_of(name_stages(os_then_device, direct)), (std::vector{kind::device_cache, kind::steady}));
    stage_facts large_limit = buffered;
    large_limit.dirty_limit_bytes *= 10;
    EXPECT_EQ(kinds_of(name_stages(os_then_device, large_limit)), (std::vector{kind::steady, kind::steady}));
    EXPECT_EQ(stages_note(name_stages(os_then_device, buffered), true),
              "Note: the write went in stages: the OS cache took the first 4.5 GiB at 3,000 MB/s, then 400 MB/s.");
    EXPECT_EQ(stages_note(name_stages(os_then_device, large_limit), true),
              "Note: the write went in stages: 3,000 MB/s for the first 4.5 GiB, then 400 MB/s.");

    // A cache far larger than the OS could hold, then two slower stages; a device's cache
    // after the OS's.
    const std::vector<rate_stage> drive = levels({{38, 3100}, {180, 1450}, {400, 410}});
    EXPECT_EQ(kinds_of(name_stages(drive, buffered)), (std::vector{kind::device_cache, kind::steady, kind::steady}));
    EXPECT_EQ(stages_note(name_stages(drive, buffered), true),
              "Note: the write went in stages: a fast write cache of about 38 GiB at 3,100 MB/s, then 1,450 MB/s, "
              "from 180 GiB on 410 MB/s.");
    stage_facts evicted = buffered;
    evicted.eviction_bytes = 1073741824;
    const std::vector<named_stage> after_eviction = name_stages(drive, evicted);
    EXPECT_EQ(after_eviction[1].start_bytes_since_eviction, drive[1].start_bytes + 1073741824);
    EXPECT_EQ(stages_note(after_eviction, true),
              "Note: the write went in stages: a fast write cache of about 38 GiB at 3,100 MB/s (39 GiB counting the "
              "eviction file written just before), then 1,450 MB/s, from 180 GiB on 410 MB/s.");
    const std::vector<rate_stage> both = levels({{4.0, 5000}, {34, 3000}, {100, 500}});
    EXPECT_EQ(stages_note(name_stages(both, buffered), true),
              "Note: the write went in stages: the OS cache took the first 4.0 GiB at 5,000 MB/s, then a fast write "
              "cache of about 30 GiB at 3,000 MB/s, from 34 GiB on 500 MB/s.");
    // Windows tells no limit: only a stage larger than twice the machine's memory is a device's.
    stage_facts windows;
    windows.memory_bytes = 16 * 1073741824ull;
    EXPECT_EQ(kinds_of(name_stages(drive, windows)), (std::vector{kind::steady, kind::steady, kind::steady}));
    windows.memory_bytes = 8 * 1073741824ull;
    EXPECT_EQ(kinds_of(name_stages(drive, windows)), (std::vector{kind::device_cache, kind::steady, kind::steady}));

    // A steady decline, alone or after a cache; a read's stages are never a cache's; one
    // level stage says nothing.
    rate_stage decline = level(0, 100, 137, 0);
    decline.sloped = true;
    decline.start_bytes_per_second = 180e6;
    decline.end_bytes_per_second = 95e6;
    EXPECT_EQ(stages_note(name_stages({decline}, buffered), true), "Note: the write rate declined steadily from 180 to 95 MB/s.");
    stage_facts reading;
    reading.writing = false;
    EXPECT_EQ(stages_note(name_stages({decline}, reading), false), "Note: the read rate declined steadily from 180 to 95 MB/s.");
    EXPECT_EQ(stages_note(name_stages(drive, reading), false),
              "Note: the read went in stages: 3,100 MB/s for the first 38 GiB, then 1,450 MB/s, from 180 GiB on 410 MB/s.");
    EXPECT_EQ(stages_note(name_stages(levels({{0.5, 800}}), buffered), true), "");
    EXPECT_EQ(std::string(stage_kind_name(kind::device_cache)), "device_cache");
}

TEST(DirtyLimit, ReadFromTheKernelsFilesAndUnknownUnlessPlainNumbers) {
    const temporary_directory root;
    const std::filesystem::path settings = std::filesystem::path(root.path_name) / "proc/sys/vm";
    std::filesystem::create_directories(settings);
    auto read_with = [&](const std::string& bytes, const std::string& ratio) {
        std::ofstream(settings / "dirty_bytes") << bytes;
        std::ofstream(settings / "dirty_ratio") << ratio;
        return read_dirty_settings(root.path_name);
    };
    const dirty_settings by_ratio = read_with("0\n", "20\n");
    EXPECT_TRUE(by_ratio.known);
    EXPECT_EQ(by_ratio.dirty_bytes, 0u);
    EXPECT_EQ(by_ratio.dirty_ratio_percent, 20u);
    const dirty_settings by_bytes = read_with(" 1073741824 \n", "0\n");
    EXPECT_TRUE(by_bytes.known);
    EXPECT_EQ(by_bytes.dirty_bytes, 1073741824u);
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"abc", "20"}, {"12abc", "20"}, {"-5", "20"}, {"", "20"}, {"99999999999999999999999", "20"},
        {"0", "150"},  {"0", "2 0"},    {"0", std::string(100, '1')}};
    for (const auto& [bytes, ratio] : refused) EXPECT_FALSE(read_with(bytes, ratio).known) << bytes << " / " << ratio;
    std::filesystem::remove(settings / "dirty_ratio");
    EXPECT_FALSE(read_dirty_settings(root.path_name).known);
    std::filesystem::remove_all(std::filesystem::path(root.path_name) / "proc");
    EXPECT_FALSE(read_dirty_settings(root.path_name).known);
#ifdef __linux__
    EXPECT_TRUE(read_dirty_settings("/").known);
#endif
}

// As a run keeps them: a write after an eviction file has its bounds counted from the
// eviction's first byte too, a read none; each stage's last byte is the next one's first less
// one; the note is the one the console prints; the forced write, without a series, has none.
TEST(StageRecords, KeptWithTheirBoundsSinceTheEvictionAndTheNoteTheConsoleTells) {
    const series_record series = series_of(
        4.2, [](double, double written) { return written < 96 * mib ? 400 : written < 224 * mib ? 100 : 40; }, 0.05, 1);
    run_record run;
    pass_record pass;
    pass.steps.push_back(step_record{"eviction_write", 0, 1000000, 1073741824});
    for (const figure_kind kind : {figure_kind::write_cached, figure_kind::read_cached, figure_kind::write_forced}) {
        SCOPED_TRACE(static_cast<int>(kind));
        figure_record figure = phase_of(series);
        settle_stages(run_settings{}, run, pass, kind, figure);
        if (kind == figure_kind::write_forced) {
            EXPECT_TRUE(figure.stages.empty());
            EXPECT_EQ(figure.stages_text, "");
            continue;
        }
        const bool write = kind == figure_kind::write_cached;
        ASSERT_EQ(figure.stages.size(), 3u);
        EXPECT_EQ(figure.stages_text.rfind(write ? "the write went in stages: " : "the read went in stages: ", 0), 0u);
        EXPECT_EQ(figure.stages.front().first_byte, 0u);
        EXPECT_EQ(figure.stages.back().last_byte, series.points.back().bytes - 1);
        for (std::size_t k = 0; k < 3; ++k) {
            const stage_record& stage = figure.stages[k];
            if (k > 0) {
                EXPECT_EQ(stage.first_byte, figure.stages[k - 1].last_byte + 1);
            }
            EXPECT_EQ(stage.kind, "steady");
            ASSERT_EQ(stage.first_byte_since_eviction.has_value(), write);
            if (write) {
                EXPECT_EQ(*stage.first_byte_since_eviction, stage.first_byte + 1073741824);
                EXPECT_EQ(*stage.last_byte_since_eviction, stage.last_byte + 1073741824);
            }
        }
    }
    // With -direct the OS cache took none of the data: the fast first stage is the device's.
    run_settings direct;
    direct.direct = true;
    figure_record unbuffered = phase_of(series);
    settle_stages(direct, run, pass, figure_kind::write_cached, unbuffered);
    ASSERT_EQ(unbuffered.stages.size(), 3u);
    EXPECT_EQ(unbuffered.stages[0].kind, "device_cache");
    EXPECT_EQ(unbuffered.stages_text.rfind("the write went in stages: a fast write cache of about ", 0), 0u)
        << unbuffered.stages_text;
    // A figure that moved nothing has no stage, and no note.
    figure_record idle = phase_of(series_of(2, [](double, double) { return 0; }, 0, 1));
    settle_stages(run_settings{}, run, pass, figure_kind::write_cached, idle);
    EXPECT_TRUE(idle.stages.empty());
    EXPECT_EQ(idle.stages_text, "");
}

// A slow device written in large blocks: each interval holds a whole number of blocks, so
// that its rate steps by a block's worth (8 or 7 blocks of 100 KiB in 100 ms: 8.2 or 7.2 MB/s)
// while most intervals are exactly alike. The stages are those of the rates, not of that
// stepping: the series of a run on a device paced at 16 MB/s for 12 MiB, 4 MB/s for 8 MiB,
// then 8 MB/s, with one thread.
TEST(Stages, WholeBlocksPerIntervalCarveNoStage) {
    series_record series{100000, {
        {100123, 1433600}, {200081, 2969600}, {300109, 4505600}, {400103, 6041600},
        {500110, 7577600}, {600111, 9113600}, {700101, 10649600}, {800091, 12083200},
        {900102, 12800000}, {1000092, 13209600}, {1100543, 13619200}, {1200103, 14028800},
        {1300101, 14336000}, {1400116, 14745600}, {1500105, 15155200}, {1600106, 15564800},
        {1700121, 15974400}, {1800114, 16384000}, {1900108, 16793600}, {2000107, 17100800},
        {2100107, 17510400}, {2200109, 17920000}, {2300116, 18329600}, {2400119, 18739200},
        {2500107, 19148800}, {2600100, 19558400}, {2700109, 19865600}, {2800111, 20275200},
        {2900105, 20684800}, {3000087, 21299200}, {3101438, 22016000}, {3200100, 22835200},
        {3300094, 23654400}, {3400110, 24371200}, {3500097, 25190400}, {3600106, 25907200},
        {3700103, 26726400}, {3800096, 27545600}, {3900096, 28262400}, {3993637, 29081600},
    }};
    const std::vector<rate_stage> stages = find_stages(phase_of(series));
    ASSERT_EQ(stages.size(), 3u);
    EXPECT_NEAR(static_cast<double>(stages[1].start_bytes), 12 * mib, 1.6e6);
    EXPECT_NEAR(static_cast<double>(stages[2].start_bytes), 20 * mib, 1.6e6);
    const double rates[] = {16, 4, 8};
    for (std::size_t k = 0; k < 3; ++k) EXPECT_NEAR(stages[k].median_bytes_per_second / 1e6, rates[k], 0.1 * rates[k]);
}

// A decline that slows with the bytes, as a disk's does from its outer tracks to its inner
// ones, bends against time: its note's rates stay within those its intervals had. The series
// of a run with four threads on a device paced from 20 MB/s down by about a tenth every MiB to
// 7 MB/s.
TEST(Stages, ADeclineThatBendsIsToldWithinTheRatesItHad) {
    series_record series{100000, {
        {100103, 1843200}, {200622, 3584000}, {300120, 5222400}, {400534, 6758400},
        {502031, 8089600}, {600561, 9318400}, {701092, 10342400}, {874888, 11776000},
        {930680, 12288000}, {1027954, 13209600}, {1131821, 13824000}, {1227469, 14643200},
        {1328938, 15667200}, {1400212, 16281600}, {1501952, 16998400}, {1600564, 17612800},
        {1700133, 18329600}, {1800093, 19046400}, {1927667, 19251200}, {2000407, 20070400},
        {2135871, 20889600},
    }};
    const figure_record phase = phase_of(series, {1.981039, 2.082452, 2.127593, 1.805504});
    const std::vector<rate_stage> stages = find_stages(phase);
    ASSERT_EQ(stages.size(), 1u);
    ASSERT_TRUE(stages[0].sloped);
    double lowest = 1e300, highest = 0;
    for (const interval_rate& rate : series_rates(series_while_all_ran(phase))) {
        lowest = std::min(lowest, rate.bytes_per_us * 1e6);
        highest = std::max(highest, rate.bytes_per_us * 1e6);
    }
    EXPECT_GE(stages[0].end_bytes_per_second, lowest);
    EXPECT_LE(stages[0].start_bytes_per_second, highest);
}
