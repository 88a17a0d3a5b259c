// Disks without room: a run that can't fit is refused before any file exists, and a disk
// that fills during the run anyway, or a file-size limit, ends it with the OS's reason, no
// figure and no file left.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include "run/limits.hpp"
#include "settings/settings.hpp"
#include "support/arguments.hpp"
#include "support/mount.hpp"
#include "support/process.hpp"
#include "support/run_program.hpp"
#include "support/temporary_directory.hpp"

namespace {

constexpr int timeout_ms = 120000;

}  // namespace

TEST(FreeSpace, ARunThatCannotFitIsRefusedBeforeAnyFileExists) {
    small_disk disk("8m");
    if (!disk.mount.mounted) GTEST_SKIP() << disk.mount.reason;
    struct test_case {
        std::vector<std::string> settings;
        const char* needed;
        const char* note;
    };
    const test_case refuses[] = {
        {{"-file", "16", "-cache", "0"}, "16", ""},
        // Whole blocks only: 2 MiB in 700 KiB blocks is 1400 KiB a file, 8400 KiB for six files.
        {{"-file", "2", "-block", "700", "-thread", "3", "-file_number", "2", "-cache", "0"}, "9", ""},
        // The eviction file counts, 1 GiB beside the 1 MiB test file, and the refusal says so.
        {{"-file", "1", "-cache", "1"}, "1025",
         "Note: 1024 MiB of it is the eviction file (-cache 1), which -cache 0 leaves out.\n"},
    };
    for (const test_case& c : refuses) {
        std::vector<std::string> arguments{"-path", disk.point};
        arguments.insert(arguments.end(), c.settings.begin(), c.settings.end());
        const execution_result r = quorlane(arguments);
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_NE(r.output.find(std::string("\nSorry, the run needs ") + c.needed +
                                " MiB of free space but the disk has only 8 MiB free\n" + c.note),
                  std::string::npos)
            << r.output;
        EXPECT_EQ(occurrences(r.output, "Note: "), *c.note == '\0' ? 0 : 1) << r.output;
        EXPECT_EQ(r.output.find("Writing"), std::string::npos) << r.output;
        EXPECT_TRUE(std::filesystem::is_empty(disk.point));
    }

    // What fits runs to its end on the same disk.
    const execution_result r =
        quorlane({"-path", disk.point, "-file", "1", "-block", "1024", "-thread", "4", "-cache", "0"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(occurrences(r.output, "Mo/s          \n"), 4) << r.output;
    EXPECT_TRUE(std::filesystem::is_empty(disk.point));
}

// Another program fills the disk after the free-space check passed: the binary is held
// still at the start of its write phase while the rest of the disk is taken.
TEST(FullDisk, DuringTheWritePhaseTheRunStopsWithTheReasonAndRemovesItsFiles) {
    small_disk disk("64m");
    if (!disk.mount.mounted) GTEST_SKIP() << disk.mount.reason;
    child_process process;
    ASSERT_TRUE(launch(process, {"-path", disk.point, "-thread", "2", "-file", "16", "-block", "1", "-cache", "0"}));
    ASSERT_TRUE(wait_for_text(process, "Writing time with cache ram ...", timeout_ms)) << process.text;
    ASSERT_EQ(kill(process.pid, SIGSTOP), 0);
    EXPECT_GT(fill_the_disk(disk.point, "remplissage"), 0);
    ASSERT_EQ(kill(process.pid, SIGCONT), 0);
    finish(process);

    EXPECT_EQ(process.status, 1) << process.text;
    // Both writers meet the full disk; the first error is the one reported.
    const std::regex error("\nError 23, Cannot write the file " + disk.point +
                           "/vellumcrate_[a-z]{8}0 : No space left on device\n$");
    EXPECT_TRUE(std::regex_search(process.text, error)) << process.text;
    EXPECT_EQ(occurrences(process.text, "Error"), 1) << process.text;
    // No figure: a progress line may have come on a slow machine, a result line never.
    EXPECT_EQ(process.text.find(" Mo/s          \n"), std::string::npos) << process.text;
    EXPECT_EQ(disk.dir.entries(), std::vector<std::string>{"disque"});
    std::vector<std::string> leftovers;
    for (const auto& entry : std::filesystem::directory_iterator(disk.point))
        leftovers.push_back(entry.path().filename().string());
    EXPECT_EQ(leftovers, std::vector<std::string>{"remplissage"});
}

// A file system out of inodes (a tmpfs of 20) refuses the 20th file with "No space left on
// device": the error says the disk's table of files is full, not the open-files limit.
TEST(FullDisk, NoFreeInodeIsToldAsAFullTableOfFilesNotTheOpenFilesLimit) {
    temporary_directory dir;
    const std::string point = dir.path_name + "/disque";
    std::filesystem::create_directory(point);
    const tmpfs_mount mount(point, "200m,nr_inodes=20");
    if (!mount.mounted) GTEST_SKIP() << mount.reason;
    const execution_result r = quorlane({"-path", point, "-fill", "100", "-thread", "100", "-file", "1", "-cache", "0"});
    EXPECT_EQ(r.status, 1) << r.output;
    const std::regex error("\nError 22, Cannot open the file, the disk or its table of files is full\n" + point +
                           "/vellumcrate_[a-z]{8}0 : No space left on device\n$");
    EXPECT_TRUE(std::regex_search(r.output, error)) << r.output;
    EXPECT_TRUE(std::filesystem::is_empty(point));
}

// A file-size limit (ulimit -f, 1 MiB or 2 MiB as the shell counts) below the 4 MiB files:
// the write past it fails with its reason instead of the signal killing the run.
TEST(FileSizeLimit, EndsTheRunWithTheReasonAndRemovesItsFiles) {
    temporary_directory dir;
    const execution_result r =
        run_program("/bin/sh", {"-c", "ulimit -f 2048 && exec \"$0\" \"$@\"", QUORLANE_BINARY, "-path", dir.path_name,
                                "-thread", "2", "-file", "4", "-cache", "0"});
    EXPECT_EQ(r.status, 1) << r.output;
    const std::regex error("\nError 23, Cannot write the file " + dir.path_name +
                           "/vellumcrate_[a-z]{8}0 : File too large\n$");
    EXPECT_TRUE(std::regex_search(r.output, error)) << r.output;
    EXPECT_EQ(r.output.find(" Mo/s          \n"), std::string::npos) << r.output;
    EXPECT_TRUE(dir.entries().empty());
}

// FAT holds no file of 4 GiB: a run that would make one is refused before any file exists,
// with the file system's name and its limit, whatever the free space; by the file's exact size.
TEST(FileSizeLimit, FatRefusesAFileOf4GiBBeforeAnyFileExists) {
    temporary_directory dir;
    const auto refusal = [&dir](std::uint32_t block, std::uint32_t file, std::uint32_t gib, const char* name) {
        const run_settings settings = apply_arguments({"-path", dir.path_name, "-block", std::to_string(block), "-file",
                                                       std::to_string(file), "-cache", std::to_string(gib)});
        return file_size_refusal(settings, "D:\\", name);
    };
    EXPECT_EQ(refusal(1024, 4096, 0, "FAT32"),
              "Sorry, D:\\ is on FAT (FAT32), which holds files of at most 4294967295 bytes: each test file would be "
              "4294967296 bytes (-file 4096, -block 1024)");
    EXPECT_EQ(refusal(100, 1, 4, "vfat"),
              "Sorry, D:\\ is on FAT (vfat), which holds files of at most 4294967295 bytes: the eviction file would "
              "be 4294967296 bytes (-cache 4)");
    EXPECT_NE(refusal(1024, 8192, 1, "fat16"), "");
    EXPECT_NE(refusal(1024, 8192, 1, "msdos"), "");
    // 41943 blocks of 100 KiB: 4,096 bytes short of 4 GiB.
    EXPECT_EQ(refusal(100, 4096, 3, "FAT32"), "");
    for (const char* other : {"exFAT", "NTFS", "ext4", "fuse.bindfs"}) EXPECT_EQ(refusal(1024, 8192, 8, other), "");

    const std::string point = dir.path_name + "/fat";
    ASSERT_TRUE(std::filesystem::create_directory(point));
    fat_mount fat(dir.path_name + "/image", point, 40);
    if (!fat.mounted) GTEST_SKIP() << fat.reason;
    const execution_result test_file = quorlane({"-path", point, "-file", "4096", "-block", "1024", "-cache", "0"});
    EXPECT_EQ(test_file.status, 1) << test_file.output;
    EXPECT_NE(test_file.output.find("\nSorry, " + point + "/ is on FAT (fuse.fusefat), which holds files of at most "
                                    "4294967295 bytes: each test file would be 4294967296 bytes (-file 4096, "
                                    "-block 1024)\n"),
              std::string::npos)
        << test_file.output;
    const execution_result eviction = quorlane({"-path", point, "-file", "1", "-cache", "4"});
    EXPECT_EQ(eviction.status, 1) << eviction.output;
    EXPECT_NE(eviction.output.find("the eviction file would be 4294967296 bytes (-cache 4)\n"), std::string::npos)
        << eviction.output;
    EXPECT_TRUE(std::filesystem::is_empty(point));

    // A results file there, where no file keeps permissions, is made and then replaced.
    const std::string results = point + "/run.json";
    for (int save = 0; save < 2; ++save) {
        const execution_result saved = quorlane({"-path", point, "-file", "1", "-cache", "0", "-json", results});
        EXPECT_EQ(saved.status, 0) << saved.output;
    }
    std::ifstream document(results);
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(document), {}).find("\"status\": \"completed\""),
              std::string::npos);
}
