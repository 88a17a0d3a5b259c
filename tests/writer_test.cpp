// The write phase on real files in a directory of the test's own: names, sizes, one prefix
// per worker, the flush pass, and removal of every file.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "run/run_file.hpp"
#include "run/run_state.hpp"
#include "driver/driver.hpp"
#include "run/run_state.hpp"
#include "settings/settings.hpp"
#include "support/arguments.hpp"
#include "support/temporary_directory.hpp"

namespace {

std::string contents_of(const std::string& name) {
    std::ifstream stream(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

}  // namespace

TEST(Writer, EachWorkerCreatesItsFilesUnderItsOwnPrefixAndTheRunRemovesThemAll) {
    temporary_directory dir;
    benchmark_run run;
    run.settings = apply_arguments(
        {"-path", dir.path_name, "-thread", "3", "-file_number", "2", "-file", "1", "-block", "64", "-cache", "0"});
    const run_settings& settings = run.settings;
    prepare_pass(run, 0);
    open_run_directory(run.state);

    const figure_record written = write_phase(run).value();
    ASSERT_FALSE(stop_requested(run.state));
    EXPECT_EQ(run.state.phase.bytes_moved.load(), 6u * 1048576u);
    for (os_file handle : run.state.write_handles) EXPECT_NE(handle, no_file);

    flush_pass(run, written);
    ASSERT_FALSE(stop_requested(run.state));
    for (os_file handle : run.state.write_handles) EXPECT_EQ(handle, no_file);

    // Six files: three 20-character prefixes, indexes 0 and 1, no separator before the index.
    std::map<std::string, std::set<std::string>> index_by_prefix;
    for (const std::string& name : dir.entries()) {
        ASSERT_EQ(name.size(), 21u) << name;
        EXPECT_EQ(name.substr(0, 12), "vellumcrate_");
        for (std::size_t k = 12; k < 20; ++k) EXPECT_TRUE(name[k] >= 'a' && name[k] <= 'z') << name;
        index_by_prefix[name.substr(0, 20)].insert(name.substr(20));
        EXPECT_EQ(size_of_file(dir.path_name + "/" + name), 1048576);
    }
    ASSERT_EQ(index_by_prefix.size(), 3u);
    for (const auto& [prefix, index] : index_by_prefix) EXPECT_EQ(index, (std::set<std::string>{"0", "1"}));
    for (std::uint32_t t = 0; t < 3; ++t)
        EXPECT_EQ(index_by_prefix.count(run.workers[t].file_prefix), 1u) << run.workers[t].file_prefix;

    // Each worker writes bytes of its own: no two workers' files are alike.
    EXPECT_NE(contents_of(settings.target_directory + run.workers[0].file_prefix + "0"),
              contents_of(settings.target_directory + run.workers[1].file_prefix + "0"));

    remove_run_files(run);
    EXPECT_TRUE(dir.entries().empty());
}

TEST(Writer, AFileHoldsWholeBlocksOnly) {
    // 1 MiB in 600 KiB blocks is one block: the file holds 600 KiB, not 1 MiB.
    temporary_directory dir;
    benchmark_run run;
    run.settings =
        apply_arguments({"-path", dir.path_name, "-file", "1", "-block", "600", "-cache", "0", "-file_number", "2"});
    prepare_pass(run, 0);
    open_run_directory(run.state);
    const figure_record written = write_phase(run).value();
    flush_pass(run, written);
    ASSERT_FALSE(stop_requested(run.state));
    EXPECT_EQ(run.state.phase.bytes_moved.load(), 2u * 600u * 1024u);
    for (const std::string& name : dir.entries()) EXPECT_EQ(size_of_file(dir.path_name + "/" + name), 614400);
    EXPECT_EQ(dir.entries().size(), 2u);
    remove_run_files(run);
    EXPECT_TRUE(dir.entries().empty());
}
