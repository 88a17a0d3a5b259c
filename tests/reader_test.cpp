// The reader on real files, and the progress line of the read and write phases.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>

#include "common/clock.hpp"
#include "run/run_state.hpp"
#include "report/console.hpp"
#include "settings/settings.hpp"
#include "support/arguments.hpp"
#include "support/temporary_directory.hpp"
#include "workers/progress.hpp"
#include "workers/workers.hpp"

namespace {

const std::string prefix = "vellumcrate_abcdefgh";

void create_file(const std::string& name, std::size_t bytes) {
    std::ofstream stream(name, std::ios::binary);
    const std::string data(bytes, 'q');
    stream.write(data.data(), static_cast<std::streamsize>(data.size()));
}

// Reads the worker's one file in a run of its own and returns the bytes the phase counted.
std::uint64_t read_worker_file(run_state& run) {
    worker reader;
    reader.run = &run;
    reader.with_cache = true;
    reader.reads = writer_files{prefix, 1, test_file_bytes(run.settings), {}};
    std::string reason;
    EXPECT_TRUE(open_directory(run.settings.target_directory, run.directory, reason)) << reason;
    run.phase.start_us = now_us();
    read_worker(&reader);
    close_directory(run.directory);
    return run.phase.bytes_moved.load();
}

// The fatal error that reading the worker's file records.
std::string read_error(const run_settings& settings) {
    run_state run{settings};
    read_worker_file(run);
    return stop_requested(run) ? recorded_fatal_error(run) : "no error";
}

}  // namespace

TEST(Reader, CountsEveryByteReadIncludingAShortLastBlock) {
    temporary_directory dir;
    const run_settings settings =
        apply_arguments({"-path", dir.path_name, "-file", "1", "-block", "64", "-cache", "0"});
    const std::string name = settings.target_directory + prefix + "0";

    create_file(name, std::size_t{settings.blocks_per_file} * bytes_per_block(settings));
    run_state whole{settings};
    EXPECT_EQ(read_worker_file(whole), 1048576u);
    EXPECT_FALSE(stop_requested(whole));

    // Shortened by less than a block after writing: the figure counts what is really there.
    std::filesystem::resize_file(name, 1048576 - 1000);
    run_state shortened{settings};
    EXPECT_EQ(read_worker_file(shortened), 1048576u - 1000u);
    EXPECT_FALSE(stop_requested(shortened));
}

TEST(Reader, AMissingFileIsError33WithItsNameAndReason) {
    temporary_directory dir;
    const run_settings settings = apply_arguments({"-path", dir.path_name, "-file", "1", "-cache", "0"});
    const std::string error = read_error(settings);
    EXPECT_TRUE(std::regex_search(
        error, std::regex("^Error 33, Cannot open the file\n.*/vellumcrate_abcdefgh0 : No such file or directory$")))
        << error;
}

// Anything but a regular file under a test file's name was put there by someone else: nothing
// is read from it.
TEST(Reader, ADirectoryOrFifoInTheFilesPlaceIsError33AndNothingIsRead) {
    temporary_directory dir;
    const run_settings settings = apply_arguments({"-path", dir.path_name, "-file", "1", "-cache", "0"});
    const std::string name = settings.target_directory + prefix + "0";
    std::filesystem::create_directory(name);
    EXPECT_EQ(read_error(settings),
              "Error 33, Cannot open the file\n" + name + " : it is no longer the file this run created there");
    std::filesystem::remove(name);
    ASSERT_EQ(mkfifo(name.c_str(), 0600), 0);
    EXPECT_EQ(read_error(settings),
              "Error 33, Cannot open the file\n" + name + " : it is no longer the file this run created there");
}

// A regular file whose reads fail (the test's own memory, as /proc shows it, bound over the
// name: its first page is never mapped) is not taken for one that ended.
TEST(Reader, AReadErrorIsToldApartFromTheEndOfTheFile) {
    temporary_directory dir;
    const run_settings settings = apply_arguments({"-path", dir.path_name, "-file", "1", "-cache", "0"});
    const std::string name = settings.target_directory + prefix + "0";
    create_file(name, 0);
    if (mount("/proc/self/mem", name.c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "binding a file over another needs root: " << std::strerror(errno);
    const std::string error = read_error(settings);
    umount2(name.c_str(), MNT_DETACH);
    EXPECT_EQ(error, "Error 34, Cannot read the file " + name + " : Input/output error");
}

TEST(Progress, SamplesShowTheRateOfAllWorkersAndCycleTheDots) {
    // Worker 0 is in a file.
    const std::int64_t file_start = now_us();
    phase_state phase;
    progress_file_started(phase, file_start);
    progress_state state{0, 0, file_start};
    // The clock's whole second has not moved past the last sample's: no sample.
    state.last_sample = now_us() + 10000000;
    ::testing::internal::CaptureStdout();
    progress_tick(state, phase, console_label_of(figure_kind::read_cached).c_str(), now_us());
    EXPECT_EQ(::testing::internal::GetCapturedStdout().find("Mo/s"), std::string::npos);

    // 10,500 KiB moved by all workers, just over 1 s after the phase started: 10 KiB/ms.
    phase.bytes_moved.store(10500u * 1024u);
    std::string output;
    for (int sample = 0; sample < 7; ++sample) {
        phase.start_us = now_us() - 1000000;
        state.last_sample = now_us() - 2000000;  // the last sample is 2 s old
        ::testing::internal::CaptureStdout();
        progress_tick(state, phase, console_label_of(figure_kind::read_uncached).c_str(), now_us());
        output += ::testing::internal::GetCapturedStdout();
    }
    std::string expected;
    for (const char* dots :
         {" .        ", " ..       ", " ...      ", " ....     ", " .....    ", " .        ", " ..       "})
        expected += std::string("\rReading time without cache ram  : 10 Mo/s") + dots;
    EXPECT_EQ(output, expected);

    // Worker 0's next file starts the dots again, from its own start; none once it has ended.
    progress_file_started(phase, now_us() - 3000000);
    phase.start_us = now_us() - 1000000;
    ::testing::internal::CaptureStdout();
    progress_tick(state, phase, console_label_of(figure_kind::read_cached).c_str(), now_us());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "\rReading time with cache ram     : 10 Mo/s .        ");
    progress_files_ended(phase);
    state.last_sample = now_us() - 2000000;
    ::testing::internal::CaptureStdout();
    progress_tick(state, phase, console_label_of(figure_kind::read_cached).c_str(), now_us());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}
