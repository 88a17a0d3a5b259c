// quorlane-mpi through mpirun: ranks that add up to one set of figures, a second figure that
// waits for the slowest rank's flush, each rank's memory notes, reads of another node's files,
// a rank that can't run ending every rank, refusals before the run, Ctrl+C on mpirun, a rank
// killed, the report page's ranks; and the choice of whose files each rank reads, on made-up
// node maps.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>

#include "cluster/read_sources.hpp"
#include "report/page_text.hpp"
#include "run/run_marker.hpp"
#include "support/file_system.hpp"
#include "support/mount.hpp"
#include "support/process.hpp"
#include "support/results_schema.hpp"
#include "support/run_program.hpp"
#include "support/temporary_directory.hpp"

using json = nlohmann::json;

namespace {

constexpr int timeout_ms = 120000;
const std::string result_end = "Mo/s          \n";

// mpirun with the options every test needs: root allowed, more ranks than the 2 cores.
bool launch_mpirun(child_process& process, const std::vector<std::string>& arguments) {
    setenv("OMPI_ALLOW_RUN_AS_ROOT", "1", 1);
    setenv("OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1", 1);
    std::vector<std::string> all{"--oversubscribe"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return launch(process, MPIEXEC_BINARY, all, {});
}

// `ranks` of quorlane-mpi on `directory`, then `settings`.
std::vector<std::string> ranks_on(int ranks, const std::string& directory, const std::vector<std::string>& settings) {
    std::vector<std::string> arguments{"-n", std::to_string(ranks), QUORLANE_MPI_BINARY, "-path", directory};
    arguments.insert(arguments.end(), settings.begin(), settings.end());
    return arguments;
}

// The same with the slow_io library in every rank and its `slowdowns` ("SLOW_WRITE=1:100", ...).
std::vector<std::string> slowed_ranks_on(const std::vector<std::string>& slowdowns, int ranks,
                                         const std::string& directory, const std::vector<std::string>& settings) {
    std::vector<std::string> arguments{"-x", std::string("LD_PRELOAD=") + SLOW_IO_LIBRARY};
    for (const std::string& slowdown : slowdowns) arguments.insert(arguments.end(), {"-x", slowdown});
    const std::vector<std::string> rest = ranks_on(ranks, directory, settings);
    arguments.insert(arguments.end(), rest.begin(), rest.end());
    return arguments;
}

// mpirun's `A : B` form: `first` ranks given `settings`, then one rank given `last`.
std::vector<std::string> ranks_and_one(int first, const std::vector<std::string>& settings,
                                       const std::vector<std::string>& last) {
    std::vector<std::string> arguments{"-n", std::to_string(first), QUORLANE_MPI_BINARY};
    arguments.insert(arguments.end(), settings.begin(), settings.end());
    arguments.insert(arguments.end(), {":", "-n", "1", QUORLANE_MPI_BINARY});
    arguments.insert(arguments.end(), last.begin(), last.end());
    return arguments;
}

// The process of quorlane-mpi that mpirun (`launcher`) started as `rank`; -1 when there is none.
pid_t rank_process(pid_t launcher, int rank) {
    const std::string wanted = "OMPI_COMM_WORLD_RANK=" + std::to_string(rank);
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream status(entry.path() / "status");
        std::string line;
        pid_t parent = -1;
        while (std::getline(status, line))
            if (line.rfind("PPid:", 0) == 0) parent = std::stoi(line.substr(5));
        if (parent != launcher) continue;
        std::ifstream environ(entry.path() / "environ");
        for (std::string variable; std::getline(environ, variable, '\0');)
            if (variable == wanted) return std::stoi(name);
    }
    return -1;
}

// The results file, which must conform to its schema with the ranks' fields in it too.
json read_results(const std::string& name) {
    EXPECT_EQ(results_schema_problems(name), "") << name;
    std::ifstream stream(name);
    return json::parse(stream, nullptr, false);
}

// Runs mpirun with `arguments` to its end, which must be a success, and reads the results file
// `results` it wrote: discarded when the run failed or the file does not parse.
json results_of_run(child_process& process, const std::vector<std::string>& arguments, const std::string& results) {
    if (!launch_mpirun(process, arguments)) return json(json::value_t::discarded);
    finish(process);
    if (process.status != 0) return json(json::value_t::discarded);
    return read_results(results);
}

class Mpi : public testing::Test {
protected:
    void SetUp() override {
        if (std::string(QUORLANE_MPI_BINARY).empty())
            GTEST_SKIP() << "quorlane-mpi was not built: CMake found no MPI (libopenmpi-dev, openmpi-bin)";
        if (!std::filesystem::exists(MPIEXEC_BINARY)) GTEST_SKIP() << "no mpirun at " << MPIEXEC_BINARY;
    }
};

// The entry of `list` whose "name" is `name`; null when there is none.
json named(const json& list, const std::string& name) {
    for (const json& entry : list)
        if (entry["name"] == name) return entry;
    return nullptr;
}

// How many ranks read files of their own node; checks that `sources` is a permutation.
int same_node_reads(const std::vector<std::uint32_t>& nodes, const std::vector<std::uint32_t>& sources) {
    std::vector<std::uint32_t> sorted = sources;
    std::sort(sorted.begin(), sorted.end());
    for (std::uint32_t rank = 0; rank < sorted.size(); ++rank) EXPECT_EQ(sorted[rank], rank) << "not a permutation";
    int same = 0;
    for (std::uint32_t rank = 0; rank < nodes.size(); ++rank) same += nodes[rank] == nodes[sources[rank]];
    return same;
}

}  // namespace

