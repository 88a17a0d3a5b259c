// The program whole on the fake device (tests/fake): a block that fails, moves less than asked
// or comes back changed is the run's error, with the file, the byte and the OS's reason, at 1,
// 2 and 100 workers, and leaves nothing; the blocks that the device makes slow, from an offset
// on, are the longest calls -latency tells.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>

#include "support/run_program.hpp"
#include "support/temporary_directory.hpp"

namespace {

struct fake_run {
    execution_result result;
    nlohmann::json document;
};

// quorlane_fake on `dir` with the device described by `device` (NAME=value words).
fake_run on_fake_device(const temporary_directory& dir, const std::string& device, std::vector<std::string> arguments) {
    temporary_directory reports;
    const std::string results = reports.path_name + "/run.json";
    std::vector<std::string> command{"-c", device + " exec \"$0\" \"$@\"", QUORLANE_FAKE_BINARY, "-path", dir.path_name,
                                     "-cache", "0", "-json", results};
    command.insert(command.end(), arguments.begin(), arguments.end());
    fake_run run;
    run.result = run_program("/bin/sh", command);
    std::ifstream stream(results);
    run.document = nlohmann::json::parse(stream, nullptr, false);
    return run;
}

const std::vector<std::string> worker_counts{"1", "2", "100"};

}  // namespace

TEST(FakeDevice, AWholeRunOnAFaultlessDevicePassesItsFourFiguresAndVerifies) {
    for (const std::string& workers : worker_counts) {
        SCOPED_TRACE(workers + " workers");
        temporary_directory dir;
        const fake_run run = on_fake_device(dir, "FAKE_KEEPS=268435456", {"-thread", workers, "-file", "1", "-block", "64", "-verify"});
        EXPECT_EQ(run.result.status, 0) << run.result.output;
        EXPECT_EQ(run.document["status"], "completed") << run.result.output;
        EXPECT_EQ(run.document["passes"][0]["figures"][3]["workers"][0]["bytes"], 1048576);
        EXPECT_TRUE(dir.entries().empty());
    }
}

// A write that fails with EIO, or takes half its block without an error, at byte 300 KiB of
// every file: Error 23 names the file and says why; a read that fails is Error 34.
TEST(FakeDevice, AFailedOrShortBlockIsTheRunsErrorWithTheFileAndTheReason) {
    struct trial {
        std::string fault;
        std::string error;
    };
    const std::string eio = std::strerror(EIO);
    for (const trial& each : {trial{"307200:w:5", "Error 23, Cannot write the file [^\n]* : " + eio + "\n"},
                              trial{"307200:w:0:32768",
                                    "Error 23, Cannot write the file [^\n]* : the write took 32768 of the block's "
                                    "65536 bytes at byte 262144\n"},
                              trial{"307200:r:5", "Error 34, Cannot read the file [^\n]* : " + eio + "\n"}}) {
        for (const std::string& workers : worker_counts) {
            SCOPED_TRACE(each.fault + ", " + workers + " workers");
            temporary_directory dir;
            const fake_run run = on_fake_device(dir, "FAKE_FAULT=" + each.fault,
                                                {"-thread", workers, "-file", "1", "-block", "64"});
            EXPECT_EQ(run.result.status, 1) << run.result.output;
            EXPECT_TRUE(std::regex_search(run.result.output, std::regex(each.error))) << run.result.output;
            EXPECT_EQ(run.document["status"], "error") << run.result.output;
            EXPECT_TRUE(dir.entries().empty());
        }
    }
}

// A read that comes back short in the middle of a file is a file shorter than written: with
// -verify, that is the error, at the byte where it ends.
TEST(FakeDevice, AShortReadIsAFileThatEndsBeforeWhatWasWritten) {
    temporary_directory dir;
    const fake_run run =
        on_fake_device(dir, "FAKE_FAULT=307200:r:0:4096", {"-file", "1", "-block", "64", "-verify"});
    EXPECT_EQ(run.result.status, 1) << run.result.output;
    EXPECT_NE(run.result.output.find("at byte 266240\n"), std::string::npos) << run.result.output;
    EXPECT_TRUE(dir.entries().empty());
}

// Every block from 512 KiB on takes 20 ms: each phase's longest blocks are those, at their
// offsets, and the blocks before them are not among the longest.
TEST(FakeDevice, SlowBlocksAreTheCallsTheLatencyTimes) {
    for (const std::string& workers : {std::string("1"), std::string("2")}) {
        SCOPED_TRACE(workers + " workers");
        temporary_directory dir;
        const fake_run run = on_fake_device(dir, "FAKE_WRITE_US=20000 FAKE_READ_US=20000 FAKE_SLOW_FROM=524288",
                                            {"-thread", workers, "-file", "1", "-block", "64", "-latency"});
        ASSERT_EQ(run.result.status, 0) << run.result.output;
        const nlohmann::json& figures = run.document["passes"][0]["figures"];
        const std::size_t slow = std::min<std::size_t>(8 * std::stoul(workers), 10);  // of 16 blocks a file
        for (const int phase : {0, 2, 3}) {
            const nlohmann::json& stalls = figures[phase]["stalls"];
            ASSERT_GE(stalls.size(), slow) << figures[phase]["name"];
            for (std::size_t k = 0; k < slow; ++k) {
                EXPECT_GE(stalls[k]["offset"].get<long long>(), 524288) << stalls;
                EXPECT_GE(stalls[k]["duration_us"].get<double>(), 20000) << stalls;
            }
            EXPECT_EQ(figures[phase]["latency"]["count"], 16 * std::stoi(workers));
        }
        EXPECT_TRUE(dir.entries().empty());
    }
}
