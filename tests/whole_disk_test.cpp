// The whole-disk mode: -fill sizes the run from the free space, -time ends each phase at its
// deadline, and with -verify a device that keeps less than it offers is told how much it holds.
#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <nlohmann/json.hpp>

#include "report/page_text.hpp"
#include "support/mount.hpp"
#include "support/process.hpp"
#include "support/run_program.hpp"
#include "support/temporary_directory.hpp"

namespace {

// The results file beside the disk.
std::string results_of(const small_disk& disk) { return disk.dir.path_name + "/run.json"; }

// Runs quorlane with `environment` (NAME=value words) and `library` preloaded.
execution_result quorlane_with(const std::string& library, const std::string& environment,
                               const std::vector<std::string>& arguments) {
    std::vector<std::string> command{
        "-c", "LD_PRELOAD=\"$0\" ASAN_OPTIONS=\"$ASAN_OPTIONS:verify_asan_link_order=0\" " + environment + " exec \"$@\"",
        library, QUORLANE_BINARY};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return run_program("/bin/sh", command);
}

nlohmann::json read_json(const std::string& name) {
    std::ifstream stream(name);
    return nlohmann::json::parse(stream, nullptr, false);
}

}  // namespace

TEST(WholeDisk, FillWritesItsShareOfTheFreeSpaceLessTheMarginAndLeavesNothing) {
    small_disk disk("600m");
    if (!disk.mount.mounted) GTEST_SKIP() << disk.mount.reason;
    struct statvfs state {};
    ASSERT_EQ(statvfs(disk.point.c_str(), &state), 0);
    const long long free_bytes = static_cast<long long>(state.f_bavail) * state.f_frsize;
    const long long margin = std::max(64ll << 20, static_cast<long long>(state.f_blocks * state.f_frsize / 200));
    const long long target = free_bytes / 2 - margin;

    const execution_result r = quorlane(
        {"-path", disk.point, "-fill", "50", "-file", "16", "-thread", "2", "-cache", "0", "-json", results_of(disk)});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(std::filesystem::is_empty(disk.point));
    const nlohmann::json settings = read_json(results_of(disk))["settings"];
    EXPECT_EQ(settings["fill_percent"], 50);
    const long long written = settings["bytes_per_pass"];
    const long long file_bytes = settings["bytes_per_file"];
    // Whole files, as many per worker: within one file per worker of the share.
    EXPECT_LE(written, target);
    EXPECT_GT(written, target - 2 * file_bytes);
    // Sizes as the page gives them: a file of -file 16 holds 163 blocks of 100 KiB.
    EXPECT_NE(r.output.find("\nNote: -fill 50: the run writes " + binary_size(written) + " in " +
                            std::to_string(written / file_bytes) + " test files, " +
                            std::to_string(written / file_bytes / 2) + " per thread, of 15.9 MiB each.\n"),
              std::string::npos)
        << r.output;
    // One file is said as one, its size with the page's decimals.
    const execution_result one = quorlane({"-path", disk.point, "-fill", "14", "-file", "16", "-block", "1000",
                                           "-cache", "0"});
    EXPECT_NE(one.output.find("\nNote: -fill 14: the run writes 15.6 MiB in 1 test file, 1 per thread.\n"),
              std::string::npos)
        << one.output;

    // -fill sets the number of files, and a share that holds no file is refused.
    for (const auto& [arguments, refusal] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"-fill", "50", "-file_number", "2"},
              "Sorry, the arguments -fill and -file_number can't be given together: -fill sets the number of files"},
             {{"-fill", "10"}, "Sorry, -fill 10 leaves no room in " + disk.point + "/ ("},
             // The eviction file takes the room: it is named, as -cache 0 leaves it out.
             {{"-fill", "100", "-cache", "1"},
              "for one test file per thread (1)\nNote: the eviction file takes 1024 MiB of it (-cache 1), which "
              "-cache 0 leaves out.\n"}}) {
        std::vector<std::string> all{"-path", disk.point, "-file", "16", "-cache", "0"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        const execution_result refused = quorlane(all);
        EXPECT_EQ(refused.status, 1) << refused.output;
        EXPECT_NE(refused.output.find(refusal), std::string::npos) << refused.output;
        EXPECT_TRUE(std::filesystem::is_empty(disk.point));
    }
}

