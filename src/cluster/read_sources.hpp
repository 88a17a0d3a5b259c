// Whose files each rank reads in the read without cache: never its own when another node
// can give it some, so that no client reads what its own OS cache may hold.
#pragma once

#include <cstdint>
#include <vector>

// For every rank, the rank whose test files it reads, given the node each rank runs on and
// the directory each uses (numbered alike for ranks that share one: only those can read each
// other's files). A permutation: every rank's files are read exactly once. Within a directory
// the ranks are taken node by node and shifted by the size of the largest node: with even
// nodes placed in order, rank r reads rank r + ranks per node; no rank reads a rank of its own
// node unless one node holds more than half of the directory's ranks, and then only as many
// as that excess forces; with a single node the shift is none, and the purge does the work.
std::vector<std::uint32_t> read_sources(const std::vector<std::uint32_t>& node_of_rank,
                                        const std::vector<std::uint32_t>& directory_of_rank);
