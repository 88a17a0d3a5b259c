// The purge between the read phases must leave none of the run's files in the OS cache,
// checked page by page with mincore on real files of a disk-backed filesystem.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cache/cache.hpp"
#include "run/run_state.hpp"
#include "platform/os_cache.hpp"
#include "support/arguments.hpp"
#include "support/file_system.hpp"
#include "support/page_cache.hpp"
#include "support/temporary_directory.hpp"

namespace {

constexpr std::size_t bytes_per_file = 4 * 1048576;

// Written and forced to the device, as the flush pass leaves every file, then read back
// so that the cache surely holds it.
void write_and_read(const std::string& name) {
    std::vector<unsigned char> entries(bytes_per_file);
    for (std::size_t k = 0; k < entries.size(); ++k) entries[k] = static_cast<unsigned char>(k * 131 + k / 4096);
    const int writer = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(writer, 0) << name;
    ASSERT_EQ(write(writer, entries.data(), entries.size()), static_cast<ssize_t>(entries.size()));
    ASSERT_EQ(fsync(writer), 0);
    close(writer);

    const int reader = open(name.c_str(), O_RDONLY);
    ASSERT_GE(reader, 0) << name;
    std::size_t total = 0;
    for (ssize_t bytes_read; (bytes_read = read(reader, entries.data(), entries.size())) > 0;)
        total += static_cast<std::size_t>(bytes_read);
    close(reader);
    ASSERT_EQ(total, bytes_per_file);
}

std::size_t pages_per_file() {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return (bytes_per_file + page - 1) / page;
}

class CachePurge : public ::testing::Test {
protected:
    void SetUp() override {
        // tmpfs and ramfs pages are the files themselves: nothing can drop them, so the purge
        // is only observable on a filesystem that a device backs.
        const std::string parent = disk_backed_parent();
        if (parent.empty()) GTEST_SKIP() << "neither the temp directory nor /var/tmp is on a disk-backed filesystem";
        dir = std::make_unique<temporary_directory>(parent);
        ASSERT_FALSE(dir->path_name.empty()) << "cannot create a directory under " << parent;
        std::string reason;
        ASSERT_TRUE(open_directory(dir->path_name, run.directory, reason)) << reason;
    }

    void TearDown() override { close_directory(run.directory); }

    // Files that the purge is given, all written, read and found wholly in memory first.
    std::vector<directory_entry> files_in_memory(int count) {
        std::vector<directory_entry> entries;
        for (int n = 0; n < count; ++n) {
            entries.push_back(directory_entry{"fichier_" + std::to_string(n), unknown_identity});
            write_and_read(path_of(entries.back()));
            EXPECT_EQ(resident_pages(path_of(entries.back())), pages_per_file()) << entries.back().name;
        }
        return entries;
    }

    std::string path_of(const directory_entry& entry) const { return dir->path_name + "/" + entry.name; }

    std::unique_ptr<temporary_directory> dir;
    run_settings settings;
    run_state run{settings};
};

// A successful purge prints nothing, drops every page of the files it is given and leaves
// the other files alone; the residency query counts the pages as mincore sees them.
TEST_F(CachePurge, DropsEveryPageOfTheGivenFilesOnly) {
    const std::vector<directory_entry> names = files_in_memory(3);
    ASSERT_FALSE(HasFailure());
    cache_residency before;
    ASSERT_TRUE(cached_part(run.directory, names, before));
    EXPECT_EQ(before.total_pages, 3 * pages_per_file());
    EXPECT_EQ(before.resident_pages, before.total_pages);

    ::testing::internal::CaptureStdout();
    purge_os_cache(run, {names[0], names[1]});
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(resident_pages(path_of(names[0])), 0u);
    EXPECT_EQ(resident_pages(path_of(names[1])), 0u);
    EXPECT_EQ(resident_pages(path_of(names[2])), pages_per_file());
    cache_residency after;
    ASSERT_TRUE(cached_part(run.directory, names, after));
    EXPECT_EQ(after.total_pages, 3 * pages_per_file());
    EXPECT_EQ(after.resident_pages, pages_per_file());
}

// Files it cannot open are reported once, naming the first with the call that failed and its
// reason, and the others are purged all the same. The residency of a missing file can't be told.
TEST_F(CachePurge, AFailureIsReportedOnceAndTheOtherFilesArePurged) {
    const std::vector<directory_entry> names = files_in_memory(2);
    ASSERT_FALSE(HasFailure());
    const directory_entry absent{"absent", unknown_identity};
    const std::vector<directory_entry> given{absent, names[0], directory_entry{"absent_too", unknown_identity}, names[1]};

    settings = apply_arguments({"-path", dir->path_name, "-cache", "0"});
    EXPECT_EQ(purge_file_cache(run.directory, given, run.stop.requested), purge_failure::file_pages);
    write_and_read(path_of(names[0]));
    ::testing::internal::CaptureStdout();
    purge_os_cache(run, given);
    const std::string output = ::testing::internal::GetCapturedStdout();
    const std::string message =
        "Sorry, I can't drop the OS cache of " + path_of(absent) + " : open: No such file or directory\n";
    // Preceded by a line end when an earlier test of this process left the console line open.
    EXPECT_TRUE(output == message || output == "\n" + message) << output;
    for (const directory_entry& name : names) EXPECT_EQ(resident_pages(path_of(name)), 0u) << name.name;
    cache_residency residency;
    EXPECT_FALSE(cached_part(run.directory, given, residency));
}

}  // namespace
