// Where the results file and the report page go, through the real binary: a link is followed
// and stays, a stream is written through, what can't be saved at the end is refused before
// any test file exists, and the files never contradict the status the process ends with.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "report/exact_bytes.hpp"
#include "support/mount.hpp"
#include "support/process.hpp"
#include "support/results_schema.hpp"
#include "support/run_program.hpp"
#include "support/temporary_directory.hpp"

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

const std::string banner = "Quorlane " QUORLANE_VERSION " - sequential disk throughput benchmark\n\n";

std::vector<std::string> small_run(const temporary_directory& dir, std::initializer_list<std::string> reports) {
    std::vector<std::string> arguments{"-path", dir.path_name, "-file", "1", "-cache", "0"};
    arguments.insert(arguments.end(), reports);
    return arguments;
}

// The results file, which must conform to its schema however the run ended.
json read_results(const std::string& name) {
    EXPECT_EQ(results_schema_problems(name), "") << name;
    std::ifstream stream(name);
    return json::parse(stream, nullptr, false);
}

// Waits until the process `pid` reads the FIFO `file`: it has it open, or waits in its open
// for a writer, where it counts as a reader already.
bool reads_fifo(pid_t pid, const std::string& file) {
    const std::string process = "/proc/" + std::to_string(pid);
    for (int waited = 0; waited < 60000; waited += 2) {
        std::string waits_in;
        std::ifstream(process + "/wchan") >> waits_in;
        if (waits_in == "wait_for_partner") return true;
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(process + "/fd", ignored))
            if (fs::read_symlink(entry.path(), ignored) == file) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

void expect_refused(const temporary_directory& dir, std::initializer_list<std::string> reports, const std::string& option,
                    const std::string& name, const std::string& reason) {
    const execution_result r = quorlane(small_run(dir, reports));
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(r.output, banner + "Sorry, the argument " + option + " must name a file that can be written\n" + name +
                            " : " + reason + "\n");
    EXPECT_TRUE(dir.entries().empty());
}

}  // namespace

