// The marker a run keeps beside its files: who owns them (host, machine, process and its start)
// and the names they take, each recorded before its file exists. A run ended by End task,
// kill -9, a crash or a power cut sends no event and removes nothing; a later run finds its
// marker, sees that process gone, and so knows exactly which files were its.
#pragma once

#include <string>
#include <vector>

#include "platform/process_identity.hpp"
#include "run/run_state.hpp"

// What a marker says, read back.
struct run_marker {
    std::string host;
    process_stamp owner;
    std::vector<std::string> prefixes;  // test files: the prefix, then the file's index
    std::vector<std::string> names;     // whole names: the eviction file's
};

// The marker's own name within the directory: "vellumcrate_owner" and 8 letters.
bool is_marker_name(const std::string& name);

// The marker's text: `whole`; `unfinished`, its header not yet all there, as a live run leaves
// it for a moment and a power cut may leave it for good; or `foreign`: anything a run never
// writes, such as a name that is not of the kind a run makes, so that a marker edited by hand
// can't make a later run remove any other file.
enum class marker_reading { whole, unfinished, foreign };
marker_reading parse_run_marker(const std::string& text, run_marker& marker);

// True when `name`, within the directory, is one of the marker's files.
bool claims(const run_marker& marker, const std::string& name);

// Creates the run's marker in the tested directory (run.directory); without one (it could not be
// made) the run goes on and its files are simply never claimed.
void open_run_marker(run_state& run);

// Record a worker's prefix, or a whole file's name in the directory, before any file of that
// name is created.
void record_prefix(run_state& run, const std::string& prefix);
void record_file_name(run_state& run, const std::string& name);

// Closes and removes the marker, once every file it names is gone.
void remove_run_marker(run_state& run);
