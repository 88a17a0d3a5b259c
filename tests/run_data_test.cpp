// What a run puts on the disk: names that never touch another run's files, and data that no
// compressing or deduplicating storage can shrink, each sector stamped with where it belongs.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <unordered_set>

#include "common/random.hpp"
#include "run/run_file.hpp"
#include "run/run_state.hpp"
#include "data/pattern.hpp"
#include "data/stamp.hpp"
#include "driver/driver.hpp"
#include "run/file_name.hpp"
#include "run/run_state.hpp"
#include "settings/settings.hpp"
#include "support/arguments.hpp"
#include "support/process.hpp"
#include "support/temporary_directory.hpp"
#include "support/written_data.hpp"

namespace {

std::string contents_of(const std::string& name) {
    std::ifstream stream(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

bool on_path(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null").c_str()) == 0; }

}  // namespace

TEST(RunFiles, ANameInUseIsLeftAloneAndAnotherIsDrawn) {
    temporary_directory dir;
    benchmark_run run;
    run.settings = apply_arguments({"-path", dir.path_name, "-file", "1", "-file_number", "2", "-cache", "0"});
    prepare_pass(run, 0);
    open_run_directory(run.state);

    // The first name the writer will draw already holds someone else's file.
    seed_names(42);
    const std::string theirs = test_file_name(run.settings.target_directory, new_prefix(), 0);
    std::ofstream(theirs) << "not the run's";
    seed_names(42);

    const figure_record written = write_phase(run).value();
    flush_pass(run, written);
    ASSERT_FALSE(stop_requested(run.state)) << recorded_fatal_error(run.state);
    EXPECT_NE(test_file_name(run.settings.target_directory, run.workers[0].file_prefix, 0), theirs);
    EXPECT_EQ(dir.entries().size(), 3u);
    EXPECT_TRUE(remove_run_files(run));
    EXPECT_EQ(dir.entries().size(), 1u);
    EXPECT_EQ(contents_of(theirs), "not the run's");
}

TEST(RunFiles, TwoRunsStartedTogetherInOneDirectoryEachKeepTheirOwnFiles) {
    temporary_directory dir;
    const std::vector<std::string> arguments = {"-path",        dir.path_name, "-file",   "8", "-block", "4",
                                                "-file_number", "3",           "-thread", "2", "-cache", "0"};
    child_process first, second;
    ASSERT_TRUE(launch(first, arguments));
    ASSERT_TRUE(launch(second, arguments));
    finish(first);
    finish(second);
    for (const child_process* run : {&first, &second}) {
        EXPECT_EQ(run->status, 0) << run->text;
        EXPECT_EQ(occurrences(run->text, " Mo/s          \n"), 4) << run->text;
    }
    EXPECT_TRUE(dir.entries().empty());
}

TEST(WrittenData, NoTwoSectorsAreAlikeAndEachSaysWhereItBelongs) {
    temporary_directory dir;
    // 3 KiB blocks start sectors at four different places in a block; 1024 KiB at one.
    for (const char* block : {"3", "1024"}) {
        SCOPED_TRACE(std::string("-block ") + block);
        benchmark_run run;
        run.settings = apply_arguments({"-path", dir.path_name, "-thread", "2", "-file_number", "2", "-file", "2",
                                        "-block", block, "-cache", "0"});
        const run_settings& settings = run.settings;
        prepare_pass(run, 0);
        open_run_directory(run.state);
        const figure_record written = write_phase(run).value();
        flush_pass(run, written);
        ASSERT_FALSE(stop_requested(run.state)) << recorded_fatal_error(run.state);

        std::unordered_set<std::string> sectors;
        std::set<std::uint64_t> runs;
        for (std::uint32_t t = 0; t < settings.worker_count; ++t) {
            for (std::uint32_t index = 0; index < settings.files_per_worker; ++index) {
                const std::string data =
                    contents_of(test_file_name(settings.target_directory, run.workers[t].file_prefix, index));
                for (std::size_t offset = 0; offset < data.size(); offset += sector_bytes) {
                    EXPECT_TRUE(sectors.insert(data.substr(offset, sector_bytes)).second)
                        << "worker " << t << " file " << index << " sector at " << offset << " seen before";
                    sector_stamp stamp;
                    ASSERT_TRUE(read_stamp(reinterpret_cast<const unsigned char*>(data.data()) + offset, stamp));
                    EXPECT_EQ(stamp.stream, t);
                    EXPECT_EQ(stamp.file, index);
                    EXPECT_EQ(stamp.offset, offset);
                    runs.insert(stamp.run);
                }
            }
        }
        EXPECT_EQ(runs.size(), 1u);
        EXPECT_TRUE(remove_run_files(run));
    }
    // Four 1 MiB chunks of the eviction file: as unique as the test files' sectors.
    data_pattern eviction;
    ASSERT_TRUE(make_pattern(eviction, pass_identity(0, 0), eviction_stream, 1048576, 4096));
    std::unordered_set<std::string> sectors;
    for (std::uint64_t chunk = 0; chunk < 4; ++chunk) {
        const std::string data(reinterpret_cast<const char*>(pattern_block(eviction, 0, chunk * 1048576)), 1048576);
        for (std::size_t offset = 0; offset < data.size(); offset += sector_bytes)
            EXPECT_TRUE(sectors.insert(data.substr(offset, sector_bytes)).second);
    }
}

// A fast compressor with a long window finds a repeat anywhere in a file within a second;
// tests/compression_test.cpp tries the strongest ones, for minutes, with `make test-scale`.
TEST(WrittenData, WholeFilesDoNotShrinkUnderALongWindowCompressor) {
    if (!on_path("zstd")) GTEST_SKIP() << "zstd not on PATH";
    expect_whole_files_incompressible({"zstd -3 --long=27 -c"}, 65);
}
