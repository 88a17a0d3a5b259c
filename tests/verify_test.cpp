// -verify through the real binary: a clean run passes with its four figures; a file changed
// between the write and the reads (the run held stopped meanwhile) ends the run with the
// file, the byte and what the sector there holds, status 1 and nothing left; the damage is told
// by the sectors it covers whatever the block size; the results file and the report page say
// the same. The comparison itself, on a long damage, block by block as the reader feeds it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>
#include <random>
#include <regex>

#include "run/run_state.hpp"
#include "data/stamp.hpp"
#include "data/verify.hpp"
#include "results/record.hpp"
#include "run/file_name.hpp"
#include "settings/settings.hpp"
#include "run/run_marker.hpp"
#include "support/arguments.hpp"
#include "support/file_system.hpp"
#include "support/process.hpp"
#include "support/results_schema.hpp"
#include "support/temporary_directory.hpp"

namespace {

constexpr int timeout_ms = 120000;
constexpr off_t sector = 4096;
constexpr off_t file_bytes = 16 * 1048576;  // -file 16 in 64 KiB blocks: whole blocks

std::string read_at(const std::string& name, off_t offset, std::size_t size) {
    std::string bytes(size, '\0');
    const int descriptor = open(name.c_str(), O_RDONLY);
    EXPECT_EQ(pread(descriptor, bytes.data(), size, offset), static_cast<ssize_t>(size));
    close(descriptor);
    return bytes;
}

void write_at(const std::string& name, off_t offset, const std::string& bytes) {
    const int descriptor = open(name.c_str(), O_WRONLY);
    EXPECT_EQ(pwrite(descriptor, bytes.data(), bytes.size(), offset), static_cast<ssize_t>(bytes.size()));
    close(descriptor);
}

// Runs with -verify, blocks of `block` KiB and `more` options, holds the run stopped once its
// files are written, lets `change` alter them (given the two files of different workers), then
// lets it read them back.
void run_with_change(child_process& process, const std::string& directory,
                     const std::function<void(const std::string&, const std::string&)>& change,
                     const std::vector<std::string>& more = {}, const std::string& block = "64") {
    std::vector<std::string> arguments{"-path",  directory, "-thread", "2", "-file",  "16",
                                       "-block", block,     "-cache",  "0", "-verify"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    EXPECT_TRUE(launch(process, arguments));
    EXPECT_TRUE(wait_for_results(process, 1, timeout_ms)) << process.text;
    kill(process.pid, SIGSTOP);
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        if (!is_marker_name(entry.path().filename().string())) files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files.size(), 2u);
    if (files.size() == 2) change(files[0], files[1]);
    kill(process.pid, SIGCONT);
    finish(process);
}

void expect_diagnosis(const child_process& run, const std::string& file, off_t byte, const std::string& second) {
    EXPECT_EQ(run.status, 1) << run.text;
    const std::string error = "\nError 35, The data read back differs from what was written: " + file + " at byte " +
                              std::to_string(byte) + "\n" + second + "\n";
    EXPECT_NE(run.text.find(error), std::string::npos) << run.text;
    // No read figure; a progress sample may come before the error, as the clock's second turns.
    EXPECT_FALSE(std::regex_search(run.text, std::regex("Reading time[^\r\n]* Mo/s {10}\n"))) << run.text;
}

}  // namespace

TEST(Verify, ACleanRunPassesWithItsFourFigures) {
    temporary_directory dir;
    child_process run;
    ASSERT_TRUE(launch(run, {"-path", dir.path_name, "-thread", "2", "-file_number", "2", "-file", "3", "-block", "3",
                             "-cache", "0", "-verify"}));
    finish(run);
    EXPECT_EQ(run.status, 0) << run.text;
    EXPECT_EQ(occurrences(run.text, " Mo/s          \n"), 4) << run.text;
    EXPECT_TRUE(dir.entries().empty());
}

