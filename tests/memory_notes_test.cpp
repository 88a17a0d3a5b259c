// Figures that are memory speeds say so: a run in a directory on a tmpfs notes it after the
// banner and notes, before the fourth result, that the test files are still cached; a run
// on a disk notes neither. Through the real binary, and the filesystem query on real
// directories.
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/vfs.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <map>
#include <regex>
#include <set>

#include "platform/file_system.hpp"
#include "support/file_system.hpp"
#include "support/mount.hpp"
#include "support/process.hpp"
#include "support/results_schema.hpp"
#include "support/run_program.hpp"
#include "support/temporary_directory.hpp"

namespace {

const std::string shared_memory = "/dev/shm";
const std::string no_disk = "neither the temp directory nor /var/tmp is on a disk-backed filesystem";

// A small complete run in `dir`, as it stays on screen.
std::vector<std::string> screen_of_run(const temporary_directory& dir) {
    const execution_result r = quorlane({"-path", dir.path_name, "-thread", "2", "-file", "2", "-cache", "0"});
    EXPECT_EQ(r.status, 0) << r.output;
    std::vector<std::string> screen;
    for (const std::string& line : lines(r.output)) screen.push_back(visible(line));
    EXPECT_TRUE(dir.entries().empty());
    return screen;
}

}  // namespace

TEST(MemoryNotes, ARunOnATmpfsSaysItMeasuresMemoryAndThatTheFilesAreStillCached) {
    if (!on_memory_file_system(shared_memory)) GTEST_SKIP() << shared_memory << " is not a tmpfs here";
    const temporary_directory dir(shared_memory);
    ASSERT_FALSE(dir.path_name.empty());
    const std::vector<std::string> screen = screen_of_run(dir);
    ASSERT_EQ(screen.size(), 8u);
    EXPECT_EQ(screen[1], "");
    EXPECT_EQ(screen[2],
              "Note: " + dir.path_name + "/ is in memory (tmpfs): these figures are memory speeds, not a disk's.");
    EXPECT_EQ(screen[3].rfind("Writing time with cache ram     : ", 0), 0u) << screen[3];
    EXPECT_EQ(screen[5].rfind("Reading time with cache ram     : ", 0), 0u) << screen[5];
    // Nothing drops a tmpfs page: the purge leaves every one of them.
    EXPECT_EQ(screen[6],
              "Note: 100 % of the test files are still in the OS cache: the next figure is not the disk's own speed.");
    EXPECT_EQ(screen[7].rfind("Reading time without cache ram  : ", 0), 0u) << screen[7];
}

TEST(MemoryNotes, ARunOnADiskNotesNeither) {
    const std::string parent = disk_backed_parent();
    if (parent.empty()) GTEST_SKIP() << no_disk;
    const temporary_directory dir(parent);
    ASSERT_FALSE(dir.path_name.empty());
    const std::vector<std::string> screen = screen_of_run(dir);
    ASSERT_EQ(screen.size(), 6u);
    for (const std::string& line : screen) EXPECT_EQ(line.find("Note"), std::string::npos) << line;
}

