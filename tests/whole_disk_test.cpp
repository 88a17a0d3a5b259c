// The whole-disk mode: -fill sizes the run from the free space, -time ends each phase at its
// deadline, and with -verify a device that keeps less than it offers is told how much it holds.
#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <cstdio>
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

namespace {

// What a run of the capacity check printed, and its results file.
struct checked_run {
    execution_result result;
    nlohmann::json document;
};

// Runs -fill 50 -verify on a small tmpfs of `size` with `threads` workers and files of
// `file_mib`, the device described by `device` (NAME=value words): the fake device of
// quorlane_fake (tests/fake/chosen_fake.cpp), or with `library` the one preloaded into quorlane.
checked_run check_capacity(const std::string& size, const std::string& device, int threads, int file_mib,
                           const std::vector<std::string>& more = {}, const std::string& library = "") {
    small_disk disk(size);
    checked_run run;
    if (!disk.mount.mounted) {
        run.result.output = disk.mount.reason;
        return run;
    }
    std::vector<std::string> arguments{"-path", disk.point, "-fill", "50", "-file", std::to_string(file_mib),
                                       "-thread", std::to_string(threads), "-verify", "-cache", "0", "-json",
                                       results_of(disk)};
    arguments.insert(arguments.end(), more.begin(), more.end());
    if (!library.empty()) {
        run.result = quorlane_with(library, device, arguments);
    } else {
        std::vector<std::string> command{"-c", device + " exec \"$0\" \"$@\"", QUORLANE_FAKE_BINARY};
        command.insert(command.end(), arguments.begin(), arguments.end());
        run.result = run_program("/bin/sh", command);
    }
    EXPECT_TRUE(std::filesystem::is_empty(disk.point)) << run.result.output;
    run.document = read_json(results_of(disk));
    return run;
}

// Bytes as the capacity note words them: MB of 10^6 bytes, one decimal.
std::string decimal_size(long long bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

// The capacity note comes on a line of its own before the mismatch, which stays the error.
std::string capacity_line(const execution_result& result) {
    const std::size_t error = result.output.find("\nError 35, ");
    const std::size_t note = result.output.rfind("\nNote: ", error);
    EXPECT_NE(error, std::string::npos) << result.output;
    if (error == std::string::npos || note == std::string::npos) return "";
    return result.output.substr(note + 1, error - note - 1);
}

}  // namespace

// A device that keeps 32 MiB and wraps: concurrent writers interleave their blocks, and the
// data written after what it holds is found that far along in the order the blocks were
// written, the same with 1, 2, 4 and 100 workers, within a block a worker.
TEST(WholeDisk, ADeviceThatWrapsIsToldWhatItHoldsWhateverTheWorkers) {
    struct trial {
        int threads;
        std::string disk_size;
        int file_mib;
        long long kept;
    };
    for (const trial& each : {trial{1, "300m", 8, 32ll << 20}, trial{2, "300m", 8, 32ll << 20},
                              trial{4, "300m", 8, 32ll << 20}, trial{100, "1200m", 1, 64ll << 20}}) {
        SCOPED_TRACE(std::to_string(each.threads) + " workers");
        const checked_run run =
            check_capacity(each.disk_size, "FAKE_KEEPS=" + std::to_string(each.kept), each.threads, each.file_mib);
        if (run.document.is_discarded() && run.result.status == -1) GTEST_SKIP() << run.result.output;
        EXPECT_EQ(run.result.status, 1) << run.result.output;
        EXPECT_EQ(capacity_line(run.result).rfind("Note: this device holds about ", 0), 0) << run.result.output;
        EXPECT_NE(capacity_line(run.result).find(" it offers: data written after "), std::string::npos);
        const nlohmann::json& capacity = run.document["verification"]["capacity"];
        const long long block = run.document["settings"]["block_kib"].get<long long>() * 1024;
        EXPECT_EQ(capacity["kind"], "wrapped") << capacity;
        EXPECT_LE(std::llabs(capacity["aliasing_distance"].get<long long>() - each.kept), each.threads * block)
            << capacity;
        // The last of what was written is what the device holds.
        EXPECT_EQ(capacity["verified_bytes"], each.kept) << capacity;
        EXPECT_EQ(capacity["offered_bytes"], run.document["settings"]["bytes_per_pass"]);
        EXPECT_EQ(capacity["checked_bytes"], capacity["offered_bytes"]);
        EXPECT_EQ(capacity["first_bad_offset"], 0);
        EXPECT_EQ(capacity["text"].get<std::string>().rfind("this device holds about ", 0), 0) << capacity;
    }
}

// The preloaded device under the real engine, through the OS's own calls: a device that keeps
// 32 MiB and wraps is told so, as on the fake device.
TEST(WholeDisk, TheRealEngineOnAPreloadedWrappingDeviceIsToldWhatItHolds) {
    const checked_run run = check_capacity("300m", "DEVICE_KEEPS=33554432", 2, 8, {}, WRAPPING_DEVICE);
    if (run.document.is_discarded() && run.result.status == -1) GTEST_SKIP() << run.result.output;
    EXPECT_EQ(run.result.status, 1) << run.result.output;
    const nlohmann::json& capacity = run.document["verification"]["capacity"];
    EXPECT_EQ(capacity["kind"], "wrapped") << capacity;
    EXPECT_EQ(capacity["verified_bytes"], 32ll << 20) << capacity;
}

// One flipped bit is damage, told with its sector and bit; a device that drops what is written
// past 32 MiB lost a tail; and reads cut by -time judge only what they read.
TEST(WholeDisk, DamageALostTailAndACutCheckAreEachToldForWhatTheyAre) {
    const checked_run flipped = check_capacity("300m", "FAKE_KEEPS=1073741824 FAKE_FLIPS=5000", 2, 8);
    if (flipped.document.is_discarded() && flipped.result.status == -1) GTEST_SKIP() << flipped.result.output;
    EXPECT_EQ(flipped.result.status, 1) << flipped.result.output;
    EXPECT_EQ(capacity_line(flipped.result),
              "Note: 1 sector of the 82.9 MB written did not come back as written (1 bit differs in it): that is "
              "damage, not a smaller capacity; the first is told below.")
        << flipped.result.output;
    EXPECT_NE(flipped.result.output.find("\n1 bit differs\n"), std::string::npos) << flipped.result.output;
    const nlohmann::json& damage = flipped.document["verification"]["capacity"];
    EXPECT_EQ(damage["kind"], "damaged") << damage;
    EXPECT_EQ(damage["bad_sectors"], 1);
    EXPECT_EQ(damage["bits_differ"], 1);
    EXPECT_EQ(damage["verified_bytes"].get<long long>(), damage["offered_bytes"].get<long long>() - 4096);

    const checked_run lost = check_capacity("300m", "FAKE_KEEPS=33554432 FAKE_DROPS=1", 2, 8);
    EXPECT_EQ(lost.result.status, 1) << lost.result.output;
    EXPECT_EQ(capacity_line(lost.result),
              "Note: this device holds about 33.6 MB of the 82.9 MB it offers: the rest did not come back as written.")
        << lost.result.output;
    const nlohmann::json& tail = lost.document["verification"]["capacity"];
    EXPECT_EQ(tail["kind"], "lost") << tail;
    EXPECT_TRUE(tail["aliasing_distance"].is_null()) << tail;
    EXPECT_LE(std::llabs(tail["first_bad_offset"].get<long long>() - (32ll << 20)), 2 * 102400) << tail;

    // Each read of 20 ms: -time 1 stops the reads after about 50 blocks of the 810. The deadline
    // may cut a slow machine's writes too; a device that keeps 4 MiB wraps all the same.
    const checked_run cut = check_capacity("300m", "FAKE_KEEPS=4194304 FAKE_READ_US=20000", 2, 8, {"-time", "1"});
    EXPECT_EQ(cut.result.status, 1) << cut.result.output;
    const std::string line = capacity_line(cut.result);
    const nlohmann::json& partial = cut.document["verification"]["capacity"];
    EXPECT_EQ(line, "Note: -time cut the capacity check short: of the " +
                        decimal_size(partial["offered_bytes"].get<long long>()) + " written, " +
                        decimal_size(partial["checked_bytes"].get<long long>()) + " was read back, " +
                        decimal_size(partial["verified_bytes"].get<long long>()) +
                        " of it as written; the rest was not checked.")
        << cut.result.output;
    EXPECT_EQ(partial["kind"], "cut_short") << partial;
    EXPECT_LT(partial["checked_bytes"].get<long long>(), partial["offered_bytes"].get<long long>()) << partial;
    EXPECT_GT(partial["checked_bytes"].get<long long>(), 0) << partial;
    EXPECT_TRUE(partial["aliasing_distance"].is_null()) << partial;
}

// The same damage and lost tail with 1 and 100 workers, whose blocks interleave differently.
TEST(WholeDisk, DamageAndALostTailAreToldWhateverTheWorkers) {
    for (const int threads : {1, 100}) {
        SCOPED_TRACE(std::to_string(threads) + " workers");
        // A hundred workers need a file each in half the free space.
        const int file_mib = threads == 1 ? 8 : 1;
        const std::string disk = threads == 1 ? "300m" : "1200m";
        const checked_run flipped = check_capacity(disk, "FAKE_KEEPS=1073741824 FAKE_FLIPS=5000", threads, file_mib);
        if (flipped.document.is_discarded() && flipped.result.status == -1) GTEST_SKIP() << flipped.result.output;
        EXPECT_EQ(flipped.result.status, 1) << flipped.result.output;
        const nlohmann::json& damage = flipped.document["verification"]["capacity"];
        EXPECT_EQ(damage["kind"], "damaged") << damage;
        EXPECT_EQ(damage["bad_sectors"], 1) << damage;
        EXPECT_EQ(damage["bits_differ"], 1) << damage;

        const checked_run lost = check_capacity(disk, "FAKE_KEEPS=33554432 FAKE_DROPS=1", threads, file_mib);
        EXPECT_EQ(lost.result.status, 1) << lost.result.output;
        const nlohmann::json& tail = lost.document["verification"]["capacity"];
        EXPECT_EQ(tail["kind"], "lost") << tail;
        EXPECT_EQ(capacity_line(lost.result).rfind("Note: this device holds about 33.6 MB of the ", 0), 0)
            << lost.result.output;
    }
}

// A counterfeit stick wraps by the address the file system gives each block, not by the order
// written: an ext4 on a device that keeps 64 MiB of the 256 MiB it offers, its first 8 MiB for
// ext4's own tables. What came back as written is what the device holds, less what ext4 keeps;
// with one worker ext4 lays the data in the order written and the distance agrees with it,
// with two it lays the files side by side and the note leaves the distance out.
TEST(WholeDisk, AFileSystemOnAWrappingDeviceIsToldWhatTheDeviceHolds) {
    temporary_directory dir;
    const wrapping_disk disk(WRAPPING_FILE, dir.path_name, 256ll << 20, 64ll << 20);
    if (!disk.mounted) GTEST_SKIP() << disk.reason;
    const std::string results = dir.path_name + "/run.json";
    for (const int threads : {1, 2}) {
        SCOPED_TRACE(std::to_string(threads) + " workers");
        const execution_result r = quorlane({"-path", disk.point, "-fill", "100", "-file", "8", "-thread",
                                             std::to_string(threads), "-verify", "-cache", "0", "-json", results});
        EXPECT_EQ(r.status, 1) << r.output;
        const nlohmann::json capacity = read_json(results)["verification"]["capacity"];
        ASSERT_TRUE(capacity.is_object()) << r.output;
        EXPECT_EQ(capacity["kind"], "wrapped") << capacity;
        const long long held = capacity["verified_bytes"];
        EXPECT_GE(held, 48ll << 20) << capacity;
        EXPECT_LE(held, 64ll << 20) << capacity;
        const std::string line = capacity_line(r);
        EXPECT_EQ(line.rfind("Note: this device holds about ", 0), 0) << r.output;
        if (threads == 1) {
            EXPECT_LE(std::llabs(capacity["aliasing_distance"].get<long long>() - held), held / 8) << capacity;
            EXPECT_NE(line.find(" it offers: data written after "), std::string::npos) << line;
        }
        for (const auto& entry : std::filesystem::directory_iterator(disk.point))
            EXPECT_EQ(entry.path().filename(), "lost+found");
    }
}
