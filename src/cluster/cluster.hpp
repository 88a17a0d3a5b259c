// The ranks of a run on many clients at once. quorlane-mpi links the MPI body (mpi.cpp);
// quorlane and the tests link the single-process body (single.cpp), where this process is the
// one rank and every call below is immediate. Only the main thread calls these.
//
// No call waits forever: a call that waits for the other ranks watches for an interruption
// and returns false when one arrives, so that this rank can remove its files at once; a rank
// that died is left to mpirun, which ends the job and so interrupts the others.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "run/run_state.hpp"

// Joins the job (MPI's start); before anything else in main. Every wait for the other ranks
// watches `stop` for an interruption from then on.
void cluster_start(int& argc, char**& argv, const stop_signal& stop);

// True in quorlane-mpi, even with a single rank.
bool cluster_mode();

std::uint32_t cluster_rank();
std::uint32_t cluster_size();

// Rank 0: the only one that prints and writes the results file.
bool is_printing_rank();

// The node each rank runs on, numbered from 0 in the order of the nodes' first ranks; ranks
// on one node share its memory and so its OS cache.
std::vector<std::uint32_t> cluster_nodes();

// True on the lowest rank of its node.
bool first_rank_on_node();

// Returns once every rank has called it.
bool cluster_barrier();

// Every rank's `mine`, rank after rank; every rank gives as many values.
bool cluster_gather(const std::vector<std::uint64_t>& mine, std::vector<std::uint64_t>& all);

// Every rank's text, by rank.
bool cluster_gather_text(const std::string& mine, std::vector<std::string>& all);

// `any` is true when `mine` is true on some rank: the collective stop check.
bool cluster_any(bool mine, bool& any);

// Rank 0's value, on every rank.
bool cluster_broadcast(std::uint64_t& value);

// What rank 0 knows of each rank's files after an interruption.
enum class removal_word { removed, some_left, no_answer };

// After an interruption: runs `remove`, which removes what it can of this rank's files and
// says whether all went. Gives on rank 0 each rank's word, by rank; elsewhere this rank's
// alone. Each rank tells rank 0 as it starts removing and once it is done: rank 0 waits for
// every rank still removing, and takes one that has said nothing within half a second for
// dead (mpirun kills the ranks a second after it has interrupted them for a rank that died).
// cluster_end then waits a few seconds at most, on rank 0 for the ranks not yet heard,
// elsewhere for rank 0 to have heard them all, so that none ends, and gets the others killed
// by mpirun, while some are still removing theirs.
std::vector<removal_word> cluster_removal_words(const std::function<bool()>& remove);

// Said by every rank once all of them know that they end now, together.
void cluster_agree_to_end();

// Called by main as this rank ends with `status` and `message`: together with the
// others after cluster_agree_to_end or a completed run; on its own after an interruption,
// leaving the job to mpirun; otherwise on its own by ending the whole job, its message shown.
void cluster_end(int status, const std::string& message);