TEST(ReadSources, EveryFileIsReadOnceAndFromAnotherNodeWheneverThatCanBe) {
    const std::vector<std::uint32_t> one_directory(8, 0);
    struct node_map {
        std::vector<std::uint32_t> nodes;
        int same_node;  // the fewest same-node reads: 2 x largest node - ranks, or none
    };
    const node_map maps[] = {
        {{0, 0, 0, 1, 1, 1}, 0},  // 2 nodes x 3 ranks, in order
        {{0, 1, 2}, 0},           // 3 nodes x 1 rank
        {{0, 1, 0, 1}, 0},        // 2 x 2 placed round robin
        {{0, 0, 0, 1}, 2},        // uneven: 3 + 1, two of node 0 must read each other
        {{0, 0, 1, 2, 2, 2, 2}, 1},
        {{0, 0, 0}, 3},  // one node: no shift at all
    };
    for (const node_map& map : maps) {
        const std::vector<std::uint32_t> directories(one_directory.begin(), one_directory.begin() + map.nodes.size());
        const std::vector<std::uint32_t> sources = read_sources(map.nodes, directories);
        EXPECT_EQ(same_node_reads(map.nodes, sources), map.same_node) << testing::PrintToString(map.nodes);
    }
    EXPECT_EQ(read_sources({0, 0, 0, 1, 1, 1}, one_directory), (std::vector<std::uint32_t>{3, 4, 5, 0, 1, 2}));
    EXPECT_EQ(read_sources({0, 0, 0}, {0, 0, 0}), (std::vector<std::uint32_t>{0, 1, 2}));

    // Node-local directories: no rank reads a file its own directory does not hold.
    const std::vector<std::uint32_t> nodes{0, 0, 1, 1, 2};
    const std::vector<std::uint32_t> directories{0, 0, 2, 2, 0};
    const std::vector<std::uint32_t> sources = read_sources(nodes, directories);
    for (std::uint32_t rank = 0; rank < nodes.size(); ++rank)
        EXPECT_EQ(directories[sources[rank]], directories[rank]) << rank;
    // Node 0 holds two of directory 0's three ranks: one same-node read; node 1 is alone in its own.
    EXPECT_EQ(same_node_reads(nodes, sources), 1 + 2);
}

