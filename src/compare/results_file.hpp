// A results file read back through one checked reader: every field's kind and range, and the
// relations the reports rely on, are checked before a value is taken, then the record its run
// kept is made again from it, so that the pages and the comparison render from that record
// alone, as they did during the run, and never from the file's JSON.
#pragma once

#include <cstdint>
#include <string>

#include "results/record.hpp"

// Twice the largest file a run writes (100 passes of 100 workers, each phase's series and
// percentile curve at their longest: 128 MiB), so that no file of a real run is refused and
// no file of any size is read whole.
inline constexpr std::uint64_t most_results_bytes = 256ull * 1024 * 1024;
// A results file nests 8 deep (a point of a series); far more says it is something else.
inline constexpr int most_results_depth = 64;

struct read_results {
    std::string file;
    std::string identity;  // as report_target's, so that an output that is this file is told
    run_record record;
};

// False, with the message that names the file and what is wrong with it, when it can't be read,
// is too large, is not JSON, is not a results file, is of a schema_version this program does
// not know, or holds a field or a relation between fields that no run writes.
bool read_results_file(const std::string& file, read_results& read, std::string& message);

// The same, of a document already in memory; `file` names it in the message.
bool read_results_text(const std::string& file, const std::string& text, read_results& read, std::string& message);
