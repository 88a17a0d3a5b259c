// The real binary as a child process that the test drives while it runs: read its output
// as it comes, signal it in a chosen phase, then collect how it ended. No wait is unbounded,
// and no child outlives its handle.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

struct child_process {
    child_process() = default;
    // A child not yet reaped, as when a test stops early, is killed (SIGKILL) and reaped, and
    // its pipes are closed: left alone it would block on a full pipe while its directory goes.
    ~child_process();
    child_process(const child_process&) = delete;
    child_process& operator=(const child_process&) = delete;

    pid_t pid = -1;
    int output = -1;  // read ends of the child's standard output and error
    int errors = -1;
    std::string text;  // standard output read so far
    std::string error_text;
    int status = -1;               // exit status, or 128 + signal number when killed
    long peak_rss_kib = 0;         // the child's peak resident set size
    long long bytes_written = -1;  // bytes the child handed to write calls, files and output
    long long bytes_read = -1;     // bytes the child read
    bool reaped = false;
};

// How a child starts: TEMP in its environment (removed when null), and with `user`
// >= 0 the user and group id it takes before it runs, so that permissions apply to it; with
// `soft_limit` >= 0 it starts under that open-files limit, and `hard_limit` above it; with
// `thread_limit` >= 0, its user may run no more processes and threads than that.
// `environment` holds NAME=value entries that replace or add to the test's own; the child
// gets `descriptors` as its descriptors 3, 4, ... in that order.
struct launch_options {
    const char* temp = nullptr;
    int user = -1;
    long soft_limit = -1;
    long hard_limit = -1;
    long thread_limit = -1;
    std::vector<std::string> environment = {};
    std::vector<int> descriptors = {};
};

bool launch(child_process& process, const std::string& program, const std::vector<std::string>& arguments,
            const launch_options& options);

// The same on the quorlane binary of this build.
bool launch(child_process& process, const std::vector<std::string>& arguments, int user = -1, long soft_limit = -1,
            long hard_limit = -1);

// Reads the child's output until `condition` holds on all of standard output read so far;
// false when the child closes its output first or `timeout_ms` passes.
bool wait_for(child_process& process, const std::function<bool(const std::string&)>& condition, int timeout_ms);

// Reads until `text` has appeared in standard output.
bool wait_for_text(child_process& process, const std::string& text, int timeout_ms);

// Reads until the child has printed `count` result lines.
bool wait_for_results(child_process& process, int count, int timeout_ms);

// The longest a child may take to end once the test asks for how it ended.
inline constexpr int finish_timeout_ms = 240000;

// Reads everything left, reaps the child and fills `status`, `peak_rss_kib` and the bytes
// it wrote and read. A child that has not ended within `timeout_ms` is killed and the test
// fails, saying so.
void finish(child_process& process, int timeout_ms = finish_timeout_ms);

// How many times `pattern` occurs in `text`.
int occurrences(const std::string& text, const std::string& pattern);

// Appends what a readable descriptor holds; closes it, and sets it to -1, at end of file.
void read_into(int& descriptor, std::string& target);
