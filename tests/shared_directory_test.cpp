// Root running in a directory others can write, as /tmp is: another user's links, FIFOs and
// files, put there before the run or while it runs, never make root write, read or create
// anything but its own files in the places it was given. Each test plays that other user as
// root (lchown, chown), and skips without root.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "support/process.hpp"
#include "support/run_program.hpp"
#include "support/temporary_directory.hpp"

namespace fs = std::filesystem;

namespace {

constexpr int other_user = 65534;
constexpr int timeout_ms = 120000;

std::string contents_of(const std::string& name) {
    std::ifstream stream(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

std::vector<std::string> entries_of(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) names.push_back(entry.path().filename().string());
    return names;
}

// The places of one test: `shared`, sticky and writable by all; `private_dir`, root's alone,
// holding `secret`, a 0600 file of root's that no run may touch.
struct shared_places {
    temporary_directory dir;
    std::string shared = dir.path_name + "/shared";
    std::string private_dir = dir.path_name + "/private";
    std::string secret = private_dir + "/secret";
    std::string run = dir.path_name + "/run";

    shared_places() {
        chmod(dir.path_name.c_str(), 0755);
        fs::create_directory(shared);
        chmod(shared.c_str(), 01777);
        fs::create_directory(private_dir);
        chmod(private_dir.c_str(), 0700);
        std::ofstream(secret) << "root's secret";
        chmod(secret.c_str(), 0600);
        fs::create_directory(run);
    }
};

// A link the other user made.
void plant_link(const std::string& destination, const std::string& link) {
    fs::create_symlink(destination, link);
    ASSERT_EQ(lchown(link.c_str(), other_user, other_user), 0);
}

// quorlane with `arguments`, its writes, reads or flushes slowed by the test library as
// `slowing` (SLOW_WRITE=0:ms and the like) asks.
bool launch_slowed(child_process& process, const std::vector<std::string>& arguments, const std::string& slowing) {
    launch_options options;
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    options.environment = {std::string("LD_PRELOAD=") + SLOW_IO, "OMPI_COMM_WORLD_RANK=0", slowing,
                           std::string("ASAN_OPTIONS=") + (sanitizer != nullptr ? sanitizer : "") +
                               ":verify_asan_link_order=0"};
    return launch(process, QUORLANE_BINARY, arguments, options);
}

// The name of the first entry of `directory` that matches `pattern`, once one appears.
std::string wait_for_entry(const std::string& directory, const std::regex& pattern) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < limit) {
        for (const auto& entry : fs::directory_iterator(directory))
            if (std::regex_match(entry.path().filename().string(), pattern)) return entry.path().filename().string();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return "";
}

}  // namespace

// A link another user put in a sticky directory is not followed by root, whether it leads to
// a file or to a name still free in a directory only root may write: as the kernel's
// protected-symlinks rule has it, whatever the system's setting. The same link, root's own,
// is followed, and the file it leads to keeps its mode and owner.
TEST(SharedDirectory, AnotherUsersLinkInAStickyDirectoryIsNotFollowed) {
    if (geteuid() != 0) GTEST_SKIP() << "playing another user needs root";
    shared_places places;
    const std::string input = places.dir.path_name + "/in.json";
    ASSERT_EQ(quorlane({"-path", places.run, "-file", "1", "-cache", "0", "-json", input}).status, 0);
    const std::string link = places.shared + "/run.json", to_new = places.shared + "/run.html";
    plant_link(places.secret, link);
    plant_link(places.private_dir + "/new.html", to_new);
    for (const auto& [option, name] : {std::pair{"-json", link}, std::pair{"-html", to_new}}) {
        const std::string refusal =
            std::string("Sorry, the argument ") + option + " must name a file that can be written\n" + name +
            " : Permission denied\n";
        const execution_result r = quorlane({"-path", places.run, "-file", "1", "-cache", "0", option, name});
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_NE(r.output.find(refusal), std::string::npos) << r.output;
        const execution_result report = run_program(QUORLANE_REPORT_BINARY, {input, option, name});
        EXPECT_EQ(report.status, 1) << report.output;
        EXPECT_NE(report.output.find(refusal), std::string::npos) << report.output;
    }
    EXPECT_EQ(contents_of(places.secret), "root's secret");
    EXPECT_EQ(entries_of(places.private_dir), std::vector<std::string>{"secret"});
    EXPECT_TRUE(fs::is_empty(places.run));

    ASSERT_EQ(lchown(link.c_str(), 0, 0), 0);
    const execution_result r = quorlane({"-path", places.run, "-file", "1", "-cache", "0", "-json", link});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_NE(contents_of(places.secret).find("\"status\": \"completed\""), std::string::npos);
    struct stat kept {};
    ASSERT_EQ(stat(places.secret.c_str(), &kept), 0);
    EXPECT_EQ(kept.st_mode & 07777, 0600u);
}

