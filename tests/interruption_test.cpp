// Terminating signals sent to the real binary in each phase: the workers stop at
// their next block, every file the run created is removed, one line says so and the exit
// status is 128 + the signal's number.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "run/run_marker.hpp"
#include "support/file_system.hpp"
#include "support/process.hpp"
#include "support/run_program.hpp"
#include "support/temporary_directory.hpp"

namespace {

const std::string interruption_line = "Interrupted: the run's files have been removed.\n";
const std::string write_status = "Writing time with cache ram ...";
const std::string flush_status = "Writing time without cache ram ...";
const std::string eviction_status = "Emptying the controller's cache ...";
const std::string result_end = "Mo/s          \n";
constexpr int timeout_ms = 120000;
constexpr int run_files = 8 * 4;
constexpr long long mib = 1 << 20;
constexpr long long gib = 1 << 30;

// Counts, from inotify, what happened to the run's files in the directory while it ran.
struct file_watch {
    explicit file_watch(const std::string& path_name) {
        descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (descriptor >= 0) inotify_add_watch(descriptor, path_name.c_str(), IN_CREATE | IN_DELETE | IN_CLOSE_NOWRITE);
    }
    ~file_watch() {
        if (descriptor >= 0) close(descriptor);
    }
    // Reads the queued events; test files and the eviction file are counted apart.
    void poll_files() {
        alignas(inotify_event) char buffer[65536];
        for (;;) {
            const ssize_t bytes_read = read(descriptor, buffer, sizeof buffer);
            if (bytes_read <= 0) return;
            for (ssize_t position = 0; position < bytes_read;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + position);
                position += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                const std::string name = event->len > 0 ? event->name : "";
                if (name.rfind("vellumcrate_", 0) != 0 || is_marker_name(name)) continue;
                const bool eviction = name.rfind("vellumcrate_cache", 0) == 0;
                if (event->mask & IN_CREATE) ++(eviction ? evictions_created : tests_created);
                if (event->mask & IN_DELETE) ++removed;
                if ((event->mask & IN_CLOSE_NOWRITE) && !eviction) ++tests_read;
            }
        }
    }
    // Polls until `count` test files exist or `timeout` milliseconds pass.
    bool wait_for_creations(int count, int timeout) {
        for (int waiting = 0; waiting < timeout && tests_created < count; ++waiting) {
            poll_files();
            usleep(1000);
        }
        return tests_created >= count;
    }
    int descriptor = -1;
    int tests_created = 0;
    int evictions_created = 0;
    int removed = 0;
    int tests_read = 0;  // closes of test files opened for reading: read phases, purge, residency
};

std::vector<std::string> run_arguments(const temporary_directory& dir, const char* file, const char* cache) {
    return {"-path", dir.path_name, "-thread", "8", "-file_number", "4", "-file", file, "-block", "1", "-cache", cache};
}

// What every interrupted run must show: `results` result lines and no more, the one
// interruption line last, the status of the signal, and an empty directory.
void check_interruption(child_process& process, int signal, int results, const temporary_directory& dir,
                        file_watch& files) {
    ASSERT_EQ(kill(process.pid, signal), 0);
    finish(process);
    files.poll_files();
    EXPECT_EQ(process.status, 128 + signal) << process.text << process.error_text;
    EXPECT_EQ(occurrences(process.text, result_end), results) << process.text;
    EXPECT_EQ(occurrences(process.text, interruption_line), 1) << process.text;
    const std::size_t end = process.text.rfind(interruption_line);
    EXPECT_EQ(end + interruption_line.size(), process.text.size()) << process.text;
    EXPECT_TRUE(end == 0 || process.text[end - 1] == '\n') << "the line must stand on its own: " << process.text;
    EXPECT_TRUE(dir.entries().empty());
    EXPECT_EQ(files.removed, files.tests_created + files.evictions_created);
    EXPECT_EQ(process.error_text, "");
    EXPECT_GE(process.bytes_written, 0) << "the child's I/O counters could not be read";
    EXPECT_GE(process.bytes_read, 0);
}

class InterruptedWrite : public testing::TestWithParam<int> {};

}  // namespace

// Each signal, sent once every writer is inside its first file: the writers stop there,
// so far fewer files are created than the run would write, and the files they were in are
// left short: a writer that finished its file before looking at the flag would have
// written every byte of each file it created.
TEST_P(InterruptedWrite, WritersStopAtTheirNextBlockAndTheirFilesAreRemoved) {
    temporary_directory dir;
    file_watch files(dir.path_name);
    child_process process;
    ASSERT_TRUE(launch(process, run_arguments(dir, "16", "0")));
    ASSERT_TRUE(wait_for_text(process, write_status, timeout_ms)) << process.text;
    ASSERT_TRUE(files.wait_for_creations(8, timeout_ms));
    check_interruption(process, GetParam(), 0, dir, files);
    EXPECT_LT(files.tests_created, run_files);
    EXPECT_LT(process.bytes_written, files.tests_created * 16 * mib);
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedWrite,
                         testing::Values(SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM,
                                         SIGXCPU, SIGPOLL, SIGRTMIN, SIGRTMAX),
                         [](const testing::TestParamInfo<int>& info) {
                             const char* name = sigabbrev_np(info.param);
                             return name != nullptr ? std::string(name) : "RT" + std::to_string(info.param);
                         });

