// -direct through the real binary: the run's files never enter the OS cache, and a directory
// that can't take unbuffered I/O, or not in blocks of that size, is refused before any file
// exists.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>

#include <nlohmann/json.hpp>
#include <memory>

#include "device/windows_descriptors.hpp"
#include "driver/driver.hpp"
#include "run/run_marker.hpp"
#include "support/file_system.hpp"
#include "support/mount.hpp"
#include "support/page_cache.hpp"
#include "support/process.hpp"
#include "support/run_program.hpp"
#include "support/temporary_directory.hpp"

namespace fs = std::filesystem;

namespace {

const std::string banner = "Quorlane " QUORLANE_VERSION " - sequential disk throughput benchmark\n\n";
const std::string note = "Note: unbuffered I/O: every phase bypasses the OS cache.\n";
constexpr int timeout_ms = 120000;

struct cache_view {
    std::size_t files = 0;
    std::size_t pages = 0;
};

// Runs 2 workers x 2 files of 4 MiB, stopped right after the write result line (the files
// complete, not yet forced to the device) to count the test files' cached pages, then lets
// the run finish.
cache_view pages_after_the_write(const std::string& directory, bool unbuffered) {
    std::vector<std::string> arguments{"-path", directory, "-thread", "2",      "-file_number",
                                       "2",     "-file",   "4",       "-cache", "0"};
    if (unbuffered) arguments.push_back("-direct");
    child_process process;
    cache_view view;
    EXPECT_TRUE(launch(process, arguments));
    EXPECT_TRUE(wait_for_results(process, 1, timeout_ms)) << process.text;
    EXPECT_EQ(kill(process.pid, SIGSTOP), 0);
    for (const auto& entry : fs::directory_iterator(directory)) {
        if (is_marker_name(entry.path().filename().string())) continue;
        ++view.files;
        EXPECT_EQ(entry.file_size(), 40u * 102400u) << entry.path();
        view.pages += resident_pages(entry.path().string());
    }
    EXPECT_EQ(kill(process.pid, SIGCONT), 0);
    finish(process);
    EXPECT_EQ(process.status, 0) << process.text;
    EXPECT_EQ(process.text.rfind(banner + note, 0) == 0, unbuffered) << process.text;
    EXPECT_TRUE(fs::is_empty(directory));
    return view;
}

// A refused run: the banner, the message on its own line, status 1, nothing left.
void check_refusal(const std::string& directory, const std::vector<std::string>& settings, const std::string& message) {
    std::vector<std::string> arguments{"-path", directory, "-direct", "-file", "1", "-cache", "0"};
    arguments.insert(arguments.end(), settings.begin(), settings.end());
    const execution_result r = quorlane(arguments);
    EXPECT_EQ(r.output, banner + message + "\n") << ::testing::PrintToString(settings);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(fs::is_empty(directory));
}

}  // namespace

// The same run buffered is the control: its files are in the cache at that point.
TEST(UnbufferedRun, LeavesNoPageOfItsFilesInTheOsCache) {
    const std::string parent = disk_backed_parent();
    if (parent.empty()) GTEST_SKIP() << "neither the temp directory nor /var/tmp is on a disk-backed filesystem";
    temporary_directory dir(parent);
    ASSERT_FALSE(dir.path_name.empty());

    const cache_view buffered = pages_after_the_write(dir.path_name, false);
    EXPECT_EQ(buffered.files, 4u);
    EXPECT_GT(buffered.pages, 0u);
    const cache_view unbuffered = pages_after_the_write(dir.path_name, true);
    EXPECT_EQ(unbuffered.files, 4u);
    EXPECT_EQ(unbuffered.pages, 0u);
}

