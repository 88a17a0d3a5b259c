// Command lines nobody should type, through the real binary: each one either runs to its
// end or stops with its message and status 1. Never a crash, never a file left behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "support/file_system.hpp"
#include "support/run_program.hpp"
#include "support/temporary_directory.hpp"

namespace fs = std::filesystem;

namespace {

struct hostile_case {
    std::vector<std::string> arguments;
    std::optional<std::string> message;  // the refusal expected; none when the run completes
};

const std::string thread_range = "Sorry, the argument -thread must be between 1 and 100\n";
const std::string block_range = "Sorry, the argument -block must be between 1 and 1024\n";
const std::string file_number_range = "Sorry, the argument -file_number must be between 1 and 1000000\n";
const std::string cache_range = "Sorry, the argument -cache must be between 0 and 100\n";
const std::string invalid_path = "Sorry, the argument -path must be an existing pointeur_repertoire\n";

int run_files_left(const std::string& dir) {
    int left = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.path().filename().string().rfind("vellumcrate_", 0) == 0) ++left;
    return left;
}

// `arguments` go to the binary as they are: each case sets -path itself.
void check(const hostile_case& test_case, const temporary_directory& dir) {
    std::string trace;
    for (const std::string& argument : test_case.arguments) trace.append("[").append(argument, 0, 60).append("] ");
    SCOPED_TRACE(trace);
    const execution_result r = quorlane(test_case.arguments);
    ASSERT_LT(r.status, 128) << "crashed: " << r.output << r.errors;
    if (test_case.message) {
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_NE(r.output.find(*test_case.message), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find("Mo/s"), std::string::npos) << r.output;
    } else {
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(r.output.find("Sorry"), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find("GENERAL OPTIONS"), std::string::npos) << r.output;
        const std::vector<std::string> screen = screen_without_memory_notes(r.output, dir.path_name);
        ASSERT_GE(screen.size(), 4u) << r.output;
        for (std::size_t k = screen.size() - 4; k < screen.size(); ++k)
            EXPECT_NE(screen[k].find(" Mo/s          "), std::string::npos) << r.output;
    }
    EXPECT_EQ(r.errors, "");
    EXPECT_EQ(run_files_left(dir.path_name), 0);
}

// The run's own small settings first, then what is under test: every case that runs is quick.
hostile_case after_settings(const temporary_directory& dir, std::vector<std::string> suite,
                            std::optional<std::string> message) {
    std::vector<std::string> arguments{"-path", dir.path_name, "-file", "1", "-cache", "0"};
    arguments.insert(arguments.end(), suite.begin(), suite.end());
    return {arguments, message};
}

}  // namespace

TEST(HostileInput, NumbersOfEveryShape) {
    temporary_directory dir;
    const std::vector<std::pair<std::vector<std::string>, std::optional<std::string>>> table = {
        {{"-thread", ""}, thread_range},
        {{"-cache", ""}, cache_range},  // no number at all is not 0
        {{"-cache", "abc"}, cache_range},
        {{"-cache", "nan"}, cache_range},
        {{"-cache", "-1"}, cache_range},
        {{"-cache", "-0.9"}, std::nullopt},  // truncated toward zero
        {{"-thread", "-1"}, thread_range},
        {{"-thread", "0.5"}, thread_range},
        {{"-thread", "2.9"}, std::nullopt},
        {{"-file_number", "-0"}, file_number_range},
        {{"-block", "-1024"}, block_range},
        {{"-block", "99999999999999999999999"}, block_range},
        {{"-block", "9223372036854775807"}, block_range},
        {{"-block", "-9223372036854775808"}, block_range},
        // Values that once wrapped modulo 2^32 into the range.
        {{"-block", "4294968320"}, block_range},
        {{"-thread", "4294967297"}, thread_range},
        {{"-cache", "4294967296"}, cache_range},
        {{"-file_number", "-4294967295"}, file_number_range},
        {{"-thread", "0x10"}, std::nullopt},
        {{"-thread", "0x"}, thread_range},
        {{"-block", "0x1p10"}, std::nullopt},
        {{"-block", "1e3"}, std::nullopt},
        {{"-block", "1e-3"}, block_range},
        {{"-thread", "1.5e1"}, std::nullopt},
        {{"-thread", "1e999"}, thread_range},
        {{"-thread", "nan"}, thread_range},
        {{"-thread", "NAN(123)"}, thread_range},
        {{"-thread", "inf"}, thread_range},
        {{"-thread", "-infinity"}, thread_range},
        {{"-thread", "  +3"}, std::nullopt},
        {{"-thread", " 3\t "}, std::nullopt},
        {{"-thread", "3abc"}, thread_range},
        {{"-thread", "3 3"}, thread_range},
        {{"-thread", "abc"}, thread_range},
        {{"-thread", "\xff\xfe\x80"}, thread_range},
        {{"-thread", std::string(10000, '9')}, thread_range},
        {{"-thread", std::string(10000, '0') + "2"}, std::nullopt},
        {{"-block", "1024.9"}, std::nullopt},
        {{"-block", "1025"}, block_range},
        {{"-file", "102401"}, "Sorry, the argument -file must be between 1 and 102400\n"},
        {{"-file_number", "1000001"}, file_number_range},
        {{"-cache", "101"}, cache_range},
        {{"-thread", "100", "-file_number", "1000000"},
         "Sorry, the run needs 100000000 open files (-thread x -file_number) but this system leaves only "},
        {{"-thread", "100", "-file", "102400"},
         "Sorry, the run needs 10240000 MiB of free space but the disk has only "},
    };
    for (const auto& [suite, message] : table) check(after_settings(dir, suite, message), dir);
}

