// What the ranks of quorlane-mpi settle together: what they agree on before the run, whose
// files each reads, and their figures put together. With one process each of these keeps the
// process's own. A call that returns false was cut short by an interruption: the caller stops.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/os_cache.hpp"
#include "results/record.hpp"
#include "run/run_state.hpp"

// Before the run, where every rank meets: each rank's refusal of its options or directory
// (`mine`, empty for none). When some rank refused, rank 0 says the lowest rank's refusal with
// that rank, its host and its -path (`directory` here, empty when not yet read), and every rank
// ends with status 1: the lowest rank's refusal is returned, empty when none refused. A rank
// that refused comes here once it has said its refusal, and goes on ending.
std::string settle_refusals(run_record& results, const std::string& directory, const std::string& mine);

// Before any test file exists: the same options on every rank, the same data seed with
// names of each rank's own, which ranks share a directory, the open files and free space that
// each directory needs, and whose files each rank reads. Records every rank's description in
// `results`, and what makes the run impossible as the fatal error of `run`. In place of
// check_limits.
bool prepare_ranks(run_state& run, run_record& results);

// Says how many ranks on how many nodes run `worker_count` workers each.
void note_ranks(const run_record& results, std::uint32_t worker_count);

// After the write phase: every rank's writers' files (`mine`, by worker), kept in `run` for
// the readers and, for the writers whose files are in this rank's directory, their prefixes
// in its writer_prefixes.
bool share_writer_files(run_state& run, const run_record& results, const std::vector<writer_files>& mine);

// The rank whose files this rank's readers read: its own, or without cache the one that
// read_sources gives.
std::uint32_t read_source(const run_record& results, bool with_cache);

// Turns this rank's figure into all ranks' (once every rank has measured it whole).
bool combine_ranks(figure_record& figure);

// Adds up what every rank found still cached; `known` when some rank could tell. `of_rank`
// keeps each rank's own, with no pages where it could not tell.
bool combine_residency(bool& known, cache_residency& residency, std::vector<cache_residency>& of_rank);

// The first fatal error of the ranks (the lowest rank's that met one), once every rank knows
// the run stops: false when an interruption came first. Keeps its rank and mismatch in
// `results`, and `host` is the rank's host.
bool first_error_of_ranks(run_record& results, std::string& error, std::string& host);
