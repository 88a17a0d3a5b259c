// Complete runs through the real binary: what stays on screen, the figures, the eviction
// file while the run lasts, and nothing left behind.
#include <gtest/gtest.h>

#include <regex>

#include "support/file_system.hpp"
#include "support/process.hpp"
#include "support/run_program.hpp"
#include "support/temporary_directory.hpp"
#include "support/watcher.hpp"

namespace {

const char* const labels[] = {"Writing time with cache ram     : ", "Writing time without cache ram  : ",
                              "Reading time with cache ram     : ", "Reading time without cache ram  : "};

// The four figures of a run in `directory`, checked against the layout of the result lines.
std::vector<unsigned long long> figures(const execution_result& r, const std::string& directory) {
    const std::vector<std::string> screen = screen_without_memory_notes(r.output, directory);
    std::vector<unsigned long long> values;
    if (screen.size() < 4) return values;
    for (std::size_t k = 0; k < 4; ++k) {
        const std::string& line = screen[screen.size() - 4 + k];
        std::smatch m;
        const std::regex form(std::string(labels[k]) + "([0-9]+) Mo/s {10}");
        EXPECT_TRUE(std::regex_match(line, m, form)) << "line " << k << ": [" << line << "]";
        if (!m.empty()) values.push_back(std::stoull(m[1]));
    }
    return values;
}

}  // namespace

TEST(CompleteRun, ScreenEndsWithTheFourResultsAndTheDirectoryIsLeftEmpty) {
    temporary_directory dir;
    watcher views(dir.path_name);
    const execution_result r =
        quorlane({"-path", dir.path_name, "-thread", "3", "-file_number", "2", "-file", "4", "-cache", "0"});
    const auto files = views.stop_watching();

    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.errors, "");
    const std::vector<std::string> screen = screen_without_memory_notes(r.output, dir.path_name);
    ASSERT_EQ(screen.size(), 6u) << r.output;
    EXPECT_EQ(screen[0], "Quorlane " QUORLANE_VERSION " - sequential disk throughput benchmark");
    EXPECT_EQ(screen[1], "");
    const auto values = figures(r, dir.path_name);
    ASSERT_EQ(values.size(), 4u);
    // Same bytes over a longer time: forcing to the device can only lower the write figure.
    EXPECT_LE(values[1], values[0]);
    // Reading 24 MiB back from memory takes far less than the 24 s that would truncate it to 0.
    EXPECT_GT(values[2], 0u);

    // No eviction with -cache 0: its text never appears and no such file ever exists.
    EXPECT_EQ(r.output.find("Emptying the controller's cache ..."), std::string::npos);
    for (const auto& [name, size] : files) EXPECT_EQ(name.find("cache"), std::string::npos) << name;
    EXPECT_TRUE(dir.entries().empty());
}

TEST(CompleteRun, EvictionFileOfOneGibExistsWhileTheRunLastsAndIsRemoved) {
    temporary_directory dir;
    watcher views(dir.path_name);
    const execution_result r = quorlane({"-path", dir.path_name, "-file", "1", "-cache", "1"});
    const auto files = views.stop_watching();

    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(figures(r, dir.path_name).size(), 4u);
    EXPECT_EQ(occurrences(r.output, "Emptying the controller's cache ..."), 3) << r.output;

    std::vector<std::string> eviction;
    for (const auto& [name, size] : files) {
        if (!std::regex_match(name, std::regex("vellumcrate_cache[a-z]{3}"))) continue;
        eviction.push_back(name);
        EXPECT_EQ(size, 1073741824u) << name;
    }
    EXPECT_EQ(eviction.size(), 1u);
    EXPECT_TRUE(dir.entries().empty());
}