TEST_F(Mpi, ThreeRanksOfTwoThreadsGiveOneSetOfFiguresForThreeTimesTheBytes) {
    temporary_directory dir, elsewhere;
    const std::string results = elsewhere.path_name + "/run.json";
    child_process process;
    ASSERT_TRUE(launch_mpirun(process, ranks_on(3, dir.path_name,
                                                {"-thread", "2", "-file_number", "2", "-file", "2", "-block", "64",
                                                 "-cache", "0", "-repeat", "2", "-json", results})));
    finish(process);
    ASSERT_EQ(process.status, 0) << process.text << process.error_text;
    EXPECT_EQ(occurrences(process.text, "Quorlane "), 1) << process.text;
    EXPECT_EQ(occurrences(process.text, "Note: ranks 3, nodes 1, threads per rank 2"), 1) << process.text;
    EXPECT_EQ(occurrences(process.text, result_end), 2 * 4) << process.text;
    EXPECT_EQ(occurrences(process.text, "Median of 2 passes:\n"), 1) << process.text;

    const json document = read_results(results);
    ASSERT_FALSE(document.is_discarded());
    EXPECT_EQ(document["status"], "completed");
    EXPECT_EQ(document["cluster"]["ranks"], 3);
    const std::uint64_t one_rank = document["settings"]["bytes_per_pass"];
    EXPECT_EQ(one_rank, 2 * 2 * 2 * 1048576ull);
    for (const json& pass : document["passes"]) {
        ASSERT_EQ(pass["figures"].size(), 4u);
        for (const json& figure : pass["figures"]) {
            SCOPED_TRACE(figure["name"].get<std::string>());
            EXPECT_EQ(figure["bytes"].get<std::uint64_t>(), 3 * one_rank);
            ASSERT_EQ(figure["ranks"].size(), 3u);
            std::int64_t longest = 0, shortest = INT64_MAX;
            for (const json& rank : figure["ranks"]) {
                EXPECT_EQ(rank["bytes"].get<std::uint64_t>(), one_rank);
                longest = std::max(longest, rank["microseconds"].get<std::int64_t>());
                shortest = std::min(shortest, rank["microseconds"].get<std::int64_t>());
            }
            EXPECT_EQ(figure["microseconds"].get<std::int64_t>(), longest);
            EXPECT_EQ(figure["first_done"]["microseconds"].get<std::int64_t>(), shortest);
            if (figure["name"] != "write_without_cache") {
                EXPECT_EQ(figure["workers"].size(), 6u);
            }
        }
    }
    EXPECT_TRUE(dir.entries().empty());
}