// Writes slowed to 20 ms a block would take 13 s a file: -time 2 stops the write at 2 s, and
// the reads, compared byte by byte, read what it had written when it stopped, no more.
TEST(WholeDisk, TimeEndsEachPhaseAtItsDeadlineAndTheReadsReadWhatWasWritten) {
    temporary_directory dir;
    const std::string point = dir.path_name + "/run";
    std::filesystem::create_directory(point);
    const std::string results = dir.path_name + "/run.json";
    // Through a pseudo-terminal, as a user sees the progress line.
    const std::string command = std::string("LD_PRELOAD=") + SLOW_IO + " ASAN_OPTIONS=verify_asan_link_order=0 " +
                                "OMPI_COMM_WORLD_RANK=0 SLOW_WRITE=0:20 " + QUORLANE_BINARY + " -path " +
                                point + " -file 64 -thread 2 -time 2 -cache 0 -verify -json " + results;
    const execution_result r = run_program("/usr/bin/script", {"-qec", command, "/dev/null"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(std::filesystem::is_empty(point));
    EXPECT_NE(r.output.find(" %  1 s left"), std::string::npos) << r.output;
    EXPECT_EQ(occurrences(r.output, " Mo/s          \r\n"), 4) << r.output;

    const nlohmann::json figures = read_json(results)["passes"][0]["figures"];
    const nlohmann::json& write = figures[0];
    EXPECT_EQ(write["time_limit"]["cut_short"], true) << write;
    EXPECT_GE(write["microseconds"], 2000000);
    EXPECT_LT(write["microseconds"], 4000000);
    for (const nlohmann::json& worker : write["workers"]) {
        EXPECT_EQ(worker["stopped_at"]["file"], 0) << worker;
        EXPECT_LT(worker["stopped_at"]["offset"], 64ll << 20) << worker;
    }
    EXPECT_FALSE(figures[1].contains("time_limit"));
    for (const int read : {2, 3}) {
        EXPECT_EQ(figures[read]["bytes"], write["bytes"]) << figures[read];
        EXPECT_EQ(figures[read]["time_limit"]["cut_short"], false) << figures[read];
    }
}

// A device taking 3 s a 1 MiB block, -time 1: past the deadline the line says what it waits
// for, and a figure under 1 Mo/s is given in KB/s beside its 0.
TEST(WholeDisk, PastTheDeadlineTheProgressLineWaitsForTheBlocksInFlight) {
    temporary_directory dir;
    const std::string command = std::string("LD_PRELOAD=") + SLOW_IO + " ASAN_OPTIONS=verify_asan_link_order=0 " +
                                "OMPI_COMM_WORLD_RANK=0 SLOW_WRITE=0:3000 " + QUORLANE_BINARY + " -path " +
                                dir.path_name + " -file 4 -block 1024 -time 1 -cache 0";
    const execution_result r = run_program("/usr/bin/script", {"-qec", command, "/dev/null"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("100 %  finishing the blocks in flight"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("100 %  0 s left"), std::string::npos) << r.output;
    // One block in at least 3 s, with and without the flush.
    const std::regex slow("Writing time with(out)? cache ram *: 0 Mo/s {10}\r\nNote: the figure above is "
                          "([0-9]+) KB/s, under 1 Mo/s\\.\r\n");
    int notes = 0;
    for (std::sregex_iterator at(r.output.begin(), r.output.end(), slow), end; at != end; ++at, ++notes)
        EXPECT_LE(std::stoi((*at)[2]), 350) << r.output;
    EXPECT_EQ(notes, 2) << r.output;
    EXPECT_TRUE(dir.entries().empty());
}

// Each test file keeps only its first 3 MiB; what is written past them overwrites them.
TEST(WholeDisk, ADeviceThatWrapsItsAddressesIsToldHowMuchItHolds) {
    small_disk disk("300m");
    if (!disk.mount.mounted) GTEST_SKIP() << disk.mount.reason;
    constexpr long long kept = 3 << 20;
    const execution_result r =
        quorlane_with(WRAPPING_DEVICE, "WRAP_BYTES=" + std::to_string(kept),
                      {"-path", disk.point, "-fill", "50", "-file", "8", "-thread", "2", "-verify", "-cache", "0",
                       "-json", results_of(disk)});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_TRUE(std::filesystem::is_empty(disk.point));
    const std::size_t note = r.output.find("\nNote: this device holds about ");
    const std::size_t error = r.output.find("\nError 35");
    ASSERT_NE(note, std::string::npos) << r.output;
    EXPECT_LT(note, error) << r.output;
    EXPECT_NE(r.output.find("it offers: data written after 3.1 MB came back in place of earlier data.\n"),
              std::string::npos)
        << r.output;

    const nlohmann::json document = read_json(results_of(disk));
    const nlohmann::json capacity = document["verification"]["capacity"];
    const long long files = document["settings"]["bytes_per_pass"].get<long long>() /
                            document["settings"]["bytes_per_file"].get<long long>();
    EXPECT_EQ(capacity["aliasing_distance"], kept) << capacity;
    // Of each file the last 3 MiB written read back as written, within a block.
    EXPECT_LE(std::llabs(capacity["verified_bytes"].get<long long>() - files * kept), files * 102400) << capacity;
    EXPECT_EQ(capacity["offered_bytes"], document["settings"]["bytes_per_pass"]);
    EXPECT_EQ(capacity["first_bad_offset"], 0);
}
