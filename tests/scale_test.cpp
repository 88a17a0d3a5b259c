// Runs at the edges of scale: the most workers, and one worker with a great many files,
// all open at once until the flush pass. Each writes gigabytes, hence a label of their own.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/process.hpp"
#include "support/temporary_directory.hpp"

namespace {

constexpr int timeout_ms = 1800000;
// The smallest file the options allow: 1 MiB asked in 513 KiB blocks is one block.
constexpr long long bytes_per_file = 513 * 1024;
constexpr long long kib_per_mib = 1024;

void run_at_scale(const char* workers, const char* files_per_worker, long long files) {
    temporary_directory dir;
    const long long needed = files * bytes_per_file;
    if (static_cast<long long>(std::filesystem::space(dir.path_name).available) < needed + (1LL << 30))
        GTEST_SKIP() << "the temp directory's filesystem has less than " << (needed >> 20) + 1024 << " MiB free";

    child_process process;
    ASSERT_TRUE(launch(process, {"-path", dir.path_name, "-thread", workers, "-file_number", files_per_worker, "-file",
                                 "1", "-block", "513", "-cache", "0"}));
    ASSERT_TRUE(wait_for_results(process, 4, timeout_ms)) << process.text;
    finish(process);
    EXPECT_EQ(process.status, 0) << process.text << process.error_text;
    EXPECT_EQ(process.text.find("rreur"), std::string::npos) << process.text;
    EXPECT_TRUE(dir.entries().empty());

    // One block buffer per worker, and per open test file its stream record (unbuffered
    // streams hold no buffer), beside the program itself: nothing may grow with the blocks
    // moved. 1 worker x 10,000 files peaks near 8 MiB.
    const long long workers_kib = std::stoll(workers) * bytes_per_file / 1024;
    const long long ceiling_kib = workers_kib + files + 32 * kib_per_mib;
    EXPECT_LT(process.peak_rss_kib, ceiling_kib);
    testing::Test::RecordProperty("peak_rss_kib", std::to_string(process.peak_rss_kib));
}

}  // namespace

TEST(Scale, AHundredWorkersOfFiftyFilesEach) { run_at_scale("100", "50", 5000); }

TEST(Scale, OneWorkerWithTenThousandFiles) { run_at_scale("1", "10000", 10000); }
