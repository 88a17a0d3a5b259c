// quorlane.exe end to end under Wine: the help, refused options, complete runs and their
// interruption, with the files watched from Linux and the program's opens from Wine's trace.
// The prefix comes from the ctest fixture that creates it once.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>

#include "report/page_text.hpp"
#include "run/run_marker.hpp"
#include "support/process.hpp"
#include "support/results_schema.hpp"
#include "support/run_program.hpp"
#include "support/temporary_directory.hpp"
#include "support/text_difference.hpp"
#include "support/watcher.hpp"

namespace {

const std::string banner = "Quorlane " QUORLANE_VERSION " - sequential disk throughput benchmark\r\n\r\n";

const char* const labels[] = {"Writing time with cache ram     : ", "Writing time without cache ram  : ",
                              "Reading time with cache ram     : ", "Reading time without cache ram  : "};

const char* const purge_messages[] = {
    "Sorry, I can't access to ntdll.dll for clear de RAM Cache.",
    "Sorry, I can't get NtSetSystemInformation address for clear de RAM Cache.",
    "Sorry, I can't get OpenProcessToken for clear de RAM Cache.",
    "Sorry, I can't get SetPrivilege Single for clear de RAM Cache.",
    "Sorry, I can't get NTSTATUS LIST for clear de RAM Cache.",
    "Sorry, I can't flush the system file cache for clear de RAM Cache.",
};

// The first of `names` found as an executable in a directory of PATH, empty when none is.
std::string on_path(std::initializer_list<const char*> names) {
    const char* path = std::getenv("PATH");
    for (const char* name : names) {
        std::istringstream directories(path != nullptr ? path : "");
        for (std::string directory; std::getline(directories, directory, ':');) {
            const std::string candidate = (directory.empty() ? "." : directory) + "/" + name;
            if (access(candidate.c_str(), X_OK) == 0) return candidate;
        }
    }
    return "";
}

// The same directory as quorlane.exe sees it: Wine maps / to drive Z:.
std::string windows_path(const std::string& path_name) {
    std::string result = "Z:" + path_name;
    std::replace(result.begin(), result.end(), '/', '\\');
    return result;
}

// The console's text mode ends every line with CR LF; false when a line feed comes alone.
bool windows_line_ends(const std::string& text) {
    for (std::size_t k = text.find('\n'); k != std::string::npos; k = text.find('\n', k + 1))
        if (k == 0 || text[k - 1] != '\r') return false;
    return true;
}

std::string without_carriage_returns(const std::string& text) {
    return std::regex_replace(text, std::regex("\r\n"), "\n");
}

// A name that no Western ANSI code page can hold.
const std::string japanese = "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e";

std::string help_text(const std::string& temp) {
    return banner +
           "GENERAL OPTIONS\r\n"
           "-?            This help\r\n"
           "-path         Path that will be tested           Defaut: \r\n"
           "-block        Size of one block (in Ko)          Defaut: 100\r\n"
           "-file         Size total per file (in Mo)        Defaut: 1024\r\n"
           "-file_number  Number of files to write           Defaut: 1\r\n"
           "-thread       Number of thread                   Defaut: 1\r\n"
           "-cache        Size of controller's cache (in Go) Defaut: 1\r\n"
           "              0 to disable the cache flush process\r\n"
           "-fill         Percent of the free space to write\r\n"
           "-time         Seconds a phase may last at most\r\n"
           "-latency      Time every call: percentiles, longest stalls\r\n"
           "-clean        Remove the files of runs that ended without removing them\r\n"
           "-version      Print the version and exit\r\n"
           "-repeat       Passes of the whole run (median)   Defaut: 1\r\n"
           "-json         Write the results to this JSON file\r\n"
           "-verify       Check every byte read against what was written\r\n"
           "-direct       Unbuffered I/O: bypass the OS cache\r\n"
           "-html         Write a report with charts to this HTML file\r\n"
           "\r\n"
           "Sample : Quorlane.exe -path " +
           temp + "\\ -block 100 -file 1024 -thread 1 -cache 1\r\n";
}

// From Wine's trace of NtCreateFile, through which the run opens its files by their name in the
// directory it holds, that each file is created not to be indexed, and whether each open of
// each of the run's files (its marker aside) asked for no buffering ('u') or not ('c'), in
// order; the opens that remove a file are left out. A test file is created, read, opened
// uncached by the purge and read again; the eviction file is created, and opened uncached
// before each of its two readings and by the purge in between.
void expect_uncached_opens(const std::string& trace_file, bool eviction) {
    std::ifstream trace(trace_file);
    std::map<std::string, std::string> opens;
    const std::regex open_call(
        R"re(NtCreateFile handle=\S+ access=[0-9a-f]+ name=L"[^"]*(vellumcrate_[a-z0-9]+)" .* attr=([0-9a-f]+) sharing=[0-9a-f]+ disp=[0-9]+ options=([0-9a-f]+))re");
    for (std::string line; std::getline(trace, line);) {
        std::smatch m;
        if (!std::regex_search(line, m, open_call) || is_marker_name(m[1])) continue;
        const unsigned long attributes = std::stoul(m[2], nullptr, 16);
        const unsigned long options = std::stoul(m[3], nullptr, 16);
        if ((options & 0x1000) != 0) continue;  // FILE_DELETE_ON_CLOSE: the removal
        // Created outside the indexer's reach.
        if (opens[m[1]].empty()) {
            EXPECT_NE(attributes & 0x2000, 0u) << m[1];
        }
        opens[m[1]] += (options & 0x8) != 0 ? 'u' : 'c';  // FILE_NO_INTERMEDIATE_BUFFERING
    }
    std::size_t test_files = 0;
    for (const auto& [name, sequence] : opens) {
        if (name.rfind("vellumcrate_cache", 0) == 0) {
            EXPECT_EQ(sequence, "cucuuc") << name;
        } else {
            ++test_files;
            EXPECT_EQ(sequence, "ccuc") << name;
        }
    }
    EXPECT_EQ(test_files, 4u);
    EXPECT_EQ(opens.size(), eviction ? 5u : 4u);
}

class UnderWine : public ::testing::Test {
protected:
    void SetUp() override {
        wine = on_path({"wine64", "wine"});
        if (wine.empty()) GTEST_SKIP() << "wine64 or wine not on PATH";
        if (!std::filesystem::exists(QUORLANE_WINDOWS_EXE)) {
            if (on_path({"x86_64-w64-mingw32-g++-posix"}).empty())
                GTEST_SKIP() << "x86_64-w64-mingw32-g++-posix not on PATH, so quorlane.exe is not built";
            FAIL() << QUORLANE_WINDOWS_EXE << " is missing: `make test` builds it";
        }
        setenv("WINEPREFIX", QUORLANE_WINEPREFIX, 1);
        setenv("WINEDEBUG", "-all", 1);
        // Wine passes arguments and file names through the locale's character set: UTF-8 holds
        // them all, while its ANSI code page, 1252, has no room for Japanese.
        setenv("LC_ALL", "C.UTF-8", 1);
    }

    // Wine's standard error is left out, or with `trace_file` holds the trace of file calls:
    // the wineserver that a call starts inherits it and holds it open for seconds after the
    // program has ended.
    execution_result under_wine(const std::vector<std::string>& arguments, const std::string& trace_file = "") {
        const std::string errors =
            trace_file.empty() ? "2>/dev/null" : "WINEDEBUG=-all,trace+file 2>'" + trace_file + "'";
        std::vector<std::string> line{"-c", errors + " exec \"$0\" \"$@\"", wine};
        line.insert(line.end(), arguments.begin(), arguments.end());
        return run_program("/bin/sh", line);
    }

    execution_result quorlane_exe(std::vector<std::string> arguments, const std::string& trace_file = "") {
        arguments.insert(arguments.begin(), QUORLANE_WINDOWS_EXE);
        return under_wine(arguments, trace_file);
    }

    // A run refused before it starts: the banner, the message on its own line, status 1.
    void wait_for_refusal(const std::vector<std::string>& arguments, const std::string& message) {
        const execution_result r = quorlane_exe(arguments);
        EXPECT_EQ(r.output, banner + message + "\r\n") << ::testing::PrintToString(arguments);
        EXPECT_EQ(r.status, 1) << ::testing::PrintToString(arguments);
    }

    // A complete run of 2 threads x 2 files of 1 MiB in `subdirectory` of a temporary
    // directory: the four results in order, at most one purge message between the third and
    // the fourth, every file seen, dropped from the cache before the fourth read, then removed.
    // Wine's trace shortens names of over 300 characters: `traced` false leaves the opens unchecked.
    void check_complete_run(const char* cache, const std::string& subdirectory, bool traced = true) {
        temporary_directory dir;
        ASSERT_FALSE(dir.path_name.empty());
        const std::string run_directory = dir.path_name + "/" + subdirectory;
        ASSERT_TRUE(std::filesystem::create_directories(run_directory));
        const std::string trace = dir.path_name + "/trace";
        watcher views(run_directory);
        std::vector<std::string> arguments{
            "-path", windows_path(run_directory), "-thread", "2", "-file_number", "2", "-file", "1", "-cache", cache};
        const execution_result r = quorlane_exe(arguments, trace);
        const auto files = views.stop_watching();

        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_TRUE(windows_line_ends(r.output)) << r.output;
        std::vector<std::string> screen;
        for (const std::string& line : lines(without_carriage_returns(r.output))) screen.push_back(visible(line));
        ASSERT_GE(screen.size(), 6u) << r.output;
        EXPECT_EQ(screen[0], "Quorlane " QUORLANE_VERSION " - sequential disk throughput benchmark");
        EXPECT_EQ(screen[1], "");

        std::vector<std::string> results(screen.begin() + 2, screen.end());
        if (results.size() == 5) {
            const std::string purge = results[3];
            EXPECT_NE(std::find(std::begin(purge_messages), std::end(purge_messages), purge), std::end(purge_messages))
                << "unexpected line between the third and fourth results: [" << purge << "]";
            std::cout << "purge under Wine: " << purge << "\n";
            results.erase(results.begin() + 3);
        } else {
            std::cout << "purge under Wine: no message\n";
        }
        ASSERT_EQ(results.size(), 4u) << r.output;
        for (std::size_t k = 0; k < 4; ++k) {
            // KiB per ms, truncated: a few MiB forced to a busy disk can give 0.
            EXPECT_TRUE(std::regex_match(results[k], std::regex(std::string(labels[k]) + "[0-9]+ Mo/s {10}")))
                << "result " << k << ": [" << results[k] << "]";
        }

        std::size_t test_files = 0;
        std::size_t eviction_files = 0;
        for (const auto& [name, size] : files) {
            if (std::regex_match(name, std::regex("vellumcrate_[a-z]{8}[01]"))) {
                ++test_files;
                EXPECT_EQ(size, 10u * 102400u) << name;
            } else if (std::regex_match(name, std::regex("vellumcrate_cache[a-z]{3}"))) {
                ++eviction_files;
                EXPECT_EQ(size, 1073741824u) << name;
            } else {
                ADD_FAILURE() << "unexpected file " << name;
            }
        }
        EXPECT_EQ(test_files, 4u);
        const bool eviction = std::string(cache) != "0";
        EXPECT_EQ(eviction_files, eviction ? 1u : 0u);
        // Before the write and before each of the two reads.
        EXPECT_EQ(occurrences(r.output, "Emptying the controller's cache ..."), eviction ? 3 : 0);
        EXPECT_TRUE(std::filesystem::is_empty(run_directory));
        if (traced) {
            expect_uncached_opens(trace, eviction);
            return;
        }
        // Every open that names the run's directory names it in the long form, the only one
        // Windows takes past MAX_PATH without a manifest: the directory itself, held open, in
        // which each file is then opened by its name alone.
        std::ifstream lines_of_trace(trace);
        const std::string directory = std::regex_replace(windows_path(run_directory), std::regex("\\\\"), "\\\\");
        int long_form = 0;
        for (std::string line; std::getline(lines_of_trace, line);) {
            if (line.find("CreateFileW") == std::string::npos) continue;
            if (line.find("L\"" + directory.substr(0, 40)) != std::string::npos) ADD_FAILURE() << line;
            if (line.find("L\"\\\\\\\\?\\\\" + directory.substr(0, 40)) != std::string::npos) ++long_form;
        }
        EXPECT_GE(long_form, 1);
    }

    std::string wine;
};

// A close the handler saw through within Windows' deadline: nothing left, the results saved as
// interrupted, and the process ended by itself with status 129.
void expect_closed_in_time(const execution_result& r, const temporary_directory& dir,
                           const temporary_directory& reports) {
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.output, m, std::regex("handler ended after ([0-9]+) ms"))) << r.output;
    EXPECT_LT(std::stoul(m[1]), 4500u);
    EXPECT_NE(r.output.find("exited with 129\r\n"), std::string::npos) << r.output;
    EXPECT_TRUE(dir.entries().empty());
    std::ifstream stream(reports.path_name + "/run.json");
    const std::string json((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    EXPECT_NE(json.find("\"interrupted\""), std::string::npos) << json;
}

// Environment variables set for one scope, then removed.
struct scoped_environment {
    std::vector<std::string> names;
    explicit scoped_environment(const std::vector<std::pair<std::string, std::string>>& variables) {
        for (const auto& [name, value] : variables) {
            setenv(name.c_str(), value.c_str(), 1);
            names.push_back(name);
        }
    }
    ~scoped_environment() {
        for (const std::string& name : names) unsetenv(name.c_str());
    }
};

// One step of a run made slow by the test library loaded into Wine, which creates the signal
// file as the slowed call starts; `figures` of the run's four come before the step.
struct slowed_step {
    const char* name;
    const char* cache;
    std::vector<std::pair<std::string, std::string>> environment;
    int figures;
};

// The figures' result lines in a console's text (a progress line ends with its dots instead).
int result_lines(const std::string& text) {
    const std::regex result(": [0-9]+ Mo/s {10}\r\n");
    return static_cast<int>(std::distance(std::sregex_iterator(text.begin(), text.end(), result), std::sregex_iterator()));
}

}  // namespace

TEST_F(UnderWine, HelpIsTheLinuxTextWithBackslashCrLfAndWineTemp) {
    const execution_result echo = under_wine({"cmd", "/c", "echo %TEMP%"});
    ASSERT_EQ(echo.status, 0);
    const std::string temp = echo.output.substr(0, echo.output.find_first_of("\r\n"));
    ASSERT_FALSE(temp.empty());

    for (const char* flag : {"-?", "/?"}) {
        const execution_result r = quorlane_exe({flag});
        EXPECT_EQ(r.output, help_text(temp)) << flag;
        EXPECT_EQ(r.status, 0) << flag;
    }
}

TEST_F(UnderWine, VersionIsTheBannersFirstLineAlone) {
    const execution_result r = quorlane_exe({"--VERSION"});
    EXPECT_EQ(r.output, banner.substr(0, banner.size() - 2));
    EXPECT_EQ(r.status, 0);
}

TEST_F(UnderWine, HelpShowsATempNamedInJapaneseOnAPipeAndOnAConsole) {
    temporary_directory dir;
    ASSERT_FALSE(dir.path_name.empty());
    const std::string temp = windows_path(dir.path_name) + "\\" + japanese;
    const std::string command = "set TEMP=" + temp + "&& " + windows_path(QUORLANE_WINDOWS_EXE) + " -?";
    const execution_result piped = under_wine({"cmd", "/c", command});
    EXPECT_EQ(piped.output, help_text(temp));
    EXPECT_EQ(piped.status, 0);

    // On a terminal, Wine gives the program a console, which draws the text with escape
    // sequences of its own; wide enough, no line wraps.
    const std::string script = on_path({"script"});
    if (script.empty()) GTEST_SKIP() << "script not on PATH: the console is not tested";
    const execution_result console = run_program(
        script, {"-qec", "stty cols 250; exec '" + wine + "' cmd /c '" + command + "' 2>/dev/null", "/dev/null"});
    const std::string screen = std::regex_replace(console.output, std::regex("\x1b\\[[0-9;?]*[A-Za-z]"), "");
    const std::string shown = std::filesystem::path(dir.path_name).filename().string() + "\\" + japanese + "\\";
    EXPECT_NE(screen.find(shown), std::string::npos) << screen;
}

TEST_F(UnderWine, RefusedOptionsPrintTheirMessageCreateNothingAndEndWithOne) {
    temporary_directory dir;
    ASSERT_FALSE(dir.path_name.empty());
    const std::string directory = windows_path(dir.path_name);
    wait_for_refusal({"-path", directory, "-THREAD", "0"}, "Sorry, the argument -thread must be between 1 and 100");
    wait_for_refusal({"-path", directory + "\\absent"},
                     "Sorry, the argument -path must be an existing pointeur_repertoire");

    const std::string file = dir.path_name + "/fichier";
    std::FILE* stream = std::fopen(file.c_str(), "w");
    ASSERT_NE(stream, nullptr);
    std::fclose(stream);
    wait_for_refusal({"-path", windows_path(file)},
                     "Sorry, the argument -path must be an existing pointeur_repertoire");
    std::filesystem::remove(file);

    // Test files are plain handles, which Windows caps at 2^24 per process.
    const execution_result r = quorlane_exe({"-path", directory, "-thread", "100", "-file_number", "1000000"});
    std::smatch m;
    EXPECT_TRUE(std::regex_match(r.output, m,
                                 std::regex(banner + "Sorry, the run needs 100000000 open files "
                                                     "\\(-thread x -file_number\\) but this system "
                                                     "leaves only ([0-9]+) for them\r\n")))
        << r.output;
    if (!m.empty()) {
        EXPECT_GE(std::stoull(m[1]), 16000000u);
    }
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(dir.entries().empty());
}

TEST_F(UnderWine, CompleteRunWithoutEvictionInADirectoryNamedInJapaneseReachesTheFourthResultAndLeavesNothing) {
    check_complete_run("0", japanese);
}

TEST_F(UnderWine, CompleteRunWithEvictionReachesTheFourthResultAndLeavesNothing) { check_complete_run("1", "run"); }

// Wine takes FILE_FLAG_NO_BUFFERING and caches all the same: the probe's write of part of a
// sector succeeds, and -direct is refused before any file exists.
TEST_F(UnderWine, UnbufferedRunIsRefusedWhereTheCacheIsNotBypassed) {
    temporary_directory dir;
    ASSERT_FALSE(dir.path_name.empty());
    const std::string directory = windows_path(dir.path_name);
    wait_for_refusal({"-path", directory, "-file", "1", "-cache", "0", "-direct"},
                     "Sorry, -direct is not possible in " + directory +
                         "\\ : its file system serves direct I/O through the OS cache");
    EXPECT_TRUE(dir.entries().empty());
}

// Past MAX_PATH, which no manifest lifts here, the files are named in the long form.
TEST_F(UnderWine, CompleteRunInADirectoryOfOver300CharactersLeavesNothing) {
    const std::string component(100, 'l');
    check_complete_run("0", component + "/" + component + "/" + component, false);
}

// A drive letter alone is the current directory on that drive, as `.` and `..` forms are
// relative to it: the run writes where the check looked, not at the drive's root.
TEST_F(UnderWine, DriveLetterAloneAndDotFormsAreTheWorkingDirectory) {
    for (const std::string form : {"Z:", ".", "sub\\.."}) {
        temporary_directory dir;
        ASSERT_FALSE(dir.path_name.empty());
        ASSERT_TRUE(std::filesystem::create_directory(dir.path_name + "/sub"));
        watcher views(dir.path_name);
        const execution_result r = run_program(
            "/bin/sh", {"-c", "cd \"$0\" && exec \"$1\" \"$2\" -path \"$3\" -file 1 -cache 0 -json run.json 2>/dev/null",
                        dir.path_name, wine, QUORLANE_WINDOWS_EXE, form});
        const auto files = views.stop_watching();
        EXPECT_EQ(r.status, 0) << form << r.output;
        EXPECT_EQ(std::count_if(files.begin(), files.end(),
                                [](const auto& file) { return file.first.rfind("vellumcrate_", 0) == 0; }),
                  1)
            << form;
        std::ifstream stream(dir.path_name + "/run.json");
        const std::string json((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
        const std::string quoted = std::regex_replace(windows_path(dir.path_name) + "\\", std::regex("\\\\"), "\\\\");
        EXPECT_NE(json.find("\"" + quoted + "\""), std::string::npos) << form << json;
        EXPECT_EQ(dir.entries(), (std::vector<std::string>{"run.json", "sub"})) << form;
    }
}

// The same report page as on Linux: the console's figures, charts drawn inline, nothing to
// fetch, and the results file it was drawn from.
TEST_F(UnderWine, ReportPageHoldsTheConsolesFiguresAndNeedsNothingFromAnywhere) {
    temporary_directory dir, reports;
    const execution_result r = quorlane_exe({"-path", windows_path(dir.path_name), "-thread", "2", "-file", "2",
                                             "-cache", "0", "-html", windows_path(reports.path_name + "/run.html"),
                                             "-json", windows_path(reports.path_name + "/run.json")});
    ASSERT_EQ(r.status, 0) << r.output;
    std::ifstream stream(reports.path_name + "/run.html");
    const std::string page((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    const std::regex result_line(": ([0-9]+) Mo/s {10}\r\n");
    int figures = 0;
    for (auto it = std::sregex_iterator(r.output.begin(), r.output.end(), result_line); it != std::sregex_iterator();
         ++it, ++figures)
        EXPECT_NE(page.find(grouped(std::stoull((*it)[1])) + " Mo/s on the console"), std::string::npos) << (*it)[1];
    EXPECT_EQ(figures, 4) << r.output;
    EXPECT_EQ(occurrences(page, "<svg class=\"chart\""), 5);
    EXPECT_NE(page.find("<td>Windows "), std::string::npos);
    EXPECT_FALSE(std::regex_search(page, std::regex("[a-z]+://|src=|href=|url\\(")));
    // Windows can't say what its cache kept after the purge.
    std::ifstream results(reports.path_name + "/run.json");
    const std::string json((std::istreambuf_iterator<char>(results)), std::istreambuf_iterator<char>());
    EXPECT_NE(json.find("\"purge_confirmed\": false"), std::string::npos) << json;
    EXPECT_EQ(json.find("\"purge_confirmed\": true"), std::string::npos) << json;
    // The disk is named where Wine answers the storage queries, and null where it does not.
    EXPECT_TRUE(std::regex_search(json, std::regex("\"devices\": (null|\\[)"))) << json;
    EXPECT_TRUE(std::regex_search(json, std::regex("\"virtual_machine\": (null|true|false)"))) << json;
    EXPECT_NE(page.find("<div class=\"name\">Measured on</div>"), std::string::npos);
    EXPECT_EQ(results_schema_problems(reports.path_name + "/run.json"), "");
    // quorlane-report.exe makes the same page again from the results file.
    const execution_result again = under_wine({QUORLANE_WINDOWS_REPORT_EXE, windows_path(reports.path_name + "/run.json"),
                                               "-html", windows_path(reports.path_name + "/again.html")});
    ASSERT_EQ(again.status, 0) << again.output;
    std::ifstream rebuilt(reports.path_name + "/again.html");
    EXPECT_EQ(where_texts_differ(page, std::string((std::istreambuf_iterator<char>(rebuilt)), std::istreambuf_iterator<char>())), "");
    EXPECT_EQ(reports.entries(), (std::vector<std::string>{"again.html", "run.html", "run.json"}));
    EXPECT_TRUE(dir.entries().empty());
}

TEST_F(UnderWine, CtrlCRemovesTheRunsFilesSaysSoAndEndsWith130) {
    temporary_directory dir;
    ASSERT_FALSE(dir.path_name.empty());
    // The eviction file takes seconds to write and force: time enough for the event to land
    // in the middle of the run. Wine runs the program in the very process it was started as.
    child_process process;
    ASSERT_TRUE(launch(process, "/bin/sh",
                       {"-c", "exec \"$0\" \"$@\" 2>/dev/null", wine, QUORLANE_WINDOWS_EXE, "-path",
                        windows_path(dir.path_name), "-thread", "2", "-file_number", "2", "-file", "1", "-cache", "1"},
                       {}));
    bool created = false;
    for (int waiting = 0; waiting < 6000 && !created; ++waiting) {
        created = !dir.entries().empty();
        if (!created) usleep(10000);
    }
    // Wine turns SIGINT into the console's Ctrl+C event.
    kill(process.pid, SIGINT);
    finish(process);
    const std::string& text = process.text;

    EXPECT_TRUE(created) << "no file appeared";
    EXPECT_EQ(process.status, 130) << text;
    EXPECT_TRUE(text.size() >= 49 &&
                text.compare(text.size() - 49, 49, "Interrupted: the run's files have been removed.\r\n") == 0)
        << text;
    EXPECT_EQ(text.find("Reading time without cache ram  : "), std::string::npos) << text;
    EXPECT_TRUE(dir.entries().empty());
}

// The run holds the tested directory open, sharing no deletion: while it runs, no program can
// rename it away and put something else in its place.
TEST_F(UnderWine, TheTestedDirectoryCannotBeRenamedWhileTheRunHoldsIt) {
    temporary_directory dir;
    ASSERT_FALSE(dir.path_name.empty());
    const std::string run_directory = dir.path_name + "/run";
    ASSERT_TRUE(std::filesystem::create_directory(run_directory));
    child_process process;
    ASSERT_TRUE(launch(process, "/bin/sh",
                       {"-c", "exec \"$0\" \"$@\" 2>/dev/null", wine, QUORLANE_WINDOWS_EXE, "-path",
                        windows_path(run_directory), "-file", "1", "-cache", "1"},
                       {}));
    bool created = false;
    for (int waiting = 0; waiting < 6000 && !created; ++waiting) {
        created = !std::filesystem::is_empty(run_directory);
        if (!created) usleep(10000);
    }
    ASSERT_TRUE(created) << "no file appeared";
    under_wine({"cmd", "/c", "ren", windows_path(run_directory), "moved"});
    finish(process);
    EXPECT_EQ(process.status, 0) << process.text;
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"run"});
    EXPECT_TRUE(std::filesystem::is_empty(run_directory));
}

TEST_F(UnderWine, ConsoleCloseEndsTheRunWithinTheDeadlineLeavesNothingAndSavesTheResults) {
    ASSERT_TRUE(std::filesystem::exists(QUORLANE_CONSOLE_CLOSE_EXE)) << "`make test` builds it with quorlane.exe";
    temporary_directory dir, reports;
    ASSERT_FALSE(dir.path_name.empty());
    const std::string directory = windows_path(dir.path_name);
    // Closed in the write phase, with tens of files to remove; Windows would end the process as
    // soon as the handler returns, and so does the helper.
    const execution_result r =
        under_wine({QUORLANE_CONSOLE_CLOSE_EXE, "close", "files", directory, "40", windows_path(QUORLANE_WINDOWS_EXE),
                    "-path", directory, "-thread", "2", "-file_number", "100", "-file", "1", "-cache", "0", "-json",
                    windows_path(reports.path_name + "/run.json")});
    EXPECT_EQ(r.status, 0) << r.output;
    expect_closed_in_time(r, dir, reports);
}

// A close while any one step takes its time: main waits for none of them (a flush, a slow
// write, can't be cancelled), removes the files, some still held open, saves the results, and
// ends the process within the deadline. Each step is held back for a minute by a slowed call.
TEST_F(UnderWine, ConsoleCloseInEveryStepHeldBackLeavesNothingSavesTheResultsAndEndsWith129) {
    ASSERT_TRUE(std::filesystem::exists(QUORLANE_CONSOLE_CLOSE_EXE)) << "`make test` builds it with quorlane.exe";
    const std::string slow = "0:60000";
    const slowed_step steps[] = {
        {"eviction write", "1", {{"SLOW_WRITE", slow}, {"SLOW_WRITE_NAME", "vellumcrate_cache"}}, 0},
        {"eviction flush", "1", {{"SLOW_FSYNC", slow}, {"SLOW_FSYNC_NAME", "vellumcrate_cache"}}, 0},
        {"write", "0", {{"SLOW_WRITE", slow}, {"SLOW_WRITE_NAME", "vellumcrate_"}}, 0},
        {"flush", "0", {{"SLOW_FSYNC", slow}, {"SLOW_FSYNC_NAME", "vellumcrate_"}}, 1},
        {"read with cache", "0", {{"SLOW_READ", slow}}, 2},
        // Each of the two readers reads its file of 10 blocks, and its end, in the first read.
        {"read without cache", "0", {{"SLOW_READ", slow}, {"SLOW_READ_SKIP", "22"}}, 3},
        {"eviction read", "1", {{"SLOW_READ", slow}, {"SLOW_READ_NAME", "vellumcrate_cache"}}, 2},
    };
    for (const slowed_step& step : steps) {
        SCOPED_TRACE(step.name);
        temporary_directory dir, reports;
        ASSERT_FALSE(dir.path_name.empty());
        const std::string directory = windows_path(dir.path_name);
        const std::string signal = reports.path_name + "/slowed";
        std::vector<std::pair<std::string, std::string>> environment = step.environment;
        // The run's marker, written before the steps, is never slowed.
        environment.insert(environment.end(), {{"LD_PRELOAD", SLOW_IO_LIBRARY},
                                               {"OMPI_COMM_WORLD_RANK", "0"},
                                               {"SLOW_SIGNAL", signal},
                                               {"SLOW_SPARE_NAME", "vellumcrate_owner"}});
        execution_result r;
        {
            const scoped_environment slowed(environment);
            r = under_wine({QUORLANE_CONSOLE_CLOSE_EXE, "close", "signal", windows_path(signal),
                            windows_path(QUORLANE_WINDOWS_EXE), "-path", directory, "-thread", "2", "-file", "1",
                            "-cache", step.cache, "-json", windows_path(reports.path_name + "/run.json")});
        }
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(result_lines(r.output), step.figures) << r.output;
        expect_closed_in_time(r, dir, reports);
    }
}

// A log-off, any user's, leaves the run going to its end. Ctrl+C reaches a run started in a
// new process group, which Windows starts with Ctrl+C ignored.
TEST_F(UnderWine, LogOffLeavesTheRunGoingAndCtrlCStopsARunStartedInANewProcessGroup) {
    ASSERT_TRUE(std::filesystem::exists(QUORLANE_CONSOLE_CLOSE_EXE)) << "`make test` builds it with quorlane.exe";
    for (const std::string event : {"logoff", "ctrl_c"}) {
        temporary_directory dir;
        ASSERT_FALSE(dir.path_name.empty());
        const std::string directory = windows_path(dir.path_name);
        const execution_result r =
            under_wine({QUORLANE_CONSOLE_CLOSE_EXE, event, "files", directory, "40", windows_path(QUORLANE_WINDOWS_EXE),
                        "-path", directory, "-thread", "2", "-file_number", "100", "-file", "1", "-cache", "0"});
        EXPECT_EQ(r.status, 0) << event << r.output;
        if (event == "logoff") {
            EXPECT_NE(r.output.find("Reading time without cache ram  : "), std::string::npos) << r.output;
            EXPECT_NE(r.output.find("exited with 0"), std::string::npos) << r.output;
        } else {
            EXPECT_NE(r.output.find("Interrupted: the run's files have been removed.\r\n"), std::string::npos)
                << r.output;
            EXPECT_NE(r.output.find("exited with 130"), std::string::npos) << r.output;
        }
        EXPECT_TRUE(dir.entries().empty()) << event;
    }
}

// NTFS takes a name holding an unpaired surrogate, which UTF-8 can't carry: converted with
// U+FFFD in its place, it would name another file. Such a -path or -json is refused before
// anything is written, and the look-alike directory stays untouched.
TEST_F(UnderWine, NamesHoldingAnUnpairedSurrogateAreRefusedAndNoLookAlikeIsTouched) {
    temporary_directory dir;
    ASSERT_FALSE(dir.path_name.empty());
    const std::string look_alike = dir.path_name + "/a\xef\xbf\xbd" "b";
    ASSERT_TRUE(std::filesystem::create_directory(look_alike));
    const std::string exe = windows_path(QUORLANE_WINDOWS_EXE);
    const std::string directory = windows_path(dir.path_name);
    const std::string refusal = " names a file through an unpaired surrogate (invalid UTF-16), which this program can't "
                                "carry unchanged\r\n";
    const execution_result path = under_wine(
        {WIDE_ARGUMENT_EXE, exe, "-path", directory + "\\a\\uD800b", "-file", "1", "-cache", "0"});
    EXPECT_EQ(path.output, banner + "Sorry, the argument -path" + refusal);
    EXPECT_EQ(path.status, 1);
    const execution_result json = under_wine({WIDE_ARGUMENT_EXE, exe, "-path", directory + "\\a\xef\xbf\xbd" "b", "-file",
                                              "1", "-cache", "0", "-json", directory + "\\run\\uDC00.json"});
    EXPECT_EQ(json.output, banner + "Sorry, the argument -json" + refusal);
    EXPECT_EQ(json.status, 1);
    EXPECT_TRUE(std::filesystem::is_empty(look_alike));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"a\xef\xbf\xbd" "b"});
}

// A file closed while its background flush is under way, as a stopped run closes its files:
// the flush's end signals no handle made after the close, which may hold the value the flush's
// own event had.
TEST_F(UnderWine, AFileClosedDuringItsBackgroundFlushSignalsNoHandleMadeAfter) {
    temporary_directory dir;
    ASSERT_FALSE(dir.path_name.empty());
    execution_result r;
    {
        const scoped_environment slowed({{"LD_PRELOAD", SLOW_IO_LIBRARY},
                                         {"OMPI_COMM_WORLD_RANK", "0"},
                                         {"SLOW_FSYNC", "0:1500"},
                                         {"SLOW_FSYNC_NAME", "vellumcrate_flushprobe"}});
        r = under_wine({BACKGROUND_FLUSH_EXE, windows_path(dir.path_name)});
    }
    EXPECT_EQ(r.output, "no handle signalled\r\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(dir.entries().empty());
}

// A run ended by TerminateProcess, as End task or a crash ends it, removes nothing: the next run
// in the directory says how many files it left and how large, and -clean removes them.
TEST_F(UnderWine, AKilledRunsFilesAreToldAndCleanRemovesThem) {
    ASSERT_TRUE(std::filesystem::exists(QUORLANE_CONSOLE_CLOSE_EXE)) << "`make test` builds it with quorlane.exe";
    temporary_directory dir;
    ASSERT_FALSE(dir.path_name.empty());
    const std::string directory = windows_path(dir.path_name);
    execution_result killed;
    {
        const scoped_environment slowed({{"LD_PRELOAD", SLOW_IO_LIBRARY},
                                         {"OMPI_COMM_WORLD_RANK", "0"},
                                         {"SLOW_WRITE", "0:100"},
                                         {"SLOW_WRITE_NAME", "vellumcrate_"},
                                         {"SLOW_SPARE_NAME", "vellumcrate_owner"}});
        // Its marker and both workers' first files.
        killed = under_wine({QUORLANE_CONSOLE_CLOSE_EXE, "kill", "files", directory, "3",
                             windows_path(QUORLANE_WINDOWS_EXE), "-path", directory, "-thread", "2", "-file_number",
                             "3", "-file", "1", "-cache", "0"});
    }
    EXPECT_NE(killed.output.find("exited with 1\r\n"), std::string::npos) << killed.output;
    std::vector<std::string> left = dir.entries();
    left.erase(std::remove_if(left.begin(), left.end(), is_marker_name), left.end());
    ASSERT_GE(left.size(), 2u);
    long long bytes = 0;
    for (const std::string& name : left) bytes += size_of_file(dir.path_name + "/" + name);
    const std::string said = std::to_string(left.size()) + " files, " + binary_size(static_cast<std::uint64_t>(bytes));

    const execution_result told = quorlane_exe({"-path", directory, "-file", "1", "-cache", "0"});
    EXPECT_EQ(told.status, 0) << told.output;
    EXPECT_NE(told.output.find("\r\nNote: " + directory + "\\ holds " + said +
                               ", left by runs that ended without removing them: -clean removes them.\r\n"),
              std::string::npos)
        << told.output;
    const execution_result cleaned = quorlane_exe({"-path", directory, "-file", "1", "-cache", "0", "-clean"});
    EXPECT_EQ(cleaned.status, 0) << cleaned.output;
    EXPECT_NE(cleaned.output.find("\r\nNote: removed " + said + ", left in " + directory +
                                  "\\ by runs that ended without removing them.\r\n"),
              std::string::npos)
        << cleaned.output;
    EXPECT_TRUE(dir.entries().empty()) << ::testing::PrintToString(dir.entries());
}