// Each rank forces its files as soon as its own writing ends, and the second figure lasts until
// the last rank's data is on its device. Rank 1 is slowed in writing (16 writes of 100 ms),
// rank 0 in forcing its file (600 ms): rank 0's flush, the `flush` step, must start before rank 1
// is done writing and end within the second figure's time. Those slowed calls are the figures'
// longest, each with its rank.
TEST_F(Mpi, TheSecondFigureLastsUntilTheLastRanksDataIsOnItsDevice) {
    temporary_directory dir, elsewhere;
    const std::string results = elsewhere.path_name + "/run.json";
    const std::vector<std::string> arguments = slowed_ranks_on(
        {"SLOW_FSYNC=0:600", "SLOW_WRITE=1:100"}, 2, dir.path_name,
        {"-thread", "1", "-file_number", "1", "-file", "1", "-block", "64", "-cache", "0", "-json", results});
    child_process process;
    const json document = results_of_run(process, arguments, results);
    ASSERT_FALSE(document.is_discarded()) << process.text << process.error_text;
    const json& pass = document["passes"][0];
    const json written = named(pass["figures"], "write_with_cache");
    const json forced = named(pass["figures"], "write_without_cache");
    const json flush = named(pass["steps"], "flush");
    ASSERT_FALSE(written.is_null() || forced.is_null() || flush.is_null()) << pass.dump(1);
    const auto time_of = [](const json& entry) { return entry["microseconds"].get<std::int64_t>(); };
    const auto start_of = [](const json& entry) { return entry["start_us"].get<std::int64_t>(); };
    const std::int64_t slow_writing = time_of(written["ranks"][1]);
    ASSERT_GE(slow_writing, 16 * 100000) << "the write of rank 1 was not slowed";
    ASSERT_GE(time_of(flush), 600000) << "the flush of rank 0 was not slowed";

    EXPECT_LT(start_of(flush), start_of(written) + slow_writing) << "rank 0 waited for rank 1 before its flush";
    EXPECT_GE(start_of(forced) + time_of(forced), start_of(flush) + time_of(flush))
        << "the second figure ends before rank 0's data is on its device";
    EXPECT_EQ(start_of(forced), start_of(written));
    for (int rank = 0; rank < 2; ++rank) EXPECT_GE(time_of(forced["ranks"][rank]), time_of(written["ranks"][rank]));
    EXPECT_GE(time_of(forced["ranks"][0]), time_of(written["ranks"][0]) + 600000);

    // The calls' times add over the ranks, and the longest calls are the slowed rank's.
    EXPECT_EQ(written["latency"]["count"], 2 * 16);
    // Each read counts its blocks, not the end of each file.
    for (const char* read : {"read_with_cache", "read_without_cache"})
        EXPECT_EQ(named(pass["figures"], read)["latency"]["count"], 2 * 16) << read;
    ASSERT_EQ(written["stalls"].size(), 10u);
    for (const json& stall : written["stalls"]) {
        EXPECT_EQ(stall["rank"], 1) << stall;
        EXPECT_GE(stall["duration_us"].get<double>(), 100000) << stall;
    }
    EXPECT_EQ(forced["latency"]["count"], 2);
    EXPECT_EQ(forced["stalls"][0]["rank"], 0) << forced["stalls"];
    EXPECT_GE(forced["stalls"][0]["duration_us"].get<double>(), 600000) << forced["stalls"];
    EXPECT_TRUE(forced["stalls"][0]["offset"].is_null());
    EXPECT_TRUE(dir.entries().empty());
}

// A rank whose directory is in memory says so, once and by its rank, beside a rank on a disk,
// which says nothing; the results file gives each rank's file system.
TEST_F(Mpi, EachRanksMemoryNotesComeOnceWithItsRank) {
    const std::string parent = disk_backed_parent(), shared_memory = "/dev/shm";
    if (parent.empty()) GTEST_SKIP() << "neither the temp directory nor /var/tmp is on a disk-backed filesystem";
    if (!on_memory_file_system(shared_memory)) GTEST_SKIP() << shared_memory << " is not a tmpfs here";
    temporary_directory disk(parent), memory(shared_memory), elsewhere;
    ASSERT_FALSE(memory.path_name.empty());
    const std::string results = elsewhere.path_name + "/run.json";
    const std::vector<std::string> settings{"-thread", "1", "-file_number", "2",    "-file", "2",
                                            "-cache",  "0", "-json",        results};
    std::vector<std::string> arguments = ranks_on(1, disk.path_name, settings);
    arguments.push_back(":");
    for (const std::string& argument : ranks_on(1, memory.path_name, settings)) arguments.push_back(argument);
    child_process process;
    const json document = results_of_run(process, arguments, results);
    ASSERT_FALSE(document.is_discarded()) << process.text << process.error_text;
    const json& details = document["cluster"]["rank_details"];
    ASSERT_EQ(details.size(), 2u);
    EXPECT_EQ(details[0]["memory_backed"], false);
    EXPECT_NE(details[0]["file_system"], "tmpfs");
    EXPECT_NE(details[0]["file_system"], "");
    EXPECT_EQ(details[1]["memory_backed"], true);
    EXPECT_EQ(details[1]["file_system"], "tmpfs");

    const std::string rank_1 = "Note: rank 1 (" + details[1]["host"].get<std::string>() + "): ";
    EXPECT_EQ(occurrences(process.text, rank_1 + memory.path_name +
                                            "/ is in memory (tmpfs): these figures are memory speeds, not a disk's.\n"),
              1)
        << process.text;
    EXPECT_EQ(occurrences(process.text, rank_1 + "100 % of the test files are still in the OS cache: the next figure "
                                                 "is not the disk's own speed.\n"),
              1)
        << process.text;
    // The two above and the ranks' note after the banner: nothing of rank 0.
    EXPECT_EQ(occurrences(process.text, "Note: "), 3) << process.text;
    EXPECT_TRUE(disk.entries().empty());
    EXPECT_TRUE(memory.entries().empty());
}

