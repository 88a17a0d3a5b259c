// Where a report file (-json, -html) goes and how it is written there: a regular file is
// replaced whole in one step, a link is followed to the file it names (the link stays), and a
// stream (a FIFO, a character device, a descriptor the run was given) is written through.
#pragma once

#include <string>

enum class report_target_kind { new_file, regular_file, stream, directory, other };

struct report_target {
    report_target_kind kind = report_target_kind::other;
    std::string file;      // the file to create or replace, links followed; for a stream, its name
    std::string identity;  // equal for two names of the same file
};

// What `name` names now; false, with the OS's reason, when it can't be told or its
// directory does not exist.
bool find_report_target(const std::string& name, report_target& target, std::string& reason);

// True when this user may put a new file in the place of `file`: its directory takes new
// names and, in a sticky directory such as /tmp, the file is the user's.
bool may_replace(const std::string& file, std::string& reason);

// Writes all of `text` to the stream `name`, creating nothing.
bool write_to_stream(const std::string& name, const std::string& text, std::string& reason);
