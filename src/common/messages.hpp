// Every text the program prints. Scripts read these lines: change none without need.
#pragma once

#include <cstring>

namespace messages {

// The banner is the version line and a blank line; -version prints the version line alone.
inline constexpr const char* version_line = "Quorlane %s - sequential disk throughput benchmark\n";
inline constexpr const char* blank_line = "\n";

// The help: its heading, then a line for each option of the option table (its name, its text,
// its default, and a line under it if it has one), then the sample line; %c is the directory
// separator.
inline constexpr const char* help_heading = "GENERAL OPTIONS";
inline constexpr const char* help_line = "\n%-14s%s";
inline constexpr const char* help_line_with_default = "\n%-14s%-35sDefaut: %s";
inline constexpr const char* help_sample =
    "\n"
    "\nSample : Quorlane.exe -path %s%c -block 100 -file 1024 -thread 1 -cache 1"
    "\n";
// Files of runs that ended without removing them (killed, crashed, a power cut): the directory,
// how many ("1 file", "3 files"), how large; with -clean, what was removed, and each failure.
inline constexpr const char* leftovers_found =
    "Note: %s holds %s, %s, left by runs that ended without removing them: -clean removes them.";
inline constexpr const char* leftovers_removed =
    "Note: removed %s, %s, left in %s by runs that ended without removing them.";
inline constexpr const char* leftover_not_removed =
    "Sorry, I can't remove %s, left by a run that ended without removing it : %s";
inline constexpr const char* one_file = "1 file";
inline constexpr const char* file_count = "%llu files";
// Shown in the sample line when TEMP is not set.
inline constexpr const char* temp_unset = "(null)";

inline constexpr const char* invalid_path = "Sorry, the argument -path must be an existing pointeur_repertoire";
inline constexpr const char* out_of_range = "Sorry, the argument %s must be between %u and %u";
inline constexpr const char* missing_value = "Sorry, the argument %s must be followed by a value";
inline constexpr const char* ignored_argument = "Note: ignored argument %s";
// A name Windows holds but UTF-8 can't (an unpaired surrogate): any other would be a look-alike.
inline constexpr const char* unconvertible_name =
    "Sorry, the argument %s names a file through an unpaired surrogate (invalid UTF-16), which this program can't carry unchanged";
inline constexpr const char* missing_path =
    "Sorry, you must choose the directory to test with the argument -path. "
    "For help, type Quorlane --help\n";
inline constexpr const char* too_many_open_files =
    "Sorry, the run needs %llu open files (-thread x -file_number) but this system leaves only %llu for them";
inline constexpr const char* not_enough_space =
    "Sorry, the run needs %llu MiB of free space but the disk has only %llu MiB free";
// After that refusal when the eviction file counts: its MiB and -cache's value.
inline constexpr const char* eviction_space = "Note: %llu MiB of it is the eviction file (-cache %u), which -cache 0 leaves out.";
// A FAT file system and its name, the largest file it holds, then the file that would not fit.
inline constexpr const char* fat_test_file =
    "Sorry, %s is on FAT (%s), which holds files of at most %llu bytes: each test file would be %llu bytes "
    "(-file %u, -block %u)";
inline constexpr const char* fat_eviction_file =
    "Sorry, %s is on FAT (%s), which holds files of at most %llu bytes: the eviction file would be %llu bytes "
    "(-cache %u)";
// -fill: the refusals, and the note of what the run will write: the percent, the size of all
// files, their number, per worker, and each file's size.
inline constexpr const char* fill_with_file_number =
    "Sorry, the arguments -fill and -file_number can't be given together: -fill sets the number of files";
inline constexpr const char* fill_unknown_space = "Sorry, -fill needs the free space of %s, which its file system does not tell";
inline constexpr const char* fill_too_small =
    "Sorry, -fill %u leaves no room in %s (%llu MiB free, less a margin) for one test file per thread (%u)";
// After it, when the eviction file takes the room: its MiB and -cache's value.
inline constexpr const char* fill_eviction =
    "Note: the eviction file takes %llu MiB of it (-cache %u), which -cache 0 leaves out.";
// The capacity check's verdict: what came back as written, of what was written, and where the
// data began to come back from another place.
inline constexpr const char* capacity_wrapped =
    "Note: this device holds about %s of the %s it offers: data written after %s came back in place of earlier data.";
// The same when that distance, counted in the order the data was written, is not what the
// device holds: the file system laid the data on the device in another order.
inline constexpr const char* capacity_wrapped_unordered =
    "Note: this device holds about %s of the %s it offers: data written later came back in place of earlier data.";
inline constexpr const char* capacity_short =
    "Note: this device holds about %s of the %s it offers: the rest did not come back as written.";
// Too little to tell a smaller capacity: the damaged sectors and the bits that differ in them,
// of what was written; the mismatch's lines follow.
inline constexpr const char* capacity_damaged =
    "Note: %s of the %s written did not come back as written (%s): that is damage, not a smaller capacity; the "
    "first is told below.";
inline constexpr const char* one_sector = "1 sector";
inline constexpr const char* sectors = "%llu sectors";
inline constexpr const char* one_bit_in_it = "1 bit differs in it";
inline constexpr const char* bits_in_it = "%llu bits differ in it";
inline constexpr const char* bits_in_them = "%llu bits differ in them";
// -time ended the read before every file was read: what was written, read back, and read back
// as written.
inline constexpr const char* capacity_cut_short =
    "Note: -time cut the capacity check short: of the %s written, %s was read back, %s of it as written; the rest "
    "was not checked.";
// The report page's band over the data the device did not keep.
inline constexpr const char* capacity_band_wrapped = "Not kept: came back in place of earlier data";
inline constexpr const char* capacity_band_short = "Not kept: did not come back as written";
inline constexpr const char* gigabytes = "%.1f GB";
inline constexpr const char* megabytes = "%.1f MB";
inline constexpr const char* fill_with_ranks = "Sorry, -fill is not available in quorlane-mpi: give each rank -file_number";
// The sizes as the report page writes them ("15.9 MiB", "1,000 KiB").
inline constexpr const char* fill_note = "Note: -fill %u: the run writes %s in %llu test files, %u per thread, of %s each.";
inline constexpr const char* fill_note_one_file = "Note: -fill %u: the run writes %s in 1 test file, 1 per thread.";
inline constexpr const char* output_failed = "Error, Cannot write to the standard output : %s";
inline constexpr const char* not_enough_memory = "Sorry, there is not enough memory for a block buffer of %u Ko";
// -direct: the directory's file system can't bypass the cache (the system's reason), or the
// block is not a whole number of what it needs.
inline constexpr const char* direct_unsupported = "Sorry, -direct is not possible in %s : %s";
inline constexpr const char* direct_block = "Sorry, with -direct the argument -block must be a multiple of %u Ko here";
inline constexpr const char* direct_note = "Note: unbuffered I/O: every phase bypasses the OS cache.";
// The reason when the file system accepts unbuffered opens but says it caches them anyway.
inline constexpr const char* direct_cached = "its file system serves direct I/O through the OS cache";
// Windows, -direct on a network share: the redirector honours unbuffered I/O, the server may not.
inline constexpr const char* direct_on_share =
    "Note: %s is on a network share: -direct bypasses this machine's cache, but the server's own cache may still serve the reads.";
// -direct with blocks that don't cover the disk's physical sectors (a 512e disk and -block 1):
// the block, the sector.
inline constexpr const char* direct_partial_sectors =
    "Note: -block %u Ko is not a multiple of the disk's physical sector (%u bytes): the drive reads and rewrites whole sectors for each unbuffered write, and the figures measure that.";
// After an unbuffered write, the share of the test files the OS cache holds all the same.
inline constexpr const char* direct_kept_cached =
    "Note: %llu %% of the test files are in the OS cache after an unbuffered write: this file system keeps "
    "them there whatever -direct asks, so the figures are not all the disk's own.";

// quorlane-mpi: the note after the banner (ranks, nodes, threads a rank); the note after an
// error, naming the rank and host that met it; the refusal of ranks given different options.
inline constexpr const char* ranks_note =
    "Note: ranks %u, nodes %u, threads per rank %u: each figure is all ranks' bytes over the time of the "
    "last rank done.";
inline constexpr const char* error_rank = "Note: rank %u of %u, on %s, met this error.";
// A refusal before the run, with the rank's -path as given.
inline constexpr const char* refusal_rank = "Note: rank %u of %u, on %s, with -path %s, met this error.";
inline constexpr const char* ranks_differ = "Sorry, every rank must be given the same options, -path aside";

// The results file and the report page: refused before the run (the option's name), or
// failing at its end.
inline constexpr const char* report_refused = "Sorry, the argument %s must name a file that can be written\n";
inline constexpr const char* report_write = "Error, Cannot write the results file %s : %s";
// The reasons of a refusal that are not the OS's.
inline constexpr const char* report_directory = "it is a directory";
inline constexpr const char* report_not_a_file = "it is neither a regular file nor a stream";
inline constexpr const char* report_same_file = "it is the results file of -json too";
inline constexpr const char* report_no_reader = "it is a FIFO that no process reads: start its reader first";
// At the save: the name no longer holds what it held before the run, and what it holds now is
// not the user's own file, so it is left alone.
inline constexpr const char* report_name_taken = "another user's file has taken its name since the run started";
// quorlane-report: an output that is one of the results files it reads, named as given.
inline constexpr const char* report_is_input = "it is the results file %s, which is read";
inline constexpr const char* page_write = "Error, Cannot write the report %s : %s";

// Phase status lines, progress labels and result lines.
inline constexpr const char* write_status = "\rWriting time with cache ram ...                   ";
inline constexpr const char* flush_status = "\rWriting time without cache ram ...";
// The four figures' labels, in the order the console prints them, as the console, the results
// file and the page show them.
inline constexpr const char* figure_labels[] = {"Writing time with cache ram", "Writing time without cache ram",
                                                "Reading time with cache ram", "Reading time without cache ram"};
// A figure's line starts with its label padded to 32 columns.
inline constexpr const char* console_label = "\r%-32s: ";
// Label, figure so far, dots text.
inline constexpr const char* progress = "%s%llu Mo/s%s";
inline constexpr const char* dots[] = {" .        ", " ..       ", " ...      ", " ....     ", " .....    "};
// With -fill or -time, after the dots: the share of the phase done, and the time it has left.
inline constexpr const char* share_done = "%3u %%";
inline constexpr const char* time_left = "  %s left";
// In its place once -time's deadline has passed, while the last calls end.
inline constexpr const char* finishing_in_flight = "  finishing the blocks in flight";
inline constexpr const char* seconds_left = "%llu s";
inline constexpr const char* minutes_left = "%llu min";
inline constexpr const char* hours_left = "%llu h %02llu min";
// Label, figure of the phase.
inline constexpr const char* result = "%s%llu Mo/s          \n";
// After it, when some bytes moved but fewer than 1 Mo/s: the rate in KB/s (10^3 bytes a second).
inline constexpr const char* under_one_mo = "Note: the figure above is %llu KB/s, under 1 Mo/s.";
// With -latency, after a figure's result line: what its calls took, then the longest call,
// where it happened (the worker, with several ranks "rank R, worker W") and when. The times
// are duration_ms or duration_s texts; the offset a size such as "1.5 GiB".
inline constexpr const char* latency_note = "Note: blocks took %s (median), %s (99.9 %%), %s at most.";
inline constexpr const char* flush_latency_note = "Note: forcing a file took %s (median), %s (99.9 %%), %s at most.";
inline constexpr const char* stall_note = "Note: the longest call took %s, %s into the phase: %s, file %u at %s.";
inline constexpr const char* flush_stall_note = "Note: the longest flush took %s, %s into the phase: %s, file %u.";
inline constexpr const char* stall_worker = "worker %u";
inline constexpr const char* stall_rank_worker = "rank %u, worker %u";
inline constexpr const char* duration_us = "%s \u00b5s";
inline constexpr const char* duration_ms = "%s ms";
inline constexpr const char* duration_s = "%s s";
// With -repeat: a heading before each pass's results, and the medians of the passes at the end
// with their minimum and maximum (figures rounded down, as every figure is).
inline constexpr const char* pass_heading = "Pass %u of %u\n";
inline constexpr const char* medians_heading = "Median of %u passes:\n";
inline constexpr const char* median_result = "%s%llu Mo/s          (min %llu, max %llu)\n";

// The worker's number and the system's reason.
inline constexpr const char* thread_creation = "Erreur : Impossible de creer le thread %u : %s";
inline constexpr const char* thread_join = "Erreur : Impossible de joindre le Thread %d";

// Fatal errors of the phases; the detail line names the file and the OS's reason.
inline constexpr const char* write_open =
    "Error 22, Cannot open the file, peraphs you need to change the limit of open file by "
    "process (1024)\n";
// The same when the disk or its table of files is full: the open-files limit is not the cause.
inline constexpr const char* write_open_full = "Error 22, Cannot open the file, the disk or its table of files is full\n";
// An open's message, `message`, for a disk or table of files that is full. By its text: each
// translation unit may hold its own copy of the literal.
inline const char* when_full(const char* message) {
    return std::strcmp(message, write_open) == 0 ? write_open_full : message;
}
inline constexpr const char* read_open = "Error 33, Cannot open the file\n";
inline constexpr const char* file_detail = "%s : %s";
inline constexpr const char* short_write = "Error 23, Cannot write the file %s : %s";
// short_write's reason when a block's write completed with less than the block, and no error.
inline constexpr const char* write_took_less = "the write took %llu of the block's %llu bytes at byte %llu";
inline constexpr const char* flush_failed = "Error 24, Cannot force the file to the disk %s : %s";
inline constexpr const char* read_failed = "Error 34, Cannot read the file %s : %s";
// -verify: the file and byte where what was read first differs from what was written, then
// what the sector there holds instead.
inline constexpr const char* data_differs =
    "Error 35, The data read back differs from what was written: %s at byte %llu\n";
inline constexpr const char* written_elsewhere = "it holds the data written to %s at byte %llu";
inline constexpr const char* earlier_run = "it holds data from an earlier run";
inline constexpr const char* no_data_of_this_run = "it holds no data this run wrote";
inline constexpr const char* bits_differ = "%llu bits differ";
inline constexpr const char* one_bit_differs = "1 bit differs";
inline constexpr const char* file_ends_early = "the file ends there, %llu bytes short";
inline constexpr const char* file_ends_one_byte_early = "the file ends there, 1 byte short";
// Data found past the end of what was written (the written size).
inline constexpr const char* file_goes_on = "the file goes on past the %llu bytes written to it";
// The lines after those two: the damage from its first differing byte to its last, over the
// run of consecutive sectors that differ; where the comparison stopped if the run filled it; the
// stretches of whole sectors whose stamps name another place (at most max_listed_stretches,
// then the count of the sectors in the others).
inline constexpr const char* damage_extent = "the damage runs from byte %llu to byte %llu: %llu bits differ over it";
inline constexpr const char* damage_extent_one_bit = "the damage runs from byte %llu to byte %llu: 1 bit differs over it";
inline constexpr const char* damage_cut_short = "the comparison stopped at byte %llu: the damage may go on past it";
inline constexpr const char* stretch_elsewhere = "bytes %llu to %llu hold the data written to %s at bytes %llu to %llu";
inline constexpr const char* stretch_earlier_run = "bytes %llu to %llu hold data from an earlier run";
inline constexpr const char* stretches_more = "%llu more sectors hold data written elsewhere or in an earlier run";
inline constexpr const char* stretch_more = "1 more sector holds data written elsewhere or in an earlier run";
// A stamp of this run naming a writer this process does not know.
inline constexpr const char* unknown_writer_file = "file %u of writer %u";
// Every name drawn for a file was in use by files this run did not create.
inline constexpr const char* names_taken = "Error 25, Cannot find a free name for a file: %d names tried, the last %s";
// A file's name was in use by a file this run did not create, which it leaves alone.
inline constexpr const char* name_in_use = "Error 25, Cannot create the file: another file already has its name\n";
// The reason given when a name no longer holds the file the run created there: someone put a
// link, a FIFO, a device or another file in its place.
inline constexpr const char* file_replaced = "it is no longer the file this run created there";
// The reason given for a Windows error code the system has no text for.
inline constexpr const char* windows_error = "Windows error %lu";

// Controller-cache eviction file.
inline constexpr const char* eviction_status = "Emptying the controller's cache ...";
inline constexpr const char* eviction_open = "Error, Cannot open the file\n";
inline constexpr const char* eviction_write = "Error, Cannot write the file %s : %s";
inline constexpr const char* eviction_read = "Error, Cannot read the file %s : %s";

// Purge of the OS file cache; none of these stops the run.
inline constexpr const char* purge_library = "Sorry, I can't access to ntdll.dll for clear de RAM Cache.";
inline constexpr const char* purge_address =
    "Sorry, I can't get NtSetSystemInformation address for clear de RAM Cache.";
inline constexpr const char* purge_token = "Sorry, I can't get OpenProcessToken for clear de RAM Cache.";
inline constexpr const char* purge_privilege = "Sorry, I can't get SetPrivilege Single for clear de RAM Cache.";
inline constexpr const char* purge_standby_list = "Sorry, I can't get NTSTATUS LIST for clear de RAM Cache.";
inline constexpr const char* purge_system_cache = "Sorry, I can't flush the system file cache for clear de RAM Cache.";
// A file whose cached pages could not be dropped, and the call that failed with its reason.
inline constexpr const char* purge_file = "Sorry, I can't drop the OS cache of %s : %s";

// Figures that would show memory, not the disk: the path and its filesystem's type; the
// share of the test files' pages still cached after the purge, in whole percent.
inline constexpr const char* memory_file_system =
    "Note: %s is in memory (%s): these figures are memory speeds, not a disk's.";
// In its place: the directory's file system, the loop device and the memory file system.
inline constexpr const char* loop_in_memory = "%s on %s, a loop device over a file on %s";
// A cache of file data that the purge can't empty, said once after the banner: the path, then
// for a network or FUSE file system its type.
inline constexpr const char* zfs_arc_cache =
    "Note: %s is on ZFS, whose ARC cache the purge can't empty: the last read's figure may come from it. An "
    "eviction file larger than the ARC (-cache) keeps it out, and so does -direct where ZFS honours it.";
inline constexpr const char* server_cache =
    "Note: %s is on a network file system (%s): the last read's figure may come from the server's cache, which "
    "the purge can't empty. An eviction file larger than that cache (-cache) keeps it out.";
inline constexpr const char* fuse_daemon_cache =
    "Note: %s is on a FUSE file system (%s): the last read's figure may come from its daemon's cache, or the OS "
    "cache of the files behind it, which the purge can't empty. An eviction file larger than that cache (-cache) "
    "keeps it out, and so does -direct where the daemon honours it.";
inline constexpr const char* still_cached =
    "Note: %llu %% of the test files are still in the OS cache: the next figure is not the disk's own speed.";
// The directory, whose compression or encryption its files inherit (Windows).
inline constexpr const char* compressed_directory =
    "Note: %s is compressed: the test files inherit NTFS compression, so the figures depend on how well their "
    "data compresses.";
inline constexpr const char* encrypted_directory =
    "Note: %s is encrypted: the test files inherit EFS encryption, so the figures include its cost.";
// A figure faster than the links to the target's devices carry: the figure and the most the
// link carries, in MB/s, and the link's name or the number of devices.
inline constexpr const char* beyond_link_read =
    "Note: %s MB/s is faster than the %s link allows (about %s MB/s): a cache outside the OS served this data.";
inline constexpr const char* beyond_link_write =
    "Note: %s MB/s is faster than the %s link allows (about %s MB/s): a cache outside the OS took this data.";
inline constexpr const char* beyond_links_read =
    "Note: %s MB/s is faster than the links of its %u devices allow together (about %s MB/s): a cache outside the "
    "OS served this data.";
inline constexpr const char* beyond_links_write =
    "Note: %s MB/s is faster than the links of its %u devices allow together (about %s MB/s): a cache outside the "
    "OS took this data.";
// In a virtual machine: the read without and with cache in MB/s, then " (KVM)" or nothing.
inline constexpr const char* host_cache =
    "Note: the read without cache, %s MB/s, is more than half the read with cache, %s MB/s, in this virtual "
    "machine%s: the host may have served the reads from its own cache, out of reach of any purge here.";
// quorlane-mpi: either note of one rank, its "Note: " replaced by this, with the rank and its host.
inline constexpr const char* note_start = "Note: ";
inline constexpr const char* rank_note_start = "Note: rank %u (%s): ";

// The results file's sentence on a write whose rate fell for good part way through, in MB/s,
// with the amount written before the fall.
inline constexpr const char* rate_drop = "The write rate fell from about %s to %s MB/s after %s.";

// After a write's or a read's figure, when it went in several stages or declined steadily:
// the stages in order, joined by stage_separator; rates in MB/s, sizes such as "38 GiB".
inline constexpr const char* write_stages = "Note: the write went in stages: %s.";
inline constexpr const char* read_stages = "Note: the read went in stages: %s.";
inline constexpr const char* write_decline = "Note: the write rate declined steadily from %s to %s MB/s.";
inline constexpr const char* read_decline = "Note: the read rate declined steadily from %s to %s MB/s.";
// The first stage: its size and rate, or for a steady one its rate and size.
inline constexpr const char* first_os_cache = "the OS cache took the first %s at %s MB/s";
inline constexpr const char* first_steady = "%s MB/s for the first %s";
inline constexpr const char* first_decline = "a steady decline from %s to %s MB/s over the first %s";
// A later stage: the one right after the first, then the others from where they start.
inline constexpr const char* stage_then = "then %s";
inline constexpr const char* stage_from = "from %s on %s";
inline constexpr const char* stage_steady = "%s MB/s";
inline constexpr const char* stage_decline = "a steady decline from %s to %s MB/s";
// A device's cache, first or later: its size and rate; with eviction, its size counting the
// eviction file written just before, which had already filled part of it.
inline constexpr const char* stage_device_cache = "a fast write cache of about %s at %s MB/s";
inline constexpr const char* stage_device_cache_eviction =
    "a fast write cache of about %s at %s MB/s (%s counting the eviction file written just before)";
inline constexpr const char* stage_separator = ", ";
// A stage's kind and rate on the page's charts and in quorlane-report's list of stages.
inline constexpr const char* stage_label_os_cache = "OS cache";
inline constexpr const char* stage_label_device_cache = "Device cache";
inline constexpr const char* stage_label_steady = "Steady";
inline constexpr const char* stage_label_decline = "Decline";
inline constexpr const char* stage_rate_decline = "%s to %s";
// On the chart: the kind, then its size and rate; on hover, where it ran.
inline constexpr const char* stage_caption = "%s, %s MB/s";
inline constexpr const char* stage_hover = "%s: %s at %s MB/s, from %s to %s (%s s)";

// Removal of the run's files.
inline constexpr const char* eviction_removal = "Erreur 3, i can't delete the tempory file\n";
inline constexpr const char* test_file_removal = "Erreur 2, i can't delete the tempory file : %s - %u\n";

// The results file's message when files were left (each one is listed on the console).
inline constexpr const char* files_left = "Some of the run's files could not be removed.";
inline constexpr const char* interruption = "Interrupted: the run's files have been removed.";
inline constexpr const char* interruption_incomplete =
    "Interrupted: some of the run's files could not be removed (listed above).";
// quorlane-mpi, when some rank did not answer after the interruption: the line, then for each
// such rank its host and directory, or its number alone before the ranks knew them.
inline constexpr const char* interruption_answered =
    "Interrupted: the files of the ranks that answered have been removed";
inline constexpr const char* unanswered_rank =
    "; rank %u (%s) did not answer: its files may remain in %s (vellumcrate_*)";
inline constexpr const char* unanswered_rank_unplaced =
    "; rank %u did not answer: its files may remain (vellumcrate_*)";

// quorlane-report: results files read back, each run's page rebuilt, several runs compared.
inline constexpr const char* compare_usage =
    "Usage: quorlane-report FILE.json... [-html OUT] [-json OUT]\n"
    "One results file: its run's figures, and with -html its report page made again.\n"
    "Several: one table of each figure, median MB/s over each run's passes with its ratio to\n"
    "the first run, the settings that differ; -html writes one page comparing them and -json\n"
    "the comparison as data.\n";
inline constexpr const char* no_results_file =
    "Sorry, quorlane-report needs at least one results file (written by quorlane -json FILE)";
inline constexpr const char* results_unreadable = "Sorry, I can't read the results file %s : %s";
inline constexpr const char* results_not_json = "Sorry, %s is not JSON: %s";
inline constexpr const char* results_not_ours =
    "Sorry, %s is not a Quorlane results file: it has no program name \"quorlane\" and schema_version";
// The file, the version it has, the ones this program reads.
inline constexpr const char* results_unknown_version =
    "Sorry, %s has schema_version %s, which this quorlane-report can't read (it reads %s)";
// Before a byte of it is parsed: the file, and the most a run writes; how deep it may nest.
inline constexpr const char* results_too_large =
    "Sorry, %s is larger than any results file quorlane writes (%llu MiB at most)";
inline constexpr const char* results_too_deep =
    "Sorry, %s is not a Quorlane results file: its values nest deeper than %d levels";
// The file, and the first field found wrong: its path and what it must be.
inline constexpr const char* results_malformed = "Sorry, %s is not a Quorlane results file as its schema says: %s";
inline constexpr const char* results_field = "%s is missing or not %s";
inline constexpr const char* results_figure_name = "%s/name is \"%s\", none of the four figures";
// A field's place, its value, and the range it must lie in; an array's count; a choice.
inline constexpr const char* results_range = "%s is %s, not between %s and %s";
inline constexpr const char* results_count = "%s holds %llu values, more than the %llu a results file holds";
inline constexpr const char* results_choice = "%s is none of %s";
inline constexpr const char* results_exact_bytes =
    "%s is not a name's exact bytes (%%XX for each byte that is not printable ASCII)";
inline constexpr const char* results_time_text = "%s is not a UTC time such as 2026-12-09T03:40:12Z";
// What the fields of a results file must agree on, as every run writes them.
inline constexpr const char* results_figure_order =
    "%s/name is \"%s\", out of the order in which a pass measures its figures";
inline constexpr const char* results_point_order = "%s comes before the point ahead of it";
inline constexpr const char* results_fewer_bytes = "%s holds fewer bytes than the point ahead of it";
inline constexpr const char* results_stage_order = "%s does not start where the stage ahead of it ends";
inline constexpr const char* results_stage_first = "%s does not start at the phase's first byte";
inline constexpr const char* results_stage_ends = "%s ends before it starts";
inline constexpr const char* results_derived = "%s is %s, where the fields it follows from give %s";
inline constexpr const char* results_disagree = "%s disagrees with %s";
inline constexpr const char* results_too_fast = "%s: %llu bytes in %lld µs, faster than anything a run measures";
// A failed or interrupted run: the file, how the run ended, the figures it measured.
inline constexpr const char* results_unfinished =
    "Note: %s is from a run that %s: it is compared only for the phases it finished (%s).";
inline constexpr const char* run_failed = "failed";
inline constexpr const char* run_interrupted = "was interrupted";
inline constexpr const char* no_phase_finished = "none";
inline constexpr const char* compare_write = "Error, Cannot write the comparison %s : %s";
// The console's comparison: the runs, a table of figures, the settings that differ.
inline constexpr const char* compare_runs = "Runs compared:\n";
inline constexpr const char* compare_one_run = "Run:\n";
inline constexpr const char* compare_run = "  Run %llu  %s\n";
inline constexpr const char* compare_table =
    "Median MB/s (10^6 bytes a second) over each run's passes, and its ratio to run 1:\n";
inline constexpr const char* compare_one_table = "Median MB/s (10^6 bytes a second) over the run's passes:\n";
inline constexpr const char* compare_run_column = "Run %llu";
inline constexpr const char* compare_not_measured = "-";
inline constexpr const char* compare_ratio = "%.2f\u00d7";
inline constexpr const char* compare_differences = "Settings that differ:\n";
inline constexpr const char* compare_difference = "  %s: %s\n";
inline constexpr const char* compare_no_difference = "Settings that differ: none\n";
// After them, for each phase that went in stages in some run: the stages of each run's first
// pass that measured it, one row a stage, one column a run.
inline constexpr const char* compare_stages = "Stages, %s (each run's first pass; size at MB/s):\n";
inline constexpr const char* compare_stage = "%s, %s at %s";

}  // namespace messages