// On a disk, so that forcing the files to it holds the run long enough to be stopped before
// it reads them.
TEST(Verify, EachChangeIsFoundWithItsDiagnosisAndTheRunLeavesNothing) {
    const std::string parent = disk_backed_parent();
    if (parent.empty()) GTEST_SKIP() << "no disk-backed directory: the flush would not hold the run";
    temporary_directory dir(parent);
    const off_t at = 37 * sector;

    std::string target, source;
    child_process flipped;
    run_with_change(flipped, dir.path_name, [&](const std::string& first, const std::string&) {
        target = first;
        std::string byte = read_at(target, at + 100, 1);
        byte[0] ^= 0x10;
        write_at(target, at + 100, byte);
    });
    const std::string byte = std::to_string(at + 100);
    expect_diagnosis(flipped, target, at + 100,
                     "1 bit differs\nthe damage runs from byte " + byte + " to byte " + byte + ": 1 bit differs over it");

    // The results file and the report page carry the same diagnosis.
    temporary_directory reports;
    child_process copied;
    off_t copied_from = 5 * sector;
    run_with_change(copied, dir.path_name,
                    [&](const std::string& first, const std::string& second) {
                        target = first;
                        source = second;
                        // A sector whose first byte differs from the one it replaces, so that the
                        // difference starts where the sector does (one in 256 would share it).
                        const char first_byte = read_at(target, at, 1)[0];
                        while (read_at(source, copied_from, 1)[0] == first_byte) copied_from += sector;
                        write_at(target, at, read_at(source, copied_from, sector));
                    },
                    {"-json", reports.path_name + "/run.json", "-html", reports.path_name + "/run.html"});
    const std::string diagnosis = "it holds the data written to " + source + " at byte " + std::to_string(copied_from);
    expect_diagnosis(copied, target, at, diagnosis);
    std::ifstream json_stream(reports.path_name + "/run.json");
    const nlohmann::json mismatch = nlohmann::json::parse(json_stream)["verification"]["mismatch"];
    EXPECT_EQ(mismatch["file"], target);
    EXPECT_EQ(mismatch["byte"], at);
    EXPECT_EQ(mismatch["diagnosis"], diagnosis);
    std::ifstream page_stream(reports.path_name + "/run.html");
    const std::string page((std::istreambuf_iterator<char>(page_stream)), std::istreambuf_iterator<char>());
    EXPECT_NE(page.find("The data read back differs from what was written: " + target + " at byte " +
                        std::to_string(at) + ": " + diagnosis),
              std::string::npos);
    EXPECT_EQ(occurrences(page, "differs from what was written"), 1) << "said once, on the page too";

    child_process earlier;
    run_with_change(earlier, dir.path_name, [&](const std::string& first, const std::string&) {
        target = first;
        std::string other(sector, '\0');
        std::mt19937_64 random(7);
        for (char& byte : other) byte = static_cast<char>(random());
        // Another run's stamp whose first byte differs from this run's, so that the difference
        // starts where the sector does (one run in 256 would otherwise share it).
        const char first_byte = read_at(target, at, 1)[0];
        do
            write_stamp(sector_stamp{random(), 0, 0, static_cast<std::uint64_t>(at)},
                        reinterpret_cast<unsigned char*>(other.data()));
        while (other[0] == first_byte);
        write_at(target, at, other);
    });
    expect_diagnosis(earlier, target, at, "it holds data from an earlier run");

    child_process truncated;
    run_with_change(truncated, dir.path_name, [&](const std::string& first, const std::string&) {
        target = first;
        EXPECT_EQ(truncate(target.c_str(), at), 0);
    });
    expect_diagnosis(truncated, target, at, "the file ends there, " + std::to_string(file_bytes - at) + " bytes short");

    child_process grown;
    run_with_change(grown, dir.path_name, [&](const std::string& first, const std::string&) {
        target = first;
        write_at(target, file_bytes, std::string(100, 'x'));
    });
    expect_diagnosis(grown, target, file_bytes,
                     "the file goes on past the " + std::to_string(file_bytes) + " bytes written to it");
    EXPECT_TRUE(dir.entries().empty());
}

