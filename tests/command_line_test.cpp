// The command-line contract, through the real binary: help, every error and its status,
// and how option names and values are read.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <utility>

#include "settings/settings.hpp"
#include "support/arguments.hpp"
#include "support/run_program.hpp"
#include "support/temporary_directory.hpp"

namespace {

const std::string version_line = "Quorlane " QUORLANE_VERSION " - sequential disk throughput benchmark\n";
const std::string banner = version_line + "\n";
const std::string without_path =
    "Sorry, you must choose the directory to test with the argument -path. For help, type Quorlane --help\n";

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
           "-fill         Percent of the free space to write\n"
           "-time         Seconds a phase may last at most\n"
           "-latency      Time every call: percentiles, longest stalls\n"
           "-clean        Remove the files of runs that ended without removing them\n"
           "-version      Print the version and exit\n"
           "-repeat       Passes of the whole run (median)   Defaut: 1\n"
           "-json         Write the results to this JSON file\n"
           "-verify       Check every byte read against what was written\n"
           "-direct       Unbuffered I/O: bypass the OS cache\n"
           "-html         Write a report with charts to this HTML file\n"
           "\n"
           "Sample : Quorlane.exe -path " +
           temp + "/ -block 100 -file 1024 -thread 1 -cache 1\n";
}

std::string note(const std::string& argument) { return "Note: ignored argument " + argument + "\n"; }

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
    wait_for_error({}, without_path);
    wait_for_error({"-HELP"}, note("-HELP") + without_path);
    wait_for_error({"-Help", "-?"}, note("-Help") + note("-?") + without_path);
    temporary_directory dir;
    wait_for_error({"-path", dir.path_name, "-?", "-thread", "0"},
                   note("-?") + "Sorry, the argument -thread must be between 1 and 100");
}

// The version flags ignore case, as option names do; like the help they count only first.
TEST(CommandLine, VersionAsFirstArgumentPrintsTheVersionLineAloneAndEndsWithZero) {
    for (const char* flag : {"-version", "--version", "-VERSION", "--Version"}) {
        const execution_result r = quorlane({flag, "-thread", "0"});
        EXPECT_EQ(r.output, version_line) << flag;
        EXPECT_EQ(r.status, 0) << flag;
    }
    wait_for_error({"-thread", "1", "-version"}, note("-version") + without_path);

    const execution_result unwritten =
        run_program("/bin/sh", {"-c", "exec \"$0\" -version >/dev/full", QUORLANE_BINARY});
    EXPECT_EQ(unwritten.status, 1);
}

// Neither an option nor an option's value: noted one by one in order, then the run goes on.
TEST(CommandLine, IgnoredArgumentsAreNotedAndAnOptionsValueIsNeverTakenForAnOption) {
    temporary_directory dir;
    const execution_result r =
        quorlane({"-threads", "4", "-path", dir.path_name, "--thread", "2", "-file", "1", "-cache", "0", ""});
    const std::string notes = banner + note("-threads") + note("4") + note("--thread") + note("2") + note("");
    EXPECT_EQ(r.output.substr(0, notes.size()), notes);
    EXPECT_EQ(r.output.find("Note: ignored", notes.size()), std::string::npos) << r.output;
    EXPECT_EQ(r.status, 0) << r.output;

    // The value of -path spelled like an option is still the directory: "0" is left over.
    const std::string spelled_like_an_option = dir.path_name + "/-thread";
    std::filesystem::create_directory(spelled_like_an_option);
    const execution_result relative =
        run_program("/bin/sh", {"-c", "cd \"$0\" && exec \"$@\"", dir.path_name, QUORLANE_BINARY, "-path", "-thread",
                                "0", "-file", "1", "-cache", "0"});
    EXPECT_EQ(relative.output.substr(0, banner.size() + note("0").size()), banner + note("0"));
    EXPECT_EQ(relative.status, 0) << relative.output;
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"-thread"});
    EXPECT_TRUE(std::filesystem::is_empty(spelled_like_an_option));
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

TEST(Number, ReadsAWholeNumberInRangeAndRefusesAnyOtherText) {
    const std::pair<const char*, std::uint32_t> accepted[] = {
        {"2.9", 2}, {"0x10", 16},  {"1e2", 100},    {"0x1p6", 64}, {"-0.9", 0},
        {" 7 ", 7}, {"\t+3\n", 3}, {"100.99", 100}, {"0", 0},      {"0000000000000000000042", 42},
    };
    for (const auto& [text, value] : accepted) EXPECT_EQ(number(text, 0, 100), value) << text;

    // Not wholly a number, not finite, or out of range once truncated: nothing wraps.
    for (const char* text : {"", " ", "abc", "12abc", "1 2", "0x", "1e", "nan", "NAN(123)", "inf", "-infinity"})
        EXPECT_EQ(number(text, 0, 100), std::nullopt) << text;
    for (const char* text :
         {"1e999", "101", "1e3", "-1", "4294967297", "4294967296", "-4294967295", "18446744073709551617"})
        EXPECT_EQ(number(text, 0, 100), std::nullopt) << text;

    // A fraction truncated below the minimum is refused; the bounds themselves are not wrapped.
    EXPECT_EQ(number("0.5", 1, 100), std::nullopt);
    EXPECT_EQ(number("4294967295.9", 0, UINT32_MAX), UINT32_MAX);
    EXPECT_EQ(number("4294967296", 0, UINT32_MAX), std::nullopt);
}

// parse_arguments in this process, on valid command lines.
TEST(Arguments, DeriveTheSettingsOfAValidCommandLine) {
    temporary_directory dir;
    run_settings settings = apply_arguments({"-path", dir.path_name});
    EXPECT_EQ(settings.target_directory, dir.path_name + "/");
    EXPECT_EQ(settings.blocks_per_file, 10485u);  // 1024 MiB in 100 KiB blocks, truncated
    EXPECT_FALSE(settings.direct);

    settings = apply_arguments({"-path", dir.path_name + "/", "-file", "1", "-block", "1000", "-cache", "0"});
    EXPECT_EQ(settings.target_directory, dir.path_name + "/");
    EXPECT_EQ(settings.blocks_per_file, 1u);

    settings = apply_arguments(
        {"-Path", dir.path_name, "-file", "1", "-BLOCK", "1024", "-thread", "2.9", "-cache", " 0x0 ", "-thread", "7"});
    EXPECT_EQ(settings.blocks_per_file, 1u);
    EXPECT_EQ(settings.worker_count, 7u);  // a repeated option keeps its last value
    EXPECT_EQ(settings.controller_cache_gib, 0u);

    // A switch takes no value: the next argument is read as an option.
    settings = apply_arguments({"-path", dir.path_name, "-Direct", "-thread", "3"});
    EXPECT_TRUE(settings.direct);
    EXPECT_EQ(settings.worker_count, 3u);

    settings = apply_arguments({"-path", dir.path_name, "-thread", "1e1", "-file", "1", "-block", "600"});
    EXPECT_EQ(settings.worker_count, 10u);
    EXPECT_EQ(settings.blocks_per_file, 1u);
}