// Two nodes made on this machine (support/local_rsh.sh): each rank reads, and verifies, the
// files of the rank that holds its place on the other node.
TEST_F(Mpi, OnTwoNodesEachRankReadsAndVerifiesTheOtherNodesFiles) {
    temporary_directory dir, elsewhere, nodes;
    setenv("QUORLANE_NODE_TMP", nodes.path_name.c_str(), 1);
    const std::string results = elsewhere.path_name + "/run.json";
    std::vector<std::string> arguments{"--mca",         "btl",     "tcp,self", "--mca",
                                       "plm_rsh_agent", LOCAL_RSH, "--host",   "127.0.0.2:2,127.0.0.3:2"};
    for (const std::string& argument :
         ranks_on(4, dir.path_name, {"-file", "2", "-block", "64", "-cache", "0", "-verify", "-json", results}))
        arguments.push_back(argument);
    child_process process;
    const json document = results_of_run(process, arguments, results);
    unsetenv("QUORLANE_NODE_TMP");
    ASSERT_FALSE(document.is_discarded()) << process.text << process.error_text;
    EXPECT_EQ(document["cluster"]["nodes"], 2);
    for (const json& rank : document["cluster"]["rank_details"])
        EXPECT_EQ(rank["reads_files_of"], (rank["rank"].get<int>() + 2) % 4);
    EXPECT_EQ(document["verification"]["bytes_verified"].get<std::uint64_t>(), 2 * 4 * 2 * 1048576ull);
    EXPECT_TRUE(dir.entries().empty());
}

// Ranks given different directories through mpirun's `A : B` form, the second a small tmpfs:
// full from the start, the run is refused; out of inodes, its rank fails in the write phase.
// Either way every rank ends with status 1, rank 0 names the rank, and no file is left.
TEST_F(Mpi, ARankThatCannotWriteEndsEveryRankAndNoFileIsLeft) {
    temporary_directory dir;
    const std::string shared = dir.path_name + "/shared", small = dir.path_name + "/small";
    std::filesystem::create_directory(shared);
    std::filesystem::create_directory(small);
    struct small_disk {
        const char* options;
        bool fill;
        const char* error;
    };
    for (const small_disk disk : {small_disk{"8m", true, "Sorry, the run needs 16 MiB of free space"},
                                  small_disk{"64m,nr_inodes=4", false, "Error 22, Cannot open the file"}}) {
        SCOPED_TRACE(disk.options);
        tmpfs_mount mount(small, disk.options);
        if (!mount.mounted) GTEST_SKIP() << mount.reason;
        if (disk.fill) fill_the_disk(small, "full");
        const std::vector<std::string> settings{"-thread", "2", "-file_number", "4", "-file", "2", "-cache", "0"};
        std::vector<std::string> arguments = ranks_on(2, shared, settings);
        arguments.push_back(":");
        for (const std::string& argument : ranks_on(1, small, settings)) arguments.push_back(argument);
        child_process process;
        ASSERT_TRUE(launch_mpirun(process, arguments));
        finish(process);
        EXPECT_EQ(process.status, 1) << process.text;
        EXPECT_NE(process.text.find(disk.error), std::string::npos) << process.text;
        EXPECT_NE(process.text.find("Note: rank 2 of 3, on "), std::string::npos) << process.text;
        EXPECT_EQ(process.text.find(result_end), std::string::npos) << process.text;
        EXPECT_TRUE(std::filesystem::is_empty(shared));
        std::filesystem::remove(small + "/full");
        EXPECT_TRUE(std::filesystem::is_empty(small));
    }
}

