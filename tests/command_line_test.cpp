// The command-line contract, through the real binary: help, every error and its status,
// and how option names and values are read.
#include <gtest/gtest.h>

#include <cstdint>

#include "settings/settings.hpp"
#include "support/arguments.hpp"
#include "support/run_program.hpp"
#include "support/temporary_directory.hpp"

namespace {

const std::string banner = "Quorlane " QUORLANE_VERSION " - sequential disk throughput benchmark\n\n";

std::string help(const std::string& temp) {
    return banner +
           "GENERAL OPTIONS\n"
           "-?            This help\n"
           "-path         Path that will be tested           Defaut: \n"
           "-block        Size of one block (in Ko)          Defaut: 100\n"
           "-file         Size total per file (in Mo)        Defaut: 1024\n"
           "-file_number  Number of files to write           Defaut: 1\n"
           "-thread       Number of thread                   Defaut: 1\n"
           "-cache        Size of controller's cache (in Go) Defaut: 1\n"
           "              0 to disable the cache flush process\n"
           "-direct       Unbuffered I/O: bypass the OS cache\n"
           "\n"
           "Sample : Quorlane.exe -path " +
           temp + "/ -block 100 -file 1024 -thread 1 -cache 1\n";
}

// A run that ends on a settings error prints the banner and the message on its own line.
void wait_for_error(const std::vector<std::string>& arguments, const std::string& message) {
    const execution_result r = quorlane(arguments);
    EXPECT_EQ(r.output, banner + message + "\n") << "arguments: " << ::testing::PrintToString(arguments);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.errors, "");
}

}  // namespace

TEST(CommandLine, EveryHelpFlagAsFirstArgumentPrintsTheHelpAndEndsWithZero) {
    for (const char* flag : {"-?", "--?", "/?", "-help", "--help"}) {
        const execution_result r = quorlane({flag, "-thread", "0"}, "/var/tmp");
        EXPECT_EQ(r.output, help("/var/tmp")) << flag;
        EXPECT_EQ(r.status, 0) << flag;
    }
}

TEST(CommandLine, HelpWithoutTempShowsNullAsText) {
    const execution_result r = quorlane({"-?"});
    EXPECT_EQ(r.output, help("(null)"));
    EXPECT_EQ(r.status, 0);
}

TEST(CommandLine, HelpFlagsAreCaseSensitiveAndOnlyCountAsFirstArgument) {
    const std::string without_path =
        "Sorry, you must choose the directory to test with the argument -path. For help, type Quorlane --help\n";
    wait_for_error({}, without_path);
    wait_for_error({"-HELP"}, without_path);
    wait_for_error({"-Help", "-?"}, without_path);
    temporary_directory dir;
    wait_for_error({"-path", dir.path_name, "-?", "-thread", "0"},
                   "Sorry, the argument -thread must be between 1 and 100");
}

// Out-of-range values and values of every shape are in the hostile-input suite; these are
// the rules of the scan itself, with the exact screen of each refusal.
TEST(CommandLine, TheScanNamesTheFirstBadOptionInItsOwnSpelling) {
    temporary_directory dir;
    const struct {
        std::vector<std::string> arguments;
        const char* message;
    } test_case[] = {
        {{"-thread", "0"}, "Sorry, the argument -thread must be between 1 and 100"},
        {{"-block", "0"}, "Sorry, the argument -block must be between 1 and 1024"},
        {{"-file", "0"}, "Sorry, the argument -file must be between 1 and 102400"},
        {{"-file_number", "0"}, "Sorry, the argument -file_number must be between 1 and 1000000"},
        // Names are compared whole: "-file_number" is not "-file", and the reverse.
        {{"-file", "1", "-file_number", "0"}, "Sorry, the argument -file_number must be between 1 and 1000000"},
        {{"-file_number", "1", "-file", "0"}, "Sorry, the argument -file must be between 1 and 102400"},
        // Names ignore case; a range message names the option in its own spelling, a missing
        // value the option as typed.
        {{"-THREAD", "0"}, "Sorry, the argument -thread must be between 1 and 100"},
        {{"-CACHE"}, "Sorry, the argument -CACHE must be followed by a value"},
        // The first bad option in the scan is the one reported.
        {{"-cache", "500", "-thread", "0"}, "Sorry, the argument -cache must be between 0 and 100"},
    };
    for (const auto& c : test_case) {
        std::vector<std::string> arguments{"-path", dir.path_name};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        wait_for_error(arguments, c.message);
    }
    EXPECT_TRUE(dir.entries().empty());
}

TEST(Number, ReadsTheTextAsTheOptionsDo) {
    EXPECT_EQ(number("2.9"), 2u);
    EXPECT_EQ(number("0x10"), 16u);
    EXPECT_EQ(number("1e2"), 100u);
    EXPECT_EQ(number("-1"), UINT32_MAX);
    EXPECT_EQ(number("-0.9"), 0u);
    EXPECT_EQ(number("4294967297"), 1u);  // only the low 32 bits are kept
    EXPECT_EQ(number("4294967296"), 0u);
    EXPECT_EQ(number("9223372036854775000"), 4294966272u);
    EXPECT_EQ(number("-9223372036854775808"), 0u);
    EXPECT_EQ(number("9223372036854775808"), 0u);  // beyond signed 64 bits
    EXPECT_EQ(number("1e400"), 0u);
    EXPECT_EQ(number("nan"), 0u);
}

// parse_arguments in this process, on valid command lines.
TEST(Arguments, DeriveTheSettingsOfAValidCommandLine) {
    temporary_directory dir;
    apply_arguments({"-path", dir.path_name});
    EXPECT_EQ(path, dir.path_name + "/");
    EXPECT_EQ(blocks_per_file, 10485u);  // 1024 MiB in 100 KiB blocks, truncated
    EXPECT_FALSE(direct);

    apply_arguments({"-path", dir.path_name + "/", "-file", "1", "-block", "1000", "-cache", "0"});
    EXPECT_EQ(path, dir.path_name + "/");
    EXPECT_EQ(blocks_per_file, 1u);

    apply_arguments({"-Path", dir.path_name, "-file", "1", "-BLOCK", "1024", "-thread", "4294967297", "-cache",
                     "4294967296", "-thread", "7"});
    EXPECT_EQ(blocks_per_file, 1u);
    EXPECT_EQ(thread_count, 7u);  // a repeated option keeps its last value
    EXPECT_EQ(cache, 0u);

    // A switch takes no value: the next argument is read as an option.
    apply_arguments({"-path", dir.path_name, "-Direct", "-thread", "3"});
    EXPECT_TRUE(direct);
    EXPECT_EQ(thread_count, 3u);

    apply_arguments({"-path", dir.path_name, "-thread", "4294967297", "-file", "1", "-block", "600"});
    EXPECT_EQ(thread_count, 1u);
    EXPECT_EQ(blocks_per_file, 1u);
}
