// The results files quorlane-report may be handed, from tests/results_corpus: every kind a run
// writes reads back into the record that writes the same document again; every hostile file
// is refused by name, with status 1 and nothing written, however deep, large or edited it is;
// texts that would steer a terminal reach the console inert. Each file also goes through the
// fuzzer's harness, so that the fuzzer's corpus is replayed here too.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "compare/results_file.hpp"
#include "fuzz/results_harness.hpp"
#include "report/finished_record.hpp"
#include "report/html_report.hpp"
#include "report/json_report.hpp"
#include "support/mount.hpp"
#include "support/results_schema.hpp"
#include "support/run_program.hpp"
#include "support/temporary_directory.hpp"

namespace fs = std::filesystem;

namespace {

const std::string corpus = RESULTS_CORPUS;

std::vector<std::string> files_in(const std::string& directory) {
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(corpus + "/" + directory)) files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::string text_of(const std::string& file) {
    std::ifstream stream(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

execution_result quorlane_report(const std::vector<std::string>& arguments) {
    return run_program(QUORLANE_REPORT_BINARY, arguments);
}

// What each hostile file is refused for, after "Sorry, FILE ", and whether the JSON Schema,
// which can't tell relations between fields, refuses it too.
struct refusal {
    std::string fault;
    bool schema_refuses;
};

const std::string malformed = "is not a Quorlane results file as its schema says: ";

const std::map<std::string, refusal> refusals = {
    {"bytes_negative", {malformed + "/passes/0/figures/0/bytes is -100, not between 0 and 9223372036854775807", true}},
    {"bytes_per_pass_edited", {malformed + "/settings/bytes_per_pass is 1, where the fields it follows from give 1024000", false}},
    {"cached_percent_1e308", {malformed + "/passes/0/cached_after_purge_percent is 1e+308, not between 0 and 100", true}},
    {"cluster_null", {malformed + "/cluster is missing or not an object", true}},
    {"console_figure_edited", {malformed + "/passes/0/figures/0/kib_per_ms is 1065, where the fields it follows from give 65", false}},
    {"devices_number", {malformed + "/target/devices/0 is missing or not an object", true}},
    {"figures_out_of_order",
     {malformed + "/passes/0/figures/0/name is \"read_with_cache\", out of the order in which a pass measures its figures", false}},
    {"host_virtualization_missing", {malformed + "/host/virtualization is missing or not an object", true}},
    {"latency_curve_far", {malformed + "/passes/0/figures/0/latency/curve/1/0 is 16000, not between 0 and 20", true}},
    {"latency_empty", {malformed + "/passes/0/figures/0/latency/count is missing or not an integer", true}},
    {"link_note_empty", {malformed + "/passes/0/figures/1/link_note/kind is missing or not a string", true}},
    {"median_null_with_two_passes",
     {malformed + "/summary/figures/write_with_cache/mb_per_second/median is missing or not a number", false}},
    {"microseconds_zero", {malformed + "/passes/0/figures/0/microseconds is 0, not between 1 and 3155760000000000", true}},
    {"mismatch_missing_in_error", {malformed + "/verification/mismatch is missing or not an object or null", true}},
    {"nested_100000_deep", {"is not a Quorlane results file: its values nest deeper than 64 levels", false}},
    {"number_overflow", {"is not JSON: number overflow parsing '1e400'", false}},
    {"path_bytes_cut",
     {malformed + "/target/path_bytes is not a name's exact bytes (%XX for each byte that is not printable ASCII)", true}},
    {"schema_version_3", {"has schema_version 3, which this quorlane-report can't read (it reads 1 and 2)", true}},
    {"series_bytes_go_back", {malformed + "/passes/0/figures/0/series/points/1 holds fewer bytes than the point ahead of it", false}},
    {"series_null", {malformed + "/passes/0/figures/0/series is missing or not an object", true}},
    {"series_time_goes_back", {malformed + "/passes/0/figures/0/series/points/1 comes before the point ahead of it", false}},
    {"stage_past_bytes",
     {malformed + "/passes/0/figures/0/stages/2/last_byte is 29081600, not between 0 and 29081599", false}},
    {"stage_rate_absurd",
     {malformed + "/passes/0/figures/0/stages/2/mb_per_second is 1e+300, not between 0 and 1e+13", true}},
    {"stages_out_of_order",
     {malformed + "/passes/0/figures/0/stages/0 does not start at the phase's first byte", false}},
    {"stages_overlap",
     {malformed + "/passes/0/figures/0/stages/1 does not start where the stage ahead of it ends", false}},
    {"stalls_and_points_40000",
     {malformed + "/passes/0/figures/0/stalls holds 40000 values, more than the 10 a results file holds", true}},
    {"stalls_eleven", {malformed + "/passes/0/figures/0/stalls holds 11 values, more than the 10 a results file holds", true}},
    {"start_int64_max",
     {malformed + "/passes/0/figures/0/start_us is 9223372036854775807, not between 0 and 3155760000000000", true}},
    {"status_and_exit_disagree", {malformed + "/exit_status disagrees with /status", true}},
    {"status_refresh_payload", {malformed + "/status is none of \"completed\", \"error\", \"interrupted\"", true}},
    {"status_style_payload", {malformed + "/status is none of \"completed\", \"error\", \"interrupted\"", true}},
    {"string_for_object", {malformed + "/host is missing or not an object", true}},
    {"thread_zero", {malformed + "/settings/thread is 0, not between 1 and 100", true}},
};

// Refused with `fault`, on one line, with status 1 and neither output written.
void expect_refused(const std::string& file, const std::string& fault) {
    SCOPED_TRACE(file);
    temporary_directory outputs;
    const std::string page = outputs.path_name + "/page.html", comparison = outputs.path_name + "/comparison.json";
    const execution_result r = quorlane_report({file, "-html", page, "-json", comparison});
    EXPECT_EQ(r.status, 1) << r.output << r.errors;
    EXPECT_EQ(r.output, "Sorry, " + file + " " + fault + "\n");
    EXPECT_EQ(r.errors, "");
    EXPECT_TRUE(outputs.entries().empty());
}

}  // namespace

TEST(ResultsCorpus, EveryKindOfFileARunWritesReadsBackIntoTheRecordThatWritesItAgain) {
    const std::vector<std::string> written = files_in("written");
    ASSERT_GE(written.size(), 12u);
    for (const std::string& file : written) {
        SCOPED_TRACE(file);
        EXPECT_EQ(results_schema_problems(file), "");
        read_results read;
        std::string message;
        ASSERT_TRUE(read_results_file(file, read, message)) << message;
        const std::string text = text_of(file);
        EXPECT_EQ(results_json(results_document(read.record)),
                  results_json(nlohmann::ordered_json::parse(text)));
        exercise_results(text);
    }
}

// A run with every field a run of one process writes that no fault is needed for: -fill,
// -time, -clean, -latency, -verify and two passes, on a small tmpfs of its own for -fill.
TEST(ResultsCorpus, ARunWithEveryOptionalFieldReadsBackIntoTheRecordThatWritesItAgain) {
    temporary_directory dir;
    const tmpfs_mount disk(dir.path_name, "160m");
    if (!disk.mounted) GTEST_SKIP() << disk.reason;
    temporary_directory outputs;
    const std::string file = outputs.path_name + "/results.json";
    const execution_result r = run_program(
        QUORLANE_BINARY, {"-path", dir.path_name, "-fill", "50", "-file", "1", "-thread", "2", "-cache", "0", "-repeat",
                          "2", "-time", "600", "-clean", "-latency", "-verify", "-json", file});
    ASSERT_EQ(r.status, 0) << r.output << r.errors;
    const std::string text = text_of(file);
    const nlohmann::ordered_json written = nlohmann::ordered_json::parse(text);
    for (const char* key : {"fill_percent", "time_limit_s", "clean", "latency"})
        EXPECT_TRUE(written["settings"].contains(key)) << key;
    EXPECT_TRUE(written["passes"][1]["figures"][3].contains("stalls"));
    EXPECT_GT(written["verification"]["bytes_verified"].get<std::uint64_t>(), 0u);
    read_results read;
    std::string message;
    ASSERT_TRUE(read_results_file(file, read, message)) << message;
    EXPECT_EQ(results_json(results_document(read.record)), results_json(written));
}

// The reports render the record alone: the host and the target it was given, not the OS's now.
TEST(ResultsRecord, TheSavedFilesSayTheHostAndTargetTheRecordWasGiven) {
    run_record run;
    run.host = host_record{"host-of-the-record", "Linux", "1.2.3", 3, 3u << 30};
    run.target.path = "/nowhere-on-this-machine/";
    run.target.file_system = "recordfs";
    run.target.total_bytes = 7u << 20;
    run.target.free_bytes = 5u << 20;
    const run_record finished = finished_record(default_settings(), run, 0, "");
    const nlohmann::ordered_json document = results_document(finished);
    EXPECT_EQ(document["host"]["name"], "host-of-the-record");
    EXPECT_EQ(document["host"]["logical_cpus"], 3);
    EXPECT_EQ(document["target"]["path"], "/nowhere-on-this-machine/");
    EXPECT_EQ(document["target"]["file_system"], "recordfs");
    EXPECT_EQ(document["target"]["free_bytes"], 5u << 20);
    EXPECT_NE(html_page(finished).find("host-of-the-record"), std::string::npos);
}

TEST(ResultsCorpus, EveryHostileFileIsRefusedByNameWithNothingWritten) {
    const std::vector<std::string> hostile = files_in("refused");
    EXPECT_EQ(hostile.size(), refusals.size());
    for (const std::string& file : hostile) {
        const auto expected = refusals.find(fs::path(file).stem().string());
        ASSERT_NE(expected, refusals.end()) << file << " has no refusal in the table";
        expect_refused(file, expected->second.fault);
        if (expected->second.schema_refuses) {
            EXPECT_NE(results_schema_problems(file), "") << file;
        }
        exercise_results(text_of(file));
    }
}

// Neither a device that never ends nor a sparse file of gigabytes is read to its end.
TEST(ResultsCorpus, AFileLargerThanAnyRunWritesIsRefusedUnread) {
    temporary_directory dir;
    const std::string sparse = dir.path_name + "/sparse.json";
    fs::resize_file((std::ofstream(sparse), sparse), 2ull << 30);
    const std::string fault = "is larger than any results file quorlane writes (256 MiB at most)";
    expect_refused(sparse, fault);
    expect_refused("/dev/zero", fault);
}

// Unknown fields are read past however many there are: an object of a million keys, each
// looked up in log time, not against every key before it (a quadratic parse would outlast the
// test's time limit many times over).
TEST(ResultsCorpus, AnObjectOfAMillionUnknownKeysIsReadPast) {
    temporary_directory dir;
    const std::string text = text_of(corpus + "/written/memory_file_system.json");
    std::string keys;
    for (int key = 0; key < 1000000; ++key) keys += "\"unknown_" + std::to_string(key) + "\":0,";
    const std::string file = dir.path_name + "/keys.json";
    std::ofstream(file) << text.substr(0, text.find('{') + 1) << keys << text.substr(text.find('{') + 1);
    read_results read;
    std::string message;
    EXPECT_TRUE(read_results_file(file, read, message)) << message;
    EXPECT_EQ(read.record.passes.size(), 1u);
}

// A name that is not UTF-8 is given back its bytes wherever the run's message names it, in one
// pass over the text: two million mentions, which replaced one by one would take hours, read in
// seconds (and outlasted the test's time limit many times over when they were).
TEST(ResultsCorpus, ATextNamingTheDirectoryMillionsOfTimesIsReadInOnePass) {
    temporary_directory dir;
    nlohmann::json document = nlohmann::json::parse(text_of(corpus + "/written/path_not_utf8.json"));
    const std::string written = document["target"]["path"];
    std::string message;
    for (int mention = 0; mention < 2000000; ++mention) message += written;
    document["message"] = message;
    const std::string file = dir.path_name + "/mentions.json";
    std::ofstream(file) << document.dump();
    read_results read;
    ASSERT_TRUE(read_results_file(file, read, message)) << message.substr(0, 200);
    const std::string exact = "/var/tmp/qcorpus/caf\xe9/";
    ASSERT_EQ(read.record.message.size(), 2000000 * exact.size());
    for (std::size_t at = 0; at < read.record.message.size(); at += exact.size())
        ASSERT_EQ(read.record.message.compare(at, exact.size(), exact), 0) << at;
}

// Texts that steer a terminal (a title, a cleared screen, the clipboard through OSC 52, a C1
// control) are shown as visible escapes, the file read all the same, and pages made of it
// hold them as text.
TEST(ResultsCorpus, TerminalEscapesInAFileReachTheConsoleInert) {
    const std::string escapes = corpus + "/hostile_texts/terminal_escapes.json";
    const std::string plain = corpus + "/written/memory_file_system.json";
    const execution_result r = quorlane_report({plain, escapes});
    ASSERT_EQ(r.status, 0) << r.output;
    for (const char control : {'\x1b', '\x07'}) EXPECT_EQ(r.output.find(control), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("\xc2\x9b"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("  Run 2  \\x1B]0;pwned\\x07\\x1B[2JStick, "), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("  host: "), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("host\\x1B]52;c;cHduZWQ=\\x07"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("6.1\\u009B2J"), std::string::npos) << r.output;
    for (const std::string& file : files_in("hostile_texts")) exercise_results(text_of(file));
}

// A hundred passes whose write each kept a series of 4096 points: each line of a chart is
// drawn from at most 1024 of them, and a chart's hover points are shared among its lines, so
// that the page stays a size a browser opens. The record is built here, with no file.
TEST(PageBounds, EachLineIsDrawnFromAThousandPointsAtMostAndAChartsHoversAreShared) {
    run_record run;
    run.settings.pass_count = 100;
    run.settings.worker_count = 1;
    for (int pass = 0; pass < 100; ++pass) {
        figure_record write;
        write.measured = true;
        write.elapsed_us = 4096 * 100000;
        write.bytes = 4096ull << 20;
        write.series.interval_us = 100000;
        for (std::int64_t point = 1; point <= 4096; ++point)
            write.series.points.push_back({point * 100000, static_cast<std::uint64_t>(point) << 20});
        run.passes.emplace_back();
        run.passes.back().figures[0] = write;
    }
    const std::string page = html_page(run);
    std::size_t lines = 0;
    for (std::size_t at = page.find("<polyline"); at != std::string::npos; at = page.find("<polyline", at + 1), ++lines) {
        const std::size_t points = page.find("points=\"", at);
        const std::string line = page.substr(points, page.find("\"/>", at) - points);
        EXPECT_LE(std::count(line.begin(), line.end(), ','), 2 * 1024) << "two corners an interval";
    }
    EXPECT_EQ(lines, 300u) << "the timeline and the write's two charts, a line a pass";
    for (std::size_t at = page.find("<svg"); at != std::string::npos; at = page.find("<svg", at + 1)) {
        const std::string chart = page.substr(at, page.find("</svg>", at) - at);
        std::size_t hovers = 0;
        for (std::size_t circle = chart.find("<circle"); circle != std::string::npos; circle = chart.find("<circle", circle + 1))
            ++hovers;
        EXPECT_LE(hovers, 4000u);
    }
    EXPECT_LT(page.size(), 16u << 20);
}
