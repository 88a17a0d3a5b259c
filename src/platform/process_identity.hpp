// Who a process is, in words that stay true once it is gone, and whether it still runs: the
// owner of a run's files, recorded beside them, so that a later run can tell a dead run's
// files from a live one's.
#pragma once

#include <cstdint>
#include <string>

struct process_stamp {
    // The machine, and on Linux the process-id namespace within it: process ids are compared
    // within the same one only. Empty when the system names none: nothing is then known.
    std::string machine;
    std::string boot;  // this boot's id (Linux; empty on Windows, whose start times are absolute)
    std::uint64_t process = 0;
    std::string started;  // the process's start, as the system keeps it, so that a reused id is told apart
};

process_stamp this_process_stamp();

enum class process_liveness { running, gone, unknown };

// `gone` only when this machine shows that process ended: no process of that id, another
// process under it, or a boot since. `unknown` for another machine or what the system won't
// say (another user's process it hides): such a run is taken for running.
process_liveness liveness_of(const process_stamp& stamp);
