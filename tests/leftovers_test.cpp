// Runs that never got the chance to remove their files (kill -9 here): a later run in the same
// directory says how many and how large, and -clean removes exactly those, never a live run's
// files, never a file its marker does not name or another user owns, whatever a marker says.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <thread>

#include "platform/process_identity.hpp"
#include "report/page_text.hpp"
#include "run/run_marker.hpp"
#include "support/process.hpp"
#include "support/run_program.hpp"
#include "support/temporary_directory.hpp"

namespace {

constexpr int timeout_ms = 120000;

// The files in `directory` that are neither markers nor named in `others`, with their sizes.
std::map<std::string, long long> run_files_in(const temporary_directory& dir, const std::vector<std::string>& others) {
    std::map<std::string, long long> files;
    for (const std::string& name : dir.entries())
        if (!is_marker_name(name) && std::find(others.begin(), others.end(), name) == others.end())
            files[name] = size_of_file(dir.path_name + "/" + name);
    return files;
}

std::string count_text(std::size_t files) { return files == 1 ? "1 file" : std::to_string(files) + " files"; }

long long total_bytes(const std::map<std::string, long long>& files) {
    long long total = 0;
    for (const auto& [name, bytes] : files) total += bytes;
    return total;
}

// Starts a run whose writes to its files are slowed, and waits until `count` files other than
// `others` exist.
void start_slow_run(child_process& run, const temporary_directory& dir, const std::vector<std::string>& settings,
                    std::size_t count, const std::vector<std::string>& others = {}) {
    launch_options options;
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    options.environment = {std::string("LD_PRELOAD=") + SLOW_IO, "OMPI_COMM_WORLD_RANK=0", "SLOW_WRITE=0:40",
                           "SLOW_WRITE_NAME=/vellumcrate_", "SLOW_SPARE_NAME=/vellumcrate_owner",
                           std::string("ASAN_OPTIONS=") + (sanitizer != nullptr ? sanitizer : "") +
                               ":verify_asan_link_order=0"};
    std::vector<std::string> arguments{"-path", dir.path_name};
    arguments.insert(arguments.end(), settings.begin(), settings.end());
    ASSERT_TRUE(launch(run, QUORLANE_BINARY, arguments, options));
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (run_files_in(dir, others).size() < count && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_GE(run_files_in(dir, others).size(), count);
}

// A marker as a run writes one, for a process of this machine that is gone: this test's own
// process id with another start, as when the id was given to a new process.
void write_marker(const std::string& path, const std::vector<std::string>& lines) {
    const process_stamp self = this_process_stamp();
    std::ofstream marker(path);
    marker << "quorlane run files\nhost here\nmachine " << self.machine << "\nboot " << self.boot << "\nprocess "
           << self.process << "\nstarted 1\n";
    for (const std::string& line : lines) marker << line << "\n";
}

void write_file(const std::string& path, std::size_t bytes) { std::ofstream(path) << std::string(bytes, 'x'); }

}  // namespace

TEST(Leftovers, AKilledRunsFilesAreToldAndCleanRemovesExactlyThose) {
    if (this_process_stamp().machine.empty()) GTEST_SKIP() << "this machine has no machine id (/etc/machine-id)";
    // Killed in the eviction file's write, then in the test files' write, in the same directory.
    const std::pair<std::vector<std::string>, std::size_t> runs[] = {
        {{"-file", "1", "-cache", "1"}, 1},
        {{"-thread", "2", "-file_number", "3", "-file", "1", "-cache", "0"}, 2}};
    for (const auto& [settings, files_before_the_kill] : runs) {
        SCOPED_TRACE(::testing::PrintToString(settings));
        temporary_directory dir;
        ASSERT_FALSE(dir.path_name.empty());
        // Files no marker names: an earlier version's, and the user's own; and a marker a power
        // cut left empty, which names no one and hides no dead run's files.
        const std::string empty_marker = "vellumcrate_ownerpowercut";
        const std::vector<std::string> others{"keep.txt", empty_marker, "vellumcrate_zzzzzzzz0"};
        for (const std::string& name : others) write_file(dir.path_name + "/" + name, name == empty_marker ? 0 : 100);
        child_process killed;
        start_slow_run(killed, dir, settings, files_before_the_kill, others);
        ASSERT_EQ(kill(killed.pid, SIGKILL), 0);
        finish(killed);
        ASSERT_EQ(killed.status, 128 + SIGKILL);
        const std::map<std::string, long long> left = run_files_in(dir, others);
        ASSERT_FALSE(left.empty());
        const std::string said = count_text(left.size()) + ", " + binary_size(total_bytes(left));

        const execution_result told = quorlane({"-path", dir.path_name, "-file", "1", "-cache", "0"});
        EXPECT_EQ(told.status, 0) << told.output;
        EXPECT_NE(told.output.find("\nNote: " + dir.path_name + "/ holds " + said +
                                   ", left by runs that ended without removing them: -clean removes them.\n"),
                  std::string::npos)
            << told.output;
        EXPECT_EQ(run_files_in(dir, others), left);

        const execution_result cleaned = quorlane({"-path", dir.path_name, "-file", "1", "-cache", "0", "-clean"});
        EXPECT_EQ(cleaned.status, 0) << cleaned.output;
        EXPECT_NE(cleaned.output.find("\nNote: removed " + said + ", left in " + dir.path_name +
                                      "/ by runs that ended without removing them.\n"),
                  std::string::npos)
            << cleaned.output;
        EXPECT_EQ(dir.entries(), others);

        const execution_result again = quorlane({"-path", dir.path_name, "-file", "1", "-cache", "0", "-clean"});
        EXPECT_EQ(again.status, 0);
        EXPECT_EQ(again.output.find("Note: "), std::string::npos) << again.output;
    }
}

// A live run is in the directory while another run cleans it, beside markers edited by hand:
// one that names the live run's files, one whose files are another user's, a link or not quite
// a run's name, and one that names a file no run makes.
TEST(Leftovers, ALiveRunsFilesAndFilesNoDeadRunOwnsAreNeverTouched) {
    if (this_process_stamp().machine.empty()) GTEST_SKIP() << "this machine has no machine id (/etc/machine-id)";
    if (geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
    temporary_directory dir, outside;
    ASSERT_FALSE(dir.path_name.empty());
    child_process live;
    start_slow_run(live, dir, {"-thread", "2", "-file_number", "4", "-file", "1", "-cache", "0"}, 2);
    std::string live_marker;
    for (const std::string& name : dir.entries())
        if (is_marker_name(name)) live_marker = name;
    ASSERT_FALSE(live_marker.empty());
    std::ifstream stream(dir.path_name + "/" + live_marker);
    std::vector<std::string> live_prefixes;
    for (std::string line; std::getline(stream, line);)
        if (line.rfind("prefix ", 0) == 0) live_prefixes.push_back(line);
    ASSERT_EQ(live_prefixes.size(), 2u);

    const std::string d = dir.path_name + "/";
    write_marker(d + "vellumcrate_ownerclaimsli", live_prefixes);
    write_marker(d + "vellumcrate_ownerhandmade", {"prefix vellumcrate_qqqqqqqq"});
    write_file(d + "vellumcrate_qqqqqqqq0", 1000);
    write_file(d + "vellumcrate_qqqqqqqq1", 1000);
    ASSERT_EQ(chown((d + "vellumcrate_qqqqqqqq1").c_str(), 65534, 65534), 0);
    write_file(d + "vellumcrate_qqqqqqqq01", 1000);
    write_file(outside.path_name + "/target", 1000);
    ASSERT_EQ(symlink((outside.path_name + "/target").c_str(), (d + "vellumcrate_qqqqqqqq2").c_str()), 0);
    write_marker(d + "vellumcrate_ownerescapex", {"prefix vellumcrate_rrrrrrrr", "file ../keep"});
    write_file(d + "vellumcrate_rrrrrrrr0", 1000);
    std::ofstream(d + "vellumcrate_ownergarbagx") << std::string("\x01\xff quorlane run files\n\n\nprefix", 25);

    const std::map<std::string, long long> live_files = run_files_in(dir, {});
    const execution_result cleaned = quorlane({"-path", dir.path_name, "-file", "1", "-cache", "0", "-clean"});
    EXPECT_EQ(cleaned.status, 0) << cleaned.output;
    EXPECT_NE(cleaned.output.find("\nNote: removed 1 file, 1,000 bytes, left in " + d +
                                  " by runs that ended without removing them.\n"),
              std::string::npos)
        << cleaned.output;
    // Of all of it, only the hand-made marker's own file went, and the dead runs' markers; the
    // live run's files are all there, as large as before or larger.
    EXPECT_EQ(size_of_file(d + "vellumcrate_qqqqqqqq0"), -1);
    for (const auto& [name, bytes] : live_files) {
        if (name == "vellumcrate_qqqqqqqq0") continue;
        EXPECT_GE(size_of_file(d + name), bytes) << name;
    }
    EXPECT_EQ(size_of_file(outside.path_name + "/target"), 1000);
    for (const char* marker : {"vellumcrate_ownerescapex", "vellumcrate_ownergarbagx"})
        EXPECT_GE(size_of_file(d + marker), 0) << marker;
    for (const char* marker : {"vellumcrate_ownerclaimsli", "vellumcrate_ownerhandmade"})
        EXPECT_EQ(size_of_file(d + marker), -1) << marker;

    // The live run was never disturbed: it ends as usual and removes what is its own.
    finish(live);
    EXPECT_EQ(live.status, 0) << live.text;
    for (const std::string& prefix : live_prefixes)
        for (const std::string& name : dir.entries()) EXPECT_NE(name.rfind(prefix.substr(7), 0), 0u) << name;
    EXPECT_EQ(size_of_file(d + live_marker), -1);
}
