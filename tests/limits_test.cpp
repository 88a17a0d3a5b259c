// The open-files limit: every test file stays open until the flush pass, so a run is
// measured against the limit as far as it can be raised, less the descriptors already open,
// before any file exists.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <regex>

#include "support/process.hpp"
#include "support/temporary_directory.hpp"

namespace {

constexpr long limit = 64;
constexpr int inherited = 40;
// Root may raise its hard limit, and quorlane does: under root the limits are tried as an
// unprivileged user, who can't; not the one whose process limit another test sets, since
// tests run side by side.
constexpr int unprivileged_user = 65533;

int limited_user(const temporary_directory& dir) {
    if (geteuid() != 0) return -1;
    EXPECT_EQ(chmod(dir.path_name.c_str(), 0777), 0);
    return unprivileged_user;
}

// Whether this process, and so a child of it, may raise its hard limit: tried one above it,
// then put back.
bool may_raise_hard_limit() {
    rlimit now{};
    if (getrlimit(RLIMIT_NOFILE, &now) != 0 || now.rlim_max == RLIM_INFINITY) return false;
    rlimit above = now;
    above.rlim_max = now.rlim_max + 1;
    if (setrlimit(RLIMIT_NOFILE, &above) != 0) return false;
    setrlimit(RLIMIT_NOFILE, &now);
    return true;
}

void run_under_limit(child_process& process, const temporary_directory& dir, const std::string& workers,
                     const std::string& files_per_worker, long soft, long hard, bool as_root = false) {
    EXPECT_TRUE(launch(process,
                       {"-path", dir.path_name, "-thread", workers, "-file_number", files_per_worker, "-file", "1",
                        "-block", "1024", "-cache", "0"},
                       as_root ? -1 : limited_user(dir), soft, hard));
    finish(process);
}

// The room a refused run was told it has for test files; -1 when the refusal is not there.
long room_of_refusal(const child_process& refusal, long needed) {
    EXPECT_EQ(refusal.status, 1) << refusal.text;
    std::smatch m;
    const std::regex line("\nSorry, the run needs " + std::to_string(needed) +
                          " open files \\(-thread x -file_number\\) but this system leaves only ([0-9]+) for them\n$");
    if (!std::regex_search(refusal.text, m, line)) {
        ADD_FAILURE() << refusal.text;
        return -1;
    }
    return std::stol(m[1]);
}

// Descriptors open in this process without close-on-exec, which every child inherits.
struct inherited_descriptors {
    explicit inherited_descriptors(int count) {
        for (int n = 0; n < count; ++n) descriptors.push_back(open("/dev/null", O_RDONLY));
    }
    ~inherited_descriptors() {
        for (const int descriptor : descriptors) close(descriptor);
    }
    std::vector<int> descriptors;
};

}  // namespace

// The room left is the limit less the standard streams, a small margin and whatever else
// is open; a run of exactly that many files goes through, one more is refused.
TEST(OpenFilesLimit, ARunThatNeedsMoreOpenFilesThanAllowedIsRefusedFirst) {
    temporary_directory dir;
    child_process refusal;
    run_under_limit(refusal, dir, "8", "8", limit, limit);
    const long room = room_of_refusal(refusal, limit);
    // At least the standard streams and the margin are kept.
    EXPECT_LE(room, limit - 5);
    EXPECT_TRUE(dir.entries().empty());

    child_process just;
    run_under_limit(just, dir, "1", std::to_string(room), limit, limit);
    EXPECT_EQ(just.status, 0) << just.text << just.error_text;
    EXPECT_EQ(occurrences(just.text, "Mo/s          \n"), 4) << just.text;
    child_process one_more;
    run_under_limit(one_more, dir, "1", std::to_string(room + 1), limit, limit);
    EXPECT_EQ(room_of_refusal(one_more, room + 1), room);
    EXPECT_TRUE(dir.entries().empty());
}

// Descriptors inherited from the parent take their places: a run that fits without them is
// refused with them, before any file exists, instead of failing half-way. The count is the
// same where /proc is absent (probed descriptor by descriptor).
TEST(OpenFilesLimit, InheritedDescriptorsCountAgainstTheLimit) {
    temporary_directory dir;
    child_process first;
    run_under_limit(first, dir, "8", "8", limit, limit);
    const long room = room_of_refusal(first, limit);
    ASSERT_GT(room, inherited);

    const inherited_descriptors extra(inherited);
    child_process refusal;
    run_under_limit(refusal, dir, "1", std::to_string(room), limit, limit);
    EXPECT_EQ(room_of_refusal(refusal, room), room - inherited);
    EXPECT_EQ(refusal.text.find("Writing"), std::string::npos) << refusal.text;
    EXPECT_TRUE(dir.entries().empty());

    if (geteuid() != 0 || access("/usr/bin/unshare", X_OK) != 0 || access("/usr/bin/setpriv", X_OK) != 0)
        GTEST_SKIP() << "hiding /proc needs root, unshare and setpriv";
    child_process without_proc;
    ASSERT_TRUE(
        launch(without_proc, "/usr/bin/unshare",
               {"--mount", "/bin/sh", "-c",
                "mount -t tmpfs none /proc && exec setpriv --reuid=65533 --regid=65533 --clear-groups \"$0\" \"$@\"",
                QUORLANE_BINARY, "-path", dir.path_name, "-thread", "1", "-file_number", std::to_string(room), "-file", "1",
                "-cache", "0"},
               {nullptr, -1, limit, limit}));
    finish(without_proc);
    EXPECT_EQ(room_of_refusal(without_proc, room), room - inherited);
    EXPECT_TRUE(dir.entries().empty());
}

TEST(OpenFilesLimit, TheSoftLimitIsRaisedToTheHardOne) {
    temporary_directory dir;
    child_process raised;
    run_under_limit(raised, dir, "8", "16", limit, 4 * limit);
    EXPECT_EQ(raised.status, 0) << raised.text << raised.error_text;
    EXPECT_EQ(occurrences(raised.text, "Mo/s          \n"), 4) << raised.text;
    EXPECT_TRUE(dir.entries().empty());
}

// Root raises the hard limit too, as far as the kernel allows (fs.nr_open).
TEST(OpenFilesLimit, RootRaisesTheHardLimitToo) {
    if (!may_raise_hard_limit()) GTEST_SKIP() << "this process may not raise its hard limit (root with CAP_SYS_RESOURCE)";
    temporary_directory dir;
    child_process raised;
    run_under_limit(raised, dir, "8", "16", limit, limit, true);
    EXPECT_EQ(raised.status, 0) << raised.text << raised.error_text;
    EXPECT_EQ(occurrences(raised.text, "Mo/s          \n"), 4) << raised.text;
    EXPECT_TRUE(dir.entries().empty());
}