// mpirun passes Ctrl+C on to every rank as SIGTERM and kills them all once one has ended: each
// removes its files at once, in the write phase, while its flush waits on the device, or in
// the reads, and none ends before all have. mpirun passes the signal on a second later: rank
// 0's slowed I/O in the phase the signal is sent in keeps the run from ending first.
TEST_F(Mpi, CtrlCOnMpirunLeavesNoFile) {
    temporary_directory dir;
    // Rank 0 slowed in the phase the signal is sent in, so that it lands there on any machine.
    const std::pair<const char*, const char*> phases[] = {{"Writing time with cache ram ...", "SLOW_WRITE=0:20"},
                                                          {"Writing time without cache ram ...", "SLOW_FSYNC=0:300"},
                                                          {"Writing time without cache ram  : ", "SLOW_READ=0:20"}};
    for (const auto& [phase, slowed] : phases) {
        SCOPED_TRACE(phase);
        child_process process;
        const std::vector<std::string> arguments =
            slowed_ranks_on({slowed}, 3, dir.path_name,
                            {"-thread", "2", "-file_number", "2", "-file", "4", "-block", "4", "-cache", "0"});
        ASSERT_TRUE(launch_mpirun(process, arguments));
        ASSERT_TRUE(wait_for_text(process, phase, timeout_ms)) << process.text;
        ASSERT_EQ(kill(process.pid, SIGINT), 0);
        finish(process);
        EXPECT_NE(process.status, 0);
        EXPECT_NE(process.text.find("Interrupted: the run's files have been removed.\n"), std::string::npos)
            << process.text;
        EXPECT_TRUE(dir.entries().empty());
    }
}

// A refusal before the run, on every rank or on one alone, and options that differ on a rank but
// rank 0: said once, by rank 0, with the rank that met it; every rank ends with status 1,
// without MPI's abort, and no file is written.
TEST_F(Mpi, ARefusalBeforeTheRunIsSaidOnceByRankZeroWithTheRank) {
    temporary_directory dir, elsewhere;
    const std::string missing = dir.path_name + "/missing", results = elsewhere.path_name + "/run.json";
    const std::vector<std::string> settings{"-path", dir.path_name, "-file", "1", "-cache", "0"};
    std::vector<std::string> with_results = settings;
    with_results.insert(with_results.end(), {"-json", results});
    struct refusal {
        const char* name;
        std::vector<std::string> arguments;
        std::string message;
        std::string note;
    };
    const refusal refusals[] = {
        {"the same bad option on every rank", ranks_on(3, dir.path_name, {"-thread", "0"}),
         "Sorry, the argument -thread must be between 1 and 100\n", "Note: rank 0 of 3, on "},
        {"a -path missing on one rank", ranks_and_one(2, settings, {"-path", missing, "-file", "1", "-cache", "0"}),
         "Sorry, the argument -path must be an existing pointeur_repertoire\n",
         ", with -path " + missing + ", met this error.\n"},
        {"a -json on one rank but rank 0", ranks_and_one(2, settings, with_results),
         "Sorry, every rank must be given the same options, -path aside\n", "Note: rank 2 of 3, on "},
    };
    for (const refusal& refused : refusals) {
        SCOPED_TRACE(refused.name);
        child_process process;
        ASSERT_TRUE(launch_mpirun(process, refused.arguments));
        finish(process);
        EXPECT_EQ(process.status, 1) << process.text << process.error_text;
        EXPECT_EQ(occurrences(process.text, refused.message), 1) << process.text;
        EXPECT_EQ(occurrences(process.text, refused.note), 1) << process.text;
        EXPECT_EQ(occurrences(process.text, "Quorlane "), 1) << process.text;
        EXPECT_EQ(process.text.find("Interrupted"), std::string::npos) << process.text;
        EXPECT_EQ(process.error_text.find("MPI_ABORT"), std::string::npos) << process.error_text;
        EXPECT_TRUE(dir.entries().empty());
        EXPECT_TRUE(elsewhere.entries().empty());
    }
}

