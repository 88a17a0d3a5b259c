// Where a report file (-json, -html) goes and how it is written there: a regular file is
// replaced whole in one step, a link is followed to the file it names (the link stays), and a
// stream (a FIFO, a character device, a descriptor the run was given) is written through.
//
// The name is resolved once, before the run, into a directory held open and a name in it, or a
// stream held open; the save at the end goes through those alone and never resolves the name
// again, so that nothing planted meanwhile (a link, a file of another user) redirects it. A
// link is followed only where the kernel's protected-symlinks rule would follow it, whatever
// that setting says: the link is the caller's, or it does not sit in a sticky world-writable
// directory, or that directory's owner owns it too.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/file_io.hpp"

enum class report_target_kind { new_file, regular_file, stream, fifo_without_reader, directory, other };

struct report_target {
    report_target_kind kind = report_target_kind::other;
    // Equal for two names of the same file, as identity_text gives it for an open file; for a
    // new file, its directory's and its name's.
    std::string identity;
    // Several outputs may go to it: a character device (/dev/null, a terminal) takes them one
    // after the other.
    bool shared_sink = false;

    // new_file and regular_file: the directory it goes in, held open, and its name there.
    os_directory directory = no_directory;
    std::string name;
    // regular_file: the file found there, whose mode and owner its replacement keeps.
    file_identity found;
    std::uint32_t mode = 0;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    // The permissions a new file gets (Linux: 0644 less the umask).
    std::uint32_t new_file_mode = 0644;

    // stream: held open from the check to the save, or the descriptor the name stands for.
    os_file stream = no_file;
};

// What `name` names now, resolved and opened as above; false, with the OS's reason, when it
// can't be told, its directory does not exist, or a link on the way may not be followed.
// A FIFO is opened without waiting: one without a reader is `fifo_without_reader`.
bool find_report_target(const std::string& name, report_target& target, std::string& reason);

// The identity an open file has as report_target's `identity`: for telling an input given to
// quorlane-report from an output.
std::string identity_text(const file_identity& identity);

// True when this user may put a new file in the place of the regular file found: its directory
// takes new names and, in a sticky directory such as /tmp, the file is the user's or the
// directory owner's (for root too, in a directory others can write).
bool may_replace(const report_target& target, std::string& reason);

// Creates `temporary` in the target's directory, readable by this user alone until
// finish_report_file gives it the report's permissions.
creation create_report_file(const report_target& target, const std::string& temporary, os_file& handle,
                            std::string& reason);

// Gives the written file the mode and owner of the file it replaces, or a new file's mode.
bool finish_report_file(const report_target& target, os_file handle, std::string& reason);

// Puts the closed file `temporary` in the target's place in one step. `name_taken` when the
// name now holds something other than what was found there before the run (nothing, or the
// same file), and not a regular file of this user's either: it is left alone.
enum class placement { placed, name_taken, failed };
placement put_in_place(report_target& target, const std::string& temporary, std::string& reason);

// Writes all of `text` to the stream, creating nothing; gives up, with the reason
// "Interrupted system call", once `interrupted` says so while it waits for the reader.
bool write_to_stream(const report_target& target, const std::string& text, const std::function<bool()>& interrupted,
                     std::string& reason);