// Replaced by root, another user's file in a directory root may write keeps that user as its
// owner and its mode.
TEST(SharedDirectory, AReplacedFileKeepsItsModeAndOwner) {
    if (geteuid() != 0) GTEST_SKIP() << "a file of another user needs root";
    shared_places places;
    const std::string results = places.dir.path_name + "/theirs.json";
    std::ofstream(results) << "theirs";
    ASSERT_EQ(chown(results.c_str(), other_user, other_user), 0);
    ASSERT_EQ(chmod(results.c_str(), 0640), 0);
    const execution_result r = quorlane({"-path", places.run, "-file", "1", "-cache", "0", "-json", results});
    EXPECT_EQ(r.status, 0) << r.output;
    struct stat kept {};
    ASSERT_EQ(stat(results.c_str(), &kept), 0);
    EXPECT_EQ(kept.st_uid, static_cast<uid_t>(other_user));
    EXPECT_EQ(kept.st_gid, static_cast<gid_t>(other_user));
    EXPECT_EQ(kept.st_mode & 07777, 0640u);
    EXPECT_NE(contents_of(results).find("\"status\": \"completed\""), std::string::npos);
}

// The name was free when the run started; while it ran, another user put a link there to
// root's file. The save goes to the directory found at the start and leaves the link and the
// file alone: the run fails, and the page says why.
TEST(SharedDirectory, ALinkPlantedDuringTheRunIsLeftAloneAndTheRunFails) {
    if (geteuid() != 0) GTEST_SKIP() << "playing another user needs root";
    shared_places places;
    const std::string results = places.shared + "/run.json", page = places.dir.path_name + "/run.html";
    child_process process;
    ASSERT_TRUE(launch_slowed(process, {"-path", places.run, "-file", "1", "-cache", "0", "-json", results, "-html", page},
                              "SLOW_READ=0:100"));
    ASSERT_TRUE(wait_for_results(process, 1, timeout_ms)) << process.text;
    plant_link(places.secret, results);
    finish(process);

    const std::string failure = "Error, Cannot write the results file " + results +
                                " : another user's file has taken its name since the run started";
    EXPECT_EQ(process.status, 1) << process.text;
    EXPECT_EQ(occurrences(process.text, " Mo/s          \n"), 4) << process.text;
    EXPECT_NE(process.text.find("\n" + failure + "\n"), std::string::npos) << process.text;
    EXPECT_EQ(contents_of(places.secret), "root's secret");
    EXPECT_TRUE(fs::is_symlink(results));
    EXPECT_EQ(entries_of(places.shared), std::vector<std::string>{"run.json"});
    EXPECT_NE(contents_of(page).find("file has taken its name since the run started"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(places.run));
}

// Another user's FIFO in a sticky directory gets nothing of root's, though a reader waits;
// another user's file there is not replaced either, as the kernel's protected FIFOs and
// regular files rules have it.
TEST(SharedDirectory, AnotherUsersFifoOrFileInAStickyDirectoryIsRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "playing another user needs root";
    shared_places places;
    const std::string fifo = places.shared + "/run.json", file = places.shared + "/run.html";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    ASSERT_EQ(chown(fifo.c_str(), other_user, other_user), 0);
    std::ofstream(file) << "theirs";
    ASSERT_EQ(chown(file.c_str(), other_user, other_user), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    for (const auto& [option, name] : {std::pair{"-json", fifo}, std::pair{"-html", file}}) {
        const execution_result r = quorlane({"-path", places.run, "-file", "1", "-cache", "0", option, name});
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_NE(r.output.find(name + " : Operation not permitted\n"), std::string::npos) << r.output;
    }
    char received[16];
    const ssize_t got = read(reader, received, sizeof received);
    close(reader);
    EXPECT_LE(got, 0);
    EXPECT_EQ(contents_of(file), "theirs");
    EXPECT_TRUE(fs::is_empty(places.run));
}

// Another user, watching the directory, takes the name of a worker's next file: the run stops
// on an error that names it, removes its own file and leaves theirs.
TEST(SharedDirectory, ATestFileNameTakenByAnotherUserIsAClearErrorAndTheRunsFilesGo) {
    if (geteuid() != 0) GTEST_SKIP() << "playing another user needs root";
    shared_places places;
    child_process process;
    ASSERT_TRUE(launch_slowed(process, {"-path", places.shared, "-file", "1", "-file_number", "2", "-cache", "0"},
                              "SLOW_WRITE=0:100"));
    const std::string first = wait_for_entry(places.shared, std::regex("vellumcrate_[a-z]{8}0"));
    ASSERT_FALSE(first.empty());
    const std::string taken = places.shared + "/" + first.substr(0, first.size() - 1) + "1";
    std::ofstream(taken) << "theirs";
    ASSERT_EQ(chown(taken.c_str(), other_user, other_user), 0);
    finish(process);

    EXPECT_EQ(process.status, 1) << process.text;
    EXPECT_NE(process.text.find("\nError 25, Cannot create the file: another file already has its name\n" + taken +
                                " : File exists\n"),
              std::string::npos)
        << process.text;
    EXPECT_EQ(entries_of(places.shared), std::vector<std::string>{taken.substr(places.shared.size() + 1)});
    EXPECT_EQ(contents_of(taken), "theirs");
}

// The tested directory is renamed and a link to root's private directory put in its place
// while the run writes: the run's files stay in the directory it opened, and go from there.
TEST(SharedDirectory, ATestedDirectorySwappedForALinkKeepsTheFilesWhereTheRunBegan) {
    if (geteuid() != 0) GTEST_SKIP() << "playing another user needs root";
    shared_places places;
    const std::string moved = places.dir.path_name + "/moved";
    child_process process;
    ASSERT_TRUE(launch_slowed(process, {"-path", places.run, "-file", "1", "-file_number", "3", "-cache", "0"},
                              "SLOW_WRITE=0:100"));
    ASSERT_FALSE(wait_for_entry(places.run, std::regex("vellumcrate_[a-z]{8}0")).empty());
    fs::rename(places.run, moved);
    plant_link(places.private_dir, places.run);
    // Looked at while the run writes its next files, which it would otherwise create there.
    bool private_touched = false;
    while (!wait_for_results(process, 4, 20) && process.output >= 0)
        private_touched = private_touched || entries_of(places.private_dir).size() != 1;
    finish(process);

    EXPECT_EQ(process.status, 0) << process.text;
    EXPECT_EQ(occurrences(process.text, " Mo/s          \n"), 4) << process.text;
    EXPECT_FALSE(private_touched);
    EXPECT_TRUE(fs::is_empty(moved));
    EXPECT_EQ(contents_of(places.secret), "root's secret");
}

// Between the write and the reads, another user puts in a test file's place a link to root's
// file, or a file of their own: the read is an error that says so, not a figure.
class SwappedTestFile : public ::testing::TestWithParam<bool> {};

TEST_P(SwappedTestFile, IsAnErrorNotAFigure) {
    if (geteuid() != 0) GTEST_SKIP() << "playing another user needs root";
    const bool by_link = GetParam();
    shared_places places;
    chmod(places.run.c_str(), 0777);
    child_process process;
    ASSERT_TRUE(launch_slowed(process, {"-path", places.run, "-file", "1", "-cache", "0"}, "SLOW_FSYNC=0:1500"));
    ASSERT_TRUE(wait_for_results(process, 1, timeout_ms)) << process.text;
    const std::string name = wait_for_entry(places.run, std::regex("vellumcrate_[a-z]{8}0"));
    ASSERT_FALSE(name.empty());
    const std::string file = places.run + "/" + name;
    fs::rename(file, places.dir.path_name + "/taken");
    if (by_link) {
        plant_link(places.secret, file);
    } else {
        fs::copy_file(places.dir.path_name + "/taken", file);
        ASSERT_EQ(chown(file.c_str(), other_user, other_user), 0);
    }
    finish(process);

    EXPECT_EQ(process.status, 1) << process.text;
    EXPECT_EQ(occurrences(process.text, " Mo/s          \n"), 2) << process.text;
    EXPECT_NE(process.text.find("\nError 33, Cannot open the file\n" + file +
                                " : it is no longer the file this run created there\n"),
              std::string::npos)
        << process.text;
    EXPECT_EQ(contents_of(places.secret), "root's secret");
}

INSTANTIATE_TEST_SUITE_P(ByALinkOrAnotherFile, SwappedTestFile, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Link" : "File"; });