// A rank killed in the write phase never answers: rank 0 says which, and where its files may
// remain, instead of saying every file is removed; the others remove their own.
TEST_F(Mpi, AKilledRankIsNamedWithTheDirectoryItsFilesMayRemainIn) {
    temporary_directory dir;
    const std::vector<std::string> arguments =
        slowed_ranks_on({"SLOW_WRITE=1:200"}, 3, dir.path_name,
                        {"-thread", "1", "-file_number", "2", "-file", "4", "-block", "64", "-cache", "0"});
    child_process process;
    ASSERT_TRUE(launch_mpirun(process, arguments));
    ASSERT_TRUE(wait_for_text(process, "Writing time with cache ram ...", timeout_ms)) << process.text;
    // Every rank's first file exists once three are there (each rank's marker aside); rank 1
    // then writes slowly.
    const auto test_files = [&dir] {
        const std::vector<std::string> names = dir.entries();
        return std::count_if(names.begin(), names.end(), [](const std::string& name) { return !is_marker_name(name); });
    };
    for (int waited = 0; test_files() < 3 && waited < 200; ++waited) usleep(50000);
    ASSERT_GE(test_files(), 3);
    const pid_t rank_1 = rank_process(process.pid, 1);
    ASSERT_GT(rank_1, 0);
    ASSERT_EQ(kill(rank_1, SIGKILL), 0);
    finish(process);
    EXPECT_NE(process.status, 0);
    EXPECT_EQ(process.text.find("Interrupted: the run's files have been removed."), std::string::npos) << process.text;
    EXPECT_NE(process.text.find("Interrupted: the files of the ranks that answered have been removed; rank 1 ("),
              std::string::npos)
        << process.text;
    EXPECT_NE(process.text.find(") did not answer: its files may remain in " + dir.path_name + "/ (vellumcrate_*).\n"),
              std::string::npos)
        << process.text;
    // Only rank 1's: at most its two test files, and its marker, which names them.
    const std::vector<std::string> left = dir.entries();
    EXPECT_EQ(std::count_if(left.begin(), left.end(), is_marker_name), 1) << ::testing::PrintToString(left);
    EXPECT_LE(left.size(), 3u);
    for (const std::string& name : left) EXPECT_EQ(name.rfind("vellumcrate_", 0), 0u) << name;
}

