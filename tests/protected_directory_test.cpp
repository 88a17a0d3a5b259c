// A directory the run may not write in: the first file it tries to create fails with the
// OS's reason, the status is 1 and nothing is left.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "support/mount.hpp"
#include "support/process.hpp"
#include "support/temporary_directory.hpp"

namespace {

constexpr int timeout_ms = 120000;
constexpr int unprivileged_user = 65534;

void check_refusal(child_process& process, const std::string& message) {
    finish(process);
    EXPECT_EQ(process.status, 1) << process.text;
    EXPECT_TRUE(std::regex_search(process.text, std::regex(message))) << process.text;
    EXPECT_EQ(process.text.find("Mo/s"), std::string::npos) << process.text;
}

}  // namespace

TEST(ProtectedDirectory, AReadOnlyFilesystemIsReportedWithItsReason) {
    temporary_directory dir;
    const std::string point = dir.path_name + "/lecture_seule";
    std::filesystem::create_directory(point);
    // Large enough for the free-space check to pass even with the eviction file.
    tmpfs_mount mount(point, "2g", true);
    if (!mount.mounted) GTEST_SKIP() << mount.reason;

    child_process without_eviction;
    ASSERT_TRUE(launch(without_eviction, {"-path", point, "-file", "1", "-thread", "2", "-cache", "0"}));
    check_refusal(without_eviction,
                  "\nError 22, Cannot open the file, peraphs you need to change the limit of open file by process "
                  "\\(1024\\)\n" +
                      point + "/vellumcrate_[a-z]{8}0 : Read-only file system\n$");

    child_process with_eviction;
    ASSERT_TRUE(launch(with_eviction, {"-path", point, "-file", "1", "-cache", "1"}));
    check_refusal(with_eviction,
                  "\nError, Cannot open the file\n" + point + "/vellumcrate_cache[a-z]{3} : Read-only file system\n$");
    EXPECT_TRUE(std::filesystem::is_empty(point));
}

// Root writes anywhere, so as root the binary runs as an unprivileged user instead.
TEST(ProtectedDirectory, ADirectoryWithoutWritePermissionIsReportedWithItsReason) {
    temporary_directory dir;
    const std::string protected_dir = dir.path_name + "/protege";
    std::filesystem::create_directory(protected_dir);
    ASSERT_EQ(chmod(dir.path_name.c_str(), 0755), 0);
    ASSERT_EQ(chmod(protected_dir.c_str(), 0555), 0);

    child_process process;
    ASSERT_TRUE(launch(process, {"-path", protected_dir, "-file", "1", "-thread", "3", "-cache", "0"},
                       geteuid() == 0 ? unprivileged_user : -1));
    check_refusal(process,
                  "\nError 22, Cannot open the file, peraphs you need to change the limit of open file "
                  "by process \\(1024\\)\n" +
                      protected_dir + "/vellumcrate_[a-z]{8}0 : Permission denied\n$");
    EXPECT_TRUE(std::filesystem::is_empty(protected_dir));
    chmod(protected_dir.c_str(), 0755);
}
