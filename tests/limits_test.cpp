// The open-files limit: every test file stays open until the flush pass, so a run is
// measured against the limit as far as it can be raised, before any file exists.
#include <gtest/gtest.h>

#include "support/process.hpp"
#include "support/temporary_directory.hpp"

namespace {

void run_under_limit(child_process& process, const temporary_directory& dir, const char* files_per_worker, long soft,
                     long hard) {
    EXPECT_TRUE(launch(process,
                       {"-path", dir.path_name, "-thread", "8", "-file_number", files_per_worker, "-file", "1",
                        "-block", "1024", "-cache", "0"},
                       -1, soft, hard));
    finish(process);
}

}  // namespace

TEST(OpenFilesLimit, ARunThatNeedsMoreOpenFilesThanAllowedIsRefusedFirst) {
    temporary_directory dir;
    child_process refusal;
    run_under_limit(refusal, dir, "8", 64, 64);
    EXPECT_EQ(refusal.status, 1) << refusal.text;
    EXPECT_NE(refusal.text.find("\nSorry, the run needs 64 open files (-thread x -file_number) but this system "
                                "leaves only 56 for them\n"),
              std::string::npos)
        << refusal.text;
    EXPECT_TRUE(dir.entries().empty());

    // Up to the limit, less what the program holds itself, the run goes through.
    child_process just;
    run_under_limit(just, dir, "7", 64, 64);
    EXPECT_EQ(just.status, 0) << just.text << just.error_text;
    EXPECT_EQ(occurrences(just.text, "Mo/s          \n"), 4) << just.text;
    EXPECT_TRUE(dir.entries().empty());
}

TEST(OpenFilesLimit, TheSoftLimitIsRaisedToTheHardOne) {
    temporary_directory dir;
    child_process raised;
    run_under_limit(raised, dir, "16", 64, 256);
    EXPECT_EQ(raised.status, 0) << raised.text << raised.error_text;
    EXPECT_EQ(occurrences(raised.text, "Mo/s          \n"), 4) << raised.text;
    EXPECT_TRUE(dir.entries().empty());
}