namespace {

std::uint64_t bits_between(const std::string& a, const std::string& b) {
    std::uint64_t bits = 0;
    for (std::size_t k = 0; k < a.size(); ++k)
        bits += std::popcount(static_cast<unsigned>(static_cast<unsigned char>(a[k] ^ b[k])));
    return bits;
}

}  // namespace

// 3 KiB of another file's bytes over the end of sector 1 (bytes 5120 to 8191) and sector 2 whole
// from that file's sector 5: one run of damaged sectors, told alike at every block size, the
// bits counted over both sectors, sector 3 (which matches) ending it.
TEST(Verify, TheDamageIsToldByTheSectorsItCoversWhateverTheBlockSize) {
    const std::string parent = disk_backed_parent();
    if (parent.empty()) GTEST_SKIP() << "no disk-backed directory: the flush would not hold the run";
    temporary_directory dir(parent);
    temporary_directory reports;
    for (const std::string block : {"1", "3", "4", "100"}) {
        std::string target, source, before, after;
        child_process run;
        run_with_change(run, dir.path_name,
                        [&](const std::string& first, const std::string& second) {
                            target = first;
                            source = second;
                            before = read_at(target, 5120, 3 * sector - 5120);
                            write_at(target, 5120, read_at(source, 5120, 3072));
                            write_at(target, 2 * sector, read_at(source, 5 * sector, sector));
                            after = read_at(target, 5120, 3 * sector - 5120);
                        },
                        {"-json", reports.path_name + "/run.json", "-html", reports.path_name + "/run.html"},
                        block);
        ASSERT_EQ(before.size(), after.size());
        const auto first = std::mismatch(before.begin(), before.end(), after.begin()).first - before.begin();
        const auto last = std::mismatch(before.rbegin(), before.rend(), after.rbegin()).first - before.rbegin();
        const off_t first_byte = 5120 + first;
        const off_t last_byte = 3 * sector - 1 - last;
        const std::uint64_t sector_bits = bits_between(before.substr(0, 3072), after.substr(0, 3072));
        const std::uint64_t bits = bits_between(before, after);
        const std::string diagnosis = std::to_string(sector_bits) + " bits differ";
        const std::vector<std::string> details{
            "the damage runs from byte " + std::to_string(first_byte) + " to byte " + std::to_string(last_byte) +
                ": " + std::to_string(bits) + " bits differ over it",
            "bytes 8192 to 12287 hold the data written to " + source + " at bytes 20480 to 24575"};
        expect_diagnosis(run, target, first_byte, diagnosis + "\n" + details[0] + "\n" + details[1]);
        EXPECT_EQ(occurrences(run.text, "\nthe damage"), 1) << run.text;
        EXPECT_EQ(occurrences(run.text, "\nbytes "), 1) << run.text;

        // The results file and the report page, as the console; the file as its schema says.
        EXPECT_EQ(results_schema_problems(reports.path_name + "/run.json"), "");
        std::ifstream json_stream(reports.path_name + "/run.json");
        const nlohmann::json mismatch = nlohmann::json::parse(json_stream)["verification"]["mismatch"];
        EXPECT_EQ(mismatch["byte"], first_byte);
        EXPECT_EQ(mismatch["diagnosis"], diagnosis);
        EXPECT_EQ(mismatch["details"], nlohmann::json(details));
        EXPECT_EQ(mismatch["damage"]["last_byte"], last_byte);
        EXPECT_EQ(mismatch["damage"]["bits_differ"], bits);
        EXPECT_EQ(mismatch["damage"]["may_go_on"], false);
        std::ifstream page_stream(reports.path_name + "/run.html");
        const std::string page((std::istreambuf_iterator<char>(page_stream)), std::istreambuf_iterator<char>());
        EXPECT_NE(page.find(": " + diagnosis + "; " + details[0] + "; bytes 8192 to 12287 hold"), std::string::npos)
            << block;
    }
    EXPECT_TRUE(dir.entries().empty());
}

