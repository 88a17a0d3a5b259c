// The progress line is printed by a thread of its own, never by a worker: a console that takes
// no output (a paused terminal, a pipe nobody reads) holds up no worker's I/O.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "run/run_marker.hpp"
#include "support/process.hpp"
#include "support/temporary_directory.hpp"

namespace {

constexpr int timeout_ms = 60000;
constexpr long long run_bytes = 4 * 16 * 1048576LL;  // -file_number 4 -file 16

long long bytes_in(const temporary_directory& dir) {
    long long total = 0;
    for (const std::string& name : dir.entries())
        if (!is_marker_name(name)) total += std::max(0LL, size_of_file(dir.path_name + "/" + name));
    return total;
}

// Waits, up to timeout_ms, for `condition`.
template <typename condition_type>
bool wait_until(condition_type condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Fills the pipe that is the child's standard output, to its last byte, through an end of
// the test's own: the child's next write waits until the test reads.
int fill_output_pipe(pid_t child) {
    const int end = open(("/proc/" + std::to_string(child) + "/fd/1").c_str(), O_WRONLY | O_NONBLOCK);
    if (end < 0) return end;
    const std::string page(4096, '#');
    while (write(end, page.data(), page.size()) > 0) {
    }
    while (write(end, "#", 1) > 0) {
    }
    return end;
}

}  // namespace

// The run is held stopped while its worker writes its first file; its output pipe is filled, the
// clock moves on past a whole second, so that a progress sample is due, and the run goes on: its
// files are written whole while the test reads nothing.
TEST(BlockedOutput, TheWorkersWriteOnWhileTheConsoleTakesNoOutput) {
    temporary_directory dir;
    child_process run;
    ASSERT_TRUE(launch(run, {"-path", dir.path_name, "-thread", "1", "-file_number", "4", "-file", "16", "-block",
                             "4", "-cache", "0"}));
    ASSERT_TRUE(wait_for_text(run, "Writing time with cache ram ...", timeout_ms)) << run.text;
    // Its first block written, the worker is past its file's start: a sample is due once a
    // whole second has gone by.
    ASSERT_TRUE(wait_until([&dir] { return bytes_in(dir) > 0; }));
    kill(run.pid, SIGSTOP);
    if (bytes_in(dir) == run_bytes) {
        kill(run.pid, SIGCONT);
        finish(run);
        GTEST_SKIP() << "the write was over before the run could be held";
    }
    const int pipe_end = fill_output_pipe(run.pid);
    EXPECT_GE(pipe_end, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    kill(run.pid, SIGCONT);

    EXPECT_TRUE(wait_until([&dir] { return bytes_in(dir) == run_bytes; })) << bytes_in(dir) << " bytes written";
    if (pipe_end >= 0) close(pipe_end);
    finish(run);
    EXPECT_EQ(run.status, 0) << run.text;
    EXPECT_EQ(occurrences(run.text, " Mo/s          \n"), 4) << run.text;
    EXPECT_TRUE(dir.entries().empty());
}
