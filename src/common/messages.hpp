// Every text the program prints. Scripts read these lines: change none without need.
#pragma once

namespace messages {

inline constexpr const char* banner = "Quorlane %s - sequential disk throughput benchmark\n\n";

// The help, printed line by line with the defaults; %c is the directory separator.
inline constexpr const char* help =
    "GENERAL OPTIONS"
    "\n-?            This help"
    "\n-path         Path that will be tested           Defaut: %s"
    "\n-block        Size of one block (in Ko)          Defaut: %u"
    "\n-file         Size total per file (in Mo)        Defaut: %u"
    "\n-file_number  Number of files to write           Defaut: %u"
    "\n-thread       Number of thread                   Defaut: %u"
    "\n-cache        Size of controller's cache (in Go) Defaut: %u"
    "\n              0 to disable the cache flush process"
    "\n-direct       Unbuffered I/O: bypass the OS cache"
    "\n"
    "\nSample : Quorlane.exe -path %s%c -block 100 -file 1024 -thread 1 -cache 1"
    "\n";
// Shown in the sample line when TEMP is not set.
inline constexpr const char* temp_unset = "(null)";

inline constexpr const char* invalid_path = "Sorry, the argument -path must be an existing pointeur_repertoire";
inline constexpr const char* out_of_range = "Sorry, the argument %s must be between %u and %u";
inline constexpr const char* missing_value = "Sorry, the argument %s must be followed by a value";
inline constexpr const char* missing_path =
    "Sorry, you must choose the directory to test with the argument -path. "
    "For help, type Quorlane --help\n";
inline constexpr const char* too_many_open_files =
    "Sorry, the run needs %llu open files (-thread x -file_number) but this system leaves only %llu for them";
inline constexpr const char* not_enough_space =
    "Sorry, the run needs %llu MiB of free space but the disk has only %llu MiB free";
inline constexpr const char* output_failed = "Error, Cannot write to the standard output : %s";
inline constexpr const char* not_enough_memory = "Sorry, there is not enough memory for a block buffer of %u Ko";
// -direct: the directory's file system can't bypass the cache (the system's reason), or the
// block is not a whole number of what it needs.
inline constexpr const char* direct_unsupported = "Sorry, -direct is not possible in %s : %s";
inline constexpr const char* direct_block = "Sorry, with -direct the argument -block must be a multiple of %u Ko here";
inline constexpr const char* direct_note = "Note: unbuffered I/O: every phase bypasses the OS cache.";

// Phase status lines, progress labels and result lines.
inline constexpr const char* write_status = "\rWriting time with cache ram ...                   ";
inline constexpr const char* flush_status = "\rWriting time without cache ram ...";
inline constexpr const char* write_label = "\rWriting time with cache ram     : ";
inline constexpr const char* write_without_cache_label = "\rWriting time without cache ram  : ";
inline constexpr const char* read_label = "\rReading time with cache ram     : ";
inline constexpr const char* read_without_cache_label = "\rReading time without cache ram  : ";
// Label, figure so far, dots text.
inline constexpr const char* progress = "%s%llu Mo/s%s";
inline constexpr const char* dots[] = {" .        ", " ..       ", " ...      ", " ....     ", " .....    "};
// Label, figure of the phase.
inline constexpr const char* result = "%s%llu Mo/s          \n";

// The worker's number and the system's reason.
inline constexpr const char* thread_creation = "Erreur : Impossible de creer le thread %u : %s";
inline constexpr const char* thread_join = "Erreur : Impossible de joindre le Thread %d";

// Fatal errors of the phases; the detail line names the file and the OS's reason.
inline constexpr const char* write_open =
    "Error 22, Cannot open the file, peraphs you need to change the limit of open file by "
    "process (1024)\n";
inline constexpr const char* read_open = "Error 33, Cannot open the file\n";
inline constexpr const char* file_detail = "%s : %s";
inline constexpr const char* short_write = "Error 23, Cannot write the file %s : %s";
inline constexpr const char* flush_failed = "Error 24, Cannot force the file to the disk %s : %s";
inline constexpr const char* read_failed = "Error 34, Cannot read the file %s : %s";
// Every name drawn for a file was in use by files this run did not create.
inline constexpr const char* names_taken = "Error 25, Cannot find a free name for a file: %d names tried, the last %s";
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
inline constexpr const char* purge_privilege =
    "Sorry, I can't get SetPrivilege Single for clear de RAM Cache.";
inline constexpr const char* purge_ntstatus =
    "Sorry, I can't get NTSTATUS LIST for clear de RAM Cache.";

// Removal of the run's files.
inline constexpr const char* eviction_removal = "Erreur 3, i can't delete the tempory file\n";
inline constexpr const char* test_file_removal = "Erreur 2, i can't delete the tempory file : %s - %u\n";

inline constexpr const char* interruption = "Interrupted: the run's files have been removed.";
inline constexpr const char* interruption_incomplete =
    "Interrupted: some of the run's files could not be removed (listed above).";

}  // namespace messages