namespace {

// File 0 of writer 0 as written in blocks of `block_kib`, damaged from sector 10: sectors 10
// and 11 hold its sectors 100 and 101, sectors 12 and 13 sectors of another run, and 2 MiB of
// zeros follow. Compares it block by block as the reader does; true when the mismatch found
// says so, else its message is printed.
bool compare_long_damage(const run_settings& settings, std::uint32_t block_kib) {
    const std::size_t block = block_kib * 1024;
    const std::size_t size = (4 * 1048576 / block + 1) * block;
    data_pattern pattern;
    if (!make_pattern(pattern, pass_identity(0, 0), 0, block, 4096)) return false;
    std::string written(size, '\0');
    for (std::size_t offset = 0; offset < size; offset += block)
        std::memcpy(written.data() + offset, pattern_block(pattern, 0, offset), block);
    std::string read = written;
    read.replace(10 * sector, 2 * sector, written.substr(100 * sector, 2 * sector));
    std::mt19937_64 random(block_kib);
    for (off_t k = 12 * sector; k < 14 * sector; ++k) read[k] = static_cast<char>(random());
    for (const off_t at : {12 * sector, 13 * sector})
        write_stamp(sector_stamp{random(), 0, 0, static_cast<std::uint64_t>(at)},
                    reinterpret_cast<unsigned char*>(read.data() + at));
    std::fill(read.begin() + 14 * sector, read.begin() + 14 * sector + 2097152, '\0');

    run_state run{settings};
    run.writer_prefixes = {"vellumcrate_abcdefgh"};
    file_check check;
    check.run = &run;
    mismatch_record found;
    bool reported = false;
    for (std::size_t offset = 0; offset < size && !reported; offset += block)
        reported = !check_block(pattern, pattern_block(pattern, 0, offset), check, 0, offset,
                                reinterpret_cast<const unsigned char*>(read.data()) + offset, block, "damaged", found);

    const std::uint64_t first = std::mismatch(read.begin(), read.end(), written.begin()).first - read.begin();
    const std::uint64_t window_end = 10 * sector + 1048576;
    std::uint64_t last = window_end - 1;
    while (read[last] == written[last]) --last;
    std::uint64_t bits = 0;
    for (std::uint64_t k = first; k <= last; ++k)
        bits += std::popcount(static_cast<unsigned>(static_cast<unsigned char>(read[k] ^ written[k])));
    const std::string name = settings.target_directory + run.writer_prefixes[0] + "0";
    const std::vector<std::string> details{
        "the damage runs from byte " + std::to_string(first) + " to byte " + std::to_string(last) + ": " +
            std::to_string(bits) + " bits differ over it",
        "the comparison stopped at byte " + std::to_string(window_end - 1) + ": the damage may go on past it",
        "bytes 40960 to 49151 hold the data written to " + name + " at bytes 409600 to 417791",
        "bytes 49152 to 57343 hold data from an earlier run"};
    const bool as_expected = reported && found.byte == first &&
                             found.diagnosis == "it holds the data written to " + name + " at byte " +
                                                    std::to_string(409600 + first - 10 * sector) &&
                             found.damage && found.last_byte == last && found.bits == bits && found.may_go_on &&
                             found.details == details;
    if (!as_expected) std::fputs(mismatch_message(found).c_str(), stderr);
    return as_expected;
}

}  // namespace

// Past its window the damage is said to go on; the comparison reads no further. Consecutive
// sectors from consecutive places, and from other runs, are told as one stretch each.
TEST(Verify, ALongDamageIsFollowedForOneMebibyteAndToldByStretches) {
    temporary_directory dir;
    const run_settings settings = apply_arguments({"-path", dir.path_name, "-cache", "0"});
    for (const std::uint32_t block_kib : {1u, 64u, 1024u})
        EXPECT_TRUE(compare_long_damage(settings, block_kib)) << block_kib << " KiB blocks";
}