TEST(HostileInput, OptionsOutOfPlaceMissingOrRepeated) {
    temporary_directory dir;
    const std::vector<std::pair<std::vector<std::string>, std::optional<std::string>>> table = {
        {{"-thread"}, "Sorry, the argument -thread must be followed by a value\n"},
        {{"-cache"}, "Sorry, the argument -cache must be followed by a value\n"},
        {{"-path"}, "Sorry, the argument -path must be followed by a value\n"},
        {{"-thread", "-block", "2"}, thread_range},  // the next option is taken as the value
        {{"-thread", "2", "-thread", "3", "-thread", "2"}, std::nullopt},
        {{"-THREAD", "2", "-Block", "512"}, std::nullopt},
        {{"-?"}, std::nullopt},
        {{"--help"}, std::nullopt},
        {{"-help", "-thread", "2"}, std::nullopt},
        {{"", "", ""}, std::nullopt},
        {{"-threads", "1000"}, std::nullopt},  // not an option: ignored
        {{"\xff\xfe", "\xc3\xa9", "-thread", "2"}, std::nullopt},
        {{std::string(10000, 'x')}, std::nullopt},
        {{"-path", std::string(10000, 'x')}, invalid_path},
    };
    for (const auto& [suite, message] : table) check(after_settings(dir, suite, message), dir);

    // No -path at all: the settings are read but there is nowhere to write.
    check({{"-file", "1", "-cache", "0", "-thread", "2"},
           "Sorry, you must choose the directory to test with the argument -path. For help, type Quorlane --help\n"},
          dir);
}

TEST(HostileInput, PathsThatAreNotUsableDirectories) {
    temporary_directory dir;
    const std::string file = dir.path_name + "/un_fichier";
    std::ofstream(file) << "not a directory";
    const std::string bizarre = dir.path_name + "/per%n%s%d cent \xc3\xa9t\xc3\xa9\xff";
    fs::create_directory(bizarre);
    // Short enough for the directory to open, too long for a path of a file inside it: the run
    // opens the directory once and its files by their names in it, so it is measured.
    constexpr std::size_t deep_length = 4080;
    std::string deep = dir.path_name;
    while (deep.size() + 201 < deep_length) deep.append("/").append(200, 'p');
    deep.append("/").append(deep_length - deep.size() - 1, 'q');
    fs::create_directories(deep);

    const std::vector<std::string> small = {"-file", "1", "-cache", "0"};
    const std::vector<hostile_case> table = {
        {{"-path", ""}, invalid_path},
        {{"-path", file}, invalid_path},
        {{"-path", file + "/"}, invalid_path},
        {{"-path", dir.path_name + "/absent"}, invalid_path},
        {{"-path", dir.path_name + "/" + std::string(10000, 'a')}, invalid_path},
        {{"-path", dir.path_name + std::string(10000, '/')}, invalid_path},
        {{"-path", dir.path_name + "////"}, std::nullopt},
        {{"-path", bizarre}, std::nullopt},
        {{"-path", dir.path_name, "-path", file}, invalid_path},
        {{"-path", file, "-path", dir.path_name}, invalid_path},
        {{"-path", deep}, std::nullopt},
    };
    for (hostile_case test_case : table) {
        test_case.arguments.insert(test_case.arguments.end(), small.begin(), small.end());
        check(test_case, dir);
    }
}
