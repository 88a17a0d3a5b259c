// -direct through the real binary: the run's files never enter the OS cache, and a directory
// that can't take unbuffered I/O, or not in blocks of that size, is refused before any file
// exists.
#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <memory>

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