// On 4096-byte sectors the kernel refuses unbuffered transfers of 1 KiB (EINVAL): blocks of
// 1 and 6 KiB are refused, 4 KiB blocks make a complete run.
TEST(UnbufferedRun, ABlockTheDeviceCannotTakeIsRefusedBeforeAnyFileExists) {
    temporary_directory dir;
    const std::string point = dir.path_name + "/disk";
    fs::create_directory(point);
    loop_mount disk(dir.path_name + "/image", point, 4096);
    if (!disk.mounted) GTEST_SKIP() << disk.reason;
    const std::string run = point + "/run";
    fs::create_directory(run);

    for (const char* block : {"1", "6"})
        check_refusal(run, {"-block", block},
                      "Sorry, with -direct the argument -block must be a multiple of 4 Ko here");
    const execution_result r = quorlane({"-path", run, "-direct", "-block", "4", "-file", "1", "-cache", "0"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(occurrences(r.output, "Mo/s          \n"), 4) << r.output;
    EXPECT_TRUE(fs::is_empty(run));
}

TEST(UnbufferedRun, AFileSystemThatCannotBypassItsCacheIsRefusedWithTheReason) {
    temporary_directory dir;
    const std::string point = dir.path_name + "/ramfs";
    fs::create_directory(point);
    tmpfs_mount memory(point, "1m", false, "ramfs");
    if (!memory.mounted) GTEST_SKIP() << memory.reason;
    check_refusal(point, {}, "Sorry, -direct is not possible in " + point + "/ : Invalid argument");
}

// ext4 with data=journal takes O_DIRECT opens and caches their data all the same. A kernel
// that says so (an alignment of 0) has the run refused before any file exists; one that
// can't say (before 6.1, played by a shim) has it run, and the pages found in the cache
// after the write are told on a line of their own.
TEST(UnbufferedRun, AFileSystemThatCachesUnbufferedIoIsRefusedOrToldOf) {
    temporary_directory dir;
    const std::string point = dir.path_name + "/disk";
    fs::create_directory(point);
    loop_mount disk(dir.path_name + "/image", point, 4096, "data=journal");
    if (!disk.mounted) GTEST_SKIP() << disk.reason;
    const std::string run = point + "/run";
    fs::create_directory(run);

    check_refusal(run, {"-block", "4"},
                  "Sorry, -direct is not possible in " + run + "/ : its file system serves direct I/O through the OS cache");

    const execution_result r = run_program(
        "/bin/sh", {"-c", "LD_PRELOAD=\"$0\" ASAN_OPTIONS=\"$ASAN_OPTIONS:verify_asan_link_order=0\" exec \"$@\"",
                    STATX_WITHOUT_DIO_ALIGNMENT, QUORLANE_BINARY, "-path", run, "-direct", "-block", "4", "-file", "4",
                    "-cache", "0"});
    EXPECT_EQ(r.status, 0) << r.output;
    const std::vector<std::string> screen = screen_without_memory_notes(r.output, run);
    ASSERT_EQ(screen.size(), 8u) << r.output;
    EXPECT_EQ(screen[2] + "\n", note);
    EXPECT_EQ(screen[4].rfind("Writing time without cache ram  : ", 0), 0u) << r.output;
    EXPECT_EQ(screen[5],
              "Note: 100 % of the test files are in the OS cache after an unbuffered write: this file system keeps "
              "them there whatever -direct asks, so the figures are not all the disk's own.");
    EXPECT_TRUE(fs::is_empty(run));
}

// The note on blocks that don't cover the disk's physical sectors, decided on the devices as
// the device identity reads them: Windows' access-alignment answer of a 512e disk, and disks
// described by sysfs.
TEST(DirectIo, BlocksThatDontCoverAPhysicalSectorAreSaidOnDisksThatHaveThem) {
    disk_answers answers;
    answers.access_alignment.assign(28, 0);
    const auto put = [&answers](std::size_t offset, std::uint32_t value) {
        for (int k = 0; k < 4; ++k) answers.access_alignment[offset + k] = static_cast<unsigned char>(value >> (8 * k));
    };
    put(0, 1);
    put(4, 28);
    put(16, 512);   // logical sector
    put(20, 4096);  // physical sector
    target_identity windows_512e;
    windows_512e.devices.push_back(parse_disk_answers(answers));
    EXPECT_EQ(partial_physical_sector(windows_512e, 1024), 4096u);
    EXPECT_EQ(partial_physical_sector(windows_512e, 11 * 1024), 4096u);
    EXPECT_EQ(partial_physical_sector(windows_512e, 100 * 1024), 0u);
    EXPECT_EQ(partial_physical_sector(windows_512e, 4096), 0u);
    EXPECT_EQ(partial_physical_sector(windows_512e, 1024 * 1024), 0u);

    storage_device native_512;
    native_512.logical_sector_bytes = native_512.physical_sector_bytes = 512;
    storage_device unknown;
    storage_device sixteen_k;
    sixteen_k.logical_sector_bytes = 4096;
    sixteen_k.physical_sector_bytes = 16384;
    target_identity mirror;
    mirror.devices = {native_512, unknown};
    EXPECT_EQ(partial_physical_sector(mirror, 1024), 0u);
    // Of a mirror's devices, the largest sector the blocks miss.
    mirror.devices.push_back(windows_512e.devices.front());
    mirror.devices.push_back(sixteen_k);
    EXPECT_EQ(partial_physical_sector(mirror, 1024), 16384u);
    EXPECT_EQ(partial_physical_sector(mirror, 8192), 16384u);
    EXPECT_EQ(partial_physical_sector(mirror, 16384), 0u);
    EXPECT_EQ(partial_physical_sector(target_identity{}, 1024), 0u);
}

// The same through the binary on this machine's own disk: a 512e disk (virtio disks often are)
// takes -block 1 unbuffered and gets the note; a disk of 512-byte physical sectors does not.
TEST(DirectIo, ABlockOfLessThanThePhysicalSectorIsNotedOnThisMachinesDisk) {
    const std::string parent = disk_backed_parent();
    if (parent.empty()) GTEST_SKIP() << "neither the temp directory nor /var/tmp is on a disk-backed filesystem";
    temporary_directory dir(parent), reports;
    ASSERT_FALSE(dir.path_name.empty());
    const execution_result r = quorlane({"-path", dir.path_name, "-direct", "-block", "1", "-file", "1", "-cache", "0",
                                         "-json", reports.path_name + "/run.json"});
    if (r.status == 1 && r.output.find("must be a multiple of") != std::string::npos)
        GTEST_SKIP() << "this disk takes no unbuffered block of 1 KiB: " << r.output;
    ASSERT_EQ(r.status, 0) << r.output;
    std::ifstream stream(reports.path_name + "/run.json");
    const nlohmann::json results = nlohmann::json::parse(stream);
    std::uint64_t physical = 0;
    if (results["target"]["devices"].is_array())
        for (const auto& device : results["target"]["devices"])
            if (device["physical_sector_bytes"].is_number())
                physical = std::max(physical, device["physical_sector_bytes"].get<std::uint64_t>());
    const std::string noted = "Note: -block 1 Ko is not a multiple of the disk's physical sector (" +
                              std::to_string(physical) + " bytes)";
    if (physical > 1024)
        EXPECT_NE(r.output.find(noted), std::string::npos) << r.output;
    else
        EXPECT_EQ(r.output.find("physical sector"), std::string::npos) << r.output;
    std::cout << "physical sector of this disk: " << physical << " bytes\n";
    EXPECT_TRUE(fs::is_empty(dir.path_name));
}
