// The driver's part in a run over several ranks (quorlane-mpi): what the ranks agree on
// before the run, whose files each reads, and their figures put together. With one process
// each of these keeps the process's own.
#pragma once

#include <string>
#include <vector>

#include "platform/os_cache.hpp"
#include "results/record.hpp"
#include "workers/workers.hpp"

// Before the run, where every rank meets: each rank's refusal of its options or directory
// (`mine`, empty for none). When some rank refused, rank 0 says the lowest rank's refusal with
// that rank, its host and its -path, and every rank ends with status 1; a rank that refused
// comes here from its end (install_refusal_hook) and goes on ending. Returns when none did.
void settle_refusals(const std::string& mine);

// Before any test file exists: the same options on every rank, the same data seed with
// names of each rank's own, which ranks share a directory, the open files and free space that
// each directory needs, and whose files each rank reads. Records every rank's description in
// current_run; ends every rank with status 1 when one of them can't run. In place of
// check_limits.
void prepare_ranks();

// After the write phase: every rank's prefixes, kept for the readers and, for the writers
// whose files are in this rank's directory, in writer_prefixes.
void share_prefixes(const std::vector<thread_param>& records);

// Points each reader at its own writer's files, or without cache at the files of the rank
// that read_sources gives.
void aim_readers(std::vector<thread_param>& records, bool with_cache);

// Turns this rank's figure into all ranks' (once every rank has measured it whole).
void combine_ranks(figure_record& figure, const std::vector<thread_param>& records);

// Adds up what every rank found still cached; `known` when some rank could tell. `of_rank`
// keeps each rank's own, with no pages where it could not tell.
void combine_residency(bool& known, cache_residency& residency, std::vector<cache_residency>& of_rank,
                       const std::vector<thread_param>& records);

// The first fatal error of the ranks (the lowest rank's that met one), once every rank knows
// the run stops: false when an interruption came first. Keeps its rank and mismatch in
// current_run, and `host` is the rank's host.
bool first_error_of_ranks(std::string& error, std::string& host);
