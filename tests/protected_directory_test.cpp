// A directory the run may not write in: the first file it tries to create fails with the
// OS's reason, the status is 1 and nothing is left.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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

// The processes and threads that `user` runs now, as its process limit counts them.
long threads_of_user(int user) {
    long count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream status(entry.path() / "status");
        long real_user = -1, threads = 0;
        for (std::string key; status >> key;) {
            if (key == "Uid:") status >> real_user;
            if (key == "Threads:") status >> threads;
        }
        if (real_user == user) count += threads;
    }
    return count;
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

// The run may write its files but no longer remove them: each one left is named with the OS's
// reason and the run ends with status 1, its figures printed.
TEST(ProtectedDirectory, FilesThatCannotBeRemovedAreAnErrorWithTheirReason) {
    if (geteuid() != 0) GTEST_SKIP() << "taking write permission from a user's directory needs root";
    temporary_directory dir;
    const std::string run_dir = dir.path_name + "/run";
    std::filesystem::create_directory(run_dir);
    ASSERT_EQ(chmod(dir.path_name.c_str(), 0755), 0);
    ASSERT_EQ(chown(run_dir.c_str(), unprivileged_user, unprivileged_user), 0);

    child_process process;
    ASSERT_TRUE(launch(process, {"-path", run_dir, "-file", "8", "-thread", "2", "-cache", "0"}, unprivileged_user));
    ASSERT_TRUE(wait_for_results(process, 1, timeout_ms)) << process.text;
    ASSERT_EQ(chmod(run_dir.c_str(), 0555), 0);
    finish(process);
    chmod(run_dir.c_str(), 0755);

    EXPECT_EQ(process.status, 1) << process.text;
    EXPECT_EQ(occurrences(process.text, " Mo/s          \n"), 4) << process.text;
    const std::regex left("Erreur 2, i can't delete the tempory file : (" + run_dir +
                          "/vellumcrate_[a-z]{8}0) - 0\n\\1 : Permission denied\n");
    EXPECT_EQ(
        std::distance(std::sregex_iterator(process.text.begin(), process.text.end(), left), std::sregex_iterator()), 2)
        << process.text;
}

// A worker thread that can't be started (here the user's process limit) ends the run: no
// figure from fewer workers than asked, the worker and the reason named, nothing left.
TEST(ProtectedDirectory, AWorkerThatCannotStartEndsTheRunAndNothingIsLeft) {
    if (geteuid() != 0) GTEST_SKIP() << "running as another user under its own process limit needs root";
    temporary_directory dir;
    ASSERT_EQ(chmod(dir.path_name.c_str(), 0777), 0);
    // Room for the process itself and no more: its first worker thread goes over the limit.
    child_process process;
    launch_options options;
    options.user = unprivileged_user;
    options.thread_limit = threads_of_user(unprivileged_user) + 1;
    // A sanitizer's leak check needs a thread of its own at exit, which the limit forbids.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    setenv("ASAN_OPTIONS", (std::string(sanitizer != nullptr ? sanitizer : "") + ":detect_leaks=0").c_str(), 1);
    // Another test's process of the same user may end meanwhile and leave room for a few
    // threads more: the worker that can't start is any of the hundred asked for.
    ASSERT_TRUE(launch(process, QUORLANE_BINARY, {"-path", dir.path_name, "-file", "1", "-thread", "100", "-cache", "0"},
                       options));
    finish(process);
    EXPECT_EQ(process.status, 1) << process.text;
    EXPECT_TRUE(std::regex_search(
        process.text, std::regex("\nErreur : Impossible de creer le thread [0-9]+ : Resource temporarily unavailable\n")))
        << process.text;
    EXPECT_EQ(process.text.find("Mo/s"), std::string::npos) << process.text;
    EXPECT_TRUE(dir.entries().empty());
}