// ramfs reports neither a size nor free space: its free space is unknown, not none, so the
// run goes on, saying it measures memory.
TEST(MemoryNotes, ARunOnARamfsIsNotRefusedForSpaceAndSaysItMeasuresMemory) {
    const temporary_directory dir;
    const std::string point = dir.path_name + "/ramfs";
    ASSERT_TRUE(std::filesystem::create_directory(point));
    tmpfs_mount memory(point, "1m", false, "ramfs");
    if (!memory.mounted) GTEST_SKIP() << memory.reason;
    const execution_result r = quorlane({"-path", point, "-thread", "2", "-file", "2", "-cache", "0"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(occurrences(r.output, "Mo/s          \n"), 4) << r.output;
    EXPECT_EQ(occurrences(r.output, "Note: " + point + "/ is in memory (ramfs): these figures are memory speeds, not a disk's.\n"), 1)
        << r.output;
    EXPECT_TRUE(std::filesystem::is_empty(point));
}

// A FUSE daemon may serve the last read from the OS cache of the files behind it, which the
// purge of the FUSE file's pages never reaches: said once after the banner, and in the
// results file.
TEST(MemoryNotes, ARunOnAFuseFileSystemSaysWhichCacheThePurgeCannotReach) {
    const temporary_directory dir, reports;
    const std::string source = dir.path_name + "/source", point = dir.path_name + "/fuse";
    ASSERT_TRUE(std::filesystem::create_directory(source));
    ASSERT_TRUE(std::filesystem::create_directory(point));
    fuse_mount fuse(source, point);
    if (!fuse.mounted) GTEST_SKIP() << fuse.reason;
    file_system_type type;
    ASSERT_TRUE(file_system_of(point, type));
    EXPECT_EQ(type.other_cache, cache_beyond_purge::fuse_daemon);
    EXPECT_FALSE(type.in_memory);

    const std::string results = reports.path_name + "/run.json";
    const execution_result r =
        quorlane({"-path", point, "-thread", "2", "-file", "2", "-cache", "0", "-json", results});
    EXPECT_EQ(r.status, 0) << r.output;
    const std::string note = "Note: " + point + "/ is on a FUSE file system (" + type.name +
                             "): the last read's figure may come from its daemon's cache, or the OS cache of the "
                             "files behind it, which the purge can't empty. An eviction file larger than that cache "
                             "(-cache) keeps it out, and so does -direct where the daemon honours it.";
    const std::vector<std::string> screen = lines(r.output);
    ASSERT_GE(screen.size(), 3u) << r.output;
    EXPECT_EQ(screen[2], note);
    EXPECT_EQ(occurrences(r.output, "Note: "), 1) << r.output;
    EXPECT_EQ(results_schema_problems(results), "");
    std::ifstream stream(results);
    const nlohmann::json document = nlohmann::json::parse(stream);
    EXPECT_EQ(document["target"]["cache_beyond_purge"]["cache"], "fuse_daemon");
    EXPECT_EQ(document["target"]["cache_beyond_purge"]["text"], note.substr(6));
    EXPECT_TRUE(std::filesystem::is_empty(source));
}

// An ext4 on a loop device over a file on a tmpfs shows as a disk of its own, yet every byte
// of it is in memory: the loop device is followed to its file's file system and said so.
TEST(MemoryNotes, ALoopDeviceOverAFileInMemoryIsSaidToBeInMemory) {
    const temporary_directory dir, reports;
    const std::string memory = dir.path_name + "/tmpfs", point = dir.path_name + "/loop";
    ASSERT_TRUE(std::filesystem::create_directory(memory));
    ASSERT_TRUE(std::filesystem::create_directory(point));
    const tmpfs_mount backing(memory, "32m");
    if (!backing.mounted) GTEST_SKIP() << backing.reason;
    const loop_mount loop(memory + "/image", point, 512);
    if (!loop.mounted) GTEST_SKIP() << loop.reason;
    const std::string results = reports.path_name + "/run.json";
    const execution_result r = quorlane({"-path", point, "-file", "2", "-cache", "0", "-json", results});
    EXPECT_EQ(r.status, 0) << r.output;
    const std::string loop_name = loop.device.substr(loop.device.rfind('/') + 1);
    EXPECT_EQ(lines(r.output)[2], "Note: " + point + "/ is in memory (ext4 on " + loop_name +
                                      ", a loop device over a file on tmpfs): these figures are memory speeds, not "
                                      "a disk's.")
        << r.output;
    std::ifstream stream(results);
    const nlohmann::json target = nlohmann::json::parse(stream)["target"];
    EXPECT_EQ(target["memory_backed"], true) << target;
    EXPECT_EQ(target["devices"], nlohmann::json::array()) << target;
    ASSERT_EQ(target["layers"].size(), 1u) << target;
    EXPECT_EQ(target["layers"][0]["kind"], "loop");
    EXPECT_EQ(target["layers"][0]["backing_file"], memory + "/image");
    EXPECT_EQ(results_schema_problems(results), "");
}

// A device that reads four times faster than it writes, as SD cards and USB sticks do: a loop
// disk throttled to 20 MiB/s written and 80 MiB/s read, unbuffered below it. In a virtual
// machine, where the old rule (an uncached read 3 times the forced write) called that the
// host's cache, no note comes: its uncached read is nowhere near its cached read.
TEST(MemoryNotes, AThrottledDiskThatReadsFasterThanItWritesGetsNoHostCacheNote) {
    const std::string parent = disk_backed_parent();
    if (parent.empty()) GTEST_SKIP() << no_disk;
    const temporary_directory dir(parent), reports;
    const std::string point = dir.path_name + "/loop";
    ASSERT_TRUE(std::filesystem::create_directory(point));
    const loop_mount loop(dir.path_name + "/image", point, 512, nullptr, "256M", true);
    if (!loop.mounted) GTEST_SKIP() << loop.reason;
    const throttled_device slow(loop.device, 80ll << 20, 20ll << 20);
    if (!slow.throttled) GTEST_SKIP() << slow.reason;
    const std::string results = reports.path_name + "/run.json";
    const execution_result r = quorlane({"-path", point, "-file", "96", "-cache", "0", "-json", results});
    EXPECT_EQ(r.status, 0) << r.output;
    std::ifstream stream(results);
    const nlohmann::json figures = nlohmann::json::parse(stream)["passes"][0]["figures"];
    ASSERT_EQ(figures.size(), 4u);
    EXPECT_TRUE(figures[3]["link_note"].is_null()) << figures[3]["link_note"];
    EXPECT_EQ(r.output.find("Note: the read without cache"), std::string::npos) << r.output;
    const double write = figures[1]["mb_per_second"], read = figures[3]["mb_per_second"];
    if (write > 30 || read > 110) GTEST_SKIP() << "the throttle did not hold: " << write << " and " << read << " MB/s";
    if (read <= 3 * write) GTEST_SKIP() << "the disk read less than 3 times its write here: " << read << " MB/s";
}

// statfs numbers ext2, ext3 and ext4 alike; the query gives the mounted type's own name.
TEST(FileSystemType, NamesTheTypeAndTellsMemoryFromDisk) {
    file_system_type type;
    if (on_memory_file_system(shared_memory)) {
        ASSERT_TRUE(file_system_of(shared_memory, type));
        EXPECT_EQ(type.name, "tmpfs");
        EXPECT_TRUE(type.in_memory);
    }
    EXPECT_FALSE(file_system_of(shared_memory + "/absent/directory", type));

    const std::string parent = disk_backed_parent();
    if (parent.empty()) GTEST_SKIP() << no_disk;
    ASSERT_TRUE(file_system_of(parent, type));
    EXPECT_FALSE(type.in_memory);
    struct statfs state {};
    ASSERT_EQ(statfs(parent.c_str(), &state), 0);
    const std::map<long, std::set<std::string>> names_of = {{EXT4_SUPER_MAGIC, {"ext2", "ext3", "ext4"}},
                                                            {XFS_SUPER_MAGIC, {"xfs"}},
                                                            {BTRFS_SUPER_MAGIC, {"btrfs"}},
                                                            {OVERLAYFS_SUPER_MAGIC, {"overlay"}}};
    const auto known = names_of.find(static_cast<long>(state.f_type));
    if (known != names_of.end())
        EXPECT_EQ(known->second.count(type.name), 1u) << type.name;
    else
        EXPECT_FALSE(type.name.empty());
}
