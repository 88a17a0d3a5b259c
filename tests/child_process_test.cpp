// The test's handle on a child: a test that stops early, or a child that never ends, must
// leave no process behind.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>

#include <cerrno>
#include <string>
#include <vector>

#include "support/process.hpp"
#include "support/temporary_directory.hpp"

// Notes of ignored arguments far beyond a pipe's 64 KiB, which nobody reads: the run blocks
// before it creates any file, as the child of a test that failed early does.
TEST(ChildProcess, AHandleLeftEarlyKillsAndReapsItsChildAndClosesItsPipes) {
    temporary_directory dir;
    std::vector<std::string> arguments{"-path", dir.path_name, "-file", "1", "-cache", "0"};
    arguments.insert(arguments.end(), 200, std::string(2000, 'x'));
    pid_t pid = -1;
    int output = -1;
    {
        child_process process;
        ASSERT_TRUE(launch(process, arguments));
        ASSERT_TRUE(wait_for_text(process, "Note: ignored argument", 10000)) << process.text;
        pid = process.pid;
        output = process.output;
    }
    // Reaped, not merely killed: a zombie would still take the signal.
    EXPECT_EQ(kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
    EXPECT_EQ(fcntl(output, F_GETFD), -1);
    EXPECT_TRUE(dir.entries().empty());
}

TEST(ChildProcess, FinishKillsAChildPastItsDeadlineAndFailsTheTest) {
    child_process process;
    ASSERT_TRUE(launch(process, "/bin/sh", {"-c", "exec sleep 60"}, {}));
    EXPECT_NONFATAL_FAILURE(finish(process, 200),
                            "had not ended 200 ms after the test waited for it, and has been killed");
    EXPECT_EQ(process.status, 128 + SIGKILL);
}
