#include "support/written_data.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "run/run_file.hpp"
#include "run/run_state.hpp"
#include "data/pattern.hpp"
#include "data/stamp.hpp"
#include "driver/driver.hpp"
#include "run/file_name.hpp"
#include "run/run_state.hpp"
#include "settings/settings.hpp"
#include "support/arguments.hpp"
#include "support/temporary_directory.hpp"

namespace {

// The one test file of a run of one writer, left in `directory`; empty, with the run's error in
// `failure`, when the run failed.
std::string write_test_file(const std::string& directory, const std::string& block_kib, unsigned mib,
                            std::string& failure) {
    benchmark_run run;
    run.settings = apply_arguments({"-path", directory, "-thread", "1", "-file_number", "1", "-file",
                                    std::to_string(mib), "-block", block_kib, "-cache", "0"});
    prepare_pass(run, 0);
    open_run_directory(run.state);
    const figure_record written = write_phase(run).value();
    flush_pass(run, written);
    failure = recorded_fatal_error(run.state);
    if (stop_requested(run.state)) return "";
    return test_file_name(run.settings.target_directory, run.workers[0].file_prefix, 0);
}

// The eviction file's first `mib` MiB, written in its chunks of 1 MiB as the run writes them.
std::string write_eviction_data(const std::string& directory, unsigned mib) {
    const std::string name = directory + "/eviction";
    data_pattern pattern;
    if (!make_pattern(pattern, pass_identity(0, 0), eviction_stream, 1048576, 4096)) return "";
    std::ofstream file(name, std::ios::binary);
    for (std::uint64_t chunk = 0; chunk < mib; ++chunk)
        file.write(reinterpret_cast<const char*>(pattern_block(pattern, 0, chunk * 1048576)), 1048576);
    return file ? name : "";
}

std::vector<long long> compressed_sizes(const std::vector<std::string>& commands, const std::string& name) {
    std::vector<std::FILE*> pipes;
    for (const std::string& command : commands)
        pipes.push_back(popen((command + " '" + name + "' 2>/dev/null | wc -c").c_str(), "r"));
    std::vector<long long> sizes;
    for (std::FILE* pipe : pipes) {
        long long size = -1;
        if (pipe == nullptr || std::fscanf(pipe, "%lld", &size) != 1) size = -1;
        if (pipe != nullptr && pclose(pipe) != 0) size = -1;
        sizes.push_back(size);
    }
    return sizes;
}

}  // namespace

void expect_whole_files_incompressible(const std::vector<std::string>& commands, unsigned mib) {
    temporary_directory dir;
    for (const std::string block_kib : {"4", "100", "1024", "eviction"}) {
        SCOPED_TRACE("-block " + block_kib);
        std::string failure;
        const std::string name = block_kib == "eviction" ? write_eviction_data(dir.path_name, mib)
                                                         : write_test_file(dir.path_name, block_kib, mib, failure);
        ASSERT_FALSE(name.empty()) << failure;
        const long long size = size_of_file(name);
        // Whole blocks only: 100 KiB blocks stop short of the last MiB.
        ASSERT_GT(size, (mib - 1) * 1048576ll);
        const std::vector<long long> sizes = compressed_sizes(commands, name);
        for (std::size_t k = 0; k < commands.size(); ++k) {
            // The sizes are what the documentation quotes; the check is the 99 % alone.
            std::printf("-block %s, %s: %lld bytes to %lld (%.3f %%)\n", block_kib.c_str(), commands[k].c_str(), size,
                        sizes[k], 100.0 * sizes[k] / size);
            EXPECT_GE(sizes[k] * 100, size * 99) << commands[k] << " made " << sizes[k] << " bytes of " << size;
        }
        std::remove(name.c_str());
    }
}