TEST(Interruption, DuringTheFlushPassEndsBeforeItsFigure) {
    temporary_directory dir;
    if (on_memory_file_system(dir.path_name))
        GTEST_SKIP() << "the temp directory is in memory: its flush pass is too short to hit";
    file_watch files(dir.path_name);
    child_process process;
    ASSERT_TRUE(launch(process, run_arguments(dir, "8", "0")));
    ASSERT_TRUE(wait_for_text(process, flush_status, timeout_ms)) << process.text;
    check_interruption(process, SIGTERM, 1, dir, files);
    EXPECT_EQ(files.tests_created, run_files);
    EXPECT_EQ(files.tests_read, 0);
}

// No status line marks a read phase: the result line before it does. The readers stop
// inside the files they are reading: fewer bytes are read than the files opened hold.
TEST(Interruption, DuringTheFirstReadPhaseStopsTheReadersAtTheirNextBlock) {
    temporary_directory dir;
    file_watch files(dir.path_name);
    child_process process;
    ASSERT_TRUE(launch(process, run_arguments(dir, "8", "0")));
    ASSERT_TRUE(wait_for_results(process, 2, timeout_ms)) << process.text;
    check_interruption(process, SIGHUP, 2, dir, files);
    EXPECT_LT(files.tests_read, run_files);
    EXPECT_LT(process.bytes_read, files.tests_read * 8 * mib);
}

TEST(Interruption, DuringTheSecondReadPhaseStopsTheReadersAtTheirNextBlock) {
    temporary_directory dir;
    file_watch files(dir.path_name);
    child_process process;
    ASSERT_TRUE(launch(process, run_arguments(dir, "8", "0")));
    ASSERT_TRUE(wait_for_results(process, 3, timeout_ms)) << process.text;
    check_interruption(process, SIGINT, 3, dir, files);
    // The first read phase, the purge and the check of what is still cached each open every
    // file once; the last two read nothing.
    EXPECT_GE(files.tests_read, 3 * run_files);
    EXPECT_LT(files.tests_read, 4 * run_files);
    EXPECT_LT(process.bytes_read, (files.tests_read - 2 * run_files) * 8 * mib);
}

// The eviction file is 1 GiB at the smallest -cache: the signal lands while it is being
// written, long before it is complete.
TEST(Interruption, WhileTheEvictionFileIsWrittenRemovesIt) {
    temporary_directory dir;
    file_watch files(dir.path_name);
    child_process process;
    ASSERT_TRUE(launch(process, {"-path", dir.path_name, "-file", "1", "-cache", "1"}));
    ASSERT_TRUE(wait_for_text(process, eviction_status, timeout_ms)) << process.text;
    check_interruption(process, SIGINT, 0, dir, files);
    EXPECT_EQ(files.evictions_created, 1);
    EXPECT_EQ(files.tests_created, 0);
    EXPECT_LT(process.bytes_written, gib);
}

TEST(Interruption, WhileTheEvictionFileIsReadBackStopsBeforeTheReadPhase) {
    temporary_directory dir;
    file_watch files(dir.path_name);
    child_process process;
    ASSERT_TRUE(launch(process, {"-path", dir.path_name, "-file", "1", "-cache", "1"}));
    // The first notice precedes the write phase, the second the first read phase.
    ASSERT_TRUE(wait_for(
        process, [](const std::string& read_so_far) { return occurrences(read_so_far, eviction_status) >= 2; },
        timeout_ms))
        << process.text;
    check_interruption(process, SIGTERM, 2, dir, files);
    EXPECT_EQ(files.evictions_created, 1);
    EXPECT_EQ(files.tests_read, 0);
    EXPECT_LT(process.bytes_read, gib);
}

// An output that takes nothing (a full disk behind a redirection): no figure reached anyone,
// so the run fails, and its files go with it.
TEST(Interruption, AStandardOutputThatCannotBeWrittenFailsTheRunAndRemovesItsFiles) {
    temporary_directory dir;
    const execution_result r =
        run_program("/bin/sh", {"-c", "exec \"$0\" \"$@\" >/dev/full", QUORLANE_BINARY, "-path", dir.path_name,
                                "-thread", "2", "-file_number", "2", "-file", "1", "-cache", "0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(dir.entries().empty());
}

// The reader of a pipe going away (as `quorlane ... | head` does) is a request to stop too:
// the next line the run prints ends it, and its files go with it.
TEST(Interruption, AClosedStandardOutputEndsTheRunAndRemovesItsFiles) {
    temporary_directory dir;
    file_watch files(dir.path_name);
    child_process process;
    ASSERT_TRUE(launch(process, {"-path", dir.path_name, "-thread", "2", "-file_number", "2", "-file", "4", "-block",
                                 "1", "-cache", "0"}));
    ASSERT_TRUE(wait_for_text(process, write_status, timeout_ms)) << process.text;
    close(process.output);
    process.output = -1;
    finish(process);
    files.poll_files();
    EXPECT_EQ(process.status, 128 + SIGPIPE);
    EXPECT_TRUE(dir.entries().empty());
    // The first line that fails may be a progress sample, before every file exists.
    EXPECT_GT(files.tests_created, 0);
    EXPECT_EQ(files.removed, files.tests_created);
    EXPECT_EQ(files.tests_read, 0);
}
