// The results file's parts on the calls' times: under each figure, `latency` (what the calls
// took, in µs) and `stalls` (its longest calls, longest first).
#pragma once

#include <nlohmann/json.hpp>
#include <vector>

#include "latency/stalls.hpp"

nlohmann::ordered_json latency_json(const latency_summary& summary);

// With several ranks each stall names its rank; a flush's has no offset (null).
nlohmann::ordered_json stalls_json(const std::vector<stall_record>& stalls, bool with_ranks);