// A link is followed: the file it names gets the results, in its own directory, and the link
// stays a link. A stream is written through, never replaced.
TEST(ReportFiles, ALinkIsFollowedAndAStreamIsWrittenThrough) {
    temporary_directory dir, reports, elsewhere;
    const std::string real = elsewhere.path_name + "/real.json", link = reports.path_name + "/run.json";
    { std::ofstream(real) << "old"; }
    fs::create_symlink(real, link);
    execution_result r = quorlane(small_run(dir, {"-json", link}));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(read_results(real)["status"], "completed");
    EXPECT_EQ(elsewhere.entries(), std::vector<std::string>{"real.json"});
    EXPECT_EQ(reports.entries(), std::vector<std::string>{"run.json"});

    // Standard output, a pipe here: the document follows the console's lines.
    r = quorlane(small_run(dir, {"-json", "/dev/stdout"}));
    EXPECT_EQ(r.status, 0) << r.output;
    const std::size_t start = r.output.find("\n{");
    ASSERT_NE(start, std::string::npos) << r.output;
    EXPECT_EQ(json::parse(r.output.substr(start + 1))["status"], "completed");

    // A FIFO with a reader.
    const std::string fifo = reports.path_name + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    child_process reader;
    ASSERT_TRUE(launch(reader, "/bin/cat", {fifo}, {}));
    ASSERT_TRUE(reads_fifo(reader.pid, fifo));
    r = quorlane(small_run(dir, {"-json", fifo}));
    EXPECT_EQ(r.status, 0) << r.output;
    finish(reader);
    EXPECT_EQ(json::parse(reader.text, nullptr, false)["status"], "completed") << reader.text;

    EXPECT_TRUE(dir.entries().empty());

    // A null device of the test's own (never the system's) stays a device.
    if (geteuid() != 0) GTEST_SKIP() << "making a device node needs root";
    const std::string null_device = reports.path_name + "/null";
    ASSERT_EQ(mknod(null_device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    r = quorlane(small_run(dir, {"-json", null_device}));
    EXPECT_EQ(r.status, 0) << r.output;
    struct stat entry {};
    ASSERT_EQ(stat(null_device.c_str(), &entry), 0);
    EXPECT_TRUE(S_ISCHR(entry.st_mode));
    EXPECT_TRUE(dir.entries().empty());
}

// A FIFO that no process reads would hold the save for ever, and any run before it: it is
// refused at once, before any test file exists.
TEST(ReportFiles, AFifoWithoutAReaderIsRefusedBeforeTheRun) {
    temporary_directory dir, reports;
    const std::string fifo = reports.path_name + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    child_process process;
    ASSERT_TRUE(launch(process, small_run(dir, {"-json", fifo})));
    finish(process, 60000);
    EXPECT_EQ(process.status, 1) << process.text;
    EXPECT_EQ(process.text, banner + "Sorry, the argument -json must name a file that can be written\n" + fifo +
                                " : it is a FIFO that no process reads: start its reader first\n");
    EXPECT_TRUE(dir.entries().empty());
}

// A reader that opened the FIFO and reads no more holds the save once the pipe is full: Ctrl+C
// then ends it, and the process, with its status.
TEST(ReportFiles, CtrlCEndsASaveThatWaitsForItsReader) {
    temporary_directory dir, reports;
    const std::string fifo = reports.path_name + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    constexpr int pipe_bytes = 4096;
    ASSERT_EQ(fcntl(reader, F_SETPIPE_SZ, pipe_bytes), pipe_bytes);
    child_process process;
    ASSERT_TRUE(launch(process, small_run(dir, {"-json", fifo})));
    ASSERT_TRUE(wait_for_results(process, 4, 120000)) << process.text;
    int held = 0;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (held < pipe_bytes && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_EQ(ioctl(reader, FIONREAD, &held), 0);
    }
    ASSERT_EQ(held, pipe_bytes);
    ASSERT_EQ(kill(process.pid, SIGINT), 0);
    finish(process, 30000);
    close(reader);
    EXPECT_EQ(process.status, 130) << process.text;
    EXPECT_NE(process.text.find("\nError, Cannot write the results file " + fifo + " : Interrupted system call\n"),
              std::string::npos)
        << process.text;
    EXPECT_TRUE(dir.entries().empty());
}

// A character device takes any number of outputs, one after the other: both of quorlane's
// and of quorlane-report's. (A null device of the test's own, never the system's.)
TEST(ReportFiles, ANullDeviceTakesBothOutputs) {
    if (geteuid() != 0) GTEST_SKIP() << "making a device node needs root";
    temporary_directory dir, reports;
    const std::string null_device = reports.path_name + "/null", results = reports.path_name + "/run.json";
    ASSERT_EQ(mknod(null_device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    execution_result r = quorlane(small_run(dir, {"-json", null_device, "-html", null_device}));
    EXPECT_EQ(r.status, 0) << r.output;
    ASSERT_EQ(quorlane(small_run(dir, {"-json", results})).status, 0);
    r = run_program(QUORLANE_REPORT_BINARY, {results, "-json", null_device, "-html", null_device});
    EXPECT_EQ(r.status, 0) << r.output;
    struct stat entry {};
    ASSERT_EQ(stat(null_device.c_str(), &entry), 0);
    EXPECT_TRUE(S_ISCHR(entry.st_mode));
    EXPECT_EQ(reports.entries(), (std::vector<std::string>{"null", "run.json"}));
    EXPECT_TRUE(dir.entries().empty());
}

// What the save at the end could not do is refused first: a directory, a path under a file,
// one file named twice (through a link or ./); a name as long as the system allows is saved.
TEST(ReportFiles, WhatCannotBeSavedAtTheEndIsRefusedBeforeTheRun) {
    temporary_directory dir, reports;
    expect_refused(dir, {"-json", reports.path_name}, "-json", reports.path_name, "it is a directory");
    expect_refused(dir, {"-html", reports.path_name + "/"}, "-html", reports.path_name + "/", "it is a directory");
    const std::string file = reports.path_name + "/file";
    { std::ofstream(file) << "x"; }
    expect_refused(dir, {"-json", file + "/run.json"}, "-json", file + "/run.json", "Not a directory");

    const std::string results = reports.path_name + "/run.json";
    fs::create_symlink(results, reports.path_name + "/link");
    for (const std::string& same : {results, reports.path_name + "/./run.json", reports.path_name + "/link"})
        expect_refused(dir, {"-json", results, "-html", same}, "-html", same, "it is the results file of -json too");
    EXPECT_FALSE(fs::exists(results));

    const std::string longest = reports.path_name + "/" + std::string(250, 'r') + ".json";
    const execution_result r = quorlane(small_run(dir, {"-json", longest}));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(read_results(longest)["status"], "completed");
    EXPECT_TRUE(dir.entries().empty());

    // In a sticky directory, another user's file can't be replaced.
    if (geteuid() != 0) GTEST_SKIP() << "a file of another user needs root";
    const std::string sticky = reports.path_name + "/sticky";
    fs::create_directory(sticky);
    ASSERT_EQ(chmod(reports.path_name.c_str(), 0755), 0);
    ASSERT_EQ(chmod(sticky.c_str(), 01777), 0);
    ASSERT_EQ(chmod(dir.path_name.c_str(), 0777), 0);
    const std::string owned = sticky + "/root.json";
    { std::ofstream(owned) << "root's"; }
    child_process other;
    ASSERT_TRUE(launch(other, small_run(dir, {"-json", owned}), 65534));
    finish(other);
    EXPECT_EQ(other.status, 1) << other.text;
    EXPECT_NE(other.text.find(owned + " : Operation not permitted"), std::string::npos) << other.text;
    EXPECT_TRUE(dir.entries().empty());
}

// A page that can't be saved at the end (its disk full) fails the run, and the results file
// says so rather than "completed".
TEST(ReportFiles, TheResultsFileAgreesWithTheExitStatus) {
    temporary_directory dir, reports;
    const std::string tiny = reports.path_name + "/tiny";
    fs::create_directory(tiny);
    tmpfs_mount disk(tiny, "4k");
    if (!disk.mounted) GTEST_SKIP() << disk.reason;
    const std::string results = reports.path_name + "/run.json", page = tiny + "/run.html";
    const execution_result r = quorlane(small_run(dir, {"-json", results, "-html", page}));
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("Error, Cannot write the report " + page + " : No space left on device"), std::string::npos)
        << r.output;
    const json document = read_results(results);
    EXPECT_EQ(document["status"], "error");
    EXPECT_EQ(document["exit_status"], 1);
    EXPECT_EQ(document["message"], "Error, Cannot write the report " + page + " : No space left on device");
    EXPECT_TRUE(dir.entries().empty());
}

// A directory named in a legacy encoding: the text fields stay readable, and its exact bytes
// are kept beside them, percent-encoded.
TEST(ReportFiles, APathThatIsNotUtf8IsKeptByteForByte) {
    temporary_directory dir, reports;
    const std::string latin1 = dir.path_name + "/caf\xe9";
    ASSERT_TRUE(fs::create_directory(latin1));
    const std::string results = reports.path_name + "/run.json";
    const execution_result r = quorlane({"-path", latin1, "-file", "1", "-cache", "0", "-json", results});
    EXPECT_EQ(r.status, 0) << r.output;
    const json document = read_results(results);
    EXPECT_EQ(document["target"]["path_bytes"], dir.path_name + "/caf%E9/");
    EXPECT_EQ(document["target"]["path"], dir.path_name + "/caf\xef\xbf\xbd/");
    EXPECT_EQ(document["command_line_bytes"][2], dir.path_name + "/caf%E9");
    EXPECT_TRUE(fs::is_empty(latin1));

    // A name that is UTF-8 gets no such field.
    const std::string japanese = dir.path_name + "/\xe6\x97\xa5\xe6\x9c\xac";
    ASSERT_TRUE(fs::create_directory(japanese));
    EXPECT_EQ(quorlane({"-path", japanese, "-file", "1", "-cache", "0", "-json", results}).status, 0);
    const json document_utf8 = read_results(results);
    EXPECT_FALSE(document_utf8["target"].contains("path_bytes"));
    EXPECT_FALSE(document_utf8.contains("command_line_bytes"));
    EXPECT_EQ(document_utf8["target"]["path"], japanese + "/");
}

// What UTF-8 is not: a lone or truncated sequence, an overlong form, a surrogate, a code point
// above U+10FFFF.
TEST(ReportFiles, OnlyWellFormedUtf8CountsAsText) {
    EXPECT_TRUE(is_utf8("plain /tmp/\xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x92\xbe"));
    for (const std::string bad : {"\xe9", "\xe6\x97", "\xc0\x80", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\x80"})
        EXPECT_FALSE(is_utf8("a" + bad + "b")) << percent_encoded(bad);
    EXPECT_EQ(percent_encoded("100%\n\xff"), "100%25%0A%FF");
}