// The page of a run of three ranks, rank 1 slowed in writing: the timeline draws each phase, a
// bar for each rank in each phase, rank 1's the longest of the write, and the settings give the
// ranks' total beside one rank's.
TEST_F(Mpi, ThePageShowsEachRanksTimeAndTheRanksTotals) {
    temporary_directory dir, elsewhere;
    const std::string results = elsewhere.path_name + "/run.json", page_name = elsewhere.path_name + "/run.html";
    const std::vector<std::string> arguments =
        slowed_ranks_on({"SLOW_WRITE=1:100"}, 3, dir.path_name,
                        {"-thread", "1", "-file_number", "1", "-file", "1", "-block", "64", "-cache", "0", "-json",
                         results, "-html", page_name});
    child_process process;
    const json document = results_of_run(process, arguments, results);
    ASSERT_FALSE(document.is_discarded()) << process.text << process.error_text;
    const json written = named(document["passes"][0]["figures"], "write_with_cache");
    ASSERT_GE(written["ranks"][1]["microseconds"].get<std::int64_t>(), 16 * 100000) << "rank 1 was not slowed";

    std::ifstream stream(page_name);
    const std::string page((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    EXPECT_EQ(occurrences(page, "3 ranks on 1 node: "), 1);
    EXPECT_NE(page.find("<td>1 a rank, 3 for the 3 ranks</td>"), std::string::npos) << "workers";
    EXPECT_NE(page.find("<td>1 MiB a rank, 3 MiB for the 3 ranks</td>"), std::string::npos) << "data per pass";
    const std::size_t timeline = page.find("<h2>Timeline</h2>"), ranks = page.find("<h2>Ranks</h2>");
    ASSERT_NE(timeline, std::string::npos);
    ASSERT_NE(ranks, std::string::npos);
    EXPECT_EQ(occurrences(page.substr(timeline, ranks - timeline), "<polyline"), 3) << "one line a charted phase";
    // Four phases of three ranks; the longest bar of a phase spans the whole width.
    const std::string bars = page.substr(ranks, page.find("</svg>", ranks) - ranks);
    EXPECT_EQ(occurrences(bars, "<rect "), 4 * 3);
    const std::size_t rank_1_write = bars.find("<title>Rank 1: ");
    ASSERT_NE(rank_1_write, std::string::npos);
    const std::size_t bar_start = bars.rfind("<rect ", rank_1_write);
    EXPECT_NE(bars.substr(bar_start, rank_1_write - bar_start).find("width=\"620.0\""), std::string::npos)
        << bars.substr(bar_start, rank_1_write - bar_start);
    EXPECT_TRUE(dir.entries().empty());
}

// mpirun killed with SIGKILL, its ranks too, as a node's power cut would: every rank's files
// stay. A later quorlane in that directory says how many and how large, and -clean removes them.
TEST_F(Mpi, AKilledJobsFilesAreFoundAndCleanedByALaterRun) {
    temporary_directory dir;
    const std::vector<std::string> arguments =
        slowed_ranks_on({"SLOW_WRITE=0:200", "SLOW_WRITE=1:200"}, 2, dir.path_name,
                        {"-thread", "1", "-file_number", "2", "-file", "4", "-block", "64", "-cache", "0"});
    child_process process;
    ASSERT_TRUE(launch_mpirun(process, arguments));
    ASSERT_TRUE(wait_for_text(process, "Writing time with cache ram ...", timeout_ms)) << process.text;
    const auto test_files = [&dir] {
        std::vector<std::string> names = dir.entries();
        names.erase(std::remove_if(names.begin(), names.end(), is_marker_name), names.end());
        return names;
    };
    for (int waited = 0; test_files().size() < 2 && waited < 200; ++waited) usleep(50000);
    ASSERT_GE(test_files().size(), 2u);
    const pid_t ranks[] = {rank_process(process.pid, 0), rank_process(process.pid, 1)};
    ASSERT_EQ(kill(process.pid, SIGKILL), 0);
    for (const pid_t rank : ranks)
        if (rank > 0) kill(rank, SIGKILL);
    finish(process);
    // Reaped by init once their parent is gone: until then they count as running.
    for (const pid_t rank : ranks)
        for (int waited = 0; rank > 0 && kill(rank, 0) == 0 && waited < 200; ++waited) usleep(50000);
    const std::vector<std::string> left = test_files();
    ASSERT_FALSE(left.empty());
    long long bytes = 0;
    for (const std::string& name : left) bytes += size_of_file(dir.path_name + "/" + name);
    const std::string said =
        std::to_string(left.size()) + " files, " + binary_size(static_cast<std::uint64_t>(bytes));

    const execution_result told = quorlane({"-path", dir.path_name, "-file", "1", "-cache", "0"});
    EXPECT_NE(told.output.find("Note: " + dir.path_name + "/ holds " + said), std::string::npos) << told.output;
    const execution_result cleaned = quorlane({"-path", dir.path_name, "-file", "1", "-cache", "0", "-clean"});
    EXPECT_EQ(cleaned.status, 0) << cleaned.output;
    EXPECT_NE(cleaned.output.find("Note: removed " + said), std::string::npos) << cleaned.output;
    EXPECT_TRUE(dir.entries().empty()) << ::testing::PrintToString(dir.entries());
}
